#pragma once

#include "gui/userprompts.h"
#include "shell/placement.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QRect>
#include <QString>

#include <string>
#include <string_view>

class QWidget;

// What every window does the same way: paths and the core's texts turned into
// control text and back, controls placed in twips, named menu items, and the
// question and error boxes.
namespace tessaloom::gui {

/// A path or file name (the file system's bytes) as a control shows it, in the
/// file-name encoding; TextToPath gives the same bytes back for a text it made.
/// Every window converts a path this one way, so that the same file reads the
/// same in every list and label.
QString PathToText(std::string_view path);
/// A path typed or chosen in a control as the file system's bytes.
std::string TextToPath(const QString& text);
/// A text the core made (captions, messages, settings texts: UTF-8) for a control.
QString Utf8ToText(std::string_view text);

/// `pixels` in twips at `dpi`.
WindowRect RectInTwips(const QRect& pixels, double dpi);
/// `twips` in pixels at `dpi`; a negative width or height becomes 0.
QRect RectInPixels(const WindowRect& twips, double dpi);
/// Puts `child` where `twips` says, in its parent's coordinates.
void PlaceInTwips(QWidget* child, const WindowRect& twips, double dpi);

/// A menu item named `name` (the name tests and readers look for) with `caption`
/// (its "&" marks the access key) and `shortcut`, added at the end of `menu`.
QAction* AddNamedAction(QMenu* menu, const char* name, const QString& caption,
                        const QKeySequence& shortcut = {});

/// The same, and choosing it calls `handler` of `window`.
template <typename Window>
QAction* AddMenuAction(QMenu* menu, const char* name, const QString& caption, Window* window,
                       void (Window::*handler)(), const QKeySequence& shortcut = {})
{
    QAction* action = AddNamedAction(menu, name, caption, shortcut);
    QObject::connect(action, &QAction::triggered, window, handler);
    return action;
}

/// A question with Yes and No (Esc: No) over `parent`; true for Yes.
bool AskYesNo(QWidget* parent, const QString& title, const QString& text);
/// A message with an OK button over `parent`, by default with the error icon.
void ShowErrorBox(QWidget* parent, const QString& title, const QString& text,
                  MessageIcon icon = MessageIcon::Critical);

} // namespace tessaloom::gui
