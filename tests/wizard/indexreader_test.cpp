#include "indexer/indexdocument.h"
#include "support/testdir.h"
#include "wizard/indexfolder.h"
#include "wizard/indexreader.h"

#include <gtest/gtest.h>

#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tessaloom {
namespace {

using test::TestDir;

std::string Cell(std::string_view target, std::string_view title, std::string_view date)
{
    return "<TD align=center width=150 height=150><a href=\"" + std::string(target) +
           "\" target=new align=center>" + std::string(title) + "</a><br><br><font size=-1>" +
           std::string(date) + "</font></TD>";
}

std::string ImageCell(std::string_view target, std::string_view date)
{
    return "<TD align=center><a href=\"" + std::string(target) +
           "\" target=new align=center alt=Image><img src=\"" + std::string(target) +
           "\" width=150 height=150></a><br><font size=-1>" + std::string(date) + "</font></TD>";
}

// Processor time of the process (user and system), steadier than the clock on a
// busy machine.
double CpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// Everything "exists": for tests of the cutting and decoding alone.
IndexList ReadAll(std::string_view text)
{
    return ReadIndexText(text, "/f", [](std::string_view) { return true; });
}

std::vector<std::string> Displays(const IndexList& list)
{
    std::vector<std::string> out;
    for (const WizardRow& row : list.rows)
        out.emplace_back(row.displayText);
    return out;
}

std::vector<std::string> Targets(const IndexList& list)
{
    std::vector<std::string> out;
    for (const WizardRow& row : list.rows)
        out.emplace_back(row.targetPath);
    return out;
}

TEST(CutEntryLine, CutsBothCellShapes)
{
    // The pieces are views into the line, which must outlive them.
    EntryLineFields f;
    const std::string text = Cell("a b&c", "  Fish &amp; Chips ", "1/2/2024  1:46 pm");
    ASSERT_TRUE(CutEntryLine(text, f));
    EXPECT_EQ(f.target, "a b&c");
    EXPECT_EQ(f.title, "Fish &amp; Chips");
    EXPECT_EQ(f.dateText, "1/2/2024  1:46 pm");
    EXPECT_FALSE(f.image);

    const std::string image = ImageCell("pic", " 12/12/2024  11:46 am ");
    ASSERT_TRUE(CutEntryLine(image, f));
    EXPECT_EQ(f.target, "pic");
    EXPECT_EQ(f.dateText, " 12/12/2024  11:46 am ");
    EXPECT_TRUE(f.image);

    // The image marker decides, whatever the link text says.
    const std::string titled = Cell("x", "Sunset<img src=\"y\">", "d");
    ASSERT_TRUE(CutEntryLine(titled, f));
    EXPECT_TRUE(f.image);
}

// A page cell is cut by its "<"s where it has the program's own layout; a "<"
// anywhere else, or the picture marker after the cell, sends it the general way.
TEST(CutEntryLine, PageCellsWithStrayTagsAreCutLikeAnyOther)
{
    const struct
    {
        std::string line;
        bool image;
        std::string title;
        std::string date;
    } cases[] = {
        {Cell("x", "T", "d"), false, "T", "d"},
        {Cell("x", "T", "d") + "<img src=y>", true, "", "d"},
        {Cell("x", "T", "d<img src=q>"), true, "", "d<img src=q>"},
        {Cell("x", "a<b", "d"), false, "a<b", "d"},
        {Cell("x", "a</a>b", "d"), false, "a", "d"},
        {Cell("x", "T", "d<i>"), false, "T", "d<i>"},
    };
    for (const auto& c : cases) {
        EntryLineFields f;
        ASSERT_TRUE(CutEntryLine(c.line, f)) << c.line;
        EXPECT_EQ(f.target, "x") << c.line;
        EXPECT_EQ(f.image, c.image) << c.line;
        EXPECT_EQ(f.title, c.title) << c.line;
        EXPECT_EQ(f.dateText, c.date) << c.line;
    }
}

TEST(CutEntryLine, PassesOverLinesThatAreNotWholeEntries)
{
    const std::string good = Cell("n", "t", "d");
    EntryLineFields f;
    const std::vector<std::string> lines = {
        "<td align=center width=150><a href=\"n\" target=new align=center>t</a><br><br>"
        "<font size=-1>d</font></TD>", // prefix in other letter case
        " " + good,                    // prefix not at the start
        "<TD align=center>",
        "<TD align=center width=150 height=150><a href=n target=new align=center>t</a><br>"
        "<font size=-1>d</font></TD>", // no closing quote before " target=new"
        "<TD align=center width=150 height=150><a href=\"n\" target=new>t</a><br>"
        "<font size=-1>d</font></TD>", // no " target=new align=center>"
        "<TD align=center width=150 height=150><a href=\"n\" target=new align=center>t<br>"
        "<font size=-1>d</font></TD>", // no "</a>"
        "<TD align=center width=150 height=150><a href=\"n\" target=new align=center>t</a>"
        "d</font></TD>", // no date marker
        "<TD align=center width=150 height=150><a href=\"n\" target=new align=center>t</a>"
        "<br><font size=-1>d", // no date end
        "<TD align=center width=150 height=150><a href=\"n\" target=new align=center>t</a>"
        "</font></TD><br><font size=-1>d", // date markers out of order
        "<TD align=center\" target=new <a href=\"n\" target=new align=center>t</a>"
        "<br><font size=-1>d</font></TD>", // target end before the link
    };
    for (const std::string& line : lines)
        EXPECT_FALSE(CutEntryLine(line, f)) << line;
    EXPECT_TRUE(CutEntryLine(good, f));
}

TEST(CutEntryLine, MarkerTextInsideAFileNameIsNotTakenForTheMarker)
{
    // Blanks, "<" and ">" are written into the link as they are.
    const std::string name = "x target=new align=center>y<br><font size=-1>z<img src=w";
    EntryLineFields f;
    const std::string line = Cell(name, "Title", "1/2/2024  1:46 pm");
    ASSERT_TRUE(CutEntryLine(line, f));
    EXPECT_EQ(f.target, name);
    EXPECT_FALSE(f.image);
    EXPECT_EQ(f.title, "Title");
    EXPECT_EQ(f.dateText, "1/2/2024  1:46 pm");
}

TEST(DecodeTitle, ReferencesInTheirOrder)
{
    const struct
    {
        std::string raw;
        std::string shown;
    } cases[] = {
        {"Fish &amp; Chips", "Fish & Chips"},
        {"&AMP;Amp; &LT;b&Gt;", "& <b>"}, // letter case ignored
        {"&amp;amp;", "&"},               // replaced again from the start
        {"&amp;amp;amp;lt;", "&lt;"},     // "&lt;" came before "&amp;" in the order
        {"&amp;nbsp;&amp;quot;x&amp;deg;", "&nbsp;\"x\u00B0"}, // later ones are replaced
        {"x &amp", "x &amp"},
        {"a&nbsp;&nbsp;b", "a  b"},
        {"5&cent; 20&deg; &reg; &copy; &quot;q&quot;", "5\u00A2 20\u00B0 \u00AE \u00A9 \"q\""},
        {"&#174; and &#153;", "\u00AE and &#153;"}, // only the first numeric reference
        {"&#174;x&#174;", "\u00AEx\u00AE"},         // all occurrences of it
        {"&#153; Pro", "\u2122 Pro"},               // the Windows-1252 character
        {"&#0233;t&#0233;", "\u00E9t\u00E9"},
        {"&#65;&#66;", "A&#66;"},
        {"it&#8217;s", "its"}, // above 255: removed
        {"y&#255;", "y\u00FF"},
        {"a&#256;b", "ab"}, // never wraps round to a NUL character
        {"a&#0;b&#00;", "ab&#00;"},
        {"a&#x41;b&#X41;c", "abc"},
        {"a&#;b", "ab"},
        {"a&#99999999999999999999;b", "ab"},
        {"&#38;#38;", "&"}, // the "&" put in forms the reference again
        {"no end &#12", "no end &#12"},
        {"  padded  ", "padded"},
        {"caf\xE9 \x93quoted\x94", "caf\u00E9 \u201Cquoted\u201D"}, // Windows-1252
        {"caf\u00E9 &#233;", "caf\u00E9 \u00E9"},                   // UTF-8 stays UTF-8
        {"caf\xE9 &#233;", "caf\u00E9 \u00E9"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DecodeTitle(c.raw), c.shown) << c.raw;
        EXPECT_EQ(DecodeTitle(c.raw).find('\0'), std::string::npos) << c.raw;
    }
}

// The first numeric reference of each title is found and replaced in linear time,
// however it repeats itself: 32 MB of such titles once took most of a minute.
TEST(DecodeTitle, HostileNumericReferencesFinishInLinearTime)
{
    // The reference is the first 4,001 characters; the rest nearly forms it again
    // at every position.
    std::string reference;
    for (int i = 0; i < 2000; ++i)
        reference += "&#";
    const std::string rest = reference + reference + reference;
    const std::string line = Cell("x", reference + ";" + rest, "d") + "\r\n";
    std::string text;
    while (text.size() < 8 * 1024 * 1024)
        text += line;
    const double start = CpuSeconds();
    const IndexList list = ReadAll(text);
    const double seconds = CpuSeconds() - start;
    ASSERT_EQ(list.rows.size(), text.size() / line.size());
    // Not a number: every occurrence of the reference goes, the rest stays.
    EXPECT_TRUE(list.rows.back().displayText.ends_with("\t" + rest));
    EXPECT_LT(seconds, 20.0);
}

TEST(MakeDisplayText, PadsTheDateToTwentyFiveCharacters)
{
    const struct
    {
        std::string date;
        std::string column;
    } cases[] = {
        {"1/2/2024  1:46 pm", " 1/2/2024  1:46 pm       "},    // 17: one blank in front
        {"12/2/2024  1:46 pm", "12/2/2024  1:46 pm       "},   // 18: none
        {"12/12/2024  11:46 am", "12/12/2024  11:46 am     "}, // 20: five blanks
        {"", "                         "},
        {"1234567890123456789012345", "1234567890123456789012345"},
        {"123456789012345678901234567890", "123456789012345678901234567890"},
        {"1.2.2024 1:46 n\u00B7m", " 1.2.2024 1:46 n\u00B7m       "}, // counted in characters
        {"1.2.2024 1:46 n\xB7m", " 1.2.2024 1:46 n\u00B7m       "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MakeDisplayText(c.date, "T"), c.column + "\tT") << c.date;
}

TEST(ReadIndexText, FieldsEndAtCommasAndLineEnds)
{
    const std::string a = Cell("a", "A", "1/2/2024  1:46 pm");
    const std::string b = ImageCell("b", "1/2/2024  1:46 pm");
    const std::string c = Cell("c", "C", "1/2/2024  1:46 pm");
    const std::vector<std::string> expected = {"/f/a", "/f/b", "/f/c"};
    EXPECT_EQ(Targets(ReadAll(a + "\r\n" + b + "\r\n" + c + "\r\n")), expected);
    EXPECT_EQ(Targets(ReadAll(a + "\n" + b + "\r" + c)), expected);
    EXPECT_EQ(Targets(ReadAll(a + "," + b + ",," + c)), expected);

    // A comma inside an entry line splits it: neither piece is an entry.
    EXPECT_TRUE(ReadAll(Cell("x,y", "T", "d") + "\r\n").rows.empty());
    EXPECT_TRUE(ReadAll(Cell("x", "T", "1/2/2024, 1:46 pm") + "\r\n").rows.empty());
}

TEST(ReadIndexText, StopsAtTheFieldLimit)
{
    const std::string entry = Cell("e", "T", "d");
    std::string text;
    for (std::size_t i = 0; i < kIndexFieldLimit - 2; ++i)
        text += i % 2 ? "x," : "\r\n"; // CR LF is one line end, not two fields
    const std::string lastExamined = text + entry + "\r\n";

    IndexList list = ReadAll(lastExamined);
    EXPECT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.end, IndexReadEnd::EndOfDocument);

    list = ReadAll(lastExamined + entry + "\r\n" + entry + "\r\n");
    EXPECT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.end, IndexReadEnd::FieldLimit);
}

