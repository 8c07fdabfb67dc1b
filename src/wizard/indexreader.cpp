#include "wizard/indexreader.h"

#include "indexer/entryline.h"
#include "indexer/indexdocument.h"
#include "platform/readfile.h"
#include "platform/replacealltext.h"
#include "platform/textcodec.h"
#include "wizard/indexfolder.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <sys/stat.h>

namespace tessaloom {

namespace {

constexpr std::size_t kDateColumnWidth = 25;
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::size_t kFirstRowBlock = 64 * 1024;
constexpr std::size_t kLargestRowBlock = 4 * 1024 * 1024;
constexpr std::size_t kLargePage = 2 * 1024 * 1024;
// No entry line is shorter: its markers alone take this much.
constexpr std::size_t kShortestEntryLine =
    entryline::kPrefix.size() + entryline::kTargetOffset + entryline::kTargetEnd.size() +
    entryline::kDateStart.size() + entryline::kDateEnd.size();

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

// The first `needle` in `hay` at or after `from`. The candidates are the places
// of the needle's byte at `anchor`, found by memchr: anchored at a byte that is
// rare in entry lines, the search stops at few places, where one keyed on the
// first byte would stop at every "<" of the line. Each candidate is looked at
// once, so the search stays linear.
// Always inlined, so that each call's compare has its needle's length as a constant.
[[gnu::always_inline]] inline std::size_t FindText(std::string_view hay, std::string_view needle,
                                                   std::size_t from, std::size_t anchor = 0)
{
    if (from > hay.size() || hay.size() - from < needle.size())
        return std::string_view::npos;
    const char key = needle[anchor];
    const char* const base = hay.data();
    const char* at = base + from + anchor;
    const char* const last = base + (hay.size() - needle.size()) + anchor; // last anchor place
    while (at <= last) {
        const void* hit = std::memchr(at, key, static_cast<std::size_t>(last - at) + 1);
        if (hit == nullptr)
            break;
        const char* const start = static_cast<const char*>(hit) - anchor;
        if (std::memcmp(start, needle.data(), needle.size()) == 0)
            return static_cast<std::size_t>(start - base);
        at = static_cast<const char*>(hit) + 1;
    }
    return std::string_view::npos;
}

// Where each marker is anchored: a byte of it that the rest of an entry line
// seldom holds.
// What follows the target in a picture cell, up to the picture's own target.
constexpr std::string_view kPictureMarkers = "\" target=new align=center alt=Image><img src=";
static_assert(kPictureMarkers.starts_with(entryline::kTargetEnd) &&
              kPictureMarkers.ends_with(entryline::kImageMarker));
// What follows a page cell's title.
constexpr std::string_view kPageDateStart = "<br><br><font size=-1>";
static_assert(kPageDateStart.ends_with(entryline::kDateStart));

constexpr std::size_t kImageMarkerAnchor = 2; // the "m" of "<img src="
constexpr std::size_t kDateStartAnchor = 15;  // the "-" of "size=-1>"
constexpr std::size_t kDateEndAnchor = 10;    // the "D" of "</TD>"
static_assert(entryline::kImageMarker[kImageMarkerAnchor] == 'm' &&
              entryline::kDateStart[kDateStartAnchor] == '-' &&
              entryline::kDateEnd[kDateEndAnchor] == 'D');

// Turns the fields of a document into rows, until the rows grow too large. The
// files are tested a batch at a time: the batch's tests are announced first
// (`ahead`), so that a lookup table can have their places fetched from memory
// together rather than waiting on each in turn. A waiting row's texts are kept
// in a scratch buffer reused for every batch, as the field they come from may
// be gone by then; only the rows whose files are there reach the list's store.
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
        std::string_view name = fields.target;
        if (name.find('%') != std::string_view::npos) {
            m_decodedName = DecodeLinkTarget(name);
            name = m_decodedName;
        }
        if (!IsPlainFileName(name) || name.front() == '.')
            return;
        Pending row;
        row.display = m_scratch.size();
        // Most titles hold no reference and are valid UTF-8: they are shown as
        // written, without a decoded copy of their own.
        const std::string_view trimmed = TrimSpaces(fields.title);
        if (fields.image)
            AppendDisplayText(m_scratch, fields.dateText, "Image");
        else if (trimmed.find('&') == std::string_view::npos && IsValidUtf8(trimmed))
            AppendDisplayText(m_scratch, fields.dateText, trimmed);
        else
            AppendDisplayText(m_scratch, fields.dateText, DecodeTitle(fields.title));
        row.name = m_scratch.size();
        m_scratch += name;
        row.end = m_scratch.size();
        m_pending.push_back(row);
        if (m_pending.size() >= kBatch)
            settle();
    }

