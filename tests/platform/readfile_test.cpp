#include "platform/readfile.h"
#include "support/childprocess.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaloom {
namespace {

using test::TestDir;

TEST(ReadFileLimited, StopsAtTheLimitAndReadsWholeFilesBelowIt)
{
    TestDir dir;
    const std::string content(70'000, 'x'); // more than one read's worth
    const auto file = dir.createFile("big", content);
    const auto link = dir / "link";
    std::filesystem::create_symlink(file, link);
    const struct
    {
        std::size_t limit;
        std::size_t expected;
    } cases[] = {{0, 0},           {1, 1},           {69'999, 69'999},
                 {70'000, 70'000}, {70'001, 70'000}, {10'000'000, 70'000}};
    for (const auto& c : cases) {
        for (const auto& path : {file, link}) {
            const Result<std::string> out = ReadFileLimited(path, c.limit);
            ASSERT_TRUE(out) << path << " limit " << c.limit;
            EXPECT_EQ(out.value(), content.substr(0, c.expected)) << path << " limit " << c.limit;
        }
    }
}

TEST(ReadFileLimited, ReadsFilesThatClaimNoSize)
{
    const Result<std::string> out = ReadFileLimited("/proc/self/mountinfo", 1 << 20);
    ASSERT_TRUE(out);
    EXPECT_NE(out.value().find(" / "), std::string::npos);
}

TEST(OpenFileForReading, RefusesWhatIsNotARegularFile)
{
    TestDir dir;
    const auto file = dir.createFile("plain", "abc");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir / "fifo", dir / "to-fifo");
    std::filesystem::create_symlink(file, dir / "to-plain");
    std::filesystem::create_symlink(dir / "gone", dir / "dangling");
    std::filesystem::create_symlink("/dev/null", dir / "to-device");
    dir.createDir("folder");

    const struct
    {
        const char* name;
        FinalLink link;
        bool opened;
        bool found;
        int error;
    } cases[] = {
        {"plain", FinalLink::Follow, true, true, 0},
        {"plain", FinalLink::Refuse, true, true, 0},
        {"to-plain", FinalLink::Follow, true, true, 0},
        {"to-plain", FinalLink::Refuse, false, true, 0}, // the link itself: not regular
        {"fifo", FinalLink::Follow, false, true, 0},
        {"to-fifo", FinalLink::Follow, false, true, 0},
        {"to-device", FinalLink::Follow, false, true, 0},
        {"folder", FinalLink::Follow, false, true, 0},
        {"dangling", FinalLink::Follow, false, false, ENOENT},
        {"missing", FinalLink::Follow, false, false, ENOENT},
    };
    const FileDescriptor folder(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const auto& c : cases) {
        const OpenedFile opened = OpenFileForReading(folder.get(), c.name, c.link);
        EXPECT_EQ(opened.fd.valid(), c.opened) << c.name;
        EXPECT_EQ(opened.found, c.found) << c.name;
        EXPECT_EQ(opened.notRegular, c.found && !c.opened) << c.name;
        EXPECT_EQ(opened.error, c.error) << c.name;
        if (opened.fd) {
            char bytes[8];
            EXPECT_EQ(ReadSome(opened.fd.get(), bytes, sizeof bytes), 3) << c.name;
        } else {
            EXPECT_FALSE(ReadFailureText(opened).empty());
        }
        if (c.link == FinalLink::Follow) {
            // The folder-entry shortcut gives the same answers.
            const OpenedFile entry = OpenFolderEntryForReading(folder.get(), c.name);
            EXPECT_EQ(entry.fd.valid(), c.opened) << c.name;
            EXPECT_EQ(entry.found, c.found) << c.name;
            EXPECT_EQ(entry.notRegular, c.found && !c.opened) << c.name;
            EXPECT_EQ(entry.error, c.error) << c.name;
            EXPECT_EQ(entry.info.st_ino, opened.info.st_ino) << c.name;
        }
    }
    const Result<std::string> fifo = ReadFileLimited(dir / "to-fifo", 10);
    ASSERT_FALSE(fifo);
    EXPECT_EQ(fifo.error().code, kNotRegularFile);
    EXPECT_NE(fifo.error().message.find("not a regular file"), std::string::npos)
        << fifo.error().message;
    const Result<std::string> missing = ReadFileLimited(dir / "missing", 10);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ENOENT);
    EXPECT_NE(missing.error().message.find("missing"), std::string::npos)
        << missing.error().message;
}

// Opening some devices has side effects (a new terminal for /dev/ptmx), so a refused
// name must never have been opened at all. The kernel reports every real open of a
// FIFO to a watcher; a type check through an O_PATH descriptor is not one.
TEST(OpenFileForReading, NeverOpensAFifoToLookAtIt)
{
    TestDir dir;
    const auto fifo = dir / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::filesystem::create_symlink(fifo, dir / "index-link");
    const FileDescriptor watcher(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    ASSERT_TRUE(watcher.valid());
    ASSERT_GE(::inotify_add_watch(watcher.get(), fifo.c_str(), IN_OPEN), 0);

    EXPECT_FALSE(ReadFileLimited(fifo, 10));
    EXPECT_FALSE(ReadFileLimited(dir / "index-link", 10));
    EXPECT_FALSE(OpenFileForReading(dir / "index-link").fd.valid());
    const FileDescriptor folder(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    EXPECT_FALSE(OpenFolderEntryForReading(folder.get(), "index-link").fd.valid());

    char events[4096];
    EXPECT_EQ(::read(watcher.get(), events, sizeof events), -1) << "the FIFO was opened";
    // The watch itself works: a real open is seen.
    const FileDescriptor real(::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    EXPECT_GT(::read(watcher.get(), events, sizeof events), 0);
}

// Reading a cache must not write to it: a plain read renews an access time older
// than a day. Only the owner may keep it, so another user's file is read as before.
TEST(OpenFolderEntryForReading, LeavesAccessTimesAndStillReadsOtherUsersFiles)
{
    TestDir dir;
    const std::string content = "<title>x</title>";
    const auto file = dir.createFile("page", content);
    const std::time_t longAgo = test::UtcTime(2020, 1, 1, 0, 0, 0);
    const timespec times[2] = {{longAgo, 0}, {0, UTIME_OMIT}};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    const auto readEntry = [&dir] {
        const FileDescriptor folder(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        const OpenedFile entry = OpenFolderEntryForReading(folder.get(), "page");
        if (!entry.fd)
            return "not opened: " + std::string(std::strerror(entry.error));
        char bytes[64];
        const ssize_t n = ReadSome(entry.fd.get(), bytes, sizeof bytes);
        return std::string(bytes, static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    };
    EXPECT_EQ(readEntry(), content);
    struct stat after
    {
    };
    ASSERT_EQ(::stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_atime, longAgo);

    if (!test::RunningAsRoot())
        return; // no other user to read as
    ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    const std::optional<std::string> asOther = test::RunInChild(
        [&] { return test::DropRootPrivileges() ? readEntry() : std::string("still root"); });
    EXPECT_EQ(asOther, content);
}

TEST(ReadFull, CountsUpToTheEndAndFailsOnAFailedRead)
{
    int fds[2] = {-1, -1};
    ASSERT_EQ(::pipe(fds), 0);
    const FileDescriptor readEnd(fds[0]);
    ASSERT_EQ(::write(fds[1], "abc", 3), 3);
    ::close(fds[1]);
    char buffer[8] = {};
    const Result<std::size_t> got = ReadFull(readEnd.get(), buffer, sizeof buffer);
    ASSERT_TRUE(got);
    EXPECT_EQ(got.value(), 3u);
    const Result<std::size_t> failed = ReadFull(fds[1], buffer, sizeof buffer); // closed
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error().code, EBADF);
    EXPECT_EQ(ReadWhatArrives(fds[1], buffer, sizeof buffer), 0u);
}

} // namespace
} // namespace tessaloom
