#include "indexer/indexbuild.h"

#include "indexer/examination.h"
#include "platform/filelister.h"
#include "platform/textcodec.h"
#include "support/childprocess.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaloom {
namespace {

using test::ReadWholeFile;
using test::TestDir;
using test::UtcTime;

const std::string kJfif = std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) + "\x80\x81";

// Records every report; cancels before the file numbered `cancelAt`.
class RecordingListener : public IndexProgressListener
{
public:
    long long cancelAt = 0;
    bool keep = false;
    std::vector<FileReport> files;
    std::vector<std::string> titles;
    std::vector<std::string> lastTitles;
    std::vector<TimedReport> timed;
    int closed = 0;
    int keepQuestions = 0;

    void fileReport(const FileReport& r) override { files.push_back(r); }
    void windowTitleReport(std::string_view t) override { titles.emplace_back(t); }
    void timedReport(const TimedReport& r) override { timed.push_back(r); }
    bool cancelRequested() override { return cancelAt != 0 && files.back().counter == cancelAt; }
    bool keepPartialIndex() override
    {
        ++keepQuestions;
        return keep;
    }
    void lastTitleReport(std::string_view t) override { lastTitles.emplace_back(t); }
    void close() override { ++closed; }
};

IndexRequest RequestFor(const TestDir& dir, IndexOptions options = {})
{
    IndexRequest request;
    request.folder = dir.path().string();
    request.pattern = "*.*";
    request.options = options;
    request.formats = LocaleFormats::EnglishUS();
    request.clock = [] { return UtcTime(2026, 12, 8, 10, 0, 0); };
    request.fileNames = ListMatchingFiles(dir.path(), "*.*").value();
    return request;
}

// The file names of the entry cells, in document order.
std::vector<std::string> LinkedNames(const std::filesystem::path& doc)
{
    std::vector<std::string> names;
    const std::string text = ReadWholeFile(doc);
    std::size_t at = 0;
    while ((at = text.find("<TD align=center", at)) != std::string::npos) {
        const std::size_t start = text.find("href=\"", at) + 6;
        names.push_back(text.substr(start, text.find('"', start) - start));
        at = start;
    }
    return names;
}

TEST(CreateIndex, NoFilesWritesNothing)
{
    TestDir dir;
    RecordingListener listener;
    const auto outcome = CreateIndex(RequestFor(dir), listener);
    EXPECT_EQ(outcome.status, IndexStatus::NoFiles);
    EXPECT_FALSE(std::filesystem::exists(dir / "!ndex.htm"));
    EXPECT_EQ(listener.closed, 0);
}

TEST(CreateIndex, OldIndexAloneGivesAnEmptyNewOne)
{
    TestDir dir;
    dir.createFile("!ndex.htm", "<title>old</title>");
    RecordingListener listener;
    const auto outcome = CreateIndex(RequestFor(dir), listener);
    ASSERT_EQ(outcome.status, IndexStatus::Written);
    EXPECT_EQ(outcome.entryCount, 0);
    EXPECT_NE(ReadWholeFile(dir / "!ndex.htm").find("Files Indexed: 0&"), std::string::npos);
    EXPECT_EQ(listener.lastTitles, std::vector<std::string>{"Last Title Found:  old"});
    EXPECT_EQ(listener.closed, 1);
}

