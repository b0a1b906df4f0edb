#include "ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

namespace {

// The keys of the newest command's parameters, sorted, as "a,b,c".
QString sentKeys(PluginHarness& h)
{
    QStringList keys = h.wrapper().last().map().keys();
    keys.sort();
    return keys.join(',');
}

QVariant sent(PluginHarness& h, const char* key) { return h.wrapper().last().map().value(key); }

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

    // All seven SendCommand arguments, and a fresh lower-case braced UUID each time.
    void everyCommandCarriesContextIdAndFreshUuid()
    {
        PluginHarness h;
        ModelTesters testers(h);
        static const QRegularExpression braced("^\\{[0-9a-f]{8}-([0-9a-f]{4}-){3}[0-9a-f]{12}\\}$");
        for (int i = 0; i < 2; ++i) {
            QVERIFY(h.call("searchDevices", {0, 0}).toBool());
            QVERIFY(h.call("refreshDevices", {0, 0}).toBool());
            QVERIFY(h.call("searchStations").toBool());
        }
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
        QCOMPARE(ids.size(), 6);
    }

    // Each known bit adds its key as true; a clear bit leaves the key out.
    void flagBits_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QString>("flagKeys");
        QTest::newRow("0 sends no flag key") << QByteArray("searchDevices") << 0 << "";
        QTest::newRow("1 unmanagedOnly") << QByteArray("searchDevices") << 1 << "unmanagedOnly";
        QTest::newRow("2 checkAuth") << QByteArray("searchDevices") << 2 << "checkAuth";
        QTest::newRow("4 onvifCombined") << QByteArray("searchDevices") << 4 << "onvifCombined";
        QTest::newRow("10 is 2 plus an unknown bit") << QByteArray("searchDevices") << 10 << "checkAuth";
        QTest::newRow("refresh, 7") << QByteArray("refreshDevices") << 7 << "checkAuth,onvifCombined,unmanagedOnly";
    }

    void flagBits()
    {
        QFETCH(QByteArray, method);
        QFETCH(int, flag);
        QFETCH(QString, flagKeys);
        PluginHarness h;
        ModelTesters testers(h);
        QVERIFY(h.call(method, {5, flag, "relay/7", 25}).toBool());
        QStringList keys = QStringList{"reqUID", "relayPath", "maxRet", "devIpContains", "searchType"};
        if (!flagKeys.isEmpty())
            keys += flagKeys.split(',');
        keys.sort();
        QCOMPARE(sentKeys(h), keys.join(','));
        for (const QString& key : flagKeys.split(',', Qt::SkipEmptyParts))
            QCOMPARE(sent(h, qPrintable(key)), QVariant(true));
        QCOMPARE(sent(h, "searchType"), QVariant(5));
        QCOMPARE(sent(h, "relayPath"), QVariant("relay/7"));
        QCOMPARE(sent(h, "maxRet"), QVariant(25));
    }

    void environmentOverrides_data()
    {
        QTest::addColumn<QVariant>("maxCount");   // invalid: variable not set
        QTest::addColumn<QVariant>("ipContains"); // invalid: variable not set
        QTest::addColumn<int>("maxRet");
        QTest::addColumn<QString>("ipFilter");
        QTest::newRow("neither set") << QVariant() << QVariant() << 25 << "";
        QTest::newRow("limit 50 beats the caller") << QVariant("50") << QVariant() << 50 << "";
        QTest::newRow("limit of letters is 0") << QVariant("abc") << QVariant() << 0 << "";
        QTest::newRow("limit 7, ip text passed as is") << QVariant("7") << QVariant(" 10.1 ") << 7 << " 10.1 ";
    }

    void environmentOverrides()
    {
        QFETCH(QVariant, maxCount);
        QFETCH(QVariant, ipContains);
        QFETCH(int, maxRet);
        QFETCH(QString, ipFilter);
        if (maxCount.isValid())
            qputenv("MAX_SRCH_DEV_CNT", maxCount.toByteArray());
        if (ipContains.isValid())
            qputenv("DEV_IP_CONTAINS", ipContains.toByteArray());
        PluginHarness h;
        ModelTesters testers(h);
        for (const QByteArray& method : {QByteArray("searchDevices"), QByteArray("refreshDevices")}) {
            QVERIFY(h.call(method, {0, 0, QString(), 25}).toBool());
            QCOMPARE(sent(h, "maxRet"), QVariant(maxRet));
            QCOMPARE(sent(h, "devIpContains"), QVariant(ipFilter));
        }
        QVERIFY(h.call("searchStations").toBool());
        QCOMPARE(sent(h, "maxRet"), QVariant(maxCount.isValid() ? maxRet : -1));
        QCOMPARE(sent(h, "devIpContains"), QVariant(ipFilter));
    }

    void environmentIsReadForEveryRequest()
    {
        PluginHarness h;
        ModelTesters testers(h);
        const auto sentLimitAndIp = [&] {
            h.call("searchDevices", {0, 0, QString(), 25});
            return sent(h, "maxRet").toString() + ' ' + sent(h, "devIpContains").toString();
        };
        QCOMPARE(sentLimitAndIp(), QStringLiteral("25 "));
        qputenv("MAX_SRCH_DEV_CNT", "50");
        qputenv("DEV_IP_CONTAINS", "10.");
        QCOMPARE(sentLimitAndIp(), QStringLiteral("50 10."));
        qunsetenv("MAX_SRCH_DEV_CNT");
        qunsetenv("DEV_IP_CONTAINS");
        QCOMPARE(sentLimitAndIp(), QStringLiteral("25 "));
    }

    void stationSearchParameters()
    {
        PluginHarness h;
        ModelTesters testers(h);
        QVERIFY(h.call("searchStations").toBool());
        QCOMPARE(sentKeys(h), QStringLiteral("devIpContains,maxRet,relayPath,reqUID,searchType,unmanagedOnly"));
        QCOMPARE(sent(h, "searchType"), QVariant(24));
        QCOMPARE(sent(h, "unmanagedOnly"), QVariant(true));
        QCOMPARE(sent(h, "maxRet"), QVariant(-1));
        QCOMPARE(sent(h, "relayPath").metaType(), QMetaType::fromType<QString>());
        QVERIFY(sent(h, "relayPath").toString().isEmpty());
    }

    void acceptedSearchesEmptyTheirOwnModel()
    {
        PluginHarness h;
        ModelTesters testers(h);
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
        PluginHarness h;
        ModelTesters testers(h);
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
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<bool>("station");
        QTest::newRow("searchDevices") << QByteArray("searchDevices") << QVariantList{0, 0} << false;
        QTest::newRow("refreshDevices") << QByteArray("refreshDevices") << QVariantList{0, 0} << false;
        QTest::newRow("searchStations") << QByteArray("searchStations") << QVariantList{} << true;
    }

    void refusedSendChangesNothing()
    {
        QFETCH(QByteArray, method);
        QFETCH(QVariantList, args);
        QFETCH(bool, station);
        PluginHarness h;
        ModelTesters testers(h);
        const QString deviceId = h.startDeviceSearch();
        h.answerSearch(deviceId, {foundDevice("a", "10.0.0.1")});
        const QString stationId = h.startStationSearch();
        h.answerSearch(stationId, {foundDevice("s", "10.0.0.5")});

        h.wrapper().sendResult = false;
        QCOMPARE(h.call(method, args).toBool(), false);
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
