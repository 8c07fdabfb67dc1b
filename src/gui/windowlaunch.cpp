#include "gui/windowlaunch.h"

// Stand-ins until each window lands; each one moves into its window's source file.
namespace tessaloom::gui {

void ShowViewDeleteWizard(QWidget*) {}

void ShowQuickStart(QWidget*) {}

void ShowAbout(QWidget*, QWidget*) {}

void OpenHelpContents(QWidget*) {}

bool CheckForUpdates(QWidget*)
{
    return true;
}

bool RunStartupWindows()
{
    return true;
}

} // namespace tessaloom::gui
