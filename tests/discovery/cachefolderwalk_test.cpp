#include "discovery/cachefolderwalk.h"

#include "support/childprocess.h"
#include "support/testdir.h"
#include "walkrecorder.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaloom {
namespace {

using test::RecordingView;
using test::TestDir;

std::vector<std::string> Walk(const std::filesystem::path& root, std::int32_t* counter = nullptr,
                              RecordingView* viewOut = nullptr)
{
    RecordingView local;
    RecordingView& view = viewOut ? *viewOut : local;
    std::int32_t count = 0;
    ListCacheFolders(root.string(), counter ? *counter : count, view, LocaleFormats::EnglishUS());
    return view.sortedFound();
}

std::string P(const TestDir& dir, std::string_view relative)
{
    return (dir / relative).string();
}

TEST(CacheFolderWalk, NameRuleTakesOnlyTheThreeNamesInAnyCase)
{
    for (const char* name : {"cache", "Cache", "CACHE", "Temporary Internet Files",
                             "TEMPORARY INTERNET FILES", "Cache.Trash", "cache.trash"})
        EXPECT_TRUE(IsCacheFolderName(name)) << name;
    for (const char* name : {"Caches", "WebCache", "cache2", "mycache", "Cache_Data", "cache ",
                             " cache", "Temporary Internet", "Cache.Trash2", "", "cach"})
        EXPECT_FALSE(IsCacheFolderName(name)) << name;

    // The file folders of current browsers count only under their own parents.
    EXPECT_TRUE(IsCacheFolderPath("/h/.cache/chromium/Default/Cache/Cache_Data"));
    EXPECT_TRUE(IsCacheFolderPath("/h/.cache/mozilla/firefox/p.default/cache2/entries"));
    EXPECT_TRUE(IsCacheFolderPath("/x/CACHE"));
    EXPECT_FALSE(IsCacheFolderPath("/h/.cache/other/Cache_Data"));
    EXPECT_FALSE(IsCacheFolderPath("/h/.cache/other/entries"));
    EXPECT_FALSE(IsCacheFolderPath("/h/cache2"));
    EXPECT_FALSE(IsCacheFolderPath("Cache_Data"));
}

TEST(CacheFolderWalk, FindsCacheSubFoldersButNeverTheStartFolder)
{
    TestDir dir;
    // The start folder is itself named Cache: only what lies below it is tested.
    for (const char* sub : {"Cache/Cache", "Cache/x/CACHE", "Cache/Temporary Internet Files",
                            "Cache/y/Cache.Trash", "Cache/Caches", "Cache/WebCache", "Cache/cache2",
                            "Cache/mycache", "Cache/Cache/inner/cache"})
        dir.createDir(sub);
    dir.createFile("Cache/files/cache"); // a file, not a folder
    std::filesystem::create_directory_symlink(dir / "Cache/x", dir / "Cache/links-cache");
    std::filesystem::create_directory_symlink(dir / "Cache/x", dir / "Cache/y/Cache");

    std::int32_t counter = 0;
    EXPECT_EQ(Walk(dir / "Cache", &counter),
              (std::vector<std::string>{P(dir, "Cache/Cache"), P(dir, "Cache/Cache/inner/cache"),
                                        P(dir, "Cache/Temporary Internet Files"),
                                        P(dir, "Cache/x/CACHE"), P(dir, "Cache/y/Cache.Trash")}));
    // Every real folder counts once, the start folder included; links do not.
    EXPECT_EQ(counter, 14);
}

TEST(CacheFolderWalk, SymbolicLinkLoopsAreNotFollowedButALinkedStartFolderIs)
{
    TestDir dir;
    dir.createDir("real/a/Cache");
    std::filesystem::create_directory_symlink("..", dir / "real/a/up");
    std::filesystem::create_directory_symlink(".", dir / "real/a/self");
    std::filesystem::create_directory_symlink(dir / "real", dir / "real/a/Cache/back");
    std::filesystem::create_directory_symlink(dir / "real", dir / "start");

    std::int32_t counter = 0;
    EXPECT_EQ(Walk(dir / "real", &counter), (std::vector<std::string>{P(dir, "real/a/Cache")}));
    EXPECT_EQ(counter, 3);
    EXPECT_EQ(Walk(dir / "start"), (std::vector<std::string>{P(dir, "start/a/Cache")}));
    EXPECT_TRUE(Walk(dir / "missing").empty());
}

TEST(CacheFolderWalk, ProgressLabelAtEveryFiftiethFolderOpened)
{
    TestDir dir;
    for (int i = 0; i < 48; ++i)
        dir.createDir("root/f" + std::to_string(i));

    RecordingView view;
    std::int32_t counter = 0;
    Walk(dir / "root", &counter, &view);
    EXPECT_EQ(counter, 49);
    EXPECT_TRUE(view.labels().empty());

    dir.createDir("root/f48");
    RecordingView second;
    counter = 0;
    Walk(dir / "root", &counter, &second);
    EXPECT_EQ(counter, 50);
    EXPECT_EQ(second.labels(), std::vector<std::string>{"Folders Searched: 50"});

    // The count goes on from where the caller left it, with thousands separators.
    RecordingView third;
    counter = 1249;
    Walk(dir / "root/f0", &counter, &third);
    EXPECT_EQ(third.labels(), std::vector<std::string>{"Folders Searched: 1,250"});
    LocaleFormats german = LocaleFormats::EnglishUS();
    german.thousandsSeparator = ".";
    EXPECT_EQ(FoldersSearchedText(1250, german), "Folders Searched: 1.250");
}

TEST(CacheFolderWalk, CancelStopsEveryLevelAndLaterWalksOnlyCountTheirStart)
{
    TestDir dir;
    for (const char* sub : {"a/Cache/deep/Cache", "b/Cache/deep", "c/Cache/x", "d/Cache/y"})
        dir.createDir(std::string("root/") + sub);
    dir.createDir("other/Cache");

    RecordingView view;
    std::int32_t counter = 0;
    std::int32_t counterAtCancel = -1;
    int yieldsAtCancel = -1;
    view.onFound = [&](const std::string&) {
        if (counterAtCancel < 0) {
            view.cancel();
            counterAtCancel = counter;
            yieldsAtCancel = view.yields;
        }
    };
    ListCacheFolders((dir / "root").string(), counter, view, LocaleFormats::EnglishUS());
    EXPECT_EQ(view.found.size(), 1u);
    // The found folder is still opened and counted; every level then returns at
    // its next sub-folder without letting events run again.
    EXPECT_EQ(counter, counterAtCancel + 1);
    EXPECT_EQ(view.yields, yieldsAtCancel);

    ListCacheFolders((dir / "other").string(), counter, view, LocaleFormats::EnglishUS());
    EXPECT_EQ(counter, counterAtCancel + 2);
    EXPECT_EQ(view.found.size(), 1u);
}

TEST(CacheFolderWalk, FolderWithoutPermissionIsPassedOverSilently)
{
    TestDir dir;
    ::chmod(dir.path().c_str(), 0755);
    dir.createDir("root/open/Cache");
    dir.createDir("root/locked/Cache");
    dir.createDir("root/listonly/Cache");
    ::chmod((dir / "root/locked").c_str(), 0700);
    // Readable but not searchable: the names can be listed, nothing below opened.
    ::chmod((dir / "root/listonly").c_str(), 0744);

    const auto walkAsUser = [&]() -> std::string {
        if (test::RunningAsRoot() && !test::DropRootPrivileges())
            return "cannot drop privileges";
        std::ostringstream out;
        const bool denied =
            ::open((dir / "root/locked").c_str(), O_RDONLY | O_DIRECTORY) < 0 && errno == EACCES;
        out << "denied=" << denied << "\n";
        RecordingView view;
        std::int32_t counter = 0;
        ListCacheFolders((dir / "root").string(), counter, view, LocaleFormats::EnglishUS());
        out << "errors=" << view.errors.size() << " counter=" << counter << "\n";
        for (const std::string& path : view.sortedFound())
            out << path << "\n";
        return out.str();
    };
    // As root the permissions would not bite: walk as "nobody" in a child process.
    const std::optional<std::string> result = test::RunInChild(walkAsUser);
    ASSERT_TRUE(result.has_value());
    // Counted: root, open, open/Cache, listonly.
    EXPECT_EQ(*result, "denied=1\nerrors=0 counter=4\n" + P(dir, "root/listonly/Cache") + "\n" +
                           P(dir, "root/open/Cache") + "\n");
}

TEST(CacheFolderWalk, FolderThatVanishesDuringTheWalkIsPassedOverSilently)
{
    TestDir dir;
    for (const char* sub : {"root/a/Cache", "root/b/Cache", "root/c/Cache"})
        dir.createDir(sub);
    RecordingView view;
    view.onYield = [&] {
        std::error_code ec;
        for (const char* name : {"a", "b", "c"})
            std::filesystem::remove_all(dir / "root" / name, ec);
    };
    EXPECT_TRUE(Walk(dir / "root", nullptr, &view).empty());
    EXPECT_TRUE(view.errors.empty());
}

// Uses up the process's descriptors so that opening the third level fails with
// EMFILE, then answers the question as `answer` says.
std::string WalkOutOfDescriptors(const std::filesystem::path& root, ErrorAnswer answer)
{
    {
        // The undefined-behaviour checker verifies the type of each virtual call
        // once per class, and needs a spare descriptor to do so: let it do that
        // now, while descriptors are still free.
        RecordingView warmUp;
        CacheWalkObserver& observer = warmUp;
        observer.cancelRequested();
        observer.letEventsRun();
        observer.cacheFolderFound("/");
        observer.setFoldersLabel({});
        observer.askAboutError({});
    }
    rlimit limit{64, 64};
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
        return "setrlimit";
    std::vector<int> fillers;
    for (int fd; (fd = ::open("/dev/null", O_RDONLY)) >= 0;)
        fillers.push_back(fd);
    for (int i = 0; i < 2; ++i) {
        ::close(fillers.back());
        fillers.pop_back();
    }
    RecordingView view;
    view.onError = [&](const WalkError&) {
        for (int fd : fillers)
            ::close(fd);
        fillers.clear();
        return answer;
    };
    std::int32_t counter = 0;
    ListCacheFolders(root.string(), counter, view, LocaleFormats::EnglishUS());
    std::ostringstream out;
    out << "counter=" << counter << " errors=" << view.errors.size();
    for (const WalkError& error : view.errors)
        out << " [" << error.number << " " << error.path << " " << error.text() << "]";
    for (const std::string& path : view.found)
        out << " found " << path;
    return out.str();
}

TEST(CacheFolderWalk, OtherErrorsAreAskedAboutAbortRetryOrIgnore)
{
    TestDir dir;
    dir.createDir("root/a/b/Cache");
    const std::string b = P(dir, "root/a/b");
    const std::string error = " errors=1 [" + std::to_string(EMFILE) + " " + b + " " +
                              std::to_string(EMFILE) + " - " + std::strerror(EMFILE) + "]";

    // Abort gives up the folder before it counts; Ignore counts it but finds
    // nothing in it; Retry opens it again and walks on.
    EXPECT_EQ(
        test::RunInChild([&] { return WalkOutOfDescriptors(dir / "root", ErrorAnswer::Abort); }),
        "counter=2" + error);
    EXPECT_EQ(
        test::RunInChild([&] { return WalkOutOfDescriptors(dir / "root", ErrorAnswer::Ignore); }),
        "counter=3" + error);
    EXPECT_EQ(
        test::RunInChild([&] { return WalkOutOfDescriptors(dir / "root", ErrorAnswer::Retry); }),
        "counter=4" + error + " found " + b + "/Cache");
}

// mkdir -p for chains longer than a path may be, one level at a time.
void MakeChain(int parentFd, const std::string& name, int depth, const std::string& leaf)
{
    int fd = ::dup(parentFd);
    for (int level = 0; level < depth; ++level) {
        ::mkdirat(fd, name.c_str(), 0755);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    ::mkdirat(fd, leaf.c_str(), 0755);
    ::close(fd);
}

void RemoveTreeAt(int parentFd, const char* name)
{
    const int fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd >= 0) {
        DIR* dir = ::fdopendir(fd);
        std::vector<std::string> children;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view child = entry->d_name;
            if (child != "." && child != "..")
                children.emplace_back(child);
        }
        for (const std::string& child : children) {
            if (::unlinkat(fd, child.c_str(), 0) != 0)
                RemoveTreeAt(fd, child.c_str());
        }
        ::closedir(dir);
    }
    ::unlinkat(parentFd, name, AT_REMOVEDIR);
}

