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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// Finds the comma, CR and LF of one piece in turn.
class SeparatorFinder
{
public:
    explicit SeparatorFinder(std::string_view bytes) : m_bytes(bytes) {}

#if defined(__SSE2__)
    /// The first separator at or after `from`, or the end of the piece. The
    /// three are looked for together, sixteen bytes at a time: an entry line
    /// ends in CR LF, and a search per kind would read each line twice.
    std::size_t next(std::size_t from) const
    {
        const char* const data = m_bytes.data();
        const std::size_t size = m_bytes.size();
        const __m128i comma = _mm_set1_epi8(',');
        const __m128i cr = _mm_set1_epi8('\r');
        const __m128i lf = _mm_set1_epi8('\n');
        std::size_t at = from;
        for (; at + 16 <= size; at += 16) {
            const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + at));
            const __m128i hits =
                _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, comma), _mm_cmpeq_epi8(bytes, cr)),
                             _mm_cmpeq_epi8(bytes, lf));
            const auto mask = static_cast<unsigned>(_mm_movemask_epi8(hits));
            if (mask != 0)
                return at + static_cast<std::size_t>(__builtin_ctz(mask));
        }
        for (; at < size; ++at) {
            if (data[at] == ',' || data[at] == '\r' || data[at] == '\n')
                return at;
        }
        return size;
    }
#else
    /// The first separator at or after `from`, or the end of the piece. Each
    /// kind is searched ahead once and kept until passed, so a piece full of
    /// commas is still scanned in linear time.
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
    std::size_t m_lf = kUnknown;
    std::size_t m_comma = kUnknown;
    std::size_t m_cr = kUnknown;
#endif

private:
    std::string_view m_bytes;
};

// The named references, in the order they are replaced. Each is "&", letters and
// ";": two never overlap, and no character put in for one is "&", a letter or
// ";", so none forms a new reference, except the "&" that "&amp;" leaves.
constexpr std::pair<std::string_view, std::string_view> kNamedReferences[] = {
    {"&nbsp;", " "},     {"&lt;", "<"},        {"&gt;", ">"},
    {"&amp;", "&"},      {"&cent;", "\u00A2"}, {"&deg;", "\u00B0"},
    {"&reg;", "\u00AE"}, {"&copy;", "\u00A9"}, {"&quot;", "\""},
};
constexpr std::size_t kAmpIndex = 3;

// Whether every byte of `text` is below 0x80, eight at a time.
bool IsAscii(std::string_view text)
{
    std::uint64_t high = 0;
    std::size_t at = 0;
    for (; at + 8 <= text.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, text.data() + at, 8);
        high |= word;
    }
    for (; at < text.size(); ++at)
        high |= static_cast<unsigned char>(text[at]);
    return (high & 0x8080808080808080ULL) == 0;
}

// IStartsWith for a short lower-case `prefix`, inlined: it runs at every "&".
bool StartsWithFolded(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (AsciiLower(text[i]) != prefix[i])
            return false;
    }
    return true;
}

// The named reference whose name (what follows its "&") `name` begins with,
// letter case ignored, among those from `first` on in the order; npos when none.
std::size_t NamedReferenceAt(std::string_view name, std::size_t first = 0)
{
    if (name.size() < 3)
        return std::string_view::npos;
    const char initial = AsciiLower(name[0]);
    for (std::size_t i = first; i < std::size(kNamedReferences); ++i) {
        const std::string_view reference = kNamedReferences[i].first;
        if (reference[1] == initial && StartsWithFolded(name, reference.substr(1)))
            return i;
    }
    return std::string_view::npos;
}

