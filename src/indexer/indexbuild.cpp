#include "indexer/indexbuild.h"

#include "indexer/examination.h"
#include "indexer/records/picturescaler.h"
#include "indexer/records/resultcache.h"
#include "indexer/records/thumbnailfolder.h"
#include "indexer/records/thumbnailqueue.h"
#include "platform/filedescriptor.h"
#include "platform/moveintoorder.h"
#include "platform/readahead.h"
#include "platform/replacealltext.h"
#include "platform/textcodec.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unordered_map>

namespace tessaloom {

namespace {

constexpr std::size_t kFolderTextChars = 99;
// Pictures waiting for their thumbnails, at most.
constexpr std::size_t kQueuedPictureBytes = 48 * 1024 * 1024;
// A picture no decoder reads is stored as it is, up to this size.
constexpr std::size_t kMaxCopiedPictureBytes = 4 * 1024 * 1024;
// With less room than this left, no picture is stored any more (kept ones are
// still taken over): a thumbnail made then would cost a decode at every build
// and most likely not be kept.
constexpr std::uint64_t kThumbnailRoom = 256 * 1024;
// A folder of fewer files is over before reading ahead would pay.
constexpr std::size_t kReadAheadFrom = 256;
// Files looked at to tell whether a folder comes from the disk.
constexpr std::size_t kReadAheadProbe = 16;

// Where the page draws a record's picture from, once its thumbnail is made (or no
// decoder read it): the thumbnail, else a copy of a picture small enough.
std::optional<std::string>
StoreMadePicture(records::ThumbnailFolder& thumbnails, const std::string& name,
                 const records::CacheFileStamp& stamp, const std::string& picture,
                 const std::string& extension, const std::optional<records::Thumbnail>& made)
{
    // Checked as the files come, so that which pictures are stored does not
    // depend on how soon their thumbnails were made.
    if (thumbnails.bytesLeft() < kThumbnailRoom)
        return std::nullopt;
    if (made)
        return thumbnails.add(name, made->extension, made->bytes, stamp);
    if (picture.size() > kMaxCopiedPictureBytes)
        return std::nullopt;
    return thumbnails.add(name, extension, picture, stamp);
}

// The last build's examination of `name` when the file is still the one it
// examined, with `facts` filled in as its examination would have.
const records::ExaminedFile* KnownResult(int folderFd, const std::string& name,
                                         const records::ResultCache& known, CachedFileFacts& facts)
{
    if (known.size() == 0)
        return nullptr;
    struct stat info
    {
    };
    // A link or anything but a plain file is examined as ever.
    if (::fstatat(folderFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 ||
        !S_ISREG(info.st_mode))
        return nullptr;
    const records::ExaminedFile* found = known.find(name, records::IdentityOf(info));
    if (found) {
        facts.exists = true;
        facts.modified = info.st_mtime;
        facts.size = found->identity.size;
        facts.opened = true;
        facts.status = info;
    }
    return found;
}

std::string FolderText(const std::string& folder)
{
    std::string text = folder;
    ReplaceAllText(text, " ", "_");
    if (CharCount(text) > kFolderTextChars)
        text = "..." + std::string(LastChars(text, kFolderTextChars));
    return text;
}

long long PercentOf(long long counter, long long total)
{
    // The division in double precision, cut to its integer part: 29 of 100 gives 28.
    return static_cast<long long>(static_cast<double>(counter) / static_cast<double>(total) *
                                  100.0);
}

std::string PercentText(long long percent)
{
    return std::to_string(percent) + "% Complete";
}

} // namespace

std::string FileReport::readingText() const
{
    return "Reading File: " + std::to_string(counter) + " of " + std::to_string(total);
}

std::string FileReport::percentText() const
{
    return PercentText(PercentOf(counter, total));
}

std::string ProgressWindowTitle(bool minimised, std::string_view percentText)
{
    return minimised ? std::string(percentText) : std::string("Tessaloom");
}

namespace {

// A date key of the usual shape "yyyy/mm/dd hh:nn:ss" as the number yyyymmddhhnnss,
// which orders as the text does; kUnusualDate for any other key.
constexpr std::uint64_t kUnusualDate = ~std::uint64_t{0};
constexpr std::size_t kDateKeyChars = 19;

std::uint64_t DateNumber(std::string_view key)
{
    static constexpr std::string_view kShape = "dddd/dd/dd dd:dd:dd";
    if (key.size() != kDateKeyChars)
        return kUnusualDate;
    std::uint64_t number = 0;
    for (std::size_t i = 0; i < kDateKeyChars; ++i) {
        const char c = key[i];
        if (kShape[i] != 'd') {
            if (c != kShape[i])
                return kUnusualDate;
        } else if (c < '0' || c > '9') {
            return kUnusualDate;
        } else {
            number = number * 10 + static_cast<std::uint64_t>(c - '0');
        }
    }
    return number;
}

} // namespace

namespace {

// An entry's place in the sort: its date as a number, its lower-cased text in the
// shared buffer, and its index in the list.
struct SortKey
{
    std::uint64_t date;
    std::size_t offset;
    std::size_t length;
    std::size_t index;
};

// Each entry sorts as one text: date key, code 6, label, code 6, file name, compared
// as ICompare does (lower-cased bytes, then length, then the bytes themselves). The
// lower-cased texts are made once, side by side in one buffer, and the sort moves
// small records instead of strings. A usual date key is compared as a number first:
// the texts are then compared from behind it.
class EntrySortKeys
{
public:
    void reserve(std::size_t entries)
    {
        m_keys.reserve(entries);
        m_folded.reserve(entries * kTypicalFoldedBytes);
    }

