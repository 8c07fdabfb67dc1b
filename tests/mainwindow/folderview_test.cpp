#include "mainwindow/folderview.h"

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
