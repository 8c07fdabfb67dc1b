#include "gui/userprompts.h"

#include "gui/windowkit.h"
#include "platform/launcher.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStandardPaths>
#include <QUrl>

namespace tessaloom::gui {

namespace {

MessageAnswerer& messageAnswerer()
{
    static MessageAnswerer answerer;
    return answerer;
}

OpenFileAnswerer& openFileAnswerer()
{
    static OpenFileAnswerer answerer;
    return answerer;
}

ShellOpener& shellOpener()
{
    static ShellOpener opener;
    return opener;
}

// xdg-open ends at once with a failing status when the desktop has no handler,
// but may stay until a browser it started itself is closed: a launcher still
// running after this long has started something and counts as a success.
constexpr std::chrono::milliseconds kLauncherWait{3000};

// Holds back a request to quit the application while a launcher is waited for.
// The index build ends its progress window while the main window is hidden, and
// Qt then asks to quit; it drops that request when it comes to it with a window
// shown again (the wizard, the main window), which is what happens without a wait.
class QuitDeferral final : public QObject
{
public:
    QuitDeferral() { QCoreApplication::instance()->installEventFilter(this); }
    ~QuitDeferral() override
    {
        QCoreApplication::instance()->removeEventFilter(this);
        if (m_deferred)
            QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
    }
    Q_DISABLE_COPY_MOVE(QuitDeferral)

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != QCoreApplication::instance() || event->type() != QEvent::Quit)
            return false;
        m_deferred = true;
        return true;
    }

private:
    bool m_deferred = false;
};

QMessageBox::Icon toQtIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// What a window manager's title bar needs beside the title: the window's icon and
// its buttons, with their margins.
constexpr int kTitleBarAllowancePx = 140;

// The title shows in the title bar, which is only as wide as the box: a short
// text under a long title ("Deleted All Selected Files") would cut the title.
// A blank title is kept blank: the platform would otherwise put the program's
// name there.
void fitTitle(QMessageBox& box, const QString& title)
{
    box.setWindowTitle(title.isEmpty() ? QStringLiteral(" ") : title);
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid || title.isEmpty())
        return;
    QFont titleFont = box.font();
    titleFont.setBold(true);
    const int needed = QFontMetrics(titleFont).horizontalAdvance(title) + kTitleBarAllowancePx;
    grid->addItem(new QSpacerItem(needed, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace

MessageAnswer ShowMessage(const MessageRequest& request)
{
    if (messageAnswerer())
        return messageAnswerer()(request);

    QMessageBox box(toQtIcon(request.icon), request.title, request.text, QMessageBox::NoButton,
                    request.parent);
    switch (request.buttons) {
    case MessageButtons::Ok:
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
        break;
    case MessageButtons::OkCancel:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MessageButtons::YesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setEscapeButton(QMessageBox::No);
        break;
    case MessageButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MessageButtons::AbortRetryIgnore:
        box.setStandardButtons(QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore);
        box.setDefaultButton(QMessageBox::Ignore);
        box.setEscapeButton(QMessageBox::Ignore);
        break;
    }
    fitTitle(box, request.title);
    switch (box.exec()) {
    case QMessageBox::Ok:
        return MessageAnswer::Ok;
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    case QMessageBox::Abort:
        return MessageAnswer::Abort;
    case QMessageBox::Retry:
        return MessageAnswer::Retry;
    case QMessageBox::Ignore:
        return MessageAnswer::Ignore;
    default:
        break;
    }
    if (request.buttons == MessageButtons::AbortRetryIgnore)
        return MessageAnswer::Ignore;
    return request.buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
}

QString ChooseOpenFile(const OpenFileRequest& request)
{
    if (openFileAnswerer())
        return openFileAnswerer()(request);
    QFileDialog dialog(request.parent, request.title, request.folder);
    // Qt's own dialog, so that the filters below behave the same on every desktop.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A name that does not exist comes back to the caller, which has its own
    // message for it, instead of Qt's.
    dialog.setFileMode(QFileDialog::AnyFile);

    // "*.*" stands for every file, also one without a dot (most cached files have
    // none), where Qt would demand a dot: the dialog filters with "*" and shows
    // the caption as written.
    const QStringList captions = request.filter.split(QStringLiteral(";;"), Qt::SkipEmptyParts);
    QStringList filters;
    for (QString caption : captions) {
        if (caption.endsWith(QStringLiteral("(*.*)")))
            caption = caption.chopped(5) + QStringLiteral("(*)");
        filters << caption;
    }
    dialog.setNameFilters(filters);
    if (auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"))) {
        for (int i = 0; i < captions.size() && i < types->count(); ++i)
            types->setItemText(i, captions.at(i));
    }
    const qsizetype selected = captions.indexOf(request.selectedFilter);
    if (selected >= 0)
        dialog.selectNameFilter(filters.at(selected));

    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

bool ShellOpen(const QString& pathOrUrl)
{
    if (shellOpener())
        return shellOpener()(pathOrUrl);
    const QUrl url = QFileInfo(pathOrUrl).isAbsolute() ? QUrl::fromLocalFile(pathOrUrl)
                                                       : QUrl::fromUserInput(pathOrUrl);
    // Qt starts xdg-open detached and reports only that it started; its exit
    // status is what tells whether a browser was found.
    const QString launcher = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (launcher.isEmpty() || !url.isValid())
        return QDesktopServices::openUrl(url);
    const QString target = url.isLocalFile() ? url.toLocalFile() : url.toString(QUrl::FullyEncoded);
    // While it is waited for, the windows repaint; clicks and keys wait until it is over.
    const QuitDeferral deferral;
    const LaunchOutcome outcome =
        RunLauncher(TextToPath(launcher), TextToPath(target), kLauncherWait,
                    [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); });
    return outcome != LaunchOutcome::Failed;
}

void SetMessageAnswerer(MessageAnswerer answerer)
{
    messageAnswerer() = std::move(answerer);
}

void SetOpenFileAnswerer(OpenFileAnswerer answerer)
{
    openFileAnswerer() = std::move(answerer);
}

void SetShellOpener(ShellOpener opener)
{
    shellOpener() = std::move(opener);
}

} // namespace tessaloom::gui
