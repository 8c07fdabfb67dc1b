#include "wizard/indexfolder.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaloom {

namespace {

std::string RealPath(const std::string& path)
{
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return {};
    std::string out(real);
    std::free(real);
    return out;
}

} // namespace

bool IsPlainFileName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

IndexFolder::IndexFolder(std::filesystem::path folder) : m_path(std::move(folder))
{
    const std::string text = m_path.empty() ? std::string(".") : m_path.string();
    m_fd = ::open(text.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0)
        m_error = text + ": " + std::strerror(errno);
}

IndexFolder::~IndexFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool IndexFolder::linkStaysInside(const std::string& name) const
{
    if (!m_realPathKnown) {
        m_realPath = RealPath(m_path.empty() ? std::string(".") : m_path.string());
        m_realPathKnown = true;
    }
    if (m_realPath.empty())
        return false;
    const std::string target = RealPath((m_path / name).string());
    if (target.empty())
        return false;
    const std::size_t slash = target.rfind('/');
    const std::string parent = slash == 0 ? std::string("/") : target.substr(0, slash);
    return parent == m_realPath;
}

bool IndexFolder::holdsListableFile(std::string_view name) const
{
    // Hidden names count as absent, as they do in the program's file lists.
    if (m_fd < 0 || !IsPlainFileName(name) || name.front() == '.')
        return false;
    const std::string bare(name);
    struct stat st
    {
    };
    if (::fstatat(m_fd, bare.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (S_ISREG(st.st_mode))
        return true;
    if (!S_ISLNK(st.st_mode))
        return false;
    if (::fstatat(m_fd, bare.c_str(), &st, 0) != 0 || !S_ISREG(st.st_mode))
        return false;
    return linkStaysInside(bare);
}

bool IndexFolder::isGone(std::string_view name) const
{
    if (m_fd < 0 || !IsPlainFileName(name))
        return false;
    const std::string bare(name);
    struct stat st
    {
    };
    return ::fstatat(m_fd, bare.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
}

bool IndexFolder::removeFile(std::string_view name, std::string* error) const
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = entryPath(name) + ": " + why;
        return false;
    };
    if (m_fd < 0)
        return fail(m_error);
    if (!holdsListableFile(name))
        return fail("not a file of the index's folder");
    const std::string bare(name);
    // Flags 0: a directory put in its place meanwhile is refused, not removed.
    if (::unlinkat(m_fd, bare.c_str(), 0) != 0)
        return fail(std::strerror(errno));
    return true;
}

std::string IndexFolder::entryPath(std::string_view name) const
{
    return (m_path / std::string(name)).string();
}

} // namespace tessaloom