TEST(CreateIndex, FiltersAndCounts)
{
    TestDir dir;
    const std::time_t t = UtcTime(2026, 5, 1);
    dir.createFile("a_binary", "\xE9\xE9 no title", t + 1);
    dir.createFile("b_page", "<title>After binary</title>", t + 2);
    dir.createFile("c_photo.jpg", "x", t + 3);
    dir.createFile("d_jfif", kJfif, t + 4);
    dir.createFile("e_song.wav", "\xE9", t + 5);
    dir.createFile("FAT.DB", "\xE9", t + 6);
    dir.createFile("_CACHE_001_", "<title>skip</title>", t + 7);
    dir.createFile("f_text", "plain", t + 8);

    struct Case
    {
        IndexOptions options;
        std::vector<std::string> listed;
        int images, binary;
    };
    const Case cases[] = {
        {{false, false, true}, {"b_page", "c_photo.jpg", "d_jfif", "e_song.wav", "f_text"}, 0, 2},
        {{false, false, false},
         {"a_binary", "b_page", "c_photo.jpg", "d_jfif", "e_song.wav", "f_text"},
         0,
         0},
        {{true, false, true}, {"b_page", "e_song.wav", "f_text"}, 2, 2},
        {{false, true, true}, {"c_photo.jpg", "d_jfif"}, 0, 2},
        {{true, true, true}, {}, 2, 2},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(dir / "!ndex.htm");
        RecordingListener listener;
        const auto outcome = CreateIndex(RequestFor(dir, c.options), listener);
        ASSERT_EQ(outcome.status, IndexStatus::Written);
        EXPECT_EQ(LinkedNames(dir / "!ndex.htm"), c.listed);
        EXPECT_EQ(outcome.entryCount, static_cast<int>(c.listed.size()));
        EXPECT_EQ(outcome.imagesFiltered, c.images);
        EXPECT_EQ(outcome.binaryFiltered, c.binary);
        EXPECT_EQ(listener.lastTitles.size(), 8u); // skipped files are reported too
    }
}

TEST(CreateIndex, OrderByDateThenLabelThenName)
{
    TestDir dir;
    const std::time_t same = UtcTime(2026, 3, 3, 12, 0, 0);
    dir.createFile("z_first", "<title>Zebra</title>", UtcTime(2020, 1, 1));
    dir.createFile("b_page", "<title>beta</title>", same);
    dir.createFile("a_page", "<title>Beta</title>", same);
    dir.createFile("c_page", "<title>alpha</title>", same);
    dir.createFile("pic.gif", "", same);
    // The date key counts hours to 24: after noon sorts after before noon.
    dir.createFile("a_afternoon", "<title>Afternoon</title>", UtcTime(2026, 3, 3, 13, 5, 0));
    dir.createFile("y_morning", "<title>Morning</title>", UtcTime(2026, 3, 3, 9, 5, 0));
    RecordingListener listener;
    ASSERT_EQ(CreateIndex(RequestFor(dir), listener).status, IndexStatus::Written);
    EXPECT_EQ(LinkedNames(dir / "!ndex.htm"),
              (std::vector<std::string>{"z_first", "y_morning", "pic.gif", "c_page", "a_page",
                                        "b_page", "a_afternoon"}));
    const std::string doc = ReadWholeFile(dir / "!ndex.htm");
    EXPECT_NE(doc.find(">Morning</a><br><br><font size=-1>3/3/2026  9:05 am<"), std::string::npos);
    EXPECT_NE(doc.find(">Afternoon</a><br><br><font size=-1>3/3/2026  1:05 pm<"),
              std::string::npos);
}

// Entries order as their joined texts (date key, code 6, label, code 6, name) do
// under ICompare, also where a label is the start of another or differs in case,
// and where a key of another shape (a year past 9999) sorts among the usual ones.
TEST(SortIndexEntries, OrderOfTheJoinedTexts)
{
    // A few dates shared by many entries; one key of another shape among them; and
    // dates from many years, which differ in every digit of their number.
    for (const int mode : {0, 1, 2}) {
        SCOPED_TRACE(mode);
        std::vector<std::string> dates = {"2026/03/03 12:00:00", "2026/03/03 12:00:01",
                                          "2025/12/31 23:59:59"};
        if (mode == 1)
            dates.push_back("20000/01/01 00:00:00");
        for (int year = 1990; mode == 2 && year < 2040; ++year) {
            for (const char* rest : {"/01/01 00:00:00", "/12/31 23:59:59", "/06/15 08:30:07"})
                dates.push_back(std::to_string(year) + rest);
        }
        const std::vector<std::string> labels = {"Beta",  "beta",         "b",
                                                 "B\x05", "       Image", "\xE9"};
        const std::vector<std::string> names = {"a", "A", "ab", "aB", "a\x06b"};
        std::mt19937 random(3);
        std::vector<IndexEntry> entries;
        for (int i = 0; i < 400; ++i)
            entries.push_back({dates[random() % dates.size()], labels[random() % labels.size()],
                               names[random() % names.size()]});
        const auto joined = [](const IndexEntry& e) {
            return e.dateKey + '\x06' + e.label + '\x06' + e.fileName;
        };
        std::vector<std::string> expected;
        for (const IndexEntry& e : entries)
            expected.push_back(joined(e));
        std::stable_sort(
            expected.begin(), expected.end(),
            [](const std::string& a, const std::string& b) { return ICompare(a, b) < 0; });

        SortIndexEntries(entries);
        std::vector<std::string> sorted;
        for (const IndexEntry& e : entries)
            sorted.push_back(joined(e));
        EXPECT_EQ(sorted, expected);
    }
}

