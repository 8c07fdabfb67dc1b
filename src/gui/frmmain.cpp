#include "gui/frmmain.h"

#include "discovery/suggestedlist.h"
#include "gui/drivelistbox.h"
#include "gui/eventyield.h"
#include "gui/filelistbox.h"
#include "gui/folderlistbox.h"
#include "gui/folderssearch.h"
#include "gui/programcontext.h"
#include "gui/statusform.h"
#include "gui/userprompts.h"
#include "gui/windowkit.h"
#include "gui/windowlaunch.h"
#include "gui/windowops.h"
#include "mainwindow/folderview.h"
#include "shell/twips.h"
#include "wizard/indexpath.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <filesystem>
#include <optional>
#include <unistd.h>

namespace tessaloom::gui {

namespace {

CheckState StateOf(const QCheckBox* box)
{
    return box->checkState() == Qt::Checked ? CheckState::Checked : CheckState::Unchecked;
}

bool IsRegularFile(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Tessaloom"));
    m_endProgram = [] { QCoreApplication::quit(); };
    // The program lives exactly as long as this window. It is hidden during a build
    // and while the wizard is open, and closing the progress window then must not
    // end the program as the last window's close would.
    QApplication::setQuitOnLastWindowClosed(false);
    createMenus();
    createControls();
    connectHandlers();

    const double dpi = ScreenDpi(this);
    resize(TwipsToPixels(kMainInitialClientWidth, dpi),
           TwipsToPixels(kMainInitialClientHeight, dpi) + menuBar()->sizeHint().height());
    // Until a saved folder is shown, the lists show the folder the program started in.
    Dir1->setPath(ProcessCurrentFolder().string());
}

frmMain::~frmMain()
{
    // The boxes lose the focus while they are destroyed; their handlers must not run.
    for (QObject* watched : {static_cast<QObject*>(Dir1), static_cast<QObject*>(txtFolders),
                             static_cast<QObject*>(txtMinFileCount)})
        watched->removeEventFilter(this);
}

void frmMain::createMenus()
{
    QMenu* MenuFile = menuBar()->addMenu(QStringLiteral("&File"));
    MenuFile->setObjectName(QStringLiteral("MenuFile"));
    const auto add = [this](QMenu* menu, const char* name, const QString& caption,
                            const QKeySequence& shortcut, void (frmMain::*handler)()) {
        return AddMenuAction(menu, name, caption, this, handler, shortcut);
    };
    MenuFileOpen = add(MenuFile, "MenuFileOpen", QStringLiteral("&Open !ndex File with Browser"),
                       QKeySequence(Qt::CTRL | Qt::Key_O), &frmMain::MenuFileOpen_Click);
    MenuFileViewDeleteWizard =
        add(MenuFile, "MenuFileViewDeleteWizard", QStringLiteral("View/Delete &Wizard..."),
            QKeySequence(Qt::CTRL | Qt::Key_W), &frmMain::MenuFileViewDeleteWizard_Click);
    MenuFileRefreshFileList =
        add(MenuFile, "MenuFileRefreshFileList", QStringLiteral("&Refresh File List"),
            QKeySequence(Qt::Key_F5), &frmMain::MenuFileRefreshFileList_Click);
    MenuFileCopyPath =
        add(MenuFile, "MenuFileCopyPath", QStringLiteral("&Copy Current Path to Clipboard"), {},
            &frmMain::MenuFileCopyPath_Click);
    // Reading today's browsers' cache records: on until the user unticks it, and
    // saved as soon as it changes.
    MenuFileReadRecords =
        add(MenuFile, "MenuFileReadRecords", QStringLiteral("Read &Browser Cache Records"), {},
            &frmMain::MenuFileReadRecords_Click);
    MenuFileReadRecords->setCheckable(true);
    MenuFileReadRecords->setChecked(Program().settings().readCacheRecords);
    MenuFile->addSeparator()->setObjectName(QStringLiteral("MenuFileHash1"));
    MenuFileExit =
        add(MenuFile, "MenuFileExit", QStringLiteral("E&xit"), {}, &frmMain::MenuFileExit_Click);

    QMenu* MenuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    MenuHelp->setObjectName(QStringLiteral("MenuHelp"));
    MenuHelpContents = add(MenuHelp, "MenuHelpContents", QStringLiteral("&Contents"),
                           QKeySequence(Qt::Key_F1), &frmMain::MenuHelpContents_Click);
    MenuHelpShowQuickStart =
        add(MenuHelp, "MenuHelpShowQuickStart", QStringLiteral("Show &Quick Start Information"), {},
            &frmMain::MenuHelpShowQuickStart_Click);
    MenuHelp->addSeparator()->setObjectName(QStringLiteral("MenuHelpHash1"));
    MenuCheckForUpdates = add(MenuHelp, "MenuCheckForUpdates", QStringLiteral("Check For &Updates"),
                              {}, &frmMain::MenuCheckForUpdates_Click);
    MenuHelpAbout =
        add(MenuHelp, "MenuHelpAbout", QStringLiteral("&About"), {}, &frmMain::MenuHelpAbout_Click);
}

void frmMain::createControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("frmMainClient"));
    setCentralWidget(client);

    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    };
    lblDrives = named(new QLabel(QStringLiteral("Drives"), client), "lblDrives");
    Drv_DriveList = named(new DriveListBox(client), "Drv_DriveList");
    lblFolders = named(new QLabel(QStringLiteral("Folders"), client), "lblFolders");
    txtFolders = named(new QLineEdit(client), "txtFolders");
    Dir1 = named(new FolderListBox(client), "Dir1");
    lblFiles = named(new QLabel(QStringLiteral("Files"), client), "lblFiles");
    txtFileMask = named(new QLineEdit(QStringLiteral("*.*"), client), "txtFileMask");
    File1 = named(new FileListBox(client), "File1");
    createOptionsFrame(client);
    btnCreateIndex =
        named(new QPushButton(QStringLiteral("&Create Index File ..."), client), "btnCreateIndex");
    btnCreateIndex->setDefault(false);

    // The pattern box is only 195 twips high: a frameless edit keeps its text readable.
    txtFileMask->setFrame(false);
    txtFileMask->setToolTip(QStringLiteral("File pattern: press Enter to apply"));
    lblDrives->setBuddy(Drv_DriveList);
    lblFolders->setBuddy(txtFolders);

    fitCaptionFont();

    setTabOrder(Drv_DriveList, txtFolders);
    setTabOrder(txtFolders, Dir1);
    setTabOrder(Dir1, txtFileMask);
    setTabOrder(txtFileMask, File1);
    setTabOrder(File1, cmboCacheFolders);
    setTabOrder(cmboCacheFolders, btnRefreshFolders);
    setTabOrder(btnRefreshFolders, txtMinFileCount);
    setTabOrder(txtMinFileCount, chkExcludeImages);
    setTabOrder(chkExcludeImages, chkIncludeOnlyImages);
    setTabOrder(chkIncludeOnlyImages, chkExcludeBinaryFiles);
    setTabOrder(chkExcludeBinaryFiles, chkLaunchBrowser);
    setTabOrder(chkLaunchBrowser, chkLaunchViewDeleteWizard);
    setTabOrder(chkLaunchViewDeleteWizard, btnCreateIndex);
}

