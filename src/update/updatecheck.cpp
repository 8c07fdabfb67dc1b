#include "update/updatecheck.h"

#include "shell/appfolders.h"
#include "shell/version.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaloom {

namespace {

constexpr long long kReminderAgeDays = 30;

/// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long DaysFromCivil(int year, int month, int day)
{
    const long long y = year - (month <= 2 ? 1 : 0);
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const long long yoe = y - era * 400;
    const long long mp = (month + 9) % 12;
    const long long doy = (153 * mp + 2) / 5 + day - 1;
    const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

std::time_t Now(const UpdateContext& context)
{
    return context.now ? context.now() : std::time(nullptr);
}

UpdateEnding CheckAndHandOver(UpdatePlatform& platform, const UpdateContext& context, bool reminder)
{
    // The updater must replace files in the program folder: without the right to
    // write there it would fail half-way, so say so before starting it.
    const std::string testFile = context.programFolder + kWritableTestFile;
    const std::string stamp =
        FormatGeneralDate(ToLocalDateTime(Now(context)), context.formats) + "\r\n";
    if (!platform.writeFile(testFile, stamp) || !platform.fileExists(testFile)) {
        if (platform.fileExists(testFile))
            platform.deleteFile(testFile);
        platform.showMessage({kAdminErrorTitle, kAdminErrorText, MessageBoxText::Icon::Critical});
        return UpdateEnding::MessageShown;
    }
    platform.deleteFile(testFile);

    if (platform.startProgram(context.programFolder + kUpdaterProgram, UpdaterParameters(context),
                              context.programFolder)) {
        platform.endProgram();
        return UpdateEnding::ProgramEnded;
    }

    const std::string history = VersionHistoryAddress();
    if (!platform.openUrl(history, !reminder)) {
        platform.showMessage(
            {kBrowserErrorTitle, BrowserErrorText() + history, MessageBoxText::Icon::Critical});
        return UpdateEnding::MessageShown;
    }
    if (platform.askYesNo({kVersionCheckTitle, VersionCheckQuestion(context, reminder),
                           MessageBoxText::Icon::Question}))
        return UpdateEnding::Returned;
    platform.endProgram();
    return UpdateEnding::ProgramEnded;
}

} // namespace

bool UpdatePlatform::writeFile(const std::string& path, std::string_view line)
{
    // Created afresh and never through a link, so that a file planted under this
    // name cannot make the test pass or be overwritten elsewhere.
    if (::unlink(path.c_str()) != 0 && errno != ENOENT)
        return false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = true;
    std::string_view rest = line;
    while (ok && !rest.empty()) {
        const ssize_t n = ::write(fd, rest.data(), rest.size());
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            rest.remove_prefix(static_cast<std::size_t>(n));
    }
    ok = (::close(fd) == 0) && ok;
    if (!ok)
        ::unlink(path.c_str());
    return ok;
}

bool UpdatePlatform::fileExists(const std::string& path)
{
    struct stat st
    {
    };
    return ::lstat(path.c_str(), &st) == 0;
}

void UpdatePlatform::deleteFile(const std::string& path)
{
    ::unlink(path.c_str());
}

std::optional<std::time_t> UpdatePlatform::modifiedTime(const std::string& path)
{
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) != 0)
        return std::nullopt;
    return st.st_mtime;
}

UpdateContext UpdateContext::ForThisProgram(std::string programFolder, std::string programFile,
                                            LocaleFormats formats)
{
    UpdateContext c;
    c.programFolder = std::move(programFolder);
    c.programFile = std::move(programFile);
    c.productName = kProductName;
    c.versionText = VersionText();
    c.majorVersion = kVersionMajor;
    c.formats = std::move(formats);
    return c;
}

std::string UpdaterParameters(const UpdateContext& context)
{
    const std::string notes = std::string(kUpdateServer) + "/tsl/update/v" +
                              std::to_string(context.majorVersion) + ".rtf";
    return std::string(kUpdaterToken) + " | " + notes + " | " + context.versionText + " | " +
           context.productName;
}

std::string VersionHistoryAddress()
{
    return std::string(kUpdateServer) + "/tsl/history.htm";
}

long long CalendarDaysBetween(std::time_t a, std::time_t b)
{
    const LocalDateTime da = ToLocalDateTime(a);
    const LocalDateTime db = ToLocalDateTime(b);
    const long long days =
        DaysFromCivil(db.year, db.month, db.day) - DaysFromCivil(da.year, da.month, da.day);
    return days < 0 ? -days : days;
}

std::string VersionAgeQuestion(const UpdateContext& context, std::time_t fileDate,
                               long long ageDays)
{
    return "NOTE: " + context.productName + " version " + context.versionText +
           " was compiled on " + FormatShortDate(ToLocalDateTime(fileDate), context.formats) +
           " and, therefore, is " + FormatThousands(ageDays, context.formats) + " days old." +
           "\n\n" + "Would you like to check for a more recent version now?";
}

std::string VersionCheckQuestion(const UpdateContext& context, bool reminder)
{
    // The two wordings differ on purpose: the manual check has always said
    // "You current have", the reminder "You currently have".
    return std::string(reminder ? "You currently have " : "You current have ") +
           context.productName + " version " + context.versionText + "\n\n" +
           "Your web browser should be pointing to information showing the most recent "
           "updates.  If there is a later version of the program with updates or new features "
           "that you would like, you are encouraged to download and install that version before "
           "continuing." +
           "\n\n" +
           "Select 'Yes' if you are satisfied with the version you have and wish to continue "
           "now.  Select 'No' if you do not have the latest version and wish to download and "
           "install the latest version before your continue.";
}

std::string BrowserErrorText()
{
    return "An error occured trying to launch your web browser.  This problem is likely because "
           "your system does not have a default web browser set up, or you are not connected to "
           "the Internet.  It is recommended you try to correct the problem and then try again.  "
           "Otherwise, you will need to manually launch your browser and/or connect to the "
           "Internet and then go to ";
}

UpdateEnding RunUpdateCheck(UpdatePlatform& platform, const UpdateContext& context)
{
    return CheckAndHandOver(platform, context, false);
}

UpdateEnding CheckVersionAge(UpdatePlatform& platform, const UpdateContext& context)
{
    // A program file whose date cannot be read says nothing about its age.
    const std::optional<std::time_t> fileDate = platform.modifiedTime(context.programFile);
    if (!fileDate)
        return UpdateEnding::Returned;
    const long long age = CalendarDaysBetween(*fileDate, Now(context));
    if (age <= kReminderAgeDays)
        return UpdateEnding::Returned;
    if (!platform.askYesNo({kVersionCheckTitle, VersionAgeQuestion(context, *fileDate, age),
                            MessageBoxText::Icon::Question}))
        return UpdateEnding::Returned;
    return CheckAndHandOver(platform, context, true);
}

} // namespace tessaloom
