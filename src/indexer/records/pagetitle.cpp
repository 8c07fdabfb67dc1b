#include "indexer/records/pagetitle.h"

#include "platform/textcodec.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <utility>

namespace tessaloom::records {

namespace {

constexpr std::size_t kShownTitleChars = 90;
constexpr std::size_t kCutTitleChars = 87;
// Where a browser looks for a <meta> charset before it starts to parse.
constexpr std::size_t kMetaPrescanBytes = 4096;
// A title is a line of text: a longer one is cut anyway, so no more is converted.
constexpr std::size_t kTitleSliceBytes = 64 * 1024;

void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool IsAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool IsLabelChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == ':';
}

// Browsers' names for the labels pages use, where iconv's differ or where a
// browser reads a label as a larger encoding (the WHATWG encoding table).
constexpr std::array<std::pair<std::string_view, std::string_view>, 24> kLabels = {{
    {"utf8", "UTF-8"},
    {"unicode-1-1-utf-8", "UTF-8"},
    {"iso-8859-1", "WINDOWS-1252"},
    {"iso8859-1", "WINDOWS-1252"},
    {"latin1", "WINDOWS-1252"},
    {"l1", "WINDOWS-1252"},
    {"us-ascii", "WINDOWS-1252"},
    {"ascii", "WINDOWS-1252"},
    {"cp1252", "WINDOWS-1252"},
    {"x-cp1252", "WINDOWS-1252"},
    {"iso-8859-9", "WINDOWS-1254"},
    {"latin5", "WINDOWS-1254"},
    {"shift_jis", "CP932"},
    {"shift-jis", "CP932"},
    {"sjis", "CP932"},
    {"x-sjis", "CP932"},
    {"ms_kanji", "CP932"},
    {"windows-31j", "CP932"},
    {"gb2312", "GBK"},
    {"x-gbk", "GBK"},
    {"euc-kr", "CP949"},
    {"ks_c_5601-1987", "CP949"},
    {"big5", "BIG5-HKSCS"},
    {"tis-620", "CP874"},
}};

bool IconvKnows(const std::string& name)
{
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(cd);
    return true;
}

// The iconv name of a charset label, or empty when it names nothing iconv has.
std::string EncodingOfLabel(std::string_view label)
{
    const std::string lower = AsciiLowered(TrimBlanksAndTabs(label));
    if (lower.empty() || !std::all_of(lower.begin(), lower.end(), IsLabelChar))
        return {};
    for (const auto& [from, to] : kLabels) {
        if (lower == from)
            return std::string(to);
    }
    std::string name = AsciiUppered(lower);
    return IconvKnows(name) ? name : std::string();
}

bool IsUtf16Or32(std::string_view encoding)
{
    return encoding.starts_with("UTF-16") || encoding.starts_with("UTF-32") ||
           encoding.starts_with("UCS-");
}

// Encodings in which "<", ">" and tag names are not plain ASCII bytes: the page is
// converted whole before it is searched.
bool IsAsciiCompatible(std::string_view encoding)
{
    return !IsUtf16Or32(encoding) && !encoding.starts_with("ISO-2022") &&
           !encoding.starts_with("UTF-7");
}

// The value after "charset" in one tag or header text: "charset = 'x'", quoted or
// not; empty when there is none.
std::string CharsetAfterKeyword(std::string_view text)
{
    for (std::size_t at = IFind(text, "charset"); at != std::string_view::npos;
         at = IFind(text, "charset", at + 1)) {
        std::size_t p = at + 7;
        while (p < text.size() && IsAsciiSpace(text[p]))
            ++p;
        if (p >= text.size() || text[p] != '=')
            continue;
        ++p;
        while (p < text.size() && IsAsciiSpace(text[p]))
            ++p;
        if (p < text.size() && (text[p] == '"' || text[p] == '\''))
            ++p;
        const std::size_t begin = p;
        while (p < text.size() && IsLabelChar(text[p]))
            ++p;
        if (p > begin)
            return AsciiLowered(text.substr(begin, p - begin));
    }
    return {};
}

// The first <meta> charset among the first bytes, as an iconv name.
std::string MetaEncoding(std::string_view body)
{
    const std::string_view head = body.substr(0, kMetaPrescanBytes);
    for (std::size_t at = IFind(head, "<meta"); at != std::string_view::npos;
         at = IFind(head, "<meta", at + 5)) {
        const std::size_t end = head.find('>', at);
        const std::string_view tag =
            head.substr(at, end == std::string_view::npos ? head.size() - at : end - at);
        const std::string label = CharsetAfterKeyword(tag);
        if (label.empty())
            continue;
        std::string encoding = EncodingOfLabel(label);
        // A page that says it is UTF-16 in ASCII bytes is not: browsers read UTF-8.
        if (IsUtf16Or32(encoding))
            encoding = "UTF-8";
        if (!encoding.empty())
            return encoding;
    }
    return {};
}

// Valid UTF-8, allowing a character cut off at the end of a prefix.
bool LooksLikeUtf8(std::string_view body)
{
    if (IsValidUtf8(body))
        return true;
    std::size_t i = body.size();
    std::size_t continuations = 0;
    while (i > 0 && continuations < 3 && (static_cast<unsigned char>(body[i - 1]) & 0xC0) == 0x80) {
        --i;
        ++continuations;
    }
    if (i == 0)
        return false;
    const auto lead = static_cast<unsigned char>(body[i - 1]);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    if (length <= continuations + 1)
        return false; // the last character is whole, so the fault lies elsewhere
    return IsValidUtf8(body.substr(0, i - 1));
}

struct NamedReference
{
    std::string_view name;
    std::uint32_t cp;
};

// The references pages use in titles; the rest of the browsers' table is rare.
constexpr std::array<NamedReference, 70> kNamed = {{
    {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
    {"nbsp", 0xA0},    {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122}, {"hellip", 0x2026},
    {"mdash", 0x2014}, {"ndash", 0x2013}, {"laquo", 0xAB},   {"raquo", 0xBB},   {"lsquo", 0x2018},
    {"rsquo", 0x2019}, {"sbquo", 0x201A}, {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"bdquo", 0x201E},
    {"middot", 0xB7},  {"bull", 0x2022},  {"euro", 0x20AC},  {"pound", 0xA3},   {"yen", 0xA5},
    {"cent", 0xA2},    {"deg", 0xB0},     {"sect", 0xA7},    {"para", 0xB6},    {"times", 0xD7},
    {"divide", 0xF7},  {"plusmn", 0xB1},  {"frac12", 0xBD},  {"iexcl", 0xA1},   {"iquest", 0xBF},
    {"szlig", 0xDF},   {"agrave", 0xE0},  {"aacute", 0xE1},  {"acirc", 0xE2},   {"atilde", 0xE3},
    {"auml", 0xE4},    {"aring", 0xE5},   {"aelig", 0xE6},   {"ccedil", 0xE7},  {"egrave", 0xE8},
    {"eacute", 0xE9},  {"ecirc", 0xEA},   {"euml", 0xEB},    {"igrave", 0xEC},  {"iacute", 0xED},
    {"icirc", 0xEE},   {"iuml", 0xEF},    {"ntilde", 0xF1},  {"ograve", 0xF2},  {"oacute", 0xF3},
    {"ocirc", 0xF4},   {"otilde", 0xF5},  {"ouml", 0xF6},    {"oslash", 0xF8},  {"ugrave", 0xF9},
    {"uacute", 0xFA},  {"ucirc", 0xFB},   {"uuml", 0xFC},    {"yacute", 0xFD},  {"Agrave", 0xC0},
    {"Aacute", 0xC1},  {"Auml", 0xC4},    {"Eacute", 0xC9},  {"Ouml", 0xD6},    {"Uuml", 0xDC},
}};

// Numeric references 128..159 name windows-1252 characters, as browsers read them.
std::uint32_t NumericReferenceCodePoint(std::uint32_t cp)
{
    if (cp >= 0x80 && cp <= 0x9F) {
        const std::string c = Windows1252ToUtf8(static_cast<unsigned char>(cp));
        // Back from UTF-8: at most three bytes.
        const auto b = [&](std::size_t i) { return static_cast<unsigned char>(c[i]) & 0x3Fu; };
        if (c.size() == 3)
            return ((static_cast<unsigned char>(c[0]) & 0x0Fu) << 12) | (b(1) << 6) | b(2);
        if (c.size() == 2)
            return ((static_cast<unsigned char>(c[0]) & 0x1Fu) << 6) | b(1);
    }
    return cp;
}

// One reference at text[at] ('&'), appended to `out`; the bytes it took, 0 when
// it is no reference.
std::size_t DecodeOneReference(std::string_view text, std::size_t at, std::string& out)
{
    std::size_t p = at + 1;
    if (p < text.size() && text[p] == '#') {
        ++p;
        const bool hex = p < text.size() && (text[p] == 'x' || text[p] == 'X');
        if (hex)
            ++p;
        const std::size_t digits = p;
        std::uint32_t cp = 0;
        for (; p < text.size(); ++p) {
            const char c = text[p];
            int d = -1;
            if (c >= '0' && c <= '9')
                d = c - '0';
            else if (hex && AsciiLower(c) >= 'a' && AsciiLower(c) <= 'f')
                d = AsciiLower(c) - 'a' + 10;
            if (d < 0)
                break;
            cp = std::min<std::uint32_t>(cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(d),
                                         0x110000);
        }
        if (p == digits)
            return 0;
        if (p < text.size() && text[p] == ';')
            ++p;
        AppendUtf8(out, NumericReferenceCodePoint(cp));
        return p - at;
    }
    std::size_t end = p;
    while (end < text.size() && end - p < 10 &&
           ((text[end] >= 'a' && text[end] <= 'z') || (text[end] >= 'A' && text[end] <= 'Z') ||
            (text[end] >= '0' && text[end] <= '9')))
        ++end;
    if (end >= text.size() || text[end] != ';')
        return 0;
    const std::string_view name = text.substr(p, end - p);
    for (const NamedReference& ref : kNamed) {
        if (ref.name == name) {
            AppendUtf8(out, ref.cp);
            return end + 1 - at;
        }
    }
    return 0;
}

// Runs of white space (no-break spaces included, as a tab strip shows them) become
// one blank; blanks at either end go.
std::string CollapseSpaces(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    bool pendingSpace = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool nbsp = text.substr(i).starts_with("\xC2\xA0");
        if (IsAsciiSpace(text[i]) || nbsp) {
            pendingSpace = !out.empty();
            i += nbsp ? 1 : 0;
            continue;
        }
        if (pendingSpace)
            out += ' ';
        pendingSpace = false;
        out += text[i];
    }
    return out;
}

std::string WithoutTags(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '<') {
            const std::size_t end = text.find('>', i);
            if (end == std::string_view::npos)
                break;
            out += ' ';
            i = end;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Where the title and the headings are in a page of ASCII-compatible bytes.
struct Span
{
    std::size_t begin = std::string_view::npos;
    std::size_t end = std::string_view::npos; // the end tag's '<'; npos until found
};

struct PageTags
{
    Span title;
    std::array<Span, 6> headings;
    bool titleSettled = false; // a non-empty title with its end tag
};

std::string_view SpanText(std::string_view page, const Span& span)
{
    if (span.begin == std::string_view::npos || span.end == std::string_view::npos)
        return {};
    return page.substr(span.begin, span.end - span.begin);
}

bool HasVisibleText(std::string_view text)
{
    return std::any_of(text.begin(), text.end(), [](char c) { return !IsAsciiSpace(c); });
}

// The name of the tag whose name starts at `at`: letters and digits, lower case.
std::string TagNameAt(std::string_view page, std::size_t at)
{
    std::string name;
    while (at < page.size() && name.size() < 10 &&
           ((page[at] >= 'a' && page[at] <= 'z') || (page[at] >= 'A' && page[at] <= 'Z') ||
            (page[at] >= '0' && page[at] <= '9')))
        name += AsciiLower(page[at++]);
    // A name goes on to a blank, "/" or ">"; anything else ("<titles") is another.
    if (at < page.size() && !IsAsciiSpace(page[at]) && page[at] != '/' && page[at] != '>')
        return {};
    return name;
}

// The first "</name" at or after `from` that ends a tag name, or npos.
std::size_t FindEndTag(std::string_view page, std::string_view name, std::size_t from)
{
    const std::string needle = "</" + std::string(name);
    for (std::size_t at = IFind(page, needle, from); at != std::string_view::npos;
         at = IFind(page, needle, at + 1)) {
        if (TagNameAt(page, at + 2) == name)
            return at;
    }
    return std::string_view::npos;
}

// One pass over a page's tags, as a browser would see them: comments, raw text and
// the insides of pictures drawn in SVG hide what looks like a title there.
class PageTagScan
{
public:
    explicit PageTagScan(std::string_view page) : m_page(page) {}

    PageTags run()
    {
        while (m_pos < m_page.size() && step()) {
        }
        return m_tags;
    }

private:
    // Reads through the next tag or comment; false when nothing after it counts.
    bool step()
    {
        const std::size_t lt = m_page.find('<', m_pos);
        if (lt == std::string_view::npos)
            return false;
        if (m_page.substr(lt).starts_with("<!--")) {
            const std::size_t end = m_page.find("-->", lt + 4);
            if (end == std::string_view::npos)
                return false;
            m_pos = end + 3;
            return true;
        }
        const bool closing = lt + 1 < m_page.size() && m_page[lt + 1] == '/';
        const std::size_t nameAt = lt + (closing ? 2 : 1);
        const std::string name = TagNameAt(m_page, nameAt);
        if (name.empty()) {
            m_pos = lt + 1;
            return true;
        }
        const std::size_t tagEnd = m_page.find('>', nameAt);
        if (tagEnd == std::string_view::npos)
            return false;
        m_pos = tagEnd + 1;
        if (closing) {
            closeTag(name, lt);
            return true;
        }
        return openTag(name, tagEnd);
    }

    // The heading level 0..5 of "h1".."h6"; npos for any other name.
    static std::size_t HeadingLevel(const std::string& name)
    {
        const bool heading = name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
        return heading ? static_cast<std::size_t>(name[1] - '1') : std::string_view::npos;
    }

    void closeTag(const std::string& name, std::size_t lt)
    {
        const std::size_t level = HeadingLevel(name);
        if (name == "svg" && m_svgDepth > 0)
            --m_svgDepth;
        else if (level != std::string_view::npos &&
                 m_tags.headings[level].begin != std::string_view::npos &&
                 m_tags.headings[level].end == std::string_view::npos)
            m_tags.headings[level].end = lt;
    }

    bool openTag(const std::string& name, std::size_t tagEnd)
    {
        // Raw text: what looks like tags inside is not.
        if (name == "script" || name == "style" || name == "textarea" || name == "xmp") {
            const std::size_t end = FindEndTag(m_page, name, m_pos);
            if (end == std::string_view::npos)
                return false;
            m_pos = end;
            return true;
        }
        if (name == "svg") {
            if (m_page[tagEnd - 1] != '/')
                ++m_svgDepth;
            return true;
        }
        if (name == "title" && m_svgDepth == 0 && m_tags.title.begin == std::string_view::npos) {
            m_tags.title.begin = m_pos;
            // The title's text runs to its end tag, whatever it holds.
            m_tags.title.end = FindEndTag(m_page, "title", m_pos);
            if (m_tags.title.end == std::string_view::npos)
                return false;
            if (HasVisibleText(SpanText(m_page, m_tags.title))) {
                m_tags.titleSettled = true;
                return false;
            }
            m_pos = m_tags.title.end;
            return true;
        }
        const std::size_t level = HeadingLevel(name);
        if (level != std::string_view::npos &&
            m_tags.headings[level].begin == std::string_view::npos)
            m_tags.headings[level].begin = m_pos;
        return true;
    }

    std::string_view m_page;
    PageTags m_tags;
    int m_svgDepth = 0;
    std::size_t m_pos = 0;
};

PageTags LocatePageTags(std::string_view page)
{
    return PageTagScan(page).run();
}

std::string ShownText(std::string_view raw, const std::string& encoding, bool dropTags)
{
    raw = raw.substr(0, kTitleSliceBytes);
    std::string utf8;
    if (encoding == "UTF-8") {
        utf8 = ToDisplayUtf8(raw);
    } else if (auto converted = ConvertToUtf8(raw, encoding)) {
        utf8 = std::move(*converted);
    } else {
        utf8 = ToDisplayUtf8(raw);
    }
    if (dropTags)
        utf8 = WithoutTags(utf8);
    return CollapseSpaces(DecodeCharacterReferences(utf8));
}

std::string CutAndClean(std::string title)
{
    if (CharCount(title) > kShownTitleChars)
        title = std::string(FirstChars(title, kCutTitleChars)) + "...";
    std::replace(title.begin(), title.end(), ',', ' ');
    return title;
}

} // namespace

std::string CharsetParameter(std::string_view contentType)
{
    const std::size_t semicolon = contentType.find(';');
    if (semicolon == std::string_view::npos)
        return {};
    return CharsetAfterKeyword(contentType.substr(semicolon));
}

std::string DetectPageEncoding(std::string_view headerCharset, std::string_view body)
{
    if (!headerCharset.empty()) {
        std::string encoding = EncodingOfLabel(headerCharset);
        if (!encoding.empty())
            return encoding;
    }
    if (body.starts_with("\xEF\xBB\xBF"))
        return "UTF-8";
    if (body.starts_with("\xFF\xFE"))
        return "UTF-16LE";
    if (body.starts_with("\xFE\xFF"))
        return "UTF-16BE";
    std::string meta = MetaEncoding(body);
    if (!meta.empty())
        return meta;
    return LooksLikeUtf8(body) ? "UTF-8" : "WINDOWS-1252";
}

std::optional<std::string> ConvertToUtf8(std::string_view bytes, const std::string& encoding)
{
    iconv_t cd = iconv_open("UTF-8", encoding.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out;
    std::array<char, 4096> chunk{};
    // iconv's input is char* without const by its old signature; it is not written.
    char* in = const_cast<char*>(bytes.data());
    std::size_t inLeft = bytes.size();
    while (true) {
        char* to = chunk.data();
        std::size_t toLeft = chunk.size();
        const std::size_t done = iconv(cd, inLeft > 0 ? &in : nullptr, &inLeft, &to, &toLeft);
        out.append(chunk.data(), chunk.size() - toLeft);
        if (done != static_cast<std::size_t>(-1)) {
            if (inLeft == 0)
                break;
            continue;
        }
        if (errno == E2BIG)
            continue;
        // Not a character, or one cut off at the end: one replacement, one byte on.
        out += "\xEF\xBF\xBD";
        if (inLeft == 0)
            break;
        ++in;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (inLeft == 0)
            break;
    }
    iconv_close(cd);
    return out;
}

std::string DecodeCharacterReferences(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '&') {
            if (const std::size_t used = DecodeOneReference(text, i, out)) {
                i += used;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

std::string PageTitle(std::string_view body, std::string_view headerCharset)
{
    std::string encoding = DetectPageEncoding(headerCharset, body);
    std::string converted;
    if (!IsAsciiCompatible(encoding)) {
        auto whole = ConvertToUtf8(body, encoding);
        if (!whole)
            return {};
        converted = std::move(*whole);
        body = converted;
        encoding = "UTF-8";
    }
    const PageTags tags = LocatePageTags(body);
    std::string title = ShownText(SpanText(body, tags.title), encoding, false);
    for (std::size_t level = 0; title.empty() && level < tags.headings.size(); ++level)
        title = ShownText(SpanText(body, tags.headings[level]), encoding, true);
    return CutAndClean(std::move(title));
}

bool PageTitleIsSettled(std::string_view body)
{
    return LocatePageTags(body).titleSettled;
}

} // namespace tessaloom::records
