#include "wizard/indexreader.h"

#include "indexer/entryline.h"
#include "indexer/indexdocument.h"
#include "platform/readfile.h"
#include "platform/replacealltext.h"
#include "platform/textcodec.h"
#include "wizard/indexfolder.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace tessaloom {

namespace {

constexpr std::size_t kDateColumnWidth = 25;
constexpr std::size_t kReadChunk = 64 * 1024;

// Finds the comma, CR and LF of one piece in turn. Each kind is searched ahead
// once and kept until passed, so a piece full of commas is still scanned in
// linear time.
class SeparatorFinder
{
public:
    explicit SeparatorFinder(std::string_view bytes) : m_bytes(bytes) {}

    /// The first separator at or after `from`, or the end of the piece.
    std::size_t next(std::size_t from)
    {
        return std::min(
            {ahead(m_lf, '\n', from), ahead(m_comma, ',', from), ahead(m_cr, '\r', from)});
    }

private:
    std::size_t ahead(std::size_t& cached, char separator, std::size_t from)
    {
        if (cached == kUnknown || (cached < from && cached != m_bytes.size())) {
            const void* hit = std::memchr(m_bytes.data() + from, separator, m_bytes.size() - from);
            cached = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - m_bytes.data())
                         : m_bytes.size();
        }
        return cached;
    }

    static constexpr std::size_t kUnknown = static_cast<std::size_t>(-1);
    std::string_view m_bytes;
    std::size_t m_lf = kUnknown;
    std::size_t m_comma = kUnknown;
    std::size_t m_cr = kUnknown;
};

// The named references, replaced in this order.
constexpr std::pair<std::string_view, std::string_view> kNamedReferences[] = {
    {"&nbsp;", " "},     {"&lt;", "<"},        {"&gt;", ">"},
    {"&amp;", "&"},      {"&cent;", "\u00A2"}, {"&deg;", "\u00B0"},
    {"&reg;", "\u00AE"}, {"&copy;", "\u00A9"}, {"&quot;", "\""},
};
constexpr std::size_t kAmpIndex = 3;

// Bit i set when `text` holds the named reference i, letter case ignored: one pass
// over the "&"s, where a replace-all per reference would search the whole text.
unsigned NamedReferencesIn(std::string_view text)
{
    unsigned found = 0;
    for (std::size_t at = text.find('&'); at != std::string_view::npos;
         at = text.find('&', at + 1)) {
        const std::string_view rest = text.substr(at);
        if (rest.size() < 4)
            break;
        const char second = AsciiLower(rest[1]);
        for (std::size_t i = 0; i < std::size(kNamedReferences); ++i) {
            const std::string_view reference = kNamedReferences[i].first;
            if (reference[1] == second && IStartsWith(rest, reference))
                found |= 1U << i;
        }
    }
    return found;
}

// -1 unless `digits` is a decimal number from 0 to 255.
int SmallDecimal(std::string_view digits)
{
    if (digits.empty())
        return -1;
    int value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return -1;
        value = value * 10 + (c - '0');
        if (value > 255)
            return -1;
    }
    return value;
}

void DecodeFirstNumericReference(std::string& title)
{
    const std::size_t start = title.find("&#");
    if (start == std::string::npos)
        return;
    const std::size_t semicolon = title.find(';', start);
    if (semicolon == std::string::npos)
        return;
    const std::string reference = title.substr(start, semicolon - start + 1);
    const int code = SmallDecimal(std::string_view(reference).substr(2, reference.size() - 3));
    // "&#0;" goes like a reference that is no character: a NUL would cut the row
    // short wherever it is shown.
    const std::string character =
        code <= 0 ? std::string() : Windows1252ToUtf8(static_cast<unsigned char>(code));
    ReplaceAllText(title, reference, character);
}

// Turns the fields of a document into rows, until the rows grow too large. The
// files are tested a batch at a time: the batch's tests are announced first
// (`ahead`), so that a lookup table can have their places fetched from memory
// together rather than waiting on each in turn.
class RowCollector
{
public:
    using NameFn = std::function<bool(std::string_view)>;
    using AheadFn = std::function<void(std::string_view)>;

