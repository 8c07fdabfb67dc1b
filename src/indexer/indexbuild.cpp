#include "indexer/indexbuild.h"

#include "indexer/examination.h"
#include "indexer/records/picturescaler.h"
#include "indexer/records/resultcache.h"
#include "indexer/records/thumbnailfolder.h"
#include "indexer/records/thumbnailqueue.h"
#include "platform/filedescriptor.h"
#include "platform/replacealltext.h"
#include "platform/textcodec.h"

#include <algorithm>
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

std::string PercentText(long long counter, long long total)
{
    // The division in double precision, cut to its integer part: 29 of 100 gives 28.
    const auto percent =
        static_cast<long long>(static_cast<double>(counter) / static_cast<double>(total) * 100.0);
    return std::to_string(percent) + "% Complete";
}

} // namespace

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

void SortIndexEntries(std::vector<IndexEntry>& entries)
{
    // Each entry sorts as one text: date key, code 6, label, code 6, file name,
    // compared as ICompare does (lower-cased bytes, then length, then the bytes
    // themselves). The lower-cased texts are made once, side by side in one buffer,
    // and the sort moves small records instead of strings. A usual date key is
    // compared as a number first: the texts are then compared from behind it.
    struct Key
    {
        std::uint64_t date;
        std::size_t offset;
        std::size_t length;
        std::size_t index;
    };
    std::size_t total = 0;
    for (const IndexEntry& e : entries)
        total += e.dateKey.size() + e.label.size() + e.fileName.size() + 2;
    std::string folded(total, '\0');
    char* out = folded.data();
    std::vector<Key> keys;
    keys.reserve(entries.size());
    const auto putLowered = [&out](std::string_view text) {
        for (const char c : text)
            *out++ = AsciiLower(c);
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const IndexEntry& e = entries[i];
        const auto offset = static_cast<std::size_t>(out - folded.data());
        putLowered(e.dateKey);
        *out++ = '\x06';
        putLowered(e.label);
        *out++ = '\x06';
        putLowered(e.fileName);
        keys.push_back({DateNumber(e.dateKey), offset,
                        static_cast<std::size_t>(out - folded.data()) - offset, i});
    }
    const std::string_view all = folded;
    const auto raw = [&entries](std::size_t i) {
        const IndexEntry& e = entries[i];
        return e.dateKey + '\x06' + e.label + '\x06' + e.fileName;
    };
    std::sort(keys.begin(), keys.end(), [&](const Key& a, const Key& b) {
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
    });
    // The order is applied in place, cycle by cycle: a second vector of entries
    // would be megabytes of fresh memory for a large folder.
    std::vector<bool> placed(entries.size(), false);
    for (std::size_t start = 0; start < keys.size(); ++start) {
        if (placed[start])
            continue;
        IndexEntry held = std::move(entries[start]);
        std::size_t at = start;
        for (;;) {
            placed[at] = true;
            const std::size_t from = keys[at].index;
            if (from == start)
                break;
            entries[at] = std::move(entries[from]);
            at = from;
        }
        entries[at] = std::move(held);
    }
}