// Puts in the reference that `text` begins with (at an "&") and returns how much
// of `text` it took; an "&" that begins none is put in as it is. This gives what
// replacing each named reference in turn all over the title gives: their
// occurrences in the title are apart, so each is replaced where it stands. Only
// the "&" of an "&amp;" can form another one with the text after it: an "amp;"
// there is replaced again, and of the rest only those later in the order than
// "&amp;" are, as the earlier ones had their turn before it.
std::size_t AppendReference(std::string& out, std::string_view text, std::size_t& firstNumeric)
{
    std::size_t taken = 1; // the "&"
    std::size_t found = NamedReferenceAt(text.substr(taken));
    if (found == kAmpIndex) {
        const std::string_view ampName = kNamedReferences[kAmpIndex].first.substr(1);
        while (StartsWithFolded(text.substr(taken), ampName))
            taken += ampName.size();
        found = NamedReferenceAt(text.substr(taken), kAmpIndex + 1);
    }
    if (found == std::string_view::npos) {
        out += '&';
        if (firstNumeric == std::string::npos && taken < text.size() && text[taken] == '#')
            firstNumeric = out.size() - 1;
        return taken;
    }
    out += kNamedReferences[found].second;
    return taken + kNamedReferences[found].first.size() - 1;
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

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A character that an "&#digits;" may be made of.
bool InNumericReference(char c)
{
    return c == '&' || c == '#' || c == ';' || IsDigit(c);
}

// Whether removing an "&#digits;" between `before` and `after` could let them
// join into another: one of those ends with "&", "#" or a digit, and the other
// begins with "#", a digit or ";". A title's edge (0) joins nothing.
bool MayJoin(char before, char after)
{
    return (before == '&' || before == '#' || IsDigit(before)) &&
           (after == '#' || after == ';' || IsDigit(after));
}

// Replaces every occurrence of `reference` in out[start..] by `character` the
// way ReplaceAllText does, which the caller has made sure can be done in one
// pass from `at`, the first occurrence, as long as each removal leaves no
// neighbours that may join. False, with the text so far replaced still a valid
// step of the replacing, when it meets neighbours that may.
bool ReplaceReferenceInPlace(std::string& out, std::size_t start, std::size_t at,
                             std::string_view reference, std::string_view character)
{
    char* const text = out.data();
    const std::size_t size = out.size();
    std::size_t write = at;
    std::size_t read = at;
    while (read < size) {
        // out[read..] begins with an occurrence here.
        const std::size_t past = read + reference.size();
        if (character.empty() &&
            MayJoin(write > start ? text[write - 1] : '\0', past < size ? text[past] : '\0')) {
            out.erase(write, read - write);
            return false;
        }
        std::memcpy(text + write, character.data(), character.size());
        write += character.size();
        read = past;
        std::size_t next = read;
        while (next < size) {
            const void* hit = std::memchr(text + next, '&', size - next);
            next = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text) : size;
            if (next == size || std::string_view(text + next, size - next).starts_with(reference))
                break;
            ++next;
        }
        std::memmove(text + write, text + read, next - read);
        write += next - read;
        read = next;
    }
    out.resize(write);
    return true;
}

// Decodes the first numeric reference of out[start..], whose "&#" is at `at`,
// and every occurrence of it there. The usual one, "&#" and digits, goes in one
// pass; any other is left to ReplaceAllText, which stays linear however the
// reference repeats itself.
void DecodeFirstNumericReference(std::string& out, std::size_t start, std::size_t at)
{
    const std::size_t semicolon = out.find(';', at);
    if (semicolon == std::string::npos)
        return;
    const std::string reference = out.substr(at, semicolon - at + 1);
    const std::string_view digits = std::string_view(reference).substr(2, reference.size() - 3);
    const int code = SmallDecimal(digits);
    // "&#0;" goes like a reference that is no character: a NUL would cut the row
    // short wherever it is shown.
    const std::string character =
        code <= 0 ? std::string() : Windows1252ToUtf8(static_cast<unsigned char>(code));
    // A character of the reference's own may form it again: then the general way.
    // (The character, at most 3 bytes, is always shorter, so the text only shrinks.)
    const bool onePass = std::all_of(digits.begin(), digits.end(), IsDigit) &&
                         character.size() < reference.size() &&
                         (character.size() != 1 || !InNumericReference(character[0]));
    if (onePass && ReplaceReferenceInPlace(out, start, at, reference, character))
        return;
    std::string title = out.substr(start);
    ReplaceAllText(title, reference, character);
    out.resize(start);
    out += title;
}

