#include "indexer/indexdocument.h"

#include "indexer/entryline.h"
#include "platform/atomicfile.h"
#include "platform/textcodec.h"

#include <algorithm>
#include <array>
#include <charconv>

namespace tessaloom {

namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kSpacer = "&nbsp;&nbsp;&nbsp;|&nbsp;&nbsp;&nbsp;";
// Cells per table row.
constexpr std::size_t kCellsPerRow = 5;
// More entries than this get a link back to the top of the page.
constexpr std::size_t kReturnToTopThreshold = 25;

void Line(std::string& doc, std::string_view text)
{
    doc.append(text);
    doc.append(kCrLf);
}

bool ParseField(std::string_view s, int& value)
{
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && end == s.data() + s.size();
}

bool ParseDateKey(std::string_view key, LocalDateTime& dt)
{
    // "yyyy/mm/dd hh:nn:ss"
    if (key.size() != 19 || key[4] != '/' || key[7] != '/' || key[10] != ' ' || key[13] != ':' ||
        key[16] != ':')
        return false;
    return ParseField(key.substr(0, 4), dt.year) && ParseField(key.substr(5, 2), dt.month) &&
           ParseField(key.substr(8, 2), dt.day) && ParseField(key.substr(11, 2), dt.hour) &&
           ParseField(key.substr(14, 2), dt.minute) && ParseField(key.substr(17, 2), dt.second);
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Bytes written as "%XX" in a link: those that would end the link or the line or
// split the entry for the index reader ('"', ',', control bytes), "%" itself, and
// those that give a name another meaning in a web address: a scheme (":"), a query
// or fragment ("?", "#"), a reference ("&"), a folder ("\" to some browsers),
// markup ("<", ">").
constexpr bool EncodedInLink(char c)
{
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F)
        return true;
    switch (c) {
    case '"':
    case '#':
    case '%':
    case '&':
    case ',':
    case ':':
    case '<':
    case '>':
    case '?':
    case '\\':
        return true;
    default:
        return false;
    }
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    return AsciiLower(c) - 'a' + 10;
}

} // namespace

std::string MakeDateKey(const LocalDateTime& dt)
{
    const auto twoDigits = [](int v) { return v >= 0 && v <= 99; };
    if (dt.year < 1000 || dt.year > 9999 || !twoDigits(dt.month) || !twoDigits(dt.day) ||
        !twoDigits(dt.hour) || !twoDigits(dt.minute) || !twoDigits(dt.second)) {
        static const LocaleFormats kEnglishUs = LocaleFormats::EnglishUS();
        return FormatDateTimePicture(dt, "yyyy/MM/dd HH:mm:ss", kEnglishUs);
    }
    // Every file of a folder gets a key: the usual fixed-width case digit by digit.
    char key[] = "0000/00/00 00:00:00";
    const auto put = [&key](std::size_t end, int value, int digits) {
        for (int i = 0; i < digits; ++i, value /= 10)
            key[end - static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
    };
    put(3, dt.year, 4);
    put(6, dt.month, 2);
    put(9, dt.day, 2);
    put(12, dt.hour, 2);
    put(15, dt.minute, 2);
    put(18, dt.second, 2);
    return std::string(key, sizeof key - 1);
}

std::string DateTextFromKey(std::string_view dateKey, const LocaleFormats& formats)
{
    LocalDateTime dt;
    if (!ParseDateKey(dateKey, dt))
        return {};
    std::string time = FormatMediumTime(dt, formats);
    if (!time.empty() && time.front() == '0')
        time.erase(0, 1);
    return FormatShortDate(dt, formats) + "  " + AsciiLowered(time);
}

namespace {

void AppendLinkTarget(std::string& out, std::string_view fileName)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    // Runs of bytes that stay as they are go in at once: most names have none
    // to encode.
    std::size_t from = 0;
    // Looked up by byte: names are most of a page's bytes.
    static constexpr auto kEncoded = [] {
        std::array<bool, 256> table{};
        for (std::size_t b = 0; b < table.size(); ++b)
            table[b] = EncodedInLink(static_cast<char>(b));
        return table;
    }();
    for (std::size_t i = 0; i < fileName.size(); ++i) {
        const char c = fileName[i];
        if (!kEncoded[static_cast<unsigned char>(c)])
            continue;
        out.append(fileName, from, i - from);
        const auto b = static_cast<unsigned char>(c);
        const char encoded[3] = {'%', kHex[b >> 4], kHex[b & 0xF]};
        out.append(encoded, sizeof encoded);
        from = i + 1;
    }
    out.append(fileName, from, std::string_view::npos);
}

void AppendEscapedMarkup(std::string& out, std::string_view text)
{
    // A plain loop: find_first_of looks each byte up in its set with a call.
    std::size_t from = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '<' && text[at] != '>')
            continue;
        out.append(text, from, at - from);
        out += text[at] == '<' ? "&lt;" : "&gt;";
        from = at + 1;
    }
    out.append(text, from, std::string_view::npos);
}

} // namespace