TEST(ReadIndexText, OverlongFieldIsPassedOverAndReadingGoesOn)
{
    const std::string huge = Cell("big", std::string(kMaxIndexFieldBytes, 'x'), "d");
    const std::string text = huge + "\r\n" + Cell("small", "T", "d") + "\r\n";
    EXPECT_EQ(Targets(ReadAll(text)), std::vector<std::string>{"/f/small"});
}

TEST(IndexFieldSplitter, PiecesDoNotChangeTheFields)
{
    const std::string text = "ab,c\r\n\r\nd\re\n,f\r";
    auto fields = [&](std::size_t piece) {
        std::vector<std::string> out;
        IndexFieldSplitter splitter;
        const auto onField = [&](std::string_view f) { out.emplace_back(f); };
        for (std::size_t at = 0; at < text.size(); at += piece)
            splitter.feed(std::string_view(text).substr(at, piece), onField);
        splitter.finish(onField);
        return out;
    };
    const std::vector<std::string> whole = {"ab", "c", "", "d", "e", "", "f"};
    for (std::size_t piece = 1; piece <= text.size(); ++piece)
        EXPECT_EQ(fields(piece), whole) << "piece " << piece;
}

// The last field examined and the first one not examined, wherever a piece of
// input ends inside or right after them.
TEST(IndexFieldSplitter, FieldLimitHoldsWhereverAPieceEnds)
{
    std::string text;
    for (std::size_t i = 0; i + 2 < kIndexFieldLimit; ++i)
        text += "x,";
    const std::size_t lastStart = text.size();
    text += "last,limit,after,";
    for (std::size_t split = lastStart; split <= text.size(); ++split) {
        std::size_t count = 0;
        std::string lastSeen;
        IndexFieldSplitter splitter;
        const auto onField = [&](std::string_view f) {
            ++count;
            lastSeen = f;
        };
        splitter.feed(std::string_view(text).substr(0, split), onField);
        splitter.feed(std::string_view(text).substr(split), onField);
        splitter.finish(onField);
        EXPECT_EQ(count, kIndexFieldLimit - 1) << split;
        EXPECT_EQ(lastSeen, "last") << split;
        EXPECT_TRUE(splitter.limitReached()) << split;
    }
}

