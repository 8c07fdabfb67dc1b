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

#include <csignal>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

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

/// A listener of another user ("nobody") on a socket path, as a hostile local user
/// could set up at a guessable name; ends with the object.
class ForeignListener
{
public:
    explicit ForeignListener(const QString& path)
    {
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        const QByteArray name = QFile::encodeName(path);
        m_pid = ::fork();
        if (m_pid == 0) {
            // Only async-signal-safe calls from here on.
            ::close(ready[0]);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            if (name.size() >= static_cast<qsizetype>(sizeof address.sun_path))
                ::_exit(1);
            ::memcpy(address.sun_path, name.constData(), static_cast<size_t>(name.size()));
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            if (::setgid(65534) != 0 || ::setuid(65534) != 0 || fd < 0 ||
                ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
                ::listen(fd, 8) != 0)
                ::_exit(1);
            ::fchmod(fd, 0777);
            (void)!::write(ready[1], "r", 1);
            for (;;) {
                const int peer = ::accept(fd, nullptr, nullptr);
                if (peer >= 0)
                    (void)!::write(peer, "show\n", 5);
            }
        }
        ::close(ready[1]);
        char byte = 0;
        m_listening = m_pid > 0 && ::read(ready[0], &byte, 1) == 1;
        ::close(ready[0]);
    }
    ~ForeignListener()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool listening() const { return m_listening; }

private:
    pid_t m_pid = -1;
    bool m_listening = false;
};

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

    void aListenerOfAnotherUserIsNotARunningInstance()
    {
        if (::geteuid() != 0)
            QSKIP("needs root to listen as another user");
        // A folder everyone may write, as the shared temporary folder is.
        const QString shared = m_home.filePath(QStringLiteral("shared"));
        QVERIFY(QDir().mkpath(shared));
        QVERIFY(::chmod(QFile::encodeName(m_home.path()).constData(), 0755) == 0);
        QVERIFY(::chmod(QFile::encodeName(shared).constData(), 01777) == 0);
        const QString name = shared + QStringLiteral("/tessaloom-0");
        ForeignListener foreign(name);
        QVERIFY(foreign.listening());

        SingleInstance probe(name);
        QVERIFY(!probe.anotherInstanceRunning());
        QVERIFY(!probe.askRunningInstanceToShow());
        // No question: the program starts as the only instance.
        answer(MessageAnswer::No);
        SingleInstance instance(name);
        QVERIFY(RunProgramStartup(instance, environment()));
        QVERIFY(m_questions.isEmpty());
    }
};

QTEST_MAIN(ProgramStartupTest)
#include "programstartup_test.moc"
