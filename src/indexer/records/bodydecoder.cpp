#include "indexer/records/bodydecoder.h"

#include <brotli/decode.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <memory>

namespace tessaloom::records {

namespace {

constexpr std::size_t kStep = 64 * 1024;

// Browsers refuse zstd frames that ask for more than an 8 MiB window; so do we,
// which also keeps a hostile frame header from reserving a large buffer.
constexpr int kZstdWindowLogMax = 23;

// Grows `out` by one step, never past `limit`; returns the room made.
std::size_t MakeRoom(std::string& out, std::size_t used, std::size_t limit)
{
    const std::size_t room = std::min(kStep, limit - used);
    out.resize(used + room);
    return room;
}

DecodedBody Inflate(std::string_view in, int windowBits, std::size_t limit)
{
    DecodedBody result;
    z_stream zs{};
    if (inflateInit2(&zs, windowBits) != Z_OK)
        return result;
    const auto cleanup = std::unique_ptr<z_stream, int (*)(z_stream*)>(&zs, inflateEnd);
    std::size_t used = 0;
    std::size_t consumed = 0;
    for (;;) {
        if (used == limit) {
            result.status = DecodeStatus::LimitReached;
            break;
        }
        const std::size_t room = MakeRoom(result.bytes, used, limit);
        // zlib counts in 32 bits: feed the input in pieces.
        const std::size_t feed = std::min<std::size_t>(in.size() - consumed, 1u << 30);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data() + consumed));
        zs.avail_in = static_cast<uInt>(feed);
        zs.next_out = reinterpret_cast<Bytef*>(result.bytes.data() + used);
        zs.avail_out = static_cast<uInt>(room);
        const int rc = inflate(&zs, Z_NO_FLUSH);
        consumed += feed - zs.avail_in;
        used += room - zs.avail_out;
        if (rc == Z_STREAM_END) {
            result.status = DecodeStatus::Complete;
            break;
        }
        if (rc == Z_BUF_ERROR && consumed == in.size() && zs.avail_out != 0) {
            result.status = DecodeStatus::InputEnded;
            break;
        }
        if (rc != Z_OK && rc != Z_BUF_ERROR) {
            result.status = DecodeStatus::Failed;
            break;
        }
        if (consumed == in.size() && zs.avail_out != 0) {
            result.status = DecodeStatus::InputEnded;
            break;
        }
    }
    result.bytes.resize(used);
    return result;
}

DecodedBody Deflate(std::string_view in, std::size_t limit)
{
    // "deflate" is meant to be a zlib stream, but servers have long sent raw
    // deflate data under that name; browsers accept both.
    DecodedBody wrapped = Inflate(in, MAX_WBITS, limit);
    if (wrapped.status != DecodeStatus::Failed || !wrapped.bytes.empty())
        return wrapped;
    return Inflate(in, -MAX_WBITS, limit);
}

DecodedBody Brotli(std::string_view in, std::size_t limit)
{
    DecodedBody result;
    const std::unique_ptr<BrotliDecoderState, void (*)(BrotliDecoderState*)> state(
        BrotliDecoderCreateInstance(nullptr, nullptr, nullptr), BrotliDecoderDestroyInstance);
    if (!state)
        return result;
    std::size_t used = 0;
    std::size_t availIn = in.size();
    auto nextIn = reinterpret_cast<const std::uint8_t*>(in.data());
    for (;;) {
        if (used == limit) {
            result.status = DecodeStatus::LimitReached;
            break;
        }
        std::size_t room = MakeRoom(result.bytes, used, limit);
        const std::size_t before = room;
        auto nextOut = reinterpret_cast<std::uint8_t*>(result.bytes.data() + used);
        const BrotliDecoderResult rc =
            BrotliDecoderDecompressStream(state.get(), &availIn, &nextIn, &room, &nextOut, nullptr);
        used += before - room;
        if (rc == BROTLI_DECODER_RESULT_SUCCESS) {
            result.status = DecodeStatus::Complete;
            break;
        }
        if (rc == BROTLI_DECODER_RESULT_NEEDS_MORE_INPUT) {
            result.status = DecodeStatus::InputEnded;
            break;
        }
        if (rc == BROTLI_DECODER_RESULT_ERROR) {
            result.status = DecodeStatus::Failed;
            break;
        }
        // NEEDS_MORE_OUTPUT: go round with more room.
    }
    result.bytes.resize(used);
    return result;
}

