#pragma once

#include "platform/result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace tessaloom {

/// True for a name that can only mean an entry directly inside one folder: not
/// empty, no "/", no NUL byte (which would cut the name short at the system
/// call), and not "." or "..".
bool IsPlainFileName(std::string_view name);

/// The folder's path as written in front of its entries' names: ending in "/",
/// or empty for the current folder given as "".
std::string FolderPrefix(const std::filesystem::path& folder);

/// Which folder a path named when it was opened: the same path may later lead to
/// another folder (renamed away, a link put in its place).
struct FolderIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    bool known = false;

    bool sameAs(const FolderIdentity& other) const
    {
        return known && other.known && device == other.device && inode == other.inode;
    }
};

/// Why nothing is done in a folder whose path now leads elsewhere.
std::string FolderReplacedText(const std::filesystem::path& folder);

/// The folder of an index document, held open while its entries are tested or
/// deleted. Every test and delete goes through the one open folder, by bare name
/// and without following a final symbolic link, so a path swapped meanwhile
/// cannot redirect them to a file elsewhere.
class IndexFolder
{
public:
    explicit IndexFolder(std::filesystem::path folder);
    ~IndexFolder();
    IndexFolder(const IndexFolder&) = delete;
    IndexFolder& operator=(const IndexFolder&) = delete;

    /// For a reader about to test many names: after the first few tests the
    /// folder's names are read once and later tests look there, which is far
    /// cheaper than a status call per name. Not for deleting: the snapshot would
    /// not see the deletions.
    void allowSnapshot() { m_snapshotAllowed = true; }

    bool isOpen() const { return m_fd >= 0; }
    const std::filesystem::path& path() const { return m_path; }
    /// Why the folder could not be opened; only when !isOpen().
    const Error& error() const { return m_error; }
    /// The folder that was opened; not known when it could not be.
    FolderIdentity identity() const;

    /// True when `name` may be listed and deleted: a plain, not hidden name of a
    /// regular file, or of a symbolic link that leads, through at most a few
    /// links, to a regular file directly in this folder.
    bool holdsListableFile(std::string_view name) const;
    /// Says that `name` will be tested soon: with the names read in one go, its
    /// place in memory is fetched meanwhile. No effect on any result.
    void prepareLookup(std::string_view name) const;

    /// True only when nothing at all is there under the plain name `name`.
    bool isGone(std::string_view name) const;

    /// Deletes the listable file `name` (a symbolic link itself, never its
    /// target). Fails, with the entry's path and the reason, when it stays.
    Result<void> removeFile(std::string_view name) const;

    /// The full path shown for an entry of this folder.
    std::string entryPath(std::string_view name) const;

private:
    bool linkStaysInside(const std::string& name) const;
    void takeSnapshot() const;
    // 1 regular file, 0 symbolic link or unknown type (still to be tested), -1 absent.
    int snapshotKind(std::string_view name) const;

    // An open-addressing table of half a cache line per name: a folder of a
    // hundred thousand cache files is looked up this way far faster than through
    // a node per name. A short name (most cache files' names) sits in its slot, so
    // a test touches one line of memory; a longer one lies in a buffer of names.
    // The table's memory comes zeroed from the system, so a slot of zeros is empty.
    static constexpr std::size_t kInlineName = 25;
    static constexpr std::uint8_t kEmptySlot = 0;
    static constexpr std::uint8_t kRegularSlot = 1;
    static constexpr std::uint8_t kOtherSlot = 2; // a link or an unknown type
    struct alignas(32) SnapshotSlot
    {
        std::uint32_t hash = 0;
        std::uint16_t length = 0;
        std::uint8_t kind = kEmptySlot;
        char name[kInlineName] = {}; // the name, or the offset of a longer one
    };
    static_assert(sizeof(SnapshotSlot) == 32);

    std::filesystem::path m_path;
    std::string m_prefix;
    Error m_error;
    mutable struct stat m_self
    {}; // the folder's own device and inode, taken on first need
    mutable bool m_selfKnown = false;
    mutable std::string m_snapshotNames;
    mutable SnapshotSlot* m_snapshotTable = nullptr;
    mutable std::size_t m_snapshotSlots = 0; // a power of two once the table is made
    mutable std::size_t m_lookups = 0;
    mutable bool m_snapshotTaken = false;
    mutable bool m_snapshotAllowed = false;
    int m_fd = -1;
};

} // namespace tessaloom
