#include "platform/filedescriptor.h"
#include "platform/readahead.h"
#include "support/childprocess.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace tessaloom {
namespace {

using test::TestDir;

// Waits, within a generous bound, until `done` holds.
template <class Fn> bool Eventually(Fn done)
{
    for (int i = 0; i < 2000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

// The threads stay within the window past the caller, read each file once, never
// one the caller has come to, and stop with the list.
TEST(ReadAhead, ReadsEachFileOnceWithinTheWindowPastTheCaller)
{
    constexpr std::size_t kCount = 100;
    constexpr std::size_t kWindow = 8;
    std::mutex mutex;
    std::map<std::size_t, int> warmed;
    std::size_t callerAt = 3;
    bool outsideWindow = false;
    {
        ReadAhead ahead(
            kCount, callerAt,
            [&](std::size_t index) {
                const std::lock_guard lock(mutex);
                ++warmed[index];
                outsideWindow = outsideWindow || index <= callerAt || index > callerAt + kWindow;
            },
            3, kWindow);
        // Every file from the first place on up to `last`: none is still on its way.
        const auto warmedUpTo = [&](std::size_t last) {
            const std::lock_guard lock(mutex);
            return warmed.size() == last - 3;
        };
        for (; callerAt < kCount; callerAt += 5) {
            {
                const std::lock_guard lock(mutex);
                ahead.reached(callerAt);
            }
            ASSERT_TRUE(Eventually([&] {
                return warmedUpTo(std::min(callerAt + kWindow, kCount - 1));
            })) << callerAt;
        }
    }
    EXPECT_FALSE(outsideWindow);
    EXPECT_EQ(warmed.size(), kCount - 4); // all past the caller's first place
    for (const auto& [index, times] : warmed)
        EXPECT_EQ(times, 1) << index;
}

// A process that may start no more threads reads nothing ahead, and goes on.
TEST(ReadAhead, WithoutThreadsToStartReadsNothingAhead)
{
    if (!test::RunningAsRoot())
        GTEST_SKIP() << "needs a user of its own whose thread count can be held";
    const std::optional<std::string> outcome = test::RunInChild([] {
        if (!test::DropRootAndThreads())
            return std::string("cannot limit");
        std::size_t warmed = 0;
        {
            ReadAhead ahead(100, 0, [&warmed](std::size_t) { ++warmed; });
            ahead.reached(50);
        }
        return "warmed " + std::to_string(warmed);
    });
    EXPECT_EQ(outcome, "warmed 0");
}

// Only a folder read from the disk is read ahead. Its pages are dropped the way a
// file system with a disk can drop them; where it cannot (a folder in memory), the
// cold half is not asked.
TEST(ReadAhead, TellsAFolderOnTheDiskFromOneInMemoryAndReadsItIn)
{
    TestDir dir;
    std::vector<std::string> names = {"link", "fifo", "empty"};
    std::filesystem::create_symlink("/dev/zero", dir / "link");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    dir.createFile("empty");
    for (int i = 0; i < 20; ++i) {
        names.push_back("f" + std::to_string(i));
        dir.createFile(names.back(), std::string(20'000, 'x'));
    }
    const FileDescriptor folder(::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    EXPECT_FALSE(FolderLooksUncached(folder.get(), names, 16)) << "just written";
    EXPECT_FALSE(FolderLooksUncached(folder.get(), {"link", "fifo", "empty"}, 16));

    std::vector<std::filesystem::path> files;
    for (std::size_t i = 3; i < names.size(); ++i)
        files.push_back(dir / names[i]);
    if (!test::DropFromSystemCache(files))
        GTEST_SKIP() << "this file system keeps its files in memory";
    EXPECT_TRUE(FolderLooksUncached(folder.get(), names, 16));

    // Links, FIFOs and empty files are passed over without waiting; files are read.
    const ReadAhead::WarmFn warm = ReadFolderEntries(folder.get(), names, 100'000);
    for (std::size_t i = 0; i < names.size(); ++i)
        warm(i);
    for (const auto& file : files)
        EXPECT_TRUE(test::InSystemCache(file)) << file;
}

} // namespace
} // namespace tessaloom