DecodedBody Zstd(std::string_view in, std::size_t limit)
{
    DecodedBody result;
    const std::unique_ptr<ZSTD_DCtx, std::size_t (*)(ZSTD_DCtx*)> ctx(ZSTD_createDCtx(),
                                                                      ZSTD_freeDCtx);
    if (!ctx ||
        ZSTD_isError(ZSTD_DCtx_setParameter(ctx.get(), ZSTD_d_windowLogMax, kZstdWindowLogMax)))
        return result;
    ZSTD_inBuffer input{in.data(), in.size(), 0};
    std::size_t used = 0;
    std::size_t lastRc = 1;
    for (;;) {
        if (used == limit) {
            result.status = DecodeStatus::LimitReached;
            break;
        }
        const std::size_t room = MakeRoom(result.bytes, used, limit);
        ZSTD_outBuffer output{result.bytes.data() + used, room, 0};
        const std::size_t inputBefore = input.pos;
        lastRc = ZSTD_decompressStream(ctx.get(), &output, &input);
        used += output.pos;
        if (ZSTD_isError(lastRc)) {
            result.status = DecodeStatus::Failed;
            break;
        }
        if (lastRc == 0 && input.pos == input.size) {
            result.status = DecodeStatus::Complete;
            break;
        }
        // More frames may follow one that ended; the stream is done only when the
        // input is used up at a frame's end.
        if (input.pos == input.size && output.pos < room) {
            result.status = DecodeStatus::InputEnded;
            break;
        }
        if (output.pos == 0 && input.pos == inputBefore) {
            result.status = DecodeStatus::Failed; // no progress: never spin
            break;
        }
    }
    result.bytes.resize(used);
    return result;
}

DecodedBody DecodeOne(std::string_view in, const std::string& coding, std::size_t limit)
{
    if (coding == "gzip" || coding == "x-gzip")
        return Inflate(in, MAX_WBITS + 16, limit);
    if (coding == "deflate")
        return Deflate(in, limit);
    if (coding == "br")
        return Brotli(in, limit);
    if (coding == "zstd")
        return Zstd(in, limit);
    return {};
}

} // namespace

DecodedBody DecodeBody(std::string_view encoded, const std::vector<std::string>& codings,
                       std::size_t outputLimit)
{
    if (codings.empty()) {
        DecodedBody plain;
        plain.bytes = std::string(encoded.substr(0, outputLimit));
        plain.status =
            encoded.size() > outputLimit ? DecodeStatus::LimitReached : DecodeStatus::Complete;
        return plain;
    }
    if (codings.size() > kMaxContentCodings)
        return {};
    // Undo the last coding first. An inner stage cut at the limit or cut short
    // leaves the outer stages with a prefix, which they report as InputEnded at
    // worst; the weakest status of all stages is the result's.
    DecodedBody current;
    current.status = DecodeStatus::Complete;
    std::string_view input = encoded;
    std::string holder;
    for (auto it = codings.rbegin(); it != codings.rend(); ++it) {
        DecodedBody stage = DecodeOne(input, *it, outputLimit);
        if (stage.status == DecodeStatus::Failed)
            return stage;
        // The whole of this stage's input came from a stream that ended properly:
        // stopping short is damage, and the stages after it could only repeat that.
        if (it != codings.rbegin() && current.status == DecodeStatus::Complete &&
            stage.status == DecodeStatus::InputEnded)
            return {};
        const DecodeStatus weakest = std::max(current.status, stage.status);
        holder = std::move(stage.bytes);
        input = holder;
        current.status = weakest;
    }
    current.bytes = std::move(holder);
    return current;
}

} // namespace tessaloom::records
