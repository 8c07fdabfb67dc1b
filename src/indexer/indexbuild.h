#pragma once

#include "indexer/indexdocument.h"
#include "platform/callbacks.h"
#include "platform/localeformats.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaloom {

namespace records {
class PictureScaler;
}

/// The three filters of an index build.
struct IndexOptions
{
    bool excludeImages = false;
    bool includeOnlyImages = false;
    bool excludeBinaryFiles = true;
};

/// Sent for every file before it is examined.
struct FileReport
{
    long long counter = 0; // 1-based number of the file
    long long total = 0;
    std::string folderText; // blanks shown as "_", long folders cut to "..." + last 99
    std::string fileName;

    // Made only when shown: most reports of a run are never shown.
    std::string readingText() const; // "Reading File: 3 of 10"
    std::string percentText() const; // "30% Complete"
};

/// Sent at most once per clock second.
struct TimedReport
{
    double barPosition = 0; // counter / total, 0..1
    int imagesFiltered = 0;
    int binaryFiltered = 0;
};

/// Receives the reports of a build run; the progress window implements it.
class IndexProgressListener
{
public:
    virtual ~IndexProgressListener() = default;
    virtual void fileReport(const FileReport& report) = 0;
    /// The window shows `percentText` as its title while minimised, else "Tessaloom"
    /// (see ProgressWindowTitle).
    virtual void windowTitleReport(std::string_view percentText) = 0;
    virtual void timedReport(const TimedReport& report) = 0;
    /// Polled once per file, before it is read.
    virtual bool cancelRequested() = 0;
    /// After a cancel: "Open !ndex.htm for what has been indexed thus far?" Yes keeps
    /// the entries found so far; No abandons the run.
    virtual bool keepPartialIndex() = 0;
    /// "Last Title Found:  " + the trimmed label, for every examined file.
    virtual void lastTitleReport(std::string_view text) = 0;
    virtual void close() = 0;
};

/// The progress window's title: the percentage while minimised, else the product name.
std::string ProgressWindowTitle(bool minimised, std::string_view percentText);

/// Everything one build needs. The run uses `folder` for every file operation, never
/// the process's current folder.
struct IndexRequest
{
    std::string folder;                 // as shown; a root folder ends in "/"
    std::vector<std::string> fileNames; // bare names, in list order
    std::string pattern;
    IndexOptions options;
    LocaleFormats formats;
    /// Read browsers' cache records through their bodies, storing their pictures
    /// under `cacheHome` (the XDG cache home). Off: every file is examined as the
    /// cached file it is, the page is exactly as without this option, and the
    /// folder's pictures of an earlier build are removed from under `cacheHome`.
    bool readRecords = false;
    std::string cacheHome;
    /// Makes the thumbnails of pictures inside records; without one (or for a
    /// picture it cannot read) a bounded copy of the picture is stored.
    records::PictureScaler* pictureScaler = nullptr;
    ClockFn clock; // the current time; defaults to the system clock
    YieldFn yield; // lets window events run; may be empty
};

enum class IndexStatus
{
    NoFiles,          // the list was empty; nothing written
    Cancelled,        // cancelled and the partial index declined; nothing written
    Written,          // the document is in place
    WriteFailed,      // examined, but the document could not be written (see error)
    FolderUnreadable, // the folder could not be opened; nothing examined or written
};

struct IndexOutcome
{
    IndexStatus status = IndexStatus::NoFiles;
    int entryCount = 0;
    int imagesFiltered = 0;
    int binaryFiltered = 0;
    std::filesystem::path documentPath;
    /// Why the folder could not be opened (its errno) or the document written.
    std::optional<Error> error;
};

/// Examines every listed file, filters, orders the entries by date and writes
/// folder/"!ndex.htm". The listener is closed at the end unless there were no files.
IndexOutcome CreateIndex(const IndexRequest& request, IndexProgressListener& listener);

/// The entries' order: by date key, then label, then file name, without regard to
/// letter case.
void SortIndexEntries(std::vector<IndexEntry>& entries);

/// The main window as the build run sees it; the window implements it.
class IndexRunHost
{
public:
    virtual ~IndexRunHost() = default;
    /// The folder of the file list (a root folder ends in "/").
    virtual std::string fileListFolder() = 0;
    /// Re-reads the file list from disk and returns its names in list order.
    virtual std::vector<std::string> refreshFileList() = 0;
    /// The run has written `name` into the file list's folder: the list takes it
    /// as a new reading would, without reading the folder again.
    virtual void documentWritten(const std::string& name) { (void)name; }
    virtual std::string filePattern() = 0;
    virtual IndexOptions filterOptions() = 0;
    /// "Files (" + count + ")".
    virtual void setFilesLabel(std::string_view text) = 0;
    /// Makes `folder` the process's current folder, so that the bare index path
    /// designates the new document.
    virtual void enterFolder(const std::string& folder) = 0;
    /// Sets the program-wide index path.
    virtual void setIndexPath(std::string_view path) = 0;
    /// "No files found", error icon, empty title; the pointer back to the arrow.
    virtual void showNoFilesMessage() = 0;
    virtual void hideMainWindow() = 0;
    virtual void showMainWindow() = 0;
    virtual bool launchBrowserChecked() = 0;
    virtual bool launchWizardChecked() = 0;
    /// The File menu's "Read Browser Cache Records": read browsers' cache records
    /// through their bodies. A host without that choice never does.
    virtual bool readCacheRecordsChecked() { return false; }
    /// The XDG cache home, under which pictures inside records are stored.
    virtual std::string cacheHome() { return {}; }
    /// Makes the thumbnails of pictures inside records; none: copies are stored.
    virtual records::PictureScaler* pictureScaler() { return nullptr; }
    /// Opens a document with the desktop's default handler; false on failure.
    virtual bool openInBrowser(const std::string& path) = 0;
    /// A message box with the error icon.
    virtual void showError(std::string_view title, std::string_view text) = 0;
    /// Shows the View/Delete Wizard modally.
    virtual void showWizardModal() = 0;
};

inline constexpr std::string_view kNoFilesMessage = "No files found";
inline constexpr std::string_view kBrowserErrorTitle = "Error Launching Browser";
inline constexpr std::string_view kWriteErrorTitle = "Error Writing Index";

/// "An error occured trying to launch your web browser. ..." ending with the path.
std::string BrowserLaunchErrorText(std::string_view documentPath);

/// The whole run behind "Create Index File": refresh, build, then open the page and
/// the wizard as the options say, and show the main window again.
IndexOutcome RunIndexBuild(IndexRunHost& host, IndexProgressListener& listener,
                           const LocaleFormats& formats, const ClockFn& clock = {},
                           const YieldFn& yield = {});

} // namespace tessaloom