// A big document has its folder's names read in one go after the first few
// tests; the odd entries come after that point too, so both ways are checked.
TEST(ReadIndexDocument, ListsOnlyPlainFilesOfTheDocumentsFolder)
{
    for (const int padding : {0, 300}) {
        TestDir dir;
        dir.createFile("idx/kept", "x");
        dir.createFile("idx/.hidden", "x");
        dir.createFile("idx/say \"hi\", 100%", "x");
        dir.createFile("idx/sub/inner", "x");
        dir.createFile("outside", "x");
        dir.createFile("idx-2/kept", "x"); // begins with the indexed folder's name
        std::filesystem::create_symlink("kept", dir / "idx/link-in");
        std::filesystem::create_symlink("../idx/kept", dir / "idx/link-back");
        std::filesystem::create_symlink(dir / "idx/link-in", dir / "idx/link-chain");
        std::filesystem::create_symlink("link-chain", dir / "idx/link-chain-2");
        std::filesystem::create_symlink("link-chain-2", dir / "idx/link-chain-3");
        std::filesystem::create_symlink("link-chain-3", dir / "idx/link-chain-4");
        std::filesystem::create_symlink("sub/inner", dir / "idx/link-sub");
        std::filesystem::create_symlink("../idx-2/kept", dir / "idx/link-sibling");
        std::filesystem::create_symlink(dir / "idx-2/kept", dir / "idx/link-sibling-abs");
        std::filesystem::create_symlink("link-sibling", dir / "idx/link-to-link-sibling");
        std::filesystem::create_symlink(dir / "outside", dir / "idx/link-out");
        std::filesystem::create_symlink("sub", dir / "idx/link-dir");
        ASSERT_EQ(::mkfifo((dir / "idx/fifo").c_str(), 0600), 0);
        // Names about the length a name is held in place up to, and far longer
        // ones, with absent neighbours that differ only in their last letter.
        const std::string n25(25, 'a');
        const std::string n26 = n25 + "b";
        const std::string n40 = std::string(39, 'c') + "d";
        for (const std::string& name : {n25, n26, n40})
            dir.createFile("idx/" + name, "x");
        std::filesystem::create_symlink(n40, dir / ("idx/" + std::string(30, 'l')));

        const std::string folder = (dir / "idx").string();
        std::vector<std::string> targets;
        std::vector<std::string> expected;
        for (int i = 0; i < padding; ++i) {
            const std::string name = "pad" + std::to_string(i);
            dir.createFile("idx/" + name, "x");
            targets.push_back(name);
            expected.push_back(folder + "/" + name);
        }
        targets.insert(targets.end(), {
                                          "kept",
                                          "missing",
                                          ".hidden",
                                          "say %22hi%22%2C 100%25",
                                          "sub",
                                          "sub/inner",
                                          "sub%2Finner",
                                          "../outside",
                                          "..",
                                          (dir / "outside").string(),
                                          "link-in",
                                          "link-out",
                                          "link-dir",
                                          "link-back",
                                          "link-chain",
                                          "link-chain-3",
                                          "link-chain-4",
                                          "link-sub",
                                          "link-sibling",
                                          "link-sibling-abs",
                                          "link-to-link-sibling",
                                          "fifo",
                                          "kept%00.txt",
                                          "",
                                          n25,
                                          std::string(24, 'a') + "b",
                                          n26,
                                          std::string(25, 'a') + "c",
                                          n40,
                                          std::string(39, 'c') + "e",
                                          std::string(30, 'l'),
                                      });
        // A link is followed through at most four links of the folder.
        expected.insert(expected.end(),
                        {folder + "/kept", folder + "/say \"hi\", 100%", folder + "/link-in",
                         folder + "/link-back", folder + "/link-chain", folder + "/link-chain-3",
                         folder + "/" + n25, folder + "/" + n26, folder + "/" + n40,
                         folder + "/" + std::string(30, 'l')});
        std::string text = "<HTML>\r\n";
        for (const std::string& t : targets)
            text += Cell(t, "T", "d") + "\r\n";
        const auto doc = dir.createFile("idx/!ndex.htm", text);

        const IndexList list = ReadIndexDocument(doc);
        ASSERT_EQ(list.status, IndexListStatus::Loaded);
        EXPECT_EQ(Targets(list), expected) << padding;
    }
}

