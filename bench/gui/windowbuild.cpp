// Builds the index of one folder through the program's main window: frmMain
// loaded as at start-up with the folder as its current one, then its
// "Create Index File" button clicked, so the build runs with the progress window
// shown and events let run as in the program. bench/gui/run.sh compares it with
// `tessaloom-cli index` on the same folder.
//
// Usage: tessaloom-bench-window FOLDER
// The settings and the folder list live in a temporary data home, never the user's.
#include "gui/frmmain.h"
#include "gui/programcontext.h"
#include "gui/userprompts.h"
#include "shell/appfolders.h"
#include "shell/settings.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>
#include <filesystem>

using namespace tessaloom;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessaloom-bench-window FOLDER\n");
        return 2;
    }
    const std::string folder = std::filesystem::absolute(argv[1]).string();

    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qputenv("XDG_CACHE_HOME", home.filePath(QStringLiteral("cache")).toUtf8());
    gui::ProgramContext& program = gui::Program();
    program.startup.folders = ResolveAppFolders(AppEnvironment::FromProcess());
    program.startup.folders.programFolder =
        QCoreApplication::applicationDirPath().toStdString() + "/";
    QDir().mkpath(QString::fromStdString(program.startup.folders.dataFolder));
    // An empty suggested-folder list: no offer of a drive search at load.
    QFile(QString::fromStdString(program.startup.folders.folderListPath))
        .open(QIODevice::WriteOnly);
    // The command line's defaults, and nothing opened afterwards.
    Settings& settings = program.settings();
    settings.directory = folder;
    settings.filePattern = "*.*";
    settings.excludeImages = false;
    settings.includeOnlyImages = false;
    settings.excludeBinaryFiles = true;
    settings.launchBrowser = false;
    settings.launchViewDeleteWizard = false;
    gui::SetMessageAnswerer([](const gui::MessageRequest&) { return gui::MessageAnswer::No; });
    gui::SetShellOpener([](const QString&) { return true; });

    gui::frmMain window;
    window.setEndProgram([] {});
    window.Form_Load();
    window.show();
    QCoreApplication::processEvents();

    auto* create = window.findChild<QPushButton*>(QStringLiteral("btnCreateIndex"));
    if (!create) {
        std::fprintf(stderr, "tessaloom-bench-window: no btnCreateIndex\n");
        return 1;
    }
    create->click();
    QCoreApplication::processEvents();
    if (!QFile::exists(
            QDir(QString::fromStdString(folder)).filePath(QStringLiteral("!ndex.htm")))) {
        std::fprintf(stderr, "tessaloom-bench-window: no index written\n");
        return 1;
    }
    return 0;
}
