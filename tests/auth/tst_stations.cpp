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

} // namespace

class tst_Stations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Both collectors give the stations as the view shows them, filtered and sorted;
    // removal matches an id exactly, in the model; added stations go on top.
    void stationsAsQmlSeesThem()
    {
        CheckedHarness h;
        searchStations(h,
                       {"s1|10.0.0.20|Alpha", "s2|10.0.0.3|beta", "s3|10.0.0.100|Alpha Pro", "s4|192.168.1.5|Gamma"});
        // Only the model's user marks a station authorized.
        QVERIFY(h.stationModel()->setData(h.stationModel()->index(1, 0), int(Authorized), Station::Status));
        const auto collected = [&h] {
            return ids(h.call("getAllIdInSearchedStationSortFilterModel")) + ' ' +
                   ids(h.call("getStationsNeedToBeAuthorized"));
        };
        QCOMPARE(collected(), QStringLiteral("s1,s2,s3,s4 s1,s3,s4"));
        HostKit::call(h.stationProxy(), "sortByRole", {int(Station::Ip), QVariant::fromValue(Qt::DescendingOrder)});
        QCOMPARE(collected(), QStringLiteral("s4,s3,s1,s2 s4,s3,s1"));
        HostKit::call(h.stationProxy(), "setFilterString", {"alpha"});
        QCOMPARE(collected(), QStringLiteral("s3,s1 s3,s1"));
        HostKit::call(h.stationProxy(), "setFilterString", {"beta"});
        QCOMPARE(collected(), QStringLiteral("s2 "));
        HostKit::call(h.stationProxy(), "setFilterString", {""});

        // Of two rows with the id, the first in the model goes, not the first in the sorted view.
        searchStations(h, {"dup|10.0.0.1|NVR", "abc|10.0.0.2|NVR", "dup|10.0.0.3|NVR"});
        HostKit::call(h.stationProxy(), "sortByRole", {int(Station::Ip), QVariant::fromValue(Qt::DescendingOrder)});
        QCOMPARE(column(h.stationProxy(), Station::Ip), QStringLiteral("10.0.0.3,10.0.0.2,10.0.0.1"));
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
