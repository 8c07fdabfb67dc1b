// The whole window program, as main.cpp runs it, driven from inside through its
// menus: where no input can be injected from outside (a headless Wayland
// compositor), the menu actions are triggered on the real windows. Waits for the
// main window to be shown, opens the View/Delete Wizard through File, closes it
// through its File > Close Window, then ends the program through File > Exit.
// Every window shown on the way must carry the program's icon. Exit status 0 when
// all of that happened, 1 otherwise (also after 60 s without progress).
#include "gui/programstartup.h"

#include <QAction>
#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>

namespace {

QWidget* ShownWindow(const QString& title)
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->isVisible() && w->windowTitle() == title && w->windowHandle() &&
            w->windowHandle()->isExposed())
            return w;
    }
    return nullptr;
}

bool HasProgramIcon(const QWidget* w)
{
    return !w->windowIcon().isNull() && w->windowIcon().availableSizes().size() >= 2;
}

void Trigger(QWidget* window, const char* actionName)
{
    auto* action = window->findChild<QAction*>(QString::fromLatin1(actionName));
    if (!action) {
        std::fprintf(stdout, "menudriver: no %s in %s\n", actionName,
                     qPrintable(window->windowTitle()));
        QCoreApplication::exit(1);
        return;
    }
    // From the event loop, as a click would: the wizard's own loop then runs
    // while this driver keeps polling.
    QTimer::singleShot(0, action, &QAction::trigger);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    int step = 0;
    int failures = 0;
    const auto fail = [&](const char* what) {
        std::fprintf(stdout, "menudriver: %s\n", what);
        ++failures;
    };
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const QString mainTitle = QStringLiteral("Tessaloom");
        const QString wizardTitle = QStringLiteral("View/Delete Wizard");
        if (step == 0) {
            if (QWidget* main = ShownWindow(mainTitle)) {
                std::fprintf(stdout, "menudriver: main window shown\n");
                if (!HasProgramIcon(main))
                    fail("the main window has no program icon");
                Trigger(main, "MenuFileViewDeleteWizard");
                step = 1;
            }
        } else if (step == 1) {
            if (QWidget* wizard = ShownWindow(wizardTitle)) {
                std::fprintf(stdout, "menudriver: wizard shown\n");
                if (!HasProgramIcon(wizard))
                    fail("the wizard has no program icon");
                Trigger(wizard, "MenuFileCloseWin");
                step = 2;
            }
        } else if (step == 2) {
            if (!ShownWindow(wizardTitle)) {
                if (QWidget* main = ShownWindow(mainTitle)) {
                    std::fprintf(stdout, "menudriver: wizard closed, main window back\n");
                    Trigger(main, "MenuFileExit");
                    step = 3;
                }
            }
        }
    });
    poll.start(100);
    QTimer::singleShot(60000, [&] {
        std::fprintf(stdout, "menudriver: stuck at step %d\n", step);
        QCoreApplication::exit(1);
    });
    const int status = tessaloom::gui::RunProgram();
    if (step != 3)
        fail("the program ended before it was ended through its menu");
    return status != 0 || failures ? 1 : 0;
}
