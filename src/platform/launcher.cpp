#include "platform/launcher.h"

#include <cerrno>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace tessaloom {

namespace {

constexpr std::chrono::milliseconds kLookInterval{10};

// Launchers left running by earlier calls.
std::vector<pid_t>& leftRunning()
{
    static std::vector<pid_t> pids;
    return pids;
}

void reapLeftRunning()
{
    std::erase_if(leftRunning(), [](pid_t pid) {
        const pid_t done = ::waitpid(pid, nullptr, WNOHANG);
        return done == pid || (done < 0 && errno == ECHILD);
    });
}

} // namespace

LaunchOutcome RunLauncher(const std::string& program, const std::string& argument,
                          std::chrono::milliseconds wait, const YieldFn& yield)
{
    reapLeftRunning();
    posix_spawn_file_actions_t actions;
    if (::posix_spawn_file_actions_init(&actions) != 0)
        return LaunchOutcome::Failed;
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    std::string programArg = program;
    std::string argumentArg = argument;
    char* argv[] = {programArg.data(), argumentArg.data(), nullptr};
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    ::posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return LaunchOutcome::Failed;

    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? LaunchOutcome::Succeeded
                                                                 : LaunchOutcome::Failed;
        if (done < 0 && errno != EINTR)
            return LaunchOutcome::Failed;
        if (std::chrono::steady_clock::now() >= deadline) {
            leftRunning().push_back(pid);
            return LaunchOutcome::StillRunning;
        }
        CallYield(yield);
        std::this_thread::sleep_for(kLookInterval);
    }
}

} // namespace tessaloom