    // Best called as each entry is made, while its texts are still in the
    // processor's cache.
    void add(const IndexEntry& e)
    {
        const std::size_t offset = m_folded.size();
        m_folded.resize(offset + e.dateKey.size() + e.label.size() + e.fileName.size() + 2);
        char* out = m_folded.data() + offset;
        // A plain transform, which the compiler turns into vector code.
        const auto putLowered = [&out](std::string_view text) {
            out =
                std::transform(text.begin(), text.end(), out, [](char c) { return AsciiLower(c); });
        };
        putLowered(e.dateKey);
        *out++ = '\x06';
        putLowered(e.label);
        *out++ = '\x06';
        putLowered(e.fileName);
        m_keys.push_back({DateNumber(e.dateKey), offset, m_folded.size() - offset, m_keys.size()});
    }

    // Sorts the entries the keys were added for, in the same order.
    void apply(std::vector<IndexEntry>& entries)
    {
        const std::string_view all = m_folded;
        const auto raw = [&entries](std::size_t i) {
            const IndexEntry& e = entries[i];
            return e.dateKey + '\x06' + e.label + '\x06' + e.fileName;
        };
        const auto before = [&](const SortKey& a, const SortKey& b) {
            // Two usual keys of the same date share their first 19 bytes.
            std::size_t from = 0;
            if (a.date != kUnusualDate && b.date != kUnusualDate) {
                if (a.date != b.date)
                    return a.date < b.date;
                from = kDateKeyChars;
            }
            const int c = all.substr(a.offset + from, a.length - from)
                              .compare(all.substr(b.offset + from, b.length - from));
            if (c != 0)
                return c < 0;
            // Equal lower-cased texts are rare: the raw ones are made only for them.
            const std::string rawA = raw(a.index);
            const std::string rawB = raw(b.index);
            if (rawA != rawB)
                return rawA < rawB;
            return a.index < b.index; // as a stable sort leaves equal texts
        };
        const bool allUsual = std::none_of(m_keys.begin(), m_keys.end(),
                                           [](const SortKey& k) { return k.date == kUnusualDate; });
        if (!allUsual) {
            // An unusual key compares by its text with every other.
            std::sort(m_keys.begin(), m_keys.end(), before);
        } else {
            // Most dates differ: ordered by the numbers alone first, the texts
            // decide only among the few keys of one second.
            sortByDate();
            for (auto run = m_keys.begin(); run != m_keys.end();) {
                const auto runEnd = std::find_if(
                    run + 1, m_keys.end(), [&](const SortKey& k) { return k.date != run->date; });
                if (runEnd - run > 1)
                    std::sort(run, runEnd, before);
                run = runEnd;
            }
        }
        // In place: a second vector of entries would be megabytes of fresh memory.
        MoveIntoOrder(entries, [this](std::size_t at) { return m_keys[at].index; });
    }

private:
    // A date key, a title of up to 90 characters or a kind label, and a cache
    // file's name: room reserved and never used costs nothing, while outgrowing it
    // copies the whole buffer into fresh memory.
    static constexpr std::size_t kTypicalFoldedBytes = 160;
    static constexpr unsigned kDigitBits = 11;

