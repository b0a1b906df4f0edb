#include <ReferenceFrameworkWrapper.h>
#include <SimulatedServer.h>
#include <Site.h>
#include <TopologyPlugin.h>

#include <PluginBase.h>

#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>

namespace {

// The plug-in's side of the bridge, reduced to a log of what the server delivered.
class RecordingClient : public PluginBase
{
    Q_OBJECT
    Q_INTERFACES(PluginBase)

public:
    struct Delivery
    {
        QString name;  // command answered, or event
        QVariantMap data;
        void* userData = nullptr;
        QString resultCode;
        bool done = false;
        bool isEvent = false;
    };
    QList<Delivery> log;

    bool InitialPluginBase(QQmlContext*, void*, FrameworkWrapperBase*) override { return true; }
    void EventProcessor(QString event, qint64, int, int, QVariant data, const QString&) override
    {
        log.append({event, data.toMap(), nullptr, QString(), false, true});
    }
    void EventProcessorEx(QString, ConfigBase*, qint64, int, int, QVariant, const QString&) override {}
    void CommandProcessor(QString command, QVariant result, void* userData, QString resultCode, QString, bool done,
                          const QString&) override
    {
        log.append({command, result.toMap(), userData, resultCode, done, false});
    }
    void CommandProcessorEx(QString, ConfigBase*, QVariant, void*, QString, QString, bool, const QString&) override {}
    bool Init(QQmlContext*) override { return true; }

    QList<Delivery> answers() const
    {
        QList<Delivery> list;
        std::copy_if(log.cbegin(), log.cend(), std::back_inserter(list), [](const Delivery& d) { return !d.isEvent; });
        return list;
    }
    // The ids of every device the search answers listed, in arrival order.
    QStringList listedIds() const
    {
        QStringList ids;
        for (const Delivery& answer : answers()) {
            for (const QVariant& device : answer.data.value(QStringLiteral("devList")).toList())
                ids.append(device.toMap().value(QStringLiteral("delID")).toString());
        }
        return ids;
    }
};

const QByteArray kSite = R"({
  "timing": {"searchBatches": 3, "batchDelayMs": 1, "detectionDelayMs": 1, "authorizeDelayMs": 1},
  "defaultCredentials": [{"username": "admin", "password": "admin"}],
  "cameras": [
    {"id": "native", "ip": "10.0.0.1", "password": "admin", "alsoOnvif": true, "mac": "AABBCCDDEEFF", "model": "N1", "channels": 2},
    {"id": "native2", "ip": "10.0.0.2", "password": "x", "alsoOnvif": true},
    {"id": "onvif", "ip": "10.0.1.3", "password": "x", "brand": "onvif"},
    {"id": "rtsp", "ip": "10.0.1.4", "state": "unreachable", "brand": "rtsp"},
    {"id": "odd", "ip": "10.0.1.5", "state": "unsupported", "httpPort": 0, "httpsPort": 8443},
    {"id": "managed", "ip": "10.0.2.6"},
    {"id": "partly", "ip": "10.0.2.7", "channels": 2},
    {"id": "busy", "ip": "10.0.3.8", "fault": "failureCode", "faultCode": "Busy"},
    {"id": "broken", "ip": "10.0.3.9", "fault": "internalError"},
    {"id": "silent", "ip": "10.0.3.10", "fault": "noAnswer"}
  ],
  "topology": [{"ip": "10.0.2.6", "port": "80"}, {"ip": "10.0.2.7", "port": "80", "channelNum": 2, "channels": [2]}]
})";

struct Fixture
{
    Site site;
    RecordingClient client;
    std::unique_ptr<SimulatedServer> server;

    Fixture()
    {
        QString error;
        if (!Site::parse(kSite, site, error))
            qFatal("test site: %s", qPrintable(error));
        server = std::make_unique<SimulatedServer>(site);
        server->setClient(&client);
    }

    bool send(const QString& command, const QVariant& parameters, void* userData = nullptr)
    {
        return server->takeCommand(command, parameters, userData);
    }

    bool settle() { return server->isIdle() || QSignalSpy(server.get(), &SimulatedServer::idle).wait(5000); }
};

QVariantMap search(int type, const QVariantMap& extra = {})
{
    QVariantMap request{{QStringLiteral("reqUID"), QStringLiteral("{r1}")}, {QStringLiteral("relayPath"), QString()},
                        {QStringLiteral("maxRet"), -1}, {QStringLiteral("devIpContains"), QString()},
                        {QStringLiteral("searchType"), type}};
    request.insert(extra);
    return request;
}

