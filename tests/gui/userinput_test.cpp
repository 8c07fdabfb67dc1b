// What the user's hands meet in the main window and its helpers: access keys,
// clicks in the folder list, the real Open dialog and the real browser launcher.
#include "gui/folderlistbox.h"
#include "gui/frmmain.h"
#include "gui/programcontext.h"
#include "gui/userprompts.h"
#include "support/windowtest.h"
#include "wizard/indexpath.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

using namespace tessaloom;
using namespace tessaloom::gui;
using tessaloom::test::WriteFile;

namespace {

/// The names the dialog's file view shows as choosable under its current filter.
QStringList ChoosableNames(const QFileDialog& dialog)
{
    const auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
    QStringList names;
    if (!view || !view->model())
        return names;
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < view->model()->rowCount(root); ++row) {
        const QModelIndex index = view->model()->index(row, 0, root);
        if (index.flags() & Qt::ItemIsEnabled)
            names << index.data().toString();
    }
    names.sort();
    return names;
}

} // namespace

class UserInputTest : public QObject
{
    Q_OBJECT

private:
    test::WindowTestUser m_user;
    QStringList m_messages;

    QString tree(const QString& relative) const { return m_user.path(relative); }

    std::unique_ptr<frmMain> openWindow(const QString& folder)
    {
        m_user.startProgram();
        WriteFile(m_user.folderList(), {});
        Program().settings().directory = folder.toStdString();
        auto window = std::make_unique<frmMain>();
        window->setEndProgram([] {});
        window->Form_Load();
        return window;
    }

private slots:
    void init()
    {
        QVERIFY(m_user.newHome());
        m_messages.clear();
        test::AnswerMessages(m_messages, MessageAnswer::Ok);
    }

    void cleanup()
    {
        test::RestoreDialogs();
        m_user.reset();
    }

    void everyMenuHasDistinctAccessKeys()
    {
        auto w = openWindow(m_user.path());
        for (QAction* menu : w->menuBar()->actions()) {
            QStringList keys;
            for (const QAction* item : menu->menu()->actions()) {
                if (item->isSeparator())
                    continue;
                const qsizetype amp = item->text().indexOf(QLatin1Char('&'));
                QVERIFY2(amp >= 0, qPrintable(item->text()));
                keys << item->text().mid(amp + 1, 1).toUpper();
            }
            QCOMPARE(keys.removeDuplicates(), 0);
        }
        // The Part's own item keeps its letter.
        QVERIFY(w->findChild<QAction*>(QStringLiteral("MenuFileRefreshFileList"))
                    ->text()
                    .startsWith(QStringLiteral("&R")));
    }

    void aDoubleClickEntersTheClickedFolderOnce_data()
    {
        QTest::addColumn<bool>("doubleClick");
        QTest::addColumn<QString>("expected"); // below "top"
        QTest::newRow("double click") << true << QStringLiteral("a05");
        QTest::newRow("two slow clicks") << false << QStringLiteral("a05/%1");
    }

    void aDoubleClickEntersTheClickedFolderOnce()
    {
        QFETCH(bool, doubleClick);
        QFETCH(QString, expected);
        // Enough sub-folders everywhere that entering one scrolls the list, so
        // another row lies under the pointer afterwards.
        for (int i = 0; i < 30; ++i) {
            const QString number = QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0'));
            QVERIFY(QDir().mkpath(tree(QStringLiteral("top/a") + number)));
            QVERIFY(QDir().mkpath(tree(QStringLiteral("top/a05/b") + number)));
        }
        auto w = openWindow(tree(QStringLiteral("top")));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        auto* dir = w->findChild<FolderListBox*>(QStringLiteral("Dir1"));
        QListWidgetItem* target = dir->findItems(QStringLiteral("a05"), Qt::MatchEndsWith).value(0);
        QVERIFY(target);
        const QPoint at = dir->visualItemRect(target).center();
        QVERIFY(dir->viewport()->rect().contains(at));
        if (doubleClick) {
            // Through the window system, which makes the double click of two
            // presses as a desktop does.
            QWindow* window = w->windowHandle();
            QTest::mouseDClick(window, Qt::LeftButton, {},
                               window->mapFromGlobal(dir->viewport()->mapToGlobal(at)));
        } else {
            QTest::mouseClick(dir->viewport(), Qt::LeftButton, {}, at);
            const QListWidgetItem* under = dir->itemAt(at);
            QVERIFY(under && under->text().trimmed().startsWith(QLatin1Char('b')));
            expected = expected.arg(under->text().trimmed());
            QTest::mouseClick(dir->viewport(), Qt::LeftButton, {}, at);
        }
        QCOMPARE(QString::fromStdString(dir->path()), tree(QStringLiteral("top/") + expected));
    }