    // Orders the keys by date, digit by digit from the lowest; keys of one date
    // keep their order.
    void sortByDate()
    {
        if (m_keys.size() < 2)
            return;
        const auto [low, high] =
            std::minmax_element(m_keys.begin(), m_keys.end(),
                                [](const SortKey& a, const SortKey& b) { return a.date < b.date; });
        const std::uint64_t base = low->date;
        const std::uint64_t range = high->date - base;
        std::vector<SortKey> other(m_keys.size());
        for (unsigned shift = 0; shift < 64 && (range >> shift) != 0; shift += kDigitBits) {
            std::array<std::size_t, (1U << kDigitBits) + 1> starts{};
            const auto digit = [&](const SortKey& k) {
                return static_cast<std::size_t>(((k.date - base) >> shift) &
                                                ((1U << kDigitBits) - 1));
            };
            for (const SortKey& k : m_keys)
                ++starts[digit(k) + 1];
            for (std::size_t d = 1; d < starts.size(); ++d)
                starts[d] += starts[d - 1];
            for (const SortKey& k : m_keys)
                other[starts[digit(k)]++] = k;
            m_keys.swap(other);
        }
    }

    std::vector<SortKey> m_keys;
    std::string m_folded;
};

} // namespace

void SortIndexEntries(std::vector<IndexEntry>& entries)
{
    EntrySortKeys keys;
    keys.reserve(entries.size());
    for (const IndexEntry& e : entries)
        keys.add(e);
    keys.apply(entries);
}

namespace {

// The pictures inside records: kept thumbnails taken over, new ones made on other
// threads while the files are read on, and stored in the files' order: kept and
// new ones share one budget, so a kept one is taken over only once every picture
// before it is stored.
class RecordPictures
{
public:
    RecordPictures(records::ThumbnailFolder& thumbnails, records::PictureScaler* scaler,
                   std::vector<IndexEntry>& entries)
        : m_thumbnails(thumbnails), m_scaler(scaler), m_entries(entries)
    {}

    // Stores the thumbnails made so far, waiting for `wanted` more first (all
    // still waiting, with SIZE_MAX).
    void storeFinished(std::size_t wanted)
    {
        while (m_queue) {
            auto job = m_queue->takeFinished(wanted > 0);
            if (!job)
                return;
            if (wanted != SIZE_MAX && wanted > 0)
                --wanted;
            const auto found = m_waiting.find(job->tag);
            IndexEntry& entry = m_entries[job->tag];
            if (auto stored =
                    StoreMadePicture(m_thumbnails, entry.fileName, found->second.stamp,
                                     job->picture, found->second.extension, job->thumbnail))
                entry.pictureSource = std::move(*stored);
            m_waiting.erase(found);
        }
    }

    std::optional<std::string> reuse(const std::string& name, const records::CacheFileStamp& stamp)
    {
        if (!m_thumbnails.hasPrevious(name, stamp))
            return std::nullopt;
        storeFinished(SIZE_MAX);
        return m_thumbnails.reuse(name, stamp);
    }

