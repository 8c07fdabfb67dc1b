#include "gui/programcontext.h"
#include "gui/userprompts.h"
#include "gui/windowkit.h"
#include "gui/windowlaunch.h"

namespace tessaloom::gui {

void OpenHelpContents(QWidget* owner)
{
    // The browser has no owner window; the result is not looked at, and a missing
    // page is for the browser to report.
    Q_UNUSED(owner);
    std::string page = Program().startup.helpFilePath;
    if (page.empty())
        page = Program().programFolder() + "help/index.html";
    ShellOpen(PathToText(page));
}

} // namespace tessaloom::gui