    void theOpenDialogShowsTheFiltersAsWrittenAndReturnsMissingNames()
    {
        WriteFile(tree(QStringLiteral("f_000001")), "no dot");
        WriteFile(tree(QStringLiteral("page.htm")), "<html>");
        WriteFile(tree(QStringLiteral("!ndex.htm")), "<html>");
        OpenFileRequest request;
        request.title = QStringLiteral("Open");
        request.folder = m_user.path();
        request.filter = QStringLiteral("All Files (*.*);;TSL Index Files (!ndex.htm)");
        request.selectedFilter = QStringLiteral("TSL Index Files (!ndex.htm)");

        // Qt's own "file not found" box would block: it is recorded and closed.
        bool qtsOwnBox = false;
        QTimer closer;
        connect(&closer, &QTimer::timeout, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                qtsOwnBox = true;
                box->reject();
            }
        });
        closer.start(50);
        QStringList captions;
        QString preselected;
        QStringList underIndexFilter;
        QStringList underAllFiles;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
            QVERIFY(types);
            for (int i = 0; i < types->count(); ++i)
                captions << types->itemText(i);
            preselected = types->currentText();
            QTRY_VERIFY(!ChoosableNames(*dialog).isEmpty());
            underIndexFilter = ChoosableNames(*dialog);
            // The user picks "All Files (*.*)".
            types->setCurrentIndex(0);
            emit types->activated(0);
            QTRY_VERIFY(ChoosableNames(*dialog).size() > underIndexFilter.size());
            underAllFiles = ChoosableNames(*dialog);
            auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(QStringLiteral("missing.htm"));
            QTest::keyClick(name, Qt::Key_Return);
            if (dialog->isVisible())
                dialog->reject();
        });
        const QString chosen = ChooseOpenFile(request);
        QCOMPARE(captions, (QStringList{QStringLiteral("All Files (*.*)"),
                                        QStringLiteral("TSL Index Files (!ndex.htm)")}));
        QCOMPARE(preselected, QStringLiteral("TSL Index Files (!ndex.htm)"));
        QCOMPARE(underIndexFilter, QStringList{QStringLiteral("!ndex.htm")});
        QCOMPARE(underAllFiles,
                 (QStringList{QStringLiteral("!ndex.htm"), QStringLiteral("f_000001"),
                              QStringLiteral("page.htm")}));
        QVERIFY(!qtsOwnBox);
        QCOMPARE(chosen, tree(QStringLiteral("missing.htm")));
    }

    void theLaunchersExitStatusDecides_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("launched");
        QTest::newRow("browser started") << QByteArray("sleep 0.2; exit 0") << true;
        QTest::newRow("no default browser") << QByteArray("sleep 0.2; exit 3") << false;
        QTest::newRow("killed") << QByteArray("sleep 0.2; kill -9 $$") << false;
        // A browser that xdg-open started itself and waits for.
        QTest::newRow("still running") << QByteArray("sleep 8") << true;
    }

    void theLaunchersExitStatusDecides()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, launched);
        const QString bin = tree(QStringLiteral("bin"));
        const QString log = tree(QStringLiteral("arguments"));
        WriteFile(bin + QStringLiteral("/xdg-open"),
                  "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + log.toUtf8() + "'\n" + script + "\n");
        QFile(bin + QStringLiteral("/xdg-open"))
            .setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.toUtf8() + ':' + path);
        const auto restore = qScopeGuard([&] { qputenv("PATH", path); });

        // Windows keep repainting while the launcher is waited for (each one
        // takes a moment).
        bool timerRan = false;
        QTimer::singleShot(0, this, [&] { timerRan = true; });
        const QString page = tree(QStringLiteral("my pages/!ndex.htm"));
        QCOMPARE(ShellOpen(page), launched);
        QVERIFY(timerRan);
        QFile arguments(log);
        QVERIFY(arguments.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(arguments.readAll()), page + QLatin1Char('\n'));
    }

    void aFailedLaunchOfTheFoldersIndexSaysWhereItIs()
    {
        const QString folder = tree(QStringLiteral("indexed"));
        WriteFile(folder + QStringLiteral("/!ndex.htm"), "<html>");
        auto w = openWindow(folder);
        SetShellOpener([](const QString&) { return false; });
        w->findChild<QAction*>(QStringLiteral("MenuFileOpen"))->trigger();
        QCOMPARE(m_messages.size(), 1);
        QVERIFY(m_messages[0].startsWith(QStringLiteral("Error Launching Browser | ")));
        QVERIFY(m_messages[0].endsWith(folder + QStringLiteral("/!ndex.htm")));
    }
};

QTEST_MAIN(UserInputTest)
#include "userinput_test.moc"
