// The View/Delete Wizard on an index of many existing files, run offscreen
// (QT_QPA_PLATFORM=offscreen):
//
//   tessaloom-bench-wizard make FOLDER ENTRIES   files and their index in FOLDER
//   tessaloom-bench-wizard read DOCUMENT         the core's read alone
//   tessaloom-bench-wizard open DOCUMENT         the wizard shown with its rows
//   tessaloom-bench-wizard scroll DOCUMENT       the same, then paged through
//   tessaloom-bench-wizard delete FOLDER ENTRIES SELECTED
//                                                a fresh index of ENTRIES files,
//                                                every n-th of SELECTED rows deleted
//
// "read" and "open" are meant to be timed from outside as whole processes, one
// against the other; "open" and "delete" also print their own phases.
#include "gui/frmviewdeletewizard.h"
#include "gui/programcontext.h"
#include "indexer/indexdocument.h"
#include "wizard/indexpath.h"
#include "wizard/indexreader.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QListView>
#include <QScrollBar>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace tessaloom;

bool Make(const std::filesystem::path& folder, int entries)
{
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    std::vector<IndexEntry> list;
    list.reserve(static_cast<std::size_t>(entries));
    for (int i = 0; i < entries; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%08X", static_cast<unsigned>(i) * 2654435761u);
        const int fd = ::open((folder / name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        ::close(fd);
        char key[32];
        std::snprintf(key, sizeof key, "2024/%02d/%02d %02d:%02d:%02d", i % 12 + 1, i % 28 + 1,
                      i % 24, i % 60, (i * 7) % 60);
        std::string label = i % 3 == 0   ? "       Image"
                            : i % 3 == 1 ? "Page " + std::to_string(i) + " &amp; news &#174;"
                                         : "      Untitled";
        list.push_back({key, label, name});
    }
    IndexDocumentHeader header;
    header.folder = folder.string();
    header.pattern = "*.*";
    return WriteIndexDocument(folder, header, list).ok();
}

// Lets events run until the list has painted its rows once.
class FirstPaint : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

int Open(int argc, char** argv, const char* document, bool scroll)
{
    QApplication app(argc, argv);
    gblIndexPath.set(document);
    gui::frmViewDeleteWizard wizard(nullptr);
    QElapsedTimer clock;
    clock.start();
    if (!wizard.Form_Load())
        return 1;
    const qint64 loaded = clock.elapsed();
    FirstPaint paint;
    wizard.LstDisplay()->viewport()->installEventFilter(&paint);
    wizard.show();
    while (!paint.painted)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const qint64 shown = clock.elapsed();
    if (!scroll)
        return wizard.rowModel()->rowCount() > 0 ? 0 : 1;

    // Scrolling: a page at a time through the first thousand pages, then the end.
    QScrollBar* bar = wizard.LstDisplay()->verticalScrollBar();
    clock.restart();
    int pages = 0;
    for (; pages < 1000 && bar->value() < bar->maximum(); ++pages) {
        bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        wizard.LstDisplay()->viewport()->repaint();
    }
    bar->setValue(bar->maximum());
    wizard.LstDisplay()->viewport()->repaint();
    const qint64 scrolled = clock.elapsed();
    std::fprintf(stderr, "rows %d: read %lld ms, shown %lld ms; %d pages scrolled in %lld ms\n",
                 wizard.rowModel()->rowCount(), static_cast<long long>(loaded),
                 static_cast<long long>(shown), pages, static_cast<long long>(scrolled));
    return wizard.rowModel()->rowCount() > 0 ? 0 : 1;
}

int Delete(int argc, char** argv, const std::filesystem::path& folder, int entries, int selected)
{
    if (!Make(folder, entries))
        return 1;
    QApplication app(argc, argv);
    gui::Program().settings().confirmDeletions = false;
    gblIndexPath.set((folder / kIndexDocumentName).string());
    gui::frmViewDeleteWizard wizard(nullptr);
    if (!wizard.Form_Load())
        return 1;
    wizard.show();
    QItemSelection selection;
    const int step = std::max(1, entries / std::max(1, selected));
    for (int i = 0, n = 0; i < entries && n < selected; i += step, ++n) {
        const QModelIndex index = wizard.rowModel()->index(i, 0);
        selection.select(index, index);
    }
    wizard.LstDisplay()->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpuStart = std::clock();
    wizard.MenuFileDeleteFiles_Click();
    const qint64 ms = clock.elapsed();
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    const int left = wizard.rowModel()->rowCount();
    std::printf("%d of %d rows deleted with the rewrite: %lld ms wall, %.0f ms cpu (%d rows "
                "left)\n",
                selected, entries, static_cast<long long>(ms), cpuMs, left);
    std::filesystem::remove_all(folder);
    return left == entries - selected ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "make" && argc == 4)
        return Make(argv[2], std::atoi(argv[3])) ? 0 : 1;
    if (command == "read" && argc == 3) {
        IndexPathValue path;
        path.set(argv[2]);
        return FindAndReadIndex(path, {}).rows.empty() ? 1 : 0;
    }
    if ((command == "open" || command == "scroll") && argc == 3)
        return Open(argc, argv, argv[2], command == "scroll");
    if (command == "delete" && argc == 5)
        return Delete(argc, argv, argv[2], std::atoi(argv[3]), std::atoi(argv[4]));
    std::fprintf(stderr, "usage: tessaloom-bench-wizard make FOLDER ENTRIES | read DOCUMENT | "
                         "open DOCUMENT | scroll DOCUMENT | delete FOLDER ENTRIES SELECTED\n");
    return 2;
}
