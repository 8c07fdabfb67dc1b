#include "platform/readahead.h"

#include "platform/filedescriptor.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <system_error>
#include <unistd.h>

namespace tessaloom {

namespace {

// As the examination opens a listed name: a link, a FIFO or a device is never read.
FileDescriptor OpenEntry(int folderFd, const std::string& name, struct stat& info)
{
    constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | O_NOFOLLOW;
    int fd = ::openat(folderFd, name.c_str(), kFlags | O_NOATIME);
    if (fd < 0 && errno == EPERM) // another user's file
        fd = ::openat(folderFd, name.c_str(), kFlags);
    FileDescriptor opened(fd);
    if (opened && (::fstat(opened.get(), &info) != 0 || !S_ISREG(info.st_mode)))
        opened.reset();
    return opened;
}

} // namespace

ReadAhead::ReadAhead(std::size_t count, std::size_t from, WarmFn warm, unsigned threads,
                     std::size_t window)
    : m_count(count), m_window(window), m_warm(std::move(warm)), m_reached(from), m_next(from + 1)
{
    for (unsigned i = 0; i < threads; ++i) {
        try {
            m_threads.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            break; // out of threads: fewer only read less ahead
        }
    }
}

ReadAhead::~ReadAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void ReadAhead::reached(std::size_t index)
{
    {
        const std::lock_guard lock(m_mutex);
        m_reached = index;
        // A file the caller has come to is read by the caller.
        m_next = std::max(m_next, index + 1);
    }
    m_changed.notify_all();
}

void ReadAhead::work()
{
    for (;;) {
        std::size_t index = 0;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] {
                return m_stop || m_next >= m_count || m_next <= m_reached + m_window;
            });
            if (m_stop || m_next >= m_count)
                return;
            index = m_next++;
        }
        m_warm(index);
    }
}

ReadAhead::WarmFn ReadFolderEntries(int folderFd, const std::vector<std::string>& names,
                                    std::size_t bytes)
{
    return [folderFd, &names, bytes](std::size_t index) {
        thread_local std::vector<char> buffer;
        struct stat info
        {
        };
        const FileDescriptor fd = OpenEntry(folderFd, names[index], info);
        if (!fd)
            return;
        const auto want = static_cast<std::size_t>(
            std::min<off_t>(std::max<off_t>(info.st_size, 0), static_cast<off_t>(bytes)));
        buffer.resize(std::max(buffer.size(), want));
        std::size_t got = 0;
        while (got < want) {
            const ssize_t n =
                ::pread(fd.get(), buffer.data() + got, want - got, static_cast<off_t>(got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<std::size_t>(n);
        }
    };
}

bool FolderLooksUncached(int folderFd, const std::vector<std::string>& names, std::size_t probe)
{
    std::size_t looked = 0;
    std::size_t uncached = 0;
    // Empty files and other entries tell nothing; a list of only those is not read
    // ahead.
    const std::size_t tries = std::min(names.size(), probe * 4);
    for (std::size_t i = 0; i < tries && looked < probe; ++i) {
        struct stat info
        {
        };
        const FileDescriptor fd = OpenEntry(folderFd, names[i], info);
        if (!fd || info.st_size <= 0)
            continue;
        char byte = 0;
        iovec piece{&byte, 1};
        // Reads only what the cache holds: "would block" is a file on the disk.
        if (::preadv2(fd.get(), &piece, 1, 0, RWF_NOWAIT) < 0) {
            if (errno != EAGAIN)
                return false; // this file system cannot tell
            ++uncached;
        }
        ++looked;
    }
    return looked > 0 && uncached * 4 >= looked;
}

} // namespace tessaloom