    // A new picture's thumbnail, made on another thread when there is a scaler.
    void storeNew(std::size_t index, const records::CacheFileStamp& stamp, RecordFacts& found)
    {
        if (!m_scaler) {
            if (auto stored = StoreMadePicture(m_thumbnails, m_entries[index].fileName, stamp,
                                               found.picture, found.pictureExtension, std::nullopt))
                m_entries[index].pictureSource = std::move(*stored);
            return;
        }
        if (!m_queue) {
            m_scaler->prepare();
            m_queue.emplace(*m_scaler, records::ThumbnailQueue::ThreadsToUse(),
                            kQueuedPictureBytes);
        }
        storeFinished(0);
        while (!m_queue->hasRoomFor(found.picture.size()))
            storeFinished(1);
        m_waiting[index] = {stamp, std::move(found.pictureExtension)};
        m_queue->push({index, std::move(found.picture), std::nullopt});
    }

private:
    struct Waiting
    {
        records::CacheFileStamp stamp;
        std::string extension;
    };

    records::ThumbnailFolder& m_thumbnails;
    records::PictureScaler* m_scaler;
    std::vector<IndexEntry>& m_entries;
    std::optional<records::ThumbnailQueue> m_queue;
    std::unordered_map<std::size_t, Waiting> m_waiting;
};

records::CacheFileStamp StampOf(const CachedFileFacts& facts)
{
    return {facts.size, static_cast<std::int64_t>(facts.modified)};
}

// One run of CreateIndex over an opened folder.
class IndexBuild
{
public:
    IndexBuild(const IndexRequest& request, IndexProgressListener& listener, int folderFd)
        : m_request(request), m_options(request.options), m_listener(listener),
          m_folderFd(folderFd),
          m_clock(request.clock ? request.clock : [] { return std::time(nullptr); }),
          m_total(static_cast<long long>(request.fileNames.size()))
    {
        m_entries.reserve(request.fileNames.size());
        m_sortKeys.reserve(request.fileNames.size());
        // Pictures inside records are stored where the page can draw them.
        if (request.readRecords) {
            m_thumbnails.emplace(request.cacheHome, request.folder);
            m_pictures.emplace(*m_thumbnails, request.pictureScaler, m_entries);
            m_knownResults = records::ResultCache::Parse(
                m_thumbnails->readResults(records::ResultCache::kMaxBytes));
            m_results = records::FreshResults(request.fileNames.size());
        }
        m_report.total = m_total;
        m_report.folderText = FolderText(request.folder);
    }

    IndexOutcome run()
    {
        const std::vector<std::string>& names = m_request.fileNames;
        for (std::size_t index = 0; index < names.size(); ++index) {
            const std::string& name = names[index];
            // The names are in display order, their texts where the listing made
            // them: each would be a wait for memory when its turn comes.
            if (index + 1 < names.size())
                __builtin_prefetch(names[index + 1].data());
            CallYield(m_request.yield);
            reportFile(name);
            CallYield(m_request.yield);
            if (m_listener.cancelRequested()) {
                if (m_listener.keepPartialIndex())
                    break; // the file whose turn it was is not examined
                m_listener.close();
                IndexOutcome outcome;
                outcome.status = IndexStatus::Cancelled;
                return outcome;
            }
            followReading(index);
            indexFile(name);
        }
        m_readAhead.reset();
        return finish();
    }

private:
    // The two reports before each file, and the timed one once per clock second.
    void reportFile(const std::string& name)
    {
        ++m_counter;
        m_report.counter = m_counter;
        m_report.fileName.assign(name);
        m_listener.fileReport(m_report);
        // The percentage changes about a hundred times a run, not at every file.
        const long long percent = PercentOf(m_counter, m_total);
        if (percent != m_percent) {
            m_percent = percent;
            m_percentText = PercentText(percent);
        }
        m_listener.windowTitleReport(m_percentText);

        const auto second = static_cast<int>(m_clock() % 60);
        if (second != m_lastRefreshSecond) {
            m_lastRefreshSecond = second;
            m_listener.timedReport({static_cast<double>(m_counter) / static_cast<double>(m_total),
                                    m_imagesFiltered, m_binaryFiltered});
        }
    }

