#include "gui/folderssearch.h"
#include "gui/programcontext.h"
#include "gui/userprompts.h"
#include "shell/twips.h"
#include "support/windowtest.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

using namespace tessaloom;
using namespace tessaloom::gui;

namespace {

void makeFolders(const QString& root, const QStringList& paths)
{
    for (const QString& path : paths)
        QVERIFY(QDir(root).mkpath(path));
}

QString readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("<missing>");
    return QString::fromUtf8(file.readAll());
}

FoldersSearch* searchWindowOf(QWidget* owner)
{
    return owner->findChild<FoldersSearch*>(QStringLiteral("FoldersSearch"));
}

} // namespace

class FoldersSearchTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { test::UseEmptyProgramFolder(m_programDir); }

    void labelShowsAtThe50thFolderOpened_data()
    {
        QTest::addColumn<int>("subfolders");
        QTest::addColumn<QString>("label");
        // The root counts as one folder opened.
        QTest::newRow("49 opened") << 48 << QString();
        QTest::newRow("50 opened") << 49 << QStringLiteral("Folders Searched: 50");
    }

    void labelShowsAtThe50thFolderOpened()
    {
        QFETCH(int, subfolders);
        QFETCH(QString, label);
        QTemporaryDir root;
        QStringList paths;
        for (int i = 0; i < subfolders; ++i)
            paths << QStringLiteral("d%1").arg(i);
        makeFolders(root.path(), paths);

        FoldersSearch window(nullptr);
        window.showWindow();
        std::int32_t counter = 0;
        ListCacheFolders(root.path().toStdString(), counter, window, LocaleFormats::EnglishUS());
        QCOMPARE(counter, subfolders + 1);
        QCOMPARE(window.findChild<QLabel*>(QStringLiteral("lblFolders"))->text(), label);
    }

    void searchListsSortedWritesAndSlidesAway()
    {
        QTemporaryDir volume;
        QTemporaryDir cacheHome;
        QTemporaryDir data;
        makeFolders(volume.path(), {QStringLiteral("b/Cache"), QStringLiteral("A/cache"),
                                    QStringLiteral("c/Caches"), QStringLiteral("b/Cache/x/CACHE")});
        makeFolders(cacheHome.path(), {QStringLiteral("browser/Cache")});
        DriveSearchPlan plan;
        plan.volumes.push_back({volume.path().toStdString(), "Volume (test)"});
        plan.cacheHome = cacheHome.path().toStdString();
        plan.folderListPath = data.filePath(QStringLiteral("folders.dat")).toStdString();

        QWidget owner;
        owner.setWindowTitle(QStringLiteral("Tessaloom"));
        owner.setGeometry(40, 30, 600, 400);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));

        QStringList calls;
        QPoint shownAt;
        FoldersSearchHooks hooks;
        hooks.clearSuggestions = [&] {
            calls << QStringLiteral("clear");
            FoldersSearch* window = searchWindowOf(&owner);
            QVERIFY(window && window->isVisible());
            shownAt = window->pos();
            // 250 twips right of the main window, 1000 below its top.
            const double dpi = owner.screen()->logicalDotsPerInch();
            QVERIFY(qAbs(shownAt.x() - (owner.pos().x() + TwipsToPixels(250, dpi))) <= 1);
            QVERIFY(qAbs(shownAt.y() - (owner.pos().y() + TwipsToPixels(1000, dpi))) <= 1);
        };
        hooks.reloadSuggestedList = [&] {
            calls << QStringLiteral("reload");
            // The list is on disk and the window has slid away, back where it was.
            QVERIFY(QFile::exists(QString::fromStdString(plan.folderListPath.string())));
            FoldersSearch* window = searchWindowOf(&owner);
            QVERIFY(window && window->isHidden());
            QCOMPARE(window->pos(), shownAt);
            const QListWidget* list = window->findChild<QListWidget*>(QStringLiteral("List1"));
            QStringList shown;
            // The cache home's folder sorts anywhere among them (temporary names).
            for (int i = 0; i < list->count(); ++i)
                if (list->item(i)->text().startsWith(volume.path()))
                    shown << QDir(volume.path()).relativeFilePath(list->item(i)->text());
            QCOMPARE(shown, (QStringList{QStringLiteral("A/cache"), QStringLiteral("b/Cache"),
                                         QStringLiteral("b/Cache/x/CACHE")}));
        };

        const DriveSearchResult result = SearchDrivesForFolders(&owner, plan, hooks);
        QCOMPARE(calls, (QStringList{QStringLiteral("clear"), QStringLiteral("reload")}));
        QVERIFY(!result.cancelled);
        QVERIFY(result.written);
        QCOMPARE(result.folders.size(), std::size_t{4});
        const QString written = readFile(QString::fromStdString(plan.folderListPath.string()));
        QCOMPARE(written.count(QStringLiteral("\r\n")), 4);
        const qsizetype a =
            written.indexOf(volume.filePath(QStringLiteral("A/cache")) + QStringLiteral("\r\n"));
        const qsizetype b =
            written.indexOf(volume.filePath(QStringLiteral("b/Cache")) + QStringLiteral("\r\n"));
        QVERIFY(a >= 0 && b > a);
        QVERIFY(written.contains(cacheHome.filePath(QStringLiteral("browser/Cache")) +
                                 QStringLiteral("\r\n")));
        QVERIFY(searchWindowOf(&owner) == nullptr); // unloaded
        QVERIFY(!QApplication::overrideCursor());   // the pointer is back
    }

    void cancelOrCloseBoxStopsTheWalkAndStillWrites_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Cancel") << false;
        QTest::newRow("close box") << true;
    }

    void cancelOrCloseBoxStopsTheWalkAndStillWrites()
    {
        QFETCH(bool, closeBox);
        QTemporaryDir first;
        QTemporaryDir second;
        QTemporaryDir data;
        makeFolders(first.path(), {QStringLiteral("a/Cache")});
        makeFolders(second.path(), {QStringLiteral("b/Cache")});
        const QString listPath = data.filePath(QStringLiteral("folders.dat"));
        {
            QFile old(listPath);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("/old/Cache\r\n");
        }
        DriveSearchPlan plan;
        plan.volumes.push_back({first.path().toStdString(), "first"});
        plan.volumes.push_back({second.path().toStdString(), "second"});
        plan.folderListPath = listPath.toStdString();

        QWidget owner;
        owner.show();
        bool reloaded = false;
        FoldersSearchHooks hooks;
        hooks.clearSuggestions = [&] {
            FoldersSearch* window = searchWindowOf(&owner);
            if (closeBox) {
                QVERIFY(!window->close());
                QVERIFY(window->isVisible()); // stays until the list is written
            } else {
                QTest::mouseClick(window->findChild<QPushButton*>(QStringLiteral("btnCancel")),
                                  Qt::LeftButton);
            }
        };
        hooks.reloadSuggestedList = [&] { reloaded = true; };

        const DriveSearchResult result = SearchDrivesForFolders(&owner, plan, hooks);
        QVERIFY(result.cancelled);
        QVERIFY(result.folders.empty());
        QVERIFY(result.written);
        QCOMPARE(readFile(listPath), QString()); // the old list is replaced
        QVERIFY(reloaded);
    }

    void manyFoundFoldersCostInStepWithTheirNumber()
    {
        // A cost bound, not a speed measurement (bench/gui/searchbench.cpp is that):
        // a list that is laid out and scrolled again at every folder needs over
        // half a minute here.
        constexpr int kFound = 3000;
        QTemporaryDir root;
        for (int i = 0; i < kFound; ++i)
            QVERIFY(QDir(root.path()).mkpath(QStringLiteral("d%1/Cache").arg(i)));
        DriveSearchPlan plan;
        plan.volumes.push_back({root.path().toStdString(), "many"});
        QWidget owner;
        owner.show();
        int shown = -1;
        FoldersSearchHooks hooks;
        hooks.reloadSuggestedList = [&] {
            const auto* list =
                searchWindowOf(&owner)->findChild<QListWidget*>(QStringLiteral("List1"));
            shown = list->count();
            // Every folder is shown, and the last one is current.
            QCOMPARE(list->currentRow(), shown - 1);
        };
        QElapsedTimer timer;
        timer.start();
        const DriveSearchResult result = SearchDrivesForFolders(&owner, plan, hooks);
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(result.folders.size(), std::size_t{kFound});
        QCOMPARE(shown, kFound);
    }

    void walkErrorIsAskedWithAbortRetryIgnore()
    {
        QWidget owner;
        owner.setWindowTitle(QStringLiteral("Tessaloom"));
        FoldersSearch window(&owner);
        MessageRequest asked;
        SetMessageAnswerer([&](const MessageRequest& request) {
            asked = request;
            return MessageAnswer::Retry;
        });
        WalkError error;
        error.number = 5;
        error.description = "Input/output error";
        QCOMPARE(window.askAboutError(error), ErrorAnswer::Retry);
        QCOMPARE(asked.text, QStringLiteral("5 - Input/output error"));
        QCOMPARE(asked.title, QStringLiteral("Tessaloom"));
        QCOMPARE(asked.icon, MessageIcon::Exclamation);
        QCOMPARE(asked.buttons, MessageButtons::AbortRetryIgnore);
        SetMessageAnswerer([](const MessageRequest&) { return MessageAnswer::Abort; });
        QCOMPARE(window.askAboutError(error), ErrorAnswer::Abort);
    }

private:
    QTemporaryDir m_programDir;
};

QTEST_MAIN(FoldersSearchTest)
#include "folderssearch_test.moc"
