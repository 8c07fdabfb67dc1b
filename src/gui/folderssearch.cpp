#include "gui/folderssearch.h"

#include "gui/eventyield.h"
#include "gui/programicon.h"
#include "gui/userprompts.h"
#include "gui/windowkit.h"
#include "gui/windowops.h"
#include "platform/textcodec.h"
#include "shell/twips.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace tessaloom::gui {

namespace {

// The design, in twips of the client area.
constexpr int kClientWidth = 11010;
constexpr int kClientHeight = 6540;
// Where the window opens against the main window's top left corner.
constexpr int kBelowOwner = 1000;
constexpr int kRightOfOwner = 250;
// How often List1 takes the folders found meanwhile: sorting them in and
// scrolling to the end at every folder made a search over many caches slow down
// with the square of their number.
constexpr qint64 kListIntervalMs = 250;

// List1 keeps its items in ascending order without regard to letter case.
class FolderItem final : public QListWidgetItem
{
public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& other) const override
    {
        return text().compare(other.text(), Qt::CaseInsensitive) < 0;
    }
};

} // namespace

FoldersSearch::FoldersSearch(QWidget* owner, FoldersSearchHooks hooks)
    : QWidget(owner, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_owner(owner), m_hooks(std::move(hooks)), m_yield(ThrottledEventYield())
{
    setObjectName(QStringLiteral("FoldersSearch"));
    // The search lets events run while it walks: the main window must not start a
    // second search or an index build in the middle of it.
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Searching for Suggested Cache Folders  ..."));
    setWindowIcon(ProgramIcon());
    createControls();
}

FoldersSearch::~FoldersSearch()
{
    setBusyPointer(false);
}

void FoldersSearch::createControls()
{
    const double dpi = ScreenDpi(this);
    const auto place = [dpi](QWidget* w, int left, int top, int width, int height) {
        PlaceInTwips(w, {left, top, width, height}, dpi);
    };
    const auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setTextFormat(Qt::PlainText);
        return l;
    };

    // Two offset rectangles frame the progress label: a grey one behind as its
    // shadow, a framed one in the window's colour in front.
    auto* shape3 = new QFrame(this);
    shape3->setObjectName(QStringLiteral("Shape3"));
    QPalette shadow = shape3->palette();
    shadow.setColor(QPalette::Window, shadow.color(QPalette::Mid));
    shape3->setPalette(shadow);
    shape3->setAutoFillBackground(true);
    place(shape3, 585, 1290, 10095, 615);
    auto* shape1 = new QFrame(this);
    shape1->setObjectName(QStringLiteral("Shape1"));
    shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
    shape1->setAutoFillBackground(true);
    place(shape1, 540, 1245, 10095, 615);

    m_lblSearching =
        label("lblSearching", QStringLiteral("Searching for Suggested Cache Folders ..."));
    m_lblSearching->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(m_lblSearching, 600, 240, 8295, 855);

    auto* image2 = label("Image2", {});
    image2->setPixmap(ProgramPicture(TwipsToPixels(480, dpi)));
    place(image2, 9720, 300, 480, 480);

    m_lblFolders = label("lblFolders", {});
    place(m_lblFolders, 960, 1440, 9255, 255);

    auto* label1 = label("Label1", QStringLiteral("Potential Cache Folders Found"));
    place(label1, 360, 2040, 4095, 255);

    m_list1 = new QListWidget(this);
    m_list1->setObjectName(QStringLiteral("List1"));
    m_list1->setSortingEnabled(true);
    m_list1->setUniformItemSizes(true);
    place(m_list1, 240, 2280, 10455, 3375);

    m_btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));
    place(m_btnCancel, 5040, 6000, 975, 375);
    connect(m_btnCancel, &QPushButton::clicked, this, &FoldersSearch::btnCancel_Click);

    setFixedSize(TwipsToPixels(kClientWidth, dpi), TwipsToPixels(kClientHeight, dpi));
}

bool FoldersSearch::cancelRequested()
{
    return m_btnCancel->isHidden();
}

void FoldersSearch::letEventsRun()
{
    showFoundFolders(false);
    m_yield();
}

void FoldersSearch::cacheFolderFound(const std::string& path)
{
    m_pendingFolders << PathToText(path);
    showFoundFolders(false);
}

void FoldersSearch::showFoundFolders(bool now)
{
    if (m_pendingFolders.isEmpty() ||
        (!now && m_sinceShown.isValid() && m_sinceShown.elapsed() < kListIntervalMs))
        return;
    for (const QString& folder : std::as_const(m_pendingFolders))
        m_list1->addItem(new FolderItem(folder));
    m_pendingFolders.clear();
    // The list shows its last item, as the End key would.
    m_list1->setFocus();
    m_list1->setCurrentRow(m_list1->count() - 1);
    m_list1->scrollToBottom();
    m_sinceShown.start();
}

void FoldersSearch::setFoldersLabel(const std::string& text)
{
    m_lblFolders->setText(QString::fromStdString(ToDisplayUtf8(text)));
    m_lblFolders->repaint();
}

ErrorAnswer FoldersSearch::askAboutError(const WalkError& error)
{
    MessageRequest request;
    request.parent = this;
    request.title = m_owner ? m_owner->windowTitle() : QStringLiteral("Tessaloom");
    request.text = QString::fromStdString(ToDisplayUtf8(error.text()));
    request.icon = MessageIcon::Exclamation;
    request.buttons = MessageButtons::AbortRetryIgnore;
    switch (ShowMessage(request)) {
    case MessageAnswer::Abort:
        return ErrorAnswer::Abort;
    case MessageAnswer::Retry:
        return ErrorAnswer::Retry;
    default:
        return ErrorAnswer::Ignore;
    }
}

void FoldersSearch::setBusyPointer(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void FoldersSearch::playSound(const std::string& fileName)
{
    PlaySoundFile(PathToText(fileName));
}

void FoldersSearch::showWindow()
{
    if (m_owner) {
        WindowRect rect = WindowRectInTwips(this);
        const WindowRect owner = WindowRectInTwips(m_owner);
        rect.left = owner.left + kRightOfOwner;
        rect.top = owner.top + kBelowOwner;
        const double dpi = ScreenDpi(this);
        move(TwipsToPixels(rect.left, dpi), TwipsToPixels(rect.top, dpi));
    } else {
        CentreForm(this);
    }
    show();
    m_yield();
}

void FoldersSearch::clearSuggestions()
{
    if (m_hooks.clearSuggestions)
        m_hooks.clearSuggestions();
}

void FoldersSearch::setSearchingLabel(const std::string& text)
{
    // The carriage return starts a new line on the label.
    QString shown = QString::fromStdString(ToDisplayUtf8(text));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    m_lblSearching->setText(shown);
}

void FoldersSearch::slideOutAndClose()
{
    showFoundFolders(true);
    SlideOut(this, QStringLiteral("UP"));
    // Unloaded by SearchDrivesForFolders once the search is over.
}

void FoldersSearch::reloadSuggestedList()
{
    if (m_hooks.reloadSuggestedList)
        m_hooks.reloadSuggestedList();
}

void FoldersSearch::closeEvent(QCloseEvent* event)
{
    event->ignore();
    btnCancel_Click();
}

void FoldersSearch::btnCancel_Click()
{
    m_btnCancel->hide();
}

DriveSearchResult SearchDrivesForFolders(QWidget* owner, const DriveSearchPlan& plan,
                                         const FoldersSearchHooks& hooks)
{
    FoldersSearch window(owner, hooks);
    return RunDriveSearch(plan, window, LocaleFormats::FromProcessLocale());
}

} // namespace tessaloom::gui