// Reading stops at the byte limit: a sparse document far larger than any the
// program writes is not read to its end, and the field cut there is not listed.
TEST(ReadIndexDocument, StopsAtTheByteLimit)
{
    TestDir dir;
    dir.createFile("first", "x");
    dir.createFile("cut", "x");
    const std::string head = Cell("first", "T", "d") + "\r\n";
    const std::string cut = "\r\n" + Cell("cut", "T", "d");
    const auto doc = dir.createFile("!ndex.htm", head);
    for (const std::size_t size : {kMaxIndexDocumentBytes, kMaxIndexDocumentBytes + (1u << 30)}) {
        // The cut cell ends exactly on the limit; a line end follows only in a
        // longer document.
        ASSERT_EQ(::truncate(doc.c_str(), static_cast<off_t>(kMaxIndexDocumentBytes - cut.size())),
                  0);
        const int fd = ::open(doc.c_str(), O_WRONLY | O_APPEND);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, cut.data(), cut.size()), static_cast<ssize_t>(cut.size()));
        ::close(fd);
        ASSERT_EQ(::truncate(doc.c_str(), static_cast<off_t>(size)), 0);

        const IndexList list = ReadIndexDocument(doc);
        const bool over = size > kMaxIndexDocumentBytes;
        EXPECT_EQ(list.end, over ? IndexReadEnd::ByteLimit : IndexReadEnd::EndOfDocument);
        std::vector<std::string> expected = {(dir / "first").string()};
        if (!over)
            expected.push_back((dir / "cut").string());
        EXPECT_EQ(Targets(list), expected) << size;
    }
}

