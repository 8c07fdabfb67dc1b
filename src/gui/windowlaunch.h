#pragma once

class QWidget;

// How one window opens another. Each function lives with the window it opens, so
// the main window and start-up need only this header.
namespace tessaloom::gui {

/// Shows the View/Delete Wizard modally over the document that gblIndexPath names.
/// The caller hides its own window before and shows it again afterwards.
void ShowViewDeleteWizard(QWidget* owner);

/// Shows the Quick Start window modally.
void ShowQuickStart(QWidget* owner);

/// Shows the About window modally, centred on `centreOn` (the main window, also
/// when the wizard opens it).
void ShowAbout(QWidget* owner, QWidget* centreOn);

/// Opens the help's contents page (context 1) in the default browser.
void OpenHelpContents(QWidget* owner);

/// The manual update check (Help menu and the About window's button). False when
/// the program must end now (the updater was started).
bool CheckForUpdates(QWidget* owner);

/// Start-up's windows before the main window: Quick Start while its setting is on,
/// then the version-age reminder on the first start of this major version. False
/// when the program must end now.
bool RunStartupWindows();

} // namespace tessaloom::gui
