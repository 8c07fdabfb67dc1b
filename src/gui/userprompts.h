#pragma once

#include <QString>

#include <functional>

class QWidget;

// Every question box, file dialog and shell "open" of the program goes through
// these functions, so that a test can answer them without a dialog blocking it.
namespace tessaloom::gui {

enum class MessageIcon
{
    None,
    Critical,
    Exclamation,
    Question,
    Information
};

enum class MessageButtons
{
    Ok,
    OkCancel,
    YesNo,
    YesNoCancel,
    AbortRetryIgnore // Ignore is the default button and the answer to Esc
};

enum class MessageAnswer
{
    Ok,
    Cancel,
    Yes,
    No,
    Abort,
    Retry,
    Ignore
};

struct MessageRequest
{
    QWidget* parent = nullptr;
    QString title;
    QString text;
    MessageIcon icon = MessageIcon::None;
    MessageButtons buttons = MessageButtons::Ok;
};

/// Shows a message box (modal) and returns the button chosen. Esc or the close
/// box give Cancel, No when the box has no Cancel button, Ignore for Abort, Retry
/// and Ignore.
MessageAnswer ShowMessage(const MessageRequest& request);

struct OpenFileRequest
{
    QWidget* parent = nullptr;
    QString title;
    QString folder;
    QString filter;         // ";;"-separated, e.g. "All Files (*.*);;HTML (*.htm *.html)";
                            // "(*.*)" matches names without a dot too
    QString selectedFilter; // the entry of `filter` chosen at first; empty: the first
};

/// Asks for the name of a file to open, which the caller must check: a name
/// that does not exist comes back too. Empty when the user cancels.
QString ChooseOpenFile(const OpenFileRequest& request);

/// Opens a document, a folder or a web address with the desktop's default
/// program (xdg-open, waited for briefly; QDesktopServices without it). False
/// when that failed.
bool ShellOpen(const QString& pathOrUrl);

// Test hooks: replace the real dialog or launcher; an empty function restores it.
using MessageAnswerer = std::function<MessageAnswer(const MessageRequest&)>;
using OpenFileAnswerer = std::function<QString(const OpenFileRequest&)>;
using ShellOpener = std::function<bool(const QString&)>;
void SetMessageAnswerer(MessageAnswerer answerer);
void SetOpenFileAnswerer(OpenFileAnswerer answerer);
void SetShellOpener(ShellOpener opener);

} // namespace tessaloom::gui
