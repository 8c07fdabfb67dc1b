#include "wizard/indexfolder.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
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
        m_error = SystemError(errno, text);
}

IndexFolder::~IndexFolder()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_snapshotTable != nullptr)
        ::munmap(m_snapshotTable, m_snapshotSlots * sizeof(SnapshotSlot));
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

namespace {

// A quick hash of a name: cache files' names are short, and each is hashed once
// as the folder is read and again as it is looked up.
std::uint32_t NameHash(std::string_view name)
{
    std::uint64_t h = 0x9E3779B97F4A7C15ULL ^ name.size();
    std::size_t at = 0;
    for (; at + 8 <= name.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, name.data() + at, 8);
        h = (h ^ word) * 0xFF51AFD7ED558CCDULL;
        h ^= h >> 32;
    }
    if (at < name.size()) {
        std::uint64_t word = 0;
        std::memcpy(&word, name.data() + at, name.size() - at);
        h = (h ^ word) * 0xFF51AFD7ED558CCDULL;
    }
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ULL;
    h ^= h >> 29;
    return static_cast<std::uint32_t>(h);
}

// A name found in the folder: its hash, where it begins in the buffer of names
// (it ends where the next begins) and whether it is known to be a regular file.
struct FoundName
{
    std::uint32_t hash;
    std::uint32_t offsetAndKind; // offset * 2 + 1 for a regular file
};

// Reads the names of the folder `folderFd` that may be regular files (hidden ones
// left out) into `found` and `names`. False when the folder cannot be read whole
// or holds more names than a snapshot takes.
bool ReadFolderNames(int folderFd, std::vector<FoundName>& found, std::string& names)
{
    const int fd = ::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st
    {
    };
    const bool sized = ::fstat(fd, &st) == 0 && st.st_size > 0;
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        ::close(fd);
        return false;
    }
    // The names are gathered compactly first, and only then spread over the
    // table, sized for their count. The folder's size in bytes bounds its names
    // on the common file systems: room for that many is taken up front (pages
    // never written cost nothing), so the buffers are not moved as they fill.
    if (sized) {
        const auto size = static_cast<std::size_t>(st.st_size);
        found.reserve(std::min(size / 8, kMaxSnapshotNames));
        names.reserve(std::min(size, kMaxSnapshotNames * 16));
    }
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
        if (found.size() >= kMaxSnapshotNames || names.size() + name.size() >= 0x7FFFFFFF) {
            complete = false;
            break;
        }
        const auto offset = static_cast<std::uint32_t>(names.size());
        found.push_back({NameHash(name), offset * 2 + (entry->d_type == DT_REG ? 1U : 0U)});
        names.append(name);
    }
    ::closedir(dir);
    return complete;
}

} // namespace

void IndexFolder::takeSnapshot() const
{
    // Whatever goes wrong, the tests go on name by name: a folder that can be
    // searched but not read is listed all the same.
    m_snapshotAllowed = false;
    std::vector<FoundName> found;
    std::string names;
    if (!ReadFolderNames(m_fd, found, names))
        return;
    // At most three quarters full: a lookup rarely goes past the next slot, and
    // the table is half the size of one kept at half full.
    std::size_t size = 16;
    while (size * 3 < found.size() * 4)
        size *= 2;
    // Straight from the system: zeroed already, so no pass fills it, and backed
    // by large pages where the system allows, as the slots are written all over.
    void* table = ::mmap(nullptr, size * sizeof(SnapshotSlot), PROT_READ | PROT_WRITE,
                         MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (table == MAP_FAILED)
        return;
    ::madvise(table, size * sizeof(SnapshotSlot), MADV_HUGEPAGE);
    m_snapshotTable = static_cast<SnapshotSlot*>(table);
    m_snapshotSlots = size;
    // The slots are scattered over the table: each is fetched a few names ahead.
    constexpr std::size_t kFetchAhead = 8;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (i + kFetchAhead < found.size())
            __builtin_prefetch(&m_snapshotTable[found[i + kFetchAhead].hash & (size - 1)], 1);
        const std::uint32_t offset = found[i].offsetAndKind / 2;
        const std::uint32_t end = i + 1 < found.size() ? found[i + 1].offsetAndKind / 2
                                                       : static_cast<std::uint32_t>(names.size());
        SnapshotSlot slot;
        slot.hash = found[i].hash;
        slot.length = static_cast<std::uint16_t>(end - offset);
        slot.kind = (found[i].offsetAndKind & 1) != 0 ? kRegularSlot : kOtherSlot;
        if (slot.length <= kInlineName)
            std::memcpy(slot.name, names.data() + offset, slot.length);
        else
            std::memcpy(slot.name, &offset, sizeof offset);
        std::size_t at = slot.hash & (size - 1);
        while (m_snapshotTable[at].kind != kEmptySlot)
            at = (at + 1) & (size - 1);
        m_snapshotTable[at] = slot;
    }
    m_snapshotNames = std::move(names);
    m_snapshotTaken = true;
}

int IndexFolder::snapshotKind(std::string_view name) const
{
    const std::size_t mask = m_snapshotSlots - 1;
    const std::uint32_t hash = NameHash(name);
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
            return slot.kind == kRegularSlot ? 1 : 0;
    }
}

void IndexFolder::prepareLookup(std::string_view name) const
{
    if (!m_snapshotTaken)
        return;
    __builtin_prefetch(&m_snapshotTable[NameHash(name) & (m_snapshotSlots - 1)]);
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

Result<void> IndexFolder::removeFile(std::string_view name) const
{
    if (m_fd < 0)
        return Error{m_error.code, entryPath(name) + ": " + m_error.message};
    if (!holdsListableFile(name))
        return Error{kNotInFolder, entryPath(name) + ": not a file of the index's folder"};
    const std::string bare(name);
    // Flags 0: a directory put in its place meanwhile is refused, not removed.
    if (::unlinkat(m_fd, bare.c_str(), 0) != 0)
        return SystemError(errno, entryPath(name));
    return {};
}

std::string IndexFolder::entryPath(std::string_view name) const
{
    return m_prefix + std::string(name);
}

} // namespace tessaloom
