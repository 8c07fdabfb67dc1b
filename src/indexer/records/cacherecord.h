#pragma once

#include "indexer/records/responsehead.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessaloom::records {

/// Random reads from one cached file. Records are read from both ends (Chromium's
/// response head and Firefox's metadata sit behind the body), so a source answers
/// reads at any offset.
class RecordSource
{
public:
    virtual ~RecordSource() = default;
    virtual std::uint64_t size() const = 0;
    /// The `length` bytes at `offset`; nullopt when they are not all there.
    virtual std::optional<std::string_view> read(std::uint64_t offset, std::size_t length) = 0;
};

/// A file already in memory (tests, the fuzz target).
class MemorySource final : public RecordSource
{
public:
    explicit MemorySource(std::string_view bytes) : m_bytes(bytes) {}
    std::uint64_t size() const override { return m_bytes.size(); }
    std::optional<std::string_view> read(std::uint64_t offset, std::size_t length) override;

private:
    std::string_view m_bytes;
};

/// An open file. The first block is read once and answers every read inside it,
/// so a small record costs one read call whatever the parsers ask.
class FileSource final : public RecordSource
{
public:
    /// `fd` stays owned by the caller; `size` is the size fstat gave. The first
    /// block is read into `firstStorage` when given (a buffer the caller reuses
    /// from file to file: it is only ever grown, so no file costs an allocation),
    /// else into storage of the source's own.
    FileSource(int fd, std::uint64_t size, std::size_t firstBlock = 128 * 1024,
               std::string* firstStorage = nullptr);
    std::uint64_t size() const override { return m_size; }
    std::optional<std::string_view> read(std::uint64_t offset, std::size_t length) override;

private:
    std::size_t readAt(std::uint64_t offset, std::size_t length, std::string& into);

    int m_fd;
    std::uint64_t m_size;
    std::size_t m_firstBlockSize;
    std::string m_ownFirst;
    std::string* m_first;
    std::size_t m_firstLength = 0; // bytes of the first block in *m_first
    bool m_firstRead = false;
    std::string m_other;
};

enum class RecordFormat
{
    Chromium,
    Firefox
};

/// Where a record keeps its body, and what the browser kept about it.
struct CacheRecord
{
    RecordFormat format = RecordFormat::Chromium;
    std::string url;
    ResponseHead head;
    std::uint64_t bodyOffset = 0;
    std::uint64_t bodySize = 0;
    /// Chromium's checksum of the whole body, when it wrote one.
    std::optional<std::uint32_t> bodyCrc;
};

/// Record parts beyond these sizes are not believed: they are far beyond anything a
/// browser writes, and reading them would let a hostile file claim memory.
inline constexpr std::size_t kMaxKeyBytes = 64 * 1024;
inline constexpr std::size_t kMaxHeadBytes = 1024 * 1024;

/// A Chromium (simple cache) entry file "<16 hex>_0": header with magic and key
/// length, the key, the body and its end record, then the response head, an
/// optional key digest and the final end record. Nullopt unless every magic
/// number, length and offset agrees with the file's size.
std::optional<CacheRecord> ReadChromiumRecord(RecordSource& source);

/// A Firefox (cache2) entry: the body, then the metadata (chunk hashes, a fixed
/// header, the key and the key/value elements holding "response-head"), then the
/// body's size, which is where the metadata starts. Nullopt unless it all agrees.
std::optional<CacheRecord> ReadFirefoxRecord(RecordSource& source);

/// Either format, recognised by its structure alone.
std::optional<CacheRecord> ReadCacheRecord(RecordSource& source);

} // namespace tessaloom::records
