#include "ModelTesters.h"
#include "Roles.h"

#include <QSignalSpy>
#include <QTest>
#include <QUuid>

namespace {

// Answers a station search with stations written as "id|ip|model".
void searchStations(PluginHarness& h, const QStringList& stations)
{
    QVariantList devices;
    for (const QString& station : stations)
        devices.append(foundDevice(station.section('|', 0, 0), station.section('|', 1, 1), 80, 0,
                                   QStringLiteral("001122334455"), station.section('|', 2)));
    h.answerSearch(h.startStationSearch(), devices);
}

QString ids(const QVariant& list) { return list.toStringList().join(','); }

void sortByIpDescending(PluginHarness& h)
{
    metaCall(h.stationProxy(), "sortByRole", {int(Station::Ip), QVariant::fromValue(Qt::DescendingOrder)});
}

} // namespace

class tst_Stations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void collectorsFollowFilterAndSort_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("sorted");
        QTest::addColumn<QString>("all");
        QTest::addColumn<QString>("toAuthorize");

        QTest::newRow("unsorted, unfiltered: model order") << "" << false << "s1,s2,s3,s4" << "s1,s3,s4";
        QTest::newRow("IP descending") << "" << true << "s4,s3,s1,s2" << "s4,s3,s1";
        QTest::newRow("filtered and sorted") << "alpha" << true << "s3,s1" << "s3,s1";
        QTest::newRow("only the authorized station shown") << "beta" << false << "s2" << "";
    }

    void collectorsFollowFilterAndSort()
    {
        QFETCH(QString, filter);
        QFETCH(bool, sorted);
        QFETCH(QString, all);
        QFETCH(QString, toAuthorize);

        CheckedHarness h;
        searchStations(h, {"s1|10.0.0.20|Alpha", "s2|10.0.0.3|beta", "s3|10.0.0.100|Alpha Pro", "s4|192.168.1.5|Gamma"});
        // Only the model's user marks a station authorized.
        QVERIFY(h.stationModel()->setData(h.stationModel()->index(1, 0), int(Authorized), Station::Status));
        metaCall(h.stationProxy(), "setFilterString", {filter});
        if (sorted)
            sortByIpDescending(h);

        QCOMPARE(column(h.stationProxy(), Station::Id), all);
        QCOMPARE(ids(h.call("getAllIdInSearchedStationSortFilterModel")), all);
        QCOMPARE(ids(h.call("getStationsNeedToBeAuthorized")), toAuthorize);
    }

    void removeAndAdd()
    {
        CheckedHarness h;
        searchStations(h, {"dup|10.0.0.1|NVR", "abc|10.0.0.2|NVR", "dup|10.0.0.3|NVR"});
        sortByIpDescending(h);

        // The id must match exactly; of two rows with it, the first in the model goes,
        // not the first in the sorted view.
        for (const char* id : {"ABC", "ab", "a*", "dup"})
            h.call("removeRowInSearchedStationTableModel", {id});
        QCOMPARE(column(h.stationModel(), Station::Ip), QStringLiteral("10.0.0.2,10.0.0.3"));

        // The model-brand filter is for search answers only; a hand-added station stays.
        h.call("setQRLNModelBrand", {"OtherBrand"});
        const QVariantMap info{{"delID", "given"}, {"IP", "10.1.1.1"}, {"HttpPort", 8080}, {"QRLNModel", "Q-8"}};
        QSignalSpy inserted(h.stationModel(), &QAbstractItemModel::rowsInserted);
        h.call("addStation", {info});
        h.call("addStation", {info});

        QCOMPARE(inserted.count(), 2);
        QCOMPARE(inserted.at(1).at(1).toInt(), 0);
        QCOMPARE(column(h.stationModel(), Station::Ip), QStringLiteral("10.1.1.1,10.1.1.1,10.0.0.2,10.0.0.3"));
        QCOMPARE(column(h.stationModel(), Station::Status), QStringLiteral("6,6,6,6"));
        // New ids in the braced form, one per call.
        const QStringList added = column(h.stationModel(), Station::Id).split(',').mid(0, 2);
        for (const QString& id : added)
            QCOMPARE(QUuid::fromString(id).toString(QUuid::WithBraces), id);
        QVERIFY(added.at(0) != added.at(1));
        const QStringList needed = h.call("getStationsNeedToBeAuthorized").toStringList();
        QVERIFY(needed.contains(added.at(0)) && needed.contains(added.at(1)));
    }
};

QTEST_MAIN(tst_Stations)
#include "tst_stations.moc"
