#include "indexer/indexbuild.h"
#include "platform/filelister.h"
#include "wizard/deletefiles.h"
#include "wizard/indexreader.h"

#include "platform/textcodec.h"
#include "support/recordbuilder.h"
#include "support/recordfolder.h"
#include "support/testdir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <fstream>
#include <map>

namespace tessaloom {
namespace {

namespace fs = std::filesystem;
using test::ReadWholeFile;
using test::TestDir;

class QuietListener final : public IndexProgressListener
{
public:
    void fileReport(const FileReport&) override {}
    void windowTitleReport(std::string_view) override {}
    void timedReport(const TimedReport&) override {}
    bool cancelRequested() override { return false; }
    bool keepPartialIndex() override { return true; }
    void lastTitleReport(std::string_view) override {}
    void close() override {}
};

struct Built
{
    IndexOutcome outcome;
    std::string document;
};

Built Build(const fs::path& folder, bool readRecords, const fs::path& cacheHome,
            bool excludeBinary = true)
{
    IndexRequest request;
    request.folder = folder.string();
    request.pattern = "*.*";
    request.options.excludeBinaryFiles = excludeBinary;
    request.formats = LocaleFormats::EnglishUS();
    request.clock = [] { return test::UtcTime(2026, 12, 8, 10, 0, 0); };
    request.readRecords = readRecords;
    request.cacheHome = cacheHome.string();
    request.fileNames = ListMatchingFiles(folder, "*.*").value();
    QuietListener listener;
    Built built;
    built.outcome = CreateIndex(request, listener);
    built.document = ReadWholeFile(folder / "!ndex.htm");
    return built;
}

std::vector<std::string> EntryLines(const std::string& document)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; (at = document.find("\r\n<TD", at)) != std::string::npos;) {
        at += 2;
        lines.push_back(document.substr(at, document.find("\r\n", at) - at));
    }
    return lines;
}

std::string LineFor(const std::string& document, const std::string& name)
{
    for (const std::string& line : EntryLines(document)) {
        if (line.find("href=\"" + name + "\"") != std::string::npos)
            return line;
    }
    return {};
}

TEST(IndexWithRecords, OffTheDocumentIsWhatItWasBeforeRecordsWereRead)
{
    // Written by the build before it could read records, from the same folder.
    for (const auto& [golden, excludeBinary] : std::vector<std::pair<std::string, bool>>{
             {"index-off.htm", true}, {"index-off-keep-binary.htm", false}}) {
        SCOPED_TRACE(golden);
        TestDir dir;
        const fs::path cache = dir.createDir("cache");
        test::WriteRecordFolder(dir.createDir("records"));
        std::string expected = ReadWholeFile(fs::path(TESSALOOM_TEST_DATA_DIR) / golden);
        ASSERT_FALSE(expected.empty());
        const std::string folder = (dir / "records").string();
        for (std::size_t at; (at = expected.find("@FOLDER@")) != std::string::npos;)
            expected.replace(at, 8, folder);
        const Built built = Build(dir / "records", false, cache, excludeBinary);
        EXPECT_EQ(built.document, expected);
        EXPECT_TRUE(fs::is_empty(cache)); // nothing stored without the option
    }
}