void frmMain::fitCaptionFont()
{
    // The geometry is fixed in twips, drawn for a small system font; with a larger
    // desktop font the captions would be cut. Take the largest size, from the
    // desktop's own down to 7 points, at which the tightest captions fit.
    const double dpi = ScreenDpi(this);
    const QStyle* style = this->style();
    const int boxExtra = style->pixelMetric(QStyle::PM_IndicatorWidth) +
                         style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing) + 4;
    struct Caption
    {
        QString text;
        int twips;
        int extraPixels;
    };
    const MainLayout l = InitialMainLayout();
    const Caption captions[] = {
        {Label2->text(), l.Label2.width, 4},
        {chkExcludeImages->text(), l.chkExcludeImages.width, boxExtra},
        {chkIncludeOnlyImages->text(), l.chkIncludeOnlyImages.width, boxExtra},
        {chkExcludeBinaryFiles->text(), l.chkExcludeBinaryFiles.width, boxExtra},
        {chkLaunchBrowser->text(), l.chkLaunchBrowser.width, boxExtra},
        {chkLaunchViewDeleteWizard->text(), l.chkLaunchViewDeleteWizard.width, boxExtra},
        {btnRefreshFolders->text(), l.btnRefreshFolders.width, 12},
    };
    QFont captionFont = centralWidget()->font();
    double size = captionFont.pointSizeF() > 0 ? captionFont.pointSizeF() : 9.0;
    for (; size > 7.0; size -= 0.5) {
        captionFont.setPointSizeF(size);
        const QFontMetrics metrics(captionFont);
        bool fits = true;
        for (const Caption& c : captions) {
            QString shown = c.text;
            shown.remove(QLatin1Char('&'));
            if (metrics.horizontalAdvance(shown) + c.extraPixels > TwipsToPixels(c.twips, dpi)) {
                fits = false;
                break; // one caption too wide settles this size
            }
        }
        if (fits)
            break;
    }
    captionFont.setPointSizeF(std::max(size, 7.0));
    centralWidget()->setFont(captionFont);
}

