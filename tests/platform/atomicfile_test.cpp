#include "platform/atomicfile.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace tessaloom {
namespace {

using test::ReadWholeFile;
using test::TestDir;

std::size_t EntriesIn(const std::filesystem::path& dir)
{
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir),
                                                  std::filesystem::directory_iterator()));
}

TEST(AtomicFile, ReplacesContentAndKeepsPermissions)
{
    TestDir dir;
    const auto file = dir.createFile("doc", "old");
    ::chmod(file.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomically(file, "new content"));
    EXPECT_EQ(ReadWholeFile(file), "new content");
    struct stat st
    {
    };
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(AtomicFile, DiscardLeavesTargetUntouched)
{
    TestDir dir;
    const auto file = dir.createFile("doc", "old");
    {
        AtomicFile writer(file);
        ASSERT_TRUE(writer.open());
        writer.write("half of a doc");
        // Destroyed without commit: as if the program stopped mid-write.
    }
    EXPECT_EQ(ReadWholeFile(file), "old");
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(AtomicFile, SymbolicLinkIsReplacedNotFollowed)
{
    TestDir dir;
    const auto elsewhere = dir.createFile("elsewhere/precious", "keep me");
    std::filesystem::create_symlink(elsewhere, dir / "doc");
    ASSERT_TRUE(WriteFileAtomically(dir / "doc", "new"));
    EXPECT_EQ(ReadWholeFile(elsewhere), "keep me");
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "doc"));
    EXPECT_EQ(ReadWholeFile(dir / "doc"), "new");
}

TEST(AtomicFile, UnwritableFolderReportsReason)
{
    TestDir dir;
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(dir / "no-such-folder" / "doc", "x", &error));
    EXPECT_NE(error.find("no-such-folder"), std::string::npos);
}

} // namespace
} // namespace tessaloom