QVariantMap login(const QString& id, const QString& ip, int port, const QString& password)
{
    return {{QStringLiteral("delID"), id},          {QStringLiteral("IP"), ip},
            {QStringLiteral("HttpPort"), port},     {QStringLiteral("Username"), QStringLiteral("admin")},
            {QStringLiteral("Password"), password}, {QStringLiteral("Brand"), 0},
            {QStringLiteral("MAC"), QString()}};
}

} // namespace

// What the end-to-end scenario cannot tell apart: the timing and shape of the
// answers, searches the scenario never makes, single logins, and the wrapper's refusals.
class tst_SimulatedSite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void searchAnswersInBatchesThenDetects()
    {
        Fixture f;
        QVERIFY(f.send(QStringLiteral("searchDevice"),
                       search(0, {{QStringLiteral("checkAuth"), true}, {QStringLiteral("onvifCombined"), true}})));
        // Nothing arrives from inside the command: the plug-in stores its request id afterwards.
        QVERIFY(f.client.log.isEmpty());
        QVERIFY(f.settle());

        QStringList shape;  // "a" for an answer ("A" when done), "d" for a detection result
        QMap<QString, int> detections;
        for (const RecordingClient::Delivery& delivery : std::as_const(f.client.log)) {
            QCOMPARE(delivery.data.value(QStringLiteral("reqUID")).toString(), QStringLiteral("{r1}"));
            if (delivery.isEvent) {
                QCOMPARE(delivery.name, QStringLiteral("detCamResEvt"));
                detections.insert(delivery.data.value(QStringLiteral("delID")).toString(),
                                  delivery.data.value(QStringLiteral("detRes")).toInt());
                shape.append(QStringLiteral("d"));
                continue;
            }
            QCOMPARE(delivery.resultCode, QStringLiteral("0"));
            QCOMPARE(delivery.data.value(QStringLiteral("checkAuth")), QVariant(true));
            shape.append(delivery.done ? QStringLiteral("A") : QStringLiteral("a"));
        }
        // One result per camera, not per answer, all after the last batch.
        QCOMPARE(shape.join(QString()), QStringLiteral("aaA") + QStringLiteral("d").repeated(10));
        QCOMPARE(detections.value(QStringLiteral("native")), 0);
        QCOMPARE(detections.value(QStringLiteral("odd")), 3);
        // Faults are about logins; the check itself goes through.
        QCOMPARE(detections.value(QStringLiteral("silent")), 1);
    }

    void searchListsWhatTheRequestAsksFor_data()
    {
        QTest::addColumn<QVariantMap>("request");
        QTest::addColumn<QString>("ids");

        QTest::newRow("ONVIF devices only when combined")
            << search(0) << QStringLiteral("native,native2,rtsp,odd,managed,partly,busy,broken,silent");
        QTest::newRow("combined: native cameras twice, the limit counts devices")
            << search(0, {{QStringLiteral("onvifCombined"), true}, {QStringLiteral("maxRet"), 3}})
            << QStringLiteral("native,native2,onvif,native,native2");
    }

    void searchListsWhatTheRequestAsksFor()
    {
        QFETCH(QVariantMap, request);
        QFETCH(QString, ids);
        Fixture f;
        QVERIFY(f.send(QStringLiteral("searchDevice"), request));
        QVERIFY(f.settle());
        QCOMPARE(f.client.listedIds().join(QLatin1Char(',')), ids);
    }

    // The same camera over its own protocol (brand 0) and over ONVIF (brand 1, MAC
    // in lower case with hyphens), the first one each way round.
    void dualCamerasArriveInEitherOrder()
    {
        Fixture f;
        QVERIFY(f.send(QStringLiteral("searchDevice"),
                       search(0, {{QStringLiteral("onvifCombined"), true}, {QStringLiteral("maxRet"), 2}})));
        QVERIFY(f.settle());
        QMap<QString, QStringList> arrivals;
        for (const RecordingClient::Delivery& answer : f.client.answers()) {
            for (const QVariant& entry : answer.data.value(QStringLiteral("devList")).toList()) {
                const QVariantMap device = entry.toMap();
                arrivals[device.value(QStringLiteral("delID")).toString()].append(
                    device.value(QStringLiteral("Brand")).toString() + QLatin1Char(' ')
                    + device.value(QStringLiteral("MAC")).toString());
            }
        }
        QCOMPARE(arrivals.value(QStringLiteral("native")),
                 (QStringList{QStringLiteral("1 aa-bb-cc-dd-ee-ff"), QStringLiteral("0 AABBCCDDEEFF")}));
        QCOMPARE(arrivals.value(QStringLiteral("native2")).value(0).left(1), QStringLiteral("0"));
    }

    void loginAnswers_data()
    {
        QTest::addColumn<QVariantMap>("device");
        QTest::addColumn<QString>("resultCode");  // empty: no answer at all
        QTest::addColumn<int>("detRes");

        QTest::newRow("accepted") << login("a", "10.0.0.1", 80, "admin") << QStringLiteral("0") << 0;
        QTest::newRow("the site's own failure code") << login("e", "10.0.3.8", 80, "") << QStringLiteral("Busy") << -1;
        QTest::newRow("framework internal error")
            << login("f", "10.0.3.9", 80, "") << SimulatedServer::FrameworkInternalError << -1;
        QTest::newRow("no answer") << login("g", "10.0.3.10", 80, "") << QString() << 0;
        QTest::newRow("address nobody answers on") << login("h", "10.9.9.9", 80, "") << QStringLiteral("0") << 2;
    }

    void loginAnswers()
    {
        QFETCH(QVariantMap, device);
        QFETCH(QString, resultCode);
        QFETCH(int, detRes);

        for (const bool asList : {false, true}) {
            Fixture f;
            int context = 0;
            const QString command = asList ? QStringLiteral("authorizeDeviceList") : QStringLiteral("authorizeDevice");
            QVERIFY(f.send(command, asList ? QVariant(QVariantList{device}) : QVariant(device), &context));
            QVERIFY(f.client.log.isEmpty());
            QVERIFY(f.settle());
            if (resultCode.isEmpty()) {
                QTest::qWait(20);
                QVERIFY(f.client.log.isEmpty());
                continue;
            }
            QCOMPARE(f.client.log.size(), 1);
            const RecordingClient::Delivery answer = f.client.log.constFirst();
            QCOMPARE(answer.name, command);
            QCOMPARE(answer.userData, static_cast<void*>(&context));
            QCOMPARE(answer.resultCode, resultCode);
            QCOMPARE(answer.data.value(QStringLiteral("detRes")).toInt(), detRes);
            QCOMPARE(answer.data.value(QStringLiteral("delID")).toString(),
                     asList ? device.value(QStringLiteral("delID")).toString() : QString());
            if (resultCode != QLatin1String("0") || detRes != 0)
                continue;
            const QVariantMap& facts = answer.data;
            QCOMPARE(QStringLiteral("%1 %2 %3 %4 %5 %6")
                         .arg(facts.value(QStringLiteral("Model")).toString(), facts.value(QStringLiteral("MAC")).toString())
                         .arg(facts.value(QStringLiteral("Brand")).toInt())
                         .arg(facts.value(QStringLiteral("ChannelNum")).toInt())
                         .arg(facts.value(QStringLiteral("CamRTSPPort")).toInt())
                         .arg(facts.value(QStringLiteral("StreamURLList")).toList().size()),
                     QStringLiteral("N1 AABBCCDDEEFF 0 2 554 4"));
        }
    }

    void unknownCommandsAndForeignContextsAreRefused()
    {
        Fixture f;
        TopologyPlugin topology(f.site);
        int hostContext = 0;
        int otherContext = 0;
        ReferenceFrameworkWrapper wrapper(&hostContext, *f.server, topology);
        QVERIFY(!wrapper.SendCommand(&hostContext, QString(), QStringLiteral("SearchDevice"), search(0), nullptr,
                                     false, QString()));
        QVERIFY(!wrapper.SendCommand(&otherContext, QString(), QStringLiteral("searchDevice"), search(0), nullptr,
                                     false, QString()));
        QCOMPARE(wrapper.GetPluginObject(&otherContext, TopologyPlugin::PluginId), nullptr);
        QCOMPARE(wrapper.GetPluginObject(&hostContext, QStringLiteral("81A12407F58943CAB74F1F5D78E64C67")), nullptr);
        QCOMPARE(wrapper.GetPluginObject(&hostContext, TopologyPlugin::PluginId), &topology);
        QCOMPARE(f.server->commandsTaken(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_SimulatedSite)
#include "tst_simulated_site.moc"
