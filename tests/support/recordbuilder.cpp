#include "support/recordbuilder.h"

#include <brotli/encode.h>
#include <zlib.h>
#include <zstd.h>

#include <cstdint>
#include <stdexcept>

namespace tessaloom::test {

namespace {

void PutLittle(std::string& out, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

void PutBig32(std::string& out, std::uint32_t v)
{
    for (int i = 3; i >= 0; --i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string Lines(std::string_view head, std::string_view separator)
{
    std::string out;
    std::size_t pos = 0;
    while (pos < head.size()) {
        std::size_t end = head.find('\n', pos);
        if (end == std::string_view::npos)
            end = head.size();
        out += head.substr(pos, end - pos);
        out += separator;
        pos = end + 1;
    }
    return out;
}

std::string ZlibStream(std::string_view data, int windowBits)
{
    z_stream zs{};
    if (deflateInit2(&zs, 9, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&zs, static_cast<uLong>(data.size())) + 32, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    if (rc != Z_STREAM_END)
        throw std::runtime_error("deflate");
    return out;
}

} // namespace

std::string ChromiumRecord(const RecordParts& parts, bool withChecksum, bool withKeyDigest)
{
    const std::string key = "1/0/_dk_http://site.test http://site.test " + parts.url;
    std::string out;
    PutLittle(out, 0xfcfb6d1ba7725c30ULL, 8);
    PutLittle(out, 5, 4);
    PutLittle(out, key.size(), 4);
    PutLittle(out, 0x12345678, 4); // key hash: not checked by readers
    PutLittle(out, 0, 4);
    out += key;
    out += parts.body;
    const auto crc = crc32(0, reinterpret_cast<const Bytef*>(parts.body.data()),
                           static_cast<uInt>(parts.body.size()));
    PutLittle(out, 0xf4fa6f45970d41d8ULL, 8);
    PutLittle(out, withChecksum ? 1 : 0, 4);
    PutLittle(out, withChecksum ? crc : 0, 4);
    PutLittle(out, 0, 4);
    PutLittle(out, 0, 4);

    // The response info as Chromium pickles it: payload size, flags, request and
    // response times, then the raw headers as a length-prefixed string.
    std::string headers = Lines(parts.head, std::string_view("\0", 1));
    headers += '\0';
    std::string payload;
    PutLittle(payload, 0x80040003u, 4);
    PutLittle(payload, 13'400'000'000'000'000ULL, 8);
    PutLittle(payload, 13'400'000'000'100'000ULL, 8);
    PutLittle(payload, headers.size(), 4);
    payload += headers;
    while (payload.size() % 4)
        payload += '\0';
    std::string stream0;
    PutLittle(stream0, payload.size(), 4);
    stream0 += payload;
    out += stream0;
    if (withKeyDigest)
        out += std::string(32, '\x5A');
    PutLittle(out, 0xf4fa6f45970d41d8ULL, 8);
    PutLittle(out, 1 | (withKeyDigest ? 2 : 0), 4);
    PutLittle(
        out,
        crc32(0, reinterpret_cast<const Bytef*>(stream0.data()), static_cast<uInt>(stream0.size())),
        4);
    PutLittle(out, stream0.size(), 4);
    PutLittle(out, 0, 4);
    return out;
}

std::string FirefoxRecord(const RecordParts& parts)
{
    const std::string key = "O^partitionKey=%28http%2Csite.test%29,:" + parts.url;
    std::string out = parts.body;
    const auto bodySize = static_cast<std::uint32_t>(parts.body.size());
    PutBig32(out, 0xDEADBEEF); // metadata hash: not checked by readers
    for (std::uint32_t chunk = 0; chunk < (bodySize + 262143) / 262144; ++chunk)
        out += "\x12\x34";
    for (std::uint32_t field : {4u, 1u, 1'765'000'000u, 1'765'000'000u, 12345u, 1'765'003'600u,
                                static_cast<std::uint32_t>(key.size()), 0u})
        PutBig32(out, field);
    out += key;
    out += '\0';
    auto element = [&out](std::string_view name, std::string_view value) {
        out += name;
        out += '\0';
        out += value;
        out += '\0';
    };
    element("strongly-framed", "1");
    element("request-method", "GET");
    element("response-head", Lines(parts.head, "\r\n"));
    element("net-response-time-onstart", "4");
    PutBig32(out, 4);
    PutBig32(out, bodySize);
    return out;
}

std::string OkHead(std::string_view contentType, std::string_view contentEncoding)
{
    std::string head = "HTTP/1.1 200 OK\nServer: test\nContent-Type: ";
    head += contentType;
    if (!contentEncoding.empty()) {
        head += "\nContent-Encoding: ";
        head += contentEncoding;
    }
    head += "\nCache-Control: public, max-age=3600";
    return head;
}

std::string Gzip(std::string_view data)
{
    return ZlibStream(data, MAX_WBITS + 16);
}

std::string ZlibDeflate(std::string_view data)
{
    return ZlibStream(data, MAX_WBITS);
}

std::string RawDeflate(std::string_view data)
{
    return ZlibStream(data, -MAX_WBITS);
}

std::string Brotli(std::string_view data)
{
    std::size_t size = BrotliEncoderMaxCompressedSize(data.size()) + 64;
    std::string out(size, '\0');
    if (!BrotliEncoderCompress(BROTLI_DEFAULT_QUALITY, BROTLI_DEFAULT_WINDOW, BROTLI_MODE_TEXT,
                               data.size(), reinterpret_cast<const std::uint8_t*>(data.data()),
                               &size, reinterpret_cast<std::uint8_t*>(out.data())))
        throw std::runtime_error("brotli");
    out.resize(size);
    return out;
}

std::string Zstd(std::string_view data)
{
    std::string out(ZSTD_compressBound(data.size()), '\0');
    const std::size_t size = ZSTD_compress(out.data(), out.size(), data.data(), data.size(), 3);
    if (ZSTD_isError(size))
        throw std::runtime_error("zstd");
    out.resize(size);
    return out;
}

} // namespace tessaloom::test
