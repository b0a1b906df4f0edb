#include "DeviceRoster.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTest>

#include <functional>

namespace {

// The camera model's numbers for the roles the roster reads, pinned here on purpose.
enum Role { Id = Qt::UserRole, Ip = Qt::UserRole + 3, Port = Qt::UserRole + 4, Status = Qt::UserRole + 6 };
enum DeviceStatus { Checking, Authorized, Rejected, Unreachable, Failed, Offline, NotChecked };

using Change = std::function<void(QStandardItemModel&)>;

QStandardItem* device(const QString& id, int status, const QString& ip)
{
    auto* item = new QStandardItem;
    item->setData(id, Id);
    item->setData(status, Status);
    item->setData(ip, Ip);
    item->setData(80, Port);
    return item;
}

// Three cameras (a and c logged in, b rejected) and a roster on them.
struct Fixture
{
    QStandardItemModel model;
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::QtTest};
    DeviceRoster roster;

    Fixture()
    {
        model.setItemRoleNames({{Id, "idRole"}, {Ip, "ipRole"}, {Port, "portRole"}, {Status, "statusRole"}});
        model.appendRow(device("a", Authorized, "10.0.0.1"));
        model.appendRow(device("b", Rejected, "10.0.0.2"));
        model.appendRow(device("c", Authorized, "10.0.0.3"));
        roster.setModel(&model);
    }
};

QList<int> counts(int authorized, int rejected, int failed = 0, int notChecked = 0)
{
    return {0, authorized, rejected, 0, failed, 0, notChecked};
}

} // namespace

Q_DECLARE_METATYPE(Change)

