#include "support/recordfolder.h"

#include "support/recordbuilder.h"
#include "support/testdir.h"

#include <fstream>

namespace tessaloom::test {

namespace {

const std::string kJfif =
    std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01", 12) + std::string(64, '\x81') + "\xFF\xD9";
const std::string kPng = std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16) + std::string(48, '\x02');

std::string Page(const std::string& title)
{
    return "<html><head><title>" + title + "</title></head><body>" + std::string(300, 'x') +
           "</body></html>";
}

} // namespace

std::vector<RecordFolderFile> RecordFolderFiles()
{
    const std::string site = "http://site.test/";
    return {
        {"0000000000000001_0",
         ChromiumRecord({site + "gz.html?a=1,b=<2>&c=\"3\"", OkHead("text/html", "gzip"),
                         Gzip(Page("Chromium Zipped"))})},
        {"0000000000000002_0",
         ChromiumRecord({site + "plain.html", OkHead("text/html"), Page("Chromium Plain")})},
        {"0000000000000003_0", ChromiumRecord({site + "p.png", OkHead("image/png"), kPng})},
        {"0000000000000004_0",
         ChromiumRecord({site + "photo", OkHead("application/octet-stream"), kJfif})},
        {"0000000000000005_0",
         ChromiumRecord({site + "s.css", OkHead("text/css", "br"), Brotli("body{}")})},
        {"0000000000000006_0", ChromiumRecord({site + "damaged.html", OkHead("text/html", "gzip"),
                                               Gzip(Page("Never")).substr(0, 30)})},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA1",
         FirefoxRecord(
             {site + "ff-gz.html", OkHead("text/html", "gzip"), Gzip(Page("Firefox Zipped"))})},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA2",
         FirefoxRecord({site + "ff-plain.html", OkHead("text/html"), Page("Firefox Plain")})},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA3",
         FirefoxRecord({site + "ff.jpg", OkHead("image/jpeg"), kJfif})},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA4",
         FirefoxRecord({site + "ff.png", OkHead("image/png"), kPng})},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA5",
         FirefoxRecord({site + "ff.js", OkHead("application/javascript", "zstd"), Zstd("let a;")})},
        {"page.html", Page("Plain Cached Page")},
        {"photo.jpg", kJfif},
        {"notes", "plain words without any tag"},
    };
}

void WriteRecordFolder(const std::filesystem::path& folder)
{
    std::time_t mtime = UtcTime(2026, 12, 1, 9, 0, 0);
    for (const RecordFolderFile& file : RecordFolderFiles()) {
        const auto path = folder / file.name;
        std::ofstream(path, std::ios::binary) << file.content;
        TestDir::setMtime(path, mtime);
        mtime += 61;
    }
}

} // namespace tessaloom::test
