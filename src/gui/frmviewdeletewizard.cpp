#include "gui/frmviewdeletewizard.h"

#include "gui/frmconfirmdelete.h"
#include "gui/programcontext.h"
#include "gui/userprompts.h"
#include "gui/waitcursor.h"
#include "gui/windowkit.h"
#include "gui/windowlaunch.h"
#include "gui/windowops.h"
#include "shell/settings.h"
#include "shell/twips.h"
#include "wizard/deletefiles.h"
#include "wizard/indexpath.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QListView>
#include <QMenuBar>
#include <QScreen>

#include <algorithm>
#include <tuple>

namespace tessaloom::gui {

namespace {

// The layout rule, in twips: the list sits at 120/450 and leaves 300 of the
// window's width and 1200 of its height to the frame, the menu and the margins.
constexpr int kListLeftTwips = 120;
constexpr int kListTopTwips = 450;
constexpr int kWidthAllowanceTwips = 300;
constexpr int kHeightAllowanceTwips = 1200;

const QString kOpenFilterAll = QStringLiteral("All Files (*.*)");
const QString kOpenFilterIndex = QStringLiteral("TSL Index Files (!ndex.htm)");

// The main window's folder: it keeps the process's current folder on the folder
// its lists show.
std::filesystem::path MainWindowFolder()
{
    return ProcessCurrentFolder();
}

} // namespace

// ---- frmViewDeleteWizard ----

frmViewDeleteWizard::frmViewDeleteWizard(QWidget* mainWindow)
    : QMainWindow(mainWindow, Qt::Window), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("frmViewDeleteWizard"));
    setWindowTitle(QStringLiteral("View/Delete Wizard"));
    setWindowModality(Qt::ApplicationModal);
    resize(640, 440);
    createMenus();
    createLists();
}

frmViewDeleteWizard::~frmViewDeleteWizard() = default;

void frmViewDeleteWizard::createMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("MenuFile"));
    const auto add = [this](QMenu* menu, const char* name, const QString& caption,
                            void (frmViewDeleteWizard::*handler)(),
                            const QKeySequence& shortcut = {}) {
        return AddMenuAction(menu, name, caption, this, handler, shortcut);
    };
    add(file, "MenuFileOpen", QStringLiteral("&Open..."), &frmViewDeleteWizard::MenuFileOpen_Click);
    add(file, "MenuFileSelectAll", QStringLiteral("&Select All Shown"),
        &frmViewDeleteWizard::MenuFileSelectAll_Click);
    add(file, "MenuFileDeleteFiles", QStringLiteral("&Delete All Selected Items"),
        &frmViewDeleteWizard::MenuFileDeleteFiles_Click);
    file->addSeparator()->setObjectName(QStringLiteral("MenuFileHash1"));
    add(file, "MenuFileCloseWin", QStringLiteral("&Close Window"),
        &frmViewDeleteWizard::MenuFileCloseWin_Click);
    add(file, "MenuFileExit", QStringLiteral("E&xit Program"),
        &frmViewDeleteWizard::MenuFileExit_Click);

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("MenuHelp"));
    add(help, "MenuHelpContents", QStringLiteral("&Contents"),
        &frmViewDeleteWizard::MenuHelpContents_Click, QKeySequence(Qt::Key_F1));
    help->addSeparator()->setObjectName(QStringLiteral("MenuHelpHash1"));
    add(help, "MenuHelpAbout", QStringLiteral("&About..."),
        &frmViewDeleteWizard::MenuHelpAbout_Click);
}

void frmViewDeleteWizard::createLists()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    setCentralWidget(client);
    m_model = new WizardRowModel(this);

    m_lstDisplay = new QListView(client);
    m_lstDisplay->setObjectName(QStringLiteral("LstDisplay"));
    m_lstDisplay->setModel(m_model);
    m_lstDisplay->setModelColumn(WizardRowModel::DisplayColumn);
    m_lstDisplay->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_lstDisplay->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Every row has the same height: the view then never measures all rows, which
    // keeps a list of a hundred thousand rows as quick as a short one.
    m_lstDisplay->setUniformItemSizes(true);
    m_lstDisplay->setLayoutMode(QListView::SinglePass);
    m_lstDisplay->setTextElideMode(Qt::ElideRight);

    m_list2 = new QListView(client);
    m_list2->setObjectName(QStringLiteral("List2"));
    m_list2->setModel(m_model);
    m_list2->setModelColumn(WizardRowModel::TargetColumn);
    m_list2->setUniformItemSizes(true);
    m_list2->hide();
}

bool frmViewDeleteWizard::Form_Load()
{
    KeepWindowPlacement(this, PlacementMode::Restore);
    // The record holds the outer frame, which the window manager makes known only
    // once the window is shown; placed without it, the wizard would come back
    // larger by its frame at every opening. So it is placed again when the frame
    // shows.
    m_placedWithFrame = frameGeometry().size() - geometry().size();
    Form_Resize();
    LoadIndexList();
    return !m_unloaded;
}

