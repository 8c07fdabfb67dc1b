#include "indexer/examination.h"

#include "indexer/records/recordexamination.h"
#include "platform/readfile.h"
#include "platform/replacealltext.h"
#include "platform/textcodec.h"

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define TESSALOOM_AVX2_TAG_SCAN 1
#endif

namespace tessaloom {

namespace {

constexpr std::array<std::string_view, 21> kImageExtensions = {
    ".art", ".jpg", ".jpe", ".jpeg", ".jfif", ".gif", ".bmp", ".tga", ".pcx", ".wmf", ".rle",
    ".dib", ".cdr", ".drw", ".dxf",  ".gem",  ".hgl", ".pct", ".pic", ".png", ".wpg"};

constexpr std::array<std::string_view, 15> kSoundExtensions = {
    ".wav", ".mid", ".rmi", ".au", ".aif", ".aiff", ".aifc", ".aff",
    ".voc", ".voi", ".cda", ".ra", ".rm",  ".ram",  ".rts"};

// Tag pairs tried in order: the page title, then the headings.
constexpr std::size_t kTagPairs = 7;
constexpr std::array<std::size_t, kTagPairs> kOpenTagLength = {7, 4, 4, 4, 4, 4, 4};

// First positions of "<title>", "<h1>" .. "<h6>" and of their closing tags, found
// in one pass over the content (ASCII case ignored). One pass matters: most cached
// files are pictures without any of these tags, and each would otherwise be
// searched to its end fourteen times.
struct TagPositions
{
    std::array<std::size_t, kTagPairs> open;
    std::array<std::size_t, kTagPairs> close;
};

// The text of one tag pair; empty when either tag is missing (a closing tag without
// an opening one included) or the closing tag starts before the opening tag ends.
std::string_view PairText(std::string_view content, const TagPositions& at, std::size_t pair)
{
    const std::size_t openAt = at.open[pair];
    const std::size_t closeAt = at.close[pair];
    const std::size_t length = kOpenTagLength[pair];
    if (openAt == std::string_view::npos || closeAt == std::string_view::npos ||
        closeAt < openAt + length)
        return {};
    return TrimSpaces(content.substr(openAt + length, closeAt - openAt - length));
}

// True once later tags cannot change the result: every pair before the first one
// with text has both its tags found (first positions never move again).
bool TitleSettled(std::string_view content, const TagPositions& at)
{
    for (std::size_t pair = 0; pair < kTagPairs; ++pair) {
        if (at.open[pair] == std::string_view::npos || at.close[pair] == std::string_view::npos)
            return false;
        if (!PairText(content, at, pair).empty())
            return true;
    }
    return true;
}

// The first letter of "title" or "h1".."h6", in either case.
bool MayStartTagName(char c)
{
    const char folded = static_cast<char>(c | 0x20);
    return folded == 't' || folded == 'h';
}

// The first '<' in [p, end) that may begin one of the tags looked for: followed by
// t or h, or by '/' and then t or h. Most '<' in markup, scripts and binary data
// start no tag of interest and are passed over here.
const char* NextTagCandidateByMemchr(const char* p, const char* end)
{
    while (p < end) {
        const void* hit = std::memchr(p, '<', static_cast<std::size_t>(end - p));
        if (!hit)
            return end;
        const char* lt = static_cast<const char*>(hit);
        if (lt + 1 < end &&
            (MayStartTagName(lt[1]) || (lt[1] == '/' && lt + 2 < end && MayStartTagName(lt[2]))))
            return lt;
        p = lt + 1;
    }
    return end;
}

#ifdef TESSALOOM_AVX2_TAG_SCAN
// The same search 32 bytes at a time. Pages and scripts hold a '<' every few dozen
// bytes, so a memchr per '<' costs more than testing every byte with its two
// followers in vector registers; this loop is most of the examination's work.
__attribute__((target("avx2"))) const char* NextTagCandidateAvx2(const char* p, const char* end)
{
    const __m256i lt = _mm256_set1_epi8('<');
    const __m256i slash = _mm256_set1_epi8('/');
    const __m256i t = _mm256_set1_epi8('t');
    const __m256i h = _mm256_set1_epi8('h');
    const __m256i caseBit = _mm256_set1_epi8(0x20);
    // Each step reads 32 bytes and the two after them.
    while (end - p >= 34) {
        const __m256i b0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i b1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 1));
        const __m256i b2 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 2));
        const __m256i f1 = _mm256_or_si256(b1, caseBit);
        const __m256i f2 = _mm256_or_si256(b2, caseBit);
        const __m256i name1 = _mm256_or_si256(_mm256_cmpeq_epi8(f1, t), _mm256_cmpeq_epi8(f1, h));
        const __m256i name2 = _mm256_or_si256(_mm256_cmpeq_epi8(f2, t), _mm256_cmpeq_epi8(f2, h));
        const __m256i follows =
            _mm256_or_si256(name1, _mm256_and_si256(_mm256_cmpeq_epi8(b1, slash), name2));
        const auto mask = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(b0, lt), follows)));
        if (mask != 0)
            return p + __builtin_ctz(mask);
        p += 32;
    }
    return NextTagCandidateByMemchr(p, end);
}
#endif

