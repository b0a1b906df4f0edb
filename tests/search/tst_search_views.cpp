#include "ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QTest>

namespace {

QVariantMap station(const QString& id, const QString& ip, const QString& model = "m", int port = 80,
                    const QVariant& httpsPort = 443, const QString& hostName = "h")
{
    QVariantMap entry = foundDevice(id, ip, port, 1, "AABBCCDDEEFF", model);
    entry.insert({{"HostName", hostName}, {"HttpsPort", httpsPort}, {"searchType", 24}});
    return entry;
}

// Cameras c1 to c5 (c5 added by hand, with a host name) and stations s1 to s5.
void fill(PluginHarness& h)
{
    h.answerSearch(h.startDeviceSearch(), {foundDevice("c1", "192.168.1.20", 8080, 0, "001122AABBCC", "Lobby Cam"),
                                           foundDevice("c2", "10.0.0.80", 0, 1, "AABBCCDDEEFF", "garage"),
                                           foundDevice("c3", "10.0.0.9", 554, 2, "112233445566", "Yard"),
                                           foundDevice("c4", "172.16.0.1", 80, 7, "665544332211", "dock")});
    h.call("addDevice", {"secret-host", 0, "10.1.1.1", 9000, "Hall", 1});
    h.cameraModel()->item(0)->setData(QStringLiteral("c5"), Cam::Id);
    h.answerSearch(h.startStationSearch(), {station("s1", "192.168.1.9", "LOBBY-NVR", 8080, 443, "nvr-a"),
                                            station("s2", "10.0.0.2", "store", 80, 8443, "lab-192.168-box"),
                                            station("s3", "10.0.0.10", "Yard", 81, QVariant(), ""),
                                            station("s4", "fe80::1"), station("s5", "10.0.0.010")});
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
        QTest::newRow("brand in capitals matches nothing") << false << "ONVIF" << "" << 0 << "";
        QTest::newRow("brand -1 is every unknown brand") << false << "-1" << "" << 0 << "c4";
        QTest::newRow("brand and words together") << false << "qrln" << "garage" << 0 << "";
        QTest::newRow("two words, any case") << false << "" << "192.168 LOBBY" << 0 << "c1";
        QTest::newRow("words in different rows") << false << "" << "lobby garage" << 0 << "";
        QTest::newRow("80 in a port or an ip") << false << "" << "80" << 0 << "c1,c2,c4";
        QTest::newRow("hyphenated MAC part") << false << "" << "00-11-22" << 0 << "c1";
        QTest::newRow("brand name is searched") << false << "" << "RTSP" << 0 << "c3";
        QTest::newRow("camera host name is not searched") << false << "" << "secret" << 0 << "";
        QTest::newRow("camera ip, numerically") << false << "" << "" << int(Cam::Ip) << "c3,c2,c5,c4,c1";
        QTest::newRow("camera models, case-sensitive") << false << "" << "" << int(Cam::Model) << "c5,c1,c3,c4,c2";
        QTest::newRow("camera ports as numbers") << false << "" << "" << int(Cam::Port) << "c4,c2,c3,c1,c5";
        QTest::newRow("station model in capitals and http port") << true << "" << "lobby 80" << 0 << "s1";
        QTest::newRow("one of two words only") << true << "" << "lobby 81" << 0 << "";
        QTest::newRow("station ip or host name") << true << "" << "192.168" << 0 << "s1,s2";
        QTest::newRow("station https port") << true << "" << "8443" << 0 << "s2";
        QTest::newRow("station MAC is not searched") << true << "" << "BB-CC" << 0 << "";
        QTest::newRow("station models ignore case") << true << "" << "" << int(Station::Model) << "s1,s4,s5,s2,s3";
        // Part by part as numbers, fewer parts first; the same value in another text
        // compares equal and keeps the rows' order.
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

    // Without dynamic sorting and filtering, later data changes neither move nor hide
    // rows the views already show, and new rows are not sorted into place.
    void viewsDoNotFollowDataChanges()
    {
        CheckedHarness h;
        fill(h);
        QSortFilterProxyModel* cameras = h.cameraProxy();
        metaCall(cameras, "setFilterString", {"lobby"});
        h.event("detCamResEvt", QVariantMap{{"reqUID", h.wrapper().sent.first().map().value("reqUID")},
                                            {"delID", "c1"}, {"detRes", 0}, {"Model", "Zoo"}});
        QCOMPARE(column(cameras, Cam::Model), QStringLiteral("Zoo"));

        QSortFilterProxyModel* stations = h.stationProxy();
        metaCall(stations, "sortByRole", {Station::Ip});
        h.stationModel()->item(0)->setData(QStringLiteral("1.1.1.1"), Station::Ip);
        h.answerSearch(h.wrapper().lastRequestId(), {station("s6", "10.0.0.1")});
        QCOMPARE(column(stations, Station::Ip), QStringLiteral("fe80::1,10.0.0.2,10.0.0.10,10.0.0.010,1.1.1.1,10.0.0.1"));
    }
};

QTEST_MAIN(tst_SearchViews)
#include "tst_search_views.moc"
