#include "gui/statusform.h"

#include "gui/programicon.h"
#include "gui/userprompts.h"
#include "gui/windowkit.h"
#include "gui/windowops.h"
#include "indexer/progressbar.h"
#include "platform/coarseclock.h"
#include "platform/textcodec.h"
#include "shell/twips.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>

#include <algorithm>

// The pictures are compiled into this static library; naming the resource here
// keeps the linker from dropping it. (The macro must be used outside namespaces.)
static void loadPictures()
{
    Q_INIT_RESOURCE(pictures);
}

namespace tessaloom::gui {

namespace {

// The window's design in twips (client area).
constexpr int kFormWidth = 9500; // outer width, held at every resize
constexpr int kClientHeight = 5280;
constexpr int kTextLeft = 1000;
constexpr int kTextWidth = 7560;
constexpr int kLineHeight = 300;
constexpr int kPictureLeft = 300;
constexpr int kPictureTop = 300;
constexpr int kPictureSize = 480;
constexpr int kCancelWidth = 975;
constexpr int kCancelHeight = 375;
constexpr int kCancelTop = 4560;

const QColor kFormGrey(0xE0, 0xE0, 0xE0);
const QColor kDarkGreen(0x00, 0x40, 0x00);

QString displayText(std::string_view bytes)
{
    return QString::fromStdString(ToDisplayUtf8(bytes));
}

QString imagesFilteredText(int count)
{
    return QStringLiteral("Images Filtered from List: %1").arg(count);
}

QString binaryFilteredText(int count)
{
    return QStringLiteral("Binary Files Filtered from List: %1").arg(count);
}

} // namespace

StatusForm::StatusForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
    loadPictures();
    setObjectName(QStringLiteral("StatusForm"));
    setWindowTitle(QStringLiteral("Building !ndex files..."));
    setWindowIcon(ProgramIcon());
    // No maximise button: the width is fixed.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    QPalette grey = palette();
    grey.setColor(QPalette::Window, kFormGrey);
    // Black text whatever the desktop's theme: light text on this grey is unreadable.
    grey.setColor(QPalette::WindowText, Qt::black);
    setPalette(grey);
    setAutoFillBackground(true);
    createControls();
    placeControls();
    m_showTimer.setSingleShot(true);
    connect(&m_showTimer, &QTimer::timeout, this, &StatusForm::showPendingReports);
}

StatusForm::~StatusForm() = default;

void StatusForm::createControls()
{
    const auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    // The design's sample texts stand until the first file report replaces them;
    // the counts and the title start empty rather than showing made-up values.
    m_imgSearching = label("imgSearching", {});
    m_imgSearching->setPixmap(QPixmap(QStringLiteral(":/pictures/searching.png")));
    m_imgSearching->setScaledContents(true);
    m_imgFound = label("imgFound", {});
    m_imgFound->setPixmap(QPixmap(QStringLiteral(":/pictures/found.png")));
    m_imgFound->setScaledContents(true);
    m_imgFound->hide();

    m_readingEntry = label("ReadingEntry", QStringLiteral("Reading File: "));
    m_lblPath = label("lblPath", {});
    m_lblFile = label("lblFile", QStringLiteral(" Name: "));
    m_totalComplete = label("TotalComplete", QStringLiteral("0% Complete"));
    QFont bold = m_totalComplete->font();
    bold.setBold(true);
    m_totalComplete->setFont(bold);
    m_totalComplete->setAlignment(Qt::AlignCenter);
    QPalette green = m_totalComplete->palette();
    green.setColor(QPalette::WindowText, kDarkGreen);
    m_totalComplete->setPalette(green);

    m_lblImagesFiltered = label("lblImagesFiltered", imagesFilteredText(0));
    m_lblBinaryFilesFiltered = label("lblBinaryFilesFiltered", binaryFilteredText(0));
    m_lblLastTitleFound = label("lblLastTitleFound", {});
    m_lblLastTitleFound->setWordWrap(true);
    m_lblLastTitleFound->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    m_lblUnfilledStatus = label("lblUnfilledStatus", {});
    m_lblUnfilledStatus->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_lblUnfilledStatus->setLineWidth(1);
    QPalette barGrey = m_lblUnfilledStatus->palette();
    barGrey.setColor(QPalette::Window, kFormGrey);
    m_lblUnfilledStatus->setPalette(barGrey);
    m_lblUnfilledStatus->setAutoFillBackground(true);
    // Created after the empty bar, so it is drawn over it.
    m_lblFilledStatus = label("lblFilledStatus", {});
    m_lblFilledStatus->setPixmap(QPixmap(QStringLiteral(":/pictures/bar.png")));
    m_lblFilledStatus->setScaledContents(true);

    m_btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(m_btnCancel, &QPushButton::clicked, this, &StatusForm::btnCancel_Click);
}