void frmMain::createOptionsFrame(QWidget* client)
{
    FrameOptions = new QGroupBox(QStringLiteral("OPTIONS"), client);
    FrameOptions->setObjectName(QStringLiteral("FrameOptions"));
    frmCacheFolders = new QGroupBox(QStringLiteral(" Suggest Cache Folders"), FrameOptions);
    frmCacheFolders->setObjectName(QStringLiteral("frmCacheFolders"));
    // Without a name of its own a screen reader would announce the outer frame's.
    frmCacheFolders->setAccessibleName(frmCacheFolders->title().trimmed());

    cmboCacheFolders = new QComboBox(frmCacheFolders);
    cmboCacheFolders->setObjectName(QStringLiteral("cmboCacheFolders"));
    cmboCacheFolders->setEditable(true);
    cmboCacheFolders->setInsertPolicy(QComboBox::NoInsert);
    btnRefreshFolders = new QPushButton(QStringLiteral("<  &Refresh"), frmCacheFolders);
    btnRefreshFolders->setObjectName(QStringLiteral("btnRefreshFolders"));
    Label2 = new QLabel(QStringLiteral("Suggest only cache folders with a minimum file count of"),
                        frmCacheFolders);
    Label2->setObjectName(QStringLiteral("Label2"));
    txtMinFileCount = new QLineEdit(frmCacheFolders);
    txtMinFileCount->setObjectName(QStringLiteral("txtMinFileCount"));
    Label2->setBuddy(txtMinFileCount);

    auto check = [this](const char* name, const QString& caption) {
        auto* box = new QCheckBox(caption, FrameOptions);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    chkExcludeImages = check("chkExcludeImages", QStringLiteral("EXCLUDE &image files"));
    chkIncludeOnlyImages = check("chkIncludeOnlyImages", QStringLiteral("INCLUDE &Only images "));
    chkExcludeBinaryFiles =
        check("chkExcludeBinaryFiles", QStringLiteral("EXCLUDE non-image &binary files"));
    chkLaunchBrowser = check("chkLaunchBrowser", QStringLiteral("Launch Bro&wser after indexing"));
    chkLaunchViewDeleteWizard = check("chkLaunchViewDeleteWizard",
                                      QStringLiteral("Launch &View/Delete Wizard after indexing"));
}

void frmMain::connectHandlers()
{
    connect(Dir1, &FolderListBox::changed, this, &frmMain::Dir1_Change);
    connect(Dir1, &QListWidget::itemClicked, this, &frmMain::Dir1_MouseUp);
    Dir1->installEventFilter(this);
    connect(txtFolders, &QLineEdit::returnPressed, this, &frmMain::txtFolders_KeyPress);
    txtFolders->installEventFilter(this);
    connect(Drv_DriveList, &QComboBox::activated, this, &frmMain::Drv_DriveList_Change);
    connect(txtFileMask, &QLineEdit::returnPressed, this, &frmMain::txtFileMask_KeyPress);
    connect(cmboCacheFolders, &QComboBox::activated, this, &frmMain::cmboCacheFolders_Click);
    connect(btnRefreshFolders, &QPushButton::clicked, this, &frmMain::btnRefreshFolders_Click);
    txtMinFileCount->installEventFilter(this);
    connect(chkExcludeImages, &QCheckBox::clicked, this, &frmMain::chkExcludeImages_Click);
    connect(chkIncludeOnlyImages, &QCheckBox::clicked, this, &frmMain::chkIncludeOnlyImages_Click);
    connect(btnCreateIndex, &QPushButton::clicked, this, &frmMain::btnCreateIndex_Click);
}

// ---------------------------------------------------------------------------
// Start-up, layout and closing

void frmMain::Form_Load()
{
    Settings& settings = Program().settings();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    CentreForm(this);
    KeepWindowPlacement(this, PlacementMode::Restore);
    // The record holds the outer frame, whose size the window manager makes known
    // only once the window is shown; placed without it, the window would come back
    // larger by its frame at every start. So it is placed again when the frame shows.
    m_placedWithFrame = frameGeometry().size() - geometry().size();
    show();
    placeAgainWhenTheFrameShows();
    // The file list is read once, in the saved folder with the saved pattern: a
    // cache folder of many thousand files costs a noticeable time per reading.
    File1->takePattern(settings.filePattern);
    // A folder that has gone leaves the lists as they are, read with the pattern.
    if (settings.directory.empty() || !Dir1->setPath(settings.directory))
        File1->refresh();
    updateFilesLabel();
    txtFileMask->setText(Utf8ToText(settings.filePattern));
    setOptionBoxes(StartupOptionBoxes(settings, optionBoxes()));
    txtMinFileCount->setText(QString::number(settings.minimumFileCount));
    repaint();
    QApplication::restoreOverrideCursor();
    cmboCacheFolders->setEditText(QString());

    if (!IsRegularFile(Program().folders().folderListPath)) {
        if (AskYesNo(this, QStringLiteral("Search for Cache Folders?"),
                     QStringLiteral("For your convenience, the Tessaloom can search for likely "
                                    "cache folders on this system.  Would like to do this now?")))
            SearchDriveForFolders();
    } else {
        LoadSuggestedList();
    }
}

void frmMain::placeAgainWhenTheFrameShows()
{
    if (!m_placedWithFrame || frameGeometry().size() - geometry().size() == *m_placedWithFrame)
        return;
    m_placedWithFrame.reset();
    KeepWindowPlacement(this, PlacementMode::Restore);
    // The layout follows the outer size, which has just grown by the frame even
    // where the window kept its client size (no record: only centred again).
    Form_Resize();
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    placeAgainWhenTheFrameShows();
    noteNormalFrame();
    Form_Resize();
}

void frmMain::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    placeAgainWhenTheFrameShows();
    noteNormalFrame();
}

