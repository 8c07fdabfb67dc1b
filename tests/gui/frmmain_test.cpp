#include "gui/frmmain.h"

#include "gui/drivelistbox.h"
#include "gui/filelistbox.h"
#include "gui/folderlistbox.h"
#include "gui/frmviewdeletewizard.h"
#include "gui/programcontext.h"
#include "gui/statusform.h"
#include "gui/userprompts.h"
#include "platform/filelister.h"
#include "shell/inistore.h"
#include "shell/placement.h"
#include "shell/twips.h"
#include "support/windowtest.h"
#include "wizard/indexpath.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <memory>

using namespace tessaloom;
using namespace tessaloom::gui;
using tessaloom::test::WriteFile;

class FrmMainTest : public QObject
{
    Q_OBJECT

private:
    test::WindowTestUser m_user;
    QStringList m_questions;

    QString dataFolder() const { return m_user.dataFolder(); }
    QString settingsFile() const { return m_user.settingsFile(); }
    QString folderList() const { return m_user.folderList(); }
    QString tree(const QString& relative) const { return m_user.path(relative); }

    /// A fresh user: temporary XDG homes, the given settings file, and the program
    /// context filled from them as start-up would.
    void startUser(const QByteArray& ini)
    {
        QVERIFY(m_user.newHome());
        m_user.startProgram(ini);
    }

    static void reloadProgram() { test::WindowTestUser::ReloadProgram(); }

    std::unique_ptr<frmMain> openWindow()
    {
        auto window = std::make_unique<frmMain>();
        window->setEndProgram([] {});
        window->Form_Load();
        return window;
    }

    template <typename T> static T* child(const frmMain& w, const char* name)
    {
        return w.findChild<T*>(QString::fromLatin1(name));
    }

    static void leave(QWidget* box)
    {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(box, &out);
    }

    static int px(int twips, const QWidget& w) { return TwipsToPixels(twips, w.logicalDpiY()); }

private slots:
    void init()
    {
        m_questions.clear();
        test::AnswerMessages(m_questions, MessageAnswer::No);
        test::AnswerShellAndOpenDialog();
    }

    void cleanup()
    {
        test::RestoreDialogs();
        m_user.reset();
    }

