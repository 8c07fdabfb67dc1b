#include "gui/eventyield.h"
#include "gui/programcontext.h"
#include "gui/statusform.h"
#include "gui/userprompts.h"
#include "shell/twips.h"
#include "support/windowtest.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using namespace tessaloom;
using namespace tessaloom::gui;

namespace {

// Passes every report on to the progress window's listener and lets a test look
// at the window at chosen moments of a real run.
class WatchedListener final : public IndexProgressListener
{
public:
    StatusFormListener inner;
    std::function<void(const FileReport&)> afterFileReport;
    std::function<void()> beforeClose;

    void fileReport(const FileReport& report) override
    {
        inner.fileReport(report);
        if (afterFileReport)
            afterFileReport(report);
    }
    void windowTitleReport(std::string_view text) override { inner.windowTitleReport(text); }
    void timedReport(const TimedReport& report) override { inner.timedReport(report); }
    bool cancelRequested() override { return inner.cancelRequested(); }
    bool keepPartialIndex() override { return inner.keepPartialIndex(); }
    void lastTitleReport(std::string_view text) override { inner.lastTitleReport(text); }
    void close() override
    {
        if (beforeClose)
            beforeClose();
        inner.close();
    }
};

template <typename T> T* control(QWidget* form, const char* name)
{
    return form->findChild<T*>(QLatin1String(name));
}

int pixels(QWidget* form, int twips)
{
    return TwipsToPixels(twips, form->screen()->logicalDotsPerInch());
}

FileReport reportOf(long long counter, long long total)
{
    FileReport r;
    r.counter = counter;
    r.total = total;
    r.folderText = "/tmp/cache";
    r.fileName = "f_" + std::to_string(counter);
    return r;
}

} // namespace

class StatusFormTest final : public QObject
{
    Q_OBJECT

private slots:
    void init() { test::UseEmptyProgramFolder(m_programDir); }

    void runShowsTheFullBarAtTheLastFileThenUnloads()
    {
        QTemporaryDir folder;
        for (int i = 1; i <= 3; ++i)
            writeFile(folder, QStringLiteral("page%1").arg(i), "<title>Page</title>");
        WatchedListener listener;
        bool checked = false;
        listener.beforeClose = [&] {
            StatusForm* form = listener.inner.form();
            QVERIFY(form && form->isVisible());
            QCOMPARE(control<QLabel>(form, "ReadingEntry")->text(),
                     QStringLiteral("Reading File: 3 of 3"));
            QCOMPARE(control<QLabel>(form, "TotalComplete")->text(),
                     QStringLiteral("100% Complete"));
            // The empty bar's width less 50 twips: 30 in from its left, 20 short of its right.
            const QRect bar = control<QLabel>(form, "lblFilledStatus")->geometry();
            QCOMPARE(bar.x(), pixels(form, 1030));
            QCOMPARE(bar.width(), pixels(form, 7560 - 50));
            QCOMPARE(control<QLabel>(form, "lblLastTitleFound")->text(),
                     QStringLiteral("Last Title Found:  Page"));
            checked = true;
        };
        const IndexOutcome outcome = CreateIndex(requestFor(folder, 3), listener);
        QCOMPARE(outcome.status, IndexStatus::Written);
        QVERIFY(checked);
        QVERIFY(listener.inner.form() == nullptr);
    }

    void negativeWidthKeepsTheBarAsItWas()
    {
        StatusFormListener listener;
        listener.fileReport(reportOf(1, 20000));
        QLabel* bar = control<QLabel>(listener.form(), "lblFilledStatus");
        listener.timedReport({1.0 / 20000, 0, 0});
        QCOMPARE(bar->width(), 0);
        listener.timedReport({0.5, 4, 7});
        QCOMPARE(bar->width(), pixels(listener.form(), 3730));
        listener.timedReport({1.0 / 20000, 4, 7});
        QCOMPARE(bar->width(), pixels(listener.form(), 3730));
        QCOMPARE(control<QLabel>(listener.form(), "lblImagesFiltered")->text(),
                 QStringLiteral("Images Filtered from List: 4"));
        QCOMPARE(control<QLabel>(listener.form(), "lblBinaryFilesFiltered")->text(),
                 QStringLiteral("Binary Files Filtered from List: 7"));
    }

    void timedReportsStepTheAnimation()
    {
        StatusFormListener listener;
        listener.fileReport(reportOf(1, 4));
        QWidget* searching = control<QWidget>(listener.form(), "imgSearching");
        QWidget* found = control<QWidget>(listener.form(), "imgFound");
        QVERIFY(searching->isVisible() && found->isHidden());
        listener.timedReport({0.5, 0, 0});
        QVERIFY(searching->isHidden() && found->isVisible());
        listener.timedReport({0.75, 0, 0});
        QVERIFY(searching->isVisible() && found->isHidden());
    }