    RowCollector(IndexList& list, const std::filesystem::path& folder, const NameFn& holdsFile,
                 AheadFn ahead = {})
        : m_list(list), m_prefix(FolderPrefix(folder)), m_holdsFile(holdsFile),
          m_ahead(std::move(ahead))
    {}

    bool full() const { return m_full; }

    void examine(std::string_view field)
    {
        if (m_full)
            return;
        EntryLineFields fields;
        if (!CutEntryLine(field, fields))
            return;
        std::string decodedName;
        std::string_view name = fields.target;
        if (name.find('%') != std::string_view::npos) {
            decodedName = DecodeLinkTarget(name);
            name = decodedName;
        }
        if (!IsPlainFileName(name) || name.front() == '.')
            return;
        WizardRow row;
        // Most titles hold no reference and are valid UTF-8: they are shown as
        // written, without a decoded copy of their own.
        const std::string_view trimmed = TrimSpaces(fields.title);
        if (fields.image)
            row.displayText = MakeDisplayText(fields.dateText, "Image");
        else if (trimmed.find('&') == std::string_view::npos && IsValidUtf8(trimmed))
            row.displayText = MakeDisplayText(fields.dateText, trimmed);
        else
            row.displayText = MakeDisplayText(fields.dateText, DecodeTitle(fields.title));
        row.targetPath.reserve(m_prefix.size() + name.size());
        row.targetPath = m_prefix;
        row.targetPath += name;
        m_pending.push_back(std::move(row));
        if (m_pending.size() >= kBatch)
            settle();
    }

    /// Tests the rows still waiting; called before the list is handed out.
    void settle()
    {
        if (m_ahead) {
            for (const WizardRow& row : m_pending)
                m_ahead(std::string_view(row.targetPath).substr(m_prefix.size()));
        }
        for (WizardRow& row : m_pending) {
            if (m_full)
                break; // the rows after the one that filled the list are not taken
            if (!m_holdsFile(std::string_view(row.targetPath).substr(m_prefix.size())))
                continue;
            m_bytes += row.displayText.size() + row.targetPath.size() + sizeof(WizardRow);
            m_list.rows.push_back(std::move(row));
            if (m_bytes >= kMaxIndexListBytes) {
                m_full = true;
                m_list.end = IndexReadEnd::SizeLimit;
            }
        }
        m_pending.clear();
    }

private:
    static constexpr std::size_t kBatch = 16;

    IndexList& m_list;
    const std::string m_prefix;
    const NameFn& m_holdsFile;
    const AheadFn m_ahead;
    std::vector<WizardRow> m_pending;
    std::size_t m_bytes = 0;
    bool m_full = false;
};

IndexList Unreadable(IndexList& list, std::string_view reason)
{
    list.status = IndexListStatus::Unreadable;
    list.rows.clear();
    list.error = list.document.string() + ": " + std::string(reason);
    return std::move(list);
}

} // namespace

bool CutLinkTarget(std::string_view line, std::string_view& target)
{
    using namespace entryline;
    const std::size_t link = line.find(kLinkStart);
    if (link == std::string_view::npos)
        return false;
    const std::size_t targetStart = link + kTargetOffset;
    const std::size_t targetEnd = line.find(kTargetEnd);
    if (targetEnd == std::string_view::npos || targetEnd < targetStart)
        return false;
    target = line.substr(targetStart, targetEnd - targetStart);
    return true;
}

