// Quick Start, About, the help command and the update check as the windows run
// them: texts, the "Show Quick Start" setting, centring, Esc, and every ending of the
// update check with a stand-in updater in a temporary program folder.
#include "gui/frmabout.h"
#include "gui/programcontext.h"
#include "gui/quickstart.h"
#include "gui/updatewindows.h"
#include "gui/userprompts.h"
#include "gui/windowlaunch.h"
#include "shell/inistore.h"
#include "shell/settings.h"
#include "shell/twips.h"
#include "support/testdir.h"
#include "update/updatecheck.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

using namespace tessaloom;
using namespace tessaloom::gui;

namespace {

std::string ShowQuickStartValue(const std::string& settingsPath)
{
    return ReadSetting(kSectionGeneral, kKeyShowQuickStart, "<none>", settingsPath);
}

void SetFileAge(const QString& file, int days)
{
    const time_t when = std::time(nullptr) - static_cast<time_t>(days) * 24 * 3600;
    const struct utimbuf times
    {
        when, when
    };
    ::utime(QFile::encodeName(file).constData(), &times);
}

/// Runs `action` on the first visible top-level widget of type T once the modal
/// loop that is about to start shows it. The timer only fires inside an event
/// loop, so a window that is never shown leaves it waiting: delete it then.
template <typename T, typename Action> QTimer* WhenShown(Action action)
{
    auto* timer = new QTimer(qApp);
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* form = qobject_cast<T*>(w); form && form->isVisible()) {
                timer->stop();
                timer->deleteLater();
                action(form);
                return;
            }
        }
    });
    timer->start();
    return timer;
}

} // namespace

class InfoWindowsTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_programFolder;
    QString m_settingsPath;
    QList<MessageRequest> m_messages;
    QList<MessageAnswer> m_answers;
    QStringList m_opened;
    bool m_openSucceeds = true;
    int m_endings = 0;

    QString programFile() const
    {
        return m_programFolder + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    }
    QString recordFile() const { return m_dir.path() + QStringLiteral("/updater-call"); }

    /// A stand-in "qv-update.exe" that records its argument count, its argument and
    /// its working folder, then renames the record into place so it is read whole.
    void writeStandInUpdater()
    {
        QFile script(m_programFolder + QStringLiteral("qv-update.exe"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        const QString record = recordFile();
        script.write(QStringLiteral("#!/bin/sh\n"
                                    "{ echo \"$#\"; echo \"$1\"; pwd; } > '%1.part'\n"
                                    "mv '%1.part' '%1'\n")
                         .arg(record)
                         .toUtf8());
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                      QFile::ExeOther));
    }

    QStringList recordedUpdaterCall()
    {
        QFile f(recordFile());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        SetMessageAnswerer([this](const MessageRequest& request) {
            m_messages.append(request);
            return m_answers.isEmpty() ? MessageAnswer::Ok : m_answers.takeFirst();
        });
        SetShellOpener([this](const QString& target) {
            m_opened.append(target);
            return m_openSucceeds;
        });
        SetProgramEnder([this] { ++m_endings; });
    }

    void init()
    {
        m_programFolder = m_dir.path() + QStringLiteral("/program/");
        QDir(m_programFolder).removeRecursively();
        QVERIFY(QDir().mkpath(m_programFolder));
        ::chmod(QFile::encodeName(m_programFolder).constData(), 0755);
        ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
        QVERIFY(QDir().mkpath(m_dir.path() + QStringLiteral("/data")));
        m_settingsPath = m_dir.path() + QStringLiteral("/data/TSL.INI");
        QFile::remove(m_settingsPath);
        QFile::remove(recordFile());

        ProgramContext& program = Program();
        program.startup = {};
        program.startup.versionText = "5.4.1";
        program.startup.folders.programFolder = m_programFolder.toStdString();
        program.startup.folders.settingsPath = m_settingsPath.toStdString();
        program.startup.helpFilePath =
            (m_programFolder + QStringLiteral("help/index.html")).toStdString();
        program.startup.settings = LoadSettings(program.settingsPath());
        program.startup.settings.showQuickStart = true;

        m_messages.clear();
        m_answers.clear();
        m_opened.clear();
        m_openSucceeds = true;
        m_endings = 0;
    }

    // --- Quick Start -------------------------------------------------------------

    void quickStartShowsItsTextsInOrder()
    {
        QuickStart form;
        const QList<QLabel*> labels = form.findChildren<QLabel*>(QStringLiteral("Label1"));
        QCOMPARE(labels.size(), 3);
        QStringList shown;
        for (QLabel* label : labels)
            shown.append(label->text());
        QCOMPARE(shown, QuickStart::InformationTexts());
        QVERIFY(shown[0].startsWith(QStringLiteral(
            "The Tessaloom is very easy to use: just point to the cache folder you want to "
            "examine, then select \"Create Index File\".  Other")));
        QVERIFY(shown[1].contains(QStringLiteral("run for the 1st time).  You can select "
                                                 "\"Refresh\" to have")));
        QVERIFY(shown[2].endsWith(QStringLiteral("does not have to reload the index page again.")));
        form.show();
        for (QLabel* label : labels) {
            QCOMPARE(label->font().family(), QStringLiteral("Arial"));
            // Every line of the wrapped text fits: nothing is cut off at the bottom.
            QVERIFY(label->height() >= label->heightForWidth(label->width()));
        }

        auto* box = form.findChild<QCheckBox*>(QStringLiteral("chkDoNotShowAgain"));
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("Do not &show this \"Quick Start\" information "
                                             "automatically at startup.."));
        auto* button = form.findChild<QPushButton*>(QStringLiteral("btnCloseWindow"));
        QVERIFY(button);
        QCOMPARE(button->text(), QStringLiteral("&Close"));
        QCOMPARE(form.windowTitle(), QStringLiteral("Quick Start"));
        QVERIFY(form.findChild<QLabel*>(QStringLiteral("Image2")));
        QVERIFY(!form.findChild<QLabel*>(QStringLiteral("Image2"))->pixmap().isNull());
        QVERIFY(form.findChild<QWidget*>(QStringLiteral("lblBottomSeparator")));
    }

    void quickStartSitsAHundredTwipsFromTheCorner()
    {
        QuickStart form;
        const double dpi = form.screen()->logicalDotsPerInch();
        QCOMPARE(form.frameGeometry().topLeft(),
                 QPoint(TwipsToPixels(100, dpi), TwipsToPixels(100, dpi)));
    }

    void quickStartClosingWritesTheSetting_data()
    {
        QTest::addColumn<bool>("settingOn");
        QTest::addColumn<bool>("tick");
        QTest::addColumn<bool>("byButton");
        QTest::addColumn<QString>("written");
        // The box starts as the setting says; what is written follows the box at
        // closing, changed or not, by the button or the close box alike.
        QTest::newRow("on, untouched, button") << true << false << true << "Yes";
        QTest::newRow("on, ticked, button") << true << true << true << "No";
        QTest::newRow("on, ticked, close box") << true << true << false << "No";
        QTest::newRow("off, untouched, close box") << false << false << false << "No";
        QTest::newRow("off, unticked, button") << false << true << true << "Yes";
    }

    void quickStartClosingWritesTheSetting()
    {
        QFETCH(bool, settingOn);
        QFETCH(bool, tick);
        QFETCH(bool, byButton);
        QFETCH(QString, written);
        Program().settings().showQuickStart = settingOn;

        QuickStart form;
        form.show();
        auto* box = form.findChild<QCheckBox*>(QStringLiteral("chkDoNotShowAgain"));
        QCOMPARE(box->isChecked(), !settingOn);
        if (tick)
            QTest::mouseClick(box, Qt::LeftButton);
        QCOMPARE(ShowQuickStartValue(Program().settingsPath()), std::string("<none>"));
        if (byButton)
            QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("btnCloseWindow")),
                              Qt::LeftButton);
        else
            QVERIFY(form.close());
        QVERIFY(!form.isVisible());
        QCOMPARE(QString::fromStdString(ShowQuickStartValue(Program().settingsPath())), written);
        QCOMPARE(Program().settings().showQuickStart, written == QStringLiteral("Yes"));
    }

    void quickStartKeepsTheChoiceWhenTheSettingCannotBeWritten()
    {
        // A settings path below a plain file can never be written.
        QFile blocker(m_dir.path() + QStringLiteral("/data/blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        Program().startup.folders.settingsPath = blocker.fileName().toStdString() + "/TSL.INI";

        QuickStart form;
        form.show();
        form.findChild<QCheckBox*>(QStringLiteral("chkDoNotShowAgain"))->setChecked(true);
        QVERIFY(form.close());
        QCOMPARE(Program().settings().showQuickStart, false);
    }

    void showQuickStartIsModalAndWaits()
    {
        bool sawModal = false;
        WhenShown<QuickStart>([&sawModal](QuickStart* form) {
            sawModal = QApplication::activeModalWidget() == form;
            form->findChild<QCheckBox*>(QStringLiteral("chkDoNotShowAgain"))->setChecked(true);
            form->findChild<QPushButton*>(QStringLiteral("btnCloseWindow"))->click();
        });
        ShowQuickStart(nullptr);
        QVERIFY(sawModal);
        QCOMPARE(ShowQuickStartValue(Program().settingsPath()), std::string("No"));
    }

    // --- About -------------------------------------------------------------------

    void aboutShowsNameAndVersionCentredOnTheMainWindow()
    {
        QWidget mainWindow;
        mainWindow.setGeometry(300, 200, 640, 480);
        mainWindow.show();
        QWidget wizard; // opened from the wizard: still centred on the main window
        wizard.setGeometry(10, 10, 200, 150);
        frmAbout about(&wizard, &mainWindow);
        about.show();
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblTitle"))->text(),
                 QStringLiteral("Tessaloom"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblVersion"))->text(),
                 QStringLiteral("Version 5.4.1"));
        QCOMPARE(about.findChild<QPushButton*>(QStringLiteral("btnCheckForUpdates"))->text(),
                 QStringLiteral("Check for &Updates ..."));
        QCOMPARE(about.findChild<QPushButton*>(QStringLiteral("BtnOk"))->text(),
                 QStringLiteral("&Ok"));
        for (QLabel* label : about.findChildren<QLabel*>()) {
            if (label->wordWrap())
                QVERIFY(label->height() >= label->heightForWidth(label->width()));
        }
        const QPoint delta = about.frameGeometry().center() - mainWindow.frameGeometry().center();
        QVERIFY2(qAbs(delta.x()) <= 1 && qAbs(delta.y()) <= 1, "not centred on the main window");
    }

    void aboutEscActsAsOk_data()
    {
        QTest::addColumn<bool>("byEsc");
        QTest::newRow("Ok") << false;
        QTest::newRow("Esc") << true;
    }

    void aboutEscActsAsOk()
    {
        QFETCH(bool, byEsc);
        QWidget mainWindow; // hidden, as while the wizard is open
        WhenShown<frmAbout>([byEsc](frmAbout* about) {
            if (byEsc)
                QTest::keyClick(about, Qt::Key_Escape);
            else
                about->findChild<QPushButton*>(QStringLiteral("BtnOk"))->click();
        });
        ShowAbout(nullptr, &mainWindow);
        QVERIFY(mainWindow.isVisible());
        QVERIFY(!QApplication::overrideCursor());
    }

    void aboutCheckForUpdatesRunsTheCheckAndStaysOpen()
    {
        // No updater, the history page opens, the user goes on: the window stays.
        m_answers = {MessageAnswer::Yes};
        QWidget mainWindow;
        frmAbout about(nullptr, &mainWindow);
        about.show();
        about.findChild<QPushButton*>(QStringLiteral("btnCheckForUpdates"))->click();
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(m_opened[0], QString::fromStdString(VersionHistoryAddress()));
        QVERIFY(about.isVisible());
        QCOMPARE(m_endings, 0);
    }

    // --- Help --------------------------------------------------------------------

    void helpContentsOpensTheIndexPageInTheProgramFolder()
    {
        OpenHelpContents(nullptr);
        QCOMPARE(m_opened, QStringList{m_programFolder + QStringLiteral("help/index.html")});
    }

    // --- Update check ------------------------------------------------------------

    void updateCheckHandsOverToTheUpdaterAndEnds()
    {
        writeStandInUpdater();
        QVERIFY(!CheckForUpdates(nullptr));
        QCOMPARE(m_endings, 1);
        QVERIFY(m_messages.isEmpty());
        QVERIFY(m_opened.isEmpty());
        QVERIFY(!QFile::exists(m_programFolder + QStringLiteral("su-test.tmp")));
        QTRY_COMPARE_WITH_TIMEOUT(recordedUpdaterCall().size(), 3, 10000);
        const QStringList call = recordedUpdaterCall();
        QCOMPARE(call[0], QStringLiteral("1")); // the parameter string is one argument
        QCOMPARE(call[1], QString::fromStdString(UpdaterParameters(CurrentUpdateContext())));
        QVERIFY(call[1].startsWith(QStringLiteral("413052869127 | http://")));
        QVERIFY(call[1].endsWith(QStringLiteral("/tsl/update/v5.rtf | 5.4.1 | Tessaloom")));
        QCOMPARE(QDir(call[2]).canonicalPath(), QDir(m_programFolder).canonicalPath());
    }

    void updaterHandOverEndsTheProcessAtOnceWithAboutOpen()
    {
        writeStandInUpdater();
        // The real ending, in a child process: it must not come back from the check.
        const pid_t pid = ::fork();
        QVERIFY(pid >= 0);
        if (pid == 0) {
            SetProgramEnder({});
            QWidget mainWindow;
            frmAbout about(nullptr, &mainWindow);
            about.show();
            about.findChild<QPushButton*>(QStringLiteral("btnCheckForUpdates"))->click();
            ::_exit(3); // the check came back: the program did not end
        }
        int status = 0;
        QCOMPARE(::waitpid(pid, &status, 0), pid);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 0);
        QTRY_COMPARE_WITH_TIMEOUT(recordedUpdaterCall().size(), 3, 10000);
    }

    void updateCheckWithoutUpdaterOpensTheHistoryPage_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("goesOn");
        QTest::newRow("Yes: go on") << static_cast<int>(MessageAnswer::Yes) << true;
        QTest::newRow("No: leave to update") << static_cast<int>(MessageAnswer::No) << false;
    }

    void updateCheckWithoutUpdaterOpensTheHistoryPage()
    {
        QFETCH(int, answer);
        QFETCH(bool, goesOn);
        m_answers = {static_cast<MessageAnswer>(answer)};
        QWidget owner;
        QCOMPARE(CheckForUpdates(&owner), goesOn);
        QCOMPARE(m_endings, goesOn ? 0 : 1);
        QCOMPARE(m_opened, QStringList{QString::fromStdString(VersionHistoryAddress())});
        QCOMPARE(m_messages.size(), 1);
        const MessageRequest& question = m_messages[0];
        QCOMPARE(question.title, QStringLiteral("Version Check"));
        QCOMPARE(question.icon, MessageIcon::Question);
        QCOMPARE(question.buttons, MessageButtons::YesNo);
        QCOMPARE(question.parent, &owner);
        // Paragraphs reach the box as line breaks, not as carriage returns.
        QVERIFY(question.text.startsWith(
            QStringLiteral("You current have Tessaloom version 5.4.1\n\nYour web browser")));
        QVERIFY(!question.text.contains(QLatin1Char('\r')));
    }

    void updateCheckReportsABrowserThatCannotOpen()
    {
        m_openSucceeds = false;
        QVERIFY(CheckForUpdates(nullptr));
        QCOMPARE(m_endings, 0);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title, QStringLiteral("Error Launching Browser"));
        QCOMPARE(m_messages[0].icon, MessageIcon::Critical);
        QCOMPARE(m_messages[0].buttons, MessageButtons::Ok);
        QVERIFY(m_messages[0].text.endsWith(QStringLiteral("and then go to ") +
                                            QString::fromStdString(VersionHistoryAddress())));
    }

    void updateCheckStopsAtAnUnwritableProgramFolder()
    {
        writeStandInUpdater();
        if (!test::LockFolder(m_programFolder.toStdString(), true))
            QSKIP("this file system cannot make a folder refuse new files");
        const bool goesOn = CheckForUpdates(nullptr);
        test::LockFolder(m_programFolder.toStdString(), false);
        QVERIFY(goesOn);
        QCOMPARE(m_endings, 0);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title, QStringLiteral("Administrator Privileges Error"));
        QCOMPARE(m_messages[0].icon, MessageIcon::Critical);
        QVERIFY(m_opened.isEmpty());
        QVERIFY(!QFile::exists(m_programFolder + QStringLiteral("su-test.tmp")));
    }

    // --- Start-up windows --------------------------------------------------------

    void startupShowsQuickStartOnlyWhileItsSettingIsOn_data()
    {
        QTest::addColumn<bool>("settingOn");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }

    void startupShowsQuickStartOnlyWhileItsSettingIsOn()
    {
        QFETCH(bool, settingOn);
        Program().settings().showQuickStart = settingOn;
        bool shown = false;
        QPointer<QTimer> watch = WhenShown<QuickStart>([&shown](QuickStart* form) {
            shown = true;
            form->close();
        });
        QVERIFY(RunStartupWindows());
        delete watch; // a modal window would have run the watch inside its own loop
        QCOMPARE(shown, settingOn);
        QVERIFY(m_messages.isEmpty()); // no reminder unless this is a first start
    }

    void startupReminderOnAnOldProgramHandsOverAfterQuickStart()
    {
        Program().startup.runVersionAgeReminder = true;
        writeStandInUpdater();
        QFile program(programFile());
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.close();
        SetFileAge(programFile(), 40);
        m_answers = {MessageAnswer::Yes};
        bool quickStartClosed = false;
        WhenShown<QuickStart>([this, &quickStartClosed](QuickStart* form) {
            QVERIFY(m_messages.isEmpty()); // the reminder waits for Quick Start
            form->close();
            quickStartClosed = true;
        });
        QVERIFY(!RunStartupWindows());
        QVERIFY(quickStartClosed);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].title, QStringLiteral("Version Check"));
        QVERIFY(m_messages[0].text.contains(QStringLiteral(" and, therefore, is 40 days old.")));
        QCOMPARE(m_endings, 1);
        QTRY_COMPARE_WITH_TIMEOUT(recordedUpdaterCall().size(), 3, 10000);
    }

    void startupReminderIsSilentForARecentProgram()
    {
        Program().startup.runVersionAgeReminder = true;
        Program().settings().showQuickStart = false;
        QFile program(programFile());
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.close();
        SetFileAge(programFile(), 30);
        QVERIFY(RunStartupWindows());
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(m_endings, 0);
    }
};

QTEST_MAIN(InfoWindowsTest)
#include "infowindows_test.moc"
