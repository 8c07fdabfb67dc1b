#include "discovery/cachefolderwalk.h"

#include "platform/textcodec.h"

#include <cerrno>
#include <cstring>
#include <deque>
#include <dirent.h>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tessaloom {

namespace {

constexpr std::string_view kCacheFolderNames[] = {"cache", "temporary internet files",
                                                  "cache.trash"};

// Errors that mean "no folder to walk here": refused, gone, replaced by a file or
// a link (links are never followed), or a drive without a medium.
bool IsQuietError(int err)
{
    return err == EACCES || err == EPERM || err == ENOENT || err == ENOTDIR || err == ELOOP ||
           err == ENOMEDIUM;
}

bool HoldsLineBreak(std::string_view path)
{
    return path.find_first_of("\r\n") != std::string_view::npos;
}

// One level of the walk. Only the path length is kept per level, so that memory
// grows with the depth and not with the square of it.
struct Frame
{
    int fd = -1;
    dev_t dev = 0;
    ino_t ino = 0;
    std::size_t pathLength = 0; // m_path up to and including this folder's trailing "/"
    std::string names;          // the sub-folder names, each ended by '\0'
    std::size_t next = 0;       // offset of the next name in `names`
};

enum class Outcome
{
    Walk,
    Empty,
    Skip
};

class Walker
{
public:
    Walker(std::int32_t& counter, CacheWalkObserver& observer, const LocaleFormats& formats,
           const CacheWalkOptions& options)
        : m_counter(counter), m_observer(observer), m_formats(formats),
          m_maxOpen(options.maxOpenFolders < 2 ? 2 : options.maxOpenFolders), m_buffer(64 * 1024)
    {}

    ~Walker()
    {
        for (std::size_t i = 0; i < m_depth; ++i)
            closeFrame(m_frames[i]);
    }

    Walker(const Walker&) = delete;
    Walker& operator=(const Walker&) = delete;

    void run(std::string_view root)
    {
        if (root.empty())
            return;
        m_path.assign(root);
        if (m_path.back() != '/')
            m_path += '/';
        if (!enterFolder(-1, nullptr))
            return;

        while (m_depth > 0) {
            Frame& frame = m_frames[m_depth - 1];
            if (frame.next >= frame.names.size()) {
                leaveFolder();
                continue;
            }
            if (m_observer.cancelRequested()) {
                // Every level returns at once, without letting events run again.
                while (m_depth > 0)
                    closeFrame(m_frames[--m_depth]);
                return;
            }
            m_observer.letEventsRun();

            const char* name = frame.names.c_str() + frame.next;
            const std::size_t nameLength = std::strlen(name);
            frame.next += nameLength + 1;
            m_path.resize(frame.pathLength);
            m_path.append(name, nameLength);
            if (IsCacheFolderPath(m_path) && !HoldsLineBreak(m_path))
                m_observer.cacheFolderFound(m_path);
            m_path += '/';
            const int parentFd = frame.fd;
            enterFolder(parentFd, name);
        }
    }

private:
    static void closeFrame(Frame& frame)
    {
        if (frame.fd >= 0)
            ::close(frame.fd);
        frame.fd = -1;
    }

    ErrorAnswer ask(int err)
    {
        WalkError error;
        error.number = err;
        error.description = std::strerror(err);
        error.path = m_path.size() > 1 ? m_path.substr(0, m_path.size() - 1) : m_path;
        return m_observer.askAboutError(error);
    }

    // Opens the folder named by m_path (relative to `parentFd` as `name`, or the
    // root when `name` is null) and pushes its level. False when it is not walked.
    bool enterFolder(int parentFd, const char* name)
    {
        if (m_depth == m_frames.size())
            m_frames.emplace_back();
        Frame& frame = m_frames[m_depth];
        frame.names.clear();
        frame.next = 0;
        frame.fd = -1;
        frame.pathLength = m_path.size();

        const Outcome opened = openFolder(frame, parentFd, name);
        if (opened == Outcome::Skip)
            return false;
        if (opened == Outcome::Walk && !readSubFolders(frame)) {
            closeFrame(frame);
            return false;
        }
        ++m_depth;
        limitOpenFolders();
        countFolder();
        return true;
    }

