// Builds the index of one folder through the program's main window: frmMain
// loaded as at start-up with the folder as its current one, then its
// "Create Index File" button clicked, so the build runs with the progress window
// shown and events let run as in the program. bench/gui/run.sh compares it with
// `tessaloom-cli index` on the same folder.
//
// Usage: tessaloom-bench-window FOLDER
// The settings and the folder list live in a data home of the benchmark's, never the
// user's.
// With TESSALOOM_BENCH_PHASES set, the process CPU time of each phase goes to
// stderr ("phase NAME MS"), to show where the window's extra over the command
// line goes. With TESSALOOM_BENCH_BUILD_TIME naming a file, the wall time from the
// click to the page written, in seconds, is written there: the build as the user
// waits for it, without the program's start-up.
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

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>

using namespace tessaloom;

namespace {

// CPU time of the process (all its threads) since the previous mark.
void Phase(const char* name)
{
    static const bool wanted = std::getenv("TESSALOOM_BENCH_PHASES") != nullptr;
    static double previous = 0;
    if (!wanted)
        return;
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    const double ms =
        static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
    std::fprintf(stderr, "phase %s %.1f\n", name, ms - previous);
    previous = ms;
}

} // namespace

int main(int argc, char* argv[])
{
    Phase("before-main");
    QApplication app(argc, argv);
    Phase("application");
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessaloom-bench-window FOLDER\n");
        return 2;
    }
    const std::string folder = std::filesystem::absolute(argv[1]).string();

    // A throw-away home per run, unless the caller names one (TESSALOOM_BENCH_HOME,
    // an existing folder) made once for all its runs: making and removing a home is
    // the benchmark's own cost, which on a journalled disk is some 10 ms a run.
    const QString named = qEnvironmentVariable("TESSALOOM_BENCH_HOME");
    std::optional<QTemporaryDir> temporary;
    if (named.isEmpty())
        temporary.emplace();
    const QDir home(temporary ? temporary->path() : named);
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
    Phase("window-made");
    window.setEndProgram([] {});
    window.Form_Load();
    Phase("window-loaded");
    window.show();
    QCoreApplication::processEvents();

    auto* create = window.findChild<QPushButton*>(QStringLiteral("btnCreateIndex"));
    if (!create) {
        std::fprintf(stderr, "tessaloom-bench-window: no btnCreateIndex\n");
        return 1;
    }
    Phase("window-shown");
    const auto clicked = std::chrono::steady_clock::now();
    create->click();
    QCoreApplication::processEvents();
    const std::chrono::duration<double> building = std::chrono::steady_clock::now() - clicked;
    Phase("index-built");
    if (const char* timeFile = std::getenv("TESSALOOM_BENCH_BUILD_TIME")) {
        if (std::FILE* out = std::fopen(timeFile, "w")) {
            std::fprintf(out, "%.6f\n", building.count());
            std::fclose(out);
        }
    }
    if (!QFile::exists(
            QDir(QString::fromStdString(folder)).filePath(QStringLiteral("!ndex.htm")))) {
        std::fprintf(stderr, "tessaloom-bench-window: no index written\n");
        return 1;
    }
    return 0;
}
