#include "indexer/records/recordexamination.h"

#include "support/recordbuilder.h"

#include <gtest/gtest.h>

#include <functional>

namespace tessaloom::records {
namespace {

using test::OkHead;
using test::RecordParts;

std::string Png()
{
    return std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) + std::string(200, '\x07');
}

std::string Jpeg()
{
    return std::string("\xFF\xD8\xFF\xE1\0\x10"
                       "Exif",
                       10) +
           std::string(300, '\x81');
}

using Builder = std::function<std::string(const RecordParts&)>;

const std::vector<std::pair<const char*, Builder>> kFormats = {
    {"chromium", [](const RecordParts& s) { return test::ChromiumRecord(s); }},
    {"firefox", test::FirefoxRecord},
};

std::optional<RecordExamination> Examine(const std::string& file,
                                         std::string_view name = "0123456789abcdef_0",
                                         const RecordLimits& limits = {})
{
    MemorySource source(file);
    return ExamineRecord(source, name, "!ndex.htm", {}, limits);
}

struct KindCase
{
    const char* name;
    RecordParts parts;
    std::string label;
    FileKind kind;
    std::string pictureExtension; // empty: no picture kept
};

TEST(ExamineRecord, LabelAndKindByMediaTypeThroughTheDecodedBody)
{
    const std::string page = "<html><head><TITLE>  Gone, Zipped  </TITLE></head></html>";
    const std::vector<KindCase> cases = {
        {"plain page",
         {"http://s.test/p", OkHead("text/html"), page},
         "Gone  Zipped",
         FileKind::Other,
         ""},
        {"gzip page",
         {"http://s.test/p", OkHead("text/html; charset=utf-8", "gzip"), test::Gzip(page)},
         "Gone  Zipped",
         FileKind::Other,
         ""},
        {"deflate page",
         {"http://s.test/p", OkHead("text/html", "deflate"), test::ZlibDeflate(page)},
         "Gone  Zipped",
         FileKind::Other,
         ""},
        {"brotli page",
         {"http://s.test/p", OkHead("text/html", "br"), test::Brotli(page)},
         "Gone  Zipped",
         FileKind::Other,
         ""},
        {"zstd page",
         {"http://s.test/p", OkHead("application/xhtml+xml", "zstd"), test::Zstd(page)},
         "Gone  Zipped",
         FileKind::Other,
         ""},
        {"untitled page",
         {"http://s.test/p", OkHead("text/html", "gzip"), test::Gzip("<p>no title</p>")},
         std::string(kUntitledLabel),
         FileKind::Other,
         ""},
        {"png",
         {"http://s.test/i.png", OkHead("image/png"), Png()},
         std::string(kImageLabel),
         FileKind::Image,
         "png"},
        {"gzipped svg",
         {"http://s.test/i.svg", OkHead("image/svg+xml", "gzip"),
          test::Gzip("<svg xmlns='http://www.w3.org/2000/svg'/>")},
         std::string(kImageLabel),
         FileKind::Image,
         "svg"},
        {"webp",
         {"http://s.test/i", OkHead("image/webp"), std::string("RIFF\x10\0\0\0WEBPVP8 ", 16)},
         std::string(kImageLabel),
         FileKind::Image,
         "webp"},
        {"jpeg sent as octet-stream",
         {"http://s.test/photo", OkHead("application/octet-stream"), Jpeg()},
         std::string(kImageLabel),
         FileKind::Image,
         "jpg"},
        {"jpeg without a type",
         {"http://s.test/photo", "HTTP/1.1 200 OK", Jpeg()},
         std::string(kImageLabel),
         FileKind::Image,
         "jpg"},
        {"script",
         {"http://s.test/a.js", OkHead("text/javascript", "gzip"),
          test::Gzip("let x = '<title>not this</title>';")},
         std::string(kJavaScriptLabel),
         FileKind::Other,
         ""},
        {"style sheet",
         {"http://s.test/a.css", OkHead("text/css"), "body{}"},
         std::string(kStyleSheetLabel),
         FileKind::Other,
         ""},
        {"font",
         {"http://s.test/f.woff2", OkHead("font/woff2"), "wOF2\x80\x81"},
         std::string(kFontLabel),
         FileKind::Other,
         ""},
        {"sound",
         {"http://s.test/s.ogg", OkHead("audio/ogg"), "OggS\x80"},
         std::string(kSoundLabel),
         FileKind::Sound,
         ""},
        {"video",
         {"http://s.test/v", OkHead("video/mp4"),
          std::string("\0\0\0\x18"
                      "ftypmp42\x90",
                      13)},
         std::string(kVideoLabel),
         FileKind::Other,
         ""},
        {"binary",
         {"http://s.test/v", OkHead("application/octet-stream"),
          std::string("\0\0\0\x18"
                      "ftypmp42\x90",
                      13)},
         std::string(kUntitledBinaryLabel),
         FileKind::Other,
         ""},
        {"json",
         {"http://s.test/d", OkHead("application/json", "br"),
          test::Brotli("{\"t\":\"<title>no\u00e9</title>\"}")},
         std::string(kDataLabel),
         FileKind::Other,
         ""},
        {"page whose bytes are not ASCII",
         {"http://s.test/p", OkHead("text/html"), "<p>\xC3\xA9t\xC3\xA9</p>"},
         std::string(kUntitledLabel),
         FileKind::Other,
         ""},
        {"plain text",
         {"http://s.test/t", OkHead("text/plain"), "just words"},
         std::string(kUntitledLabel),
         FileKind::Other,
         ""},
    };
    for (const auto& [formatName, build] : kFormats) {
        for (const KindCase& c : cases) {
            SCOPED_TRACE(std::string(formatName) + ": " + c.name);
            const auto found = Examine(build(c.parts));
            ASSERT_TRUE(found);
            EXPECT_EQ(found->examination.label, c.label);
            EXPECT_EQ(found->examination.kind, c.kind);
            EXPECT_FALSE(found->examination.skipped);
            EXPECT_EQ(found->url, c.parts.url);
            EXPECT_EQ(found->pictureExtension, c.pictureExtension);
            EXPECT_EQ(found->picture.empty(), c.pictureExtension.empty());
        }
    }
}

TEST(ExamineRecord, TitlesFarIntoAPageAreFound)
{
    // The decoder stops early only once the title cannot change: these titles are
    // decided by tags beyond the first kilobytes, or by a later heading; today's
    // pages put a few hundred kilobytes of script before their title.
    const std::string filler(40'000, ' ');
    const std::string script =
        "<script>" + std::string(300'000, 'x') + "'<title>no</title>'</script>";
    const std::vector<std::pair<std::string, std::string>> pages = {
        {filler + "<title>Far</title>", "Far"},
        {"<title>" + filler + "Wide</title>", "Wide"},
        {"<title></title>" + filler + "<h1>Heading</h1>", "Heading"},
        {"<h2>Second</h2>" + filler + "<title>First</title>", "First"},
        {std::string(99'990, 'x') + "<title>Cut</title>", "Cut"},
        {"<title>Near</title>" + filler + "<h1>x</h1>", "Near"},
        {"<head>" + script + "<title data-rh=\"true\">After the script</title>",
         "After the script"},
        {std::string(5 << 20, ' ') + "<title>Too far</title>", std::string(kUntitledLabel)},
    };
    for (const auto& [page, expected] : pages) {
        for (const auto& [formatName, build] : kFormats) {
            for (const char* coding : {"gzip", ""}) {
                SCOPED_TRACE(std::string(formatName) + ": " + expected + " " + coding);
                const auto found = Examine(build({"http://s.test/", OkHead("text/html", coding),
                                                  *coding ? test::Gzip(page) : page}));
                ASSERT_TRUE(found);
                EXPECT_EQ(found->examination.label, expected);
            }
        }
    }
}

TEST(ExamineRecord, PictureIsStoredDecoded)
{
    const std::string svg = "<svg xmlns='http://www.w3.org/2000/svg'><rect/></svg>";
    for (const auto& [formatName, build] : kFormats) {
        SCOPED_TRACE(formatName);
        const auto found = Examine(
            build({"http://s.test/i.svg", OkHead("image/svg+xml", "br"), test::Brotli(svg)}));
        ASSERT_TRUE(found);
        EXPECT_EQ(found->picture, svg);
    }
}

TEST(ExamineRecord, PlainPictureUpToTheLimitIsKept)
{
    RecordLimits limits;
    limits.pictureBytes = 4096;
    for (const std::size_t size : {limits.pictureBytes, limits.pictureBytes + 1}) {
        std::string png = Png();
        png.resize(size, '\x07');
        const auto found =
            Examine(test::ChromiumRecord({"http://s.test/p.png", OkHead("image/png"), png}),
                    "0123456789abcdef_0", limits);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->examination.kind, FileKind::Image);
        EXPECT_EQ(found->picture.size(), size == limits.pictureBytes ? size : 0u) << size;
    }
}

TEST(ExamineRecord, DamagedRecordsAreLeftToThePlainExamination)
{
    const std::string page = "<title>Page</title>";
    std::string corrupt = test::Gzip(page);
    corrupt[corrupt.size() / 2] = static_cast<char>(corrupt[corrupt.size() / 2] ^ 0x40);
    const std::vector<std::pair<const char*, RecordParts>> cases = {
        {"gzip that is not", {"http://s.test/", OkHead("text/html", "gzip"), page}},
        {"gzip cut short",
         {"http://s.test/", OkHead("text/html", "gzip"), test::Gzip(page).substr(0, 12)}},
        {"flipped gzip byte", {"http://s.test/", OkHead("text/html", "gzip"), corrupt}},
        {"unknown coding", {"http://s.test/", OkHead("text/html", "compress"), page}},
        {"broken brotli picture", {"http://s.test/i", OkHead("image/png", "br"), Png()}},
    };
    for (const auto& [formatName, build] : kFormats) {
        for (const auto& [name, parts] : cases) {
            SCOPED_TRACE(std::string(formatName) + ": " + name);
            EXPECT_FALSE(Examine(build(parts)));
        }
    }
    // Chromium's body checksum catches a changed byte that no decoder would.
    std::string file = test::ChromiumRecord({"http://s.test/", OkHead("text/html"), page});
    const std::size_t at = file.find("Page");
    file[at] = 'R';
    EXPECT_FALSE(Examine(file));
}

TEST(ExamineRecord, AKeptPictureIsNotRead)
{
    // A body that would not decode: were it read, the record would count as damaged.
    const RecordParts picture{"http://s.test/i", OkHead("image/png", "br"), Png()};
    const RecordParts page{"http://s.test/", OkHead("text/html"), "<title>Page</title>"};
    for (const auto& [formatName, build] : kFormats) {
        for (const bool kept : {true, false}) {
            SCOPED_TRACE(std::string(formatName) + (kept ? ": kept" : ": not kept"));
            int asked = 0;
            const auto pictureKept = [&] { return ++asked, kept; };
            const std::string pictureFile = build(picture);
            MemorySource source(pictureFile);
            const auto found = ExamineRecord(source, "f_0", "!ndex.htm", {}, {}, pictureKept);
            EXPECT_EQ(asked, 1);
            ASSERT_EQ(found.has_value(), kept);
            if (kept) {
                EXPECT_EQ(found->examination.kind, FileKind::Image);
                EXPECT_TRUE(found->pictureKept);
                EXPECT_TRUE(found->picture.empty());
            }
            // Only a picture is asked after.
            const std::string pageFile = build(page);
            MemorySource pageSource(pageFile);
            ASSERT_TRUE(ExamineRecord(pageSource, "f_0", "!ndex.htm", {}, {}, pictureKept));
            EXPECT_EQ(asked, 1);
        }
    }
}

TEST(ExamineRecord, BombsAreCutNotFollowed)
{
    const std::string bomb = test::Gzip("<title>Bomb</title>" + std::string(32 << 20, ' '));
    RecordLimits limits;
    limits.pictureBytes = 1 << 20;
    for (const auto& [formatName, build] : kFormats) {
        SCOPED_TRACE(formatName);
        // A page: the title is in the first bytes, the rest is never made.
        const auto page =
            Examine(build({"http://s.test/", OkHead("text/html", "gzip"), bomb}), "f_0", limits);
        ASSERT_TRUE(page);
        EXPECT_EQ(page->examination.label, "Bomb");
        // A picture too big once decoded is still a picture, without one to show.
        const auto picture =
            Examine(build({"http://s.test/i", OkHead("image/png", "gzip"), bomb}), "f_0", limits);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->examination.kind, FileKind::Image);
        EXPECT_TRUE(picture->picture.empty());
    }
}

TEST(ExamineRecord, SkippedNamesAndPlainFilesAreNotRecords)
{
    const std::string record =
        test::ChromiumRecord({"http://s.test/", OkHead("text/html"), "<title>x</title>"});
    for (const char* name : {"!NDEX.HTM", "fat.db", "_CACHE_001_"})
        EXPECT_FALSE(Examine(record, name)) << name;
    EXPECT_FALSE(Examine("<title>plain page</title>"));
}

TEST(ClassifyMediaType, Table)
{
    const std::vector<std::pair<std::string, MediaClass>> table = {
        {"text/html", MediaClass::Page},
        {"application/xhtml+xml", MediaClass::Page},
        {"image/avif", MediaClass::Picture},
        {"image/x-icon", MediaClass::Picture},
        {"application/javascript", MediaClass::Script},
        {"text/css", MediaClass::StyleSheet},
        {"font/woff", MediaClass::Font},
        {"application/vnd.ms-fontobject", MediaClass::Font},
        {"audio/mpeg", MediaClass::Sound},
        {"video/webm", MediaClass::Video},
        {"application/json", MediaClass::Data},
        {"application/manifest+json", MediaClass::Data},
        {"application/octet-stream", MediaClass::Other},
        {"", MediaClass::Other},
    };
    for (const auto& [type, expected] : table)
        EXPECT_EQ(ClassifyMediaType(type), expected) << type;
}

TEST(PictureExtension, ByTypeThenByContent)
{
    EXPECT_EQ(PictureExtension("image/gif", ""), "gif");
    EXPECT_EQ(PictureExtension("image/vnd.microsoft.icon", ""), "ico");
    EXPECT_EQ(PictureExtension("application/octet-stream", "GIF89a...."), "gif");
    EXPECT_EQ(PictureExtension("", std::string("\0\0\0\x1C"
                                               "ftypavif",
                                               12)),
              "avif");
    EXPECT_EQ(PictureExtension("image/tiff", "II*\0"), "img");
    // A bitmap is told by its first bytes only when its 26-byte header is all there.
    EXPECT_EQ(PictureExtension("image/x-other", "BM" + std::string(24, '\0')), "bmp");
    EXPECT_EQ(PictureExtension("image/x-other", "BM" + std::string(23, '\0')), "img");
    EXPECT_EQ(PictureExtension("text/html", "<html>"), "");
}

} // namespace
} // namespace tessaloom::records
