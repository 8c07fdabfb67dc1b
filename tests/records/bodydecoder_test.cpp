#include "indexer/records/bodydecoder.h"
#include "indexer/records/responsehead.h"

#include "support/recordbuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace tessaloom::records {
namespace {

std::string SamplePage()
{
    std::string page = "<html><head><title>Sample</title></head><body>";
    for (int i = 0; i < 3000; ++i)
        page += "line " + std::to_string(i) + " of a page that compresses well\n";
    return page + "</body></html>";
}

struct CodingCase
{
    const char* name;
    std::vector<std::string> codings;
    std::function<std::string(std::string_view)> encode;
};

TEST(DecodeBody, EveryCodingGivesTheBodyBack)
{
    const std::string page = SamplePage();
    const std::vector<CodingCase> cases = {
        {"none", {}, [](std::string_view s) { return std::string(s); }},
        {"gzip", {"gzip"}, test::Gzip},
        {"x-gzip", {"x-gzip"}, test::Gzip},
        {"deflate (zlib)", {"deflate"}, test::ZlibDeflate},
        {"deflate (raw)", {"deflate"}, test::RawDeflate},
        {"br", {"br"}, test::Brotli},
        {"zstd", {"zstd"}, test::Zstd},
        {"gzip then br",
         {"gzip", "br"},
         [](std::string_view s) { return test::Brotli(test::Gzip(s)); }},
    };
    for (const CodingCase& c : cases) {
        SCOPED_TRACE(c.name);
        const DecodedBody whole = DecodeBody(c.encode(page), c.codings, 1 << 20);
        EXPECT_EQ(whole.status, DecodeStatus::Complete);
        EXPECT_EQ(whole.bytes, page);
        // Cut at a limit: the prefix, exactly as long as the limit.
        const DecodedBody cut = DecodeBody(c.encode(page), c.codings, 1000);
        EXPECT_EQ(cut.status, DecodeStatus::LimitReached);
        EXPECT_EQ(cut.bytes, page.substr(0, 1000));
    }
}

TEST(DecodeBody, ABombStopsAtTheLimit)
{
    const std::string zeros(64 << 20, '\0'); // 64 MiB that pack into a few KiB
    const std::size_t limit = 2 << 20;
    for (const auto& [coding, encoded] :
         std::vector<std::pair<std::string, std::string>>{{"gzip", test::Gzip(zeros)},
                                                          {"br", test::Brotli(zeros)},
                                                          {"zstd", test::Zstd(zeros)}}) {
        SCOPED_TRACE(coding);
        ASSERT_LT(encoded.size(), 200'000u);
        const DecodedBody decoded = DecodeBody(encoded, {coding}, limit);
        EXPECT_EQ(decoded.status, DecodeStatus::LimitReached);
        EXPECT_EQ(decoded.bytes.size(), limit);
    }
    // A bomb inside a bomb is bounded at every stage.
    const DecodedBody twice = DecodeBody(test::Gzip(test::Gzip(zeros)), {"gzip", "gzip"}, limit);
    EXPECT_LE(twice.bytes.size(), limit);
}

TEST(DecodeBody, DamagedAndShortStreams)
{
    const std::string page = SamplePage();
    struct Case
    {
        const char* name;
        std::string coding;
        std::string encoded;
        DecodeStatus expected;
    };
    const std::string gz = test::Gzip(page);
    const std::string br = test::Brotli(page);
    const std::string zs = test::Zstd(page);
    std::string flipped = gz;
    flipped[gz.size() / 2] = static_cast<char>(flipped[gz.size() / 2] ^ 0x55);
    const std::vector<Case> cases = {
        {"gzip cut short", "gzip", gz.substr(0, gz.size() / 2), DecodeStatus::InputEnded},
        {"br cut short", "br", br.substr(0, br.size() / 2), DecodeStatus::InputEnded},
        {"zstd cut short", "zstd", zs.substr(0, zs.size() / 2), DecodeStatus::InputEnded},
        {"gzip of nothing", "gzip", "", DecodeStatus::InputEnded},
        {"not gzip", "gzip", "<html>plain text sent as gzip</html>", DecodeStatus::Failed},
        {"not brotli", "br", std::string(100, '\xFF'), DecodeStatus::Failed},
        {"not zstd", "zstd", "plain text", DecodeStatus::Failed},
        {"unknown coding", "compress", gz, DecodeStatus::Failed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeBody(c.encoded, {c.coding}, 1 << 20).status, c.expected);
    }
    // A flipped byte is caught by the decoder or by gzip's checksum, never passed.
    EXPECT_NE(DecodeBody(flipped, {"gzip"}, 1 << 20).status, DecodeStatus::Complete);
}

TEST(DecodeBody, ZstdFrameAskingForAHugeWindowIsRefused)
{
    // A frame header that declares a 2 GiB window and no content size.
    std::string frame("\x28\xB5\x2F\xFD", 4);
    frame += '\x00';                            // descriptor: no size, no checksum
    frame += static_cast<char>((31 - 10) << 3); // window log 31
    frame += std::string(16, '\0');
    EXPECT_EQ(DecodeBody(frame, {"zstd"}, 1 << 20).status, DecodeStatus::Failed);
}

TEST(DecodeBody, StackedCodings)
{
    const std::string page = SamplePage();
    const auto gzipped = [&page](std::size_t times) {
        std::string body = page;
        for (std::size_t i = 0; i < times; ++i)
            body = test::Gzip(body);
        return std::pair(body, std::vector<std::string>(times, "gzip"));
    };
    const std::string zsGz = test::Zstd(test::Gzip(page));
    struct Case
    {
        const char* name;
        std::pair<std::string, std::vector<std::string>> body;
        DecodeStatus expected;
    };
    const std::vector<Case> cases = {
        {"as many as allowed", gzipped(kMaxContentCodings), DecodeStatus::Complete},
        {"one too many", gzipped(kMaxContentCodings + 1), DecodeStatus::Failed},
        // The inner stage gets the empty output of a frame that ended properly.
        {"a coding named twice over one frame",
         {test::Zstd(""), {"zstd", "zstd"}},
         DecodeStatus::Failed},
        // A body read in part leaves every later stage with a prefix: still usable.
        {"outer stream cut short",
         {zsGz.substr(0, zsGz.size() / 2), {"gzip", "zstd"}},
         DecodeStatus::InputEnded},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(DecodeBody(c.body.first, c.body.second, 1 << 20).status, c.expected);
    }
}

TEST(DecodeBody, ACodingRepeatedWithoutEndCostsLittle)
{
    std::string field = "zstd";
    for (int i = 1; i < 150'000; ++i)
        field += ", zstd";
    const std::string emptyFrame = test::Zstd("");
    const auto start = std::chrono::steady_clock::now();
    const DecodedBody decoded = DecodeBody(emptyFrame, ContentCodings(field), 1 << 20);
    const auto spent = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(decoded.status, DecodeStatus::Failed);
    // Every stage run costs seconds; parsing the field alone takes milliseconds.
    EXPECT_LT(spent, std::chrono::seconds(1));
}

TEST(ResponseHead, ChromiumAndFirefoxForms)
{
    static constexpr char kRaw[] = "HTTP/1.1 200 OK\0Content-Type: text/html; charset=UTF-8\0"
                                   "content-encoding: GZIP\0X-Empty:\0\0";
    const std::string chromium(kRaw, sizeof kRaw - 1);
    const std::string firefox = "HTTP/1.1 200 OK\r\nContent-Type:text/html\r\n"
                                "Content-Encoding:  br , gzip\r\nno colon here\r\n";
    const ResponseHead c(chromium);
    EXPECT_EQ(c.statusLine(), "HTTP/1.1 200 OK");
    EXPECT_EQ(c.value("Content-Type"), "text/html; charset=UTF-8");
    EXPECT_EQ(c.value("CONTENT-ENCODING"), "GZIP");
    EXPECT_EQ(c.value("X-Empty"), "");
    EXPECT_EQ(c.value("Missing"), "");
    const ResponseHead f(firefox);
    EXPECT_EQ(f.value("content-type"), "text/html");
    EXPECT_EQ(ContentCodings(f.value("Content-Encoding")),
              (std::vector<std::string>{"br", "gzip"}));
    EXPECT_TRUE(ResponseHead(std::string("\0\0\r\n", 4)).empty());
}

TEST(ResponseHead, MediaTypesAndCodings)
{
    const std::vector<std::pair<std::string, std::string>> types = {
        {"Text/HTML; charset=utf-8", "text/html"},
        {"  image/png  ", "image/png"},
        {"", ""},
        {";", ""},
        {"application/octet-stream;x=1;y=2", "application/octet-stream"},
    };
    for (const auto& [value, expected] : types)
        EXPECT_EQ(MediaTypeOf(value), expected) << value;
    EXPECT_EQ(ContentCodings(""), std::vector<std::string>{});
    EXPECT_EQ(ContentCodings("identity"), std::vector<std::string>{});
    EXPECT_EQ(ContentCodings("gzip,,Identity, BR"), (std::vector<std::string>{"gzip", "br"}));
}

} // namespace
} // namespace tessaloom::records
