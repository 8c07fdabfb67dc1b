#pragma once

#include "gui/wizardrowmodel.h"
#include "wizard/deletefiles.h"
#include "wizard/indexreader.h"

#include <QMainWindow>
#include <QPointer>

#include <filesystem>
#include <optional>
#include <vector>

class QAction;
class QEventLoop;
class QListView;

namespace tessaloom::gui {

/// "View/Delete Wizard": lists the entries of the index document that gblIndexPath
/// names and deletes the files of the rows the user selects.
class frmViewDeleteWizard final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(frmViewDeleteWizard)

public:
    /// `mainWindow` is the program's main window (hidden while the wizard is shown
    /// from its menu); Exit Program closes it, help and About belong to it.
    explicit frmViewDeleteWizard(QWidget* mainWindow);
    ~frmViewDeleteWizard() override;

    /// Placement, then the first read. False when the wizard already closed itself
    /// (the Open dialog was cancelled): it is not to be shown then.
    bool Form_Load();
    /// Shows the window modally and returns once it has closed.
    void exec();

    /// Reads the current document into both lists, or asks for one.
    void LoadIndexList();

    void MenuFileOpen_Click();
    void MenuFileSelectAll_Click();
    void MenuFileDeleteFiles_Click();
    /// What went wrong in a delete run, for the user; empty when nothing did.
    QString deleteProblemsText(const DeleteOutcome& outcome) const;
    void MenuFileCloseWin_Click();
    void MenuFileExit_Click();
    void MenuHelpContents_Click();
    void MenuHelpAbout_Click();

    WizardRowModel* rowModel() const { return m_model; }
    QListView* LstDisplay() const { return m_lstDisplay; }
    /// True once the window was closed (unloaded); it is deleted afterwards.
    bool isUnloaded() const { return m_unloaded; }

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenus();
    void createLists();
    void Form_Resize();
    void placeAgainWhenTheFrameShows();
    /// The selected rows of `LstDisplay`, ascending.
    std::vector<std::size_t> selectedRows() const;
    void selectOnly(std::size_t row);

    QWidget* m_mainWindow;
    std::filesystem::path m_document; // the document the rows were read from
    FolderIdentity m_documentFolder;  // and the folder they were read in
    WizardRowModel* m_model = nullptr;
    QListView* m_lstDisplay = nullptr;
    QListView* m_list2 = nullptr;
    QPointer<QEventLoop> m_loop;
    bool m_unloaded = false;
    /// Exit Program: the window closes with the process, without its own saving.
    bool m_endingProgram = false;
    /// The frame's size when the saved placement was applied, until the window
    /// manager's frame has shown (see Form_Load).
    std::optional<QSize> m_placedWithFrame;
};

} // namespace tessaloom::gui