    // A folder whose files come from the disk is read ahead, several files at a
    // time; one already in memory is not, where the threads would only read every
    // file twice.
    void followReading(std::size_t index)
    {
        if (m_readAhead) {
            m_readAhead->reached(index);
        } else if (index == 0 && m_request.fileNames.size() >= kReadAheadFrom &&
                   FolderLooksUncached(m_folderFd, m_request.fileNames, kReadAheadProbe)) {
            m_readAhead.emplace(m_request.fileNames.size(), index,
                                ReadFolderEntries(m_folderFd, m_request.fileNames, kExaminedBytes));
        }
    }

    void indexFile(const std::string& name)
    {
        CachedFileFacts facts;
        Examination exam = examine(name, facts);
        m_anyRecord = m_anyRecord || m_record.isRecord;
        followChromiumHead(name, exam);
        const bool isImage = exam.kind == FileKind::Image;
        const bool isSound = exam.kind == FileKind::Sound;
        if (isImage && m_options.excludeImages)
            ++m_imagesFiltered;
        if (exam.binaryMark && m_options.excludeBinaryFiles && !isImage && !isSound)
            ++m_binaryFiltered;

        const bool kept =
            !exam.skipped && !(isImage && m_options.excludeImages) &&
            !(!isImage && m_options.includeOnlyImages) &&
            !(exam.binaryMark && m_options.excludeBinaryFiles && !isImage && !isSound);
        m_lastTitle.assign("Last Title Found:  ");
        m_lastTitle.append(TrimSpaces(exam.label));
        // A file that vanished since the list was read would be a link to nothing.
        if (kept && facts.exists)
            addEntry(name, std::move(exam.label), facts);
        m_listener.lastTitleReport(m_lastTitle);
    }

    // What the file is: the last build's examination when the file is unchanged
    // (and its picture, if any, still kept), else a fresh one.
    Examination examine(const std::string& name, CachedFileFacts& facts)
    {
        m_keptPicture.reset();
        const records::ExaminedFile* known =
            m_thumbnails ? KnownResult(m_folderFd, name, m_knownResults, facts) : nullptr;
        if (known && known->hasPicture && !m_options.excludeImages) {
            m_keptPicture = m_pictures->reuse(name, StampOf(facts));
            // A picture without its thumbnail is read again, unless there is no
            // room left to store it.
            if (!m_keptPicture && m_thumbnails->bytesLeft() >= kThumbnailRoom)
                known = nullptr;
        }
        if (known) {
            m_record = {};
            m_record.isRecord = known->isRecord;
            m_record.url = known->url;
            m_record.chromiumSparseData = known->chromiumSparseData;
            m_record.pictureKept = m_keptPicture.has_value();
            m_results.put(name, *known);
            return known->examination;
        }
        facts = {};
        // The thumbnail of an unchanged picture is taken over before its body would
        // be read; a picture the page leaves out is not asked for.
        const PictureKeptFn pictureKept = [&](const CachedFileFacts& found) {
            if (m_options.excludeImages || !found.exists)
                return false;
            m_keptPicture = m_pictures->reuse(name, StampOf(found));
            return m_keptPicture.has_value();
        };
        Examination exam = ExamineCachedFile(
            m_folderFd, name, kIndexDocumentName, m_buffer, m_request.yield, &facts,
            m_thumbnails ? &m_record : nullptr, m_thumbnails ? pictureKept : PictureKeptFn());
        // Kept from the folder's first record on, since only a folder with records
        // stores them: most hold records from their first file, or none at all,
        // and a file before the first one is only examined again next time.
        if (m_thumbnails && facts.opened && (m_anyRecord || m_record.isRecord))
            m_results.put(name, {records::IdentityOf(facts.status), exam, m_record.isRecord,
                                 m_record.chromiumSparseData,
                                 m_record.pictureKept || !m_record.picture.empty(), m_record.url});
        return exam;
    }

