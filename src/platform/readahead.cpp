#include "platform/readahead.h"

#include "platform/readfile.h"

#include <algorithm>
#include <cerrno>
#include <sys/uio.h>
#include <system_error>

namespace tessaloom {

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
        const OpenedFile file = OpenFolderEntryForReading(folderFd, names[index].c_str());
        if (!file.fd)
            return;
        const auto want = static_cast<std::size_t>(
            std::min<off_t>(std::max<off_t>(file.info.st_size, 0), static_cast<off_t>(bytes)));
        buffer.resize(std::max(buffer.size(), want));
        // Only the system's cache keeps what is read.
        ReadWhatArrives(file.fd.get(), buffer.data(), want);
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
        const OpenedFile file = OpenFolderEntryForReading(folderFd, names[i].c_str());
        if (!file.fd || file.info.st_size <= 0)
            continue;
        char byte = 0;
        iovec piece{&byte, 1};
        // Reads only what the cache holds: "would block" is a file on the disk.
        if (::preadv2(file.fd.get(), &piece, 1, 0, RWF_NOWAIT) < 0) {
            if (errno != EAGAIN)
                return false; // this file system cannot tell
            ++uncached;
        }
        ++looked;
    }
    return looked > 0 && uncached * 4 >= looked;
}

} // namespace tessaloom
