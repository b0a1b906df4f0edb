#include "ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QTest>

namespace {

QVariantMap station(const QString& id, const QString& ip, const QString& model, int port, const QVariant& httpsPort,
                    const QString& hostName, const QString& mac = "001122334455")
{
    QVariantMap entry{{"delID", id}, {"IP", ip}, {"Model", model}, {"HttpPort", port}, {"HostName", hostName},
                      {"MAC", mac}, {"Brand", 1}, {"searchType", 24}};
    if (httpsPort.isValid())
        entry.insert("HttpsPort", httpsPort);
    return entry;
}

void fillStations(PluginHarness& h)
{
    h.answerSearch(h.startStationSearch(), {station("s1", "192.168.1.9", "LOBBY-NVR", 8080, 443, "nvr-a"),
                                            station("s2", "10.0.0.2", "Store", 80, 8443, "lab-192.168-box"),
                                            station("s3", "10.0.0.10", "Yard", 81, QVariant(), "", "AABBCCDDEEFF")});
}

} // namespace

// The two proxies QML binds to: what they show and in which order.
class tst_SearchViews : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cameraFilter_data()
    {
        QTest::addColumn<QString>("brand");
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("shown");
        QTest::newRow("no filter") << "" << "" << "c5,c1,c2,c3,c4";
        QTest::newRow("brand onvif") << "onvif" << "" << "c5,c2";
        QTest::newRow("brand in capitals matches nothing") << "ONVIF" << "" << "";
        QTest::newRow("brand prefix matches nothing") << "onv" << "" << "";
        QTest::newRow("brand -1 is every unknown brand") << "-1" << "" << "c4";
        QTest::newRow("brand and words together") << "qrln" << "garage" << "";
        QTest::newRow("two words, any case") << "" << "192.168 LOBBY" << "c1";
        QTest::newRow("words in different rows") << "" << "lobby garage" << "";
        QTest::newRow("80 in a port or an ip") << "" << "80" << "c1,c2,c4";
        QTest::newRow("hyphenated MAC part") << "" << "00-11-22" << "c1";
        QTest::newRow("MAC without hyphens") << "" << "001122" << "";
        QTest::newRow("brand name is searched") << "" << "RTSP" << "c3";
        QTest::newRow("host name is not searched") << "" << "secret" << "";
        QTest::newRow("double space keeps an empty word") << "" << "lobby  cam" << "c1";
        QTest::newRow("tab is part of the word") << "" << "lobby\tcam" << "";
    }

    void cameraFilter()
    {
        QFETCH(QString, brand);
        QFETCH(QString, words);
        QFETCH(QString, shown);
        CheckedHarness h;
        h.answerSearch(h.startDeviceSearch(), {foundDevice("c1", "192.168.1.20", 8080, 0, "001122AABBCC", "Lobby Cam"),
                                               foundDevice("c2", "10.0.0.80", 0, 1, "AABBCCDDEEFF", "Garage"),
                                               foundDevice("c3", "10.0.0.9", 554, 2, "112233445566", "Yard"),
                                               foundDevice("c4", "172.16.0.1", 80, 7, "665544332211", "Dock")});
        // Added by hand with a host name, which the filter does not search.
        h.call("addDevice", {"secret-host", 0, "10.1.1.1", 9000, "Hall", 1});
        h.cameraModel()->item(0)->setData(QStringLiteral("c5"), Cam::Id);
        QSortFilterProxyModel* view = h.cameraProxy();
        metaCall(view, "setFilterBrand", {brand});
        metaCall(view, "setFilterString", {words});
        QCOMPARE(column(view, Cam::Id), shown);

        metaCall(view, "setFilterBrand", {QString()});
        metaCall(view, "setFilterString", {QString()});
        QCOMPARE(view->rowCount(), 5);
    }

    void cameraSort_data()
    {
        QTest::addColumn<int>("role");
        QTest::addColumn<int>("order");
        QTest::addColumn<QString>("shown"); // of the role sorted by
        QTest::newRow("ip ascending, numerically")
            << int(Cam::Ip) << int(Qt::AscendingOrder) << "9.255.255.255,10.0.0.0,10.0.0.9,10.0.0.10,192.168.1.2";
        QTest::newRow("ip descending")
            << int(Cam::Ip) << int(Qt::DescendingOrder) << "192.168.1.2,10.0.0.10,10.0.0.9,10.0.0.0,9.255.255.255";
        QTest::newRow("model names as case-sensitive text")
            << int(Cam::Model) << int(Qt::AscendingOrder) << "Beta,Zeta,alpha,beta,gamma";
        QTest::newRow("ports as numbers") << int(Cam::Port) << int(Qt::AscendingOrder) << "80,554,8000,8080,10000";
    }

    void cameraSort()
    {
        QFETCH(int, role);
        QFETCH(int, order);
        QFETCH(QString, shown);
        CheckedHarness h;
        h.answerSearch(h.startDeviceSearch(), {foundDevice("a", "10.0.0.10", 8080, 0, "", "gamma"),
                                               foundDevice("b", "9.255.255.255", 80, 0, "", "Zeta"),
                                               foundDevice("c", "192.168.1.2", 554, 0, "", "alpha"),
                                               foundDevice("d", "10.0.0.9", 10000, 0, "", "beta"),
                                               foundDevice("e", "10.0.0.0", 8000, 0, "", "Beta")});
        metaCall(h.cameraProxy(), "sortByRole", {role, order});
        QCOMPARE(column(h.cameraProxy(), role), shown);
    }

    void stationFilter_data()
    {
        QTest::addColumn<QString>("words");
        QTest::addColumn<QString>("shown");
        QTest::newRow("spaces only") << "   " << "s1,s2,s3";
        QTest::newRow("model in capitals and http port") << "lobby 80" << "s1";
        QTest::newRow("one of two words only") << "lobby 81" << "";
        QTest::newRow("ip or host name") << "192.168" << "s1,s2";
        QTest::newRow("https port") << "8443" << "s2";
        QTest::newRow("missing https port reads 0") << "0" << "s1,s2,s3";
        QTest::newRow("MAC is not searched") << "aabbcc" << "";
    }

    void stationFilter()
    {
        QFETCH(QString, words);
        QFETCH(QString, shown);
        CheckedHarness h;
        fillStations(h);
        metaCall(h.stationProxy(), "setFilterString", {words});
        QCOMPARE(column(h.stationProxy(), Station::Id), shown);
    }

    void stationSort_data()
    {
        QTest::addColumn<QStringList>("ips");
        QTest::addColumn<QString>("shown");
        QTest::newRow("ip part by part")
            << QStringList{"192.168.1.10", "10.0.0.10", "192.168.1.9", "10.0.0.2"}
            << "10.0.0.2,10.0.0.10,192.168.1.9,192.168.1.10";
        QTest::newRow("fewer parts first")
            << QStringList{"1.2.3.4", "fe80::1", "9.9.9", "1.2.3.4.5"} << "fe80::1,9.9.9,1.2.3.4,1.2.3.4.5";
        QTest::newRow("same value, other text keeps the order")
            << QStringList{"10.0.0.010", "10.0.0.9", "10.0.0.10"} << "10.0.0.9,10.0.0.010,10.0.0.10";
        QTest::newRow("letters read 0")
            << QStringList{"10.0.0.1", "10.0.0.x", "10.0.0.0"} << "10.0.0.x,10.0.0.0,10.0.0.1";
    }

    void stationSort()
    {
        QFETCH(QStringList, ips);
        QFETCH(QString, shown);
        CheckedHarness h;
        QVariantList entries;
        for (const QString& ip : ips)
            entries.append(station(ip, ip, "m", 80, 443, "h"));
        h.answerSearch(h.startStationSearch(), entries);
        metaCall(h.stationProxy(), "sortByRole", {Station::Ip, int(Qt::AscendingOrder)});
        QCOMPARE(column(h.stationProxy(), Station::Ip), shown);
    }

    void stationSortByOtherRolesIgnoresCase()
    {
        CheckedHarness h;
        h.answerSearch(h.startStationSearch(), {station("a", "10.0.0.3", "gamma", 80, 443, "h"),
                                                station("b", "10.0.0.1", "Beta", 8080, 1, "h"),
                                                station("c", "10.0.0.2", "alpha", 443, 2, "h")});
        metaCall(h.stationProxy(), "sortByRole", {Station::Model, int(Qt::AscendingOrder)});
        QCOMPARE(column(h.stationProxy(), Station::Model), QStringLiteral("alpha,Beta,gamma"));
        metaCall(h.stationProxy(), "sortByRole", {Station::Port, int(Qt::DescendingOrder)});
        QCOMPARE(column(h.stationProxy(), Station::Port), QStringLiteral("8080,443,80"));
    }

    // Without dynamic sorting and filtering, later data changes neither move nor hide
    // rows the views already show, and new rows are not sorted into place.
    void viewsDoNotFollowDataChanges()
    {
        CheckedHarness h;
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1", 80, 0, "", "Lobby"), foundDevice("b", "10.0.0.2", 80, 0, "", "Yard")},
                       true);
        QSortFilterProxyModel* view = h.cameraProxy();
        metaCall(view, "sortByRole", {Cam::Model});
        metaCall(view, "setFilterString", {"lobby"});
        QCOMPARE(column(view, Cam::Id), QStringLiteral("a"));

        // The detection event renames the shown camera so that the filter no longer fits.
        h.event("detCamResEvt", QVariantMap{{"reqUID", id}, {"delID", "a"}, {"detRes", 0}, {"Model", "Zoo"}});
        QCOMPARE(column(view, Cam::Model), QStringLiteral("Zoo"));
        // Rows that come back with a filter change are not sorted in either.
        metaCall(view, "setFilterString", {QString()});
        QCOMPARE(column(view, Cam::Model), QStringLiteral("Zoo,Yard"));
        h.answerSearch(id, {foundDevice("c", "10.0.0.3", 80, 0, "", "Attic")});
        QCOMPARE(column(view, Cam::Model), QStringLiteral("Zoo,Yard,Attic"));

        fillStations(h);
        QSortFilterProxyModel* stations = h.stationProxy();
        metaCall(stations, "sortByRole", {Station::Ip});
        h.stationModel()->item(0)->setData(QStringLiteral("1.1.1.1"), Station::Ip);
        h.answerSearch(h.wrapper().lastRequestId(), {station("s4", "10.0.0.1", "m", 80, 443, "h")});
        QCOMPARE(column(stations, Station::Ip), QStringLiteral("10.0.0.2,10.0.0.10,1.1.1.1,10.0.0.1"));
    }
};

QTEST_MAIN(tst_SearchViews)
#include "tst_search_views.moc"
