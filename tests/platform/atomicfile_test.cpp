#include "platform/atomicfile.h"
#include "support/childprocess.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaloom {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::TestDir;

mode_t ModeOf(const fs::path& file)
{
    struct stat st
    {
    };
    return ::lstat(file.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

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
    ASSERT_TRUE(WriteFileAtomically(file, "new content").ok());
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
        ASSERT_TRUE(writer.write("half of a doc"));
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
    ASSERT_TRUE(WriteFileAtomically(dir / "doc", "new").ok());
    EXPECT_EQ(ReadWholeFile(elsewhere), "keep me");
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "doc"));
    EXPECT_EQ(ReadWholeFile(dir / "doc"), "new");
}

TEST(AtomicFile, SettingsLikeFilesAreWrittenThroughTheirLink)
{
    TestDir dir;
    const auto target = dir.createFile("dotfiles/TSL.INI", "old");
    ::chmod(target.c_str(), 0600);
    dir.createDir("data");
    fs::create_symlink("../dotfiles/TSL.INI", dir / "data/TSL.INI");       // relative
    fs::create_symlink(dir / "data/TSL.INI", dir / "data/chain.ini");      // link to a link
    fs::create_symlink("../dotfiles/later.dat", dir / "data/folders.dat"); // leads nowhere yet
    fs::create_symlink("loop", dir / "data/loop");

    const struct
    {
        const char* link;
        const char* content;
        fs::path end;
    } cases[] = {{"TSL.INI", "one", target},
                 {"chain.ini", "two", target},
                 {"folders.dat", "three", dir / "dotfiles/later.dat"}};
    for (const auto& c : cases) {
        const Result<void> written =
            WriteFileAtomically(dir / "data" / c.link, c.content, LinkAtTarget::WriteThrough);
        ASSERT_TRUE(written) << written.error().message;
        EXPECT_TRUE(fs::is_symlink(dir / "data" / c.link)) << c.link;
        EXPECT_EQ(ReadWholeFile(c.end), c.content) << c.link;
    }
    EXPECT_EQ(ModeOf(target), 0600u); // a private file stays private
    EXPECT_EQ(EntriesIn(dir / "data"), 4u);
    EXPECT_EQ(EntriesIn(dir / "dotfiles"), 2u);

    const Result<void> looped =
        WriteFileAtomically(dir / "data/loop", "x", LinkAtTarget::WriteThrough);
    ASSERT_FALSE(looped);
    EXPECT_EQ(looped.error().code, ELOOP);
    EXPECT_NE(looped.error().message.find(std::strerror(ELOOP)), std::string::npos)
        << looped.error().message;
}

// A rename needs only the folder's permission; a read-only file must still refuse
// to be replaced, as a write to it would. Root may write anything, so the check
// runs as "nobody" in a child process.
TEST(AtomicFile, ReadOnlyFileIsNotReplaced)
{
    TestDir dir;
    const auto folder = dir.createDir("mine");
    const auto readOnly = dir.createFile("mine/ro", "old");
    const auto writable = dir.createFile("mine/rw", "old");
    ::chmod(readOnly.c_str(), 0444);
    ::chmod(writable.c_str(), 0644);
    fs::create_symlink("ro", folder / "link-to-ro");
    if (test::RunningAsRoot()) {
        for (const auto& p : {folder, readOnly, writable})
            ASSERT_EQ(::lchown(p.c_str(), 65534, 65534), 0);
        ::chmod(dir.path().c_str(), 0755);
    }
    const auto outcome = test::RunInChild([&]() -> std::string {
        if (test::RunningAsRoot() && !test::DropRootPrivileges())
            return "cannot drop privileges";
        std::string out;
        for (const auto& [name, links] :
             {std::pair{"ro", LinkAtTarget::Replace}, std::pair{"rw", LinkAtTarget::Replace},
              std::pair{"link-to-ro", LinkAtTarget::WriteThrough}}) {
            const Result<void> ok = WriteFileAtomically(folder / name, "new", links);
            out += std::string(name) + (ok ? " written" : " refused: " + ok.error().message) + "\n";
        }
        return out;
    });
    ASSERT_TRUE(outcome.has_value());
    const std::string denied = std::strerror(EACCES);
    EXPECT_EQ(*outcome, "ro refused: Cannot replace " + (folder / "ro").string() + ": " + denied +
                            "\nrw written\nlink-to-ro refused: Cannot replace " +
                            (folder / "link-to-ro").string() + ": " + denied + "\n");
    EXPECT_EQ(ReadWholeFile(readOnly), "old");
    EXPECT_EQ(ReadWholeFile(writable), "new");
    EXPECT_EQ(ModeOf(readOnly), 0444u);
    EXPECT_EQ(EntriesIn(folder), 3u);
}

