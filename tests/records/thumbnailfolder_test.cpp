#include "indexer/records/thumbnailfolder.h"

#include "support/testdir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace tessaloom::records {
namespace {

namespace fs = std::filesystem;
using test::TestDir;

// The file a "file://" address names (only the bytes FileUrl escapes).
fs::path PathOf(std::string_view url)
{
    EXPECT_TRUE(url.starts_with("file://"));
    std::string path;
    for (std::size_t i = 7; i < url.size(); ++i) {
        if (url[i] == '%' && i + 2 < url.size()) {
            path += static_cast<char>(std::stoi(std::string(url.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            path += url[i];
        }
    }
    return path;
}

std::size_t CountFiles(const fs::path& folder)
{
    std::size_t n = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        n += entry.is_regular_file() ? 1 : 0;
    return n;
}

TEST(ThumbnailFolder, EachBuildReplacesThePrevious)
{
    TestDir dir;
    const fs::path cacheHome = dir.createDir("cache home");
    const fs::path indexed = dir.createDir("browser/Cache_Data");
    fs::path first;
    {
        ThumbnailFolder thumbs(cacheHome, indexed);
        const auto url = thumbs.add("0123_0", "png", "PNGDATA");
        ASSERT_TRUE(url);
        first = PathOf(*url);
        EXPECT_FALSE(fs::exists(first)); // not in place before the build commits
        ASSERT_TRUE(thumbs.commit());
        EXPECT_EQ(test::ReadWholeFile(first), "PNGDATA");
        EXPECT_EQ(first.parent_path(), thumbs.folder());
        EXPECT_TRUE(thumbs.folder().string().starts_with((cacheHome / "Tessaloom").string()));
    }
    {
        ThumbnailFolder thumbs(cacheHome, indexed);
        ASSERT_TRUE(thumbs.add("4567_0", "gif", "GIFDATA"));
        // An abandoned build leaves the previous pictures alone.
    }
    EXPECT_EQ(test::ReadWholeFile(first), "PNGDATA");
    {
        ThumbnailFolder thumbs(cacheHome, indexed);
        const auto url = thumbs.add("89ab_0", "jpg", "JPGDATA");
        ASSERT_TRUE(url && thumbs.commit());
        EXPECT_FALSE(fs::exists(first));
        EXPECT_EQ(CountFiles(thumbs.folder()), 1u);
        // Nothing but the committed folder is left behind.
        std::size_t folders = 0;
        for (const auto& entry : fs::directory_iterator(thumbs.folder().parent_path()))
            folders += entry.is_directory() ? 1 : 0;
        EXPECT_EQ(folders, 1u);
    }
    // Nothing was written beside the cache files.
    EXPECT_TRUE(fs::is_empty(indexed));
}

TEST(ThumbnailFolder, BudgetNamesAndFolders)
{
    TestDir dir;
    const fs::path cacheHome = dir.createDir("c");
    ThumbnailFolder thumbs(cacheHome, dir.createDir("a"), 10);
    EXPECT_TRUE(thumbs.add("x", "png", "12345"));
    EXPECT_FALSE(thumbs.add("y", "png", "123456")); // would pass the budget
    EXPECT_TRUE(thumbs.add("../../evil\"name", "p/n\"g", "12345"));
    EXPECT_FALSE(thumbs.add("z", "png", "1"));
    ASSERT_TRUE(thumbs.commit());
    EXPECT_EQ(CountFiles(thumbs.folder()), 2u);
    for (const auto& entry : fs::directory_iterator(thumbs.folder()))
        EXPECT_EQ(entry.path().filename().string().find_first_of("/\"."),
                  entry.path().filename().string().rfind('.'));
    // Two indexed folders never share a picture folder.
    ThumbnailFolder other(cacheHome, dir.createDir("b"));
    EXPECT_NE(other.folder(), thumbs.folder());
}

TEST(ThumbnailFolder, NeverWritesInsideTheIndexedFolder)
{
    TestDir dir;
    // The cache home lies inside the folder being indexed.
    ThumbnailFolder thumbs(dir.path() / "inner", dir.path());
    EXPECT_FALSE(thumbs.add("x", "png", "data"));
    EXPECT_FALSE(thumbs.commit());
    EXPECT_FALSE(fs::exists(dir.path() / "inner"));
    ThumbnailFolder noHome("", dir.path());
    EXPECT_FALSE(noHome.add("x", "png", "data"));
}

// The id of a process that has ended.
pid_t EndedProcess()
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

TEST(ThumbnailFolder, LeftoversOfEndedBuildsAreCleared)
{
    TestDir dir;
    const fs::path cacheHome = dir.createDir("home");
    ThumbnailFolder thumbs(cacheHome, dir.createDir("a"));
    const fs::path root = thumbs.folder().parent_path();
    const std::string key = thumbs.folder().filename().string();
    const std::string otherKey = ThumbnailFolder(cacheHome, dir.createDir("b")).folder().filename();
    const std::string ended = std::to_string(EndedProcess());
    const std::string running = std::to_string(::getppid());
    const struct
    {
        std::string name;
        bool stays;
    } cases[] = {
        {key + ".new." + ended, false},
        {otherKey + ".new." + ended, false}, // any folder's, not only this one's
        {otherKey + ".old." + ended, false}, // back in place, see below
        {key + ".new." + running, true},     // a build still at work
        {key + ".old." + running, true},
        {key + ".new.12x", true}, // not a name a build makes
        {key + ".new.", true},
        {"notes.new." + ended, true},
    };
    for (const auto& c : cases)
        dir.createFile(fs::relative(root / c.name / "1-x.png", dir.path()).string(), "old");
    ASSERT_TRUE(thumbs.add("y", "png", "new"));
    ASSERT_TRUE(thumbs.commit());
    for (const auto& c : cases)
        EXPECT_EQ(fs::exists(root / c.name), c.stays) << c.name;
    // The other folder's previous pictures, set aside by a build that never put its
    // own in place, are its pictures again.
    EXPECT_EQ(test::ReadWholeFile(root / otherKey / "1-x.png"), "old");
    EXPECT_EQ(CountFiles(thumbs.folder()), 1u);
}

TEST(ThumbnailFolder, FailedCommitKeepsThePreviousPictures)
{
    TestDir dir;
    // The indexed folder's path is a prefix of the cache home's, yet not a folder
    // above it: pictures are kept.
    const fs::path indexed = dir.createDir("c");
    const fs::path cacheHome = dir.createDir("cache");
    fs::path previous;
    {
        ThumbnailFolder thumbs(cacheHome, indexed);
        const auto url = thumbs.add("x", "png", "first");
        ASSERT_TRUE(url && thumbs.commit());
        previous = PathOf(*url);
    }
    ThumbnailFolder thumbs(cacheHome, indexed);
    ASSERT_TRUE(thumbs.add("y", "png", "second"));
    // The staging folder vanishes before the swap, so putting it in place fails.
    fs::remove_all(thumbs.folder().string() + ".new." + std::to_string(::getpid()));
    EXPECT_FALSE(thumbs.commit());
    EXPECT_EQ(test::ReadWholeFile(previous), "first");
}

TEST(ThumbnailFolder, TheThumbnailOfAnUnchangedCacheFileIsReused)
{
    TestDir dir;
    const fs::path cacheHome = dir.createDir("c");
    const fs::path indexed = dir.createDir("i");
    const CacheFileStamp stamp{1234, 1700000000};
    fs::path first;
    {
        ThumbnailFolder thumbs(cacheHome, indexed);
        EXPECT_FALSE(thumbs.reuse("a_0", stamp)); // nothing before the first build
        const auto url = thumbs.add("a_0", "webp", "THUMB", stamp);
        ASSERT_TRUE(url && thumbs.commit());
        first = PathOf(*url);
    }
    ThumbnailFolder thumbs(cacheHome, indexed);
    EXPECT_FALSE(thumbs.reuse("a_0", {1234, 1700000001})); // touched since
    EXPECT_FALSE(thumbs.reuse("a_0", {1235, 1700000000})); // grown since
    EXPECT_FALSE(thumbs.reuse("b_0", stamp));              // another file
    const auto again = thumbs.reuse("a_0", stamp);
    ASSERT_TRUE(again);
    EXPECT_EQ(PathOf(*again), first);
    EXPECT_EQ(test::ReadWholeFile(first), "THUMB"); // the previous page still draws it
    ASSERT_TRUE(thumbs.commit());
    EXPECT_EQ(test::ReadWholeFile(first), "THUMB");
    EXPECT_EQ(CountFiles(thumbs.folder()), 1u);
}

TEST(ThumbnailFolder, PicturesTakenOverBeforeOrWithoutNewOnesAllStay)
{
    TestDir dir;
    const fs::path cacheHome = dir.createDir("c");
    const fs::path indexed = dir.createDir("i");
    const CacheFileStamp stamp{1, 2};
    {
        ThumbnailFolder thumbs(cacheHome, indexed);
        ASSERT_TRUE(thumbs.add("a_0", "webp", "A", stamp) && thumbs.add("b_0", "webp", "B", stamp));
        ASSERT_TRUE(thumbs.add("c_0", "webp", "C", stamp) && thumbs.commit());
    }
    // Only taken over: the pictures of files gone since go.
    {
        ThumbnailFolder thumbs(cacheHome, indexed);
        const auto a = thumbs.reuse("a_0", stamp);
        const auto b = thumbs.reuse("b_0", stamp);
        ASSERT_TRUE(a && b && thumbs.commit());
        EXPECT_EQ(test::ReadWholeFile(PathOf(*a)), "A");
        EXPECT_EQ(test::ReadWholeFile(PathOf(*b)), "B");
        EXPECT_EQ(CountFiles(thumbs.folder()), 2u);
    }
    // Taken over, then a new one made: both are in the new folder.
    ThumbnailFolder thumbs(cacheHome, indexed);
    const auto a = thumbs.reuse("a_0", stamp);
    const auto d = thumbs.add("d_0", "webp", "D", stamp);
    ASSERT_TRUE(a && d && thumbs.commit());
    EXPECT_EQ(test::ReadWholeFile(PathOf(*a)), "A");
    EXPECT_EQ(test::ReadWholeFile(PathOf(*d)), "D");
    EXPECT_EQ(CountFiles(thumbs.folder()), 2u);
}

TEST(ThumbnailFolder, TheWholeStoreStaysWithinItsBudget)
{
    TestDir dir;
    const fs::path cacheHome = dir.createDir("store");
    const auto build = [&](const char* folder, std::size_t bytes) {
        ThumbnailFolder thumbs(cacheHome, dir.path() / folder, 100);
        EXPECT_TRUE(thumbs.add("p_0", "png", std::string(bytes, 'x')));
        EXPECT_TRUE(thumbs.commit());
        return thumbs.folder();
    };
    for (const char* folder : {"a", "b", "c", "d"})
        fs::create_directory(dir.path() / folder);
    const fs::path a = build("a", 40);
    const fs::path b = build("b", 40);
    EXPECT_TRUE(fs::exists(a) && fs::exists(b));
    const fs::path c = build("c", 40); // 120: the folder built longest ago goes
    EXPECT_FALSE(fs::exists(a));
    EXPECT_TRUE(fs::exists(b) && fs::exists(c));
    build("b", 40); // built again: now c is the oldest
    const fs::path d = build("d", 30);
    EXPECT_FALSE(fs::exists(c));
    EXPECT_TRUE(fs::exists(b) && fs::exists(d));
}

TEST(ThumbnailFolder, PicturesGoWithTheirCacheFileOrTheirFolder)
{
    TestDir dir;
    const fs::path cacheHome = dir.createDir("c");
    const fs::path indexed = dir.createDir("i");
    ThumbnailFolder thumbs(cacheHome, indexed);
    for (const char* name : {"a_0", "a_00", "a 0", "b_0"})
        ASSERT_TRUE(thumbs.add(name, "png", name, {1, 2}));
    ASSERT_TRUE(thumbs.commit());
    RemoveThumbnailsOf(cacheHome, indexed, "a_0");
    RemoveThumbnailsOf(cacheHome, indexed, "never indexed");
    RemoveThumbnailsOf("", indexed, "b_0");
    EXPECT_EQ(CountFiles(thumbs.folder()), 3u);
    ThumbnailFolder next(cacheHome, indexed);
    EXPECT_FALSE(next.reuse("a_0", {1, 2}));
    EXPECT_TRUE(next.reuse("a_00", {1, 2}));
    RemoveAllThumbnailsOf(cacheHome, indexed);
    EXPECT_FALSE(fs::exists(thumbs.folder()));
    // A store inside the indexed folder is never touched.
    const fs::path inner = ThumbnailFolder(indexed / "inside", indexed).folder();
    fs::create_directories(inner);
    const fs::path mine =
        dir.createFile(fs::relative(inner / "a_0-mine", dir.path()).string(), "x");
    RemoveAllThumbnailsOf(indexed / "inside", indexed);
    RemoveThumbnailsOf(indexed / "inside", indexed, "a_0");
    EXPECT_TRUE(fs::exists(mine));
}

TEST(FileUrl, EscapesEverythingButPlainBytes)
{
    EXPECT_EQ(FileUrl("/home/a b/c\"d'e<f>&,%.png"),
              "file:///home/a%20b/c%22d%27e%3Cf%3E%26%2C%25.png");
    EXPECT_EQ(FileUrl("/x/\xC3\xA9~_-.jpg"), "file:///x/%C3%A9~_-.jpg");
}

} // namespace
} // namespace tessaloom::records
