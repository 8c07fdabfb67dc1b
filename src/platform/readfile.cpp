#include "platform/readfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace tessaloom {

namespace {

constexpr int kReadFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

bool SameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

OpenedFile OpenFileForReading(int folderFd, const char* name, FinalLink link)
{
    OpenedFile file;
    const int pathFlags = O_PATH | O_CLOEXEC | (link == FinalLink::Refuse ? O_NOFOLLOW : 0);
    const FileDescriptor pathFd(::openat(folderFd, name, pathFlags));
    if (!pathFd || ::fstat(pathFd.get(), &file.info) != 0) {
        file.error = errno;
        return file;
    }
    file.found = true;
    if (!S_ISREG(file.info.st_mode)) {
        file.notRegular = true;
        return file;
    }
    // Re-open the very inode that was checked. /proc/self/fd/N does that without a
    // second lookup of the name; without /proc, open the name again and make sure
    // it is still the same file.
    const std::string viaProc = "/proc/self/fd/" + std::to_string(pathFd.get());
    FileDescriptor fd(::open(viaProc.c_str(), kReadFlags));
    if (!fd && errno == ENOENT)
        fd.reset(
            ::openat(folderFd, name, kReadFlags | (link == FinalLink::Refuse ? O_NOFOLLOW : 0)));
    if (!fd) {
        file.error = errno;
        return file;
    }
    struct stat opened
    {
    };
    if (::fstat(fd.get(), &opened) != 0) {
        file.error = errno;
        return file;
    }
    if (!SameFile(opened, file.info)) {
        file.error = ESTALE; // replaced between the check and the open
        return file;
    }
    file.info = opened;
    file.fd = std::move(fd);
    return file;
}

OpenedFile OpenFileForReading(const std::filesystem::path& path, FinalLink link)
{
    return OpenFileForReading(AT_FDCWD, path.c_str(), link);
}

OpenedFile OpenFolderEntryForReading(int folderFd, const char* name)
{
    // Looking at a cache must not write to the disk: the first reading of the day
    // would otherwise give every file a new access time, an inode each to write
    // back. Only a file's owner may ask for that; another user's file opens as it
    // always did.
    int opened = ::openat(folderFd, name, kReadFlags | O_NOFOLLOW | O_NOATIME);
    if (opened < 0 && errno == EPERM)
        opened = ::openat(folderFd, name, kReadFlags | O_NOFOLLOW);
    FileDescriptor fd(opened);
    if (!fd) // a link (ELOOP), or gone, or unreadable: the careful way sorts them out
        return OpenFileForReading(folderFd, name, FinalLink::Follow);
    OpenedFile file;
    if (::fstat(fd.get(), &file.info) != 0) {
        file.error = errno;
        return file;
    }
    file.found = true;
    if (!S_ISREG(file.info.st_mode)) {
        file.notRegular = true;
        return file;
    }
    file.fd = std::move(fd);
    return file;
}

std::string ReadFailureText(const OpenedFile& file)
{
    if (file.notRegular)
        return "not a regular file";
    return std::strerror(file.error != 0 ? file.error : EIO);
}

Error ReadFailure(const OpenedFile& file, std::string_view what)
{
    const int code = file.notRegular ? kNotRegularFile : (file.error != 0 ? file.error : EIO);
    return Error{code, std::string(what) + ": " + ReadFailureText(file)};
}

ssize_t ReadSome(int fd, char* data, std::size_t size)
{
    for (;;) {
        const ssize_t n = ::read(fd, data, size);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

namespace {

// The bytes read until `size`, the end of the file or a failed read; `error` is
// the failed read's errno, else 0.
std::size_t ReadUntil(int fd, char* data, std::size_t size, int& error)
{
    std::size_t got = 0;
    error = 0;
    while (got < size) {
        const ssize_t n = ReadSome(fd, data + got, size - got);
        if (n < 0) {
            error = errno;
            break;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

} // namespace

Result<std::size_t> ReadFull(int fd, char* data, std::size_t size)
{
    int error = 0;
    const std::size_t got = ReadUntil(fd, data, size, error);
    if (error != 0)
        return SystemError(error, "read");
    return got;
}

std::size_t ReadWhatArrives(int fd, char* data, std::size_t size)
{
    int error = 0;
    return ReadUntil(fd, data, size, error);
}

Result<std::string> ReadFileLimited(const std::filesystem::path& path, std::size_t limit)
{
    const OpenedFile file = OpenFileForReading(path, FinalLink::Follow);
    if (!file.fd)
        return ReadFailure(file, path.string());
    // Start from the size the file claims and grow if it grows while we read
    // (files under /proc claim 0).
    const auto claimed = static_cast<std::size_t>(std::max<off_t>(file.info.st_size, 0));
    std::string out;
    std::size_t got = 0;
    out.resize(std::min(limit, claimed + 1));
    while (got < limit) {
        if (got == out.size())
            out.resize(std::min(limit, std::max<std::size_t>(out.size() * 2, 4096)));
        const Result<std::size_t> n = ReadFull(file.fd.get(), out.data() + got, out.size() - got);
        if (!n)
            return SystemError(n.error().code, path.string());
        got += n.value();
        if (got < out.size())
            break; // end of file
    }
    out.resize(got);
    return out;
}

} // namespace tessaloom
