// Feeds arbitrary bytes to the readers of browser cache records and to the body
// decoders. The first byte chooses: an even byte sends the rest through the whole
// record examination as a cached file; an odd one decodes the rest with one of the
// content codings. Besides crashes and hangs it checks the bounds the index build
// relies on: a body lies inside its file, nothing decodes past its limit, a picture
// has an extension, and a title holds no line break and no comma.
#include "indexer/records/bodydecoder.h"
#include "indexer/records/cacherecord.h"
#include "indexer/records/recordexamination.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using namespace tessaloom::records;

constexpr std::size_t kLimit = 256 * 1024;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void ExamineAsRecord(std::string_view file)
{
    MemorySource source(file);
    if (const auto record = ReadCacheRecord(source)) {
        Check(record->bodyOffset <= file.size());
        Check(record->bodySize <= file.size() - record->bodyOffset);
    }
    RecordLimits limits;
    limits.pageBytes = 100'000;
    limits.pictureBytes = kLimit;
    limits.encodedReadBytes = kLimit;
    MemorySource again(file);
    const auto found = ExamineRecord(again, "0123456789abcdef_0", "!ndex.htm", {}, limits);
    if (!found)
        return;
    Check(found->picture.size() <= kLimit);
    // A picture's bytes always come with an extension to store them under; an empty
    // body (a 0-byte image/gif is ordinary) may have one too, but only a picture has.
    Check(found->picture.empty() || !found->pictureExtension.empty());
    Check(found->pictureExtension.empty() || found->examination.kind == tessaloom::FileKind::Image);
    const std::string& label = found->examination.label;
    Check(label.find_first_of(",\r\n") == std::string::npos);
    Check(!found->examination.skipped);
}

void Decode(std::uint8_t selector, std::string_view body)
{
    static const std::array<std::vector<std::string>, 6> kCodings = {{
        {"gzip"},
        {"deflate"},
        {"br"},
        {"zstd"},
        {"gzip", "br"},
        {"zstd", "deflate"},
    }};
    const auto& codings = kCodings[(selector / 2) % kCodings.size()];
    const DecodedBody decoded = DecodeBody(body, codings, kLimit);
    Check(decoded.bytes.size() <= kLimit);
    if (decoded.status == DecodeStatus::Failed)
        return;
    // A shorter limit gives a prefix of the same bytes.
    const DecodedBody shorter = DecodeBody(body, codings, 1000);
    Check(shorter.bytes.size() <= 1000);
    Check(decoded.bytes.compare(0, shorter.bytes.size(), shorter.bytes) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    if (data[0] % 2 == 0)
        ExamineAsRecord(rest);
    else
        Decode(data[0], rest);
    return 0;
}