void frmMain::noteNormalFrame()
{
    // A window manager draws a maximised window with thinner borders, or none.
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen))
        return;
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    m_normalFrame = QMargins(inner.left() - frame.left(), inner.top() - frame.top(),
                             frame.right() - inner.right(), frame.bottom() - inner.bottom());
}

void frmMain::Form_Resize()
{
    if (m_inResize)
        return;
    const QRect frame = frameGeometry();
    const QRect inner = geometry();
    const QSize extra = frame.size() - inner.size();
    const double dpi = ScreenDpi(this);
    // The fewest whole pixels that reach `twips`, so that a snapped window passes
    // the minimum when it is measured again.
    auto atLeast = [dpi](int twips) {
        const int pixels = TwipsToPixels(twips, dpi);
        return PixelsToTwips(pixels, dpi) < twips ? pixels + 1 : pixels;
    };
    // Let the window manager enforce the minimum outer size while dragging too.
    const QSize minimum(atLeast(kMainMinimumWidth) - extra.width(),
                        atLeast(kMainMinimumHeight) - extra.height());
    if (minimumSize() != minimum)
        setMinimumSize(minimum);

    const WindowRect outer = WindowRectInTwips(this);
    const MainResize r = ResizeMainLayout(outer.width, outer.height, m_layout);
    m_layout = r.layout;
    if (r.width != outer.width || r.height != outer.height) {
        m_inResize = true;
        resize(std::max(inner.width(), atLeast(r.width) - extra.width()),
               std::max(inner.height(), atLeast(r.height) - extra.height()));
        m_inResize = false;
    }
    applyLayout();
}

