// tessaloom-gen-records: writes a folder of Chromium cache records for the records
// benchmark, as Chromium lays them out, with the same seed always giving the same
// folder. The mix: pages (most sent gzip-compressed, some brotli, some plain),
// pictures, scripts and style sheets (compressed), and opaque binary data.
//
//   tessaloom-gen-records FOLDER COUNT [SEED]

#include "support/recordbuilder.h"

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

void PutBig32(std::string& out, std::uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

void PngChunk(std::string& out, const char* kind, const std::string& body)
{
    PutBig32(out, static_cast<std::uint32_t>(body.size()));
    const std::string typed = std::string(kind, 4) + body;
    out += typed;
    PutBig32(out, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
                                                   static_cast<uInt>(typed.size()))));
}

class Random
{
public:
    explicit Random(std::uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ULL + 1) {}
    std::uint64_t next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 7;
        m_state ^= m_state << 17;
        return m_state;
    }
    std::uint64_t below(std::uint64_t n) { return next() % n; }

private:
    std::uint64_t m_state;
};

// An RGB PNG of 16-pixel blocks in random colours, as a photo-sized picture that
// compresses like a drawing.
std::string Png(Random& random, int width, int height)
{
    std::string colours;
    for (int i = 0; i < 64 * 3; ++i)
        colours += static_cast<char>(random.below(256));
    std::string raw;
    raw.reserve(static_cast<std::size_t>(height) * (static_cast<std::size_t>(width) * 3 + 1));
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        for (int x = 0; x < width; ++x)
            raw.append(colours, static_cast<std::size_t>(((x / 16) * 7 + (y / 16) * 3) % 64) * 3,
                       3);
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(packedSize, '\0');
    compress2(reinterpret_cast<Bytef*>(packed.data()), &packedSize,
              reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()), 6);
    packed.resize(packedSize);
    std::string header;
    PutBig32(header, static_cast<std::uint32_t>(width));
    PutBig32(header, static_cast<std::uint32_t>(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);
    std::string png = "\x89PNG\r\n\x1A\n";
    PngChunk(png, "IHDR", header);
    PngChunk(png, "IDAT", packed);
    PngChunk(png, "IEND", "");
    return png;
}

std::string Words(Random& random, std::size_t bytes)
{
    static const char* const kWords[] = {"cache",   "page",  "browser", "record", "title",
                                         "picture", "lorem", "ipsum",   "dolor",  "amet"};
    std::string text;
    while (text.size() < bytes) {
        text += kWords[random.below(10)];
        text += random.below(12) == 0 ? "\n" : " ";
    }
    return text;
}

std::string Page(Random& random, std::uint64_t n)
{
    const std::size_t size = 2'000 + random.below(random.below(8) == 0 ? 300'000 : 40'000);
    return "<!DOCTYPE html><html><head><title>Page " + std::to_string(n) + "</title></head><body>" +
           Words(random, size) + "</body></html>";
}

std::string Binary(Random& random, std::string_view start, std::size_t size)
{
    std::string data(start);
    while (data.size() < size)
        data += static_cast<char>(random.next() >> 56);
    return data;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fputs("Usage: tessaloom-gen-records FOLDER COUNT [SEED]\n", stderr);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const long count = std::atol(argv[2]);
    Random random(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1);
    std::filesystem::create_directories(folder);
    using tessaloom::test::OkHead;
    for (long i = 0; i < count; ++i) {
        tessaloom::test::RecordParts parts;
        parts.url = "https://site" + std::to_string(i % 97) + ".test/item/" + std::to_string(i);
        const std::uint64_t kind = random.below(100);
        if (kind < 35) {
            parts.head = OkHead("text/html; charset=utf-8", "gzip");
            parts.body = tessaloom::test::Gzip(Page(random, i));
        } else if (kind < 45) {
            parts.head = OkHead("text/html", "br");
            parts.body = tessaloom::test::Brotli(Page(random, i));
        } else if (kind < 55) {
            parts.head = OkHead("text/html");
            parts.body = Page(random, i);
        } else if (kind < 75) {
            // Half the pictures are real ones to make thumbnails of; the other half
            // no decoder reads, and are stored as they are.
            const bool png = random.below(2) == 0;
            parts.head = OkHead(png ? "image/png" : "image/jpeg");
            parts.body =
                png ? Png(random, 16 + static_cast<int>(random.below(1600)),
                          16 + static_cast<int>(random.below(1200)))
                    : Binary(random, std::string_view("\xFF\xD8\xFF\xE0\0\x10JFIF", 10),
                             1'000 + random.below(random.below(10) == 0 ? 400'000 : 30'000));
        } else if (kind < 90) {
            const bool script = random.below(2) == 0;
            parts.head = OkHead(script ? "application/javascript" : "text/css", "gzip");
            parts.body = tessaloom::test::Gzip(Words(random, 1'000 + random.below(60'000)));
        } else {
            parts.head = OkHead("application/octet-stream");
            parts.body = Binary(random, "", 500 + random.below(50'000));
        }
        char name[32];
        std::snprintf(name, sizeof name, "%016llx_0",
                      static_cast<unsigned long long>(random.next()));
        std::ofstream(folder / name, std::ios::binary) << tessaloom::test::ChromiumRecord(parts);
    }
    return 0;
}
