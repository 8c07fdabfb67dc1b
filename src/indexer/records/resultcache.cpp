#include "indexer/records/resultcache.h"

#include <zlib.h>

#include <sys/stat.h>

#include <optional>

namespace tessaloom::records {

namespace {

constexpr std::string_view kMagic = "TSLEXAM\n";
// A name, label or address longer than this is left out: its file is examined again.
constexpr std::size_t kMaxText = 16 * 1024;

enum Flag : unsigned
{
    kBinaryMark = 1,
    kSkipped = 2,
    kIsRecord = 4,
    kSparseData = 8,
    kHasPicture = 16,
};

void Put(std::string& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i, value >>= 8)
        out += static_cast<char>(value & 0xFF);
}

void PutText(std::string& out, std::string_view text)
{
    Put(out, text.size(), 4);
    out += text;
}

std::uint32_t Checksum(std::string_view bytes)
{
    uLong crc = crc32(0, nullptr, 0);
    // The whole cache is within kMaxBytes, far below uInt's range.
    return static_cast<std::uint32_t>(
        crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// Reads the cache's fields in turn; the first one past the end fails the rest.
class Reader
{
public:
    explicit Reader(std::string_view bytes) : m_bytes(bytes) {}
    std::optional<std::uint64_t> number(int bytes)
    {
        if (m_bytes.size() < static_cast<std::size_t>(bytes))
            return std::nullopt;
        std::uint64_t value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(m_bytes[static_cast<std::size_t>(i)]);
        m_bytes.remove_prefix(static_cast<std::size_t>(bytes));
        return value;
    }
    std::optional<std::string> text()
    {
        const auto length = number(4);
        if (!length || *length > kMaxText || *length > m_bytes.size())
            return std::nullopt;
        std::string value(m_bytes.substr(0, static_cast<std::size_t>(*length)));
        m_bytes.remove_prefix(static_cast<std::size_t>(*length));
        return value;
    }
    bool atEnd() const { return m_bytes.empty(); }

private:
    std::string_view m_bytes;
};

} // namespace

FileIdentity IdentityOf(const struct stat& info)
{
    FileIdentity identity;
    identity.size = static_cast<std::uint64_t>(info.st_size < 0 ? 0 : info.st_size);
    identity.modifiedNs =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    identity.changedNs =
        static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1'000'000'000 + info.st_ctim.tv_nsec;
    identity.inode = static_cast<std::uint64_t>(info.st_ino);
    return identity;
}

const ExaminedFile* ResultCache::find(const std::string& name, const FileIdentity& identity) const
{
    const auto found = m_results.find(name);
    return found != m_results.end() && found->second.identity == identity ? &found->second
                                                                          : nullptr;
}

void FreshResults::put(std::string_view name, ExaminedFile result)
{
    if (name.size() > kMaxText || result.examination.label.size() > kMaxText ||
        result.url.size() > kMaxText)
        return;
    if (m_results.empty())
        m_results.reserve(m_expected);
    m_results.emplace_back(name, std::move(result));
}

std::string FreshResults::serialize() const
{
    std::string body;
    Put(body, ResultCache::kRulesVersion, 4);
    Put(body, m_results.size(), 4);
    for (const auto& [name, result] : m_results) {
        PutText(body, name);
        Put(body, result.identity.size, 8);
        Put(body, static_cast<std::uint64_t>(result.identity.modifiedNs), 8);
        Put(body, static_cast<std::uint64_t>(result.identity.changedNs), 8);
        Put(body, result.identity.inode, 8);
        const Examination& exam = result.examination;
        Put(body,
            (exam.binaryMark ? kBinaryMark : 0u) | (exam.skipped ? kSkipped : 0u) |
                (result.isRecord ? kIsRecord : 0u) |
                (result.chromiumSparseData ? kSparseData : 0u) |
                (result.hasPicture ? kHasPicture : 0u),
            1);
        Put(body, static_cast<std::uint64_t>(exam.kind), 1);
        PutText(body, exam.label);
        PutText(body, result.url);
    }
    std::string out(kMagic);
    Put(out, Checksum(body), 4);
    return out + body;
}

ResultCache ResultCache::Parse(std::string_view bytes)
{
    if (bytes.size() > kMaxBytes || !bytes.starts_with(kMagic))
        return {};
    Reader header(bytes.substr(kMagic.size()));
    const auto checksum = header.number(4);
    const std::string_view body = bytes.substr(std::min(bytes.size(), kMagic.size() + 4));
    if (!checksum || *checksum != Checksum(body))
        return {};
    Reader in(body);
    const auto version = in.number(4);
    const auto count = in.number(4);
    if (!version || *version != kRulesVersion || !count)
        return {};
    ResultCache cache;
    for (std::uint64_t i = 0; i < *count; ++i) {
        auto name = in.text();
        const auto size = in.number(8);
        const auto modified = in.number(8);
        const auto changed = in.number(8);
        const auto inode = in.number(8);
        const auto flags = in.number(1);
        const auto kind = in.number(1);
        auto label = in.text();
        auto url = in.text();
        if (!url || !label || !kind || !flags || !inode || !changed || !modified || !size ||
            !name || *kind > static_cast<std::uint64_t>(FileKind::Other))
            return {};
        ExaminedFile result;
        result.identity = {*size, static_cast<std::int64_t>(*modified),
                           static_cast<std::int64_t>(*changed), *inode};
        result.examination.label = std::move(*label);
        result.examination.kind = static_cast<FileKind>(*kind);
        result.examination.binaryMark = (*flags & kBinaryMark) != 0;
        result.examination.skipped = (*flags & kSkipped) != 0;
        result.isRecord = (*flags & kIsRecord) != 0;
        result.chromiumSparseData = (*flags & kSparseData) != 0;
        result.hasPicture = (*flags & kHasPicture) != 0;
        result.url = std::move(*url);
        cache.m_results.insert_or_assign(std::move(*name), std::move(result));
    }
    if (!in.atEnd())
        return {};
    return cache;
}

} // namespace tessaloom::records