void StatusForm::placeControls()
{
    const double dpi = ScreenDpi(this);
    const auto place = [dpi](QWidget* w, int left, int top, int width, int height) {
        PlaceInTwips(w, {left, top, width, height}, dpi);
    };
    place(m_imgSearching, kPictureLeft, kPictureTop, kPictureSize, kPictureSize);
    place(m_imgFound, kPictureLeft, kPictureTop, kPictureSize, kPictureSize);
    place(m_readingEntry, kTextLeft, 240, kTextWidth, kLineHeight);
    place(m_lblPath, kTextLeft, 600, kTextWidth, kLineHeight);
    place(m_lblFile, kTextLeft, 960, kTextWidth, kLineHeight);
    place(m_totalComplete, kTextLeft, 1440, kTextWidth, 360);
    place(m_lblImagesFiltered, kTextLeft, 1980, kTextWidth, kLineHeight);
    place(m_lblBinaryFilesFiltered, kTextLeft, 2280, kTextWidth, kLineHeight);
    place(m_lblLastTitleFound, kTextLeft, 2760, kTextWidth, 3 * kLineHeight);
    place(m_lblUnfilledStatus, kEmptyBarLeft, kEmptyBarTop, kEmptyBarWidth, kEmptyBarHeight);
    place(m_lblFilledStatus, kFilledBarLeft, kFilledBarTop, m_filledWidth, kFilledBarHeight);
    place(m_btnCancel, (kFormWidth - kCancelWidth) / 2, kCancelTop, kCancelWidth, kCancelHeight);

    // The height may change (taller only: a Cancel button out of sight would leave
    // no way to stop the run); the width is held.
    setMinimumHeight(TwipsToPixels(kClientHeight, dpi));
    resize(TwipsToPixels(kFormWidth, dpi), TwipsToPixels(kClientHeight, dpi));
    holdWidth();
}

void StatusForm::holdWidth()
{
    if (m_holdingWidth)
        return;
    m_holdingWidth = true;
    // 9,500 twips is the outer width; the frame, once the window has one, comes off
    // the client area.
    const int frameExtra = frameGeometry().width() - geometry().width();
    const int client = TwipsToPixels(kFormWidth, ScreenDpi(this)) - std::max(0, frameExtra);
    if (minimumWidth() != client || maximumWidth() != client)
        setFixedWidth(client);
    m_holdingWidth = false;
}

void StatusForm::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    holdWidth();
}

void StatusForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    holdWidth();
}

void StatusForm::hideEvent(QHideEvent* event)
{
    showPendingReports();
    QWidget::hideEvent(event);
}

void StatusForm::open()
{
    PlaySoundFile(QStringLiteral("ClickBg.wav"));
    CentreForm(this);
    show();
    // Again now that the window has its frame, which counts in the centring.
    CentreForm(this);
    setFilledBarWidth(0);
}

std::int64_t StatusForm::sinceShownMs() const
{
    return CoarseMilliseconds() - m_shownAtMs;
}

void StatusForm::markShown()
{
    m_shownAtMs = CoarseMilliseconds();
    m_shownOnce = true;
}

bool StatusForm::dueToShow() const
{
    return !m_shownOnce || sinceShownMs() >= kReportInterval.count();
}

void StatusForm::keepUntilDue()
{
    if (m_showTimer.isActive())
        return;
    const auto left = kReportInterval.count() - sinceShownMs();
    m_showTimer.start(static_cast<int>(std::max<qint64>(0, left)));
}

void StatusForm::showFileReport(const FileReport& report)
{
    // The last file's texts stay for the rest of the run: no timer would come.
    const bool last = report.total > 0 && report.counter >= report.total;
    if (last || dueToShow()) {
        // Nothing is kept back now: a timer left running would show a second set of
        // texts a moment later, painting the window twice per interval.
        m_showTimer.stop();
        m_filePending = false;
        // A title kept back belongs to the file before: it showed before this one.
        if (m_titlePending) {
            m_titlePending = false;
            applyLastTitle(m_pendingTitle);
        }
        applyFileReport(report);
        return;
    }
    // Assigned field by field, so that the kept texts reuse their storage.
    m_pendingFile.counter = report.counter;
    m_pendingFile.total = report.total;
    m_pendingFile.folderText.assign(report.folderText);
    m_pendingFile.fileName.assign(report.fileName);
    m_filePending = true;
    keepUntilDue();
}

