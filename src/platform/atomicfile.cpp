#include "platform/atomicfile.h"

#include "platform/readfile.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

namespace tessaloom {

namespace {

constexpr std::size_t kFlushSize = 1 << 16;
constexpr int kMaxLinkHops = 40;
constexpr int kTempSuffixLength = 6;
// A temporary file this old belongs to a write that will never finish.
constexpr std::time_t kStaleTemporaryAge = 5 * 60;

mode_t ReadProcessUmask()
{
    // /proc shows the umask without changing it; setting it to read it would race
    // with any thread that creates a file meanwhile.
    const Result<std::string> read = ReadFileLimited("/proc/self/status", 1 << 16);
    if (read) {
        const std::string& status = read.value();
        const std::size_t at = status.find("\nUmask:");
        if (at != std::string::npos)
            return static_cast<mode_t>(std::strtoul(status.c_str() + at + 7, nullptr, 8) & 0777);
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Read while the program starts, before it has any thread of its own.
const mode_t kProcessUmask = ReadProcessUmask();

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool IsTempSuffixChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string TempName(const std::string& targetName)
{
    static constexpr char kChars[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    unsigned char random[kTempSuffixLength] = {};
    if (::getrandom(random, sizeof random, 0) != static_cast<ssize_t>(sizeof random)) {
        // Without the kernel's randomness, the clock still makes a clash unlikely;
        // a clash only costs a retry (O_EXCL).
        const auto seed = static_cast<unsigned long long>(std::time(nullptr)) ^
                          (static_cast<unsigned long long>(::getpid()) << 20) ^
                          reinterpret_cast<std::uintptr_t>(&random);
        for (int i = 0; i < kTempSuffixLength; ++i)
            random[i] = static_cast<unsigned char>(seed >> (i * 7));
    }
    std::string name = "." + targetName + ".";
    for (const unsigned char r : random)
        name += kChars[r % (sizeof kChars - 1)];
    return name;
}

bool IsTempNameOf(std::string_view name, std::string_view targetName)
{
    if (name.size() != targetName.size() + 2 + kTempSuffixLength || name.front() != '.' ||
        name.substr(1, targetName.size()) != targetName || name[targetName.size() + 1] != '.')
        return false;
    for (const char c : name.substr(targetName.size() + 2)) {
        if (!IsTempSuffixChar(c))
            return false;
    }
    return true;
}

int RemoveStaleIn(int folderFd, const std::string& targetName, std::time_t before)
{
    const int listFd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0)
        return 0;
    DIR* dir = ::fdopendir(listFd);
    if (!dir) {
        ::close(listFd);
        return 0;
    }
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsTempNameOf(entry->d_name, targetName))
            continue;
        struct stat st
        {
        };
        if (::fstatat(folderFd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_mtime < before &&
            ::unlinkat(folderFd, entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

// The file a chain of symbolic links ends at (itself when it is no link); a
// relative link is read against its own folder. Empty after too many hops.
std::filesystem::path EndOfLinks(std::filesystem::path path)
{
    for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(path, ec)))
            return path;
        const std::filesystem::path next = std::filesystem::read_symlink(path, ec);
        if (ec)
            return path;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return {};
}

} // namespace

AtomicFile::AtomicFile(std::filesystem::path target, LinkAtTarget links)
    : m_target(std::move(target)), m_links(links)
{}

AtomicFile::~AtomicFile()
{
    discard();
}

Error AtomicFile::fail(std::string_view what, int err)
{
    if (!m_error)
        m_error = SystemError(err, std::string(what) + " " + m_target.string());
    return *m_error;
}

Result<void> AtomicFile::open()
{
    discard();
    m_error.reset();
    m_path = m_links == LinkAtTarget::WriteThrough ? EndOfLinks(m_target) : m_target;
    if (m_path.empty())
        return fail("Cannot replace", ELOOP);
    std::filesystem::path folder = m_path.parent_path();
    if (folder.empty())
        folder = ".";
    m_folder.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_folder)
        return fail("Cannot create a file beside", errno);
    const std::string name = m_path.filename().string();

    // Keep the permissions of the file being replaced; a new file gets the usual
    // mode a program creates files with.
    mode_t mode = 0666 & ~kProcessUmask;
    struct stat st
    {
    };
    if (::fstatat(m_folder.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode)) {
        if (::faccessat(m_folder.get(), name.c_str(), W_OK, AT_EACCESS) != 0)
            return fail("Cannot replace", errno);
        mode = st.st_mode & 07777;
    }

    m_fd.reset(::openat(m_folder.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (!m_fd) {
        // Only a file system without unnamed files falls back to a named one.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            return fail("Cannot create a file beside", errno);
        // Leftovers only cost space; one that cannot be removed does not stop the write.
        std::ignore = RemoveStaleIn(m_folder.get(), name, std::time(nullptr) - kStaleTemporaryAge);
        for (int attempt = 0; attempt < 100 && !m_fd; ++attempt) {
            const std::string tempName = TempName(name);
            m_fd.reset(::openat(m_folder.get(), tempName.c_str(),
                                O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600));
            if (m_fd)
                m_tempName = tempName;
            else if (errno != EEXIST)
                break;
        }
        if (!m_fd)
            return fail("Cannot create a file beside", errno);
    }
    // The file is ours either way; only its mode would differ from the old one's.
    std::ignore = ::fchmod(m_fd.get(), mode);
    return {};
}

Result<void> AtomicFile::flush()
{
    const bool ok = WriteAll(m_fd.get(), m_buffer.data(), m_buffer.size());
    const int err = errno;
    const std::size_t written = m_buffer.size();
    m_buffer.clear();
    if (!ok)
        return fail("Cannot write", err);
    startWriteback(written);
    return {};
}

void AtomicFile::startWriteback(std::size_t bytes)
{
    // A large file goes to the disk while the rest of it is being made, so the
    // flush before the rename waits only for its end. Small ones are flushed whole.
    if (bytes >= kFlushSize) {
        // Only a head start: the flush at commit reports what fails.
        std::ignore = ::sync_file_range(m_fd.get(), static_cast<off_t>(m_written),
                                        static_cast<off_t>(bytes), SYNC_FILE_RANGE_WRITE);
    }
    m_written += bytes;
}

Result<void> AtomicFile::write(std::string_view bytes)
{
    if (m_error)
        return *m_error;
    if (!m_fd)
        return SystemError(EBADF, "Cannot write " + m_target.string());
    if (m_buffer.size() + bytes.size() < kFlushSize) {
        m_buffer.append(bytes);
        return {};
    }
    if (!m_buffer.empty()) {
        if (Result<void> flushed = flush(); !flushed)
            return flushed;
    }
    // A large piece goes to the file as it is: a copy into the buffer would only
    // touch all its pages a second time (a whole index page is megabytes).
    if (!WriteAll(m_fd.get(), bytes.data(), bytes.size()))
        return fail("Cannot write", errno);
    startWriteback(bytes.size());
    return {};
}

// An unnamed file gets its temporary name only once it is complete.
Result<void> AtomicFile::nameUnnamedFile()
{
    const std::string self = "/proc/self/fd/" + std::to_string(m_fd.get());
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string tempName = TempName(m_path.filename().string());
        if (::linkat(AT_FDCWD, self.c_str(), m_folder.get(), tempName.c_str(), AT_SYMLINK_FOLLOW) ==
            0) {
            m_tempName = tempName;
            return {};
        }
        if (errno != EEXIST)
            break;
    }
    return fail("Cannot write", errno);
}

Result<void> AtomicFile::commit()
{
    if (!m_fd || m_error) {
        Error error = fail("Cannot write", EBADF); // the first failure, if any
        discard();
        return error;
    }
    Result<void> done = flush();
    if (done && ::fdatasync(m_fd.get()) != 0)
        done = fail("Cannot write", errno);
    if (done && m_tempName.empty())
        done = nameUnnamedFile();
    if (m_fd.reset() != 0 && done)
        done = fail("Cannot write", errno);
    const std::string name = m_path.filename().string();
    if (done && ::renameat(m_folder.get(), m_tempName.c_str(), m_folder.get(), name.c_str()) != 0)
        done = fail("Cannot replace", errno);
    if (done) {
        m_tempName.clear();
        // The new name must survive a power cut as the data does; where the folder
        // cannot be flushed the file is in place all the same.
        std::ignore = ::fsync(m_folder.get());
    }
    discard();
    return done;
}

void AtomicFile::discard()
{
    m_fd.reset();
    if (!m_tempName.empty()) {
        // A leftover is removed by the next write of the same target.
        std::ignore = ::unlinkat(m_folder.get(), m_tempName.c_str(), 0);
        m_tempName.clear();
    }
    m_folder.reset();
    m_buffer.clear();
    m_written = 0;
}

Result<void> WriteFileAtomically(const std::filesystem::path& target, std::string_view content,
                                 LinkAtTarget links)
{
    AtomicFile file(target, links);
    if (Result<void> opened = file.open(); !opened)
        return opened;
    if (Result<void> written = file.write(content); !written)
        return written;
    return file.commit();
}

int RemoveStaleTemporaryFiles(const std::filesystem::path& target, std::time_t before)
{
    std::filesystem::path folder = target.parent_path();
    if (folder.empty())
        folder = ".";
    const FileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folderFd)
        return 0;
    return RemoveStaleIn(folderFd.get(), target.filename().string(), before);
}

} // namespace tessaloom
