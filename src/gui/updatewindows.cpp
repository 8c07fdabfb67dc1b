#include "gui/updatewindows.h"

#include "gui/programcontext.h"
#include "gui/userprompts.h"
#include "gui/windowkit.h"
#include "gui/windowlaunch.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace tessaloom::gui {

namespace {

std::function<void()>& programEnder()
{
    static std::function<void()> ender;
    return ender;
}

MessageIcon ToMessageIcon(MessageBoxText::Icon icon)
{
    switch (icon) {
    case MessageBoxText::Icon::Critical:
        return MessageIcon::Critical;
    case MessageBoxText::Icon::Exclamation:
        return MessageIcon::Exclamation;
    case MessageBoxText::Icon::Question:
        return MessageIcon::Question;
    }
    return MessageIcon::None;
}

MessageRequest ToRequest(QWidget* owner, const MessageBoxText& message, MessageButtons buttons)
{
    MessageRequest request;
    request.parent = owner;
    request.title = Utf8ToText(message.title);
    // Paragraphs are joined with carriage returns; a message box breaks on "\n".
    request.text = Utf8ToText(message.text).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    request.icon = ToMessageIcon(message.icon);
    request.buttons = buttons;
    return request;
}

} // namespace

bool WindowsUpdatePlatform::startProgram(const std::string& program, const std::string& parameters,
                                         const std::string& workingFolder)
{
    // The parameter string is one argument, exactly as built: the updater splits it
    // at " | " itself.
    return QProcess::startDetached(PathToText(program), {Utf8ToText(parameters)},
                                   PathToText(workingFolder));
}

bool WindowsUpdatePlatform::openUrl(const std::string& url, bool ownedByMainWindow)
{
    // The desktop's browser has no owner window to give it.
    Q_UNUSED(ownedByMainWindow);
    return ShellOpen(QString::fromStdString(url));
}

void WindowsUpdatePlatform::showMessage(const MessageBoxText& message)
{
    ShowMessage(ToRequest(m_owner, message, MessageButtons::Ok));
}

bool WindowsUpdatePlatform::askYesNo(const MessageBoxText& message)
{
    return ShowMessage(ToRequest(m_owner, message, MessageButtons::YesNo)) == MessageAnswer::Yes;
}

void WindowsUpdatePlatform::endProgram()
{
    EndProgramAtOnce();
}

UpdateContext CurrentUpdateContext()
{
    const std::string& folder = Program().programFolder();
    const std::string programName =
        TextToPath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    return UpdateContext::ForThisProgram(folder, folder + programName,
                                         LocaleFormats::FromProcessLocale());
}

void EndProgramAtOnce()
{
    if (programEnder()) {
        programEnder()();
        return;
    }
    // Nothing the program keeps is half-written at this point (every file is
    // replaced whole), so leaving without destructors loses nothing; running them
    // would let the main window's close sequence store settings the hand-over must
    // not store.
    std::cout.flush();
    std::fflush(nullptr);
    ::_exit(0);
}

void SetProgramEnder(std::function<void()> ender)
{
    programEnder() = std::move(ender);
}

bool CheckForUpdates(QWidget* owner)
{
    WindowsUpdatePlatform platform(owner);
    return RunUpdateCheck(platform, CurrentUpdateContext()) != UpdateEnding::ProgramEnded;
}

bool RunStartupWindows()
{
    if (Program().settings().showQuickStart)
        ShowQuickStart(nullptr);
    if (!Program().startup.runVersionAgeReminder)
        return true;
    WindowsUpdatePlatform platform(nullptr);
    return CheckVersionAge(platform, CurrentUpdateContext()) != UpdateEnding::ProgramEnded;
}

} // namespace tessaloom::gui
