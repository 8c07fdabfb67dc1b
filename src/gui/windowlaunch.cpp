#include "gui/windowlaunch.h"

// Stand-ins until each window lands; each one moves into its window's source file.
namespace tessaloom::gui {

void ShowViewDeleteWizard(QWidget*) {}

} // namespace tessaloom::gui
