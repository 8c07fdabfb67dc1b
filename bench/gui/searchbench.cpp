// The drive search through its window over a tree that holds many cache folders:
// N folders "dNNNN/Cache" under one root, walked as one volume with FoldersSearch
// shown, List1 filled and scrolled as in the program. Prints the seconds per size;
// the time should grow in step with N.
//
// Usage: tessaloom-bench-search [N...]   (default: 750 1500 3000)
#include "gui/folderssearch.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using namespace tessaloom;

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {750, 1500, 3000};

    QWidget owner;
    owner.setWindowTitle(QStringLiteral("Tessaloom"));
    owner.setGeometry(40, 30, 600, 400);
    owner.show();
    for (const int n : sizes) {
        QTemporaryDir root;
        for (int i = 0; i < n; ++i)
            QDir(root.path()).mkpath(QStringLiteral("d%1/Cache").arg(i, 5, 10, QLatin1Char('0')));
        DriveSearchPlan plan;
        plan.volumes.push_back({root.path().toStdString(), "bench"});
        QElapsedTimer timer;
        timer.start();
        const DriveSearchResult result = gui::SearchDrivesForFolders(&owner, plan);
        std::printf("%6d cache folders found: %.2f s\n", static_cast<int>(result.folders.size()),
                    static_cast<double>(timer.elapsed()) / 1000.0);
    }
    return 0;
}