using TagCandidateFn = const char* (*)(const char*, const char*);

TagCandidateFn ChooseTagCandidateSearch()
{
#ifdef TESSALOOM_AVX2_TAG_SCAN
    if (__builtin_cpu_supports("avx2"))
        return NextTagCandidateAvx2;
#endif
    return NextTagCandidateByMemchr;
}

const char* NextTagCandidate(const char* p, const char* end)
{
    static const TagCandidateFn search = ChooseTagCandidateSearch();
    return search(p, end);
}

TagPositions LocateTags(std::string_view content)
{
    TagPositions at;
    at.open.fill(std::string_view::npos);
    at.close.fill(std::string_view::npos);
    const char* const begin = content.data();
    const char* const end = begin + content.size();
    for (const char* p = begin; p < end;) {
        const char* lt = NextTagCandidate(p, end);
        if (lt == end)
            break;
        p = lt + 1;
        const char* q = lt + 1;
        const bool closing = *q == '/';
        if (closing)
            ++q;
        const auto left = static_cast<std::size_t>(end - q);
        std::size_t pair = kTagPairs;
        if (left >= 6 && IEquals(std::string_view(q, 6), "title>"))
            pair = 0;
        else if (left >= 3 && AsciiLower(q[0]) == 'h' && q[1] >= '1' && q[1] <= '6' && q[2] == '>')
            pair = static_cast<std::size_t>(q[1] - '0');
        if (pair < kTagPairs) {
            std::size_t& slot = closing ? at.close[pair] : at.open[pair];
            if (slot == std::string_view::npos) {
                slot = static_cast<std::size_t>(lt - begin);
                if (TitleSettled(content, at))
                    break;
            }
        }
    }
    return at;
}

constexpr std::size_t kMaxTitleChars = 90;
// One read covers the examined bytes of any file, and a small record whole; no
// more, as most files are no records and the bytes past these would be read for
// nothing (a larger record reads the rest where it needs it).
constexpr std::size_t kRecordFirstBlock = kExaminedBytes;
constexpr std::size_t kShortenedTitleChars = 87;
constexpr std::size_t kBinaryTestBytes = 200;

bool HasExtension(std::string_view name, const auto& extensions)
{
    // Every listed extension holds one dot, its first character, so only the part
    // from the last dot can match; most cached files have no dot at all.
    const std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos)
        return false;
    const std::string_view tail = name.substr(dot);
    return std::any_of(extensions.begin(), extensions.end(),
                       [&](std::string_view ext) { return IEquals(tail, ext); });
}

bool StartsWithImageMark(std::string_view content)
{
    static constexpr std::string_view kJfifMark = "\xFF\xD8\xFF\xE0\x00";
    return content.starts_with(std::string_view(kJfifMark.data(), 5)) ||
           IStartsWith(content, "GIF");
}

bool BinaryTestFires(std::string_view content)
{
    const std::string_view head = content.substr(0, kBinaryTestBytes);
    return std::any_of(head.begin(), head.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= 128; });
}

std::string ShortenAndClean(std::string_view found)
{
    std::string title;
    if (CharCount(found) > kMaxTitleChars)
        title = std::string(FirstChars(found, kShortenedTitleChars)) + "...";
    else
        title = std::string(found);
    ReplaceAllText(title, "\r", "");
    ReplaceAllText(title, "\n", "");
    ReplaceAllText(title, ",", " ");
    return title;
}

std::string FindTitleIn(std::string_view content, const YieldFn& yield)
{
    const TagPositions at = LocateTags(content);
    for (std::size_t pair = 0; pair < kTagPairs; ++pair) {
        const std::string_view found = PairText(content, at, pair);
        if (!found.empty())
            return ShortenAndClean(found);
        CallYield(yield);
    }
    return {};
}

// A name with a terminating zero, as the system wants it; cache names fit on the
// stack.
class TerminatedName
{
public:
    explicit TerminatedName(std::string_view name)
    {
        if (name.size() < m_short.size())
            std::copy(name.begin(), name.end(), m_short.begin());
        else
            m_long.assign(name);
    }
    TerminatedName(const TerminatedName&) = delete;
    TerminatedName& operator=(const TerminatedName&) = delete;

    const char* c_str() const { return m_long.empty() ? m_short.data() : m_long.c_str(); }

private:
    std::array<char, 256> m_short{};
    std::string m_long;
};