TEST(CreateIndex, FileNamesKeepTheirCase)
{
    TestDir dir;
    dir.createFile("F_00A1B2", "<title>Mixed</title>");
    RecordingListener listener;
    CreateIndex(RequestFor(dir), listener);
    EXPECT_EQ(LinkedNames(dir / "!ndex.htm"), std::vector<std::string>{"F_00A1B2"});
}

TEST(CreateIndex, ProgressReports)
{
    TestDir dir;
    for (int i = 0; i < 100; ++i)
        dir.createFile("f" + std::to_string(1000 + i), "x");
    const std::string longName(120, 'n');
    RecordingListener listener;
    auto request = RequestFor(dir);
    request.folder = dir.path().string();
    CreateIndex(request, listener);
    ASSERT_EQ(listener.files.size(), 100u);
    EXPECT_EQ(listener.files[0].readingText(), "Reading File: 1 of 100");
    EXPECT_EQ(listener.files[0].percentText(), "1% Complete");
    EXPECT_EQ(listener.files[28].percentText(), "28% Complete"); // 29 of 100
    EXPECT_EQ(listener.files[99].percentText(), "100% Complete");
    EXPECT_EQ(listener.titles[28], "28% Complete");
    EXPECT_EQ(listener.files[5].fileName, "f1005");
    // A fixed clock at second 0: no timed report is due at all.
    EXPECT_TRUE(listener.timed.empty());
    EXPECT_EQ(ProgressWindowTitle(true, "5% Complete"), "5% Complete");
    EXPECT_EQ(ProgressWindowTitle(false, "5% Complete"), "Tessaloom");
}

TEST(CreateIndex, TimedReportsOncePerClockSecond)
{
    TestDir dir;
    for (int i = 0; i < 6; ++i)
        dir.createFile("f" + std::to_string(i), "\xE9");
    auto request = RequestFor(dir, {false, false, true});
    // Seconds per file: 1, 1, 2, 2, 2, 3 (the clock is read once per file, then for the date).
    std::vector<std::time_t> ticks = {1, 1, 2, 2, 2, 3, 3};
    std::size_t tick = 0;
    request.clock = [&] { return ticks[std::min(tick++, ticks.size() - 1)]; };
    RecordingListener listener;
    CreateIndex(request, listener);
    ASSERT_EQ(listener.timed.size(), 3u);
    EXPECT_DOUBLE_EQ(listener.timed[0].barPosition, 1.0 / 6.0);
    EXPECT_EQ(listener.timed[1].binaryFiltered, 2); // counts reached before file 3
    EXPECT_DOUBLE_EQ(listener.timed[2].barPosition, 1.0);
}

TEST(CreateIndex, LongFolderTextIsCutWithBlanksShown)
{
    TestDir dir;
    const std::string deep = "with blanks/" + std::string(110, 'd');
    dir.createFile(deep + "/f", "x");
    RecordingListener listener;
    IndexRequest request = RequestFor(dir);
    request.folder = (dir / deep).string();
    request.fileNames = {"f"};
    CreateIndex(request, listener);
    const std::string& text = listener.files.at(0).folderText;
    EXPECT_EQ(text, "..." + std::string(99, 'd'));
    request.folder = (dir / "with blanks").string();
    request.fileNames = {"missing"};
    CreateIndex(request, listener);
    EXPECT_NE(listener.files.back().folderText.find("with_blanks"), std::string::npos);
}

