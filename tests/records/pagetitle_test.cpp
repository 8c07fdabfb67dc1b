#include "indexer/records/pagetitle.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessaloom::records {
namespace {

// ASCII text as UTF-16LE bytes.
std::string Utf16le(std::string_view ascii)
{
    std::string out;
    for (char c : ascii) {
        out += c;
        out += '\0';
    }
    return out;
}

struct TitleCase
{
    const char* name;
    std::string headerCharset;
    std::string body;
    std::string title; // UTF-8
};

TEST(PageTitle, CharsetsTagFormsAndReferences)
{
    const std::string e = "\xC3\xA9"; // é in UTF-8
    const std::vector<TitleCase> cases = {
        // Which charset: header, then BOM, then <meta>, then UTF-8 when valid, else 1252.
        {"utf-8 undeclared", "", "<title>Caf" + e + "</title>", "Caf" + e},
        {"1252 undeclared", "", "<title>Caf\xE9 \x93q\x94</title>",
         "Caf" + e + " \xE2\x80\x9Cq\xE2\x80\x9D"},
        {"latin1 label reads as 1252", "iso-8859-1", "<title>\x80</title>", "\xE2\x82\xAC"},
        {"header beats meta", "windows-1252", "<meta charset=utf-8><title>Caf\xE9</title>",
         "Caf" + e},
        {"meta charset", "", "<meta charset=\"windows-1251\"><title>\xCC\xE8\xF0</title>",
         "\xD0\x9C\xD0\xB8\xD1\x80"},
        {"meta http-equiv", "",
         "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=Shift_JIS\">"
         "<title>\x93\xfa\x96\x7b</title>",
         "\xE6\x97\xA5\xE6\x9C\xAC"},
        {"shift_jis by header", "shift_jis", "<title>\x83\x65\x83\x58\x83\x67</title>",
         "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"},
        {"unknown label passed over", "no-such-thing", "<title>Caf" + e + "</title>", "Caf" + e},
        {"utf-16le bom", "", "\xFF\xFE" + Utf16le("<title>A") + "\x14\x20" + Utf16le("</title>"),
         "A\xE2\x80\x94"},
        {"utf-8 bom over meta", "",
         "\xEF\xBB\xBF<meta charset=windows-1252><title>" + e + "</title>", e},
        // Tag forms.
        {"attributes", "", "<title data-rh=\"true\">React</title>", "React"},
        {"not a title tag", "", "<titles>No</titles><h1 class=\"hero\">Hero</h1>", "Hero"},
        {"svg title skipped", "", "<svg><title>Icon</title></svg><TITLE lang=en>Real</TITLE>",
         "Real"},
        {"script and comment skipped", "",
         "<script>x='<title>js</title>'</script><!-- <title>c</title> --><title>Page</title>",
         "Page"},
        {"heading tags dropped", "", "<title> </title><h2><a href=x>Two</a> <b>words</b></h2>",
         "Two words"},
        {"h1 before h2 whatever the order", "", "<h2>Second</h2><h1>First</h1>", "First"},
        {"white space collapsed", "", "<title>\n  A \t\r\n B&nbsp; </title>", "A B"},
        {"none", "", "<p>no title</p>", ""},
        // References decoded before the cut; commas become blanks.
        {"references", "", "<title>Tom &amp; Jerry &#8212; &#x1F600; &eacute;&#150;&bogus;</title>",
         "Tom & Jerry \xE2\x80\x94 \xF0\x9F\x98\x80 " + e + "\xE2\x80\x93&bogus;"},
        {"commas", "", "<title>a,b</title>", "a b"},
        {"90 shown characters stay", "", "<title>" + std::string(89, 'a') + "&amp;</title>",
         std::string(89, 'a') + "&"},
        {"91 are cut to 87 and dots", "",
         "<title>" + std::string(86, 'a') + "&eacute;&eacute;&eacute;&eacute;&eacute;</title>",
         std::string(86, 'a') + e + "..."},
        {"cut counts characters, not bytes", "",
         "<title>" +
             [] {
                 std::string s;
                 for (int i = 0; i < 95; ++i)
                     s += "\xD0\x96";
                 return s;
             }() +
             "</title>",
         [] {
             std::string s;
             for (int i = 0; i < 87; ++i)
                 s += "\xD0\x96";
             return s + "...";
         }()},
    };
    for (const TitleCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PageTitle(c.body, c.headerCharset), c.title);
    }
}

TEST(PageTitle, CharsetParameterAndSettling)
{
    EXPECT_EQ(CharsetParameter("text/html; Charset=\"Shift_JIS\""), "shift_jis");
    EXPECT_EQ(CharsetParameter("text/html;charset=utf-8;x=y"), "utf-8");
    EXPECT_EQ(CharsetParameter("text/html"), "");
    EXPECT_TRUE(PageTitleIsSettled("<title>x</title>"));
    EXPECT_FALSE(PageTitleIsSettled("<title>x</tit"));
    EXPECT_FALSE(PageTitleIsSettled("<title> </title><h1>y</h1>"));
    EXPECT_FALSE(PageTitleIsSettled("<svg><title>x</title></svg>"));
    // A byte that is not a character becomes U+FFFD, and conversion goes on.
    EXPECT_EQ(ConvertToUtf8("a\xFF"
                            "b",
                            "UTF-8"),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_FALSE(ConvertToUtf8("a", "NO-SUCH-ENCODING"));
}

} // namespace
} // namespace tessaloom::records
