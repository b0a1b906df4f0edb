#include "../spine/ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QRegularExpression>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>

namespace {

const QStringList kBaseKeys{"reqUID", "relayPath", "maxRet", "devIpContains", "searchType"};

QStringList sortedKeys(const QVariantMap& map)
{
    QStringList keys = map.keys();
    keys.sort();
    return keys;
}

} // namespace

// What searchDevices, refreshDevices and searchStations send, and what they do to
// the models and the stored request ids.
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

    void commandCarriesHostContextAndPluginId_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QVariantList>("args");
        QTest::newRow("searchDevices") << QByteArray("searchDevices") << QVariantList{0, 0};
        QTest::newRow("refreshDevices") << QByteArray("refreshDevices") << QVariantList{0, 0};
        QTest::newRow("searchStations") << QByteArray("searchStations") << QVariantList{};
    }

    void commandCarriesHostContextAndPluginId()
    {
        QFETCH(QByteArray, method);
        QFETCH(QVariantList, args);
        PluginHarness h;
        ModelTesters testers(h);
        QVERIFY(h.call(method, args).toBool());
        QCOMPARE(h.wrapper().sent.size(), 1);
        const SentCommand& sent = h.wrapper().last();
        QCOMPARE(sent.hostContext, PluginHarness::hostContext());
        QCOMPARE(sent.senderPluginId, QStringLiteral("81A12407F58943CAB74F1F5D78E64C67"));
        QCOMPARE(sent.command, QStringLiteral("searchDevice"));
        QCOMPARE(sent.parameters.metaType(), QMetaType::fromType<QVariantMap>());
        QCOMPARE(sent.userData, nullptr);
        QCOMPARE(sent.flag, false);
        QVERIFY(sent.text.isEmpty());
    }

    void everyRequestGetsAFreshBracedUuid()
    {
        PluginHarness h;
        ModelTesters testers(h);
        static const QRegularExpression braced(
            "^\\{[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\}$");
        QSet<QString> seen;
        for (int i = 0; i < 5; ++i) {
            QVERIFY(h.call("searchDevices", {0, 0}).toBool());
            QVERIFY(h.call("refreshDevices", {0, 0}).toBool());
            QVERIFY(h.call("searchStations").toBool());
        }
        for (const SentCommand& sent : std::as_const(h.wrapper().sent)) {
            const QVariant id = sent.map().value("reqUID");
            QCOMPARE(id.metaType(), QMetaType::fromType<QString>());
            QVERIFY2(braced.match(id.toString()).hasMatch(), qPrintable(id.toString()));
            QCOMPARE(QUuid(id.toString()).version(), QUuid::Random);
            seen.insert(id.toString());
        }
        QCOMPARE(seen.size(), 15);
    }

    void qmlDefaults()
    {
        PluginHarness h;
        ModelTesters testers(h);
        QVERIFY(h.call("searchDevices", {0, 0}).toBool());
        const QVariantMap map = h.wrapper().last().map();
        QCOMPARE(map.value("relayPath").metaType(), QMetaType::fromType<QString>());
        QVERIFY(map.value("relayPath").toString().isNull());
        QCOMPARE(map.value("maxRet"), QVariant(-1));
        QCOMPARE(map.value("devIpContains"), QVariant(QString()));
        QCOMPARE(map.value("searchType"), QVariant(0));

        QVERIFY(h.call("refreshDevices", {3, 0, "relay/7", 25}).toBool());
        const QVariantMap given = h.wrapper().last().map();
        QCOMPARE(given.value("relayPath"), QVariant(QStringLiteral("relay/7")));
        QCOMPARE(given.value("maxRet"), QVariant(25));
        QCOMPARE(given.value("searchType"), QVariant(3));
    }

    void flagBits_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QStringList>("flagKeys");
        for (const QByteArray& method : {QByteArray("searchDevices"), QByteArray("refreshDevices")}) {
            const auto row = [&](const char* name) -> QTestData& {
                return QTest::addRow("%s, %s", method.data(), name);
            };
            row("0 sends no flag") << method << 0 << QStringList();
            row("1 unmanagedOnly") << method << 1 << QStringList{"unmanagedOnly"};
            row("2 checkAuth") << method << 2 << QStringList{"checkAuth"};
            row("4 onvifCombined") << method << 4 << QStringList{"onvifCombined"};
            row("7 all three") << method << 7 << QStringList{"unmanagedOnly", "checkAuth", "onvifCombined"};
            row("8 is ignored") << method << 8 << QStringList();
            row("-1 sets every bit") << method << -1 << QStringList{"unmanagedOnly", "checkAuth", "onvifCombined"};
            row("10 is 2 plus an unknown bit") << method << 10 << QStringList{"checkAuth"};
        }
    }

    void flagBits()
    {
        QFETCH(QByteArray, method);
        QFETCH(int, flag);
        QFETCH(QStringList, flagKeys);
        PluginHarness h;
        ModelTesters testers(h);
        QVERIFY(h.call(method, {5, flag}).toBool());
        const QVariantMap map = h.wrapper().last().map();
        QStringList expectedKeys = kBaseKeys + flagKeys;
        expectedKeys.sort();
        QCOMPARE(sortedKeys(map), expectedKeys);
        for (const QString& key : flagKeys)
            QCOMPARE(map.value(key), QVariant(true));
        QCOMPARE(map.value("searchType"), QVariant(5));
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
        QTest::newRow("empty limit is 0") << QVariant("") << QVariant() << 0 << "";
        QTest::newRow("ip text passed as is") << QVariant() << QVariant("192.168.") << 25 << "192.168.";
        QTest::newRow("empty ip text") << QVariant() << QVariant("") << 25 << "";
        QTest::newRow("both") << QVariant("7") << QVariant(" 10.1 ") << 7 << " 10.1 ";
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
            QCOMPARE(h.wrapper().last().map().value("maxRet"), QVariant(maxRet));
            QCOMPARE(h.wrapper().last().map().value("devIpContains"), QVariant(ipFilter));
        }
        QVERIFY(h.call("searchStations").toBool());
        QCOMPARE(h.wrapper().last().map().value("maxRet"), QVariant(maxRet == 25 ? -1 : maxRet));
        QCOMPARE(h.wrapper().last().map().value("devIpContains"), QVariant(ipFilter));
    }

    void environmentIsReadForEveryRequest()
    {
        PluginHarness h;
        ModelTesters testers(h);
        const auto sentLimit = [&] {
            h.call("searchDevices", {0, 0, QString(), 25});
            return h.wrapper().last().map().value("maxRet").toInt();
        };
        const auto sentIpFilter = [&] { return h.wrapper().last().map().value("devIpContains").toString(); };
        QCOMPARE(sentLimit(), 25);
        qputenv("MAX_SRCH_DEV_CNT", "50");
        qputenv("DEV_IP_CONTAINS", "10.");
        QCOMPARE(sentLimit(), 50);
        QCOMPARE(sentIpFilter(), QStringLiteral("10."));
        qputenv("MAX_SRCH_DEV_CNT", "3");
        qunsetenv("DEV_IP_CONTAINS");
        QCOMPARE(sentLimit(), 3);
        QCOMPARE(sentIpFilter(), QString());
        qunsetenv("MAX_SRCH_DEV_CNT");
        QCOMPARE(sentLimit(), 25);
    }

    void stationSearchParameters()
    {
        PluginHarness h;
        ModelTesters testers(h);
        QVERIFY(h.call("searchStations").toBool());
        const QVariantMap map = h.wrapper().last().map();
        QStringList expectedKeys = kBaseKeys + QStringList{"unmanagedOnly"};
        expectedKeys.sort();
        QCOMPARE(sortedKeys(map), expectedKeys);
        QCOMPARE(map.value("searchType"), QVariant(24));
        QCOMPARE(map.value("unmanagedOnly"), QVariant(true));
        QCOMPARE(map.value("maxRet"), QVariant(-1));
        QCOMPARE(map.value("relayPath").metaType(), QMetaType::fromType<QString>());
        QVERIFY(map.value("relayPath").toString().isEmpty());
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
        QCOMPARE(column(h.stationModel(), Sta::Id), QStringLiteral("t"));
        QCOMPARE(h.cameraModel()->rowCount(), 2);
        h.startDeviceSearch();
        QCOMPARE(h.cameraModel()->rowCount(), 0); // hand-added rows go too
        QCOMPARE(h.stationModel()->rowCount(), 1);
        QCOMPARE(h.cameraModel()->roleNames().value(Qt::UserRole), QByteArray("idRole"));
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
        QCOMPARE(column(h.cameraModel(), Cam::Ip), QStringLiteral("10.0.0.2,10.0.0.4"));
        QCOMPARE(column(h.cameraModel(), Cam::HostName), QStringLiteral("early,late"));
        QCOMPARE(h.cameraModel()->item(0)->data(Cam::Manual), QVariant(true));
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
        h.answerSearch(station ? stationId : deviceId, {foundDevice("b", "10.0.0.2")});
        QCOMPARE(answers.count(), 1);
        QCOMPARE((station ? h.stationModel() : h.cameraModel())->rowCount(), 2);
        const QString refusedId = h.wrapper().lastRequestId();
        h.answerSearch(refusedId, {foundDevice("c", "10.0.0.3")});
        QCOMPARE(answers.count(), 1);
    }
};

QTEST_MAIN(tst_SearchRequests)
#include "tst_search_requests.moc"
