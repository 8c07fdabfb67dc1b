#include "indexer/indexdocument.h"

#include "support/testdir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <sstream>

namespace tessaloom {
namespace {

using test::ReadWholeFile;
using test::TestDir;

IndexDocumentHeader Header(std::string folder = "/home/u/.cache/x", std::string pattern = "*.*")
{
    IndexDocumentHeader h;
    h.folder = std::move(folder);
    h.pattern = std::move(pattern);
    h.imagesFiltered = 3;
    h.binaryFiltered = 4;
    h.created = {2026, 12, 7, 13, 46, 5};
    h.formats = LocaleFormats::EnglishUS();
    return h;
}

std::vector<std::string> Lines(const std::string& doc)
{
    std::vector<std::string> lines;
    std::size_t from = 0;
    while (from < doc.size()) {
        const std::size_t end = doc.find("\r\n", from);
        if (end == std::string::npos) {
            lines.push_back(doc.substr(from) + "<no CR LF>");
            break;
        }
        lines.push_back(doc.substr(from, end - from));
        from = end + 2;
    }
    return lines;
}

std::vector<IndexEntry> Entries(int count)
{
    std::vector<IndexEntry> entries;
    for (int i = 0; i < count; ++i)
        entries.push_back(
            {"2026/01/02 03:04:05", "Page " + std::to_string(i), "f_" + std::to_string(i)});
    return entries;
}

TEST(IndexDocument, EmptyDocumentLineByLine)
{
    const std::string doc = BuildIndexDocument(Header(), {});
    const std::vector<std::string> expected = {
        "<HTML>",
        "<HEAD>",
        "<TITLE>Index for /home/u/.cache/x/*.*</TITLE>",
        "</HEAD>",
        "<A NAME=TOP>",
        "<BODY>",
        "<table width=750 align=center>",
        "<td>",
        "<table width=100% align=center cellspacing=0 cellpadding=3 border=0>",
        "<tr bgcolor=#CCFFCC>",
        "<td>",
        "<center><b><font face=arial size=-1>Index for: /home/u/.cache/x/*.*</font></b></center>",
        "<center><font face=arial size=-2>Created: 12/7/2026 1:46:05 PM"
        "&nbsp;&nbsp;&nbsp;|&nbsp;&nbsp;&nbsp;Files Indexed: 0"
        "&nbsp;&nbsp;&nbsp;|&nbsp;&nbsp;&nbsp;Images Filtered: 3"
        "&nbsp;&nbsp;&nbsp;|&nbsp;&nbsp;&nbsp;Binary Files Filtered: 4"
        "&nbsp;&nbsp;&nbsp;|&nbsp;&nbsp;&nbsp;Sorted by Date</font></center>",
        "</td>",
        "</tr>",
        "</table>",
        "<p>",
        "<table width=750 align=center cellspacing=1 cellpadding=3 border=1>",
        "<tr>",
        "</tr>",
        "</td>",
        "</table>",
        "<hr>",
        "<br>",
        "<center>",
        "<font face=arial size=+1>",
        "Created with the <i>Tessaloom</i>&#153;<br>Please visit our <A HREF=" +
            std::string(kProductPageAddress) +
            ">web site</a> for updates and information about other great software products!",
        "</font>",
        "<center>",
        "</td>",
        "</table>",
        "<br>",
        "<br>",
        "<br>",
        "</BODY>",
        "</HTML>",
    };
    EXPECT_EQ(Lines(doc), expected);
    EXPECT_EQ(doc.substr(doc.size() - 9), "</HTML>\r\n");
}

TEST(IndexDocument, RowsOfFiveAndReturnToTop)
{
    for (int count : {1, 5, 6, 10, 11, 25, 26}) {
        const auto lines = Lines(BuildIndexDocument(Header(), Entries(count)));
        int cells = 0, rowBreaks = 0, returnToTop = 0;
        int cellsInRow = 0, maxInRow = 0;
        for (const auto& line : lines) {
            if (line.starts_with("<TD align=center")) {
                ++cells;
                maxInRow = std::max(maxInRow, ++cellsInRow);
            } else if (line == "</tr>" && cells > 0 && cells < count) {
                ++rowBreaks;
                cellsInRow = 0;
            }
            if (line.find("RETURN TO TOP") != std::string::npos)
                ++returnToTop;
        }
        EXPECT_EQ(cells, count);
        EXPECT_EQ(rowBreaks, (count - 1) / 5) << count;
        EXPECT_LE(maxInRow, 5);
        EXPECT_EQ(returnToTop, count > 25 ? 1 : 0) << count;
        EXPECT_EQ(lines.size(), 36u + count + 2 * rowBreaks + (count > 25 ? 3 : 0));
    }
}

TEST(IndexDocument, CellShapes)
{
    const auto us = LocaleFormats::EnglishUS();
    EXPECT_EQ(EntryCellLine({"2026/12/07 13:46:05", "       Image", "F_00A1"}, us),
              "<TD align=center><a href=\"F_00A1\" target=new align=center alt=Image>"
              "<img src=\"F_00A1\" width=150 height=150></a><br><font size=-1>"
              "12/7/2026  1:46 pm</font></TD>");
    EXPECT_EQ(EntryCellLine({"2026/01/05 09:05:00", "      Untitled", "a b&c.gif"}, us),
              "<TD align=center width=150 height=150><a href=\"a b%26c.gif\" target=new "
              "align=center>Untitled</a><br><br><font size=-1>1/5/2026  9:05 am</font></TD>");
    // A record's picture is drawn from the store, and keeps its shape in the box: a
    // copy kept whole (AVIF, SVG) would be squashed into the square.
    IndexEntry stored{"2026/12/07 13:46:05", "       Image", "c1_0"};
    stored.fromRecord = true;
    stored.url = "http://example.com/wide.avif";
    stored.pictureSource = "file:///store/c1_0.avif";
    EXPECT_NE(EntryCellLine(stored, us)
                  .find("<img src=\"file:///store/c1_0.avif\" width=150 height=150 "
                        "style=\"object-fit:contain\"></a>"),
              std::string::npos);
    // A page titled "image" is drawn as a picture too.
    EXPECT_NE(EntryCellLine({"2026/01/05 09:05:00", "image", "p"}, us).find("<img src="),
              std::string::npos);
    EXPECT_NE(EntryCellLine({"2026/01/05 09:05:00", "        Sound", "s"}, us).find(">Sound</a>"),
              std::string::npos);
    EXPECT_NE(EntryCellLine({"2026/01/05 09:05:00", "     Java Script", "j"}, us)
                  .find(">Java Script</a>"),
              std::string::npos);
}

TEST(IndexDocument, TitlesCannotInjectMarkup)
{
    const auto line =
        EntryCellLine({"2026/01/05 09:05:00", "<script>alert(1)</script> &amp; R&D", "p"},
                      LocaleFormats::EnglishUS());
    EXPECT_NE(line.find(">&lt;script&gt;alert(1)&lt;/script&gt; &amp; R&D</a>"), std::string::npos);
    EXPECT_EQ(line.find("<script>"), std::string::npos);
}

// Every byte in the middle of a name: what could end the link, split the entry
// or change what the link means becomes "%XX"; blanks and the rest stay.
TEST(IndexDocument, LinkTargetsEncodeWhatChangesTheLinksMeaning)
{
    const std::string_view special = "\"#%&,:<>?\\";
    for (int b = 0; b < 256; ++b) {
        const char c = static_cast<char>(b);
        const std::string name = std::string("a") + c + "b";
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", b);
        const bool encoded = b < 0x20 || b == 0x7F || special.find(c) != std::string_view::npos;
        EXPECT_EQ(EncodeLinkTarget(name), encoded ? "a" + std::string(hex) + "b" : name) << b;
        EXPECT_EQ(DecodeLinkTarget(EncodeLinkTarget(name)), name) << b;
    }
    EXPECT_EQ(DecodeLinkTarget("%zz%4"), "%zz%4");
    EXPECT_EQ(DecodeLinkTarget("%3a%3A"), "::");

    // A name cannot become a scheme in either link of a picture cell.
    const std::string picture = EntryCellLine(
        {"2026/01/05 09:05:00", "       Image", "http:t.example"}, LocaleFormats::EnglishUS());
    EXPECT_EQ(picture.find("http:"), std::string::npos);
    EXPECT_NE(picture.find("<a href=\"http%3At.example\""), std::string::npos);
    EXPECT_NE(picture.find("<img src=\"http%3At.example\""), std::string::npos);
}

TEST(IndexDocument, DateTexts)
{
    const auto us = LocaleFormats::EnglishUS();
    EXPECT_EQ(DateTextFromKey("2026/12/07 13:46:05", us), "12/7/2026  1:46 pm");
    EXPECT_EQ(DateTextFromKey("2026/12/07 00:00:00", us), "12/7/2026  12:00 am");
    EXPECT_EQ(DateTextFromKey("2026/01/01 10:15:00", us), "1/1/2026  10:15 am");
    EXPECT_EQ(DateTextFromKey("2026/01/01 09:15:00", us), "1/1/2026  9:15 am"); // 17 characters
    EXPECT_EQ(DateTextFromKey("garbage", us), "");
    EXPECT_EQ(MakeDateKey({2004, 6, 3, 7, 8, 9}), "2004/06/03 07:08:09");
    // Inside and beyond the fixed widths the key is what the picture gives.
    const LocalDateTime edges[] = {{1000, 1, 1, 0, 0, 0},  {9999, 12, 31, 23, 59, 59},
                                   {999, 1, 1, 0, 0, 0},   {10000, 1, 1, 0, 0, 0},
                                   {-1, 1, 1, 0, 0, 0},    {2026, 100, 1, 0, 0, 0},
                                   {2026, 1, 1, 0, 0, -1}, {2026, 12, 31, 12, 0, 60}};
    for (const LocalDateTime& dt : edges)
        EXPECT_EQ(MakeDateKey(dt), FormatDateTimePicture(dt, "yyyy/MM/dd HH:mm:ss", us))
            << dt.year << " " << dt.month << " " << dt.second;
}

TEST(IndexDocument, RootFolderTitleShowsTwoSlashes)
{
    const auto lines = Lines(BuildIndexDocument(Header("/", "*.*"), {}));
    EXPECT_EQ(lines[2], "<TITLE>Index for //*.*</TITLE>");
}

TEST(IndexDocument, MarkupInTheFolderOrPatternShowsAsText)
{
    const auto lines =
        Lines(BuildIndexDocument(Header("/tmp/<script>x()</script>", "<b>&amp;"), {}));
    EXPECT_EQ(lines[2], "<TITLE>Index for /tmp/&lt;script&gt;x()&lt;/script&gt;/&lt;b&gt;&amp;"
                        "</TITLE>");
    EXPECT_EQ(lines[11],
              "<center><b><font face=arial size=-1>Index for: "
              "/tmp/&lt;script&gt;x()&lt;/script&gt;/&lt;b&gt;&amp;</font></b></center>");
}

TEST(IndexDocument, WrittenAtomicallyIntoTheFolder)
{
    TestDir dir;
    dir.createFile("!ndex.htm", "older index");
    const Result<void> written = WriteIndexDocument(dir.path(), Header(), Entries(2));
    ASSERT_TRUE(written) << written.error().message;
    EXPECT_EQ(ReadWholeFile(dir / "!ndex.htm"), BuildIndexDocument(Header(), Entries(2)));
    const Result<void> missing = WriteIndexDocument(dir / "missing", Header(), {});
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().code, ENOENT);
    EXPECT_FALSE(missing.error().message.empty());
}

} // namespace
} // namespace tessaloom
