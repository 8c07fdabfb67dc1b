#include "indexer/records/cacherecord.h"

#include "support/recordbuilder.h"
#include "support/testdir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace tessaloom::records {
namespace {

const test::RecordParts kPage{"http://site.test/a/page.html?q=1", test::OkHead("text/html", "gzip"),
                              test::Gzip("<title>Zipped</title>")};

std::optional<CacheRecord> Read(const std::string& file)
{
    MemorySource source(file);
    return ReadCacheRecord(source);
}

std::string BodyOf(const std::string& file, const CacheRecord& record)
{
    return file.substr(record.bodyOffset, record.bodySize);
}

TEST(CacheRecord, BothFormatsGiveUrlHeadAndBody)
{
    struct Case
    {
        const char* name;
        std::string file;
        RecordFormat format;
    };
    const std::vector<Case> cases = {
        {"chromium", test::ChromiumRecord(kPage), RecordFormat::Chromium},
        {"chromium without digest or checksum", test::ChromiumRecord(kPage, false, false),
         RecordFormat::Chromium},
        {"firefox", test::FirefoxRecord(kPage), RecordFormat::Firefox},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto record = Read(c.file);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->format, c.format);
        EXPECT_EQ(record->url, kPage.url);
        EXPECT_EQ(record->head.statusLine(), "HTTP/1.1 200 OK");
        EXPECT_EQ(record->head.value("Content-Encoding"), "gzip");
        EXPECT_EQ(BodyOf(c.file, *record), kPage.body);
    }
}

TEST(CacheRecord, EmptyAndLargeBodies)
{
    // Firefox keeps one chunk hash per 256 KiB of body: 0, 1 and 2 of them.
    for (std::size_t size :
         {std::size_t{0}, std::size_t{1}, std::size_t{262144}, std::size_t{262145}}) {
        const test::RecordParts parts{"http://x.test/", test::OkHead("application/octet-stream"),
                                      std::string(size, 'b')};
        for (const std::string& file : {test::ChromiumRecord(parts), test::FirefoxRecord(parts)}) {
            const auto record = Read(file);
            ASSERT_TRUE(record) << size;
            EXPECT_EQ(record->bodySize, size);
            EXPECT_EQ(BodyOf(file, *record), parts.body);
        }
    }
}

TEST(CacheRecord, EveryTruncationIsRefused)
{
    for (const std::string& file : {test::ChromiumRecord(kPage), test::FirefoxRecord(kPage)}) {
        for (std::size_t cut = 0; cut < file.size(); ++cut)
            EXPECT_FALSE(Read(file.substr(0, cut))) << "cut at " << cut;
    }
}

// Writes a 32-bit little-endian value into a copy of `file` at `at` (from the end
// when negative).
std::string Patched(std::string file, long at, std::uint32_t value, bool bigEndian = false)
{
    const std::size_t pos =
        at < 0 ? file.size() - static_cast<std::size_t>(-at) : static_cast<std::size_t>(at);
    for (int i = 0; i < 4; ++i)
        file[pos + static_cast<std::size_t>(i)] =
            static_cast<char>(value >> (8 * (bigEndian ? 3 - i : i)));
    return file;
}

TEST(CacheRecord, ChromiumLengthsThatLie)
{
    const std::string good = test::ChromiumRecord(kPage);
    const auto keyLength = static_cast<std::uint32_t>(good[12] & 0xFF);
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"first magic", Patched(good, 0, 0x11111111)},
        {"version", Patched(good, 8, 6)},
        {"key length zero", Patched(good, 12, 0)},
        {"key length one more", Patched(good, 12, keyLength + 1)},
        {"key length huge", Patched(good, 12, 0xFFFFFFF0)},
        {"final magic", Patched(good, -24, 0x22222222)},
        {"head length zero", Patched(good, -8, 0)},
        {"head length huge", Patched(good, -8, 0xFFFFFFFF)},
        {"digest flag dropped", Patched(good, -16, 1)},
        {"one byte more", good + 'x'},
        {"one byte less in the middle", good.substr(0, 40) + good.substr(41)},
    };
    for (const auto& [name, file] : cases)
        EXPECT_FALSE(Read(file)) << name;
    // A head whose length is off by one word no longer meets the body's end record.
    const std::uint32_t headLength = static_cast<unsigned char>(good[good.size() - 8]) |
                                     (static_cast<unsigned char>(good[good.size() - 7]) << 8);
    EXPECT_FALSE(Read(Patched(good, -8, headLength + 4)));
    EXPECT_FALSE(Read(Patched(good, -8, headLength - 4)));
}

