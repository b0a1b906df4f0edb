#include <DeferredItemRelease.h>

#include <QAbstractItemModelTester>
#include <QStandardItemModel>
#include <QTest>

namespace {

int g_alive = 0;

// An item that counts the items alive, so a test sees when rows are really freed.
class CountedItem : public QStandardItem
{
public:
    CountedItem() { ++g_alive; }
    ~CountedItem() override { --g_alive; }
};

void fill(QStandardItemModel& model, int rows, int columns)
{
    for (int row = 0; row < rows; ++row) {
        QList<QStandardItem*> cells;
        for (int column = 0; column < columns; ++column)
            cells.append(new CountedItem);
        model.appendRow(cells);
    }
}

} // namespace

// The rows a clear takes out are freed on later turns of the event loop (what is left
// when the release goes is freed with it: the sanitizer leg's leak check holds that);
// a model of several columns is cleared at once.
class tst_ClearedRows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { g_alive = 0; }

    void freedAfterTheCall_data()
    {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("columns");
        QTest::addColumn<int>("aliveAfterCall");
        QTest::newRow("one column") << 5000 << 1 << 5000;
        QTest::newRow("two columns") << 100 << 2 << 0;
        QTest::newRow("empty") << 0 << 1 << 0;
    }
    void freedAfterTheCall()
    {
        QFETCH(int, rows);
        QFETCH(int, columns);
        QFETCH(int, aliveAfterCall);
        QStandardItemModel model;
        fill(model, rows, columns);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        DeferredItemRelease release;

        release.clear(&model);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 0);
        QCOMPARE(g_alive, aliveAfterCall);
        QTRY_COMPARE(g_alive, 0);
        QCOMPARE(release.pending(), 0);
    }
};

QTEST_MAIN(tst_ClearedRows)
#include "tst_cleared_rows.moc"