// A killed program never runs its destructors: the temporary file must not have
// a name until it is complete.
TEST(AtomicFile, InterruptedWriteLeavesNothingBehind)
{
    TestDir dir;
    const auto file = dir.createFile("doc", "old");
    const auto outcome = test::RunInChild([&]() -> std::string {
        static AtomicFile writer(file); // never destroyed: the child ends with _exit
        if (!writer.open() || !writer.write(std::string(200'000, 'x')))
            return "failed";
        ::_exit(0);
    });
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(*outcome, "");
    EXPECT_EQ(ReadWholeFile(file), "old");
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

// Over the file size limit a write fails part-way (as on a full disk). The file
// would have a hole, so no later write may succeed and commit must fail, even
// once the disk would take the bytes again.
TEST(AtomicFile, WriteThatFailedPartWayFailsTheCommit)
{
    TestDir dir;
    const auto file = dir.createFile("doc", "old");
    const auto outcome = test::RunInChild([&]() -> std::string {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        rlimit small = limit;
        small.rlim_cur = 100'000;
        if (::setrlimit(RLIMIT_FSIZE, &small) != 0)
            return "no limit";
        AtomicFile writer(file);
        std::string out;
        out += writer.open() ? "open " : "not open ";
        out += writer.write(std::string(70'000, 'a')) ? "first " : "no first ";
        out += writer.write(std::string(70'000, 'b')) ? "second " : "no second ";
        ::setrlimit(RLIMIT_FSIZE, &limit);
        out += writer.write(std::string(70'000, 'c')) ? "third " : "no third ";
        const Result<void> committed = writer.commit();
        out += committed ? "committed" : "not committed: " + committed.error().message;
        return out;
    });
    ASSERT_TRUE(outcome.has_value());
    EXPECT_EQ(*outcome, "open first no second no third not committed: Cannot write " +
                            file.string() + ": " + std::strerror(EFBIG));
    EXPECT_EQ(ReadWholeFile(file), "old");
    EXPECT_EQ(EntriesIn(dir.path()), 1u);
}

TEST(AtomicFile, StaleTemporaryFilesOfTheTargetAreRemoved)
{
    TestDir dir;
    const std::time_t now = std::time(nullptr);
    const std::time_t old = now - 3600;
    const struct
    {
        const char* name;
        std::time_t mtime;
        bool removed;
    } cases[] = {
        {".doc.Ab3dEf", old, true},    {".doc.zzzzzz", old, true},  {".doc.Ab3dEf2", old, false},
        {".doc.Ab3dE", old, false},    {".doc.Ab3d-f", old, false}, {".doc.Ab3dEf.tmp", old, false},
        {".other.Ab3dEf", old, false}, {"doc.Ab3dEf", old, false},  {".doc.Recent", now, false},
        {"doc", old, false},
    };
    for (const auto& c : cases)
        dir.createFile(c.name, "x", c.mtime);
    dir.createDir(".doc.Folder");
    fs::create_symlink("doc", dir / ".doc.Linked");
    EXPECT_EQ(RemoveStaleTemporaryFiles(dir / "doc", now - 300), 2);
    for (const auto& c : cases)
        EXPECT_EQ(fs::exists(dir / c.name), !c.removed) << c.name;
    EXPECT_TRUE(fs::is_directory(dir / ".doc.Folder"));
    EXPECT_TRUE(fs::is_symlink(dir / ".doc.Linked"));
}

TEST(AtomicFile, UnwritableFolderReportsReason)
{
    TestDir dir;
    const Result<void> written = WriteFileAtomically(dir / "no-such-folder" / "doc", "x");
    ASSERT_FALSE(written);
    EXPECT_NE(written.error().message.find("no-such-folder"), std::string::npos);
}

} // namespace
} // namespace tessaloom