// Appends the title as shown to `out`: what DecodeTitle returns.
void AppendDecodedTitle(std::string& out, std::string_view rawTitle)
{
    const std::string_view trimmed = TrimSpaces(rawTitle);
    std::string converted;
    std::string_view title = trimmed;
    // Every reference is plain ASCII, so decoding for display first is safe, and
    // the references then put in their characters as UTF-8 already.
    if (!IsAscii(trimmed) && !IsValidUtf8(trimmed)) {
        converted = ToDisplayUtf8(trimmed);
        title = converted;
    }
    const std::size_t start = out.size();
    std::size_t firstNumeric = std::string::npos; // where the first "&#" was put in
    for (std::size_t i = 0;;) {
        const void* hit = std::memchr(title.data() + i, '&', title.size() - i);
        const std::size_t amp =
            hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - title.data())
                : title.size();
        out.append(title.substr(i, amp - i));
        if (amp == title.size())
            break;
        i = amp + AppendReference(out, title.substr(amp), firstNumeric);
    }
    if (firstNumeric != std::string::npos)
        DecodeFirstNumericReference(out, start, firstNumeric);
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
// files are tested a batch at a time, and each row's test is announced
// (`ahead`) as soon as the row is cut, so that a lookup table can have the
// batch's places fetched from memory meanwhile rather than wait on each in
// turn. A waiting row's texts are kept in a scratch buffer reused for every
// batch, as the field they come from may be gone by then; only the rows whose
// files are there reach the list's store.
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
        // The title is decoded straight into the row's text, without a copy of its own.
        AppendDisplayText(m_scratch, fields.dateText, fields.image ? "Image" : "");
        if (!fields.image)
            AppendDecodedTitle(m_scratch, fields.title);
        row.name = m_scratch.size();
        m_scratch += name;
        row.end = m_scratch.size();
        m_pending.push_back(row);
        // Announced as soon as it is known, so that its place is fetched while the
        // rest of the batch is cut.
        if (m_ahead)
            m_ahead(std::string_view(m_scratch).substr(row.name, row.end - row.name));
        if (m_pending.size() >= kBatch)
            settle();
    }

    /// Tests the rows still waiting; called before the list is handed out.
    void settle()
    {
        const std::string_view scratch = m_scratch;
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

// The first "<" at or after `from`, or npos.
std::size_t NextTagStart(std::string_view line, std::size_t from)
{
    const void* hit = std::memchr(line.data() + from, '<', line.size() - from);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - line.data())
               : std::string_view::npos;
}

// A page cell laid out as the program writes it, cut with a look at each "<"
// after the target: the title's end is its first one, the date's end the first
// after the date. Every "<" from the target to the date's end then begins one of
// the fixed texts, none of them the picture marker, so only the rest of the line
// must be searched for it. False, with `fields` unset, for any other line: the
// general cutting decides then.
bool CutPlainPageCell(std::string_view line, std::size_t afterTarget, EntryLineFields& fields)
{
    using namespace entryline;
    if (!line.substr(afterTarget).starts_with(kTitleStart))
        return false;
    const std::size_t titleStart = afterTarget + kTitleStart.size();
    const std::size_t titleEnd = NextTagStart(line, titleStart);
    if (titleEnd == std::string_view::npos || !line.substr(titleEnd).starts_with(kLinkEnd) ||
        !line.substr(titleEnd + kLinkEnd.size()).starts_with(kPageDateStart))
        return false;
    const std::size_t dateStart = titleEnd + kLinkEnd.size() + kPageDateStart.size();
    const std::size_t dateEnd = NextTagStart(line, dateStart);
    if (dateEnd == std::string_view::npos || !line.substr(dateEnd).starts_with(kDateEnd) ||
        FindText(line, kImageMarker, dateEnd + kDateEnd.size(), kImageMarkerAnchor) !=
            std::string_view::npos)
        return false;
    fields.image = false;
    fields.title = TrimSpaces(line.substr(titleStart, titleEnd - titleStart));
    fields.dateText = line.substr(dateStart, dateEnd - dateStart);
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
    const bool pictureCell = line.substr(targetEnd).starts_with(kPictureMarkers);
    if (!pictureCell && CutPlainPageCell(line, afterTarget, fields)) {
        fields.target = target;
        return true;
    }
    fields.image = pictureCell || FindText(line, kImageMarker, afterTarget, kImageMarkerAnchor) !=
                                      std::string_view::npos;
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
    std::string title;
    AppendDecodedTitle(title, rawTitle);
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
    if (!IsAscii(date)) {
        if (!IsValidUtf8(date)) {
            decoded = ToDisplayUtf8(date);
            date = decoded;
        }
        width = CharCount(date);
    }
    const std::size_t lead = width == 17 ? 1 : 0;
    width += lead;
    const std::size_t padding = width < kDateColumnWidth ? kDateColumnWidth - width : 0;
    // Sized once and filled in place: this runs for every row.
    const std::size_t at = text.size();
    text.resize(at + lead + date.size() + padding + 1 + decodedTitle.size());
    char* out = text.data() + at;
    if (lead != 0)
        *out++ = ' ';
    if (!date.empty())
        out = static_cast<char*>(std::memcpy(out, date.data(), date.size())) + date.size();
    std::memset(out, ' ', padding);
    out += padding;
    *out++ = '\t';
    if (!decodedTitle.empty())
        std::memcpy(out, decodedTitle.data(), decodedTitle.size());
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

IndexList FindAndReadIndex(IndexPathValue& indexPath, const std::filesystem::path& mainWindowFolder,
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

IndexList FindAndReadIndex(IndexPathValue& indexPath, const std::filesystem::path& mainWindowFolder)
{
    return FindAndReadIndex(indexPath, mainWindowFolder, ProcessCurrentFolder());
}

} // namespace tessaloom
