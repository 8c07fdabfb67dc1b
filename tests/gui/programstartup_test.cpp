#include "gui/programcontext.h"
#include "gui/programstartup.h"
#include "gui/singleinstance.h"
#include "gui/userprompts.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace tessaloom;
using namespace tessaloom::gui;

namespace {

/// Every path under `root` with its size and modification time.
QStringList Snapshot(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        entries << QStringLiteral("%1 %2 %3")
                       .arg(info.filePath())
                       .arg(info.size())
                       .arg(info.lastModified().toMSecsSinceEpoch());
    }
    entries.sort();
    return entries;
}

} // namespace

class ProgramStartupTest : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_home;
    QString m_socketName =
        QStringLiteral("tessaloom-test-%1").arg(QCoreApplication::applicationPid());
    QStringList m_questions;

    AppEnvironment environment() const
    {
        AppEnvironment env;
        env.programFolder = m_home.filePath(QStringLiteral("program")).toStdString();
        env.xdgDataHome = m_home.filePath(QStringLiteral("data")).toStdString();
        env.xdgCacheHome = m_home.filePath(QStringLiteral("cache")).toStdString();
        env.home = m_home.path().toStdString();
        return env;
    }

    void answer(MessageAnswer a)
    {
        SetMessageAnswerer([this, a](const MessageRequest& r) {
            m_questions << r.title + QStringLiteral(" | ") + r.text;
            return a;
        });
    }

private slots:
    void init()
    {
        m_questions.clear();
        QDir(m_home.path()).removeRecursively();
        QDir().mkpath(m_home.filePath(QStringLiteral("program")));
        // An older settings file beside the program, which a start would move.
        QFile old(m_home.filePath(QStringLiteral("program/tsl.ini")));
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("[General]\r\nDirectory=/tmp\r\n");
    }

    void cleanup() { SetMessageAnswerer({}); }

    void aFirstInstanceStartsWithoutAsking()
    {
        answer(MessageAnswer::No);
        SingleInstance instance(m_socketName);
        QVERIFY(RunProgramStartup(instance, environment()));
        QVERIFY(m_questions.isEmpty());
        QVERIFY(QFile::exists(m_home.filePath(QStringLiteral("data/Tessaloom/TSL.INI"))));
        QCOMPARE(Program().settings().directory, std::string("/tmp"));
        // It now answers later instances.
        QVERIFY(SingleInstance(m_socketName).anotherInstanceRunning());
    }

    void answeringNoBringsTheFirstForwardAndTouchesNoFile()
    {
        SingleInstance first(m_socketName);
        QVERIFY(first.listen());
        QSignalSpy shown(&first, &SingleInstance::showRequested);
        const QStringList before = Snapshot(m_home.path());

        answer(MessageAnswer::No);
        SingleInstance second(m_socketName);
        QVERIFY(!RunProgramStartup(second, environment()));
        QCOMPARE(m_questions,
                 QStringList{QStringLiteral("ALREADY RUNNING | Tessaloom is already running, "
                                            "launch another instance of it now?")});
        QTRY_COMPARE(shown.count(), 1);
        QCOMPARE(Snapshot(m_home.path()), before);
        QVERIFY(!QFile::exists(m_home.filePath(QStringLiteral("data"))));
    }

    void answeringYesStartsASecondInstance()
    {
        SingleInstance first(m_socketName);
        QVERIFY(first.listen());
        QSignalSpy shown(&first, &SingleInstance::showRequested);
        answer(MessageAnswer::Yes);
        SingleInstance second(m_socketName);
        QVERIFY(RunProgramStartup(second, environment()));
        QCOMPARE(m_questions.size(), 1);
        QVERIFY(QFile::exists(m_home.filePath(QStringLiteral("data/Tessaloom/TSL.INI"))));
        QCoreApplication::processEvents();
        QCOMPARE(shown.count(), 0);
    }

    void aSocketLeftByACrashedInstanceIsTakenOver()
    {
        // A stale socket file: a server that went away without removing it is
        // what QLocalServer leaves on a crash; a plain file stands in for it.
        const QString name = m_home.filePath(QStringLiteral("stale.sock"));
        QFile stale(name);
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        SingleInstance instance(name);
        QVERIFY(!instance.anotherInstanceRunning());
        QVERIFY(instance.listen());
        QVERIFY(SingleInstance(name).anotherInstanceRunning());
    }
};

QTEST_MAIN(ProgramStartupTest)
#include "programstartup_test.moc"
