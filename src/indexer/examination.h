#pragma once

#include "platform/callbacks.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace tessaloom {

/// Kind labels. Their leading blanks keep them apart from titles, which never
/// begin with a blank, and sort them before titles of the same date.
inline constexpr std::string_view kImageLabel = "       Image";
inline constexpr std::string_view kSoundLabel = "        Sound";
inline constexpr std::string_view kJavaScriptLabel = "     Java Script";
inline constexpr std::string_view kUntitledBinaryLabel = "      Untitled (binary)";
inline constexpr std::string_view kUntitledLabel = "      Untitled";

/// At most this many bytes of a cached file are read.
inline constexpr std::size_t kExaminedBytes = 100'000;

enum class FileKind
{
    Image,
    Sound,
    Other
};

/// What the examination of one cached file found.
struct Examination
{
    std::string label;       // title, kind label, or empty
    bool binaryMark = false; // a byte of 128..255 among the first 200 of an untitled file
    FileKind kind = FileKind::Other;
    bool skipped = false; // an older index, "fat.db" or "_cache_*": never an entry
};

/// The page title of `content`: <title>, else the first non-empty of <H1> .. <H6>,
/// shortened to 90 characters and cleaned of line breaks and commas.
std::string FindTitle(std::string_view content);

/// True when FindTitle gives the same title for every longer content that begins
/// with `content`: the tags that decide it are all found. Lets a reader that has
/// to decode a body stop early.
bool TitleIsSettled(std::string_view content);

/// Examines already-read content under its file name. `indexName` is the name of
/// the index document (an older one is skipped). `yield` runs between the steps.
Examination ExamineContent(std::string_view fileName, std::string_view content,
                           std::string_view indexName, const YieldFn& yield = {});

/// What the file system says about a cached file at the time it is examined.
struct CachedFileFacts
{
    bool exists = false;      // false when it vanished since it was listed
    std::time_t modified = 0; // last-modified time when it exists
    std::uint64_t size = 0;
    /// The file was opened as a regular file, and `status` is what it was then: its
    /// examination holds for as long as that status does.
    bool opened = false;
    struct stat status
    {
    };
};

/// What reading a browser's cache record adds to the examination.
struct RecordFacts
{
    bool isRecord = false;
    std::string url;              // the address the browser fetched the body from
    std::string picture;          // the decoded picture, whole, when the record holds one
    std::string pictureExtension; // "png", "jpg", ... to store it under
    /// Not a record, but the data half "<hash>_s" of a Chromium entry whose head
    /// is in "<hash>_0" (media fetched in ranges): it begins as every Chromium
    /// entry file does.
    bool chromiumSparseData = false;
    /// A record of a picture the caller already had (see ExamineCachedFile): its
    /// body was not read, and `picture` is empty.
    bool pictureKept = false;
};

/// Asked, with the file's facts, of a record that holds a picture: true when the
/// caller already has that picture (kept from the last build of an unchanged
/// file), so that its body need not be read.
using PictureKeptFn = std::function<bool(const CachedFileFacts&)>;

/// Reads the first bytes of `fileName` in the folder open as `folderFd` (a file that
/// vanished or cannot be read is examined with empty content) and examines it.
/// `buffer` is reused between calls to save allocations; `facts`, when given,
/// receives whether the file still exists and its modification time. When `record`
/// is given, a Chromium or Firefox cache record is examined through its decoded
/// body and `record` receives what it adds; any other file, and a damaged record,
/// is examined exactly as without it.
/// Reads the first bytes of `fileName` in the folder open as `folderFd` (a file that
/// vanished or cannot be read is examined with empty content) and examines it.
/// `buffer` is reused between calls to save allocations; `facts`, when given,
/// receives whether the file still exists and its modification time.
Examination ExamineCachedFile(int folderFd, std::string_view fileName, std::string_view indexName,
                              std::string& buffer, const YieldFn& yield = {},
                              CachedFileFacts* facts = nullptr, RecordFacts* record = nullptr,
                              const PictureKeptFn& pictureKept = {});

} // namespace tessaloom