// Each link of an entry costs a few system calls through the open folder, however
// deep the folder lies and however long the chain; resolving whole paths took
// minutes here.
TEST(ReadIndexDocument, LinksAreJudgedInBoundedTimeInDeepFolders)
{
    TestDir dir;
    std::string relative;
    for (int level = 0; level < 1000; ++level)
        relative += "d/";
    const auto folder = dir.createDir(relative);
    dir.createFile(relative + "file", "x");
    std::filesystem::create_symlink(folder / "file", folder / "l39");
    for (int i = 38; i >= 0; --i)
        std::filesystem::create_symlink(folder / ("l" + std::to_string(i + 1)),
                                        folder / ("l" + std::to_string(i)));
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += Cell(i % 2 ? "l0" : "l37", "T", "d") + "\r\n";
    const auto doc = dir.createFile(relative + "!ndex.htm", text);

    const double start = CpuSeconds();
    const IndexList list = ReadIndexDocument(doc);
    const double seconds = CpuSeconds() - start;
    EXPECT_EQ(list.rows.size(), 150u); // l37 leads to the file in three links, l0 in forty
    EXPECT_LT(seconds, 10.0);
}

TEST(ReadIndexDocument, TargetsResolveAgainstTheDocumentsFolderNotTheCurrentOne)
{
    TestDir dir;
    dir.createFile("here/only-here", "x");
    dir.createFile("there/only-there", "x");
    const auto doc = dir.createFile("there/!ndex.htm", Cell("only-here", "H", "d") + "\r\n" +
                                                           Cell("only-there", "T", "d") + "\r\n");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir / "here");
    const IndexList list = ReadIndexDocument(doc);
    std::filesystem::current_path(previous);
    EXPECT_EQ(Targets(list), std::vector<std::string>{(dir / "there/only-there").string()});
}