    // The last Chromium head "<hash>_0" read as a record: its "<hash>_s", which
    // sorts after it, holds the data and is listed as the same thing.
    void followChromiumHead(const std::string& name, Examination& exam)
    {
        if (m_record.isRecord && name.ends_with("_0") && exam.kind != FileKind::Image) {
            m_headStem = name.substr(0, name.size() - 2);
            m_headExam = exam;
            m_headUrl = m_record.url;
        } else if (m_record.chromiumSparseData && !m_headStem.empty() &&
                   name.size() == m_headStem.size() + 2 && name.starts_with(m_headStem)) {
            exam = m_headExam;
            m_record.isRecord = true;
            m_record.url = m_headUrl;
        }
    }

    void addEntry(const std::string& name, std::string label, const CachedFileFacts& facts)
    {
        m_entries.push_back({MakeDateKey(ToLocalDateTime(facts.modified)), std::move(label), name});
        // Only the date, label and name sort, and they stay as they are now.
        m_sortKeys.add(m_entries.back());
        if (!m_record.isRecord)
            return;
        IndexEntry& entry = m_entries.back();
        entry.fromRecord = true;
        entry.url = std::move(m_record.url);
        const records::CacheFileStamp stamp = StampOf(facts);
        if (m_keptPicture) {
            entry.pictureSource = std::move(*m_keptPicture);
        } else if (!m_record.picture.empty()) {
            // Without room now there is none later: the room only shrinks.
            if (auto kept = m_pictures->reuse(name, stamp))
                entry.pictureSource = std::move(*kept);
            else if (m_thumbnails->bytesLeft() >= kThumbnailRoom)
                m_pictures->storeNew(m_entries.size() - 1, stamp, m_record);
        }
    }

    // Sorts, writes the page and, once it is written, keeps this build's pictures.
    IndexOutcome finish()
    {
        if (m_pictures)
            m_pictures->storeFinished(SIZE_MAX);
        m_sortKeys.apply(m_entries);
        IndexDocumentHeader header;
        header.folder = m_request.folder;
        header.pattern = m_request.pattern;
        header.imagesFiltered = m_imagesFiltered;
        header.binaryFiltered = m_binaryFiltered;
        header.created = ToLocalDateTime(m_clock());
        header.formats = m_request.formats;

        IndexOutcome outcome;
        outcome.entryCount = static_cast<int>(m_entries.size());
        outcome.imagesFiltered = m_imagesFiltered;
        outcome.binaryFiltered = m_binaryFiltered;
        outcome.documentPath =
            std::filesystem::path(m_request.folder) / std::string(kIndexDocumentName);
        if (Result<void> written = WriteIndexDocument(m_request.folder, header, m_entries);
            written) {
            outcome.status = IndexStatus::Written;
        } else {
            outcome.status = IndexStatus::WriteFailed;
            outcome.error = written.error();
        }
        // The new page names this build's pictures; an unwritten page keeps the old ones.
        if (outcome.status == IndexStatus::Written)
            keepPictures();
        m_listener.close();
        return outcome;
    }

    void keepPictures()
    {
        if (m_thumbnails) {
            // A folder without records leaves the cache home alone.
            if (m_anyRecord) {
                std::string kept = m_results.serialize();
                if (kept.size() <= records::ResultCache::kMaxBytes)
                    m_thumbnails->keepResults(std::move(kept));
            }
            // The page is in place already; pictures that cannot join it only leave
            // its thumbnails out, and the next build makes them again.
            std::ignore = m_thumbnails->commit();
        } else if (!m_request.cacheHome.empty()) {
            records::RemoveAllThumbnailsOf(m_request.cacheHome, m_request.folder);
        }
    }

    const IndexRequest& m_request;
    const IndexOptions& m_options;
    IndexProgressListener& m_listener;
    const int m_folderFd;
    const ClockFn m_clock;
    const long long m_total;