void frmMain::applyLayout()
{
    const double dpi = ScreenDpi(this);
    const auto place = [dpi](QWidget* widget, const WindowRect& r) {
        PlaceInTwips(widget, r, dpi);
    };
    const MainLayout& l = m_layout;
    place(lblDrives, l.lblDrives);
    place(Drv_DriveList, l.Drv_DriveList);
    place(lblFolders, l.lblFolders);
    place(txtFolders, l.txtFolders);
    place(Dir1, l.Dir1);
    place(txtFileMask, l.txtFileMask);
    place(lblFiles, l.lblFiles);
    place(File1, l.File1);
    place(FrameOptions, l.FrameOptions);
    place(frmCacheFolders, l.frmCacheFolders);
    place(cmboCacheFolders, l.cmboCacheFolders);
    place(btnRefreshFolders, l.btnRefreshFolders);
    place(Label2, l.Label2);
    place(txtMinFileCount, l.txtMinFileCount);
    place(chkExcludeImages, l.chkExcludeImages);
    place(chkIncludeOnlyImages, l.chkIncludeOnlyImages);
    place(chkExcludeBinaryFiles, l.chkExcludeBinaryFiles);
    place(chkLaunchBrowser, l.chkLaunchBrowser);
    place(chkLaunchViewDeleteWizard, l.chkLaunchViewDeleteWizard);
    place(btnCreateIndex, l.btnCreateIndex);
    // A caption that still does not fit at the smallest font may run on to the right,
    // and a tick box taller than its row down, where the option boxes have room.
    for (QCheckBox* box : {chkExcludeImages, chkIncludeOnlyImages, chkExcludeBinaryFiles,
                           chkLaunchBrowser, chkLaunchViewDeleteWizard}) {
        const QSize hint = box->sizeHint();
        box->resize(std::max(box->width(), hint.width()), std::max(box->height(), hint.height()));
    }
}

MainWindowValues frmMain::exitValues() const
{
    MainWindowValues v;
    v.directory = Dir1->path();
    v.fileMask = txtFileMask->text().toStdString();
    v.excludeImages = StateOf(chkExcludeImages);
    v.includeOnlyImages = StateOf(chkIncludeOnlyImages);
    v.excludeBinaryFiles = StateOf(chkExcludeBinaryFiles);
    v.launchBrowser = StateOf(chkLaunchBrowser);
    v.launchViewDeleteWizard = StateOf(chkLaunchViewDeleteWizard);
    v.minFileCountText = txtMinFileCount->text().toStdString();
    return v;
}

void frmMain::closeEvent(QCloseEvent* event)
{
    if (!m_closing) {
        m_closing = true;
        Form_Unload();
    }
    event->accept();
    if (m_endProgram)
        m_endProgram();
}

void frmMain::Form_Unload()
{
    // The program is ending: a settings file that cannot be written keeps its old values.
    std::ignore = WriteMainWindowSettings(exitValues(), Program().settingsPath());
    if (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) {
        // The record keeps the normal-state geometry, so the window comes back normal,
        // with the frame it has in that state: measured now, the frame of a
        // maximised window would make the record smaller at every such close.
        const QRect frame = frameGeometry();
        const QRect inner = geometry();
        const QRect normal = normalGeometry().isValid() ? normalGeometry() : inner;
        const QMargins frameNow(inner.left() - frame.left(), inner.top() - frame.top(),
                                frame.right() - inner.right(), frame.bottom() - inner.bottom());
        const QRect outer = normal.marginsAdded(m_normalFrame.value_or(frameNow));
        setWindowState(Qt::WindowNoState);
        const double dpi = ScreenDpi(this);
        WindowRect rect = RectInTwips(outer, dpi);
        // The window is closing: a placement that cannot be saved leaves the last one.
        std::ignore = KeepPlacementRecord(rect, windowTitle().toStdString(), PlacementMode::Save,
                                          ScreenSizeInTwips(this), Program().settingsPath());
    } else {
        KeepWindowPlacement(this, PlacementMode::Save);
    }
}

void frmMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        txtFolders->selectAll();
}

void frmMain::bringToFront()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        if (watched == txtFolders)
            txtFolders_LostFocus();
        else if (watched == txtMinFileCount)
            txtMinFileCount_LostFocus();
    } else if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (watched == Dir1 && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            Dir1_KeyPress();
            return true;
        }
        if (watched == txtMinFileCount && !key->text().isEmpty()) {
            const char32_t c = key->text().toUcs4().value(0);
            // Printable characters and Enter go through the filter; editing and
            // shortcut keys (Tab, Ctrl+C) are left alone.
            const bool typed = (c >= 0x20 && c != 0x7f) || c == 13 || c == 8;
            if (typed && !txtMinFileCount_KeyPress(c))
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------
// Folders and files

void frmMain::updateFilesLabel()
{
    lblFiles->setText(QStringLiteral("Files (%1)").arg(File1->names().size()));
}

void frmMain::Dir1_Change()
{
    const std::string& path = Dir1->path();
    enterFolder(path);
    // The folder list has just read the folder: its files fill the file list.
    if (std::optional<std::vector<std::string>> files = Dir1->takeFiles())
        File1->setFolder(path, std::move(*files));
    else
        File1->setFolder(path);
    updateFilesLabel();
    txtFolders->setText(PathToText(path));
    txtFolders->selectAll();
    Drv_DriveList->showVolumeOf(path);
    const std::string mount = Drv_DriveList->currentMountPoint();
    if (!mount.empty())
        m_volumeFolders[mount] = path;
}

void frmMain::Dir1_KeyPress()
{
    const std::string highlighted = Dir1->highlightedPath();
    if (!highlighted.empty())
        Dir1->setPath(highlighted);
}

void frmMain::Dir1_MouseUp()
{
    Dir1_KeyPress();
}

void frmMain::txtFolders_KeyPress()
{
    // A path that is not a folder is ignored: the list stays, the text stays as typed.
    Dir1->setPath(TextToPath(txtFolders->text()));
}

void frmMain::txtFolders_LostFocus()
{
    const std::string typed = TextToPath(txtFolders->text());
    if (NormalFolderPath(typed) != Dir1->path())
        Dir1->setPath(typed);
}

void frmMain::Drv_DriveList_Change()
{
    const std::string mount = Drv_DriveList->currentMountPoint();
    if (mount.empty())
        return;
    std::string folder = mount;
    if (const auto known = m_volumeFolders.find(mount); known != m_volumeFolders.end()) {
        std::error_code ec;
        if (std::filesystem::is_directory(known->second, ec))
            folder = known->second;
    }
    if (const Result<void> probed = ProbeFolder(folder); !probed) {
        QApplication::beep();
        ShowErrorBox(this, Utf8ToText(ProbeErrorTitle(probed.error())),
                     Utf8ToText(probed.error().message));
        Drv_DriveList->showVolumeOf(Dir1->path());
        return;
    }
    enterFolder(folder);
    File1->setFolder(folder);
    updateFilesLabel();
    Dir1->setPath(folder);
}

void frmMain::txtFileMask_KeyPress()
{
    // The suggestions keep their counts until their next load.
    File1->setPattern(txtFileMask->text().toStdString());
    updateFilesLabel();
}

void frmMain::MenuFileRefreshFileList_Click()
{
    File1->refresh();
    updateFilesLabel();
}

void frmMain::MenuFileCopyPath_Click()
{
    QClipboard* clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(PathToText(Dir1->path()));
}

void frmMain::MenuFileReadRecords_Click()
{
    // Saved at once: the window's closing writes only the settings it always wrote.
    // The record follows either way: the choice holds for this run.
    std::ignore = WriteReadCacheRecords(MenuFileReadRecords->isChecked(), Program().settings(),
                                        Program().settingsPath());
}

// ---------------------------------------------------------------------------
// Suggested folders

void frmMain::LoadSuggestedList()
{
    const QString textBefore = cmboCacheFolders->currentText();
    cmboCacheFolders->clear();
    const SuggestedList list = ReadSuggestedList(
        Program().folders().folderListPath, Program().settings().minimumFileCount, File1->pattern(),
        LocaleFormats::FromProcessLocale(), ThrottledEventYield());
    if (!list.listExists) {
        cmboCacheFolders->setEditText(textBefore);
        return;
    }
    QStringList entries;
    entries.reserve(static_cast<qsizetype>(list.entries.size()));
    for (const std::string& entry : list.entries)
        entries.append(PathToText(entry));
    cmboCacheFolders->addItems(entries);
    cmboCacheFolders->setEditText(Utf8ToText(list.headerText));
}

void frmMain::SearchDriveForFolders()
{
    DriveSearchPlan plan;
    for (const Volume& v : Drv_DriveList->volumes())
        plan.volumes.push_back({v.mountPoint, v.entryText});
    plan.cacheHome = Program().folders().cacheHome;
    plan.folderListPath = Program().folders().folderListPath;
    FoldersSearchHooks hooks;
    hooks.clearSuggestions = [this] { cmboCacheFolders->clear(); };
    hooks.reloadSuggestedList = [this] { LoadSuggestedList(); };
    SearchDrivesForFolders(this, plan, hooks);
}

void frmMain::cmboCacheFolders_Click(int)
{
    const std::optional<std::string> folder =
        ChosenFolderOfEntry(TextToPath(cmboCacheFolders->currentText()));
    if (!folder)
        return;
    Dir1->setPath(*folder); // a folder that has gone leaves the lists where they were
    Drv_DriveList->showVolumeOf(Dir1->path());
}

void frmMain::btnRefreshFolders_Click()
{
    SearchDriveForFolders();
    cmboCacheFolders->setFocus();
}

bool frmMain::txtMinFileCount_KeyPress(char32_t key)
{
    if (IsMinCountKeyAccepted(key))
        return true;
    QApplication::beep();
    return false;
}

void frmMain::txtMinFileCount_LostFocus()
{
    Settings& settings = Program().settings();
    const std::optional<std::int32_t> minimum =
        MinCountAfterLeaving(txtMinFileCount->text().toStdString(), settings.minimumFileCount);
    if (!minimum)
        return;
    settings.minimumFileCount = *minimum;
    LoadSuggestedList();
}

// ---------------------------------------------------------------------------
// Options

OptionBoxes frmMain::optionBoxes() const
{
    return {chkExcludeImages->isChecked(), chkIncludeOnlyImages->isChecked(),
            chkExcludeBinaryFiles->isChecked(), chkLaunchBrowser->isChecked(),
            chkLaunchViewDeleteWizard->isChecked()};
}

void frmMain::setOptionBoxes(const OptionBoxes& boxes)
{
    chkExcludeImages->setChecked(boxes.excludeImages);
    chkIncludeOnlyImages->setChecked(boxes.includeOnlyImages);
    chkExcludeBinaryFiles->setChecked(boxes.excludeBinaryFiles);
    chkLaunchBrowser->setChecked(boxes.launchBrowser);
    chkLaunchViewDeleteWizard->setChecked(boxes.launchViewDeleteWizard);
}

void frmMain::optionBoxClicked(OptionBox box)
{
    OptionBoxes boxes = optionBoxes();
    OptionBoxClicked(boxes, box);
    setOptionBoxes(boxes);
}

void frmMain::chkExcludeImages_Click()
{
    optionBoxClicked(OptionBox::ExcludeImages);
}

void frmMain::chkIncludeOnlyImages_Click()
{
    optionBoxClicked(OptionBox::IncludeOnlyImages);
}

// ---------------------------------------------------------------------------
// The index build

void frmMain::btnCreateIndex_Click()
{
    StatusFormListener progress;
    RunIndexBuild(*this, progress, LocaleFormats::FromProcessLocale(), {}, ThrottledEventYield());
}

std::string frmMain::fileListFolder()
{
    return File1->folder();
}

std::vector<std::string> frmMain::refreshFileList()
{
    // The window is hidden for the run: its rows are put in step once, when it
    // shows again, with the page the run wrote.
    File1->readNames();
    return File1->names();
}

void frmMain::documentWritten(const std::string& name)
{
    File1->addWrittenFile(name);
}

std::string frmMain::filePattern()
{
    return File1->pattern();
}

IndexOptions frmMain::filterOptions()
{
    return FilterOptionsOf(optionBoxes());
}

void frmMain::setFilesLabel(std::string_view text)
{
    lblFiles->setText(Utf8ToText(text));
}

void frmMain::enterFolder(const std::string& folder)
{
    if (::chdir(folder.c_str()) != 0) {
        // The folder lists still show it; a later build names every file by full path.
    }
}

void frmMain::setIndexPath(std::string_view path)
{
    gblIndexPath.set(std::string(path));
}

void frmMain::showNoFilesMessage()
{
    File1->showNames();
    ShowErrorBox(this, {}, Utf8ToText(kNoFilesMessage));
    QApplication::restoreOverrideCursor();
}

void frmMain::hideMainWindow()
{
    hide();
}

void frmMain::showMainWindow()
{
    File1->showNames();
    if (!m_closing)
        show();
}

bool frmMain::launchBrowserChecked()
{
    return chkLaunchBrowser->isChecked();
}

bool frmMain::launchWizardChecked()
{
    return chkLaunchViewDeleteWizard->isChecked();
}

bool frmMain::readCacheRecordsChecked()
{
    return MenuFileReadRecords->isChecked();
}

std::string frmMain::cacheHome()
{
    return Program().folders().cacheHome;
}

records::PictureScaler* frmMain::pictureScaler()
{
    return &m_pictureScaler;
}

bool frmMain::openInBrowser(const std::string& path)
{
    return ShellOpen(PathToText(path));
}

void frmMain::showError(std::string_view title, std::string_view text)
{
    ShowErrorBox(this, Utf8ToText(title), Utf8ToText(text));
}

void frmMain::showWizardModal()
{
    ShowViewDeleteWizard(this);
    refreshAfterWizard();
}

void frmMain::refreshAfterWizard()
{
    // The wizard may have deleted files of the folder this window lists.
    if (m_closing)
        return;
    File1->refresh();
    updateFilesLabel();
}

// ---------------------------------------------------------------------------
// Menus

void frmMain::MenuFileOpen_Click()
{
    const std::string inFolder = (std::filesystem::path(Dir1->path()) / "!ndex.htm").string();
    gblIndexPath.set(inFolder);
    if (IsRegularFile(inFolder)) {
        // A launch that fails says where the page is here too.
        if (!ShellOpen(PathToText(inFolder)))
            showError(kBrowserErrorTitle, BrowserLaunchErrorText(inFolder));
        return;
    }
    OpenFileRequest request;
    request.parent = this;
    request.folder = PathToText(Dir1->path());
    request.filter = QStringLiteral("All Files (*.*);;TSL Index Files (!ndex.htm)");
    request.selectedFilter = QStringLiteral("TSL Index Files (!ndex.htm)");
    QString chosen;
    for (;;) {
        chosen = ChooseOpenFile(request);
        gblIndexPath.set(TextToPath(chosen));
        if (chosen.isEmpty())
            return;
        if (IsRegularFile(TextToPath(chosen)))
            break;
        // A typed name that does not exist is asked again, as the wizard does.
        ShowErrorBox(this, QStringLiteral("FILE NOT FOUND"), QStringLiteral("File not found"));
    }
    if (!ShellOpen(chosen))
        showError(kBrowserErrorTitle, BrowserLaunchErrorText(TextToPath(chosen)));
}

void frmMain::MenuFileViewDeleteWizard_Click()
{
    hide();
    ShowViewDeleteWizard(this);
    refreshAfterWizard();
    showMainWindow();
}

void frmMain::MenuFileExit_Click()
{
    close();
}

void frmMain::MenuHelpContents_Click()
{
    OpenHelpContents(this);
}

void frmMain::MenuHelpShowQuickStart_Click()
{
    ShowQuickStart(this);
}

void frmMain::MenuCheckForUpdates_Click()
{
    // Handing over to the updater ends the program at once, storing nothing.
    if (!CheckForUpdates(this)) {
        m_closing = true;
        close();
    }
}

void frmMain::MenuHelpAbout_Click()
{
    ShowAbout(this, this);
}

} // namespace tessaloom::gui
