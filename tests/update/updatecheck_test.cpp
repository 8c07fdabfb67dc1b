#include "update/updatecheck.h"

#include "support/testdir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace tessaloom {
namespace {

namespace fs = std::filesystem;
using test::TestDir;
using test::UtcTime;

/// Records every platform call; the file operations are the real ones.
class FakePlatform : public UpdatePlatform
{
public:
    bool updaterStarts = false;
    bool browserOpens = true;
    std::vector<bool> answers; // Yes/No answers, in order

    std::vector<std::string> started; // program, parameters, working folder
    std::vector<std::pair<std::string, bool>> opened;
    std::vector<MessageBoxText> messages;
    std::vector<MessageBoxText> questions;
    int ended = 0;
    bool testFileSeenByUpdater = true;

    bool startProgram(const std::string& program, const std::string& parameters,
                      const std::string& workingFolder) override
    {
        started = {program, parameters, workingFolder};
        testFileSeenByUpdater = fs::exists(workingFolder + "su-test.tmp");
        return updaterStarts;
    }
    bool openUrl(const std::string& url, bool owned) override
    {
        opened.emplace_back(url, owned);
        return browserOpens;
    }
    void showMessage(const MessageBoxText& m) override { messages.push_back(m); }
    bool askYesNo(const MessageBoxText& m) override
    {
        questions.push_back(m);
        const bool yes = answers.empty() ? true : answers.front();
        if (!answers.empty())
            answers.erase(answers.begin());
        return yes;
    }
    void endProgram() override { ++ended; }
};

struct Program
{
    TestDir dir;
    UpdateContext context;
    std::time_t now = UtcTime(2024, 3, 15, 12, 0, 0);