std::string EncodeLinkTarget(std::string_view fileName)
{
    std::string out;
    out.reserve(fileName.size());
    AppendLinkTarget(out, fileName);
    return out;
}

std::string DecodeLinkTarget(std::string_view link)
{
    std::string out;
    out.reserve(link.size());
    for (std::size_t i = 0; i < link.size(); ++i) {
        if (link[i] == '%' && i + 2 < link.size() && IsHexDigit(link[i + 1]) &&
            IsHexDigit(link[i + 2])) {
            out += static_cast<char>(HexValue(link[i + 1]) * 16 + HexValue(link[i + 2]));
            i += 2;
        } else {
            out += link[i];
        }
    }
    return out;
}

std::string EscapeMarkup(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    AppendEscapedMarkup(out, text);
    return out;
}

std::string EscapeAddress(std::string_view url, std::size_t maxChars)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const bool cut = url.size() > maxChars;
    std::string out;
    out.reserve(url.size() + 16);
    for (const char c : url.substr(0, maxChars)) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case ',':
            out += "&#44;";
            break;
        default:
            if (b < 0x20 || b == 0x7F) {
                out += '%';
                out += kHex[b >> 4];
                out += kHex[b & 0xF];
            } else {
                out += c;
            }
        }
    }
    if (cut)
        out += "...";
    return out;
}

namespace {

// A record's address: in full (within reason) as the cell's tooltip, shortened in
// the small line the cell shows.
constexpr std::size_t kTooltipAddressChars = 2000;
constexpr std::size_t kShownAddressChars = 60;

// "<TD align=center" + the tooltip + the rest of the cell's opening tag.
void CellStart(std::string& line, std::string_view cellStart, const IndexEntry& entry)
{
    using namespace entryline;
    if (entry.url.empty()) {
        line += cellStart;
        return;
    }
    line += kPrefix;
    line += cellStart.substr(kPrefix.size(), cellStart.size() - kPrefix.size() - 1);
    line += " title=\"";
    line += EscapeAddress(entry.url, kTooltipAddressChars);
    line += "\">";
}

void AddressLine(std::string& line, const IndexEntry& entry)
{
    if (entry.url.empty())
        return;
    line += "<br><font size=-2>";
    line += EscapeAddress(entry.url, kShownAddressChars);
    line += "</font>";
}

} // namespace

// A record's title is text: "&" must show as itself, so it is written as a reference
// (which the index reader decodes back).
std::string EscapeText(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else
            out += c;
    }
    return EscapeMarkup(out);
}

namespace {

// Appends the cell line of `entry` (without CR LF), its date text already made.
void AppendEntryCell(std::string& line, const IndexEntry& entry, std::string_view date)
{
    using namespace entryline;
    const std::string_view title = TrimSpaces(entry.label);
    if (IEquals(title, "Image")) {
        CellStart(line, kPictureCellStart, entry);
        line += kLinkStart;
        line += '"';
        const std::size_t linkAt = line.size();
        AppendLinkTarget(line, entry.fileName);
        const std::size_t linkLength = line.size() - linkAt;
        line += kTargetEnd;
        line += kPictureLinkEnd;
        line += kImageMarker;
        line += '"';
        // The picture inside a record is drawn from its stored copy; the link
        // still names the record.
        if (entry.pictureSource.empty()) {
            line.append(line, linkAt, linkLength);
            line += kImageEnd;
        } else {
            line += EscapeAddress(entry.pictureSource, entry.pictureSource.size());
            line += kStoredImageEnd;
        }
        line += kLinkEnd;
        AddressLine(line, entry);
    } else {
        CellStart(line, kPageCellStart, entry);
        line += kLinkStart;
        line += '"';
        AppendLinkTarget(line, entry.fileName);
        line += '"';
        line += kTitleStart;
        if (entry.fromRecord)
            line += EscapeText(title);
        else
            AppendEscapedMarkup(line, title);
        line += kLinkEnd;
        AddressLine(line, entry);
        line += "<br>";
    }
    line += kDateStart;
    line += date;
    line += kDateEnd;
}

// The date texts of a page's cells. Entries come in date order and a cache's files
// come in bursts: one text serves every key of the same minute, as long as the
// short date shows no seconds (the time shown never does).
class DateTexts
{
public:
    explicit DateTexts(const LocaleFormats& formats)
        : m_formats(formats),
          m_keyChars(formats.shortDatePicture.find('s') == std::string::npos ? 16 : 19)
    {}

