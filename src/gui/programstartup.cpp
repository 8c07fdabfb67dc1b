#include "gui/programstartup.h"

#include "gui/frmmain.h"
#include "gui/programcontext.h"
#include "gui/programicon.h"
#include "gui/singleinstance.h"
#include "gui/userprompts.h"
#include "gui/windowkit.h"
#include "gui/windowlaunch.h"
#include "shell/startup.h"

#include <QApplication>

namespace tessaloom::gui {

bool RunProgramStartup(SingleInstance& instance, const AppEnvironment& app)
{
    StartupEnvironment env;
    env.app = app;
    env.anotherInstanceRunning = instance.anotherInstanceRunning();
    env.askLaunchAnother = [] {
        return AskYesNo(nullptr, QString::fromLatin1(kAlreadyRunningTitle),
                        QString::fromLatin1(kAlreadyRunningText));
    };
    StartupResult result = RunStartup(env);
    if (!result.proceed) {
        instance.askRunningInstanceToShow();
        return false;
    }
    Program().startup = std::move(result);
    // A second instance started on purpose leaves the socket to the first.
    if (!env.anotherInstanceRunning)
        instance.listen();
    return true;
}

int RunProgram()
{
    QApplication::setApplicationName(QString::fromLatin1(kProductName));
    SetProgramIdentity();
    SingleInstance instance;
    AppEnvironment app = AppEnvironment::FromProcess();
    app.programFolder = TextToPath(QCoreApplication::applicationDirPath());
    if (!RunProgramStartup(instance, app))
        return 0;
    if (!RunStartupWindows())
        return 0;

    frmMain window;
    QObject::connect(&instance, &SingleInstance::showRequested, &window, &frmMain::bringToFront);
    window.Form_Load();
    return QApplication::exec();
}

} // namespace tessaloom::gui
