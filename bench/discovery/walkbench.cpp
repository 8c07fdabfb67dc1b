// Times the cache-folder walk against `find ROOT -xdev -type d` over the same
// trees in the same run, both warm, alternating, best of several runs.
//
//   tessaloom_walk_bench [--runs N] [--folders N] [--keep] [ROOT ...]
//
// Without ROOTs it walks /usr and a generated tree of about 200,000 folders
// (made in a temporary folder and removed afterwards unless --keep). Exits 1
// when the walk takes more than 1.3 times as long as find.

#include "discovery/cachefolderwalk.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

// What the search window does per call, kept cheap as a real one would be.
class BenchObserver final : public tessaloom::CacheWalkObserver
{
public:
    bool cancelRequested() override { return cancelled.load(std::memory_order_relaxed); }
    void letEventsRun() override { ++yields; }
    void cacheFolderFound(const std::string& path) override { found.push_back(path); }
    void setFoldersLabel(const std::string& text) override { label = text; }
    tessaloom::ErrorAnswer askAboutError(const tessaloom::WalkError&) override
    {
        return tessaloom::ErrorAnswer::Ignore;
    }

    std::atomic<bool> cancelled{false};
    long yields = 0;
    std::string label;
    std::vector<std::string> found;
};

// About `folders` folders in three levels: 20 tops, 100 middles each, leaves below.
void GenerateTree(const std::string& root, long folders)
{
    const long leaves = std::max(1L, (folders - 20 - 2000) / 2000);
    ::mkdir(root.c_str(), 0755);
    const int rootFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    long made = 0;
    for (int top = 0; top < 20; ++top) {
        const std::string topName = std::string("top").append(std::to_string(top));
        ::mkdirat(rootFd, topName.c_str(), 0755);
        const int topFd = ::openat(rootFd, topName.c_str(), O_RDONLY | O_DIRECTORY);
        for (int mid = 0; mid < 100; ++mid) {
            const std::string midName = std::string("folder ").append(std::to_string(mid));
            ::mkdirat(topFd, midName.c_str(), 0755);
            const int midFd = ::openat(topFd, midName.c_str(), O_RDONLY | O_DIRECTORY);
            for (long leaf = 0; leaf < leaves; ++leaf, ++made) {
                const std::string leafName = made % 997 == 0
                                                 ? std::string("Cache").append(std::to_string(leaf))
                                                 : std::string("f").append(std::to_string(leaf));
                ::mkdirat(midFd, leafName.c_str(), 0755);
            }
            ::mkdirat(midFd, "Cache", 0755);
            ::close(midFd);
        }
        ::close(topFd);
    }
    ::close(rootFd);
}

double TimeWalk(const std::vector<std::string>& roots, long& folders, std::size_t& found)
{
    BenchObserver observer;
    const auto start = Clock::now();
    std::int32_t counter = 0;
    for (const std::string& root : roots) {
        counter = 0;
        tessaloom::ListCacheFolders(root, counter, observer, tessaloom::LocaleFormats::EnglishUS());
        folders += counter;
    }
    found = observer.found.size();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double TimeFind(const std::vector<std::string>& roots)
{
    const auto start = Clock::now();
    for (const std::string& root : roots) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> args = {"find", root, "-xdev", "-type", "d"};
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (posix_spawnp(&pid, "find", &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            ::waitpid(pid, &status, 0);
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    long folders = 200000;
    bool keep = false;
    std::vector<std::string> roots;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--runs" && i + 1 < argc)
            runs = std::max(1, std::atoi(argv[++i]));
        else if (arg == "--folders" && i + 1 < argc)
            folders = std::max(2100L, std::atol(argv[++i]));
        else if (arg == "--keep")
            keep = true;
        else
            roots.push_back(arg);
    }

    std::string generated;
    if (roots.empty()) {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "tessaloom-walkbench-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) {
            std::perror("mkdtemp");
            return 2;
        }
        generated = tmpl;
        std::printf("generating about %ld folders in %s ...\n", folders, generated.c_str());
        GenerateTree(generated + "/tree", folders);
        roots = {"/usr", generated + "/tree"};
    }

    // Warm the caches for both, then alternate.
    long walked = 0;
    std::size_t found = 0;
    TimeWalk(roots, walked, found);
    TimeFind(roots);
    double bestWalk = 1e30;
    double bestFind = 1e30;
    for (int run = 0; run < runs; ++run) {
        walked = 0;
        bestWalk = std::min(bestWalk, TimeWalk(roots, walked, found));
        bestFind = std::min(bestFind, TimeFind(roots));
    }

    for (const std::string& root : roots)
        std::printf("root: %s\n", root.c_str());
    std::printf("folders walked: %ld, cache folders found: %zu\n", walked, found);
    std::printf("walk: %.3f s   find -xdev -type d: %.3f s   ratio: %.2f (goal <= 1.30)\n",
                bestWalk, bestFind, bestWalk / bestFind);

    if (!generated.empty() && !keep) {
        std::error_code ec;
        std::filesystem::remove_all(generated, ec);
    }
    return bestWalk <= 1.3 * bestFind ? 0 : 1;
}
