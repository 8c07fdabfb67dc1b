#include "gui/programcontext.h"
#include "gui/windowops.h"

#include <QElapsedTimer>
#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace tessaloom::gui;

namespace {

// Notes every position the window is moved to.
class MoveRecorder final : public QObject
{
public:
    std::vector<QPoint> positions;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Move)
            positions.push_back(static_cast<QWidget*>(watched)->pos());
        return false;
    }
};

} // namespace

class WindowOpsTest final : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        // An empty program folder: no sound files.
        QVERIFY(m_programDir.isValid());
        Program().startup.folders.programFolder = m_programDir.path().toStdString() + "/";
    }

    void slideOutHidesAndPutsTheWindowBack_data()
    {
        QTest::addColumn<QString>("direction");
        QTest::newRow("up") << QStringLiteral("UP");
        QTest::newRow("down") << QStringLiteral("DOWN");
        QTest::newRow("left, lower case") << QStringLiteral("left");
        QTest::newRow("right") << QStringLiteral("Right");
    }

    void slideOutHidesAndPutsTheWindowBack()
    {
        QFETCH(QString, direction);
        QWidget form;
        form.resize(300, 200);
        form.move(120, 90);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint before = form.pos();

        MoveRecorder moves;
        form.installEventFilter(&moves);
        SlideOut(&form, direction);

        QVERIFY(form.isHidden());
        QCOMPARE(form.pos(), before);
        // It really travelled: its last step before hiding left most of it off the
        // screen (the step is far smaller than half the window).
        QVERIFY(moves.positions.size() > 2);
        const QRect screen = form.screen()->geometry();
        const QRect last(moves.positions.back(), form.frameGeometry().size());
        const QRect onScreen = last.intersected(screen);
        QVERIFY2(onScreen.width() * onScreen.height() * 2 < last.width() * last.height(),
                 qPrintable(QStringLiteral("last step at %1,%2").arg(last.x()).arg(last.y())));
    }

    void slideInArrivesExactlyWhereTheWindowWas_data()
    {
        QTest::addColumn<QString>("direction");
        QTest::newRow("down, lower case") << QStringLiteral("down");
        QTest::newRow("up") << QStringLiteral("UP");
        QTest::newRow("left") << QStringLiteral("LEFT");
        QTest::newRow("right") << QStringLiteral("RIGHT");
    }

    void slideInArrivesExactlyWhereTheWindowWas()
    {
        QFETCH(QString, direction);
        QWidget form;
        form.resize(300, 200);
        form.move(135, 75);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint target = form.pos();

        MoveRecorder moves;
        form.installEventFilter(&moves);
        SlideIn(&form, direction);

        QVERIFY(form.isVisible());
        QCOMPARE(form.pos(), target);
        QVERIFY(moves.positions.size() > 2);
        // Came in from outside: the first step is away from the target on the slide's axis.
        const QPoint first = moves.positions.front();
        QVERIFY(first.x() != target.x() || first.y() != target.y());
    }

    void unknownDirectionLeavesTheWindowStill()
    {
        QWidget form;
        form.resize(200, 100);
        form.move(50, 60);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QPoint before = form.pos();
        SlideIn(&form, QStringLiteral("SIDEWAYS"));
        QCOMPARE(form.pos(), before);
        QVERIFY(form.isVisible());
        SlideOut(&form, QStringLiteral("SIDEWAYS"));
        QCOMPARE(form.pos(), before);
        QVERIFY(form.isHidden());
    }

    void missingSoundIsSilentAndLetsNoEventRun()
    {
        bool ran = false;
        QTimer::singleShot(0, this, [&] { ran = true; });
        PlaySoundFile(QStringLiteral("ClickBg.wav"));
        QVERIFY(!ran);
        QTRY_VERIFY(ran); // the timer itself was fine
    }

    void presentSoundFinishesQuicklyAndLetsEventsRun()
    {
        // Whether or not this machine has an audio device, the call comes back
        // (silence or the end of the sound), then lets pending events run.
        QFile::copy(QStringLiteral(TESSALOOM_SOUND_DIR "/ClickBg.wav"),
                    m_programDir.filePath(QStringLiteral("ClickBg.wav")));
        bool ran = false;
        QTimer::singleShot(0, this, [&] { ran = true; });
        // Nothing reaches the terminal either: the sound library's layers below
        // (ALSA's "cannot find card") write straight to the error stream.
        QTemporaryFile errors;
        QVERIFY(errors.open());
        std::fflush(stderr);
        const int savedErr = ::dup(2);
        ::dup2(errors.handle(), 2);
        QElapsedTimer clock;
        clock.start();
        PlaySoundFile(QStringLiteral("ClickBg.wav"));
        const qint64 elapsed = clock.elapsed();
        std::fflush(stderr);
        ::dup2(savedErr, 2);
        ::close(savedErr);
        QVERIFY(ran);
        QVERIFY2(elapsed < 3000, "a sound held the window up too long");
        // The error stream wrote through the same open file: read from its start.
        QVERIFY(errors.seek(0));
        QCOMPARE(errors.readAll(), QByteArray());
        QFile::remove(m_programDir.filePath(QStringLiteral("ClickBg.wav")));
    }

private:
    QTemporaryDir m_programDir;
};

QTEST_MAIN(WindowOpsTest)
#include "windowops_test.moc"
