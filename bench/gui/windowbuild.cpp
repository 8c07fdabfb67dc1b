// Builds the index of one folder through the windows, as the main window's
// "Create Index File" does: a hidden host window, the progress window as the run's
// listener, events let run through the throttled yield. Compared with
// `tessaloom-cli index` on the same folder by bench/gui/run.sh.
//
// Usage: tessaloom-bench-window FOLDER
#include "gui/eventyield.h"
#include "gui/programcontext.h"
#include "gui/statusform.h"
#include "platform/filelister.h"

#include <QApplication>
#include <QMainWindow>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace tessaloom;

// The main window's part of the run, reduced to what the build touches.
class BenchHost final : public IndexRunHost
{
public:
    BenchHost(QWidget& window, std::string folder) : m_window(window), m_folder(std::move(folder))
    {}

    std::string fileListFolder() override { return m_folder; }
    std::vector<std::string> refreshFileList() override
    {
        std::vector<std::string> names;
        ListMatchingFiles(m_folder, "*.*", names);
        return names;
    }
    std::string filePattern() override { return "*.*"; }
    IndexOptions filterOptions() override { return {}; }
    void setFilesLabel(std::string_view) override {}
    void enterFolder(const std::string&) override {}
    void setIndexPath(std::string_view) override {}
    void showNoFilesMessage() override {}
    void hideMainWindow() override { m_window.hide(); }
    void showMainWindow() override { m_window.show(); }
    bool launchBrowserChecked() override { return false; }
    bool launchWizardChecked() override { return false; }
    bool openInBrowser(const std::string&) override { return false; }
    void showError(std::string_view, std::string_view) override {}
    void showWizardModal() override {}

private:
    QWidget& m_window;
    std::string m_folder;
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessaloom-bench-window FOLDER\n");
        return 2;
    }
    gui::Program().startup.folders.programFolder =
        QCoreApplication::applicationDirPath().toStdString() + "/";

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Tessaloom"));
    window.resize(640, 480);
    window.show();
    QCoreApplication::processEvents();

    BenchHost host(window, argv[1]);
    gui::StatusFormListener progress;
    const IndexOutcome outcome = RunIndexBuild(host, progress, LocaleFormats::FromProcessLocale(),
                                               {}, gui::ThrottledEventYield());
    QCoreApplication::processEvents();
    if (outcome.status != IndexStatus::Written) {
        std::fprintf(stderr, "tessaloom-bench-window: the index was not written\n");
        return 1;
    }
    std::printf("%d entries\n", outcome.entryCount);
    return 0;
}