TEST(ReadIndexDocument, UnreadableDocumentGivesNoRowsAndAReason)
{
    TestDir dir;
    dir.createFile("f", "x");
    dir.createDir("folder");
    for (const auto& doc : {dir / "missing.htm", dir / "folder"}) {
        const IndexList list = ReadIndexDocument(doc);
        EXPECT_EQ(list.status, IndexListStatus::Unreadable);
        EXPECT_TRUE(list.rows.empty());
        ASSERT_TRUE(list.error);
        EXPECT_NE(list.error->message.find(doc.string()), std::string::npos) << list.error->message;
    }
}

TEST(FindAndReadIndex, FindsTheDocumentToRead)
{
    TestDir dir;
    dir.createFile("a/file", "x");
    dir.createFile("a/!ndex.htm", Cell("file", "In A", "d") + "\r\n");
    dir.createFile("b/file", "x");
    dir.createFile("b/!ndex.htm", Cell("file", "In B", "d") + "\r\n");
    dir.createDir("empty");

    // Nothing named and nothing in the main window's folder: the Open dialog.
    IndexPathValue path;
    EXPECT_EQ(FindAndReadIndex(path, dir / "empty", dir / "a").status,
              IndexListStatus::OpenDialogNeeded);
    EXPECT_TRUE(path.empty());

    // Nothing named: the main window's folder's document, which is then kept.
    IndexList list = FindAndReadIndex(path, dir / "b", dir / "a");
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.rows[0].targetPath, (dir / "b/file").string());
    EXPECT_EQ(path.text(), (dir / "b/!ndex.htm").string());

    // The bare name the index build sets follows the process's current folder.
    path.set(std::string(kIndexDocumentName));
    list = FindAndReadIndex(path, dir / "b", dir / "a");
    ASSERT_EQ(list.rows.size(), 1u);
    EXPECT_EQ(list.document, dir / "a/!ndex.htm");
    EXPECT_NE(list.rows[0].displayText.find("In A"), std::string::npos);

    list = FindAndReadIndex(path, dir / "b", dir / "empty");
    EXPECT_EQ(list.status, IndexListStatus::Unreadable);
    EXPECT_TRUE(list.rows.empty());
}