    std::vector<IndexEntry> m_entries;
    EntrySortKeys m_sortKeys;
    std::optional<ReadAhead> m_readAhead;
    std::string m_buffer;
    std::optional<records::ThumbnailFolder> m_thumbnails;
    // Declared after the thumbnail folder: its threads end before the folder goes.
    std::optional<RecordPictures> m_pictures;
    RecordFacts m_record;
    // What the last build found in each file, and what this one finds.
    records::ResultCache m_knownResults;
    records::FreshResults m_results;
    bool m_anyRecord = false;
    std::string m_headStem;
    Examination m_headExam;
    std::string m_headUrl;
    std::optional<std::string> m_keptPicture;

    int m_imagesFiltered = 0;
    int m_binaryFiltered = 0;
    int m_lastRefreshSecond = 0;
    long long m_counter = 0;
    long long m_percent = -1;
    std::string m_percentText;
    // The report and the last-title text are reused from file to file, so that
    // their texts keep their storage: the run sends two reports per file.
    FileReport m_report;
    std::string m_lastTitle;
};

} // namespace

IndexOutcome CreateIndex(const IndexRequest& request, IndexProgressListener& listener)
{
    IndexOutcome outcome;
    if (request.fileNames.empty()) {
        outcome.status = IndexStatus::NoFiles;
        return outcome;
    }
    const FileDescriptor folder(::open(request.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) {
        // Every file would look vanished, and an empty page would pass for a true one.
        outcome.status = IndexStatus::FolderUnreadable;
        outcome.error = SystemError(errno, request.folder);
        return outcome;
    }
    return IndexBuild(request, listener, folder.get()).run();
}

std::string BrowserLaunchErrorText(std::string_view documentPath)
{
    return "An error occured trying to launch your web browser.  This problem is likely because "
           "your system does not have a default web browser set up.  It is recommended you try "
           "to correct the problem and then try again.  Otherwise, you will need to manually "
           "launch your browser and open " +
           std::string(documentPath);
}

IndexOutcome RunIndexBuild(IndexRunHost& host, IndexProgressListener& listener,
                           const LocaleFormats& formats, const ClockFn& clock, const YieldFn& yield)
{
    IndexRequest request;
    request.fileNames = host.refreshFileList();
    host.setFilesLabel("Files (" + std::to_string(request.fileNames.size()) + ")");
    request.folder = host.fileListFolder();
    host.enterFolder(request.folder);
    host.setIndexPath(kIndexDocumentName);
    request.options = host.filterOptions();
    request.pattern = host.filePattern();
    request.readRecords = host.readCacheRecordsChecked();
    request.cacheHome = host.cacheHome();
    if (request.readRecords)
        request.pictureScaler = host.pictureScaler();
    request.formats = formats;
    request.clock = clock;
    request.yield = yield;

    if (request.fileNames.empty()) {
        host.showNoFilesMessage();
        return {};
    }
    host.hideMainWindow();
    IndexOutcome outcome = CreateIndex(request, listener);
    if (outcome.status == IndexStatus::Cancelled) {
        host.showMainWindow();
        return outcome;
    }
    if (outcome.status == IndexStatus::FolderUnreadable) {
        // The message of a folder that cannot be entered: the error's number and description.
        host.showError("ERROR: " + std::to_string(outcome.error->code),
                       std::strerror(outcome.error->code));
        host.showMainWindow();
        return outcome;
    }
    if (outcome.status == IndexStatus::WriteFailed) {
        // Opening the browser or the wizard now would show an older index, or none,
        // as if this run had produced it.
        host.showError(kWriteErrorTitle,
                       "The index file could not be written.\n\n" + outcome.error->message);
        host.showMainWindow();
        return outcome;
    }
    host.documentWritten(std::string(kIndexDocumentName));
    const std::string documentPath = outcome.documentPath.string();
    if (host.launchBrowserChecked() && !host.openInBrowser(documentPath))
        host.showError(kBrowserErrorTitle, BrowserLaunchErrorText(documentPath));
    if (host.launchWizardChecked())
        host.showWizardModal();
    host.showMainWindow();
    return outcome;
}

} // namespace tessaloom