    Program()
    {
        const std::string folder = dir.createDir("prog").string() + "/";
        context =
            UpdateContext::ForThisProgram(folder, folder + "tessaloom", LocaleFormats::EnglishUS());
        context.now = [this] { return now; };
    }
    void programDated(std::time_t t) { dir.createFile("prog/tessaloom", "ELF", t); }
    bool testFileLeft() const { return fs::exists(dir / "prog" / "su-test.tmp"); }
};

const std::string kParameters = "413052869127 | http://www.tessaloom.example/tsl/update/v5.rtf"
                                " | 5.4.1 | Tessaloom";

TEST(UpdateCheck, UpdaterStartedEndsTheProgram)
{
    Program p;
    FakePlatform platform;
    platform.updaterStarts = true;
    EXPECT_EQ(RunUpdateCheck(platform, p.context), UpdateEnding::ProgramEnded);
    EXPECT_EQ(platform.started, (std::vector<std::string>{p.context.programFolder + "qv-update.exe",
                                                          kParameters, p.context.programFolder}));
    EXPECT_EQ(platform.ended, 1);
    EXPECT_TRUE(platform.opened.empty());
    EXPECT_TRUE(platform.messages.empty());
    EXPECT_FALSE(platform.testFileSeenByUpdater);
    EXPECT_FALSE(p.testFileLeft());
}

TEST(UpdateCheck, HistoryPageWhenTheUpdaterCannotStart)
{
    Program p;
    FakePlatform platform;
    platform.answers = {true, false};
    EXPECT_EQ(RunUpdateCheck(platform, p.context), UpdateEnding::Returned);
    ASSERT_EQ(platform.opened.size(), 1u);
    EXPECT_EQ(platform.opened[0].first, "http://www.tessaloom.example/tsl/history.htm");
    EXPECT_TRUE(platform.opened[0].second); // owned by the main window
    ASSERT_EQ(platform.questions.size(), 1u);
    EXPECT_EQ(platform.questions[0].title, "Version Check");
    EXPECT_EQ(platform.questions[0].icon, MessageBoxText::Icon::Question);
    EXPECT_EQ(platform.questions[0].text,
              "You current have Tessaloom version 5.4.1\n\n"
              "Your web browser should be pointing to information showing the most recent "
              "updates.  If there is a later version of the program with updates or new features "
              "that you would like, you are encouraged to download and install that version "
              "before continuing.\n\n"
              "Select 'Yes' if you are satisfied with the version you have and wish to continue "
              "now.  Select 'No' if you do not have the latest version and wish to download and "
              "install the latest version before your continue.");
    EXPECT_EQ(platform.ended, 0);

    // No: the user leaves to update.
    EXPECT_EQ(RunUpdateCheck(platform, p.context), UpdateEnding::ProgramEnded);
    EXPECT_EQ(platform.ended, 1);
    EXPECT_FALSE(p.testFileLeft());

    platform.browserOpens = false;
    EXPECT_EQ(RunUpdateCheck(platform, p.context), UpdateEnding::MessageShown);
    ASSERT_EQ(platform.messages.size(), 1u);
    EXPECT_EQ(platform.messages[0].title, "Error Launching Browser");
    EXPECT_EQ(platform.messages[0].icon, MessageBoxText::Icon::Critical);
    EXPECT_EQ(platform.messages[0].text,
              "An error occured trying to launch your web browser.  This problem is likely "
              "because your system does not have a default web browser set up, or you are not "
              "connected to the Internet.  It is recommended you try to correct the problem and "
              "then try again.  Otherwise, you will need to manually launch your browser and/or "
              "connect to the Internet and then go to "
              "http://www.tessaloom.example/tsl/history.htm");
}

TEST(UpdateCheck, UnwritableProgramFolderStopsBothChecks)
{
    Program p;
    // A folder below a regular file cannot be written, not even by root.
    p.dir.createFile("not-a-folder", "");
    p.context.programFolder = (p.dir / "not-a-folder").string() + "/";
    p.programDated(p.now - 400 * 86400);
    FakePlatform platform;
    platform.updaterStarts = true;

    EXPECT_EQ(RunUpdateCheck(platform, p.context), UpdateEnding::MessageShown);
    EXPECT_EQ(CheckVersionAge(platform, p.context), UpdateEnding::MessageShown);
    ASSERT_EQ(platform.messages.size(), 2u);
    for (const MessageBoxText& m : platform.messages) {
        EXPECT_EQ(m.title, "Administrator Privileges Error");
        EXPECT_EQ(m.icon, MessageBoxText::Icon::Critical);
        EXPECT_EQ(m.text, "ERROR: Although some updates may exist, you must be logged in as an "
                          "'Administrator' of this system to make any updates.  Please log in as "
                          "a system 'Administrator' and try again.  ");
    }
    EXPECT_TRUE(platform.started.empty());
    EXPECT_TRUE(platform.opened.empty());
    EXPECT_EQ(platform.ended, 0);
}

TEST(UpdateCheck, TestFileIsNeverLeftBehind)
{
    // A test file that could be created but not written is removed again, and
    // counts as a failed test.
    struct FailingWrite : FakePlatform
    {
        bool writeFile(const std::string& path, std::string_view) override
        {
            std::FILE* f = std::fopen(path.c_str(), "w");
            if (f)
                std::fclose(f);
            return false;
        }
    };
    Program p;
    FailingWrite platform;
    EXPECT_EQ(RunUpdateCheck(platform, p.context), UpdateEnding::MessageShown);
    EXPECT_FALSE(p.testFileLeft());

    // A stale test file from an earlier run is replaced and removed.
    p.dir.createFile("prog/su-test.tmp", "old");
    FakePlatform ok;
    ok.updaterStarts = true;
    EXPECT_EQ(RunUpdateCheck(ok, p.context), UpdateEnding::ProgramEnded);
    EXPECT_FALSE(p.testFileLeft());
}

TEST(UpdateCheck, ReminderAfterThirtyCalendarDays)
{
    const struct
    {
        std::time_t fileDate;
        const char* age; // "" when no reminder
    } cases[] = {
        {UtcTime(2024, 2, 14, 0, 0, 0), ""},      // 30 days
        {UtcTime(2024, 2, 13, 23, 59, 59), "31"}, // 30 days and 12 hours, 31 boundaries
        {UtcTime(2024, 4, 15, 12, 0, 0), "31"},   // dated in the future
        {UtcTime(2020, 10, 28, 12, 0, 0), "1,234"}, {UtcTime(2024, 3, 15, 23, 59, 59), ""},
    };
    for (const auto& c : cases) {
        Program p;
        p.programDated(c.fileDate);
        FakePlatform platform;
        platform.answers = {false};
        EXPECT_EQ(CheckVersionAge(platform, p.context), UpdateEnding::Returned);
        if (*c.age == '\0') {
            EXPECT_TRUE(platform.questions.empty()) << c.fileDate;
            continue;
        }
        ASSERT_EQ(platform.questions.size(), 1u);
        EXPECT_EQ(platform.questions[0].title, "Version Check");
        EXPECT_EQ(platform.questions[0].text,
                  "NOTE: Tessaloom version 5.4.1 was compiled on " +
                      FormatShortDate(ToLocalDateTime(c.fileDate), LocaleFormats::EnglishUS()) +
                      " and, therefore, is " + c.age +
                      " days old.\n\nWould you like to check for a more recent version now?");
        EXPECT_TRUE(platform.started.empty()); // declined
    }

    // The short date and the thousands separator come from the locale.
    Program p;
    p.programDated(UtcTime(2020, 10, 28, 12, 0, 0));
    p.context.formats.shortDatePicture = "dd.MM.yyyy";
    p.context.formats.thousandsSeparator = ".";
    EXPECT_NE(VersionAgeQuestion(p.context, UtcTime(2020, 10, 28), 1234)
                  .find("compiled on 28.10.2020 and, therefore, is 1.234 days old."),
              std::string::npos);
}

TEST(UpdateCheck, AcceptedReminderUsesItsOwnWording)
{
    Program p;
    p.programDated(UtcTime(2023, 1, 1));
    FakePlatform platform;
    platform.answers = {true, true};
    EXPECT_EQ(CheckVersionAge(platform, p.context), UpdateEnding::Returned);
    ASSERT_EQ(platform.started.size(), 3u);
    EXPECT_EQ(platform.started[1], kParameters);
    ASSERT_EQ(platform.opened.size(), 1u);
    EXPECT_FALSE(platform.opened[0].second); // no owner window
    ASSERT_EQ(platform.questions.size(), 2u);
    EXPECT_EQ(platform.questions[1].text.rfind("You currently have Tessaloom version 5.4.1\n\n", 0),
              0u);
    EXPECT_FALSE(p.testFileLeft());

    // Without a readable program file there is no age, and no reminder.
    Program missing;
    FakePlatform quiet;
    EXPECT_EQ(CheckVersionAge(quiet, missing.context), UpdateEnding::Returned);
    EXPECT_TRUE(quiet.questions.empty());
}

} // namespace
} // namespace tessaloom