IndexOutcome CreateIndex(const IndexRequest& request, IndexProgressListener& listener)
{
    IndexOutcome outcome;
    if (request.fileNames.empty()) {
        outcome.status = IndexStatus::NoFiles;
        return outcome;
    }
    const ClockFn clock = request.clock ? request.clock : [] { return std::time(nullptr); };
    const IndexOptions& options = request.options;
    const FileDescriptor folder(::open(request.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder) {
        // Every file would look vanished, and an empty page would pass for a true one.
        outcome.status = IndexStatus::FolderUnreadable;
        outcome.error = SystemError(errno, request.folder);
        return outcome;
    }
    const std::string folderText = FolderText(request.folder);
    const auto total = static_cast<long long>(request.fileNames.size());

    std::vector<IndexEntry> entries;
    entries.reserve(request.fileNames.size());
    std::string buffer;
    // Pictures inside records are stored where the page can draw them.
    std::optional<records::ThumbnailFolder> thumbnails;
    if (request.readRecords)
        thumbnails.emplace(request.cacheHome, request.folder);
    RecordFacts record;
    // What the last build found in each file, and what this one finds.
    records::ResultCache knownResults;
    records::ResultCache results;
    bool anyRecord = false;
    if (thumbnails)
        knownResults =
            records::ResultCache::Parse(thumbnails->readResults(records::ResultCache::kMaxBytes));
    // The last Chromium head "<hash>_0" read as a record: its "<hash>_s", which
    // sorts after it, holds the data and is listed as the same thing.
    std::string headStem;
    Examination headExam;
    std::string headUrl;
    // The thumbnail of an unchanged picture is taken over before its body would be
    // read; a picture the page leaves out is not asked for.
    const std::string* current = nullptr;
    std::optional<std::string> keptPicture;
    // Thumbnails are made on other threads while the files are read on, and stored
    // in the files' order: kept and new ones share one budget, so a kept one is
    // taken over only once every picture before it is stored.
    std::optional<records::ThumbnailQueue> queue;
    struct Waiting
    {
        records::CacheFileStamp stamp;
        std::string extension;
    };
    std::unordered_map<std::size_t, Waiting> waiting;
    // Stores the thumbnails made so far, waiting for `wanted` more first (all
    // still waiting, with SIZE_MAX).
    const auto storeFinished = [&](std::size_t wanted) {
        while (queue) {
            auto job = queue->takeFinished(wanted > 0);
            if (!job)
                return;
            if (wanted != SIZE_MAX && wanted > 0)
                --wanted;
            const auto found = waiting.find(job->tag);
            IndexEntry& entry = entries[job->tag];
            if (auto stored =
                    StoreMadePicture(*thumbnails, entry.fileName, found->second.stamp, job->picture,
                                     found->second.extension, job->thumbnail))
                entry.pictureSource = std::move(*stored);
            waiting.erase(found);
        }
    };
    const auto reuse = [&](const std::string& name, const records::CacheFileStamp& stamp) {
        if (!thumbnails->hasPrevious(name, stamp))
            return std::optional<std::string>();
        storeFinished(SIZE_MAX);
        return thumbnails->reuse(name, stamp);
    };
    // A new picture's thumbnail, made on another thread when there is a scaler.
    const auto storeNew = [&](std::size_t index, const records::CacheFileStamp& stamp,
                              RecordFacts& found) {
        if (!request.pictureScaler) {
            if (auto stored = StoreMadePicture(*thumbnails, entries[index].fileName, stamp,
                                               found.picture, found.pictureExtension, std::nullopt))
                entries[index].pictureSource = std::move(*stored);
            return;
        }
        if (!queue)
            queue.emplace(*request.pictureScaler, records::ThumbnailQueue::ThreadsToUse(),
                          kQueuedPictureBytes);
        storeFinished(0);
        while (!queue->hasRoomFor(found.picture.size()))
            storeFinished(1);
        waiting[index] = {stamp, std::move(found.pictureExtension)};
        queue->push({index, std::move(found.picture), std::nullopt});
    };
    const PictureKeptFn pictureKept = [&](const CachedFileFacts& found) {
        if (options.excludeImages || !found.exists)
            return false;
        keptPicture = reuse(*current, {found.size, static_cast<std::int64_t>(found.modified)});
        return keptPicture.has_value();
    };
    int imagesFiltered = 0;
    int binaryFiltered = 0;
    int lastRefreshSecond = 0;
    long long counter = 0;
    // The report and the last-title text are reused from file to file, so that
    // their texts keep their storage: the run sends two reports per file.
    FileReport report;
    report.total = total;
    report.folderText = folderText;
    const std::string totalText = " of " + std::to_string(total);
    std::string lastTitle;

    for (const std::string& name : request.fileNames) {
        CallYield(request.yield);
        ++counter;

        report.counter = counter;
        report.readingText.assign("Reading File: ");
        report.readingText += std::to_string(counter);
        report.readingText += totalText;
        report.fileName.assign(name);
        report.percentText = PercentText(counter, total);
        listener.fileReport(report);
        listener.windowTitleReport(report.percentText);

        const auto second = static_cast<int>(clock() % 60);
        if (second != lastRefreshSecond) {
            lastRefreshSecond = second;
            listener.timedReport({static_cast<double>(counter) / static_cast<double>(total),
                                  imagesFiltered, binaryFiltered});
        }

        CallYield(request.yield);
        if (listener.cancelRequested()) {
            if (listener.keepPartialIndex())
                break; // the file whose turn it was is not examined
            listener.close();
            outcome.status = IndexStatus::Cancelled;
            return outcome;
        }

        CachedFileFacts facts;
        keptPicture.reset();
        current = &name;
        const records::ExaminedFile* known =
            thumbnails ? KnownResult(folder.get(), name, knownResults, facts) : nullptr;
        if (known && known->hasPicture && !options.excludeImages) {
            keptPicture = reuse(name, {facts.size, static_cast<std::int64_t>(facts.modified)});
            // A picture without its thumbnail is read again, unless there is no
            // room left to store it.
            if (!keptPicture && thumbnails->bytesLeft() >= kThumbnailRoom)
                known = nullptr;
        }
        Examination exam;
        if (known) {
            exam = known->examination;
            record = {};
            record.isRecord = known->isRecord;
            record.url = known->url;
            record.chromiumSparseData = known->chromiumSparseData;
            record.pictureKept = keptPicture.has_value();
            results.put(name, *known);
        } else {
            facts = {};
            exam = ExamineCachedFile(folder.get(), name, kIndexDocumentName, buffer, request.yield,
                                     &facts, thumbnails ? &record : nullptr,
                                     thumbnails ? pictureKept : PictureKeptFn());
            if (thumbnails && facts.opened)
                results.put(name, {records::IdentityOf(facts.status), exam, record.isRecord,
                                   record.chromiumSparseData,
                                   record.pictureKept || !record.picture.empty(), record.url});
        }
        anyRecord = anyRecord || record.isRecord;
        if (record.isRecord && name.ends_with("_0") && exam.kind != FileKind::Image) {
            headStem = name.substr(0, name.size() - 2);
            headExam = exam;
            headUrl = record.url;
        } else if (record.chromiumSparseData && !headStem.empty() &&
                   name.size() == headStem.size() + 2 && name.starts_with(headStem)) {
            exam = headExam;
            record.isRecord = true;
            record.url = headUrl;
        }
        const bool isImage = exam.kind == FileKind::Image;
        const bool isSound = exam.kind == FileKind::Sound;
        if (isImage && options.excludeImages)
            ++imagesFiltered;
        if (exam.binaryMark && options.excludeBinaryFiles && !isImage && !isSound)
            ++binaryFiltered;

        const bool kept = !exam.skipped && !(isImage && options.excludeImages) &&
                          !(!isImage && options.includeOnlyImages) &&
                          !(exam.binaryMark && options.excludeBinaryFiles && !isImage && !isSound);
        lastTitle.assign("Last Title Found:  ");
        lastTitle.append(TrimSpaces(exam.label));
        // A file that vanished since the list was read would be a link to nothing.
        if (kept && facts.exists) {
            entries.push_back(
                {MakeDateKey(ToLocalDateTime(facts.modified)), std::move(exam.label), name});
            if (record.isRecord) {
                entries.back().fromRecord = true;
                entries.back().url = std::move(record.url);
                const records::CacheFileStamp stamp{facts.size,
                                                    static_cast<std::int64_t>(facts.modified)};
                if (keptPicture) {
                    entries.back().pictureSource = std::move(*keptPicture);
                } else if (!record.picture.empty()) {
                    // Without room now there is none later: the room only shrinks.
                    if (auto kept = reuse(name, stamp))
                        entries.back().pictureSource = std::move(*kept);
                    else if (thumbnails->bytesLeft() >= kThumbnailRoom)
                        storeNew(entries.size() - 1, stamp, record);
                }
            }
        }
        listener.lastTitleReport(lastTitle);
    }

    storeFinished(SIZE_MAX);
    SortIndexEntries(entries);
    IndexDocumentHeader header;
    header.folder = request.folder;
    header.pattern = request.pattern;
    header.imagesFiltered = imagesFiltered;
    header.binaryFiltered = binaryFiltered;
    header.created = ToLocalDateTime(clock());
    header.formats = request.formats;

    outcome.entryCount = static_cast<int>(entries.size());
    outcome.imagesFiltered = imagesFiltered;
    outcome.binaryFiltered = binaryFiltered;
    outcome.documentPath = std::filesystem::path(request.folder) / std::string(kIndexDocumentName);
    if (const Result<void> written = WriteIndexDocument(request.folder, header, entries); written) {
        outcome.status = IndexStatus::Written;
    } else {
        outcome.status = IndexStatus::WriteFailed;
        outcome.error = written.error();
    }
    // The new page names this build's pictures; an unwritten page keeps the old ones.
    if (outcome.status == IndexStatus::Written) {
        if (thumbnails) {
            // A folder without records leaves the cache home alone.
            if (anyRecord) {
                std::string kept = results.serialize();
                if (kept.size() <= records::ResultCache::kMaxBytes)
                    thumbnails->keepResults(std::move(kept));
            }
            thumbnails->commit();
        } else if (!request.cacheHome.empty())
            records::RemoveAllThumbnailsOf(request.cacheHome, request.folder);
    }
    listener.close();
    return outcome;
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
