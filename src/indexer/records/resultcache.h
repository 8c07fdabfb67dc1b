#pragma once

#include "indexer/examination.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

struct stat;

namespace tessaloom::records {

/// What tells a cache file unchanged since it was examined, more strictly than the
/// thumbnails' stamp: a browser rewrites a record within the second, and a new
/// file under an old name has a new inode.
struct FileIdentity
{
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;
    std::int64_t changedNs = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

FileIdentity IdentityOf(const struct stat& info);

/// What the examination of one file found, before the build's filters.
struct ExaminedFile
{
    FileIdentity identity;
    Examination examination;
    bool isRecord = false;
    bool chromiumSparseData = false;
    /// The record holds a picture (whole and small enough to be drawn).
    bool hasPicture = false;
    std::string url;
};

/// The examinations of the last build of one folder, so that an unchanged file
/// costs a look at its status instead of a read. Stored with the folder's
/// thumbnails, and read back as any file: whatever does not hold up in it (a
/// wrong mark, a length past its end, a checksum that differs) empties the cache,
/// and the next build examines every file again.
class ResultCache
{
public:
    /// Raise whenever the examination finds something else in the same file, so
    /// that the results of an older build are not taken for this one's.
    static constexpr std::uint32_t kRulesVersion = 1;
    /// A stored cache larger than this is not read, and one that would be is not
    /// written.
    static constexpr std::size_t kMaxBytes = 64 * 1024 * 1024;

    /// The cache `bytes` hold, or an empty one when they are damaged.
    static ResultCache Parse(std::string_view bytes);

    /// The result for `name` when its identity is still `identity`.
    const ExaminedFile* find(const std::string& name, const FileIdentity& identity) const;
    std::size_t size() const { return m_results.size(); }

private:
    std::unordered_map<std::string, ExaminedFile> m_results;
};

/// What one build examines, in the order of its files, until it is stored for
/// the next build. Only a folder with records is ever stored, so the results are
/// kept where appending costs least rather than where they can be looked up.
class FreshResults
{
public:
    /// Room for `expected` results is made at the first.
    explicit FreshResults(std::size_t expected = 0) : m_expected(expected) {}
    /// Keeps `result`, unless its texts are too long to be worth a place. A build
    /// puts each name once, from its list of files, which outlives this.
    void put(std::string_view name, ExaminedFile result);
    /// The bytes ResultCache::Parse reads back.
    std::string serialize() const;

private:
    std::size_t m_expected;
    std::vector<std::pair<std::string_view, ExaminedFile>> m_results;
};

} // namespace tessaloom::records
