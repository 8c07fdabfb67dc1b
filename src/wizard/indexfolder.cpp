#include "wizard/indexfolder.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaloom {

namespace {

// Tests by status call before the folder's names are read in one go; a small
// document in a big folder stays cheap.
constexpr std::size_t kLookupsBeforeSnapshot = 256;
// A folder with more names than this is not held in memory: tests go on one by one.
constexpr std::size_t kMaxSnapshotNames = 1'000'000;

// A link is followed through at most this many links of the folder.
constexpr int kMaxLinkHops = 4;

} // namespace

bool IsPlainFileName(std::string_view name)
{
    return !name.empty() && name != "." && name != ".." &&
           name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::string FolderPrefix(const std::filesystem::path& folder)
{
    std::string prefix = folder.string();
    if (!prefix.empty() && prefix.back() != '/')
        prefix += '/';
    return prefix;
}

std::string FolderReplacedText(const std::filesystem::path& folder)
{
    return folder.string() + ": the folder was replaced after the list was read";
}

IndexFolder::IndexFolder(std::filesystem::path folder)
    : m_path(std::move(folder)), m_prefix(FolderPrefix(m_path))
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

FolderIdentity IndexFolder::identity() const
{
    if (!m_selfKnown && m_fd >= 0)
        m_selfKnown = ::fstat(m_fd, &m_self) == 0;
    if (!m_selfKnown)
        return {};
    return {m_self.st_dev, m_self.st_ino, true};
}

bool IndexFolder::linkStaysInside(const std::string& name) const
{
    // Each hop is read and judged through the open folder: whatever the depth of
    // the folder or the length of the link's path, a link costs a few system calls.
    if (!identity().known)
        return false;
    std::string current = name;
    char target[PATH_MAX];
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        const ssize_t n = ::readlinkat(m_fd, current.c_str(), target, sizeof target);
        if (n <= 0 || static_cast<std::size_t>(n) >= sizeof target)
            return false;
        const std::string_view path(target, static_cast<std::size_t>(n));
        const std::size_t slash = path.rfind('/');
        const std::string_view base =
            slash == std::string_view::npos ? path : path.substr(slash + 1);
        if (!IsPlainFileName(base))
            return false;
        struct stat st
        {
        };
        if (slash != std::string_view::npos) {
            // The folder the target lies in must be this very folder, not one
            // whose path merely begins like it.
            const std::string folder(path.substr(0, slash == 0 ? 1 : slash));
            if (::fstatat(m_fd, folder.c_str(), &st, 0) != 0 || st.st_dev != m_self.st_dev ||
                st.st_ino != m_self.st_ino)
                return false;
        }
        current.assign(base);
        if (::fstatat(m_fd, current.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        if (S_ISREG(st.st_mode))
            return true;
        if (!S_ISLNK(st.st_mode))
            return false;
    }
    return false;
}

void IndexFolder::takeSnapshot() const
{
    m_snapshotTaken = true;
    const int fd = ::openat(m_fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return; // searchable but not readable: test name by name
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return;
    }
    std::vector<SnapshotSlot> found;
    bool complete = true;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            complete = errno == 0;
            break;
        }
        const std::string_view name(entry->d_name);
        if (name.front() == '.' || name.size() > 0xFFFF)
            continue;
        if (entry->d_type != DT_REG && entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN)
            continue;
        if (found.size() >= kMaxSnapshotNames) {
            complete = false;
            break;
        }
        SnapshotSlot slot;
        slot.hash = static_cast<std::uint32_t>(std::hash<std::string_view>{}(name));
        slot.length = static_cast<std::uint16_t>(name.size());
        slot.kind = entry->d_type == DT_REG ? 1 : 0;
        if (name.size() <= kInlineName) {
            std::memcpy(slot.name, name.data(), name.size());
        } else {
            const auto offset = static_cast<std::uint32_t>(m_snapshotNames.size());
            std::memcpy(slot.name, &offset, sizeof offset);
            m_snapshotNames.append(name);
        }
        found.push_back(slot);
    }
    ::closedir(dir);
    if (!complete) {
        m_snapshotNames = std::string();
        m_snapshotTaken = false;
        m_snapshotAllowed = false;
        return;
    }
    std::size_t size = 16;
    while (size < found.size() * 2)
        size *= 2;
    m_snapshotTable.assign(size, SnapshotSlot{});
    for (const SnapshotSlot& slot : found) {
        std::size_t at = slot.hash & (size - 1);
        while (m_snapshotTable[at].kind != kEmptySlot)
            at = (at + 1) & (size - 1);
        m_snapshotTable[at] = slot;
    }
}

int IndexFolder::snapshotKind(std::string_view name) const
{
    const std::size_t mask = m_snapshotTable.size() - 1;
    const auto hash = static_cast<std::uint32_t>(std::hash<std::string_view>{}(name));
    for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
        const SnapshotSlot& slot = m_snapshotTable[at];
        if (slot.kind == kEmptySlot)
            return -1;
        if (slot.hash != hash || slot.length != name.size())
            continue;
        std::string_view held;
        if (name.size() <= kInlineName) {
            held = std::string_view(slot.name, name.size());
        } else {
            std::uint32_t offset = 0;
            std::memcpy(&offset, slot.name, sizeof offset);
            held = std::string_view(m_snapshotNames).substr(offset, name.size());
        }
        if (held == name)
            return slot.kind == 1 ? 1 : 0;
    }
}

void IndexFolder::prepareLookup(std::string_view name) const
{
    if (!m_snapshotTaken)
        return;
    const auto hash = static_cast<std::uint32_t>(std::hash<std::string_view>{}(name));
    __builtin_prefetch(&m_snapshotTable[hash & (m_snapshotTable.size() - 1)]);
}

bool IndexFolder::holdsListableFile(std::string_view name) const
{
    // Hidden names count as absent, as they do in the program's file lists.
    if (m_fd < 0 || !IsPlainFileName(name) || name.front() == '.')
        return false;
    if (m_snapshotAllowed && !m_snapshotTaken && ++m_lookups > kLookupsBeforeSnapshot)
        takeSnapshot();
    if (m_snapshotTaken) {
        const int kind = snapshotKind(name);
        if (kind != 0)
            return kind > 0;
    }
    const std::string bare(name);
    struct stat st
    {
    };
    if (::fstatat(m_fd, bare.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    if (S_ISREG(st.st_mode))
        return true;
    return S_ISLNK(st.st_mode) && linkStaysInside(bare);
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
    return m_prefix + std::string(name);
}

} // namespace tessaloom
