#pragma once

#include "discovery/drivesearch.h"
#include "platform/callbacks.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QWidget>

#include <functional>

class QLabel;
class QListWidget;
class QPushButton;

namespace tessaloom::gui {

/// What the drive search needs of the main window besides the search window.
struct FoldersSearchHooks
{
    /// Empties the suggested-folder combo (before the walk).
    std::function<void()> clearSuggestions;
    /// Reloads the combo from the folder list just written (after the window has gone).
    std::function<void()> reloadSuggestedList;
};

/// `SearchDriveForFolders` with its window: walks `plan`'s volumes and cache home
/// while `FoldersSearch` shows what is found, writes the folder list, slides the
/// window out and reloads the suggestions. Returns when the search is over. The
/// window is placed against `owner` (the main window), which also gives the error
/// boxes their title.
DriveSearchResult SearchDrivesForFolders(QWidget* owner, const DriveSearchPlan& plan,
                                         const FoldersSearchHooks& hooks = {});

/// `FoldersSearch`: the drive search's progress window. It lists the cache folders
/// as they are found, sorted without regard to case, and holds the cancel request,
/// which is its Cancel button's own visibility.
class FoldersSearch final : public QWidget, public FoldersSearchView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FoldersSearch)

public:
    explicit FoldersSearch(QWidget* owner, FoldersSearchHooks hooks = {});
    ~FoldersSearch() override;

    // CacheWalkObserver
    bool cancelRequested() override;
    void letEventsRun() override;
    void cacheFolderFound(const std::string& path) override;
    void setFoldersLabel(const std::string& text) override;
    ErrorAnswer askAboutError(const WalkError& error) override;

    // FoldersSearchView
    void setBusyPointer(bool busy) override;
    void playSound(const std::string& fileName) override;
    void showWindow() override;
    void clearSuggestions() override;
    void setSearchingLabel(const std::string& text) override;
    void slideOutAndClose() override;
    void reloadSuggestedList() override;

protected:
    /// The close box asks to cancel, as the Cancel button does; the window stays
    /// until the search has written what it found.
    void closeEvent(QCloseEvent* event) override;

private:
    void createControls();
    void btnCancel_Click();
    /// Puts the folders found since the last time into `List1` and shows its
    /// last item; at most a few times a second unless `now`.
    void showFoundFolders(bool now);

    QWidget* m_owner = nullptr;
    FoldersSearchHooks m_hooks;
    YieldFn m_yield;
    bool m_busy = false;
    QLabel* m_lblSearching = nullptr;
    QLabel* m_lblFolders = nullptr;
    QListWidget* m_list1 = nullptr;
    QPushButton* m_btnCancel = nullptr;
    QStringList m_pendingFolders;
    QElapsedTimer m_sinceShown;
};

} // namespace tessaloom::gui