TEST(CacheRecord, FirefoxLengthsThatLie)
{
    const std::string good = test::FirefoxRecord(kPage);
    const auto bodySize = static_cast<std::uint32_t>(kPage.body.size());
    const std::size_t header = bodySize + 4 + 2;
    // The key's length is one byte short of the key: the byte where its NUL should
    // be is the key's last, and the elements after it still read well.
    std::string noNul = good;
    noNul[good.find(kPage.url) + kPage.url.size()] = 'x';
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"offset past the end", Patched(good, -4, 0xFFFFFF00, true)},
        {"offset one more", Patched(good, -4, bodySize + 1, true)},
        {"offset one less", Patched(good, -4, bodySize - 1, true)},
        {"version 1", Patched(good, static_cast<long>(header), 1, true)},
        {"version 99", Patched(good, static_cast<long>(header), 99, true)},
        {"key longer", Patched(good, static_cast<long>(header + 24), 500, true)},
        {"key shorter", Patched(good, static_cast<long>(header + 24), 10, true)},
        {"key zero", Patched(good, static_cast<long>(header + 24), 0, true)},
        {"key one byte short", noNul},
        {"plain text", std::string("<html><title>not a record</title></html>")},
        {"nothing", std::string()},
    };
    for (const auto& [name, file] : cases)
        EXPECT_FALSE(Read(file)) << name;
    // Without a response head there is nothing to decode the body by.
    test::RecordParts headless = kPage;
    headless.head.clear();
    EXPECT_FALSE(Read(test::FirefoxRecord(headless)));
}

// Compiled scripts the browser keeps behind a body: "alt-data" says where they begin.
TEST(CacheRecord, FirefoxAltDataEndsTheBody)
{
    const std::string good = test::FirefoxRecord(kPage);
    const std::string element = std::string("net-response-time-onstart\0"
                                            "4\0",
                                            28);
    ASSERT_NE(good.find(element), std::string::npos);
    const auto withAltData = [&](std::size_t at) {
        std::string file = good;
        file.replace(file.find(element), element.size(),
                     "alt-data" + std::string(1, '\0') + "1;" + std::to_string(at) +
                         ",javascript/moz-script-bytecode" + std::string(1, '\0'));
        return file;
    };
    const std::size_t size = kPage.body.size();
    const struct
    {
        std::size_t at;
        bool read;
    } cases[] = {{0, true}, {size - 3, true}, {size, true}, {size + 1, false}, {1u << 30, false}};
    for (const auto& c : cases) {
        const std::string file = withAltData(c.at);
        const auto record = Read(file);
        ASSERT_EQ(record.has_value(), c.read) << c.at;
        if (record) {
            EXPECT_EQ(record->bodySize, c.at);
            EXPECT_EQ(BodyOf(file, *record), kPage.body.substr(0, c.at));
        }
    }
}

// Keys are canonical URLs: printable ASCII, up to "~" and not DEL.
TEST(CacheRecord, KeyBytesAtTheEdgeOfPrintable)
{
    for (const auto& [format, build] :
         std::vector<std::pair<const char*, std::string (*)(const test::RecordParts&)>>{
             {"chromium", [](const test::RecordParts& p) { return test::ChromiumRecord(p); }},
             {"firefox", test::FirefoxRecord}}) {
        SCOPED_TRACE(format);
        test::RecordParts parts = kPage;
        parts.url = "http://site.test/~a";
        EXPECT_TRUE(Read(build(parts)));
        parts.url = "http://site.test/\x7F"
                    "a";
        EXPECT_FALSE(Read(build(parts)));
        parts.url = "http://site.test/\x1F"
                    "a";
        EXPECT_FALSE(Read(build(parts)));
    }
}

// A head length within the head limit that reaches back past the body's start,
// with the final magic planted where the body's end record would then lie (the
// header's unchecked hash and padding): the body's size would wrap around.
TEST(CacheRecord, ChromiumHeadReachingBeforeTheBodyIsRefused)
{
    std::string file = test::ChromiumRecord(kPage);
    file = Patched(file, 16, 0x970d41d8);
    file = Patched(file, 20, 0xf4fa6f45);
    ASSERT_TRUE(Read(file)); // the planted bytes alone change nothing
    const auto headLength = static_cast<std::uint32_t>(file.size() - 16 - 24 - 32 - 24);
    const auto record = Read(Patched(file, -8, headLength));
    EXPECT_FALSE(record) << "a body of " << record->bodySize << " bytes";
}

TEST(CacheRecord, PlainCachedFilesAreNotRecords)
{
    const std::vector<std::string> files = {
        "<html><head><title>Plain</title></head></html>",
        std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) + std::string(2000, '\x01'),
        std::string(5000, '\0'),
        std::string(5000, '\xFF'),
    };
    for (const std::string& file : files)
        EXPECT_FALSE(Read(file));
}

TEST(CacheRecord, ReadFromAFileLikeFromMemory)
{
    test::TestDir dir;
    test::RecordParts big{"http://x.test/big", test::OkHead("text/plain"),
                          std::string(300'000, 'z')};
    for (const std::string& content :
         {test::ChromiumRecord(kPage), test::FirefoxRecord(big), test::ChromiumRecord(big)}) {
        const auto path = dir.createFile("record", content);
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        FileSource source(fd, content.size(), 4096); // a small first block: reads past it too
        const auto fromFile = ReadCacheRecord(source);
        const auto fromMemory = Read(content);
        ASSERT_TRUE(fromFile && fromMemory);
        EXPECT_EQ(fromFile->url, fromMemory->url);
        EXPECT_EQ(fromFile->bodyOffset, fromMemory->bodyOffset);
        EXPECT_EQ(fromFile->bodySize, fromMemory->bodySize);
        // A file that is shorter than its stat said is not read past its end.
        FileSource lying(fd, content.size() + 100);
        EXPECT_FALSE(ReadCacheRecord(lying));
        ::close(fd);
    }
}

} // namespace
} // namespace tessaloom::records
