// tessaloom-read-floor: the least work any index build must do on a folder. It
// lists the folder's regular files and reads the first min(size, 100,000) bytes
// of each, nothing else; the benchmark compares the index build against it.
//
// Hidden names are left out as the program's file list leaves them out, so both
// read the same files. The files are read in the list's order (names compared
// without letter case), as the build reads them: read in the directory's own
// order, a folder whose pages came into memory in that order (as a warm-up by
// this very program brings them) is read faster than any build in list order
// could, by locality alone. `--directory-order` reads them that way, to warm the
// page cache in an order unrelated to the names, as a browser's writes leave it.

#include <algorithm>
#include <strings.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kExaminedBytes = 100'000;

} // namespace

int main(int argc, char** argv)
{
    const bool directoryOrder = argc == 3 && std::strcmp(argv[1], "--directory-order") == 0;
    if (argc != 2 && !directoryOrder) {
        std::fputs("Usage: tessaloom-read-floor [--directory-order] FOLDER\n", stderr);
        return 2;
    }
    const char* const folder = argv[argc - 1];
    DIR* dir = ::opendir(folder);
    if (!dir) {
        std::fprintf(stderr, "tessaloom-read-floor: %s: %s\n", folder, std::strerror(errno));
        return 1;
    }
    const int dfd = ::dirfd(dir);
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        bool regular = entry->d_type == DT_REG;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            struct stat st
            {
            };
            regular = ::fstatat(dfd, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode);
        }
        if (regular)
            names.emplace_back(entry->d_name);
    }

    if (!directoryOrder)
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            const int c = ::strcasecmp(a.c_str(), b.c_str());
            return c != 0 ? c < 0 : a < b;
        });

    std::vector<char> buffer(kExaminedBytes);
    unsigned long long bytes = 0;
    std::size_t failed = 0;
    for (const std::string& name : names) {
        const int fd = ::openat(dfd, name.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st
        {
        };
        if (fd < 0 || ::fstat(fd, &st) != 0) {
            ++failed;
            if (fd >= 0)
                ::close(fd);
            continue;
        }
        const std::size_t want = std::min<std::size_t>(
            static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)), kExaminedBytes);
        std::size_t got = 0;
        while (got < want) {
            const ssize_t n = ::read(fd, buffer.data() + got, want - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
        bytes += got;
        ::close(fd);
    }
    ::closedir(dir);
    std::printf("%zu files, %llu bytes read, %zu unreadable\n", names.size(), bytes, failed);
    return 0;
}
