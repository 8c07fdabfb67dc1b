#pragma once

#include "update/updatecheck.h"

#include <QPointer>
#include <QWidget>

#include <functional>

// The update check's dialogs, process start and browser on the desktop, and the
// immediate end of the program it may ask for.
namespace tessaloom::gui {

/// The update check's platform for the windows: message boxes owned by `owner`,
/// the updater started detached, the history page through the desktop's browser.
class WindowsUpdatePlatform final : public UpdatePlatform
{
public:
    explicit WindowsUpdatePlatform(QWidget* owner) : m_owner(owner) {}

    bool startProgram(const std::string& program, const std::string& parameters,
                      const std::string& workingFolder) override;
    bool openUrl(const std::string& url, bool ownedByMainWindow) override;
    void showMessage(const MessageBoxText& message) override;
    bool askYesNo(const MessageBoxText& message) override;
    void endProgram() override;

private:
    QPointer<QWidget> m_owner;
};

/// The update context of the running program: its folder from the program
/// context, the program file under its own name in that folder, the process locale.
UpdateContext CurrentUpdateContext();

/// Ends the process at once, as the updater hand-over asks: no window closes and no
/// setting or placement is stored.
void EndProgramAtOnce();

/// Test hook: replaces the immediate end (an empty function restores it).
void SetProgramEnder(std::function<void()> ender);

} // namespace tessaloom::gui