TEST(CreateIndex, CancelThenKeepOrDiscard)
{
    TestDir dir;
    dir.createFile("!ndex.htm", "precious older index");
    for (int i = 0; i < 5; ++i)
        dir.createFile("f" + std::to_string(i), "\xE9");

    RecordingListener discard;
    discard.cancelAt = 3;
    auto request = RequestFor(dir, {false, false, true});
    const auto none = CreateIndex(request, discard);
    EXPECT_EQ(none.status, IndexStatus::Cancelled);
    EXPECT_EQ(ReadWholeFile(dir / "!ndex.htm"), "precious older index");
    EXPECT_EQ(discard.closed, 1);
    EXPECT_EQ(discard.keepQuestions, 1);

    RecordingListener keep;
    keep.cancelAt = 4;
    keep.keep = true;
    const auto partial = CreateIndex(RequestFor(dir, {false, false, false}), keep);
    ASSERT_EQ(partial.status, IndexStatus::Written);
    // "!ndex.htm" is file 1 and skipped; f0 and f1 are listed, f2 is not examined.
    EXPECT_EQ(LinkedNames(dir / "!ndex.htm"), (std::vector<std::string>{"f0", "f1"}));
    EXPECT_EQ(keep.lastTitles.size(), 3u);
}

// A folder whose files the system's cache no longer holds, as a disk's files are
// after a while, is read ahead on threads: the page is the one built from memory,
// and a cancel stops the threads with the run.
TEST(CreateIndex, AFolderReadFromTheDiskGivesThePageOfOneInMemory)
{
    TestDir dir;
    std::vector<std::filesystem::path> files;
    for (int i = 0; i < 300; ++i) {
        files.push_back(
            dir.createFile("f" + std::to_string(1000 + i),
                           "<title>t" + std::to_string(i % 7) + "</title>" + std::string(5000, 'x'),
                           UtcTime(2026, 1, 1) + i % 50));
    }
    RecordingListener first;
    ASSERT_EQ(CreateIndex(RequestFor(dir), first).status, IndexStatus::Written);
    RecordingListener fromMemory;
    ASSERT_EQ(CreateIndex(RequestFor(dir), fromMemory).status, IndexStatus::Written);
    const std::string page = ReadWholeFile(dir / "!ndex.htm");
    if (!test::DropFromSystemCache(files))
        GTEST_SKIP() << "this file system keeps its files in memory";

    RecordingListener fromDisk;
    ASSERT_EQ(CreateIndex(RequestFor(dir), fromDisk).status, IndexStatus::Written);
    EXPECT_EQ(ReadWholeFile(dir / "!ndex.htm"), page);
    EXPECT_EQ(fromDisk.lastTitles, fromMemory.lastTitles);

    ASSERT_TRUE(test::DropFromSystemCache(files));
    RecordingListener cancelled;
    cancelled.cancelAt = 40;
    EXPECT_EQ(CreateIndex(RequestFor(dir), cancelled).status, IndexStatus::Cancelled);
    EXPECT_EQ(ReadWholeFile(dir / "!ndex.htm"), page);
}

TEST(CreateIndex, UnreadableAndVanishedFiles)
{
    TestDir dir;
    dir.createFile("a_locked", "<title>secret</title>", UtcTime(2026, 1, 1));
    ::chmod((dir / "a_locked").c_str(), 0);
    dir.createFile("b_page", "<title>Fine</title>", UtcTime(2026, 1, 2));
    auto request = RequestFor(dir);
    request.fileNames.insert(request.fileNames.begin() + 1, "a_vanished");
    RecordingListener listener;
    const auto outcome = CreateIndex(request, listener);
    ASSERT_EQ(outcome.status, IndexStatus::Written);
    const auto names = LinkedNames(dir / "!ndex.htm");
    EXPECT_EQ(listener.lastTitles.size(), 3u);
    // The vanished file is not linked; the page after it still is.
    EXPECT_EQ(std::count(names.begin(), names.end(), "a_vanished"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "b_page"), 1);
    // The locked file is listed (untitled unless the tests can read it anyway as root).
    EXPECT_EQ(std::count(names.begin(), names.end(), "a_locked"), 1);
}

