// tessaloom-measure: runs a command and prints its wall time and peak resident
// memory on one line ("wall_s user_s sys_s max_rss_kb exit_status") for the
// benchmark script. The child's stdout is discarded so that its own printing
// (and a slow terminal) does not count.

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs("Usage: tessaloom-measure COMMAND [ARGS...]\n", stderr);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid < 0) {
        std::perror("tessaloom-measure: fork");
        return 1;
    }
    if (pid == 0) {
        const int devNull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (devNull >= 0)
            ::dup2(devNull, STDOUT_FILENO);
        ::execvp(argv[1], argv + 1);
        std::perror("tessaloom-measure: exec");
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, 0, &usage) < 0) {
        std::perror("tessaloom-measure: wait4");
        return 1;
    }
    const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
    const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    const auto seconds = [](const timeval& tv) {
        return static_cast<double>(tv.tv_sec) + static_cast<double>(tv.tv_usec) / 1e6;
    };
    // ru_maxrss is in kilobytes on Linux.
    std::printf("%.6f %.6f %.6f %ld %d\n", wall.count(), seconds(usage.ru_utime),
                seconds(usage.ru_stime), usage.ru_maxrss, exitStatus);
    return 0;
}