int OpenDescriptorCount()
{
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir))
            ++count;
        ::closedir(dir);
    }
    return count;
}

TEST(CacheFolderWalk, DeepTreesKeepFewDescriptorsAndPathsBeyondPathMax)
{
    TestDir dir;
    dir.createDir("root");
    const int rootFd = ::open((dir / "root").c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(rootFd, 0);
    const std::string level(20, 'd');
    constexpr int kDepth = 250; // 250 * 21 bytes: well past PATH_MAX
    MakeChain(rootFd, "x" + level, kDepth, "Cache");
    MakeChain(rootFd, "y" + level, kDepth, "Cache");

    RecordingView view;
    const int baseline = OpenDescriptorCount();
    int most = 0;
    view.onYield = [&] { most = std::max(most, OpenDescriptorCount() - baseline); };
    std::int32_t counter = 0;
    CacheWalkOptions options;
    options.maxOpenFolders = 4;
    ListCacheFolders((dir / "root").string(), counter, view, LocaleFormats::EnglishUS(), options);

    // Whichever chain comes first, the second is only reached by reopening the
    // levels closed on the way down.
    ASSERT_EQ(view.found.size(), 2u);
    for (const std::string& path : view.found) {
        EXPECT_GT(path.size(), 4096u);
        EXPECT_TRUE(path.ends_with(level + "/Cache"));
    }
    EXPECT_EQ(counter, 1 + 2 * (kDepth + 1));
    EXPECT_LE(most, 4);
    EXPECT_TRUE(view.errors.empty());
    EXPECT_EQ(OpenDescriptorCount(), baseline);

    RemoveTreeAt(rootFd, ("x" + level).c_str());
    RemoveTreeAt(rootFd, ("y" + level).c_str());
    ::close(rootFd);
}

TEST(CacheFolderWalk, StaysOnTheVolumeOfItsStartFolder)
{
    TestDir dir;
    dir.createDir("root/Cache");
    dir.createDir("root/mnt");
    const std::optional<std::string> result = test::RunInChild([&]() -> std::string {
        // A private mount table, so the mounts end with the child.
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("none", (dir / "root/Cache").c_str(), "tmpfs", 0, nullptr) != 0 ||
            ::mount("none", (dir / "root/mnt").c_str(), "tmpfs", 0, nullptr) != 0)
            return "skip";
        std::filesystem::create_directories(dir / "root/Cache/inner/Cache");
        std::filesystem::create_directories(dir / "root/mnt/Cache");
        std::int32_t counter = 0;
        RecordingView view;
        ListCacheFolders((dir / "root").string(), counter, view, LocaleFormats::EnglishUS());
        std::string out = "counter=" + std::to_string(counter);
        for (const std::string& path : view.found)
            out += " " + path;
        // Walked as a volume of its own, the mounted folder is searched.
        RecordingView inner;
        ListCacheFolders((dir / "root/mnt").string(), counter, inner, LocaleFormats::EnglishUS());
        out += " | " + inner.found.front();
        return out;
    });
    ASSERT_TRUE(result.has_value());
    if (*result == "skip")
        GTEST_SKIP() << "mounting is not allowed here";
    // The mount point named Cache is a sub-folder of root and found, but neither
    // mounted volume is entered.
    EXPECT_EQ(*result, "counter=1 " + P(dir, "root/Cache") + " | " + P(dir, "root/mnt/Cache"));
}

TEST(CacheFolderWalk, PathsWithLineBreaksAreNotTaken)
{
    TestDir dir;
    dir.createDir("root/evil\n/etc/Cache");
    dir.createDir("root/fine/Cache");
    EXPECT_EQ(Walk(dir / "root"), (std::vector<std::string>{P(dir, "root/fine/Cache")}));
}

} // namespace
} // namespace tessaloom