TEST(CreateIndex, ReadOnlyFolderReportsTheFailure)
{
    TestDir dir;
    dir.createFile("f", "x");
    RecordingListener listener;
    const auto request = RequestFor(dir);
    // A folder in the way of the document: nothing can be put in its place.
    dir.createFile("!ndex.htm/blocker", "x");
    const auto outcome = CreateIndex(request, listener);
    EXPECT_EQ(outcome.status, IndexStatus::WriteFailed);
    ASSERT_TRUE(outcome.error);
    EXPECT_FALSE(outcome.error->message.empty());
    EXPECT_EQ(listener.closed, 1);
}

TEST(CreateIndex, FolderThatCannotBeOpenedIsReportedAndNothingWritten)
{
    const struct
    {
        const char* name;
        const char* folder; // what the listed folder is by the time the run opens it
        int error;
    } cases[] = {
        {"removed after listing", "gone", ENOENT},
        {"a file in its place", "file", ENOTDIR},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestDir dir;
        dir.createFile("file", "x");
        dir.createFile("listed/page", "<title>t</title>");
        auto request = RequestFor(dir);
        request.fileNames.clear();
        request.fileNames = ListMatchingFiles(dir / "listed", "*.*").value();
        request.folder = (dir / c.folder).string();
        RecordingListener listener;
        const auto outcome = CreateIndex(request, listener);
        EXPECT_EQ(outcome.status, IndexStatus::FolderUnreadable);
        ASSERT_TRUE(outcome.error);
        EXPECT_EQ(outcome.error->code, c.error);
        EXPECT_TRUE(listener.files.empty());
        EXPECT_EQ(listener.closed, 0);
        EXPECT_FALSE(std::filesystem::exists(dir / "!ndex.htm"));
        EXPECT_FALSE(std::filesystem::exists(dir / "listed/!ndex.htm"));
    }
}

// The main window, as the run sees it, with every call logged.
class FakeHost : public IndexRunHost
{
public:
    std::string folder;
    bool browser = false, wizard = false, browserWorks = true;
    std::vector<std::string> log;
    std::string lastErrorText;

    std::string fileListFolder() override { return folder; }
    std::vector<std::string> refreshFileList() override
    {
        log.push_back("refresh");
        Result<std::vector<std::string>> names = ListMatchingFiles(folder, "*.*");
        return names ? std::move(names).value() : std::vector<std::string>{};
    }
    std::string filePattern() override { return "*.*"; }
    IndexOptions filterOptions() override { return {}; }
    void setFilesLabel(std::string_view t) override { log.emplace_back(t); }
    void enterFolder(const std::string&) override { log.push_back("enter"); }
    void setIndexPath(std::string_view p) override { log.push_back("path " + std::string(p)); }
    void showNoFilesMessage() override { log.push_back("no files"); }
    void hideMainWindow() override { log.push_back("hide"); }
    void showMainWindow() override { log.push_back("show"); }
    bool launchBrowserChecked() override { return browser; }
    bool launchWizardChecked() override { return wizard; }
    bool openInBrowser(const std::string&) override
    {
        log.push_back("browser");
        return browserWorks;
    }
    void showError(std::string_view title, std::string_view text) override
    {
        log.push_back("error " + std::string(title));
        lastErrorText = text;
    }
    void showWizardModal() override { log.push_back("wizard"); }
};

TEST(RunIndexBuild, StepsInOrder)
{
    TestDir dir;
    RecordingListener listener;
    FakeHost host;
    host.folder = dir.path().string();
    RunIndexBuild(host, listener, LocaleFormats::EnglishUS());
    EXPECT_EQ(host.log, (std::vector<std::string>{"refresh", "Files (0)", "enter", "path !ndex.htm",
                                                  "no files"}));

    dir.createFile("page", "<title>t</title>");
    host.log.clear();
    host.browser = host.wizard = true;
    host.browserWorks = false;
    RunIndexBuild(host, listener, LocaleFormats::EnglishUS());
    EXPECT_EQ(host.log, (std::vector<std::string>{
                            "refresh", "Files (1)", "enter", "path !ndex.htm", "hide", "browser",
                            "error Error Launching Browser", "wizard", "show"}));
    EXPECT_NE(BrowserLaunchErrorText("/x/!ndex.htm")
                  .find("manually launch your browser and open /x/!ndex.htm"),
              std::string::npos);
}