TEST(ResolveIndexPath, RelativeValuesJoinTheCurrentFolder)
{
    EXPECT_EQ(ResolveIndexPath("", "/x"), std::filesystem::path());
    EXPECT_EQ(ResolveIndexPath("!ndex.htm", "/x/y"), "/x/y/!ndex.htm");
    EXPECT_EQ(ResolveIndexPath("sub/!ndex.htm", "/x"), "/x/sub/!ndex.htm");
    EXPECT_EQ(ResolveIndexPath("/abs/!ndex.htm", "/x"), "/abs/!ndex.htm");
    EXPECT_EQ(ResolveIndexPath("!ndex.htm", "/"), "/!ndex.htm");
}

// A folder that can be searched but not listed: past the first few rows, where a
// reader of many rows would read the folder's names in one go, each row is still
// tested by name. Run as an ordinary user, since root may list any folder.
TEST(ReadIndexDocument, FolderThatCannotBeListedIsTestedNameByName)
{
    TestDir dir;
    std::vector<IndexEntry> entries;
    for (int i = 0; i < 300; ++i) {
        const std::string name = "f" + std::to_string(i);
        if (i % 3 != 0)
            dir.createFile("idx/" + name, "x");
        entries.push_back({"2024/01/01 09:00:00", "T", name});
    }
    IndexDocumentHeader header;
    header.folder = (dir / "idx").string();
    header.pattern = "*.*";
    ASSERT_TRUE(WriteIndexDocument(dir / "idx", header, entries));
    ASSERT_EQ(::chmod(dir.path().c_str(), 0711), 0);
    ASSERT_EQ(::chmod((dir / "idx").c_str(), 0311), 0); // search, no reading
    ASSERT_EQ(::chmod((dir / "idx" / kIndexDocumentName).c_str(), 0644), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (test::RunningAsRoot() && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        const IndexList list = ReadIndexDocument(dir / "idx" / kIndexDocumentName);
        ::_exit(list.rows.size() == 200 && list.rows.back().targetPath.ends_with("/f299") ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ::chmod((dir / "idx").c_str(), 0755);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The rows' texts live in the list's own blocks: they stay put as the list grows
// past many blocks, when it is moved, and when rows are taken out of it.
TEST(WizardRows, TextsStayValidAsTheListGrowsMovesAndShrinks)
{
    WizardRows rows;
    std::vector<std::string> displays;
    std::vector<std::string> targets;
    // Some 12 MB, so that blocks of every size are taken, with a few texts
    // longer than the first blocks.
    for (int i = 0; i < 60000; ++i) {
        const std::size_t length = i % 5000 == 0 ? 100000 : 150 + i % 97;
        displays.push_back(std::string(length, static_cast<char>('a' + i % 26)) +
                           std::to_string(i));
        targets.push_back("/f/" + std::to_string(i));
        if (i % 2 == 0)
            rows.add(displays.back(), targets.back());
        else
            rows.add(displays.back(), "/f/", std::to_string(i));
    }
    WizardRows moved = std::move(rows);
    WizardRows kept;
    kept = std::move(moved);
    ASSERT_EQ(kept.size(), displays.size());
    for (std::size_t i = 0; i < displays.size(); ++i) {
        ASSERT_EQ(kept[i].displayText, displays[i]) << i;
        ASSERT_EQ(kept[i].targetPath, targets[i]) << i;
    }
    const std::size_t bytes = kept.bytes();
    EXPECT_GE(bytes, 12'000'000U);

    kept.remove({0, 2, 3, 59999});
    kept.erase(10, 20);
    std::vector<std::size_t> left;
    for (std::size_t i = 0; i < displays.size(); ++i) {
        if (i != 0 && i != 2 && i != 3 && i != 59999)
            left.push_back(i);
    }
    left.erase(left.begin() + 10, left.begin() + 20);
    ASSERT_EQ(kept.size(), left.size());
    for (std::size_t i = 0; i < left.size(); ++i)
        ASSERT_EQ(kept[i].targetPath, targets[left[i]]) << i;
    kept.clear();
    EXPECT_TRUE(kept.empty());
    EXPECT_EQ(kept.bytes(), 0U);
}

// Documents written by the index builder come back with the titles and dates it
// wrote, references decoded.
TEST(ReadIndexDocument, ReadsBackWhatTheIndexBuilderWrote)
{
    TestDir dir;
    const struct
    {
        std::string name;
        std::string label;
        std::string dateKey;
        std::string shown;
    } entries[] = {
        {"plain", "Fish & Chips", "2024/03/05 13:46:05", " 3/5/2024  1:46 pm       \tFish & Chips"},
        {"a b&c.gif", "       Image", "2024/12/12 11:46:00", "12/12/2024  11:46 am     \tImage"},
        {"say \"hi\"", "a < b > c", "2024/10/05 00:05:00", "10/5/2024  12:05 am      \ta < b > c"},
        {"100% sure", "&amp;amp; &lt;b&gt;", "2024/01/01 09:00:00",
         " 1/1/2024  9:00 am       \t& <b>"},
        {"q?x#y:z\\w\tv", "Odd name", "2024/01/01 09:00:00", " 1/1/2024  9:00 am       \tOdd name"},
        {"refs", "&#174; and &#153;", "2024/01/01 09:00:00",
         " 1/1/2024  9:00 am       \t\u00AE and &#153;"},
        {"apostrophe", "it&#8217;s", "2024/01/01 09:00:00", " 1/1/2024  9:00 am       \tits"},
        {"utf8", "Caf\u00E9 \u00FCber", "2024/01/01 09:00:00",
         " 1/1/2024  9:00 am       \tCaf\u00E9 \u00FCber"},
        {"cp1252", "Caf\xE9 \x80", "2024/01/01 09:00:00",
         " 1/1/2024  9:00 am       \tCaf\u00E9 \u20AC"},
        {"untitled", "      Untitled", "2024/01/01 09:00:00",
         " 1/1/2024  9:00 am       \tUntitled"},
    };
    std::vector<IndexEntry> written;
    std::vector<std::string> expectedRows;
    for (const auto& e : entries) {
        dir.createFile("cache/" + e.name, "x");
        written.push_back({e.dateKey, e.label, e.name});
        expectedRows.push_back(e.shown);
    }
    written.push_back({"2024/01/01 09:00:00", "Deleted since", "gone"});
    IndexDocumentHeader header;
    header.folder = (dir / "cache").string();
    header.pattern = "*.*";
    const Result<void> stored = WriteIndexDocument(dir / "cache", header, written);
    ASSERT_TRUE(stored) << stored.error().message;

    const IndexList list = ReadIndexDocument(dir / "cache" / kIndexDocumentName);
    ASSERT_EQ(list.status, IndexListStatus::Loaded);
    EXPECT_EQ(Displays(list), expectedRows);
    ASSERT_EQ(list.rows.size(), std::size(entries));
    for (std::size_t i = 0; i < list.rows.size(); ++i)
        EXPECT_EQ(list.rows[i].targetPath, (dir / "cache" / entries[i].name).string());
}

} // namespace
} // namespace tessaloom