    void captionShowsThePercentageOnlyWhileMinimised()
    {
        StatusFormListener listener;
        listener.fileReport(reportOf(42, 100));
        listener.windowTitleReport("42% Complete");
        StatusForm* form = listener.form();
        QCOMPARE(form->windowTitle(), QStringLiteral("Tessaloom"));
        form->showMinimized();
        listener.fileReport(reportOf(43, 100));
        listener.windowTitleReport("43% Complete");
        QCOMPARE(listener.form(), form); // minimised is not closed: no fresh window
        QCOMPARE(form->windowTitle(), QStringLiteral("43% Complete"));
        // The same percentage after a change of state still changes the caption.
        form->showNormal();
        listener.windowTitleReport("43% Complete");
        QCOMPARE(form->windowTitle(), QStringLiteral("Tessaloom"));
        form->showMinimized();
        listener.windowTitleReport("43% Complete");
        QCOMPARE(form->windowTitle(), QStringLiteral("43% Complete"));
        form->showNormal();
        listener.windowTitleReport("44% Complete");
        QCOMPARE(form->windowTitle(), QStringLiteral("Tessaloom"));
    }

    void closeBoxDoesNotCancelAndTheNextReportReopens()
    {
        StatusFormListener listener;
        listener.fileReport(reportOf(1, 10));
        QPushButton* cancel = control<QPushButton>(listener.form(), "btnCancel");
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(listener.cancelRequested());
        QTest::mouseClick(cancel, Qt::LeftButton); // a hidden button takes no second click
        QVERIFY(listener.cancelRequested());

        listener.form()->move(0, 0);
        QVERIFY(listener.form()->close()); // the close box
        listener.fileReport(reportOf(2, 10));
        StatusForm* reopened = listener.form();
        QVERIFY(reopened && reopened->isVisible());
        QVERIFY(control<QPushButton>(reopened, "btnCancel")->isVisible());
        QVERIFY(!listener.cancelRequested());
        QCOMPARE(control<QLabel>(reopened, "ReadingEntry")->text(),
                 QStringLiteral("Reading File: 2 of 10"));
        const QPoint centre = reopened->screen()->geometry().center();
        QVERIFY(qAbs(reopened->frameGeometry().center().x() - centre.x()) <= 1);
        QVERIFY(qAbs(reopened->frameGeometry().center().y() - centre.y()) <= 1);
    }

    void cancelInTheRunAsksWhetherToKeepWhatWasFound_data()
    {
        QTest::addColumn<bool>("keep");
        QTest::newRow("Yes keeps two entries") << true;
        QTest::newRow("No writes nothing") << false;
    }

    void cancelInTheRunAsksWhetherToKeepWhatWasFound()
    {
        QFETCH(bool, keep);
        QTemporaryDir folder;
        for (int i = 1; i <= 5; ++i)
            writeFile(folder, QStringLiteral("page%1").arg(i), "<title>Page</title>");
        WatchedListener listener;
        listener.afterFileReport = [&](const FileReport& report) {
            if (report.counter == 3)
                QTest::mouseClick(control<QPushButton>(listener.inner.form(), "btnCancel"),
                                  Qt::LeftButton);
        };
        MessageRequest asked;
        SetMessageAnswerer([&](const MessageRequest& request) {
            asked = request;
            return keep ? MessageAnswer::Yes : MessageAnswer::No;
        });
        const IndexOutcome outcome = CreateIndex(requestFor(folder, 5), listener);
        QCOMPARE(asked.title, QStringLiteral("Open !ndex.htm File?"));
        QCOMPARE(asked.text, QStringLiteral("Open !ndex.htm for what has been indexed thus far?"));
        QCOMPARE(asked.icon, MessageIcon::Question);
        QCOMPARE(asked.buttons, MessageButtons::YesNo);
        QVERIFY(asked.parent != nullptr); // over the progress window
        QCOMPARE(outcome.status, keep ? IndexStatus::Written : IndexStatus::Cancelled);
        QCOMPARE(outcome.entryCount, keep ? 2 : 0);
        QCOMPARE(QFile::exists(folder.filePath(QStringLiteral("!ndex.htm"))), keep);
        QVERIFY(listener.inner.form() == nullptr);
    }

    void widthIsHeldHeightIsNot()
    {
        StatusFormListener listener;
        listener.fileReport(reportOf(1, 2));
        StatusForm* form = listener.form();
        const QSize before = form->size();
        QCOMPARE(form->frameGeometry().width(), pixels(form, 9500));
        form->resize(before.width() + 200, before.height() + 80);
        QCOMPARE(form->width(), before.width());
        QCOMPARE(form->height(), before.height() + 80);
        form->resize(before.width() - 200, 40);
        QCOMPARE(form->width(), before.width());
        // Never so short that Cancel is out of sight.
        QVERIFY(control<QPushButton>(form, "btnCancel")->geometry().bottom() < form->height());
    }