void FillFacts(const OpenedFile& file, CachedFileFacts& facts)
{
    facts.exists = file.found;
    facts.modified = file.found ? file.info.st_mtime : 0;
    facts.size = file.found ? static_cast<std::uint64_t>(std::max<off_t>(file.info.st_size, 0)) : 0;
    facts.opened = static_cast<bool>(file.fd);
    facts.status = file.info;
}

} // namespace

std::string FindTitle(std::string_view content)
{
    return FindTitleIn(content, {});
}

bool TitleIsSettled(std::string_view content)
{
    return TitleSettled(content, LocateTags(content));
}

Examination ExamineContent(std::string_view fileName, std::string_view content,
                           std::string_view indexName, const YieldFn& yield)
{
    Examination result;
    if (IEquals(fileName, indexName) || IEquals(fileName, "fat.db") ||
        IStartsWith(fileName, "_cache_")) {
        result.label = FindTitleIn(content, yield);
        if (result.label.empty())
            result.binaryMark = BinaryTestFires(content);
        CallYield(yield);
        result.skipped = true;
        return result;
    }

    if (HasExtension(fileName, kImageExtensions))
        result.kind = FileKind::Image;
    else if (HasExtension(fileName, kSoundExtensions))
        result.kind = FileKind::Sound;
    else if (StartsWithImageMark(content))
        result.kind = FileKind::Image;
    if (result.kind != FileKind::Other) {
        // A picture or a sound is labelled by its kind and never filtered as binary,
        // so its content need not be searched for a title: pictures are a large
        // share of a cache's bytes. The mark is kept as the plain byte test.
        result.label = result.kind == FileKind::Image ? kImageLabel : kSoundLabel;
        result.binaryMark = BinaryTestFires(content);
        CallYield(yield);
        return result;
    }

    // A script is labelled by its kind, and its title only decides whether the
    // byte test counts: without a byte that fires it, there is nothing to search.
    const bool script = IEndsWith(fileName, ".js");
    if (script && !BinaryTestFires(content)) {
        CallYield(yield);
        result.label = kJavaScriptLabel;
        return result;
    }
    result.label = FindTitleIn(content, yield);
    if (result.label.empty())
        result.binaryMark = BinaryTestFires(content);
    CallYield(yield);
    if (script)
        result.label = kJavaScriptLabel;
    if (result.label.empty())
        result.label = result.binaryMark ? kUntitledBinaryLabel : kUntitledLabel;
    return result;
}

Examination ExamineCachedFile(int folderFd, std::string_view fileName, std::string_view indexName,
                              std::string& buffer, const YieldFn& yield, CachedFileFacts* facts,
                              RecordFacts* record, const PictureKeptFn& pictureKept)
{
    if (record)
        *record = {};
    // Only ever grown: a resize that grows writes zeros over every new byte, and
    // the record reader below may have grown it past this.
    if (buffer.size() < kExaminedBytes)
        buffer.resize(kExaminedBytes);
    std::string_view content;
    // A name that became a FIFO, a device or a link to one since it was listed is
    // examined with empty content; one without read permission is still listed:
    // unreadable is not the same as gone.
    const OpenedFile file = OpenFolderEntryForReading(folderFd, TerminatedName(fileName).c_str());
    if (facts)
        FillFacts(file, *facts);
    if (file.fd) {
        const auto size = static_cast<std::size_t>(std::max<off_t>(file.info.st_size, 0));
        const std::size_t want = std::min(size, kExaminedBytes);
        bool read = false;
        if (record) {
            // The first block goes into the reused buffer, where the examination
            // below finds it when the file is no record.
            records::FileSource source(file.fd.get(), size, kRecordFirstBlock, &buffer);
            const CachedFileFacts stamp{file.found, file.found ? file.info.st_mtime : 0,
                                        static_cast<std::uint64_t>(size)};
            const auto kept = [&] { return pictureKept && pictureKept(stamp); };
            if (auto found = records::ExamineRecord(source, fileName, indexName, yield, {}, kept)) {
                record->isRecord = true;
                record->pictureKept = found->pictureKept;
                record->url = std::move(found->url);
                record->picture = std::move(found->picture);
                record->pictureExtension = std::move(found->pictureExtension);
                return std::move(found->examination);
            }
            // Not a record: the first bytes are already in memory.
            if (const auto head = source.read(0, want)) {
                content = *head;
                read = true;
                static constexpr std::string_view kChromiumMagic =
                    "\x30\x5c\x72\xa7\x1b\x6d\xfb\xfc";
                record->chromiumSparseData =
                    fileName.ends_with("_s") && head->starts_with(kChromiumMagic);
            }
        }
        if (!read) {
            // A file whose read fails part-way is examined by what came before, as a
            // shorter file would be: its row still lists it.
            content = std::string_view(buffer.data(),
                                       ReadWhatArrives(file.fd.get(), buffer.data(), want));
        }
    }
    CallYield(yield);
    return ExamineContent(fileName, content, indexName, yield);
}

} // namespace tessaloom
