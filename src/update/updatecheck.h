#pragma once

#include "platform/callbacks.h"
#include "platform/localeformats.h"

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

namespace tessaloom {

/// The maker's web server. The real host is outside this program; a reserved
/// example domain keeps the addresses well-formed until one is chosen.
inline constexpr const char* kUpdateServer = "http://www.tessaloom.example";
inline constexpr const char* kUpdaterProgram = "qv-update.exe";
inline constexpr const char* kUpdaterToken = "413052869127";
inline constexpr const char* kWritableTestFile = "su-test.tmp";

inline constexpr const char* kAdminErrorTitle = "Administrator Privileges Error";
inline constexpr const char* kAdminErrorText =
    "ERROR: Although some updates may exist, you must be logged in as an 'Administrator' of "
    "this system to make any updates.  Please log in as a system 'Administrator' and try "
    "again.  ";
inline constexpr const char* kVersionCheckTitle = "Version Check";
inline constexpr const char* kBrowserErrorTitle = "Error Launching Browser";

/// How a message box looks; line feeds separate paragraphs.
struct MessageBoxText
{
    enum class Icon
    {
        Critical,
        Exclamation,
        Question
    };
    std::string title;
    std::string text;
    Icon icon = Icon::Critical;
};

/// What the update check needs from the platform. The window layer implements the
/// dialogs, the process start and the browser; the file operations have working
/// defaults on the local file system.
class UpdatePlatform
{
public:
    virtual ~UpdatePlatform() = default;

    /// Creates `path` afresh (never through a link) and writes `line` into it. True
    /// only when the file was created and written completely.
    virtual bool writeFile(const std::string& path, std::string_view line);
    virtual bool fileExists(const std::string& path);
    /// Deletes `path`; a failure is not reported.
    virtual void deleteFile(const std::string& path);
    /// Last-modified time of `path`, or nothing when it cannot be read.
    virtual std::optional<std::time_t> modifiedTime(const std::string& path);

    /// Starts `program` with `parameters` as its single argument in `workingFolder`,
    /// not waiting for it. True when it started.
    virtual bool startProgram(const std::string& program, const std::string& parameters,
                              const std::string& workingFolder) = 0;
    /// Opens a web address in the default browser, owned by the main window when
    /// `ownedByMainWindow`. True when it opened.
    virtual bool openUrl(const std::string& url, bool ownedByMainWindow) = 0;
    /// A message box with one OK button.
    virtual void showMessage(const MessageBoxText& message) = 0;
    /// A message box with Yes and No; true for Yes.
    virtual bool askYesNo(const MessageBoxText& message) = 0;
    /// Ends the program at once, storing nothing. Real platforms do not return;
    /// when this one does, the check returns UpdateEnding::ProgramEnded.
    virtual void endProgram() = 0;
};

/// The program's identity and surroundings, as start-up settled them.
struct UpdateContext
{
    std::string programFolder; // ends with "/"
    std::string programFile;   // the executable, whose date gives the version's age
    std::string productName;
    std::string versionText; // major.minor.revision
    int majorVersion = 0;
    LocaleFormats formats;
    ClockFn now; // the current time; std::time(nullptr) when empty

    /// This program's values: version from the build, product "Tessaloom".
    static UpdateContext ForThisProgram(std::string programFolder, std::string programFile,
                                        LocaleFormats formats);
};

/// How a check ended.
enum class UpdateEnding
{
    Returned,     // back to the caller: nothing to do, the user declined, or chose to go on
    ProgramEnded, // the updater started, or the user chose to leave and update
    MessageShown  // an error message was shown, then back to the caller
};

/// The updater's parameter string: token | update-notes address | version | product.
std::string UpdaterParameters(const UpdateContext& context);

/// The address of the maker's version-history page.
std::string VersionHistoryAddress();

/// Calendar-day boundaries between the local dates of `a` and `b`, always >= 0.
long long CalendarDaysBetween(std::time_t a, std::time_t b);

/// The reminder's question for a program file dated `fileDate` and `ageDays` old.
std::string VersionAgeQuestion(const UpdateContext& context, std::time_t fileDate,
                               long long ageDays);

/// The question shown after the history page opened; `reminder` picks its wording.
std::string VersionCheckQuestion(const UpdateContext& context, bool reminder);

/// The message shown when the history page cannot be opened.
std::string BrowserErrorText();

/// `RunUpdateCheck`: the manual check. Tests that the program folder is writable,
/// hands over to the updater (ending the program), or else opens the history page
/// and asks whether to go on.
UpdateEnding RunUpdateCheck(UpdatePlatform& platform, const UpdateContext& context);

/// `CheckVersionAge`: when the program file is more than 30 calendar days old,
/// offers the update check (with the reminder's wording).
UpdateEnding CheckVersionAge(UpdatePlatform& platform, const UpdateContext& context);

} // namespace tessaloom
