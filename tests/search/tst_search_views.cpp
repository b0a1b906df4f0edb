#include "ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QTest>

namespace {

QVariantMap station(const QString& id, const QString& ip, const QString& model = "m", int port = 80)
{
    QVariantMap entry = foundDevice(id, ip, port, 1, "AABBCCDDEEFF", model);
    entry.insert({{"HostName", "h"}, {"HttpsPort", 443}, {"searchType", 24}});
    return entry;
}

// Cameras c1 to c5 (c5 added by hand) and stations s1 to s5.
void fill(PluginHarness& h)
{
    h.answerSearch(h.startDeviceSearch(), {foundDevice("c1", "192.168.1.20", 8080, 0, "001122AABBCC", "Lobby Cam"),
                                           foundDevice("c2", "10.0.0.80", 0, 1, "AABBCCDDEEFF", "garage"),
                                           foundDevice("c3", "10.0.0.9", 554, 2, "112233445566", "Yard"),
                                           foundDevice("c4", "172.16.0.1", 80, 7, "665544332211", "dock")});
    h.call("addDevice", {"secret-host", 0, "10.1.1.1", 9000, "Hall", 1});
    h.cameraModel()->item(0)->setData(QStringLiteral("c5"), Cam::Id);
    h.answerSearch(h.startStationSearch(), {station("s1", "192.168.1.9", "LOBBY-NVR", 8080), station("s2", "10.0.0.2", "store"),
                                            station("s3", "10.0.0.10", "Yard", 81), station("s4", "fe80::1"),
                                            station("s5", "10.0.0.010")});
}

} // namespace

// The two proxies QML binds to: what they show and in which order.
class tst_SearchViews : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void views_data()
    {
        QTest::addColumn<bool>("stations");
        QTest::addColumn<QString>("brand"); // cameras only
        QTest::addColumn<QString>("words");
        QTest::addColumn<int>("sortRole"); // 0: no sort
        QTest::addColumn<QString>("shown");
        QTest::newRow("cameras unfiltered") << false << "" << "" << 0 << "c5,c1,c2,c3,c4";
        QTest::newRow("brand onvif") << false << "onvif" << "" << 0 << "c5,c2";
        QTest::newRow("brand -1 is every unknown brand") << false << "-1" << "" << 0 << "c4";
        QTest::newRow("words in different rows") << false << "" << "lobby garage" << 0 << "";
        QTest::newRow("80 in a port or an ip") << false << "" << "80" << 0 << "c1,c2,c4";
        QTest::newRow("hyphenated MAC part") << false << "" << "00-11-22" << 0 << "c1";
        QTest::newRow("camera ip, numerically") << false << "" << "" << int(Cam::Ip) << "c3,c2,c5,c4,c1";
        QTest::newRow("station model in capitals and http port") << true << "" << "lobby 80" << 0 << "s1";
        QTest::newRow("station MAC is not searched") << true << "" << "BB-CC" << 0 << "";
        QTest::newRow("station models ignore case") << true << "" << "" << int(Station::Model) << "s1,s4,s5,s2,s3";
        QTest::newRow("station ip part by part") << true << "" << "" << int(Station::Ip) << "s4,s2,s3,s5,s1";
    }

    void views()
    {
        QFETCH(bool, stations);
        QFETCH(QString, brand);
        QFETCH(QString, words);
        QFETCH(int, sortRole);
        QFETCH(QString, shown);
        CheckedHarness h;
        fill(h);
        QSortFilterProxyModel* view = stations ? h.stationProxy() : h.cameraProxy();
        if (!stations)
            metaCall(view, "setFilterBrand", {brand});
        metaCall(view, "setFilterString", {words});
        if (sortRole)
            metaCall(view, "sortByRole", {sortRole});
        QCOMPARE(column(view, stations ? int(Station::Id) : int(Cam::Id)), shown);
    }

    // Without dynamic sorting, later data changes do not move rows, and new rows are
    // not sorted into place.
    void viewsDoNotFollowDataChanges()
    {
        CheckedHarness h;
        fill(h);
        QSortFilterProxyModel* stations = h.stationProxy();
        metaCall(stations, "sortByRole", {Station::Ip});
        h.stationModel()->item(0)->setData(QStringLiteral("1.1.1.1"), Station::Ip);
        h.answerSearch(h.wrapper().lastRequestId(), {station("s6", "10.0.0.1")});
        QCOMPARE(column(stations, Station::Ip), QStringLiteral("fe80::1,10.0.0.2,10.0.0.10,10.0.0.010,1.1.1.1,10.0.0.1"));
    }
};

QTEST_MAIN(tst_SearchViews)
#include "tst_search_views.moc"