TEST(RunIndexBuild, CancelAndWriteFailureSkipTheAfterActions)
{
    TestDir dir;
    dir.createFile("page", "<title>t</title>");
    FakeHost host;
    host.folder = dir.path().string();
    host.browser = host.wizard = true;
    RecordingListener cancel;
    cancel.cancelAt = 1;
    EXPECT_EQ(RunIndexBuild(host, cancel, LocaleFormats::EnglishUS()).status,
              IndexStatus::Cancelled);
    EXPECT_EQ(host.log.back(), "show");
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "browser"), 0);

    // A folder in the way of the document makes the final rename fail, even for root.
    dir.createFile("!ndex.htm/blocker", "x");
    host.log.clear();
    RecordingListener listener;
    const auto outcome = RunIndexBuild(host, listener, LocaleFormats::EnglishUS());
    EXPECT_EQ(outcome.status, IndexStatus::WriteFailed);
    EXPECT_EQ(host.log.end()[-2], "error Error Writing Index");
    EXPECT_EQ(host.lastErrorText,
              "The index file could not be written.\n\n" + outcome.error->message);
    EXPECT_EQ(host.log.back(), "show");
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "wizard"), 0);
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "browser"), 0);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);
}

TEST(RunIndexBuild, FolderGoneAfterListingIsReported)
{
    TestDir dir;
    dir.createFile("cache/page", "<title>t</title>");
    // Another program removes the folder just after the file list was refreshed.
    struct VanishingHost : FakeHost
    {
        std::vector<std::string> refreshFileList() override
        {
            auto names = FakeHost::refreshFileList();
            std::filesystem::remove_all(folder);
            return names;
        }
    } host;
    host.folder = (dir / "cache").string();
    host.browser = host.wizard = true;
    RecordingListener listener;
    EXPECT_EQ(RunIndexBuild(host, listener, LocaleFormats::EnglishUS()).status,
              IndexStatus::FolderUnreadable);
    EXPECT_EQ(host.log, (std::vector<std::string>{"refresh", "Files (1)", "enter", "path !ndex.htm",
                                                  "hide", "error ERROR: 2", "show"}));
    EXPECT_EQ(host.lastErrorText, std::strerror(ENOENT));
}

// A rename needs only the folder's permission, but a read-only page is the
// user's word that it must stay as it is. Root may write anything: run as "nobody".
TEST(RunIndexBuild, ReadOnlyPageIsReportedAndLeftAlone)
{
    TestDir dir;
    dir.createFile("page", "<title>t</title>");
    const auto page = dir.createFile("!ndex.htm", "old page");
    ::chmod(page.c_str(), 0444);
    if (test::RunningAsRoot()) {
        for (const auto& p : {dir.path(), page, dir / "page"})
            ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0);
    }
    const auto outcome = test::RunInChild([&]() -> std::string {
        if (test::RunningAsRoot() && !test::DropRootPrivileges())
            return "cannot drop privileges";
        FakeHost host;
        host.folder = dir.path().string();
        host.browser = true;
        RecordingListener listener;
        const IndexStatus status = RunIndexBuild(host, listener, LocaleFormats::EnglishUS()).status;
        return std::string(status == IndexStatus::WriteFailed ? "failed" : "written") + "\n" +
               host.log.end()[-2] + "\n" + host.lastErrorText;
    });
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(*outcome, "failed\nerror Error Writing Index\nThe index file could not be "
                        "written.\n\nCannot replace " +
                            page.string() + ": " + std::strerror(EACCES));
    EXPECT_EQ(ReadWholeFile(page), "old page");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                            std::filesystem::directory_iterator()),
              2);
}

} // namespace
} // namespace tessaloom
