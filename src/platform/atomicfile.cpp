#include "platform/atomicfile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaloom {

namespace {

constexpr std::size_t kFlushSize = 1 << 16;

mode_t CurrentUmask()
{
    // umask can only be read by setting it; restore it at once.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

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

} // namespace

AtomicFile::AtomicFile(std::filesystem::path target) : m_target(std::move(target)) {}

AtomicFile::~AtomicFile()
{
    discard();
}

bool AtomicFile::fail(std::string_view what, int err)
{
    if (m_error.empty()) {
        m_error = std::string(what) + " " + m_target.string() + ": " + std::strerror(err);
    }
    return false;
}

bool AtomicFile::open()
{
    discard();
    m_error.clear();
    std::filesystem::path folder = m_target.parent_path();
    if (folder.empty())
        folder = ".";
    std::string tempName = ".";
    tempName.append(m_target.filename().string());
    tempName.append(".XXXXXX");
    std::string pattern = (folder / tempName).string();
    m_fd.reset(::mkstemp(pattern.data()));
    if (!m_fd)
        return fail("Cannot create a file beside", errno);
    m_temp = pattern;

    // Keep the permissions of the file being replaced; a new file gets the usual
    // mode a program creates files with.
    struct stat st
    {
    };
    mode_t mode = 0666 & ~CurrentUmask();
    if (::lstat(m_target.c_str(), &st) == 0 && S_ISREG(st.st_mode))
        mode = st.st_mode & 07777;
    ::fchmod(m_fd.get(), mode);
    return true;
}

bool AtomicFile::write(std::string_view bytes)
{
    if (!m_fd)
        return false;
    m_buffer.append(bytes);
    if (m_buffer.size() >= kFlushSize) {
        if (!WriteAll(m_fd.get(), m_buffer.data(), m_buffer.size()))
            return fail("Cannot write", errno);
        m_buffer.clear();
    }
    return true;
}

bool AtomicFile::commit()
{
    if (!m_fd)
        return m_error.empty() ? fail("Cannot write", EBADF) : false;
    if (!m_error.empty()) {
        discard();
        return false;
    }
    bool ok = WriteAll(m_fd.get(), m_buffer.data(), m_buffer.size());
    m_buffer.clear();
    if (!ok)
        fail("Cannot write", errno);
    if (ok && ::fdatasync(m_fd.get()) != 0) {
        ok = false;
        fail("Cannot write", errno);
    }
    if (m_fd.reset() != 0 && ok) {
        ok = false;
        fail("Cannot write", errno);
    }
    if (ok && ::rename(m_temp.c_str(), m_target.c_str()) != 0) {
        ok = false;
        fail("Cannot replace", errno);
    }
    if (!ok) {
        ::unlink(m_temp.c_str());
    }
    m_temp.clear();
    return ok;
}

void AtomicFile::discard()
{
    m_fd.reset();
    if (!m_temp.empty()) {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
    m_buffer.clear();
}

bool WriteFileAtomically(const std::filesystem::path& target, std::string_view content,
                         std::string* error)
{
    AtomicFile file(target);
    const bool ok = file.open() && file.write(content) && file.commit();
    if (!ok && error)
        *error = file.error();
    return ok;
}

} // namespace tessaloom
