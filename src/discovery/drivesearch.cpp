#include "discovery/drivesearch.h"

#include "platform/atomicfile.h"
#include "platform/textcodec.h"

#include <algorithm>

namespace tessaloom {

namespace {

// Passes the walk's reports on to the window and keeps the found folders, as the
// window's own list does.
class CollectingObserver final : public CacheWalkObserver
{
public:
    explicit CollectingObserver(FoldersSearchView& view) : m_view(view) {}

    bool cancelRequested() override
    {
        if (!m_cancelled && m_view.cancelRequested())
            m_cancelled = true;
        return m_cancelled;
    }
    void letEventsRun() override { m_view.letEventsRun(); }
    void cacheFolderFound(const std::string& path) override
    {
        m_found.push_back(path);
        m_view.cacheFolderFound(path);
    }
    void setFoldersLabel(const std::string& text) override { m_view.setFoldersLabel(text); }
    ErrorAnswer askAboutError(const WalkError& error) override
    {
        return m_view.askAboutError(error);
    }

    std::vector<std::string>& found() { return m_found; }
    bool cancelled() const { return m_cancelled; }

private:
    FoldersSearchView& m_view;
    std::vector<std::string> m_found;
    bool m_cancelled = false;
};

} // namespace

std::string SearchingLabelText(const std::string& entryText)
{
    return "Searching \n" + entryText + " ...";
}

std::vector<std::string> SortFoundFolders(std::vector<std::string> folders)
{
    std::sort(folders.begin(), folders.end(),
              [](const std::string& a, const std::string& b) { return ICompare(a, b) < 0; });
    const auto last =
        std::unique(folders.begin(), folders.end(),
                    [](const std::string& a, const std::string& b) { return IEquals(a, b); });
    folders.erase(last, folders.end());
    return folders;
}

std::string FolderListText(const std::vector<std::string>& folders)
{
    std::string text;
    for (const std::string& folder : folders) {
        text += folder;
        text += "\r\n";
    }
    return text;
}

DriveSearchResult RunDriveSearch(const DriveSearchPlan& plan, FoldersSearchView& view,
                                 const LocaleFormats& formats, const CacheWalkOptions& options)
{
    view.setBusyPointer(true);
    view.playSound(kSearchStartSound);
    view.showWindow();
    view.clearSuggestions();

    CollectingObserver observer(view);
    std::int32_t folderCounter = 0;
    for (const SearchRoot& volume : plan.volumes) {
        view.setSearchingLabel(SearchingLabelText(volume.entryText));
        view.setFoldersLabel({});
        folderCounter = 0;
        ListCacheFolders(volume.path, folderCounter, observer, formats, options);
    }
    if (!plan.cacheHome.empty())
        ListCacheFolders(plan.cacheHome, folderCounter, observer, formats, options);

    DriveSearchResult result;
    result.cancelled = observer.cancelled();
    result.folders = SortFoundFolders(std::move(observer.found()));
    if (!plan.folderListPath.empty()) {
        const Result<void> written = WriteFileAtomically(
            plan.folderListPath, FolderListText(result.folders), LinkAtTarget::WriteThrough);
        result.written = written.ok();
        if (!written)
            result.writeError = written.error();
    }

    view.slideOutAndClose();
    view.reloadSuggestedList();
    view.setBusyPointer(false);
    return result;
}

} // namespace tessaloom
