#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaloom::records {

/// What tells a cache file unchanged since its thumbnail was made: with its name,
/// its size and modification time.
struct CacheFileStamp
{
    std::uint64_t size = 0;
    std::int64_t modified = 0;
};

/// The pictures of one index build, kept where the browser can draw them: a folder
/// of the program's own under the cache home, one per indexed folder, replaced as
/// a whole by each build. The folders of all indexed folders together stay within
/// the budget: after a build, those built longest ago go first. Nothing is ever
/// written into the indexed folder itself.
class ThumbnailFolder
{
public:
    /// `cacheHome` is the XDG cache home; `indexedFolder` the folder being indexed.
    /// At most `byteBudget` bytes of pictures are kept, in this build (later ones
    /// are left out) and in the whole store.
    ThumbnailFolder(const std::filesystem::path& cacheHome,
                    const std::filesystem::path& indexedFolder,
                    std::uint64_t byteBudget = 64 * 1024 * 1024);
    ~ThumbnailFolder();
    ThumbnailFolder(const ThumbnailFolder&) = delete;
    ThumbnailFolder& operator=(const ThumbnailFolder&) = delete;

    /// The folder that holds the pictures once committed.
    const std::filesystem::path& folder() const { return m_final; }
    /// False when pictures cannot be kept (no cache home, or one inside the
    /// indexed folder).
    bool usable() const { return !m_disabled; }

    /// Stores one picture, named after its cache file and its stamp, and returns
    /// the address the index page uses for it ("file:///...", percent-encoded).
    /// Nullopt when the budget is spent or the folder cannot be written.
    std::optional<std::string> add(std::string_view cacheFileName, std::string_view extension,
                                   std::string_view bytes, const CacheFileStamp& stamp = {});

    /// Bytes still to be had in this build.
    std::uint64_t bytesLeft() const { return m_budget - m_used; }

    /// Takes over the previous build's picture of a cache file whose name and
    /// stamp are unchanged, and returns its address; nullopt when there is none.
    std::optional<std::string> reuse(std::string_view cacheFileName, const CacheFileStamp& stamp);
    /// True when the previous build left a picture that `reuse` would look at.
    bool hasPrevious(std::string_view cacheFileName, const CacheFileStamp& stamp);

    /// What the last committed build left with its pictures through keepResults:
    /// empty when there is none, or when it is not a regular file of at most
    /// `maxBytes`.
    std::string readResults(std::size_t maxBytes) const;
    /// Bytes to keep with this build's pictures, replacing the last build's, once
    /// it commits (the examinations of its files). Empty: none are kept.
    void keepResults(std::string bytes) { m_results = std::move(bytes); }

    /// Puts this build's pictures in place of the previous build's. Without a call,
    /// the destructor drops them and the previous pictures stay. False when they
    /// could not be put in place.
    [[nodiscard]] bool commit();

private:
    bool ensureStaging();
    void discard();
    bool fits(std::uint64_t bytes) const { return bytes <= m_budget - m_used; }
    void trimStore() const;
    const std::string* previousPicture(std::string_view cacheFileName, const CacheFileStamp& stamp);

    std::filesystem::path m_root;
    std::filesystem::path m_final;
    std::filesystem::path m_staging;
    std::uint64_t m_budget;
    std::uint64_t m_storeBudget;
    std::uint64_t m_used = 0;
    /// The previous build's pictures by name without extension, read at the first
    /// reuse.
    std::optional<std::map<std::string, std::string, std::less<>>> m_previous;
    /// Pictures taken over before this build made one of its own: a build that
    /// makes none keeps the previous folder, and links nothing.
    std::vector<std::string> m_deferred;
    std::string m_results;
    bool m_disabled = false;
    bool m_stagingMade = false;
};

/// Removes the pictures of one cache file of `indexedFolder` (the wizard deleted
/// it), whatever stamp they were made for.
void RemoveThumbnailsOf(const std::filesystem::path& cacheHome,
                        const std::filesystem::path& indexedFolder, std::string_view cacheFileName);

/// Removes the pictures of `indexedFolder` (indexed without records: its page
/// names none).
void RemoveAllThumbnailsOf(const std::filesystem::path& cacheHome,
                           const std::filesystem::path& indexedFolder);

/// "file://" and the path, every byte but letters, digits, "-._~/" percent-encoded,
/// so the address can stand between double quotes in any HTML attribute.
std::string FileUrl(const std::filesystem::path& path);

} // namespace tessaloom::records