    const std::string& of(std::string_view dateKey)
    {
        // Only keys of the usual shape share a text: any other is made on its own.
        const bool usual = dateKey.size() == 19 && IsDigit(dateKey[17]) && IsDigit(dateKey[18]);
        if (!usual || !m_usual || dateKey.substr(0, m_keyChars) != m_key) {
            m_text = DateTextFromKey(dateKey, m_formats);
            m_key.assign(dateKey.substr(0, m_keyChars));
            m_usual = usual;
        }
        return m_text;
    }

private:
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }

    const LocaleFormats& m_formats;
    std::size_t m_keyChars;
    bool m_usual = false;
    std::string m_key;
    std::string m_text;
};

} // namespace

std::string EntryCellLine(const IndexEntry& entry, const LocaleFormats& formats)
{
    std::string line;
    line.reserve(160 + 2 * entry.fileName.size() + entry.label.size() + 2 * entry.url.size() +
                 entry.pictureSource.size());
    AppendEntryCell(line, entry, DateTextFromKey(entry.dateKey, formats));
    return line;
}

namespace {

// The page down to the first row's opening tag.
void EmitPageHead(const IndexDocumentHeader& header, std::size_t entryCount, bool utf8,
                  std::string& doc)
{
    const auto text = [utf8](std::string_view bytes) {
        return utf8 ? ToDisplayUtf8(bytes) : std::string(bytes);
    };
    // The folder and the pattern may hold any byte but "/" and NUL: markup in them
    // must show as text, as in titles.
    const std::string folderAndPattern = EscapeMarkup(text(header.folder + "/" + header.pattern));
    Line(doc, "<HTML>");
    Line(doc, "<HEAD>");
    if (utf8)
        Line(doc, "<meta charset=\"utf-8\">");
    Line(doc, "<TITLE>Index for " + folderAndPattern + "</TITLE>");
    Line(doc, "</HEAD>");
    Line(doc, "<A NAME=TOP>");
    Line(doc, "<BODY>");
    Line(doc, "<table width=750 align=center>");
    Line(doc, "<td>");
    Line(doc, "<table width=100% align=center cellspacing=0 cellpadding=3 border=0>");
    Line(doc, "<tr bgcolor=#CCFFCC>");
    Line(doc, "<td>");
    Line(doc, "<center><b><font face=arial size=-1>Index for: " + folderAndPattern +
                  "</font></b></center>");
    Line(doc, "<center><font face=arial size=-2>Created: " +
                  FormatGeneralDate(header.created, header.formats) + std::string(kSpacer) +
                  "Files Indexed: " + std::to_string(entryCount) + std::string(kSpacer) +
                  "Images Filtered: " + std::to_string(header.imagesFiltered) +
                  std::string(kSpacer) +
                  "Binary Files Filtered: " + std::to_string(header.binaryFiltered) +
                  std::string(kSpacer) + "Sorted by Date</font></center>");
    Line(doc, "</td>");
    Line(doc, "</tr>");
    Line(doc, "</table>");
    Line(doc, "<p>");
    Line(doc, "<table width=750 align=center cellspacing=1 cellpadding=3 border=1>");
    Line(doc, "<tr>");
}

// An entry's texts lie where the build made them, in the order of the files, so in
// the page's order each is a cache miss: asked for a few entries ahead, they arrive
// while the cells before them are written.
constexpr std::size_t kPrefetchAhead = 8;

void PrefetchTexts(const IndexEntry& entry)
{
    __builtin_prefetch(entry.dateKey.data());
    __builtin_prefetch(entry.label.data());
    __builtin_prefetch(entry.fileName.data());
}

// The entries' cells, five to a row, handed to `flush` as `doc` fills up.
template <typename Flush>
void EmitEntryCells(const IndexDocumentHeader& header, const std::vector<IndexEntry>& entries,
                    bool utf8, std::string& doc, std::size_t flushAt, Flush& flush)
{
    DateTexts dates(header.formats);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i + kPrefetchAhead < entries.size())
            PrefetchTexts(entries[i + kPrefetchAhead]);
        if (i > 0 && i % kCellsPerRow == 0) {
            Line(doc, "</tr>");
            Line(doc, "<tr>");
        }
        const IndexEntry& entry = entries[i];
        const std::string& date = dates.of(entry.dateKey);
        if (utf8 && !entry.fromRecord && !IsValidUtf8(entry.label)) {
            IndexEntry converted = entry;
            converted.label = ToDisplayUtf8(entry.label);
            AppendEntryCell(doc, converted, date);
        } else {
            AppendEntryCell(doc, entry, date);
        }
        doc += kCrLf;
        if (doc.size() >= flushAt) {
            flush(std::string_view(doc));
            doc.clear();
        }
    }
}