    /// Tests the rows still waiting; called before the list is handed out.
    void settle()
    {
        const std::string_view scratch = m_scratch;
        if (m_ahead) {
            for (const Pending& row : m_pending)
                m_ahead(scratch.substr(row.name, row.end - row.name));
        }
        for (const Pending& row : m_pending) {
            if (m_full)
                break; // the rows after the one that filled the list are not taken
            const std::string_view name = scratch.substr(row.name, row.end - row.name);
            if (!m_holdsFile(name))
                continue;
            m_list.rows.add(scratch.substr(row.display, row.name - row.display), m_prefix, name);
            if (m_list.rows.bytes() >= kMaxIndexListBytes) {
                m_full = true;
                m_list.end = IndexReadEnd::SizeLimit;
            }
        }
        m_pending.clear();
        m_scratch.clear();
    }

private:
    static constexpr std::size_t kBatch = 16;

    // A waiting row: its display text and its file's name, as offsets into m_scratch.
    struct Pending
    {
        std::size_t display = 0;
        std::size_t name = 0;
        std::size_t end = 0;
    };

    IndexList& m_list;
    const std::string m_prefix;
    const NameFn& m_holdsFile;
    const AheadFn m_ahead;
    std::vector<Pending> m_pending;
    std::string m_scratch;
    std::string m_decodedName;
    bool m_full = false;
};

IndexList Unreadable(IndexList& list, Error why)
{
    list.status = IndexListStatus::Unreadable;
    list.rows.clear();
    list.error = std::move(why);
    return std::move(list);
}

} // namespace

void WizardRows::BlockRelease::operator()(char* block) const
{
    if (mappedSize != 0)
        ::munmap(block, mappedSize);
    else
        delete[] block;
}

WizardRows::Block WizardRows::newBlock(std::size_t size)
{
    if (size < kLargePage)
        return Block(new char[size], BlockRelease{});
    // A large block is mapped on a large-page boundary and advised to be backed
    // by large pages: filling it then costs a few faults instead of one a page.
    const std::size_t mapped = (size + kLargePage - 1) / kLargePage * kLargePage;
    void* area = ::mmap(nullptr, mapped + kLargePage, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED)
        throw std::bad_alloc();
    char* const start = static_cast<char*>(area);
    char* const aligned =
        start + (kLargePage - reinterpret_cast<std::uintptr_t>(start) % kLargePage) % kLargePage;
    if (aligned != start)
        ::munmap(start, static_cast<std::size_t>(aligned - start));
    const std::size_t tail = kLargePage - static_cast<std::size_t>(aligned - start);
    if (tail != 0)
        ::munmap(aligned + mapped, tail);
    ::madvise(aligned, mapped, MADV_HUGEPAGE);
    return Block(aligned, BlockRelease{mapped});
}

char* WizardRows::allocate(std::size_t size)
{
    if (size > m_freeSize) {
        // Blocks grow with the list, so a long list takes few of them and a short
        // one little memory; a block is never resized, as rows point into it.
        m_nextBlock = std::clamp(m_nextBlock * 2, kFirstRowBlock, kLargestRowBlock);
        const std::size_t blockSize = std::max(m_nextBlock, size);
        m_blocks.push_back(newBlock(blockSize));
        m_free = m_blocks.back().get();
        m_freeSize = blockSize;
    }
    char* at = m_free;
    m_free += size;
    m_freeSize -= size;
    m_textBytes += size;
    return at;
}

void WizardRows::add(std::string_view displayText, std::string_view folderPrefix,
                     std::string_view name)
{
    const std::size_t pathSize = folderPrefix.size() + name.size();
    char* at = allocate(displayText.size() + pathSize);
    // An empty view may have no data to copy from.
    if (!displayText.empty())
        std::memcpy(at, displayText.data(), displayText.size());
    char* path = at + displayText.size();
    if (!folderPrefix.empty())
        std::memcpy(path, folderPrefix.data(), folderPrefix.size());
    if (!name.empty())
        std::memcpy(path + folderPrefix.size(), name.data(), name.size());
    m_rows.push_back({std::string_view(at, displayText.size()), std::string_view(path, pathSize)});
}

void WizardRows::reserve(std::size_t rows)
{
    m_rows.reserve(rows);
    // A large row table gets the large pages that its whole large-page stretches
    // can have, as the blocks of texts do.
    const auto start = reinterpret_cast<std::uintptr_t>(m_rows.data());
    const std::uintptr_t end = start + m_rows.capacity() * sizeof(WizardRow);
    const std::uintptr_t first = (start + kLargePage - 1) / kLargePage * kLargePage;
    const std::uintptr_t last = end / kLargePage * kLargePage;
    if (first < last)
        ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
}

void WizardRows::erase(std::size_t first, std::size_t last)
{
    last = std::min(last, m_rows.size());
    if (first < last)
        m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(first),
                     m_rows.begin() + static_cast<std::ptrdiff_t>(last));
}

void WizardRows::remove(const std::vector<std::size_t>& ascending)
{
    std::size_t next = 0; // position in `ascending`
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (next < ascending.size() && ascending[next] == i) {
            ++next;
            continue;
        }
        m_rows[kept++] = m_rows[i];
    }
    m_rows.resize(kept);
}