    void startupTicksTheOptionsInOrder_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("ticked"); // excl, only, binary, browser, wizard as 0/1
        QTest::newRow("defaults") << QByteArray() << QStringLiteral("00110");
        QTest::newRow("both image settings")
            << QByteArray("[General]\nExclude Images=True\nInclude Only Images=True\n"
                          "Exclude Binary Files=False\nLaunch Browser=False\n")
            << QStringLiteral("01100");
        QTest::newRow("exclude only") << QByteArray("[General]\nExclude Images=true\n"
                                                    "Launch View/Delete Wizard=TRUE\n")
                                      << QStringLiteral("10111");
        QTest::newRow("all off") << QByteArray("[General]\nExclude Binary Files=no\n"
                                               "Launch Browser=1\n")
                                 << QStringLiteral("00000");
    }

    void startupTicksTheOptionsInOrder()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, ticked);
        startUser(ini);
        auto w = openWindow();
        QString got;
        for (const char* name :
             {"chkExcludeImages", "chkIncludeOnlyImages", "chkExcludeBinaryFiles",
              "chkLaunchBrowser", "chkLaunchViewDeleteWizard"})
            got += child<QCheckBox>(*w, name)->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(got, ticked);
    }

    void clickingTheImageBoxesAppliesTheInterlocks()
    {
        startUser(QByteArray("[General]\nExclude Binary Files=False\n"));
        auto w = openWindow();
        auto* excl = child<QCheckBox>(*w, "chkExcludeImages");
        auto* only = child<QCheckBox>(*w, "chkIncludeOnlyImages");
        auto* binary = child<QCheckBox>(*w, "chkExcludeBinaryFiles");
        QTest::mouseClick(excl, Qt::LeftButton);
        QVERIFY(excl->isChecked());
        QTest::mouseClick(only, Qt::LeftButton);
        QVERIFY(only->isChecked());
        QVERIFY(!excl->isChecked());
        QVERIFY(binary->isChecked());
        QTest::mouseClick(only, Qt::LeftButton);
        QVERIFY(!only->isChecked());
        QVERIFY(binary->isChecked()); // stays
        QTest::mouseClick(only, Qt::LeftButton);
        QTest::mouseClick(excl, Qt::LeftButton);
        QVERIFY(excl->isChecked());
        QVERIFY(!only->isChecked());
    }

    void withoutAFolderListTheSearchIsOffered()
    {
        startUser(QByteArray("[General]\n"));
        auto w = openWindow();
        QCOMPARE(m_questions.size(), 1);
        QVERIFY(m_questions.front().startsWith(QStringLiteral("Search for Cache Folders? | ")));
        // Answered No: nothing is written, and the combo stays empty.
        QVERIFY(!QFile::exists(folderList()));
        QCOMPARE(child<QComboBox>(*w, "cmboCacheFolders")->count(), 0);
        QCOMPARE(child<QComboBox>(*w, "cmboCacheFolders")->currentText(), QString());
    }

    void minCountKeyFilter_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("text");
        QTest::newRow("digits") << QStringLiteral("25") << QStringLiteral("1025");
        QTest::newRow("letters beep") << QStringLiteral("a-Z e") << QStringLiteral("10");
        QTest::newRow("point") << QStringLiteral(".5x") << QStringLiteral("10.5");
        QTest::newRow("backspace") << QStringLiteral("\b\b7") << QStringLiteral("7");
    }

    void minCountKeyFilter()
    {
        QFETCH(QString, typed);
        QFETCH(QString, text);
        startUser(QByteArray("[General]\n"));
        WriteFile(folderList(), QByteArray());
        auto w = openWindow();
        auto* box = child<QLineEdit>(*w, "txtMinFileCount");
        QCOMPARE(box->text(), QStringLiteral("10"));
        box->setCursorPosition(box->text().size());
        for (QChar c : typed) {
            if (c == QLatin1Char('\b'))
                QTest::keyClick(box, Qt::Key_Backspace);
            else
                QTest::keyClicks(box, QString(c));
        }
        QCOMPARE(box->text(), text);
    }

    void leavingTheMinCountBoxRoundsAndReloads()
    {
        startUser(QByteArray("[General]\nMinimum File Count=3\n"));
        const QString big = tree(QStringLiteral("big")), small = tree(QStringLiteral("small"));
        for (const char* name : {"a", "b", "c"})
            WriteFile(big + QLatin1Char('/') + QLatin1String(name), "x");
        WriteFile(small + QStringLiteral("/a"), "x");
        WriteFile(small + QStringLiteral("/b"), "x");
        WriteFile(folderList(), big.toUtf8() + "\r\n");
        auto w = openWindow();
        auto* combo = child<QComboBox>(*w, "cmboCacheFolders");
        auto* box = child<QLineEdit>(*w, "txtMinFileCount");
        QCOMPARE(combo->count(), 1);
        QCOMPARE(combo->currentText(),
                 QStringLiteral(" - SUGGESTED CACHE FOLDERS ARE LISTED BELOW - "));

        // A reload would now list the small folder too, once the minimum allows it.
        WriteFile(folderList(), big.toUtf8() + "\r\n" + small.toUtf8() + "\r\n");
        const struct
        {
            const char* text;
            int minimum;
            int entries;
        } steps[] = {
            {"3.0", 3, 1}, // the same number: no reload
            {"3.4", 3, 1}, // differs, reloads with the rounded minimum: still only "big"
            {"2.5", 2, 2}, // halves to even
            {"4", 4, 0},
        };
        for (const auto& step : steps) {
            box->setText(QString::fromLatin1(step.text));
            leave(box);
            QCOMPARE(Program().settings().minimumFileCount, step.minimum);
            QCOMPARE(combo->count(), step.entries);
        }
        QCOMPARE(box->text(), QStringLiteral("4")); // the box keeps what was typed
    }

    void choosingASuggestionMovesTheFolder()
    {
        startUser(QByteArray("[General]\nMinimum File Count=0\n"));
        const QString target = tree(QStringLiteral("cache] x/Cache"));
        WriteFile(target + QStringLiteral("/f1"), "x");
        WriteFile(folderList(), target.toUtf8() + "\r\n");
        auto w = openWindow();
        auto* combo = child<QComboBox>(*w, "cmboCacheFolders");
        QCOMPARE(combo->count(), 1);
        QVERIFY(combo->itemText(0).endsWith(QStringLiteral("] ") + target));
        combo->setCurrentIndex(0);
        emit combo->activated(0);
        QCOMPARE(QString::fromStdString(child<FolderListBox>(*w, "Dir1")->path()), target);
        QCOMPARE(child<QLineEdit>(*w, "txtFolders")->text(), target);
        QCOMPARE(child<QLabel>(*w, "lblFiles")->text(), QStringLiteral("Files (1)"));
    }

    void typedFolderPaths_data()
    {
        QTest::addColumn<bool>("byEnter");
        QTest::newRow("Enter") << true;
        QTest::newRow("focus out") << false;
    }

    void typedFolderPaths()
    {
        QFETCH(bool, byEnter);
        startUser(QByteArray("[General]\n"));
        WriteFile(folderList(), QByteArray());
        const QString start = tree(QStringLiteral("start")), other = tree(QStringLiteral("other"));
        QDir().mkpath(start);
        QDir().mkpath(other);
        WriteFile(other + QStringLiteral("/one.htm"), "x");
        Program().settings().directory = start.toStdString();
        auto w = openWindow();
        auto* dir = child<FolderListBox>(*w, "Dir1");
        auto* text = child<QLineEdit>(*w, "txtFolders");
        QCOMPARE(QString::fromStdString(dir->path()), start);

        auto submit = [&](const QString& typed) {
            text->setText(typed);
            if (byEnter)
                QTest::keyClick(text, Qt::Key_Return);
            else
                leave(text);
        };
        const QString missing = tree(QStringLiteral("no/such/folder"));
        submit(missing);
        QCOMPARE(QString::fromStdString(dir->path()), start);
        QCOMPARE(text->text(), missing); // as typed
        QVERIFY(m_questions.isEmpty());  // and no message

        submit(other + QLatin1Char('/'));
        QCOMPARE(QString::fromStdString(dir->path()), other);
        QCOMPARE(text->text(), other);
        QCOMPARE(child<QLabel>(*w, "lblFiles")->text(), QStringLiteral("Files (1)"));
        QCOMPARE(QDir::currentPath(), other);
    }

    void aSingleClickEntersAFolder()
    {
        startUser(QByteArray("[General]\n"));
        WriteFile(folderList(), QByteArray());
        QDir().mkpath(tree(QStringLiteral("top/inner")));
        Program().settings().directory = tree(QStringLiteral("top")).toStdString();
        auto w = openWindow();
        auto* dir = child<FolderListBox>(*w, "Dir1");
        QListWidgetItem* inner = dir->item(dir->count() - 1);
        QCOMPARE(inner->text().trimmed(), QStringLiteral("inner"));
        QTest::mouseClick(dir->viewport(), Qt::LeftButton, {}, dir->visualItemRect(inner).center());
        QCOMPARE(QString::fromStdString(dir->path()), tree(QStringLiteral("top/inner")));
        // Enter on a highlighted row opens it too: here, the row above ("top").
        dir->setCurrentRow(dir->count() - 2);
        QTest::keyClick(dir, Qt::Key_Return);
        QCOMPARE(QString::fromStdString(dir->path()), tree(QStringLiteral("top")));
    }

    void thePatternChangesTheFileCount_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("afterRefresh"); // once "new.txt" has been made
        QTest::newRow("every file")
            << QStringLiteral("*.*") << QStringLiteral("Files (4)") << QStringLiteral("Files (5)");
        QTest::newRow("one kind") << QStringLiteral("*.HTM") << QStringLiteral("Files (2)")
                                  << QStringLiteral("Files (2)");
        QTest::newRow("two patterns") << QStringLiteral("*.txt;f_*") << QStringLiteral("Files (2)")
                                      << QStringLiteral("Files (3)");
        QTest::newRow("none") << QStringLiteral("*.gif") << QStringLiteral("Files (0)")
                              << QStringLiteral("Files (0)");
    }

    void thePatternChangesTheFileCount()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, label);
        QFETCH(QString, afterRefresh);
        startUser(QByteArray("[General]\n"));
        WriteFile(folderList(), QByteArray());
        const QString folder = tree(QStringLiteral("files"));
        for (const char* name : {"a.htm", "B.HTM", "f_0001", "notes.txt", ".hidden"})
            WriteFile(folder + QLatin1Char('/') + QLatin1String(name), "x");
        QDir().mkpath(folder + QStringLiteral("/sub.htm"));
        Program().settings().directory = folder.toStdString();
        auto w = openWindow();
        QCOMPARE(child<QLabel>(*w, "lblFiles")->text(), QStringLiteral("Files (4)"));
        auto* mask = child<QLineEdit>(*w, "txtFileMask");
        mask->setText(pattern);
        QTest::keyClick(mask, Qt::Key_Return);
        QCOMPARE(child<QLabel>(*w, "lblFiles")->text(), label);
        QCOMPARE(child<FileListBox>(*w, "File1")->pattern(), pattern.toStdString());

        // F5 picks up a file made meanwhile.
        WriteFile(folder + QStringLiteral("/new.txt"), "x");
        QCOMPARE(child<QLabel>(*w, "lblFiles")->text(), label);
        w->findChild<QAction*>(QStringLiteral("MenuFileRefreshFileList"))->trigger();
        QCOMPARE(child<QLabel>(*w, "lblFiles")->text(), afterRefresh);
    }

    void aVolumeThatCannotBeReadSendsTheListBack()
    {
        startUser(QByteArray("[General]\n"));
        WriteFile(folderList(), QByteArray());
        const QString here = tree(QStringLiteral("here"));
        QDir().mkpath(here);
        Program().settings().directory = here.toStdString();
        auto w = openWindow();
        auto* drives = child<DriveListBox>(*w, "Drv_DriveList");
        Volume root;
        root.mountPoint = "/";
        root.entryText = "/";
        Volume gone;
        gone.mountPoint = tree(QStringLiteral("gone")).toStdString();
        gone.entryText = gone.mountPoint + " [GONE]";
        drives->setVolumes({root, gone});
        drives->showVolumeOf(here.toStdString());
        QCOMPARE(drives->currentIndex(), 0);

        drives->setCurrentIndex(1);
        emit drives->activated(1);
        QCOMPARE(m_questions.size(), 1);
        QVERIFY(m_questions.front().startsWith(QStringLiteral("ERROR: 2 | ")));
        QCOMPARE(drives->currentIndex(), 0);
        QCOMPARE(QString::fromStdString(child<FolderListBox>(*w, "Dir1")->path()), here);
    }

    void openIndexWithBrowser()
    {
        startUser(QByteArray("[General]\n"));
        WriteFile(folderList(), QByteArray());
        const QString folder = tree(QStringLiteral("indexed"));
        QDir().mkpath(folder);
        Program().settings().directory = folder.toStdString();
        auto w = openWindow();
        QStringList opened;
        int dialogs = 0;
        SetShellOpener([&](const QString& path) {
            opened << path;
            return false;
        });
        WriteFile(tree(QStringLiteral("elsewhere.htm")), "<html>");
        SetOpenFileAnswerer([&](const OpenFileRequest& r) {
            ++dialogs;
            // Starts in the current folder with the index files' filter chosen;
            // a typed name that does not exist first.
            if (r.folder != folder ||
                r.selectedFilter != QStringLiteral("TSL Index Files (!ndex.htm)") ||
                !r.filter.startsWith(QStringLiteral("All Files (*.*);;")))
                return QString();
            return tree(dialogs == 1 ? QStringLiteral("missing.htm")
                                     : QStringLiteral("elsewhere.htm"));
        });
        QAction* open = w->findChild<QAction*>(QStringLiteral("MenuFileOpen"));
        QCOMPARE(open->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));

        open->trigger(); // no index here: the dialog until a file exists, then a launch that fails
        QCOMPARE(dialogs, 2);
        QCOMPARE(opened, QStringList{tree(QStringLiteral("elsewhere.htm"))});
        QCOMPARE(QString::fromStdString(gblIndexPath.text()),
                 tree(QStringLiteral("elsewhere.htm")));
        QCOMPARE(m_questions.size(), 2);
        QCOMPARE(m_questions[0], QStringLiteral("FILE NOT FOUND | File not found"));
        QVERIFY(m_questions[1].startsWith(QStringLiteral("Error Launching Browser | ")));
        QVERIFY(m_questions[1].endsWith(tree(QStringLiteral("elsewhere.htm"))));

        WriteFile(folder + QStringLiteral("/!ndex.htm"), "<html>");
        opened.clear();
        SetShellOpener([&](const QString& path) {
            opened << path;
            return true;
        });
        open->trigger(); // an index in the folder opens without the dialog or a message
        QCOMPARE(dialogs, 2);
        QCOMPARE(opened, QStringList{folder + QStringLiteral("/!ndex.htm")});
        QCOMPARE(m_questions.size(), 2);
    }

    void createIndexFromTheWindow()
    {
        startUser(QByteArray("[General]\nLaunch Browser=True\n"));
        WriteFile(folderList(), QByteArray());
        const QString folder = tree(QStringLiteral("pages"));
        QDir().mkpath(folder);
        Program().settings().directory = folder.toStdString();
        auto w = openWindow();
        QStringList opened;
        SetShellOpener([&](const QString& path) {
            opened << path;
            return true;
        });
        auto* create = child<QPushButton>(*w, "btnCreateIndex");

        QTest::mouseClick(create, Qt::LeftButton); // an empty folder
        QCOMPARE(m_questions, QStringList{QStringLiteral(" | No files found")});
        QVERIFY(!QFile::exists(folder + QStringLiteral("/!ndex.htm")));

        WriteFile(folder + QStringLiteral("/a"), "<title>First page</title>");
        WriteFile(folder + QStringLiteral("/b"), "<h1>Second page</h1>");
        QTest::mouseClick(create, Qt::LeftButton);
        QVERIFY(w->isVisible());
        QCOMPARE(opened, QStringList{folder + QStringLiteral("/!ndex.htm")});
        QCOMPARE(QString::fromStdString(gblIndexPath.text()), QStringLiteral("!ndex.htm"));
        QFile page(folder + QStringLiteral("/!ndex.htm"));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QByteArray html = page.readAll();
        QVERIFY(html.contains("First page"));
        QVERIFY(html.contains("Second page"));
        // The label counts the files the run listed, before it wrote the page.
        QCOMPARE(child<QLabel>(*w, "lblFiles")->text(), QStringLiteral("Files (2)"));
    }

    // After a build the file list holds what a reading of the folder lists then:
    // the new page in its sorted place where the pattern takes it, nothing hidden,
    // no folder; its rows show the same names.
    void theFileListAfterABuildIsTheFolderAsListed_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::newRow("every file") << QStringLiteral("*.*");
        QTest::newRow("the page not taken") << QStringLiteral("?");
        QTest::newRow("the page by name") << QStringLiteral("B;!NDEX.*");
    }

    void theFileListAfterABuildIsTheFolderAsListed()
    {
        QFETCH(QString, pattern);
        startUser(QByteArray("[General]\nLaunch Browser=False\n"));
        WriteFile(folderList(), QByteArray());
        const QString folder = tree(QStringLiteral("pages"));
        for (const char* name : {"a", "B", "_c", ".hidden", "Zz"})
            WriteFile(folder + QLatin1Char('/') + QLatin1String(name), "<title>a page</title>");
        QDir().mkpath(folder + QStringLiteral("/sub"));
        Program().settings().directory = folder.toStdString();
        Program().settings().filePattern = pattern.toStdString();
        auto w = openWindow();
        auto* files = child<FileListBox>(*w, "File1");
        auto rowsOf = [files] {
            QStringList rows;
            for (int i = 0; i < files->count(); ++i)
                rows << files->model()->index(i, 0).data().toString();
            return rows;
        };
        auto namesOf = [](const std::vector<std::string>& listed) {
            QStringList names;
            for (const std::string& name : listed)
                names << QString::fromStdString(name);
            return names;
        };
        // At load the list is made from the folder list's own reading of the folder.
        const auto listed = ListMatchingFiles(folder.toStdString(), pattern.toStdString());
        QVERIFY(listed);
        QCOMPARE(files->names(), listed.value());
        QCOMPARE(rowsOf(), namesOf(listed.value()));

        QTest::mouseClick(child<QPushButton>(*w, "btnCreateIndex"), Qt::LeftButton);
        QVERIFY(QFile::exists(folder + QStringLiteral("/!ndex.htm")));

        const auto listedAfter = ListMatchingFiles(folder.toStdString(), pattern.toStdString());
        QVERIFY(listedAfter);
        QCOMPARE(files->names(), listedAfter.value());
        QCOMPARE(rowsOf(), namesOf(listedAfter.value()));
    }

    void layoutAtTheMinimumAndTaller()
    {
        startUser(QByteArray("[General]\n"));
        WriteFile(folderList(), QByteArray());
        auto w = openWindow();
        w->resize(50, 50);
        const WindowRect outer{0, 0, PixelsToTwips(w->frameGeometry().width(), w->logicalDpiY()),
                               PixelsToTwips(w->frameGeometry().height(), w->logicalDpiY())};
        QVERIFY(outer.width >= 6700 && outer.width <= 6700 + 15);
        QVERIFY(outer.height >= 6200 && outer.height <= 6200 + 15);
        auto near = [&](int pixels, int twips) { return std::abs(pixels - px(twips, *w)) <= 1; };
        QVERIFY(near(child<QGroupBox>(*w, "FrameOptions")->width(), 6450));
        QVERIFY(near(child<QGroupBox>(*w, "frmCacheFolders")->width(), 6200));
        QVERIFY(near(child<QComboBox>(*w, "cmboCacheFolders")->width(), 4900));
        QVERIFY(near(child<FolderListBox>(*w, "Dir1")->width(), 3350));
        QVERIFY(near(child<FileListBox>(*w, "File1")->x(), 3550));

        auto* frame = child<QGroupBox>(*w, "FrameOptions");
        auto* button = child<QPushButton>(*w, "btnCreateIndex");
        auto* files = child<FileListBox>(*w, "File1");
        const int frameTop = frame->y(), buttonTop = button->y(), filesHeight = files->height();
        w->resize(w->width(), w->height() + 150);
        QCOMPARE(frame->y() - frameTop, 150);
        QCOMPARE(button->y() - buttonTop, 150);
        QCOMPARE(files->height() - filesHeight, 150);
        QCOMPARE(button->y(), frame->y() + frame->height() + px(50, *w));
    }

    void settingsAndPlacementAreWrittenOnExitAndReadAtTheNextStart()
    {
        startUser(QByteArray("[General]\nShow Quick Start=No\n"));
        WriteFile(folderList(), QByteArray());
        const QString folder = tree(QStringLiteral("kept"));
        QDir().mkpath(folder);
        QRect normal;
        {
            auto w = openWindow();
            child<QLineEdit>(*w, "txtFolders")->setText(folder);
            QTest::keyClick(child<QLineEdit>(*w, "txtFolders"), Qt::Key_Return);
            child<QLineEdit>(*w, "txtFileMask")->setText(QStringLiteral("*.htm"));
            child<QLineEdit>(*w, "txtMinFileCount")->setText(QStringLiteral("7.5"));
            QTest::mouseClick(child<QCheckBox>(*w, "chkIncludeOnlyImages"), Qt::LeftButton);
            QTest::mouseClick(child<QCheckBox>(*w, "chkLaunchBrowser"), Qt::LeftButton);
            w->setGeometry(50, 40, 700, 520); // within the screen: restored as it is
            normal = w->frameGeometry();
            w->showMaximized();
            QTRY_VERIFY(w->isMaximized());
            // (The offscreen platform keeps a maximised window's size; the record
            // must still be the normal geometry, and the window not come back maximised.)
            w->findChild<QAction*>(QStringLiteral("MenuFileExit"))->trigger();
            QVERIFY(!w->isVisible());
        }
        const std::string ini = settingsFile().toStdString();
        auto value = [&](const char* key) { return ReadSetting("General", key, "?", ini); };
        QCOMPARE(value("Directory"), folder.toStdString());
        QCOMPARE(value("File Pattern"), std::string("*.htm"));
        QCOMPARE(value("Include Only Images"), std::string("True"));
        QCOMPARE(value("Exclude Binary Files"), std::string("True"));
        QCOMPARE(value("Launch Browser"), std::string("False"));
        QCOMPARE(value("Minimum File Count"), std::string("7.5"));
        const double dpi = QApplication::primaryScreen()->logicalDotsPerInch();
        const WindowRect saved = ParsePlacement(value("Tessaloom"));
        QCOMPARE(saved, (WindowRect{PixelsToTwips(normal.x(), dpi), PixelsToTwips(normal.y(), dpi),
                                    PixelsToTwips(normal.width(), dpi),
                                    PixelsToTwips(normal.height(), dpi)}));

        reloadProgram();
        auto again = openWindow();
        QVERIFY(!again->isMaximized());
        QCOMPARE(again->frameGeometry(), normal);
        QCOMPARE(QString::fromStdString(child<FolderListBox>(*again, "Dir1")->path()), folder);
        QCOMPARE(child<QLineEdit>(*again, "txtFileMask")->text(), QStringLiteral("*.htm"));
        QCOMPARE(child<QLineEdit>(*again, "txtMinFileCount")->text(), QStringLiteral("8"));
        QVERIFY(child<QCheckBox>(*again, "chkIncludeOnlyImages")->isChecked());
        QVERIFY(!child<QCheckBox>(*again, "chkLaunchBrowser")->isChecked());
    }

    void readRecordsMenuItemIsOnUntilUntickedAndKept()
    {
        startUser(QByteArray("[General]\n"));
        WriteFile(folderList(), QByteArray());
        const std::string ini = settingsFile().toStdString();
        auto w = openWindow();
        QAction* item = w->findChild<QAction*>(QStringLiteral("MenuFileReadRecords"));
        QVERIFY(item);
        QCOMPARE(item->text(), QStringLiteral("Read &Browser Cache Records"));
        QVERIFY(item->isCheckable());
        QVERIFY(item->isChecked());
        QVERIFY(w->readCacheRecordsChecked());
        QCOMPARE(ReadSetting("General", "Read Cache Records", "absent", ini),
                 std::string("absent"));
        QCOMPARE(QString::fromStdString(w->cacheHome()), tree(QStringLiteral("cache")));

        item->trigger();
        QVERIFY(!w->readCacheRecordsChecked());
        QCOMPARE(ReadSetting("General", "Read Cache Records", "?", ini), std::string("False"));

        // The next start shows it unticked; ticking again is saved too.
        w.reset();
        reloadProgram();
        auto again = openWindow();
        QAction* unticked = again->findChild<QAction*>(QStringLiteral("MenuFileReadRecords"));
        QVERIFY(!unticked->isChecked());
        unticked->trigger();
        QCOMPARE(ReadSetting("General", "Read Cache Records", "?", ini), std::string("True"));
    }

    void everyCaptionAndShortcut()
    {
        startUser(QByteArray("[General]\n"));
        WriteFile(folderList(), QByteArray());
        auto w = openWindow();
        QCOMPARE(w->windowTitle(), QStringLiteral("Tessaloom"));
        const struct
        {
            const char* name;
            const char* caption;
            const char* shortcut;
        } menus[] = {
            {"MenuFileOpen", "&Open !ndex File with Browser", "Ctrl+O"},
            {"MenuFileViewDeleteWizard", "View/Delete &Wizard...", "Ctrl+W"},
            {"MenuFileRefreshFileList", "&Refresh File List", "F5"},
            {"MenuFileCopyPath", "&Copy Current Path to Clipboard", ""},
            {"MenuFileExit", "E&xit", ""},
            {"MenuHelpContents", "&Contents", "F1"},
            {"MenuHelpShowQuickStart", "Show &Quick Start Information", ""},
            {"MenuCheckForUpdates", "Check For &Updates", ""},
            {"MenuHelpAbout", "&About", ""},
        };
        for (const auto& m : menus) {
            const QAction* a = w->findChild<QAction*>(QString::fromLatin1(m.name));
            QVERIFY2(a, m.name);
            QCOMPARE(a->text(), QString::fromLatin1(m.caption));
            QCOMPARE(a->shortcut(), QKeySequence(QString::fromLatin1(m.shortcut)));
        }
        QCOMPARE(child<QPushButton>(*w, "btnRefreshFolders")->text(),
                 QStringLiteral("<  &Refresh"));
        QCOMPARE(child<QCheckBox>(*w, "chkIncludeOnlyImages")->text(),
                 QStringLiteral("INCLUDE &Only images "));
        QCOMPARE(child<QGroupBox>(*w, "frmCacheFolders")->title(),
                 QStringLiteral(" Suggest Cache Folders"));
        // A screen reader names the inner frame by its own caption, not the outer one's.
        QAccessibleInterface* frame =
            QAccessible::queryAccessibleInterface(child<QGroupBox>(*w, "frmCacheFolders"));
        QVERIFY(frame);
        QCOMPARE(frame->text(QAccessible::Name), QStringLiteral("Suggest Cache Folders"));
    }

    void closingTheProgressWindowDoesNotEndTheProgram()
    {
        // In the event loop, as the program runs: the main window is hidden during the
        // build and the wizard, so the progress window and then the wizard are the
        // last ones shown when their close boxes are used. The program must go on
        // to the wizard and back to the main window, and end only through the main
        // window's close, which writes the settings.
        startUser(QByteArray("[General]\nLaunch Browser=False\nLaunch View/Delete Wizard=True\n"));
        WriteFile(folderList(), QByteArray());
        const QString folder = tree(QStringLiteral("pages"));
        for (int i = 0; i < 3000; ++i) // a build long enough to close its window
            WriteFile(folder + QStringLiteral("/p%1").arg(i), "<title>a page</title>");
        Program().settings().directory = folder.toStdString();
        auto w = std::make_unique<frmMain>();
        w->Form_Load();
        int progressClosed = 0;
        bool wizardSeen = false;
        bool mainShownAgain = false;
        QTimer driver;
        driver.setInterval(1);
        connect(&driver, &QTimer::timeout, [&] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                if (!window->isVisible())
                    continue;
                if (auto* progress = qobject_cast<StatusForm*>(window);
                    progress && !progressClosed) {
                    ++progressClosed;
                    progress->windowHandle()->close(); // as its close box does
                } else if (auto* wizard = qobject_cast<frmViewDeleteWizard*>(window)) {
                    wizardSeen = true;
                    wizard->windowHandle()->close(); // by its close box, too
                }
            }
            if (wizardSeen && w->isVisible()) {
                driver.stop();
                mainShownAgain = true;
                w->close();
            }
        });
        QTimer giveUp;
        giveUp.setSingleShot(true);
        connect(&giveUp, &QTimer::timeout, qApp, &QCoreApplication::quit);
        QTimer::singleShot(0, child<QPushButton>(*w, "btnCreateIndex"), &QPushButton::click);
        driver.start();
        giveUp.start(60000);
        QApplication::exec();
        QCOMPARE(progressClosed, 1);
        QVERIFY(wizardSeen);
        QVERIFY(mainShownAgain);
        QVERIFY(giveUp.isActive());
        QVERIFY(!ReadSetting("General", "Tessaloom", "", settingsFile().toStdString()).empty());
    }

    void theFileListIsReadAgainAfterTheWizard()
    {
        startUser(QByteArray("[General]\nLaunch Browser=False\n"));
        WriteFile(folderList(), QByteArray());
        const QString folder = tree(QStringLiteral("pages"));
        for (const char* name : {"a", "b", "c"})
            WriteFile(folder + QLatin1Char('/') + QLatin1String(name), "<title>a page</title>");
        Program().settings().directory = folder.toStdString();
        Program().settings().confirmDeletions = false;
        auto w = openWindow();
        QTest::mouseClick(child<QPushButton>(*w, "btnCreateIndex"), Qt::LeftButton);
        QCOMPARE(child<QLabel>(*w, "lblFiles")->text(), QStringLiteral("Files (3)"));

        // The wizard deletes every row's file, then closes.
        QTimer driver;
        driver.setInterval(1);
        connect(&driver, &QTimer::timeout, [&] {
            for (QWidget* window : QApplication::topLevelWidgets()) {
                auto* wizard = qobject_cast<frmViewDeleteWizard*>(window);
                if (wizard && wizard->isVisible()) {
                    driver.stop();
                    wizard->LstDisplay()->selectAll();
                    wizard->MenuFileDeleteFiles_Click();
                    wizard->MenuFileCloseWin_Click();
                }
            }
        });
        driver.start();
        w->findChild<QAction*>(QStringLiteral("MenuFileViewDeleteWizard"))->trigger();
        QVERIFY(w->isVisible());
        QCOMPARE(child<FileListBox>(*w, "File1")->names(), std::vector<std::string>{"!ndex.htm"});
        QCOMPARE(child<QLabel>(*w, "lblFiles")->text(), QStringLiteral("Files (1)"));
    }
};

QTEST_MAIN(FrmMainTest)
#include "frmmain_test.moc"
