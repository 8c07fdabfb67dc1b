#pragma once

#include "discovery/cachefolderwalk.h"
#include "platform/localeformats.h"
#include "platform/result.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tessaloom {

inline constexpr const char* kSearchStartSound = "ClickBg.wav";

/// The search window and the main window as the drive search drives them. The
/// walk's part (cancel flag, events, found folders, progress label, error
/// question) comes from CacheWalkObserver.
class FoldersSearchView : public CacheWalkObserver
{
public:
    /// The hourglass pointer on (true) or back to the default (false).
    virtual void setBusyPointer(bool busy) = 0;
    /// Plays a sound file of the program folder.
    virtual void playSound(const std::string& fileName) = 0;
    /// Shows the search window, modeless.
    virtual void showWindow() = 0;
    /// Empties the main window's suggested-folder combo.
    virtual void clearSuggestions() = 0;
    /// Sets the "Searching ..." label; the text holds a line break ("\n").
    virtual void setSearchingLabel(const std::string& text) = 0;
    /// Slides the search window out upward, then unloads it.
    virtual void slideOutAndClose() = 0;
    /// Reloads the suggested-folder combo from the folder list.
    virtual void reloadSuggestedList() = 0;
};

/// A place to search: a folder and the volume-list entry that names it.
struct SearchRoot
{
    std::string path;
    std::string entryText;
};

/// What one search walks and where it writes.
struct DriveSearchPlan
{
    /// Walked in this order, the folder counter reset before each.
    std::vector<SearchRoot> volumes;
    /// Walked last, without resetting the counter; empty to leave out.
    std::string cacheHome;
    /// Where the found folders are written; empty to write nothing.
    std::filesystem::path folderListPath;
};

struct DriveSearchResult
{
    /// The found folders in the order written: sorted, repeats dropped.
    std::vector<std::string> folders;
    bool cancelled = false;
    bool written = false;
    std::optional<Error> writeError; ///< why the folder list could not be written
};

/// "Searching " + line feed + the volume's entry + " ...".
std::string SearchingLabelText(const std::string& entryText);

/// Puts found folders in ascending order without regard to case and drops every
/// one equal (ignoring case) to the one before it.
std::vector<std::string> SortFoundFolders(std::vector<std::string> folders);

/// The folder list file's bytes: one path per line, each ended by CR LF.
std::string FolderListText(const std::vector<std::string>& folders);

/// Runs a whole search: the volumes, then the cache home, then writes the folder
/// list (atomically, replacing the previous one, also after a cancel) and has the
/// view reload the suggestions. Failures do not stop the steps that follow; the
/// result says what was written.
DriveSearchResult RunDriveSearch(const DriveSearchPlan& plan, FoldersSearchView& view,
                                 const LocaleFormats& formats,
                                 const CacheWalkOptions& options = {});

} // namespace tessaloom