void WizardRows::clear()
{
    m_rows.clear();
    m_blocks.clear();
    m_free = nullptr;
    m_freeSize = 0;
    m_nextBlock = 0;
    m_textBytes = 0;
}

namespace {

// CutLinkTarget with the searches starting at `from`. Where a line begins with
// one of the two cells the program writes, the link follows right after it and
// nothing before its opening quote can begin the target's end: both are then
// looked at where they must be before they are searched for.
bool CutLinkTargetFrom(std::string_view line, std::size_t from, std::string_view& target)
{
    using namespace entryline;
    std::size_t link = std::string_view::npos;
    for (const std::string_view cell : {kPictureCellStart, kPageCellStart}) {
        if (from <= cell.size() && line.starts_with(cell) &&
            line.substr(cell.size()).starts_with(kLinkStart))
            link = cell.size();
    }
    const bool knownCell = link != std::string_view::npos;
    if (!knownCell)
        link = FindText(line, kLinkStart, from);
    if (link == std::string_view::npos)
        return false;
    const std::size_t targetStart = link + kTargetOffset;
    const std::size_t targetEnd = !knownCell ? FindText(line, kTargetEnd, from)
                                  : line.substr(targetStart - 1).starts_with(kTargetEnd)
                                      ? targetStart - 1
                                      : FindText(line, kTargetEnd, targetStart);
    if (targetEnd == std::string_view::npos || targetEnd < targetStart)
        return false;
    target = line.substr(targetStart, targetEnd - targetStart);
    return true;
}

} // namespace

bool CutLinkTarget(std::string_view line, std::string_view& target)
{
    return CutLinkTargetFrom(line, 0, target);
}

bool CutEntryLine(std::string_view line, EntryLineFields& fields)
{
    using namespace entryline;
    if (!line.starts_with(kPrefix))
        return false;
    std::string_view target;
    // The line's prefix holds neither the link nor a double quote: the searches
    // start past it.
    if (!CutLinkTargetFrom(line, kPrefix.size(), target))
        return false;
    const std::size_t targetEnd =
        static_cast<std::size_t>(target.data() - line.data()) + target.size();

    // The later markers are looked for only after the target: a file name may
    // hold blanks, "<" and ">", and so the text of a marker, which must not be
    // taken for the real one that follows it.
    const std::size_t afterTarget = targetEnd + 1;
    // A picture cell the program wrote has its marker right after the link.
    fields.image =
        line.substr(targetEnd).starts_with(kPictureMarkers) ||
        FindText(line, kImageMarker, afterTarget, kImageMarkerAnchor) != std::string_view::npos;
    std::size_t searchFrom = afterTarget;
    if (!fields.image) {
        // Where the program's own lines have it, it is the first one there can be.
        const std::size_t titleMarker = line.substr(afterTarget).starts_with(kTitleStart)
                                            ? afterTarget
                                            : FindText(line, kTitleStart, afterTarget);
        if (titleMarker == std::string_view::npos)
            return false;
        const std::size_t titleStart = titleMarker + kTitleStart.size();
        const std::size_t titleEnd = FindText(line, kLinkEnd, titleStart);
        if (titleEnd == std::string_view::npos)
            return false;
        fields.title = TrimSpaces(line.substr(titleStart, titleEnd - titleStart));
        searchFrom = titleEnd + kLinkEnd.size();
    } else {
        fields.title = {};
    }
    // A page cell has "<br>" between its link and the date: then the date's
    // marker follows it, as no earlier one can begin inside those four bytes.
    const std::size_t dateMarker =
        !fields.image && line.substr(searchFrom).starts_with(kPageDateStart)
            ? searchFrom + kPageDateStart.size() - kDateStart.size()
            : FindText(line, kDateStart, searchFrom, kDateStartAnchor);
    if (dateMarker == std::string_view::npos)
        return false;
    const std::size_t dateStart = dateMarker + kDateStart.size();
    const std::size_t dateEnd = FindText(line, kDateEnd, dateStart, kDateEndAnchor);
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
    AppendDisplayText(text, rawDateText, decodedTitle);
    return text;
}

void AppendDisplayText(std::string& text, std::string_view rawDateText,
                       std::string_view decodedTitle)
{
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
        return Unreadable(list, ReadFailure(file, list.document.string()));

    IndexFolder folder(list.document.parent_path());
    folder.allowSnapshot();
    list.folder = folder.identity();
    const std::function<bool(std::string_view)> holdsFile = [&](std::string_view name) {
        return folder.holdsListableFile(name);
    };
    const std::function<void(std::string_view)> ahead = [&](std::string_view name) {
        folder.prepareLookup(name);
    };
    // Room for the rows a document of this size can hold at most, so the row
    // table is not moved while it fills; pages of it never used are never touched.
    const auto documentSize = static_cast<std::size_t>(std::max<off_t>(file.info.st_size, 0));
    list.rows.reserve(std::min(documentSize / kShortestEntryLine, kIndexFieldLimit));
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
            return Unreadable(list, SystemError(errno, list.document.string()));
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
