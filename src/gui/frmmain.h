#pragma once

#include "indexer/indexbuild.h"
#include "mainwindow/mainlayout.h"
#include "mainwindow/mainoptions.h"
#include "thumbnails/lazypicturescaler.h"

#include <QMainWindow>
#include <QMargins>

#include <functional>
#include <map>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tessaloom::gui {

class DriveListBox;
class FileListBox;
class FolderListBox;

/// The main window: a volume, a folder and a pattern, the options of the index
/// build, the suggested cache folders, and the menus.
class frmMain final : public QMainWindow, public IndexRunHost
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmMain)

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    /// The window's start-up: placement, shown, the saved folder, pattern and
    /// options, then the suggested folders (or the offer to search for them).
    void Form_Load();

    /// Brings the window forward: shown, restored, raised and activated (a second
    /// start of the program asks for this).
    void bringToFront();

    /// What closing the window does last: end the program. Tests replace it.
    void setEndProgram(std::function<void()> endProgram) { m_endProgram = std::move(endProgram); }

    /// The main window's values as they are written on exit.
    MainWindowValues exitValues() const;

    // The window's operations.
    void LoadSuggestedList();
    void SearchDriveForFolders();

    // IndexRunHost
    std::string fileListFolder() override;
    std::vector<std::string> refreshFileList() override;
    void documentWritten(const std::string& name) override;
    std::string filePattern() override;
    IndexOptions filterOptions() override;
    void setFilesLabel(std::string_view text) override;
    void enterFolder(const std::string& folder) override;
    void setIndexPath(std::string_view path) override;
    void showNoFilesMessage() override;
    void hideMainWindow() override;
    void showMainWindow() override;
    bool launchBrowserChecked() override;
    bool launchWizardChecked() override;
    bool readCacheRecordsChecked() override;
    std::string cacheHome() override;
    records::PictureScaler* pictureScaler() override;
    bool openInBrowser(const std::string& path) override;
    void showError(std::string_view title, std::string_view text) override;
    void showWizardModal() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createOptionsFrame(QWidget* client);
    void createMenus();
    void fitCaptionFont();
    void connectHandlers();
    void Form_Resize();
    void placeAgainWhenTheFrameShows();
    void noteNormalFrame();
    void Form_Unload();
    void applyLayout();
    void updateFilesLabel();
    void refreshAfterWizard();
    OptionBoxes optionBoxes() const;
    void setOptionBoxes(const OptionBoxes& boxes);
    void optionBoxClicked(OptionBox box);

    // Handlers, named after their control and event.
    void Dir1_Change();
    void Dir1_KeyPress();
    void Dir1_MouseUp();
    void txtFolders_KeyPress();
    void txtFolders_LostFocus();
    void Drv_DriveList_Change();
    void txtFileMask_KeyPress();
    void cmboCacheFolders_Click(int index);
    void btnRefreshFolders_Click();
    bool txtMinFileCount_KeyPress(char32_t key);
    void txtMinFileCount_LostFocus();
    void chkExcludeImages_Click();
    void chkIncludeOnlyImages_Click();
    void btnCreateIndex_Click();
    void MenuFileOpen_Click();
    void MenuFileViewDeleteWizard_Click();
    void MenuFileRefreshFileList_Click();
    void MenuFileCopyPath_Click();
    void MenuFileReadRecords_Click();
    void MenuFileExit_Click();
    void MenuHelpContents_Click();
    void MenuHelpShowQuickStart_Click();
    void MenuCheckForUpdates_Click();
    void MenuHelpAbout_Click();

    MainLayout m_layout = InitialMainLayout();
    bool m_inResize = false;
    /// The frame's size when the saved placement was applied, until the window
    /// manager's frame has shown (see Form_Load).
    std::optional<QSize> m_placedWithFrame;
    /// The frame's widths in the normal state, last seen (see Form_Unload).
    std::optional<QMargins> m_normalFrame;
    bool m_closing = false;
    std::function<void()> m_endProgram;
    /// The folder last shown on each volume, so that going back to a volume
    /// returns to where the user was on it.
    std::map<std::string, std::string> m_volumeFolders;
    LazyPictureScaler m_pictureScaler;

    QLabel* lblDrives = nullptr;
    DriveListBox* Drv_DriveList = nullptr;
    QLabel* lblFolders = nullptr;
    QLineEdit* txtFolders = nullptr;
    FolderListBox* Dir1 = nullptr;
    QLabel* lblFiles = nullptr;
    QLineEdit* txtFileMask = nullptr;
    FileListBox* File1 = nullptr;
    QGroupBox* FrameOptions = nullptr;
    QGroupBox* frmCacheFolders = nullptr;
    QComboBox* cmboCacheFolders = nullptr;
    QPushButton* btnRefreshFolders = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* txtMinFileCount = nullptr;
    QCheckBox* chkExcludeImages = nullptr;
    QCheckBox* chkIncludeOnlyImages = nullptr;
    QCheckBox* chkExcludeBinaryFiles = nullptr;
    QCheckBox* chkLaunchBrowser = nullptr;
    QCheckBox* chkLaunchViewDeleteWizard = nullptr;
    QPushButton* btnCreateIndex = nullptr;

    QAction* MenuFileOpen = nullptr;
    QAction* MenuFileViewDeleteWizard = nullptr;
    QAction* MenuFileRefreshFileList = nullptr;
    QAction* MenuFileCopyPath = nullptr;
    QAction* MenuFileReadRecords = nullptr;
    QAction* MenuFileExit = nullptr;
    QAction* MenuHelpContents = nullptr;
    QAction* MenuHelpShowQuickStart = nullptr;
    QAction* MenuCheckForUpdates = nullptr;
    QAction* MenuHelpAbout = nullptr;
};

} // namespace tessaloom::gui
