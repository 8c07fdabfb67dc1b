// The wizard's row model under Qt's own model checker: every reset and removal the
// delete runs make keeps the model consistent for the two list views over it.
#include "gui/wizardrowmodel.h"

#include "wizard/deletefiles.h"

#include <QAbstractItemModelTester>
#include <QTest>

#include <string>
#include <vector>

using namespace tessaloom;
using namespace tessaloom::gui;

namespace {

WizardRows Rows(int count)
{
    WizardRows rows;
    for (int i = 0; i < count; ++i)
        rows.add("row " + std::to_string(i), "/cache/f_" + std::to_string(i));
    return rows;
}

QList<int> Every(int step, int count)
{
    QList<int> rows;
    for (int i = 0; i < count; i += step)
        rows << i;
    return rows;
}

} // namespace

class WizardModelTest : public QObject
{
    Q_OBJECT

private slots:
    void removalsKeepTheModelConsistent_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("removed");
        QTest::newRow("nothing removed") << 3 << QList<int>{};
        QTest::newRow("the only row") << 1 << QList<int>{0};
        QTest::newRow("first and last") << 5 << QList<int>{0, 4};
        QTest::newRow("one stretch") << 6 << QList<int>{1, 2, 3};
        QTest::newRow("stretches and singles") << 9 << QList<int>{0, 1, 3, 5, 6, 7};
        QTest::newRow("all rows") << 4 << QList<int>{0, 1, 2, 3};
        // More separate stretches than the model removes one by one.
        QTest::newRow("32 stretches") << 64 << Every(2, 64);
        QTest::newRow("33 stretches") << 66 << Every(2, 66);
        QTest::newRow("every third of 300") << 300 << Every(3, 300);
    }

    void removalsKeepTheModelConsistent()
    {
        QFETCH(int, count);
        QFETCH(QList<int>, removed);

        WizardRowModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setRows(Rows(count));
        QCOMPARE(model.rowCount(), count);
        QCOMPARE(model.columnCount(), 2);

        DeleteOutcome outcome;
        for (const int row : removed)
            outcome.removedRows.push_back(static_cast<std::size_t>(row));
        model.removeDeleted(outcome);

        QStringList expected;
        for (int i = 0; i < count; ++i) {
            if (!removed.contains(i))
                expected << QStringLiteral("row %1|/cache/f_%1").arg(i);
        }
        QStringList shown;
        for (int row = 0; row < model.rowCount(); ++row) {
            shown << model.index(row, WizardRowModel::DisplayColumn).data().toString() +
                         QLatin1Char('|') +
                         model.index(row, WizardRowModel::TargetColumn).data().toString();
        }
        QCOMPARE(shown, expected);

        // A new read replaces the rows whole.
        model.setRows(Rows(2));
        QCOMPARE(model.rowCount(), 2);
        model.setRows({});
        QCOMPARE(model.rowCount(), 0);
    }
};

QTEST_MAIN(WizardModelTest)
#include "wizardmodel_test.moc"