    void textsFitTheirLabels()
    {
        StatusFormListener listener;
        // Counts wider than any folder of a real cache.
        FileReport report = reportOf(9999999, 9999999);
        report.folderText = "..." + std::string(99, 'W');
        listener.fileReport(report);
        listener.timedReport({1.0, 32767, 32767});
        StatusForm* form = listener.form();
        for (const char* name : {"ReadingEntry", "lblPath", "lblFile", "TotalComplete",
                                 "lblImagesFiltered", "lblBinaryFilesFiltered"}) {
            QLabel* label = control<QLabel>(form, name);
            QVERIFY2(label->sizeHint().width() <= label->width(), name);
            QVERIFY2(label->sizeHint().height() <= label->height(), name);
            QVERIFY2(form->rect().contains(label->geometry()), name);
        }
        // The long folder shows its end; the whole text is in the tooltip.
        QLabel* path = control<QLabel>(form, "lblPath");
        QVERIFY(path->text().endsWith(QStringLiteral("WWW")));
        QCOMPARE(path->toolTip(), QString::fromStdString(report.folderText));
    }

    // Reports come faster than the eye follows; whichever of them are held back,
    // the latest one's texts show once events run, before a question, on hiding, at
    // once after a quiet moment, and at once for the run's last file.
    void heldBackReportsShowTheLatestTexts()
    {
        StatusFormListener listener;
        const auto burst = [&](long long from, long long to) {
            for (long long k = from; k <= to; ++k) {
                listener.fileReport(reportOf(k, 100));
                listener.lastTitleReport("Last Title Found:  t" + std::to_string(k));
            }
        };
        const auto shows = [&](long long k) {
            StatusForm* form = listener.form();
            const FileReport r = reportOf(k, 100);
            return control<QLabel>(form, "ReadingEntry")->text().toStdString() == r.readingText() &&
                   control<QLabel>(form, "lblFile")->text().toStdString() ==
                       " Name: " + r.fileName &&
                   control<QLabel>(form, "TotalComplete")->text().toStdString() ==
                       r.percentText() &&
                   control<QLabel>(form, "lblLastTitleFound")->text().toStdString() ==
                       "Last Title Found:  t" + std::to_string(k);
        };
        burst(1, 30);
        QTRY_VERIFY(shows(30));

        burst(31, 40);
        bool shownWhenAsked = false;
        SetMessageAnswerer([&](const MessageRequest&) {
            shownWhenAsked = shows(40);
            return MessageAnswer::No;
        });
        QVERIFY(!listener.keepPartialIndex());
        QVERIFY(shownWhenAsked);

        burst(41, 50);
        listener.form()->hide();
        QVERIFY(shows(50));
        listener.form()->show();

        QTest::qWait(2 * kReportInterval.count());
        listener.fileReport(reportOf(51, 100));
        QCOMPARE(control<QLabel>(listener.form(), "ReadingEntry")->text(),
                 QStringLiteral("Reading File: 51 of 100"));

        burst(52, 100);
        QVERIFY(shows(100)); // no event runs between the last file and the run's end
    }

    // A run reports every file and lets events run every few milliseconds; the
    // labels take new texts about once per interval, not once from the report that
    // came due and again from the timer a moment later.
    void textsChangeAboutOncePerInterval()
    {
        StatusFormListener listener;
        const YieldFn yield = ThrottledEventYield();
        QElapsedTimer clock;
        clock.start();
        QString seen;
        long long shows = 0;
        for (long long k = 1; clock.elapsed() < 20 * kReportInterval.count(); ++k) {
            yield();
            listener.fileReport(reportOf(k, 1'000'000'000));
            listener.lastTitleReport("Last Title Found:  t" + std::to_string(k));
            yield();
            const QString now = control<QLabel>(listener.form(), "lblFile")->text();
            if (now != seen) {
                seen = now;
                ++shows;
            }
        }
        const long long intervals = clock.elapsed() / kReportInterval.count();
        // The window's clock moves by the system's tick: an interval may end a few
        // milliseconds early.
        QVERIFY2(shows <= intervals + intervals / 4 + 2,
                 qPrintable(QStringLiteral("%1 shows in %2 intervals").arg(shows).arg(intervals)));
        QVERIFY2(4 * shows >= intervals, qPrintable(QString::number(shows)));
    }

private:
    static void writeFile(const QTemporaryDir& dir, const QString& name, const char* content)
    {
        QFile file(dir.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    static IndexRequest requestFor(const QTemporaryDir& folder, int count)
    {
        IndexRequest request;
        request.folder = folder.path().toStdString();
        for (int i = 1; i <= count; ++i)
            request.fileNames.push_back("page" + std::to_string(i));
        request.pattern = "*.*";
        request.options.excludeBinaryFiles = false;
        request.formats = LocaleFormats::EnglishUS();
        // A new clock second at every reading, so every file gets a timed report.
        auto now = std::make_shared<std::time_t>(1'700'000'001);
        request.clock = [now] { return (*now)++; };
        request.yield = ThrottledEventYield();
        return request;
    }

    QTemporaryDir m_programDir;
};

QTEST_MAIN(StatusFormTest)
#include "statusform_test.moc"
