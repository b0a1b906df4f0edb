#include "ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

namespace {

// The newest command's parameters but its request id: the four always sent, then
// the others (the flag keys) sorted, each as key=value.
QString sentParameters(PluginHarness& h)
{
    QVariantMap parameters = h.wrapper().last().map();
    parameters.remove("reqUID");
    QStringList pairs;
    for (const char* key : {"searchType", "maxRet", "devIpContains", "relayPath"})
        pairs.append(key + ('=' + parameters.take(key).toString()));
    for (auto it = parameters.cbegin(); it != parameters.cend(); ++it)
        pairs.append(it.key() + '=' + it.value().toString());
    return pairs.join(' ');
}

} // namespace

// What searchDevices, refreshDevices and searchStations send, and what they do to
// the models and the stored request ids. QML's default arguments are tested in
// tests/quick, where QML itself leaves them out.
class tst_SearchRequests : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        qunsetenv("MAX_SRCH_DEV_CNT");
        qunsetenv("DEV_IP_CONTAINS");
    }
    void cleanup() { init(); }

    // Each known flag bit adds its key as true and a clear one leaves it out; a site's
    // environment overrides the limit and sets the IP text, read anew for each request.
    // Every command carries all seven SendCommand arguments and a fresh braced UUID.
    void commands_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QVariant>("maxCount");   // MAX_SRCH_DEV_CNT; invalid: not set
        QTest::addColumn<QVariant>("ipContains"); // DEV_IP_CONTAINS; invalid: not set
        QTest::addColumn<QString>("parameters");
        const QByteArray search("searchDevices");
        const QString sent("searchType=5 maxRet=25 devIpContains= relayPath=relay/7");
        const QVariant none;
        QTest::newRow("0 sends no flag key") << search << 0 << none << none << sent;
        QTest::newRow("1 unmanagedOnly") << search << 1 << none << none << sent + " unmanagedOnly=true";
        QTest::newRow("2 checkAuth") << search << 2 << none << none << sent + " checkAuth=true";
        QTest::newRow("4 onvifCombined") << search << 4 << none << none << sent + " onvifCombined=true";
        QTest::newRow("10 is 2 plus an unknown bit") << search << 10 << none << none << sent + " checkAuth=true";
        QTest::newRow("refresh, all three") << QByteArray("refreshDevices") << 7 << none << none
                                            << sent + " checkAuth=true onvifCombined=true unmanagedOnly=true";
        QTest::newRow("limit 50 beats the caller") << search << 0 << QVariant("50") << none
                                                   << "searchType=5 maxRet=50 devIpContains= relayPath=relay/7";
        QTest::newRow("limit of letters is 0") << search << 0 << QVariant("abc") << none
                                               << "searchType=5 maxRet=0 devIpContains= relayPath=relay/7";
        QTest::newRow("ip text passed as is") << QByteArray("refreshDevices") << 0 << none << QVariant(" 10.1 ")
                                              << "searchType=5 maxRet=25 devIpContains= 10.1  relayPath=relay/7";
        QTest::newRow("stations") << QByteArray("searchStations") << 0 << none << none
                                  << "searchType=24 maxRet=-1 devIpContains= relayPath= unmanagedOnly=true";
        QTest::newRow("stations, limit and ip text") << QByteArray("searchStations") << 0 << QVariant("7")
            << QVariant("10.") << "searchType=24 maxRet=7 devIpContains=10. relayPath= unmanagedOnly=true";
    }

    void commands()
    {
        QFETCH(QByteArray, method);
        QFETCH(int, flag);
        QFETCH(QVariant, maxCount);
        QFETCH(QVariant, ipContains);
        QFETCH(QString, parameters);
        const QVariantList args = method == "searchStations" ? QVariantList() : QVariantList{5, flag, "relay/7", 25};
        CheckedHarness h;
        QVERIFY(h.call(method, args).toBool());
        if (maxCount.isValid())
            qputenv("MAX_SRCH_DEV_CNT", maxCount.toByteArray());
        if (ipContains.isValid())
            qputenv("DEV_IP_CONTAINS", ipContains.toByteArray());
        QVERIFY(h.call(method, args).toBool());
        QCOMPARE(sentParameters(h), parameters);
        QCOMPARE(h.wrapper().last().map().value("maxRet").metaType(), QMetaType::fromType<int>());
        QCOMPARE(h.wrapper().last().map().value("relayPath").metaType(), QMetaType::fromType<QString>());
        static const QRegularExpression braced("^\\{[0-9a-f]{8}-([0-9a-f]{4}-){3}[0-9a-f]{12}\\}$");
        QSet<QString> ids;
        for (const SentCommand& sent : std::as_const(h.wrapper().sent)) {
            QCOMPARE(sent.hostContext, PluginHarness::hostContext());
            QCOMPARE(sent.senderPluginId, QStringLiteral("81A12407F58943CAB74F1F5D78E64C67"));
            QCOMPARE(sent.command, QStringLiteral("searchDevice"));
            QCOMPARE(sent.userData, nullptr);
            QCOMPARE(sent.flag, false);
            QVERIFY(sent.text.isEmpty());
            const QString id = sent.map().value("reqUID").toString();
            QVERIFY2(braced.match(id).hasMatch(), qPrintable(id));
            ids.insert(id);
        }
        QCOMPARE(ids.size(), 2);
    }

    void acceptedSearchesEmptyTheirOwnModel()
    {
        CheckedHarness h;
        h.answerSearch(h.startDeviceSearch(), {foundDevice("a", "10.0.0.1")});
        QVERIFY(h.call("addDevice", {"manual", 0, "10.9.9.9", 80}).toBool());
        h.answerSearch(h.startStationSearch(), {foundDevice("s", "10.0.0.5")});
        QCOMPARE(h.cameraModel()->rowCount(), 2);

        // A station search leaves the cameras alone, and a device search the stations.
        h.answerSearch(h.startStationSearch(), {foundDevice("t", "10.0.0.6")});
        QCOMPARE(column(h.stationModel(), Station::Id), QStringLiteral("t"));
        QCOMPARE(h.cameraModel()->rowCount(), 2);
        h.startDeviceSearch();
        QCOMPARE(h.cameraModel()->rowCount(), 0); // hand-added rows go too
        QCOMPARE(h.stationModel()->rowCount(), 1);
    }

    // Manual rows survive a refresh in the order the model holds them, whatever
    // order they were added in.
    void refreshKeepsManualRowsInModelOrder()
    {
        CheckedHarness h;
        h.answerSearch(h.startDeviceSearch(), {foundDevice("s1", "10.0.0.1"), foundDevice("s2", "10.0.0.3")});
        QVERIFY(h.call("addDevice", {"late", 0, "10.0.0.4", 80}).toBool());
        QVERIFY(h.call("addDevice", {"early", 0, "10.0.0.2", 80}).toBool());
        // A view may sort the model itself: rows 1 and 3 of four are now the manual ones.
        h.cameraModel()->setSortRole(Cam::Ip);
        h.cameraModel()->sort(0);
        QCOMPARE(column(h.cameraModel(), Cam::Ip), QStringLiteral("10.0.0.1,10.0.0.2,10.0.0.3,10.0.0.4"));

        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QVERIFY(h.call("refreshDevices", {0, 0}).toBool());
        QCOMPARE(column(h.cameraModel(), Cam::HostName), QStringLiteral("early,late"));
        QCOMPARE(column(h.cameraModel(), Cam::Manual), QStringLiteral("true,true"));
        QCOMPARE(h.cameraProxy()->rowCount(), 2);

        // The kept rows are still found by id: a new answer merges, it does not duplicate.
        const QString keptId = h.cameraModel()->item(0)->data(Cam::Id).toString();
        h.answerSearch(h.wrapper().lastRequestId(),
                       {foundDevice(keptId, "10.0.0.2", 80, 1), foundDevice("s3", "10.0.0.7")});
        QCOMPARE(answers.count(), 1);
        QCOMPARE(column(h.cameraModel(), Cam::Ip), QStringLiteral("10.0.0.2,10.0.0.4,10.0.0.7"));
    }

    void refusedSendChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::newRow("searchDevices") << QByteArray("searchDevices");
        QTest::newRow("refreshDevices") << QByteArray("refreshDevices");
        QTest::newRow("searchStations") << QByteArray("searchStations");
    }

    void refusedSendChangesNothing()
    {
        QFETCH(QByteArray, method);
        const bool station = method == "searchStations";
        CheckedHarness h;
        const QString deviceId = h.startDeviceSearch();
        h.answerSearch(deviceId, {foundDevice("a", "10.0.0.1")});
        const QString stationId = h.startStationSearch();
        h.answerSearch(stationId, {foundDevice("s", "10.0.0.5")});

        h.wrapper().sendResult = false;
        QCOMPARE(h.call(method, station ? QVariantList() : QVariantList{0, 0}).toBool(), false);
        QCOMPARE(h.cameraModel()->rowCount(), 1);
        QCOMPARE(h.stationModel()->rowCount(), 1);

        // The refused request was never stored: the earlier one still collects answers.
        QSignalSpy answers(h.object(), station ? SIGNAL(searchStationsResp(bool,bool))
                                               : SIGNAL(searchDevicesResp(bool,bool)));
        h.answerSearch(h.wrapper().lastRequestId(), {foundDevice("c", "10.0.0.3")});
        QCOMPARE(answers.count(), 0);
        h.answerSearch(station ? stationId : deviceId, {foundDevice("b", "10.0.0.2")});
        QCOMPARE(answers.count(), 1);
        QCOMPARE((station ? h.stationModel() : h.cameraModel())->rowCount(), 2);
    }
};

QTEST_MAIN(tst_SearchRequests)
#include "tst_search_requests.moc"