void frmViewDeleteWizard::exec()
{
    if (m_unloaded)
        return;
    QEventLoop loop;
    m_loop = &loop;
    show();
    loop.exec(QEventLoop::DialogExec);
}

bool frmViewDeleteWizard::event(QEvent* event)
{
    const bool handled = QMainWindow::event(event);
    if (event->type() == QEvent::WindowActivate) {
        repaint();
        // Played after this event: the sound lets events run, which must not
        // happen in the middle of activating the window.
        QMetaObject::invokeMethod(
            this, [] { PlaySoundFile(QStringLiteral("ClickBg.wav")); }, Qt::QueuedConnection);
    }
    return handled;
}

void frmViewDeleteWizard::placeAgainWhenTheFrameShows()
{
    if (!m_placedWithFrame || frameGeometry().size() - geometry().size() == *m_placedWithFrame)
        return;
    m_placedWithFrame.reset();
    KeepWindowPlacement(this, PlacementMode::Restore);
}

void frmViewDeleteWizard::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    placeAgainWhenTheFrameShows();
    Form_Resize();
}

void frmViewDeleteWizard::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    placeAgainWhenTheFrameShows();
}

void frmViewDeleteWizard::Form_Resize()
{
    const double dpi = ScreenDpi(this);
    const WindowRect window = WindowRectInTwips(this);
    QRect list = m_lstDisplay->geometry();
    list.moveTo(TwipsToPixels(kListLeftTwips, dpi), TwipsToPixels(kListTopTwips, dpi));
    // A negative size (a tiny or minimised window) is refused: the list keeps the
    // size it had.
    const int width = window.width - kWidthAllowanceTwips;
    const int height = window.height - kHeightAllowanceTwips;
    if (width >= 0)
        list.setWidth(TwipsToPixels(width, dpi));
    if (height >= 0)
        list.setHeight(TwipsToPixels(height, dpi));
    // The allowance was made for a thin title bar; under a taller one the list
    // would reach past the window's bottom and hide its scroll bar there.
    const int clientBottom = centralWidget()->height();
    if (height >= 0 && list.bottom() >= clientBottom && clientBottom > list.top())
        list.setBottom(clientBottom - 1);
    m_lstDisplay->setGeometry(list);
}

void frmViewDeleteWizard::closeEvent(QCloseEvent* event)
{
    if (!m_endingProgram && !isMinimized() && !isMaximized() && !isFullScreen())
        KeepWindowPlacement(this, PlacementMode::Save);
    m_unloaded = true;
    event->accept();
    if (m_loop)
        m_loop->quit();
}

void frmViewDeleteWizard::LoadIndexList()
{
    WaitCursor wait(true);
    IndexList list = FindAndReadIndex(gblIndexPath, MainWindowFolder());
    if (list.status == IndexListStatus::OpenDialogNeeded) {
        wait.stop();
        MenuFileOpen_Click();
        return;
    }
    // An unreadable document leaves both lists empty, without a message.
    m_document = list.document;
    m_documentFolder = list.folder;
    m_model->setRows(std::move(list.rows));
}

void frmViewDeleteWizard::MenuFileOpen_Click()
{
    for (;;) {
        OpenFileRequest request;
        request.parent = this;
        request.title = QStringLiteral("Open");
        request.folder = PathToText(MainWindowFolder().string());
        request.filter = kOpenFilterAll + QStringLiteral(";;") + kOpenFilterIndex;
        request.selectedFilter = kOpenFilterIndex;
        const QString chosen = ChooseOpenFile(request);
        if (chosen.isEmpty()) {
            close();
            return;
        }
        gblIndexPath.set(TextToPath(chosen));
        if (QFileInfo(chosen).isFile()) {
            LoadIndexList();
            return;
        }
        ShowErrorBox(this, QStringLiteral("FILE NOT FOUND"), QStringLiteral("File not found"));
    }
}

void frmViewDeleteWizard::MenuFileSelectAll_Click()
{
    m_lstDisplay->setFocus();
    const int count = m_model->rowCount();
    if (count > 0) {
        // What Home and then Shift+End do: the first row becomes the anchor and
        // the last the current row, everything between selected.
        const QModelIndex first = m_model->index(0, WizardRowModel::DisplayColumn);
        const QModelIndex last = m_model->index(count - 1, WizardRowModel::DisplayColumn);
        QItemSelectionModel* selection = m_lstDisplay->selectionModel();
        selection->setCurrentIndex(last, QItemSelectionModel::NoUpdate);
        selection->select(QItemSelection(first, last), QItemSelectionModel::ClearAndSelect);
        m_lstDisplay->scrollTo(last);
    }
    if (AskYesNo(this, QStringLiteral("Deleted All Selected Files"),
                 QStringLiteral("Delete all selected files now?")))
        MenuFileDeleteFiles_Click();
}

