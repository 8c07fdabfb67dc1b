#pragma once

#include "platform/localeformats.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tessaloom {

/// The user's answer to a walk error the walk cannot pass over by itself.
enum class ErrorAnswer
{
    Abort,  ///< abandon the folder being walked (this level returns)
    Retry,  ///< repeat the step that failed
    Ignore, ///< go on with the step after the one that failed
};

/// An error while opening or reading a folder that is neither a refused
/// permission nor a folder that has gone.
struct WalkError
{
    int number = 0;          ///< errno
    std::string description; ///< strerror text
    std::string path;        ///< the folder concerned

    /// The message text: the number in decimal, " - ", the description.
    std::string text() const;
};

/// What the walk tells the search window and asks of it. The window implements it
/// with its controls; the command-line tool and the tests with plain code.
class CacheWalkObserver
{
public:
    virtual ~CacheWalkObserver() = default;

    /// True once the user has cancelled (the Cancel button has hidden itself).
    /// Polled before every sub-folder.
    virtual bool cancelRequested() = 0;
    /// Lets pending window events run; this is when a Cancel click is taken.
    virtual void letEventsRun() = 0;
    /// A cache folder has been found: show it in the list and scroll to the end.
    virtual void cacheFolderFound(const std::string& path) = 0;
    /// New text for the progress label (empty clears it); repaint the label.
    virtual void setFoldersLabel(const std::string& text) = 0;
    /// Asks Abort, Retry or Ignore about an error; Ignore is the default answer.
    virtual ErrorAnswer askAboutError(const WalkError& error) = 0;
};

struct CacheWalkOptions
{
    /// Most folder descriptors the walk keeps open at once, whatever the depth;
    /// deeper levels are closed and reopened when the walk climbs back.
    std::size_t maxOpenFolders = 48;
};

/// True when a sub-folder's own name marks it as a browser cache: "cache",
/// "temporary internet files" or "cache.trash", letter case ignored. Names that
/// merely contain one of these ("cache2", "mycache", "Caches") do not count.
bool IsCacheFolderName(std::string_view name);

/// True when the folder at `path` (a sub-folder found by the walk) is a cache
/// folder: its name passes IsCacheFolderName, or it is the folder that holds the
/// cached files of a current browser: "Cache_Data" inside "Cache" (Chromium, Chrome,
/// Brave, Edge, Vivaldi, QtWebEngine) or "entries" inside "cache2" (Firefox).
bool IsCacheFolderPath(std::string_view path);

/// "Folders Searched: " and the count with thousands separators.
std::string FoldersSearchedText(std::int32_t count, const LocaleFormats& formats);

/// Walks the folder tree under `root` for cache folders and reports each one found
/// through `observer`, with its full path as the file system spells it. Only
/// sub-folders are tested, never `root` itself; the walk has no depth limit,
/// descends into cache folders too, never follows symbolic links (`root` itself
/// may be one) and stays on the volume that holds `root`.
///
/// `folderCounter` counts the folders opened; every 50th sets the progress label.
/// The cancel request is polled before each sub-folder and ends the whole walk.
/// A folder that refuses access or has gone is passed over silently; any other
/// error is put to the observer. A path holding a line break is never reported,
/// since the folder list stores one path per line.
void ListCacheFolders(std::string_view root, std::int32_t& folderCounter,
                      CacheWalkObserver& observer, const LocaleFormats& formats,
                      const CacheWalkOptions& options = {});

} // namespace tessaloom