TEST(IndexWithRecords, TitlesPicturesAndAddressesFromBothBrowsers)
{
    TestDir dir;
    const fs::path cache = dir.createDir("cache");
    const fs::path folder = dir.createDir("records");
    test::WriteRecordFolder(folder);
    const Built built = Build(folder, true, cache);
    ASSERT_EQ(built.outcome.status, IndexStatus::Written);

    // name -> the title shown, or "" for a picture drawn from its stored copy
    const std::map<std::string, std::string> expected = {
        {"0000000000000001_0", "Chromium Zipped"},
        {"0000000000000002_0", "Chromium Plain"},
        {"0000000000000003_0", ""},
        {"0000000000000004_0", ""},
        {"0000000000000005_0", "Style Sheet"},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA1", "Firefox Zipped"},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA2", "Firefox Plain"},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA3", ""},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA4", ""},
        {"AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA5", "Java Script"},
    };
    std::map<std::string, std::string> contents;
    for (const auto& file : test::RecordFolderFiles())
        contents[file.name] = file.content;
    for (const auto& [name, title] : expected) {
        SCOPED_TRACE(name);
        const std::string line = LineFor(built.document, name);
        ASSERT_FALSE(line.empty());
        EXPECT_NE(line.find(" title=\"http://site.test/"), std::string::npos);
        EXPECT_NE(line.find("<br><font size=-2>http://site.test/"), std::string::npos);
        if (!title.empty()) {
            EXPECT_NE(line.find(" target=new align=center>" + title + "</a>"), std::string::npos);
            continue;
        }
        // A picture: drawn from a copy under the cache home, linked to the record.
        const std::size_t src = line.find("<img src=\"file://");
        ASSERT_NE(src, std::string::npos);
        const std::string url = line.substr(src + 10, line.find('"', src + 10) - src - 10);
        const fs::path stored = url.substr(7);
        EXPECT_TRUE(stored.string().starts_with((cache / "Tessaloom").string()));
        EXPECT_TRUE(contents[name].find(ReadWholeFile(stored)) != std::string::npos);
        EXPECT_GT(ReadWholeFile(stored).size(), 0u);
    }
    // The damaged record is examined as any cached file: binary, so filtered.
    EXPECT_EQ(LineFor(built.document, "0000000000000006_0"), "");
    // Plain cached files are as ever.
    EXPECT_NE(LineFor(built.document, "photo.jpg").find("<img src=\"photo.jpg\""),
              std::string::npos);
    EXPECT_EQ(LineFor(built.document, "page.html").find("title="), std::string::npos);

    // The address is text, never markup, and holds no comma for the reader to cut at.
    const std::string zipped = LineFor(built.document, "0000000000000001_0");
    EXPECT_NE(zipped.find("gz.html?a=1&#44;b=&lt;2&gt;&amp;c=&quot;3&quot;"), std::string::npos);
    for (const std::string& line : EntryLines(built.document))
        EXPECT_EQ(line.find(','), std::string::npos) << line;

    // Nothing but the page was written into the cache folder.
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder))
        files += entry.path().filename() == "!ndex.htm" ? 0 : 1;
    EXPECT_EQ(files, test::RecordFolderFiles().size());
}

TEST(IndexWithRecords, TheWizardListsTheRecordsOfAPageBuiltEitherWay)
{
    for (const bool readRecords : {false, true}) {
        SCOPED_TRACE(readRecords);
        TestDir dir;
        const fs::path folder = dir.createDir("records");
        test::WriteRecordFolder(folder);
        const Built built = Build(folder, readRecords, dir.createDir("cache"), false);
        const IndexList list = ReadIndexDocument(folder / "!ndex.htm");
        ASSERT_EQ(list.status, IndexListStatus::Loaded);
        ASSERT_EQ(list.rows.size(), test::RecordFolderFiles().size());
        for (const WizardRow& row : list.rows)
            EXPECT_TRUE(fs::is_regular_file(row.targetPath)) << row.targetPath;
        if (readRecords) {
            EXPECT_NE(list.rows[0].displayText.find("\tChromium Zipped"), std::string::npos);
            EXPECT_NE(list.rows[2].displayText.find("\tImage"), std::string::npos);
        }
    }
}

TEST(IndexWithRecords, TitlesInAnyCharsetReadBackInUtf8)
{
    TestDir dir;
    const fs::path folder = dir.createDir("records");
    const auto record = [&](const char* name, const std::string& head, const std::string& body) {
        dir.createFile(std::string("records/") + name,
                       test::ChromiumRecord({"http://s.test/", head, body}));
    };
    record("0000000000000001_0", test::OkHead("text/html; charset=windows-1252"),
           "<title>Caf\xE9</title>");
    record("0000000000000002_0", test::OkHead("text/html", "gzip"),
           test::Gzip("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=shift_jis\">"
                      "<title>\x93\xfa\x96\x7b</title>"));
    record("0000000000000003_0", test::OkHead("text/html"),
           "<title>Tom &amp; Jerry &lt;3 &#x1F600;</title>");
    dir.createFile("records/plain.htm", "<title>Caf\xE9 &amp; plain</title>");
    const Built built = Build(folder, true, dir.createDir("cache"));
    // Once: the page says it is UTF-8, right in its head, and is.
    EXPECT_EQ(built.document.find("<HTML>\r\n<HEAD>\r\n<meta charset=\"utf-8\">\r\n"), 0u);
    EXPECT_TRUE(IsValidUtf8(built.document));
    const IndexList list = ReadIndexDocument(folder / "!ndex.htm");
    ASSERT_EQ(list.status, IndexListStatus::Loaded);
    std::vector<std::string> titles;
    for (const WizardRow& row : list.rows)
        titles.emplace_back(row.displayText.substr(row.displayText.find('\t') + 1));
    std::sort(titles.begin(), titles.end());
    EXPECT_EQ(titles, (std::vector<std::string>{"Caf\xC3\xA9", "Caf\xC3\xA9 & plain",
                                                "Tom & Jerry <3 \xF0\x9F\x98\x80",
                                                "\xE6\x97\xA5\xE6\x9C\xAC"}));

    // A folder of plain files is written byte for byte as without records.
    fs::remove_all(folder);
    fs::create_directory(folder);
    dir.createFile("records/plain.htm", "<title>Caf\xE9 &amp; plain</title>");
    dir.createFile("records/photo.jpg", "\xFF\xD8\xFF\xE0");
    const std::string withRecords = Build(folder, true, dir / "cache").document;
    EXPECT_EQ(withRecords, Build(folder, false, dir / "cache").document);
    EXPECT_EQ(withRecords.find("charset"), std::string::npos);
}

