#include "indexer/records/cacherecord.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace tessaloom::records {

namespace {

std::uint32_t LittleEndian32(std::string_view b, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<unsigned char>(b[at + i])) << (8 * i);
    return v;
}

std::uint64_t LittleEndian64(std::string_view b, std::size_t at)
{
    return LittleEndian32(b, at) | (static_cast<std::uint64_t>(LittleEndian32(b, at + 4)) << 32);
}

std::uint32_t BigEndian32(std::string_view b, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<unsigned char>(b[at + i]);
    return v;
}

// Chromium's simple cache.
constexpr std::uint64_t kChromiumInitialMagic = 0xfcfb6d1ba7725c30ULL;
constexpr std::uint64_t kChromiumFinalMagic = 0xf4fa6f45970d41d8ULL;
constexpr std::uint32_t kChromiumVersion = 5;
constexpr std::size_t kChromiumHeaderBytes = 24; // magic, version, key length, key hash, pad
constexpr std::size_t kChromiumEofBytes = 24;    // magic, flags, crc, stream size, pad
constexpr std::uint32_t kChromiumHasCrc = 1;
constexpr std::uint32_t kChromiumHasKeyDigest = 2;
constexpr std::size_t kChromiumKeyDigestBytes = 32;

// Firefox's cache2.
constexpr std::uint64_t kFirefoxChunkBytes = 256 * 1024;
constexpr std::size_t kFirefoxHeaderBytes = 32; // eight big-endian 32-bit fields
constexpr std::uint32_t kFirefoxOldestVersion = 2;
constexpr std::uint32_t kFirefoxNewestVersion = 4;

// The URL in a Chromium key: keys are the URL alone, or prefixes and the
// partition's sites, separated by blanks, with the URL last.
std::string ChromiumUrl(std::string_view key)
{
    const std::size_t blank = key.rfind(' ');
    return std::string(blank == std::string_view::npos ? key : key.substr(blank + 1));
}

// Keys hold canonical URLs, which are plain ASCII: a key length that reaches into
// the body shows up as bytes no key holds.
bool IsPlausibleKey(std::string_view key)
{
    return std::all_of(key.begin(), key.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
}

// The raw headers in the pickled response info: a 32-bit length right before
// "HTTP/", and the headers within the stream.
std::optional<std::string_view> ChromiumHeaders(std::string_view stream)
{
    for (std::size_t at = stream.find("HTTP/", 4); at != std::string_view::npos;
         at = stream.find("HTTP/", at + 1)) {
        const std::uint32_t length = LittleEndian32(stream, at - 4);
        if (length <= stream.size() - at)
            return stream.substr(at, length);
    }
    return std::nullopt;
}

// The URL in a Firefox key: tags, each closed by ",", then ":" and the URL.
std::optional<std::string> FirefoxUrl(std::string_view key)
{
    if (key.starts_with(':'))
        return std::string(key.substr(1));
    const std::size_t at = key.find(",:");
    if (at == std::string_view::npos)
        return std::nullopt;
    return std::string(key.substr(at + 2));
}

// The body's size by an "alt-data" element, "1;<offset>,<type>": the browser's own
// data (compiled scripts) sits behind the body from that offset on, which lies
// within the `metaAt` bytes before the metadata. `bodySize` as it was when the value
// holds no offset; nullopt when the offset is damaged.
std::optional<std::uint64_t> AltDataBodySize(std::string_view value, std::uint64_t metaAt,
                                             std::uint64_t bodySize)
{
    const std::size_t semicolon = value.find(';');
    if (semicolon == std::string_view::npos)
        return bodySize;
    std::uint64_t altAt = 0;
    std::size_t i = semicolon + 1;
    bool digits = false;
    for (; i < value.size() && value[i] >= '0' && value[i] <= '9' && altAt < (1ULL << 40);
         ++i, digits = true)
        altAt = altAt * 10 + static_cast<std::uint64_t>(value[i] - '0');
    if (!digits || altAt > metaAt)
        return std::nullopt;
    return altAt;
}

// Elements: NUL-terminated name and value, pair after pair, until an empty name or
// the end. False when the record holds no response head or a damaged element.
bool ReadFirefoxElements(std::string_view elements, std::uint64_t metaAt, CacheRecord& record)
{
    bool haveHead = false;
    while (!elements.empty()) {
        const std::size_t nameEnd = elements.find('\0');
        if (nameEnd == 0 || nameEnd == std::string_view::npos)
            break;
        const std::size_t valueEnd = elements.find('\0', nameEnd + 1);
        if (valueEnd == std::string_view::npos)
            break;
        const std::string_view name = elements.substr(0, nameEnd);
        const std::string_view value = elements.substr(nameEnd + 1, valueEnd - nameEnd - 1);
        if (name == "response-head" && !haveHead) {
            record.head = ResponseHead(value);
            haveHead = true;
        } else if (name == "alt-data") {
            const auto bodySize = AltDataBodySize(value, metaAt, record.bodySize);
            if (!bodySize)
                return false;
            record.bodySize = *bodySize;
        }
        elements.remove_prefix(valueEnd + 1);
    }
    return haveHead && !record.head.empty();
}

} // namespace

