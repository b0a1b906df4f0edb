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

// Three cameras: a and c logged in, b rejected.
void fill(QStandardItemModel& model)
{
    model.setItemRoleNames({{Id, "idRole"}, {Ip, "ipRole"}, {Port, "portRole"}, {Status, "statusRole"}});
    model.appendRow(device("a", Authorized, "10.0.0.1"));
    model.appendRow(device("b", Rejected, "10.0.0.2"));
    model.appendRow(device("c", Authorized, "10.0.0.3"));
}

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
    void rolesByName()
    {
        QStandardItemModel model;
        fill(model);
        DeviceRoster roster;
        roster.setModel(&model);
        QCOMPARE(roster.role("statusRole"), int(Status));
        QCOMPARE(roster.role("ipRole"), int(Ip));
        QCOMPARE(roster.role("brandRole"), -1);
        QCOMPARE(roster.roles().size(), 4);
    }

    void countsFollowTheModel_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QList<int>>("expected");
        QTest::addColumn<bool>("notified");

        QTest::newRow("rows appended") << Change([](QStandardItemModel& m) {
            m.appendRow(device("d", NotChecked, "10.0.0.4"));
            m.appendRow(device("e", NotChecked, "10.0.0.5"));
        }) << counts(2, 1, 0, 2) << true;
        QTest::newRow("row inserted at the top")
            << Change([](QStandardItemModel& m) { m.insertRow(0, device("d", Failed, "10.0.0.4")); })
            << counts(2, 1, 1) << true;
        QTest::newRow("status written") << Change([](QStandardItemModel& m) { m.item(0)->setData(Failed, Status); })
                                        << counts(1, 1, 1) << true;
        QTest::newRow("other role written") << Change([](QStandardItemModel& m) { m.item(1)->setData("x", Ip); })
                                            << counts(2, 1) << false;
        QTest::newRow("rows removed") << Change([](QStandardItemModel& m) { m.removeRows(0, 2); }) << counts(1, 0) << true;
        QTest::newRow("model cleared") << Change([](QStandardItemModel& m) { m.clear(); }) << counts(0, 0) << true;
        QTest::newRow("rows sorted") << Change([](QStandardItemModel& m) { m.sort(0, Qt::DescendingOrder); })
                                     << counts(2, 1) << true;
        QTest::newRow("status no screen knows") << Change([](QStandardItemModel& m) { m.item(2)->setData(9, Status); })
                                                << counts(1, 1) << true;
    }

    void countsFollowTheModel()
    {
        QFETCH(Change, change);
        QFETCH(QList<int>, expected);
        QFETCH(bool, notified);
        QStandardItemModel model;
        fill(model);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        DeviceRoster roster;
        roster.setModel(&model);
        QCoreApplication::processEvents();  // the notification of the first count
        QSignalSpy countsChanged(&roster, &DeviceRoster::countsChanged);

        change(model);

        // Current at once; told on the next turn of the event loop.
        QCOMPARE(roster.counts(), expected);
        QCOMPARE(roster.count(), model.rowCount());
        QCoreApplication::processEvents();
        QCOMPARE(countsChanged.size(), notified ? 1 : 0);
    }

    // A whole-list login answers row after row within one turn of the event loop: the
    // screens hear of it once, with the counts of the last row.
    void burstNotifiesOnce()
    {
        QStandardItemModel model;
        fill(model);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        DeviceRoster roster;
        roster.setModel(&model);
        QCoreApplication::processEvents();
        QSignalSpy countsChanged(&roster, &DeviceRoster::countsChanged);
        QList<QList<int>> told;
        connect(&roster, &DeviceRoster::countsChanged, this, [&] { told.append(roster.counts()); });

        for (int row = 0; row < model.rowCount(); ++row)
            model.item(row)->setData(Failed, Status);
        model.appendRow(device("d", NotChecked, "10.0.0.4"));
        QCoreApplication::processEvents();

        QCOMPARE(countsChanged.size(), 1);
        QCOMPARE(told, QList<QList<int>>{counts(0, 0, 3, 1)});
    }

    // A roster that goes before its notification leaves nothing behind to run.
    void destroyedBeforeTheNotification()
    {
        QStandardItemModel model;
        fill(model);
        {
            DeviceRoster roster;
            roster.setModel(&model);
            model.item(0)->setData(Failed, Status);
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
        QStandardItemModel model;
        fill(model);
        QSortFilterProxyModel view;
        view.setSourceModel(&model);
        view.setSortRole(Id);
        view.sort(0, Qt::DescendingOrder);
        DeviceRoster roster;
        roster.setModel(&model);
        QCOMPARE(roster.shownIds(&view, skipped), ids);
        QCOMPARE(roster.shownIds(nullptr, skipped), QStringList{});
    }

    void lookUpsFollowTheModel_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QVariant>("ip");

        QTest::newRow("first row of an id wins")
            << Change([](QStandardItemModel& m) { m.appendRow(device("b", Rejected, "10.9.9.9")); }) << "b"
            << QVariant("10.0.0.2");
        QTest::newRow("row inserted above")
            << Change([](QStandardItemModel& m) { m.insertRow(0, device("d", Rejected, "10.0.0.4")); }) << "c"
            << QVariant("10.0.0.3");
        QTest::newRow("row appended") << Change([](QStandardItemModel& m) {
            m.appendRow(device("d", Rejected, "10.0.0.4"));
        }) << "d" << QVariant("10.0.0.4");
        QTest::newRow("row removed") << Change([](QStandardItemModel& m) { m.removeRow(1); }) << "b" << QVariant();
        QTest::newRow("rows after a removed one") << Change([](QStandardItemModel& m) { m.removeRow(0); }) << "c"
                                                  << QVariant("10.0.0.3");
        QTest::newRow("id written over, new id")
            << Change([](QStandardItemModel& m) { m.item(0)->setData("z", Id); }) << "z" << QVariant("10.0.0.1");
        QTest::newRow("id written over, old id")
            << Change([](QStandardItemModel& m) { m.item(0)->setData("z", Id); }) << "a" << QVariant();
        QTest::newRow("rows sorted") << Change([](QStandardItemModel& m) { m.sort(0, Qt::DescendingOrder); }) << "a"
                                     << QVariant("10.0.0.1");
        QTest::newRow("model cleared") << Change([](QStandardItemModel& m) { m.clear(); }) << "a" << QVariant();
    }

    void lookUpsFollowTheModel()
    {
        QFETCH(Change, change);
        QFETCH(QString, id);
        QFETCH(QVariant, ip);
        QStandardItemModel model;
        fill(model);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        DeviceRoster roster;
        roster.setModel(&model);
        QCOMPARE(roster.value("a", "ipRole"), QVariant("10.0.0.1"));  // the ids are indexed before the change

        change(model);

        QCOMPARE(roster.value(id, "ipRole"), ip);
    }

    void addressesFollowTheModel()
    {
        QStandardItemModel model;
        fill(model);
        DeviceRoster roster;
        roster.setModel(&model);
        QVERIFY(roster.hasAddress("10.0.0.2", 80));
        QVERIFY(!roster.hasAddress("10.0.0.2", 8080));

        model.item(1)->setData(8080, Port);
        model.appendRow(device("d", NotChecked, "10.0.0.4"));

        QVERIFY(roster.hasAddress("10.0.0.2", 8080));
        QVERIFY(!roster.hasAddress("10.0.0.2", 80));
        QVERIFY(roster.hasAddress("10.0.0.4", 80));
    }
};

QTEST_GUILESS_MAIN(tst_DeviceRoster)
#include "tst_device_roster.moc"