TEST(IndexWithRecords, AMediaEntrySplitInHeadAndDataIsListedTwiceAsTheSame)
{
    TestDir dir;
    const std::string magic = "\x30\x5c\x72\xa7\x1b\x6d\xfb\xfc";
    const std::string data = magic + std::string("\x05\0\0\0\x80\x90 sparse ranges", 20);
    const auto head = [](const char* type) {
        return test::ChromiumRecord({"http://s.test/clip", test::OkHead(type), ""});
    };
    dir.createFile("records/00000000000000a1_0", head("video/mp4"));
    dir.createFile("records/00000000000000a1_s", data);
    dir.createFile("records/00000000000000b2_0", head("audio/ogg"));
    dir.createFile("records/00000000000000b2_1", "stream two");
    dir.createFile("records/00000000000000b2_s", data);
    dir.createFile("records/00000000000000c3_s", data); // no head
    dir.createFile("records/00000000000000d4_0", "\x90 not a record");
    dir.createFile("records/00000000000000d4_s", data); // head is no record
    dir.createFile("records/00000000000000e5_0", head("text/css"));
    dir.createFile("records/00000000000000e5_s", "\x90 not Chromium's"); // data is not
    const Built built = Build(dir / "records", true, dir.createDir("cache"), false);
    const std::map<std::string, std::string> expected = {
        {"00000000000000a1_0", "Video"},
        {"00000000000000a1_s", "Video"},
        {"00000000000000b2_0", "Sound"},
        {"00000000000000b2_s", "Sound"},
        {"00000000000000c3_s", "Untitled (binary)"},
        {"00000000000000d4_s", "Untitled (binary)"},
        {"00000000000000e5_s", "Untitled (binary)"},
    };
    for (const auto& [name, label] : expected) {
        SCOPED_TRACE(name);
        const std::string line = LineFor(built.document, name);
        EXPECT_NE(line.find("align=center>" + label + "</a>"), std::string::npos) << line;
        EXPECT_EQ(line.find("http://s.test/clip") != std::string::npos,
                  label == "Video" || label == "Sound");
    }
}

TEST(IndexWithRecords, PicturesGoWithTheFilesTheWizardDeletesAndWithoutRecords)
{
    TestDir dir;
    const fs::path cache = dir.createDir("cache");
    const fs::path folder = dir.createDir("records");
    test::WriteRecordFolder(folder);
    const auto pictures = [&] {
        std::size_t n = 0;
        for (const auto& entry : fs::recursive_directory_iterator(cache))
            n += entry.is_regular_file() && entry.path().filename() != "examined" ? 1 : 0;
        return n;
    };
    Build(folder, true, cache);
    ASSERT_EQ(pictures(), 4u);
    const IndexList list = ReadIndexDocument(folder / "!ndex.htm");
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < list.rows.size(); ++i) {
        if (list.rows[i].targetPath.ends_with("0000000000000003_0") ||
            list.rows[i].targetPath.ends_with("page.html"))
            chosen.push_back(i);
    }
    ASSERT_EQ(chosen.size(), 2u);
    const DeleteOutcome outcome =
        DeleteSelectedFiles(folder / "!ndex.htm", list.folder, list.rows, chosen, false, {}, cache);
    EXPECT_EQ(outcome.filesDeleted, 2u);
    EXPECT_EQ(pictures(), 3u); // the record's picture went with it
    Build(folder, false, cache);
    EXPECT_EQ(pictures(), 0u);
}

// The results a build keeps of its examinations, found under the cache home.
fs::path ResultsFile(const fs::path& cache)
{
    for (const auto& entry : fs::recursive_directory_iterator(cache)) {
        if (entry.path().filename() == "examined")
            return entry.path();
    }
    return {};
}

// `bytes` with their checksum (after the 8-byte mark) made to match again, so that
// only what the checksum cannot catch is left wrong.
std::string Resealed(std::string bytes)
{
    const auto crc =
        static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(bytes.data() + 12),
                                         static_cast<uInt>(bytes.size() - 12)));
    for (int i = 0; i < 4; ++i)
        bytes[8 + static_cast<std::size_t>(i)] = static_cast<char>((crc >> (8 * i)) & 0xFF);
    return bytes;
}

void Replace(std::string& text, std::string_view from, std::string_view to)
{
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
}