std::optional<std::string_view> MemorySource::read(std::uint64_t offset, std::size_t length)
{
    if (offset > m_bytes.size() || length > m_bytes.size() - offset)
        return std::nullopt;
    return m_bytes.substr(static_cast<std::size_t>(offset), length);
}

FileSource::FileSource(int fd, std::uint64_t size, std::size_t firstBlock,
                       std::string* firstStorage)
    : m_fd(fd), m_size(size), m_firstBlockSize(firstBlock),
      m_first(firstStorage ? firstStorage : &m_ownFirst)
{}

std::size_t FileSource::readAt(std::uint64_t offset, std::size_t length, std::string& into)
{
    // Grown, never shrunk: a resize that grows writes zeros over every new byte.
    if (into.size() < length)
        into.resize(length);
    std::size_t got = 0;
    while (got < length) {
        const ssize_t n =
            ::pread(m_fd, into.data() + got, length - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    return got;
}

std::optional<std::string_view> FileSource::read(std::uint64_t offset, std::size_t length)
{
    if (offset > m_size || length > m_size - offset)
        return std::nullopt;
    if (!m_firstRead) {
        m_firstRead = true;
        // A file that shrank since fstat keeps what could be read; reads past it fail.
        m_firstLength =
            readAt(0, static_cast<std::size_t>(std::min<std::uint64_t>(m_size, m_firstBlockSize)),
                   *m_first);
    }
    if (offset + length <= m_firstLength)
        return std::string_view(m_first->data(), m_firstLength)
            .substr(static_cast<std::size_t>(offset), length);
    if (readAt(offset, length, m_other) != length)
        return std::nullopt;
    return std::string_view(m_other.data(), length);
}

std::optional<CacheRecord> ReadChromiumRecord(RecordSource& source)
{
    const std::uint64_t size = source.size();
    if (size < kChromiumHeaderBytes + 2 * kChromiumEofBytes)
        return std::nullopt;
    const auto header = source.read(0, kChromiumHeaderBytes);
    if (!header || LittleEndian64(*header, 0) != kChromiumInitialMagic ||
        LittleEndian32(*header, 8) != kChromiumVersion)
        return std::nullopt;
    const std::uint32_t keyLength = LittleEndian32(*header, 12);
    if (keyLength == 0 || keyLength > kMaxKeyBytes)
        return std::nullopt;

    const auto finalEof = source.read(size - kChromiumEofBytes, kChromiumEofBytes);
    if (!finalEof || LittleEndian64(*finalEof, 0) != kChromiumFinalMagic)
        return std::nullopt;
    const std::uint32_t finalFlags = LittleEndian32(*finalEof, 8);
    const std::uint64_t headLength = LittleEndian32(*finalEof, 16);
    const std::uint64_t digest = (finalFlags & kChromiumHasKeyDigest) ? kChromiumKeyDigestBytes : 0;
    // Everything before the response head: header, key, body, the body's end record.
    const std::uint64_t fixed = kChromiumHeaderBytes + keyLength + 2 * kChromiumEofBytes + digest;
    if (headLength > kMaxHeadBytes || fixed + headLength > size)
        return std::nullopt;
    const std::uint64_t headAt = size - kChromiumEofBytes - digest - headLength;
    const std::uint64_t bodyAt = kChromiumHeaderBytes + keyLength;
    const std::uint64_t bodyEofAt = headAt - kChromiumEofBytes;

    const auto bodyEof = source.read(bodyEofAt, kChromiumEofBytes);
    if (!bodyEof || LittleEndian64(*bodyEof, 0) != kChromiumFinalMagic)
        return std::nullopt;
    CacheRecord record;
    record.format = RecordFormat::Chromium;
    record.bodyOffset = bodyAt;
    record.bodySize = bodyEofAt - bodyAt;
    if (LittleEndian32(*bodyEof, 8) & kChromiumHasCrc)
        record.bodyCrc = LittleEndian32(*bodyEof, 12);

    const auto head = source.read(headAt, static_cast<std::size_t>(headLength));
    if (!head)
        return std::nullopt;
    const auto headers = ChromiumHeaders(*head);
    if (!headers)
        return std::nullopt;
    record.head = ResponseHead(*headers);

    const auto key = source.read(kChromiumHeaderBytes, keyLength);
    if (!key || !IsPlausibleKey(*key))
        return std::nullopt;
    record.url = ChromiumUrl(*key);
    return record;
}

std::optional<CacheRecord> ReadFirefoxRecord(RecordSource& source)
{
    const std::uint64_t size = source.size();
    if (size < 4 + kFirefoxHeaderBytes + 2 + 4)
        return std::nullopt;
    const auto tail = source.read(size - 4, 4);
    if (!tail)
        return std::nullopt;
    const std::uint64_t metaAt = BigEndian32(*tail, 0);
    const std::uint64_t chunks = (metaAt + kFirefoxChunkBytes - 1) / kFirefoxChunkBytes;
    // Metadata: its own hash, one 16-bit hash per body chunk, the header, the key
    // and its NUL, the elements; then the body size that brought us here.
    const std::uint64_t headerAt = metaAt + 4 + 2 * chunks;
    if (metaAt >= size || headerAt + kFirefoxHeaderBytes + 2 > size - 4)
        return std::nullopt;
    const std::uint64_t metaLength = size - 4 - headerAt;
    if (metaLength > kMaxHeadBytes + kMaxKeyBytes + kFirefoxHeaderBytes)
        return std::nullopt;
    const auto meta = source.read(headerAt, static_cast<std::size_t>(metaLength));
    if (!meta)
        return std::nullopt;
    const std::uint32_t version = BigEndian32(*meta, 0);
    if (version < kFirefoxOldestVersion || version > kFirefoxNewestVersion)
        return std::nullopt;
    const std::uint64_t keyLength = BigEndian32(*meta, 24);
    if (keyLength == 0 || keyLength > kMaxKeyBytes ||
        kFirefoxHeaderBytes + keyLength + 1 > meta->size() ||
        (*meta)[kFirefoxHeaderBytes + keyLength] != '\0')
        return std::nullopt;
    const std::string_view key = meta->substr(kFirefoxHeaderBytes, keyLength);
    if (!IsPlausibleKey(key))
        return std::nullopt;
    auto url = FirefoxUrl(key);
    if (!url)
        return std::nullopt;

    CacheRecord record;
    record.format = RecordFormat::Firefox;
    record.url = std::move(*url);
    record.bodyOffset = 0;
    record.bodySize = metaAt;
    if (!ReadFirefoxElements(meta->substr(kFirefoxHeaderBytes + keyLength + 1), metaAt, record))
        return std::nullopt;
    return record;
}

std::optional<CacheRecord> ReadCacheRecord(RecordSource& source)
{
    if (auto record = ReadChromiumRecord(source))
        return record;
    return ReadFirefoxRecord(source);
}

} // namespace tessaloom::records