void StatusForm::applyFileReport(const FileReport& report)
{
    m_readingEntry->setText(displayText(report.readingText()));
    const QString path = displayText(report.folderText);
    if (path != m_pathText) {
        // Long folders would run past the window: show their end, keep the whole
        // text as the tooltip.
        m_pathText = path;
        m_lblPath->setText(
            QFontMetrics(m_lblPath->font()).elidedText(path, Qt::ElideLeft, m_lblPath->width()));
        m_lblPath->setToolTip(path);
    }
    m_lblFile->setText(QStringLiteral(" Name: ") + displayText(report.fileName));
    m_totalComplete->setText(displayText(report.percentText()));
    m_lastFileShown = report.total > 0 && report.counter >= report.total;
    markShown();
}

void StatusForm::showWindowTitle(std::string_view percentText)
{
    // Reported for every file, but the percentage changes about a hundred times a
    // run: an unchanged caption costs a comparison, not a conversion.
    const bool minimized = isMinimized();
    if (m_titleShown && minimized == m_titleMinimized && percentText == m_titlePercent)
        return;
    m_titleShown = true;
    m_titleMinimized = minimized;
    m_titlePercent.assign(percentText);
    setWindowTitle(
        QString::fromStdString(ProgressWindowTitle(minimized, ToDisplayUtf8(percentText))));
}

void StatusForm::showTimedReport(const TimedReport& report)
{
    // The counts and the bar go with the file texts of the same moment.
    showPendingReports();
    if (const auto width = FilledBarWidth(kEmptyBarWidth, report.barPosition))
        setFilledBarWidth(*width);
    m_lblImagesFiltered->setText(imagesFilteredText(report.imagesFiltered));
    m_lblBinaryFilesFiltered->setText(binaryFilteredText(report.binaryFiltered));
    const bool searching = m_imgSearching->isVisibleTo(this);
    m_imgSearching->setVisible(!searching);
    m_imgFound->setVisible(searching);
    m_imgSearching->repaint();
    m_imgFound->repaint();
}

void StatusForm::showLastTitle(std::string_view text)
{
    if (m_lastFileShown || (!m_filePending && dueToShow())) {
        m_titlePending = false;
        // As for a file report shown at once: nothing left for the timer to show.
        if (!m_filePending)
            m_showTimer.stop();
        applyLastTitle(text);
        return;
    }
    m_pendingTitle.assign(text);
    m_titlePending = true;
    keepUntilDue();
}

void StatusForm::applyLastTitle(std::string_view text)
{
    m_lblLastTitleFound->setText(displayText(text));
    markShown();
}

void StatusForm::showPendingReports()
{
    m_showTimer.stop();
    if (m_filePending) {
        m_filePending = false;
        applyFileReport(m_pendingFile);
    }
    if (m_titlePending) {
        m_titlePending = false;
        applyLastTitle(m_pendingTitle);
    }
}

bool StatusForm::cancelRequested() const
{
    return m_btnCancel->isHidden();
}

void StatusForm::setFilledBarWidth(int twips)
{
    m_filledWidth = twips;
    m_lblFilledStatus->resize(TwipsToPixels(twips, ScreenDpi(this)), m_lblFilledStatus->height());
}

void StatusForm::btnCancel_Click()
{
    m_btnCancel->hide();
}

StatusFormListener::StatusFormListener() = default;

StatusFormListener::~StatusFormListener() = default;

StatusForm& StatusFormListener::openForm()
{
    // Closed with its close box: the run goes on in a fresh window.
    if (m_form && m_form->isHidden())
        m_form.reset();
    if (!m_form) {
        m_form = std::make_unique<StatusForm>();
        m_form->open();
    }
    return *m_form;
}

void StatusFormListener::fileReport(const FileReport& report)
{
    openForm().showFileReport(report);
}

void StatusFormListener::windowTitleReport(std::string_view percentText)
{
    openForm().showWindowTitle(percentText);
}

void StatusFormListener::timedReport(const TimedReport& report)
{
    openForm().showTimedReport(report);
}

bool StatusFormListener::cancelRequested()
{
    return m_form && m_form->cancelRequested();
}

bool StatusFormListener::keepPartialIndex()
{
    if (m_form)
        m_form->showPendingReports();
    return AskYesNo(m_form && !m_form->isHidden() ? m_form.get() : nullptr,
                    QStringLiteral("Open !ndex.htm File?"),
                    QStringLiteral("Open !ndex.htm for what has been indexed thus far?"));
}

void StatusFormListener::lastTitleReport(std::string_view text)
{
    openForm().showLastTitle(text);
}

void StatusFormListener::close()
{
    m_form.reset();
}

} // namespace tessaloom::gui