// The page from the last row's closing tag on.
void EmitPageFoot(std::size_t entryCount, std::string& doc)
{
    Line(doc, "</tr>");
    Line(doc, "</td>");
    Line(doc, "</table>");
    if (entryCount > kReturnToTopThreshold) {
        Line(doc, "<br>");
        Line(doc, "<center><a href=#TOP><font size=-1>RETURN TO TOP</font></A></center>");
        Line(doc, "<br>");
    }
    Line(doc, "<hr>");
    Line(doc, "<br>");
    Line(doc, "<center>");
    Line(doc, "<font face=arial size=+1>");
    Line(doc, "Created with the <i>Tessaloom</i>&#153;<br>Please visit our <A HREF=" +
                  std::string(kProductPageAddress) +
                  ">web site</a> for updates and information about other great software "
                  "products!");
    Line(doc, "</font>");
    Line(doc, "<center>");
    Line(doc, "</td>");
    Line(doc, "</table>");
    Line(doc, "<br>");
    Line(doc, "<br>");
    Line(doc, "<br>");
    Line(doc, "</BODY>");
    Line(doc, "</HTML>");
}

// Puts the document into `doc` line by line, handing it to `flush` (and emptying
// it) whenever it holds `flushAt` bytes or more; the rest stays in `doc`. A writer then keeps
// reusing one buffer's pages instead of touching a whole page's worth of fresh memory.
template <typename Flush>
void EmitIndexDocument(const IndexDocumentHeader& header, const std::vector<IndexEntry>& entries,
                       std::string& doc, std::size_t flushAt, Flush&& flush)
{
    // Titles read from records are UTF-8: the page then holds nothing else and
    // says so, so that no browser guesses its charset.
    const bool utf8 = std::any_of(entries.begin(), entries.end(),
                                  [](const IndexEntry& e) { return e.fromRecord; });
    EmitPageHead(header, entries.size(), utf8, doc);
    EmitEntryCells(header, entries, utf8, doc, flushAt, flush);
    EmitPageFoot(entries.size(), doc);
}

// Pieces of the page go to the file in writes of about this size.
constexpr std::size_t kPageWriteSize = 256 * 1024;

} // namespace

std::string BuildIndexDocument(const IndexDocumentHeader& header,
                               const std::vector<IndexEntry>& entries)
{
    std::string doc;
    doc.reserve(4096 + entries.size() * 256);
    EmitIndexDocument(header, entries, doc, std::string::npos, [](std::string_view) {});
    return doc;
}

Result<void> WriteIndexDocument(const std::filesystem::path& folder,
                                const IndexDocumentHeader& header,
                                const std::vector<IndexEntry>& entries)
{
    AtomicFile file(folder / std::string(kIndexDocumentName));
    Result<void> done = file.open();
    if (done) {
        std::string piece;
        piece.reserve(kPageWriteSize + 64 * 1024);
        EmitIndexDocument(header, entries, piece, kPageWriteSize, [&](std::string_view bytes) {
            if (done)
                done = file.write(bytes);
        });
        if (done)
            done = file.write(piece);
        if (done)
            done = file.commit();
    }
    return done;
}

} // namespace tessaloom
