#include "gui/windowkit.h"

#include "shell/twips.h"

#include <QFile>
#include <QWidget>

#include <algorithm>

namespace tessaloom::gui {

QString PathToText(std::string_view path)
{
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

std::string TextToPath(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

QString Utf8ToText(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

WindowRect RectInTwips(const QRect& pixels, double dpi)
{
    return {PixelsToTwips(pixels.x(), dpi), PixelsToTwips(pixels.y(), dpi),
            PixelsToTwips(pixels.width(), dpi), PixelsToTwips(pixels.height(), dpi)};
}

QRect RectInPixels(const WindowRect& twips, double dpi)
{
    return {TwipsToPixels(twips.left, dpi), TwipsToPixels(twips.top, dpi),
            std::max(0, TwipsToPixels(twips.width, dpi)),
            std::max(0, TwipsToPixels(twips.height, dpi))};
}

void PlaceInTwips(QWidget* child, const WindowRect& twips, double dpi)
{
    child->setGeometry(RectInPixels(twips, dpi));
}

QAction* AddNamedAction(QMenu* menu, const char* name, const QString& caption,
                        const QKeySequence& shortcut)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        // Each window has its own menus: its keys act only while it is active.
        action->setShortcutContext(Qt::WindowShortcut);
    }
    return action;
}

bool AskYesNo(QWidget* parent, const QString& title, const QString& text)
{
    return ShowMessage({parent, title, text, MessageIcon::Question, MessageButtons::YesNo}) ==
           MessageAnswer::Yes;
}

void ShowErrorBox(QWidget* parent, const QString& title, const QString& text, MessageIcon icon)
{
    ShowMessage({parent, title, text, icon, MessageButtons::Ok});
}

} // namespace tessaloom::gui
