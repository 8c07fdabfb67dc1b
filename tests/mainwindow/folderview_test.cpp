#include "mainwindow/folderview.h"

#include "platform/filelister.h"
#include "platform/wildcard.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tessaloom {
namespace {

Volume At(const std::string& mountPoint)
{
    Volume v;
    v.mountPoint = mountPoint;
    v.entryText = mountPoint;
    return v;
}

TEST(FolderView, TheVolumeThatHoldsAFolder)
{
    const std::vector<Volume> volumes = {At("/"), At("/home"), At("/home/ann/usb"),
                                         At("/media/cd/")};
    struct Case
    {
        const char* folder;
        std::optional<std::size_t> volume;
    };
    const Case cases[] = {
        {"/", 0},
        {"/usr/lib", 0},
        {"/home", 1},
        {"/home/", 1},
        {"/home/ann/.cache/chromium", 1},
        {"/homework", 0}, // a name that merely begins like a mount point
        {"/home/ann/usb", 2},
        {"/home/ann/usb/x", 2},
        {"/home/ann/usbstick", 1},
        {"/media/cd", 3},
        {"/home/ann/../bob", 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VolumeOfFolder(volumes, c.folder), c.volume) << c.folder;
    EXPECT_EQ(VolumeOfFolder({At("/home")}, "/usr"), std::nullopt);
    EXPECT_EQ(VolumeOfFolder({}, "/usr"), std::nullopt);
}

TEST(FolderView, RowsRunFromTheRootDownAndThenListSubFoldersWithoutCase)
{
    test::TestDir dir;
    dir.createDir("cur/beta");
    dir.createDir("cur/Alpha");
    dir.createDir("cur/.cache");
    dir.createFile("cur/file.txt");
    std::filesystem::create_directory_symlink(dir / "cur/beta", dir / "cur/link");
    // Links are looked through: to a file, or to nothing, they are no folders.
    std::filesystem::create_symlink(dir / "cur/file.txt", dir / "cur/fileLink");
    std::filesystem::create_symlink(dir / "cur/gone", dir / "cur/brokenLink");
    const std::string current = (dir / "cur").string();

    const std::vector<FolderRow> rows = FolderListRows(current + "/");
    const std::filesystem::path currentPath(current);
    const auto ancestors =
        static_cast<std::size_t>(std::distance(currentPath.begin(), currentPath.end()));
    ASSERT_EQ(rows.size(), ancestors + 4);
    EXPECT_EQ(rows.front().path, "/");
    EXPECT_EQ(rows.front().name, "/");
    EXPECT_EQ(rows.front().depth, 0);
    EXPECT_EQ(rows[ancestors - 1].path, current);
    EXPECT_EQ(rows[ancestors - 1].name, "cur");
    EXPECT_TRUE(rows[ancestors - 1].open);
    std::vector<std::string> subNames;
    for (std::size_t i = ancestors; i < rows.size(); ++i) {
        EXPECT_FALSE(rows[i].open);
        EXPECT_EQ(rows[i].depth, static_cast<int>(ancestors));
        EXPECT_EQ(rows[i].path, current + "/" + rows[i].name);
        subNames.push_back(rows[i].name);
    }
    EXPECT_EQ(subNames, (std::vector<std::string>{".cache", "Alpha", "beta", "link"}));
}

// The files kept from the folder list's reading stand in for a reading of the file
// list: under any pattern they make the same list as ListMatchingFiles, and the
// rows stay those of FolderListRows.
TEST(FolderView, TheFilesOfTheFolderReadingAreTheFileListsReading)
{
    test::TestDir dir;
    for (const char* name : {"cur/b.htm", "cur/A.txt", "cur/.hidden", "cur/f_0001", "cur/F_0002"})
        dir.createFile(name);
    dir.createDir("cur/sub.htm");
    dir.createDir("cur/.cache");
    std::filesystem::create_symlink(dir / "cur/A.txt", dir / "cur/toFile");
    std::filesystem::create_symlink(dir / "cur/A.txt", dir / "cur/.hiddenLink");
    std::filesystem::create_directory_symlink(dir / "cur/sub.htm", dir / "cur/toFolder");
    std::filesystem::create_symlink(dir / "cur/gone", dir / "cur/broken");
    const std::string current = (dir / "cur").string();

    const FolderReading reading = ReadFolderView(current);
    ASSERT_TRUE(reading.files.has_value());
    EXPECT_EQ(reading.files->size(), 5U); // four files and the link to one
    for (const char* pattern : {"*.*", "*.htm", "f_*", "?.txt;toFile", "nothing"}) {
        std::vector<std::string> kept = *reading.files;
        std::erase_if(kept, [&](const std::string& n) { return !MatchesPattern(n, pattern); });
        SortNamesForDisplay(kept);
        const auto listed = ListMatchingFiles(current, pattern);
        ASSERT_TRUE(listed);
        EXPECT_EQ(kept, listed.value()) << pattern;
    }
    const std::vector<FolderRow> rows = FolderListRows(current);
    ASSERT_EQ(reading.rows.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(reading.rows[i].path, rows[i].path);
    EXPECT_FALSE(ReadFolderView((dir / "gone").string()).files.has_value());
}

TEST(FolderView, AMissingFolderListsOnlyItsPath)
{
    test::TestDir dir;
    const std::vector<FolderRow> rows = FolderListRows((dir / "gone").string());
    ASSERT_FALSE(rows.empty());
    EXPECT_EQ(rows.back().path, (dir / "gone").string());
}

TEST(FolderView, Probe)
{
    test::TestDir dir;
    EXPECT_TRUE(ProbeFolder(dir.path().string()).ok());
    const Result<void> missing = ProbeFolder((dir / "missing").string());
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ENOENT);
    const std::string file = dir.createFile("f").string();
    const Result<void> notFolder = ProbeFolder(file);
    ASSERT_FALSE(notFolder);
    EXPECT_EQ(notFolder.error().code, ENOTDIR);
    EXPECT_EQ(ProbeErrorTitle(missing.error()), "ERROR: " + std::to_string(ENOENT));
    EXPECT_FALSE(missing.error().message.empty());
    EXPECT_EQ(missing.error().message, std::strerror(ENOENT)); // the system's own words
}

TEST(FolderView, NormalFolderPath)
{
    EXPECT_EQ(NormalFolderPath("/"), "/");
    EXPECT_EQ(NormalFolderPath("/a/b/"), "/a/b");
    EXPECT_EQ(NormalFolderPath("/a/./b/../c"), "/a/c");
    EXPECT_EQ(NormalFolderPath(""), "");
}

} // namespace
} // namespace tessaloom