bool CutEntryLine(std::string_view line, EntryLineFields& fields)
{
    using namespace entryline;
    if (!line.starts_with(kPrefix))
        return false;
    std::string_view target;
    if (!CutLinkTarget(line, target))
        return false;
    const std::size_t targetEnd =
        static_cast<std::size_t>(target.data() - line.data()) + target.size();

    // The later markers are looked for only after the target: a file name may
    // hold blanks, "<" and ">", and so the text of a marker, which must not be
    // taken for the real one that follows it.
    const std::size_t afterTarget = targetEnd + 1;
    fields.image = line.find(kImageMarker, afterTarget) != std::string_view::npos;
    std::size_t searchFrom = afterTarget;
    if (!fields.image) {
        const std::size_t titleMarker = line.find(kTitleStart, afterTarget);
        if (titleMarker == std::string_view::npos)
            return false;
        const std::size_t titleStart = titleMarker + kTitleStart.size();
        const std::size_t titleEnd = line.find(kLinkEnd, titleStart);
        if (titleEnd == std::string_view::npos)
            return false;
        fields.title = TrimSpaces(line.substr(titleStart, titleEnd - titleStart));
        searchFrom = titleEnd + kLinkEnd.size();
    } else {
        fields.title = {};
    }
    const std::size_t dateMarker = line.find(kDateStart, searchFrom);
    if (dateMarker == std::string_view::npos)
        return false;
    const std::size_t dateStart = dateMarker + kDateStart.size();
    const std::size_t dateEnd = line.find(kDateEnd, dateStart);
    if (dateEnd == std::string_view::npos)
        return false;
    fields.target = target;
    fields.dateText = line.substr(dateStart, dateEnd - dateStart);
    return true;
}

std::string DecodeTitle(std::string_view rawTitle)
{
    // Decoding for display first is safe because every reference is plain ASCII,
    // and it lets the references put in their characters already as UTF-8.
    std::string title = ToDisplayUtf8(TrimSpaces(rawTitle));
    if (title.find('&') == std::string::npos)
        return title;
    // Replacing a reference by its character never makes a new one, except for
    // the "&" that "&amp;" leaves, so the references are looked for again only then.
    unsigned present = NamedReferencesIn(title);
    for (std::size_t i = 0; i < std::size(kNamedReferences); ++i) {
        if ((present & (1U << i)) == 0)
            continue;
        ReplaceAllText(title, kNamedReferences[i].first, kNamedReferences[i].second);
        if (i == kAmpIndex)
            present = NamedReferencesIn(title);
    }
    DecodeFirstNumericReference(title);
    return title;
}