class tst_DeviceRoster : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Counts and look-ups by id after each kind of change the model announces.
    void followsTheModel_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QList<int>>("expected");
        QTest::addColumn<int>("notifications");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QVariant>("ip");  // of the first row with the id; invalid: none

        QTest::newRow("rows appended") << Change([](QStandardItemModel& m) {
            m.appendRow(device("d", NotChecked, "10.0.0.4"));
            m.appendRow(device("e", NotChecked, "10.0.0.5"));
        }) << counts(2, 1, 0, 2) << 1 << "d" << QVariant("10.0.0.4");
        QTest::newRow("first row of an id wins")
            << Change([](QStandardItemModel& m) { m.appendRow(device("b", Rejected, "10.9.9.9")); }) << counts(2, 2)
            << 1 << "b" << QVariant("10.0.0.2");
        QTest::newRow("row inserted above")
            << Change([](QStandardItemModel& m) { m.insertRow(0, device("d", Failed, "10.0.0.4")); })
            << counts(2, 1, 1) << 1 << "c" << QVariant("10.0.0.3");
        QTest::newRow("status written") << Change([](QStandardItemModel& m) { m.item(0)->setData(Failed, Status); })
                                        << counts(1, 1, 1) << 1 << "a" << QVariant("10.0.0.1");
        QTest::newRow("other role written") << Change([](QStandardItemModel& m) { m.item(1)->setData("x", Ip); })
                                            << counts(2, 1) << 0 << "b" << QVariant("x");
        QTest::newRow("id written over, new id") << Change([](QStandardItemModel& m) { m.item(0)->setData("z", Id); })
                                                 << counts(2, 1) << 0 << "z" << QVariant("10.0.0.1");
        QTest::newRow("id written over, old id") << Change([](QStandardItemModel& m) { m.item(0)->setData("z", Id); })
                                                 << counts(2, 1) << 0 << "a" << QVariant();
        QTest::newRow("rows removed") << Change([](QStandardItemModel& m) { m.removeRows(0, 2); }) << counts(1, 0)
                                      << 1 << "b" << QVariant();
        QTest::newRow("rows after a removed one") << Change([](QStandardItemModel& m) { m.removeRow(0); })
                                                  << counts(1, 1) << 1 << "c" << QVariant("10.0.0.3");
        QTest::newRow("model cleared") << Change([](QStandardItemModel& m) { m.clear(); }) << counts(0, 0) << 1
                                       << "a" << QVariant();
        QTest::newRow("rows sorted") << Change([](QStandardItemModel& m) { m.sort(0, Qt::DescendingOrder); })
                                     << counts(2, 1) << 1 << "a" << QVariant("10.0.0.1");
        QTest::newRow("status no screen knows") << Change([](QStandardItemModel& m) { m.item(2)->setData(9, Status); })
                                                << counts(1, 1) << 1 << "c" << QVariant("10.0.0.3");
    }

    void followsTheModel()
    {
        QFETCH(Change, change);
        QFETCH(QList<int>, expected);
        QFETCH(int, notifications);
        QFETCH(QString, id);
        QFETCH(QVariant, ip);
        Fixture f;
        QCOMPARE(f.roster.value("a", "ipRole"), QVariant("10.0.0.1"));  // the ids are indexed before the change
        QCoreApplication::processEvents();  // the notification of the first count
        QSignalSpy countsChanged(&f.roster, &DeviceRoster::countsChanged);

        change(f.model);

        // Current at once; told on the next turn of the event loop.
        QCOMPARE(f.roster.counts(), expected);
        QCOMPARE(f.roster.count(), f.model.rowCount());
        QCOMPARE(f.roster.value(id, "ipRole"), ip);
        QCoreApplication::processEvents();
        QCOMPARE(countsChanged.size(), notifications);
    }

    // A whole-list login answers row after row within one turn of the event loop: the
    // screens hear of it once, with the counts of the last row.
    void burstNotifiesOnce()
    {
        Fixture f;
        QCoreApplication::processEvents();
        QList<QList<int>> told;
        connect(&f.roster, &DeviceRoster::countsChanged, this, [&] { told.append(f.roster.counts()); });

        for (int row = 0; row < f.model.rowCount(); ++row)
            f.model.item(row)->setData(Failed, Status);
        f.model.appendRow(device("d", NotChecked, "10.0.0.4"));
        QCoreApplication::processEvents();

        QCOMPARE(told, QList<QList<int>>{counts(0, 0, 3, 1)});
    }

    // A roster that goes before its notification leaves nothing behind to run.
    void destroyedBeforeTheNotification()
    {
        {
            Fixture f;
            f.model.item(0)->setData(Failed, Status);
        }
        QCoreApplication::processEvents();
    }

    void shownIdsInTheViewsOrder_data()
    {
        QTest::addColumn<QList<int>>("skipped");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("all") << QList<int>{} << QStringList{"c", "b", "a"};
        QTest::newRow("not logged in") << QList<int>{Checking, Authorized} << QStringList{"b"};
        QTest::newRow("none left") << QList<int>{Authorized, Rejected} << QStringList{};
    }

    void shownIdsInTheViewsOrder()
    {
        QFETCH(QList<int>, skipped);
        QFETCH(QStringList, ids);
        Fixture f;
        QSortFilterProxyModel view;
        view.setSourceModel(&f.model);
        view.setSortRole(Id);
        view.sort(0, Qt::DescendingOrder);
        QCOMPARE(f.roster.shownIds(&view, skipped), ids);
        QCOMPARE(f.roster.shownIds(nullptr, skipped), QStringList{});
    }

    void addressesFollowTheModel()
    {
        Fixture f;
        QVERIFY(f.roster.hasAddress("10.0.0.2", 80));
        QVERIFY(!f.roster.hasAddress("10.0.0.2", 8080));

        f.model.item(1)->setData(8080, Port);
        f.model.appendRow(device("d", NotChecked, "10.0.0.4"));

        QVERIFY(f.roster.hasAddress("10.0.0.2", 8080));
        QVERIFY(!f.roster.hasAddress("10.0.0.2", 80));
        QVERIFY(f.roster.hasAddress("10.0.0.4", 80));
    }
};

QTEST_GUILESS_MAIN(tst_DeviceRoster)
#include "tst_device_roster.moc"
