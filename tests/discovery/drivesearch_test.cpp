#include "discovery/drivesearch.h"

#include "support/testdir.h"
#include "walkrecorder.h"

#include <gtest/gtest.h>

namespace tessaloom {
namespace {

using test::ReadWholeFile;
using test::RecordingView;
using test::TestDir;

std::string P(const TestDir& dir, std::string_view relative)
{
    return (dir / relative).string();
}

TEST(DriveSearch, StepsRunInOrderAndTheCounterIsResetPerVolumeOnly)
{
    TestDir dir;
    for (int i = 0; i < 30; ++i)
        dir.createDir("vol1/f" + std::to_string(i));
    for (int i = 0; i < 47; ++i)
        dir.createDir("vol2/f" + std::to_string(i));
    dir.createDir("vol2/f0/Cache");
    dir.createDir("data");

    DriveSearchPlan plan;
    plan.volumes = {{P(dir, "vol1"), "/vol1 [ONE]"}, {P(dir, "vol2"), "/vol2 [/dev/sdb1]"}};
    plan.cacheHome = P(dir, "home");
    dir.createDir("home");
    plan.folderListPath = dir / "data/folders.dat";
    RecordingView view;
    view.onReload = [&] {
        // The list is in place by the time the combo reloads.
        EXPECT_EQ(ReadWholeFile(plan.folderListPath), P(dir, "vol2/f0/Cache") + "\r\n");
    };
    const DriveSearchResult result = RunDriveSearch(plan, view, LocaleFormats::EnglishUS());

    // vol1 opens 31 folders and vol2 49 (root, 47, Cache): only the reset keeps
    // vol2 below 50, and only counting on without a reset lets the cache home's
    // one folder make the 50th.
    EXPECT_EQ(view.log,
              (std::vector<std::string>{"busy", "sound ClickBg.wav", "show", "clear",
                                        "searching Searching \n/vol1 [ONE] ...", "label ",
                                        "searching Searching \n/vol2 [/dev/sdb1] ...", "label ",
                                        "found " + P(dir, "vol2/f0/Cache"),
                                        "label Folders Searched: 50", "slide", "reload", "idle"}));
    EXPECT_TRUE(result.written);
    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.folders, std::vector<std::string>{P(dir, "vol2/f0/Cache")});
}

TEST(DriveSearch, ListIsSortedWithoutCaseAndRepeatsAreWrittenOnce)
{
    TestDir dir;
    for (const char* sub : {"vol/b/Cache", "vol/a/cache", "vol/a/Cache", "vol/A2/CACHE",
                            "vol/home/.cache/chromium/Default/Cache", "vol/Z/Cache"})
        dir.createDir(sub);
    dir.createFile("folders.dat", "old list\r\n");

    DriveSearchPlan plan;
    plan.volumes = {{P(dir, "vol"), "vol"}};
    plan.cacheHome = P(dir, "vol/home/.cache"); // found again from the cache home
    plan.folderListPath = dir / "folders.dat";
    RecordingView view;
    const DriveSearchResult result = RunDriveSearch(plan, view, LocaleFormats::EnglishUS());

    EXPECT_EQ(view.found.size(), 7u);
    // "a/Cache" and "a/cache" differ only in case: the first in order stays.
    const std::vector<std::string> expected = {
        P(dir, "vol/a/Cache"), P(dir, "vol/A2/CACHE"), P(dir, "vol/b/Cache"),
        P(dir, "vol/home/.cache/chromium/Default/Cache"), P(dir, "vol/Z/Cache")};
    EXPECT_EQ(result.folders, expected);
    EXPECT_EQ(ReadWholeFile(plan.folderListPath), FolderListText(expected));
    EXPECT_EQ(FolderListText({"/a", "/b c"}), "/a\r\n/b c\r\n");
    EXPECT_EQ(FolderListText({}), "");
}

TEST(DriveSearch, CancelStillWritesWhatWasFoundAndReloads)
{
    TestDir dir;
    dir.createDir("vol1/a/Cache");
    dir.createDir("vol1/a/more/Cache");
    dir.createDir("vol1/b/more/Cache");
    dir.createDir("vol2/Cache");
    dir.createDir("home/Cache");
    dir.createFile("folders.dat", "/previous/Cache\r\n");

    DriveSearchPlan plan;
    plan.volumes = {{P(dir, "vol1"), "1"}, {P(dir, "vol2"), "2"}};
    plan.cacheHome = P(dir, "home");
    plan.folderListPath = dir / "folders.dat";
    RecordingView view;
    view.onFound = [&](const std::string&) { view.cancel(); };
    const DriveSearchResult result = RunDriveSearch(plan, view, LocaleFormats::EnglishUS());

    ASSERT_EQ(view.found.size(), 1u);
    EXPECT_TRUE(result.cancelled);
    EXPECT_EQ(result.folders, view.found);
    EXPECT_EQ(ReadWholeFile(plan.folderListPath), view.found.front() + "\r\n");
    EXPECT_EQ(std::vector<std::string>(view.log.end() - 3, view.log.end()),
              (std::vector<std::string>{"slide", "reload", "idle"}));
}

TEST(DriveSearch, UnwritableListIsReportedAndTheSearchStillEnds)
{
    TestDir dir;
    dir.createDir("vol/Cache");
    dir.createFile("data", "a file where the data folder should be");
    DriveSearchPlan plan;
    plan.volumes = {{P(dir, "vol"), "vol"}};
    plan.folderListPath = dir / "data/folders.dat";
    RecordingView view;
    const DriveSearchResult result = RunDriveSearch(plan, view, LocaleFormats::EnglishUS());
    EXPECT_FALSE(result.written);
    ASSERT_TRUE(result.writeError);
    EXPECT_FALSE(result.writeError->message.empty());
    EXPECT_EQ(result.folders, std::vector<std::string>{P(dir, "vol/Cache")});
    EXPECT_EQ(view.log.back(), "idle");

    // No list path: nothing is written at all.
    plan.folderListPath.clear();
    const DriveSearchResult dry = RunDriveSearch(plan, view, LocaleFormats::EnglishUS());
    EXPECT_FALSE(dry.written);
    EXPECT_FALSE(dry.writeError);
}

// The folder layouts that Linux browsers keep under the cache home.
TEST(DriveSearch, FindsTheCachesOfCurrentBrowsersUnderTheCacheHome)
{
    TestDir dir;
    const std::vector<std::string> found = {
        "chromium/Default/Cache",
        "google-chrome/Default/Cache",
        "BraveSoftware/Brave-Browser/Default/Cache",
        "falkon/default/QtWebEngine/Default/Cache",
    };
    for (const std::string& sub : found)
        dir.createDir("home/.cache/" + sub + "/Cache_Data");
    dir.createDir("home/.cache/chromium/Default/Code Cache/js");
    dir.createDir("home/.cache/chromium/Default/GPUCache");
    dir.createDir("home/.cache/mozilla/firefox/ab12cd.default-esr/cache2/entries");
    dir.createDir("home/.cache/mozilla/firefox/ab12cd.default-esr/cache2/doomed");
    dir.createDir("home/.cache/other/entries");

    DriveSearchPlan plan;
    plan.cacheHome = P(dir, "home/.cache");
    RecordingView view;
    const DriveSearchResult result = RunDriveSearch(plan, view, LocaleFormats::EnglishUS());
    std::vector<std::string> expected;
    for (const std::string& sub : found) {
        expected.push_back(P(dir, "home/.cache/" + sub));
        expected.push_back(P(dir, "home/.cache/" + sub + "/Cache_Data"));
    }
    expected.push_back(P(dir, "home/.cache/mozilla/firefox/ab12cd.default-esr/cache2/entries"));
    EXPECT_EQ(result.folders, SortFoundFolders(expected));
}

} // namespace
} // namespace tessaloom