void frmViewDeleteWizard::MenuFileDeleteFiles_Click()
{
    const std::vector<std::size_t> selected = selectedRows();
    const bool confirmDeletions = Program().settings().confirmDeletions;
    WaitCursor wait;
    const ConfirmDeleteFn confirm = [&] {
        const ConfirmDeleteReply reply = frmConfirmDelete::Ask(this);
        if (reply.answer == ConfirmDeleteAnswer::Yes && !m_model->rows().empty())
            wait.start();
        return reply;
    };
    if (!confirmDeletions && !m_model->rows().empty())
        wait.start();

    // The rows belong to the document they were read from, whatever gblIndexPath
    // says by now.
    const DeleteOutcome outcome =
        DeleteSelectedFiles(m_document, m_documentFolder, m_model->rows(), selected,
                            confirmDeletions, confirm, Program().folders().cacheHome);
    // After No as after Yes: the box ticked stops the asking from now on.
    if (outcome.storeConfirmDeletionsOff) {
        // Off in memory even when the file cannot be written: this run of the
        // program no longer asks, as the user wanted; the delete run goes on.
        std::ignore = WriteConfirmDeletionsOff(Program().settings(), Program().settingsPath());
    }
    if (!outcome.confirmed)
        return;
    // Named before the rows are renumbered.
    const QString problems = deleteProblemsText(outcome);
    m_model->removeDeleted(outcome);
    if (outcome.selectRow)
        selectOnly(*outcome.selectRow);
    wait.stop();
    if (!problems.isEmpty())
        ShowErrorBox(this, QStringLiteral("Delete Problems"), problems, MessageIcon::Exclamation);
}

QString frmViewDeleteWizard::deleteProblemsText(const DeleteOutcome& outcome) const
{
    // Files that stayed, or a page that still lists deleted files, must not pass
    // for a clean delete: the rows left show them, and this says why.
    const bool pageLeft = outcome.rewrite && !outcome.rewrite->ok();
    if (outcome.notDeleted.empty() && !pageLeft)
        return {};
    QString text;
    if (!outcome.notDeleted.empty()) {
        text =
            outcome.notDeleted.size() == 1
                ? QStringLiteral("1 file could not be deleted:")
                : QStringLiteral("%1 files could not be deleted:").arg(outcome.notDeleted.size());
        constexpr std::size_t kShown = 10;
        for (std::size_t i = 0; i < outcome.notDeleted.size() && i < kShown; ++i) {
            const auto& [row, reason] = outcome.notDeleted[i];
            const QString path = row < m_model->rows().size()
                                     ? PathToText(m_model->rows()[row].targetPath)
                                     : QString();
            const QString name = QFileInfo(path).fileName();
            // The reason starts with the file's path: the line names the file once.
            // Decoded as the path is, the name is found in it.
            QString why = PathToText(reason.message);
            const QString lead = name + QStringLiteral(": ");
            if (const qsizetype at = why.indexOf(lead);
                !name.isEmpty() && at >= 0 && (at == 0 || why.at(at - 1) == QLatin1Char('/')))
                why.remove(0, at + lead.size());
            text += QStringLiteral("\n") + lead + why;
        }
        if (outcome.notDeleted.size() > kShown)
            text += QStringLiteral("\n...");
    }
    if (pageLeft) {
        if (!text.isEmpty())
            text += QStringLiteral("\n\n");
        text += QStringLiteral("The index page was not updated: ") +
                QString::fromStdString(outcome.rewrite->error().message);
    }
    return text;
}

void frmViewDeleteWizard::MenuFileCloseWin_Click()
{
    close();
}

void frmViewDeleteWizard::MenuFileExit_Click()
{
    // The main window's own close stores the settings and its placement and ends
    // the program; should it come back here, the program ends all the same. The
    // wizard goes with the process, as any window still open then does: its own
    // placement is not saved.
    m_endingProgram = true;
    const QPointer<frmViewDeleteWizard> self(this);
    if (m_mainWindow)
        m_mainWindow->close();
    if (self)
        close();
    QCoreApplication::quit();
}

void frmViewDeleteWizard::MenuHelpContents_Click()
{
    OpenHelpContents(m_mainWindow ? m_mainWindow : this);
}

void frmViewDeleteWizard::MenuHelpAbout_Click()
{
    ShowAbout(this, m_mainWindow);
}

std::vector<std::size_t> frmViewDeleteWizard::selectedRows() const
{
    std::vector<std::size_t> rows;
    for (const QItemSelectionRange& range : m_lstDisplay->selectionModel()->selection()) {
        if (range.left() > WizardRowModel::DisplayColumn ||
            range.right() < WizardRowModel::DisplayColumn)
            continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(static_cast<std::size_t>(row));
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void frmViewDeleteWizard::selectOnly(std::size_t row)
{
    if (row >= m_model->rows().size())
        return;
    const QModelIndex index = m_model->index(static_cast<int>(row), WizardRowModel::DisplayColumn);
    m_lstDisplay->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_lstDisplay->scrollTo(index);
}

// ---- opening ----

void ShowViewDeleteWizard(QWidget* owner)
{
    const QPointer<frmViewDeleteWizard> wizard = new frmViewDeleteWizard(owner);
    if (wizard->Form_Load())
        wizard->exec();
    delete wizard.data();
}

} // namespace tessaloom::gui
