#include "gui/userprompts.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
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
    QString selected = request.selectedFilter;
    return QFileDialog::getOpenFileName(request.parent, request.title, request.folder,
                                        request.filter, selected.isEmpty() ? nullptr : &selected);
}

bool ShellOpen(const QString& pathOrUrl)
{
    if (shellOpener())
        return shellOpener()(pathOrUrl);
    const QUrl url = QFileInfo(pathOrUrl).isAbsolute() ? QUrl::fromLocalFile(pathOrUrl)
                                                       : QUrl::fromUserInput(pathOrUrl);
    return QDesktopServices::openUrl(url);
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