    Outcome openFolder(Frame& frame, int parentFd, const char* name)
    {
        for (;;) {
            struct stat st
            {
            };
            int fd = -1;
            int err = 0;
            if (!name) {
                // The start folder may be a link (a cache home on another disk).
                fd = ::open(m_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (fd < 0 || ::fstat(fd, &st) != 0)
                    err = errno;
                else
                    m_volume = st.st_dev;
            } else if (::fstatat(parentFd, name, &st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) != 0) {
                err = errno;
            } else if (!S_ISDIR(st.st_mode) || st.st_dev != m_volume) {
                // Not a folder any more, or the mount point of another volume:
                // that volume is walked on its own, if at all.
                return Outcome::Skip;
            } else {
                fd = ::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (fd < 0)
                    err = errno;
            }
            if (err == 0) {
                frame.fd = fd;
                frame.dev = st.st_dev;
                frame.ino = st.st_ino;
                return Outcome::Walk;
            }
            if (fd >= 0)
                ::close(fd);
            if (IsQuietError(err))
                return Outcome::Skip;
            switch (ask(err)) {
            case ErrorAnswer::Abort:
                return Outcome::Skip;
            case ErrorAnswer::Retry:
                continue;
            case ErrorAnswer::Ignore:
                return Outcome::Empty;
            }
        }
    }

    // Reads the sub-folder names at once, so that the folder's descriptor is only
    // needed again to open its children. False when the folder is abandoned.
    bool readSubFolders(Frame& frame)
    {
        for (;;) {
            const ssize_t got = ::getdents64(frame.fd, m_buffer.data(), m_buffer.size());
            if (got == 0)
                return true;
            if (got < 0) {
                const int err = errno;
                if (IsQuietError(err))
                    return false;
                const ErrorAnswer answer = ask(err);
                if (answer == ErrorAnswer::Abort)
                    return false;
                if (answer == ErrorAnswer::Ignore)
                    return true; // go on with the names read so far
                frame.names.clear();
                ::lseek(frame.fd, 0, SEEK_SET);
                continue;
            }
            for (ssize_t offset = 0; offset < got;) {
                const auto* entry = reinterpret_cast<const dirent64*>(m_buffer.data() + offset);
                offset += entry->d_reclen;
                const char* entryName = entry->d_name;
                if (entryName[0] == '.' &&
                    (entryName[1] == '\0' || (entryName[1] == '.' && entryName[2] == '\0')))
                    continue;
                bool folder = entry->d_type == DT_DIR;
                if (entry->d_type == DT_UNKNOWN) {
                    struct stat st
                    {
                    };
                    folder = ::fstatat(frame.fd, entryName, &st,
                                       AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0 &&
                             S_ISDIR(st.st_mode);
                }
                if (folder) {
                    frame.names.append(entryName);
                    frame.names += '\0';
                }
            }
        }
    }

    void countFolder()
    {
        if (m_counter < std::numeric_limits<std::int32_t>::max())
            ++m_counter;
        if (m_counter % 50 == 0)
            m_observer.setFoldersLabel(FoldersSearchedText(m_counter, m_formats));
    }

    // Keeps the descriptors of the deepest levels only, so that a very deep tree
    // cannot exhaust the process's descriptors. Levels below m_lowestOpen are closed.
    void limitOpenFolders()
    {
        if (m_frames[m_depth - 1].fd >= 0)
            ++m_openCount;
        if (m_openCount <= m_maxOpen)
            return;
        while (m_frames[m_lowestOpen].fd < 0)
            ++m_lowestOpen;
        closeFrame(m_frames[m_lowestOpen]);
        --m_openCount;
    }

    void leaveFolder()
    {
        Frame& frame = m_frames[m_depth - 1];
        --m_depth;
        if (m_depth > 0 && m_frames[m_depth - 1].fd < 0) {
            reopen(m_frames[m_depth - 1], frame.fd);
            if (m_frames[m_depth - 1].fd >= 0) {
                ++m_openCount;
                if (m_lowestOpen > m_depth - 1)
                    m_lowestOpen = m_depth - 1;
            }
        }
        if (frame.fd >= 0) {
            closeFrame(frame);
            --m_openCount;
        }
        if (m_lowestOpen > m_depth)
            m_lowestOpen = m_depth;
        m_observer.letEventsRun();
    }

    // Gets a closed level's descriptor back, through ".." of the child just left
    // (no path length limit), else by its path. The folder must be the same one
    // as before; if it has been moved away, the rest of it is passed over.
    void reopen(Frame& frame, int childFd)
    {
        const auto same = [&frame](int fd) {
            struct stat st
            {
            };
            return ::fstat(fd, &st) == 0 && st.st_dev == frame.dev && st.st_ino == frame.ino;
        };
        int fd = childFd >= 0 ? ::openat(childFd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
        if (fd >= 0 && !same(fd)) {
            ::close(fd);
            fd = -1;
        }
        if (fd < 0) {
            const std::string path = m_path.substr(0, frame.pathLength);
            fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd >= 0 && !same(fd)) {
                ::close(fd);
                fd = -1;
            }
        }
        frame.fd = fd;
        if (fd < 0)
            frame.next = frame.names.size();
    }

    std::int32_t& m_counter;
    CacheWalkObserver& m_observer;
    const LocaleFormats& m_formats;
    const std::size_t m_maxOpen;
    std::vector<char> m_buffer;
    std::deque<Frame> m_frames; // a deque: a level must not move while its names are in use
    std::size_t m_depth = 0;
    std::size_t m_lowestOpen = 0;
    std::size_t m_openCount = 0;
    std::string m_path;
    dev_t m_volume = 0;
};

} // namespace

std::string WalkError::text() const
{
    return std::to_string(number) + " - " + description;
}

bool IsCacheFolderName(std::string_view name)
{
    for (const std::string_view cacheName : kCacheFolderNames) {
        if (IEquals(name, cacheName))
            return true;
    }
    return false;
}

bool IsCacheFolderPath(std::string_view path)
{
    const auto lastComponent = [](std::string_view& p) {
        const std::size_t slash = p.rfind('/');
        const std::string_view last = slash == std::string_view::npos ? p : p.substr(slash + 1);
        p = slash == std::string_view::npos ? std::string_view() : p.substr(0, slash);
        return last;
    };
    std::string_view rest = path;
    const std::string_view name = lastComponent(rest);
    if (IsCacheFolderName(name))
        return true;
    const std::string_view parent = lastComponent(rest);
    // Where today's browsers keep the files themselves: Chromium and its relatives
    // under "Cache/Cache_Data", Firefox under "cache2/entries".
    return (IEquals(name, "cache_data") && IEquals(parent, "cache")) ||
           (IEquals(name, "entries") && IEquals(parent, "cache2"));
}

std::string FoldersSearchedText(std::int32_t count, const LocaleFormats& formats)
{
    return "Folders Searched: " + FormatThousands(count, formats);
}

void ListCacheFolders(std::string_view root, std::int32_t& folderCounter,
                      CacheWalkObserver& observer, const LocaleFormats& formats,
                      const CacheWalkOptions& options)
{
    Walker walker(folderCounter, observer, formats, options);
    walker.run(root);
}

} // namespace tessaloom
