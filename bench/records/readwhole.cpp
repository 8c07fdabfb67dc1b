// tessaloom-read-whole: the floor of the records benchmark. It lists the folder's
// regular files (hidden names left out, as the program's file list does) and
// reads each one whole, nothing else.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("Usage: tessaloom-read-whole FOLDER\n", stderr);
        return 2;
    }
    DIR* dir = ::opendir(argv[1]);
    if (!dir) {
        std::fprintf(stderr, "tessaloom-read-whole: %s: %s\n", argv[1], std::strerror(errno));
        return 2;
    }
    const int dirFd = ::dirfd(dir);
    static char buffer[1 << 20];
    unsigned long long total = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        const int fd = ::openat(dirFd, entry->d_name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0)
            continue;
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            ssize_t n;
            while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
                total += static_cast<unsigned long long>(n);
        }
        ::close(fd);
    }
    ::closedir(dir);
    std::printf("%llu bytes\n", total);
    return 0;
}
