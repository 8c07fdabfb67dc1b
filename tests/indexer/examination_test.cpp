#include "indexer/examination.h"

#include "support/testdir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaloom {
namespace {

using test::TestDir;

Examination Examine(std::string_view name, std::string_view content)
{
    return ExamineContent(name, content, "!ndex.htm");
}

std::string Jfif()
{
    return std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00", 11) + std::string(100, '\x80');
}

TEST(FindTitle, TitleThenHeadingsInOrder)
{
    EXPECT_EQ(FindTitle("<TITLE>  My page  </TITLE>"), "My page");
    EXPECT_EQ(FindTitle("<title></title><h1>Big</h1><h2>news</h2>"), "Big");
    EXPECT_EQ(FindTitle("<title> </title><h2>News</h2>"), "News");
    EXPECT_EQ(FindTitle("<H1>   </H1><h3>x</h3>"), "x");
    EXPECT_EQ(FindTitle("<h6>last</h6>"), "last");
    EXPECT_EQ(FindTitle("no tags at all"), "");
}

TEST(FindTitle, TagsMustBeExactAndInOrder)
{
    // An attribute makes it another tag.
    EXPECT_EQ(FindTitle("<title lang=en>x</title>"), "");
    // A closing tag without an opening one gives nothing.
    EXPECT_EQ(FindTitle(std::string(43, 'a') + "</title>"), "");
    // The first closing tag comes before the opening tag.
    EXPECT_EQ(FindTitle("</title><title>late</title>"), "");
    // Only blanks are trimmed; tabs stay until cleaning (which keeps them).
    EXPECT_EQ(FindTitle("<title>\tx\t</title>"), "\tx\t");
    // The opening tag alone.
    EXPECT_EQ(FindTitle("<title>unfinished"), "");
}

TEST(FindTitle, FoundAnywhereInTheContent)
{
    const std::string page = std::string(90'000, ' ') + "<title>Far away</title>";
    EXPECT_EQ(FindTitle(page), "Far away");
}

// The search passes over bytes in blocks; a tag, or a near miss, must be judged the
// same at every offset in a block and when the content ends right after it.
TEST(FindTitle, TagsAtEveryOffsetAndAtTheEnd)
{
    for (std::size_t offset = 0; offset < 70; ++offset) {
        SCOPED_TRACE(offset);
        const std::string pad(offset, 'x');
        EXPECT_EQ(FindTitle(pad + "<TITLE>a</TITLE>"), "a");
        EXPECT_EQ(FindTitle(pad + "<p></p><t<h</x<hr></ </T<" + "<h4>b</h4>"), "b");
        EXPECT_EQ(FindTitle("<h1>c" + pad + "</h1>"), "c" + pad);
        EXPECT_EQ(FindTitle("<h1>c" + pad + "</h"), "");
        EXPECT_EQ(FindTitle("<h1>c" + pad + "</"), "");
        EXPECT_EQ(FindTitle("<h1>c" + pad + "<"), "");
        // A later title outranks an earlier heading.
        EXPECT_EQ(FindTitle("<h1>c</h1>" + pad + "<title>d</title>"), "d");
    }
}

TEST(FindTitle, ShortenedThenCleaned)
{
    const std::string hundred(100, 'x');
    EXPECT_EQ(FindTitle("<title>" + hundred + "</title>"), std::string(87, 'x') + "...");
    EXPECT_EQ(FindTitle("<title>" + std::string(90, 'y') + "</title>"), std::string(90, 'y'));
    EXPECT_EQ(FindTitle("<title>a,b</title>"), "a b");
    EXPECT_EQ(FindTitle("<title>split\r\nline</title>"), "splitline");
    // Cleaning comes after shortening: the cleaned title may be shorter than 90.
    const std::string withBreaks = std::string(45, 'z') + "\r\n" + std::string(50, 'z');
    EXPECT_EQ(FindTitle("<title>" + withBreaks + "</title>").size(), 88u);
}

TEST(FindTitle, ShorteningNeverSplitsAUtf8Character)
{
    std::string title;
    for (int i = 0; i < 95; ++i)
        title += "\xC3\xA9"; // e acute
    const std::string found = FindTitle("<title>" + title + "</title>");
    std::string expected;
    for (int i = 0; i < 87; ++i)
        expected += "\xC3\xA9";
    EXPECT_EQ(found, expected + "...");
}

TEST(ExamineContent, UntitledAndBinaryTest)
{
    EXPECT_EQ(Examine("f_1", "plain text").label, kUntitledLabel);
    const auto binary = Examine("f_2", "abc\xE9xyz");
    EXPECT_EQ(binary.label, kUntitledBinaryLabel);
    EXPECT_TRUE(binary.binaryMark);
    const auto late = Examine("f_3", std::string(200, 'a') + "\xE9");
    EXPECT_EQ(late.label, kUntitledLabel);
    EXPECT_FALSE(late.binaryMark);
    const auto at200 = Examine("f_4", std::string(199, 'a') + "\xE9");
    EXPECT_TRUE(at200.binaryMark);
    // Every byte from 0x80 up fires the test, none below.
    for (int b = 1; b < 256; ++b) {
        const std::string content = std::string("ab") + static_cast<char>(b);
        EXPECT_EQ(Examine("f_b", content).binaryMark, b >= 0x80) << b;
    }
    // A titled page is never tested.
    EXPECT_FALSE(Examine("f_5", "<title>t</title>\xE9").binaryMark);
    // Empty content: kind by name only.
    EXPECT_EQ(Examine("empty", "").label, kUntitledLabel);
}

TEST(ExamineContent, KindByName)
{
    EXPECT_EQ(Examine("photo.JPG", "<title>x</title>").kind, FileKind::Image);
    EXPECT_EQ(Examine("photo.JPG", "<title>x</title>").label, kImageLabel);
    EXPECT_EQ(Examine("a.png", "").kind, FileKind::Image);
    for (const char* name : {"song.mid", "clip.ra", "clip.ram", "x.aiff", "y.WAV"}) {
        const auto e = Examine(name, "<title>t</title>");
        EXPECT_EQ(e.kind, FileKind::Sound) << name;
        EXPECT_EQ(e.label, kSoundLabel) << name;
    }
    EXPECT_EQ(Examine("menu.js", "<title>t</title>").label, kJavaScriptLabel);
    EXPECT_EQ(Examine("menu.js", "<title>t</title>").kind, FileKind::Other);
    EXPECT_EQ(Examine("menu.js", Jfif()).label, kImageLabel);
    // A script's byte test counts unless it has a title.
    EXPECT_TRUE(Examine("menu.js", "\xE9 var x;").binaryMark);
    EXPECT_FALSE(Examine("menu.js", "<title>t</title>\xE9").binaryMark);
    EXPECT_FALSE(Examine("menu.js", "var x = '<h1>';").binaryMark);
    EXPECT_EQ(Examine("clip.rams", "").kind, FileKind::Other);
}

TEST(ExamineContent, KindByContent)
{
    EXPECT_EQ(Examine("F_0001", Jfif()).kind, FileKind::Image);
    EXPECT_EQ(Examine("F_0002", "GIF89a....").kind, FileKind::Image);
    EXPECT_EQ(Examine("F_0003", "gif87a").kind, FileKind::Image);
    // Exif JPEG (no JFIF marker) and PNG are not recognised by their first bytes.
    const auto exif = Examine("F_0004", std::string("\xFF\xD8\xFF\xE1\x00\x10", 6) + "Exif");
    EXPECT_EQ(exif.kind, FileKind::Other);
    EXPECT_EQ(exif.label, kUntitledBinaryLabel);
    EXPECT_EQ(Examine("F_0005", "\x89PNG\r\n").kind, FileKind::Other);
    // A page titled "Image" keeps its own title and is not a picture.
    const auto titled = Examine("F_0006", "<title>Image</title>");
    EXPECT_EQ(titled.label, "Image");
    EXPECT_EQ(titled.kind, FileKind::Other);
}

TEST(ExamineContent, SkippedNames)
{
    for (const char* name : {"!ndex.htm", "!NDEX.HTM", "FAT.DB", "fat.db", "_CACHE_001_"}) {
        const auto e = Examine(name, "<title>kept title</title>");
        EXPECT_TRUE(e.skipped) << name;
        EXPECT_EQ(e.label, "kept title") << name;
        EXPECT_EQ(e.kind, FileKind::Other) << name;
    }
    EXPECT_TRUE(Examine("_cache_x", "\xE9").binaryMark);
    EXPECT_FALSE(Examine("cache_001", "").skipped);
    EXPECT_FALSE(Examine("x!ndex.htm", "").skipped);
}

TEST(ExamineCachedFile, ReadsAtMostTheLimitAndReportsFacts)
{
    TestDir dir;
    const std::string late = std::string(kExaminedBytes, 'a') + "<title>beyond</title>";
    dir.createFile("late", late, 2000);
    const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    std::string buffer;
    CachedFileFacts facts;
    const auto e = ExamineCachedFile(fd, "late", "!ndex.htm", buffer, {}, &facts);
    EXPECT_EQ(e.label, kUntitledLabel); // the title lies past the bytes read
    EXPECT_TRUE(facts.exists);
    EXPECT_EQ(facts.modified, 2000);

    const auto gone = ExamineCachedFile(fd, "vanished", "!ndex.htm", buffer, {}, &facts);
    EXPECT_FALSE(facts.exists);
    EXPECT_EQ(gone.label, kUntitledLabel);

    ::mkfifo((dir / "pipe").c_str(), 0600);
    const auto pipe = ExamineCachedFile(fd, "pipe", "!ndex.htm", buffer, {}, &facts);
    EXPECT_EQ(pipe.label, kUntitledLabel); // and it did not block
    ::close(fd);
}

// A closing tag that ends on the last byte read is found; one byte later it is cut.
TEST(ExamineCachedFile, TitleEndingOnTheLastByteReadIsFound)
{
    TestDir dir;
    const std::string page = "<title>Edge</title>";
    const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    std::string buffer;
    for (const std::size_t shift : {0u, 1u}) {
        const std::string padding(kExaminedBytes - page.size() + shift, ' ');
        dir.createFile("page", padding + page + "more");
        const auto e = ExamineCachedFile(fd, "page", "!ndex.htm", buffer);
        EXPECT_EQ(e.label, shift == 0 ? std::string("Edge") : std::string(kUntitledLabel));
    }
    ::close(fd);
}

TEST(ExamineCachedFile, YieldsWhileExamining)
{
    TestDir dir;
    dir.createFile("page", "no title here");
    const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    std::string buffer;
    int yields = 0;
    ExamineCachedFile(fd, "page", "!ndex.htm", buffer, [&] { ++yields; });
    EXPECT_GE(yields, 7); // between the title attempts and before the name tests
    ::close(fd);
}

} // namespace
} // namespace tessaloom
