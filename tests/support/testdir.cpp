#include "support/testdir.h"

#include <fcntl.h>
#include <fstream>
#include <linux/fs.h>
#include <sstream>
#include <stdexcept>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <utime.h>

namespace tessaloom::test {

TestDir::TestDir()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "tessaloom-test-XXXXXX").string();
    if (!::mkdtemp(tmpl.data()))
        throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

TestDir::~TestDir()
{
    std::error_code ec;
    // Give back permissions that a test took away, so the tree can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(
             m_path, std::filesystem::directory_options::skip_permission_denied, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            ::chmod(it->path().c_str(), 0755);
    }
    ::chmod(m_path.c_str(), 0755);
    std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path TestDir::createFile(std::string_view relative, std::string_view content,
                                          std::time_t mtime)
{
    const std::filesystem::path file = m_path / relative;
    std::filesystem::create_directories(file.parent_path());
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
    }
    if (mtime != 0)
        setMtime(file, mtime);
    return file;
}

std::filesystem::path TestDir::createDir(std::string_view relative)
{
    const std::filesystem::path dir = m_path / relative;
    std::filesystem::create_directories(dir);
    return dir;
}

void TestDir::setMtime(const std::filesystem::path& file, std::time_t mtime)
{
    utimbuf times{mtime, mtime};
    ::utime(file.c_str(), &times);
}

std::string ReadWholeFile(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::time_t UtcTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return ::timegm(&tm);
}

bool RunningAsRoot()
{
    return ::geteuid() == 0;
}

bool InSystemCache(const std::filesystem::path& file)
{
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    char byte = 0;
    iovec piece{&byte, 1};
    // Reads only what the cache holds: "would block" is a byte on the disk.
    const bool cached = fd >= 0 && ::preadv2(fd, &piece, 1, 0, RWF_NOWAIT) == 1;
    if (fd >= 0)
        ::close(fd);
    return cached;
}

bool DropFromSystemCache(const std::vector<std::filesystem::path>& files)
{
    for (const auto& file : files) {
        const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
        const bool dropped =
            fd >= 0 && ::fsync(fd) == 0 && ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!dropped)
            return false;
    }
    return files.empty() || !InSystemCache(files.back());
}

bool LockFolder(const std::filesystem::path& folder, bool locked)
{
    if (!RunningAsRoot())
        return ::chmod(folder.c_str(), locked ? 0555 : 0755) == 0;
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = locked ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

} // namespace tessaloom::test