std::string MakeDisplayText(std::string_view rawDateText, std::string_view decodedTitle)
{
    std::string text;
    text.reserve(kDateColumnWidth + 1 + decodedTitle.size());
    std::string decoded;
    std::string_view date = rawDateText;
    std::size_t width = date.size(); // the usual date text is ASCII: a byte a character
    if (!std::all_of(date.begin(), date.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        if (!IsValidUtf8(date)) {
            decoded = ToDisplayUtf8(date);
            date = decoded;
        }
        width = CharCount(date);
    }
    if (width == 17) {
        text += ' ';
        ++width;
    }
    text += date;
    if (width < kDateColumnWidth)
        text.append(kDateColumnWidth - width, ' ');
    text += '\t';
    text += decodedTitle;
    return text;
}

bool IndexFieldSplitter::feed(std::string_view bytes, const FieldFn& onField)
{
    SeparatorFinder separators(bytes);
    std::size_t i = 0;
    while (i < bytes.size() && !m_limitReached) {
        const std::size_t j = separators.next(i);
        if (j == bytes.size()) {
            // The field goes on in the next piece.
            if (!m_overlong) {
                if (m_field.size() + (j - i) > kMaxIndexFieldBytes) {
                    m_overlong = true;
                    m_field.clear();
                } else {
                    m_field.append(bytes.substr(i, j - i));
                }
            }
            if (j > i)
                m_afterCr = false;
            break;
        }
        const char separator = bytes[j];
        if (j > i)
            m_afterCr = false;
        if (separator == '\n' && m_afterCr) {
            // The LF of a CR LF: one line end, not an empty field.
            m_afterCr = false;
            i = j + 1;
            continue;
        }
        if (m_field.empty() && !m_overlong) {
            // Common case: the whole field lies in this piece; no copy.
            ++m_count;
            if (m_count >= kIndexFieldLimit) {
                m_limitReached = true;
            } else if (j - i <= kMaxIndexFieldBytes) {
                onField(bytes.substr(i, j - i));
            }
        } else {
            if (!m_overlong && m_field.size() + (j - i) <= kMaxIndexFieldBytes)
                m_field.append(bytes.substr(i, j - i));
            else
                m_overlong = true;
            endField(onField);
        }
        m_afterCr = separator == '\r';
        i = j + 1;
    }
    return !m_limitReached;
}

void IndexFieldSplitter::endField(const FieldFn& onField)
{
    ++m_count;
    if (m_count >= kIndexFieldLimit)
        m_limitReached = true;
    else if (!m_overlong)
        onField(m_field);
    m_field.clear();
    m_overlong = false;
}

void IndexFieldSplitter::finish(const FieldFn& onField)
{
    if (!m_limitReached && (!m_field.empty() || m_overlong))
        endField(onField);
    m_afterCr = false;
}

IndexList ReadIndexText(std::string_view text, const std::filesystem::path& folder,
                        const std::function<bool(std::string_view name)>& holdsFile)
{
    IndexList list;
    RowCollector rows(list, folder, holdsFile);
    IndexFieldSplitter splitter;
    const auto onField = [&](std::string_view field) { rows.examine(field); };
    // Fed in pieces like a file, so that fields crossing a piece's end are read
    // the same way here as from disk.
    for (std::size_t at = 0; at < text.size() && !rows.full(); at += kReadChunk) {
        if (!splitter.feed(text.substr(at, kReadChunk), onField))
            break;
        rows.settle();
    }
    if (!rows.full())
        splitter.finish(onField);
    rows.settle();
    // A list filled before the field limit ends there: the fields past it were
    // only counted because the batch's tests came later.
    if (splitter.limitReached() && !rows.full())
        list.end = IndexReadEnd::FieldLimit;
    return list;
}

IndexList ReadIndexDocument(const std::filesystem::path& document)
{
    IndexList list;
    list.document = document.is_absolute() ? document : ProcessCurrentFolder() / document;

    const OpenedFile file = OpenFileForReading(list.document, FinalLink::Follow);
    if (!file.fd)
        return Unreadable(list, ReadFailureText(file));

    IndexFolder folder(list.document.parent_path());
    folder.allowSnapshot();
    list.folder = folder.identity();
    const std::function<bool(std::string_view)> holdsFile = [&](std::string_view name) {
        return folder.holdsListableFile(name);
    };
    const std::function<void(std::string_view)> ahead = [&](std::string_view name) {
        folder.prepareLookup(name);
    };
    RowCollector rows(list, folder.path(), holdsFile, ahead);
    IndexFieldSplitter splitter;
    const auto onField = [&](std::string_view field) { rows.examine(field); };

    std::string buffer(kReadChunk, '\0');
    std::size_t total = 0;
    bool more = true;
    while (more && !rows.full()) {
        // One byte past the limit tells a document of exactly the limit from a longer one.
        const std::size_t want = std::min(buffer.size(), kMaxIndexDocumentBytes + 1 - total);
        const ssize_t n = ReadSome(file.fd.get(), buffer.data(), want);
        if (n < 0)
            return Unreadable(list, std::strerror(errno));
        if (n == 0)
            break;
        const std::size_t take =
            std::min(static_cast<std::size_t>(n), kMaxIndexDocumentBytes - total);
        total += take;
        more = splitter.feed(std::string_view(buffer.data(), take), onField);
        rows.settle();
        if (take < static_cast<std::size_t>(n) && !rows.full()) {
            // The field cut at the limit is not examined.
            list.end = IndexReadEnd::ByteLimit;
            return list;
        }
    }
    if (more && !rows.full())
        splitter.finish(onField);
    rows.settle();
    if (splitter.limitReached() && !rows.full())
        list.end = IndexReadEnd::FieldLimit;
    return list;
}

IndexList LoadIndexList(IndexPathValue& indexPath, const std::filesystem::path& mainWindowFolder,
                        const std::filesystem::path& processFolder)
{
    if (indexPath.empty() && !mainWindowFolder.empty()) {
        const std::filesystem::path candidate = mainWindowFolder / kIndexDocumentName;
        struct stat st
        {
        };
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode))
            indexPath.set(candidate.string());
    }
    if (indexPath.empty()) {
        IndexList list;
        list.status = IndexListStatus::OpenDialogNeeded;
        return list;
    }
    return ReadIndexDocument(indexPath.resolved(processFolder));
}

IndexList LoadIndexList(IndexPathValue& indexPath, const std::filesystem::path& mainWindowFolder)
{
    return LoadIndexList(indexPath, mainWindowFolder, ProcessCurrentFolder());
}

} // namespace tessaloom