void WriteFile(const fs::path& path, std::string_view bytes)
{
    std::error_code ec;
    fs::remove_all(path, ec);
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(IndexWithRecords, AnUnchangedFileIsTakenFromTheLastBuildAndDamagedResultsAreNot)
{
    TestDir dir;
    const fs::path cache = dir.createDir("cache");
    const fs::path folder = dir.createDir("records");
    test::WriteRecordFolder(folder);
    const std::string fresh = Build(folder, true, cache).document;
    const fs::path results = ResultsFile(cache);
    ASSERT_FALSE(results.empty());
    EXPECT_EQ(Build(folder, true, cache).document, fresh);

    // Results that would show if they were taken: every title changed.
    std::string stale = ReadWholeFile(results);
    ASSERT_GT(stale.size(), 20u);
    Replace(stale, "Plain", "Stale");
    Replace(stale, "Zipped", "Zapped");
    stale = Resealed(stale);
    std::string moreThanHeld = stale;
    ++moreThanHeld[16]; // the count of files, after the mark, checksum and version
    std::string fewerThanHeld = stale;
    --fewerThanHeld[16];
    std::string otherRules = stale;
    ++otherRules[12];
    std::string flipped = stale;
    flipped[flipped.size() / 2] ^= 0x01;
    const std::vector<std::pair<std::string, std::string>> damaged = {
        {"one byte changed", flipped},
        {"cut short", stale.substr(0, stale.size() - 3)},
        {"cut short, checksum made right", Resealed(stale.substr(0, stale.size() - 3))},
        {"more files than it holds", Resealed(moreThanHeld)},
        {"fewer files than it holds", Resealed(fewerThanHeld)},
        {"of other rules", Resealed(otherRules)},
        {"mark only", stale.substr(0, 8)},
        {"empty", ""},
    };
    for (const auto& [what, bytes] : damaged) {
        SCOPED_TRACE(what);
        WriteFile(results, bytes);
        EXPECT_EQ(Build(folder, true, cache).document, fresh);
    }
    WriteFile(results, "");
    fs::remove(results);
    fs::create_directory(results);
    EXPECT_EQ(Build(folder, true, cache).document, fresh);

    // Intact results are taken without a look at the files: the changed titles show.
    WriteFile(results, stale);
    const std::string reused = Build(folder, true, cache).document;
    EXPECT_NE(LineFor(reused, "0000000000000001_0").find(">Chromium Zapped<"), std::string::npos);
    EXPECT_NE(LineFor(reused, "0000000000000002_0").find(">Chromium Stale<"), std::string::npos);
    EXPECT_NE(LineFor(reused, "page.html").find(">Stale Cached Page<"), std::string::npos);

    // A file changed in its size, its time, or only its inode is examined again.
    WriteFile(results, stale);
    const auto mtime = fs::last_write_time(folder / "page.html");
    std::ofstream(folder / "page.html", std::ios::app) << "\n";
    fs::last_write_time(folder / "page.html", mtime);
    fs::last_write_time(folder / "0000000000000002_0", mtime + std::chrono::seconds(1));
    const fs::path firefox = folder / "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA2";
    const auto firefoxTime = fs::last_write_time(firefox);
    const std::string firefoxBytes = ReadWholeFile(firefox);
    fs::remove(firefox);
    std::ofstream(firefox, std::ios::binary) << firefoxBytes;
    fs::last_write_time(firefox, firefoxTime);
    const std::string changed = Build(folder, true, cache).document;
    EXPECT_NE(LineFor(changed, "page.html").find(">Plain Cached Page<"), std::string::npos);
    EXPECT_NE(LineFor(changed, "0000000000000002_0").find(">Chromium Plain<"), std::string::npos);
    EXPECT_NE(LineFor(changed, firefox.filename().string()).find(">Firefox Plain<"),
              std::string::npos);
    EXPECT_NE(LineFor(changed, "0000000000000001_0").find(">Chromium Zapped<"), std::string::npos);

    // They go with the folder's pictures.
    Build(folder, false, cache);
    EXPECT_TRUE(ResultsFile(cache).empty());
}

TEST(IndexWithRecords, EachBuildReplacesThePicturesOfTheLast)
{
    TestDir dir;
    const fs::path cache = dir.createDir("cache");
    const fs::path folder = dir.createDir("records");
    test::WriteRecordFolder(folder);
    Build(folder, true, cache);
    fs::remove(folder / "0000000000000003_0");
    fs::remove(folder / "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA4");
    Build(folder, true, cache);
    std::size_t pictures = 0;
    for (const auto& entry : fs::recursive_directory_iterator(cache))
        pictures += entry.is_regular_file() && entry.path().filename() != "examined" ? 1 : 0;
    EXPECT_EQ(pictures, 2u); // the two record pictures still there
}

} // namespace
} // namespace tessaloom
