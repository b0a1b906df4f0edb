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

    // Sends a command and waits until everything it causes was delivered.
    bool run(const QString& command, const QVariant& parameters, void* userData = nullptr)
    {
        if (!server->takeCommand(command, parameters, userData))
            return false;
        // Nothing arrives from inside the command: the plug-in stores its request id afterwards.
        return client.log.isEmpty()
            && (server->isIdle() || QSignalSpy(server.get(), &SimulatedServer::idle).wait(5000));
    }
};

QVariantMap search(const QVariantMap& extra = {})
{
    QVariantMap request{{"reqUID", "{r1}"}, {"relayPath", QString()}, {"maxRet", -1}, {"devIpContains", QString()},
                        {"searchType", 0}};
    request.insert(extra);
    return request;
}

QVariantMap login(const QString& ip, const QString& password)
{
    return {{"delID", "x"},          {"IP", ip}, {"HttpPort", 80}, {"Username", "admin"},
            {"Password", password}, {"Brand", 0}, {"MAC", QString()}};
}

} // namespace

// What the end-to-end scenario cannot tell apart: the timing and shape of the
// answers, searches and logins the scenario never makes, and the wrapper's refusals.
class tst_SimulatedSite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void searchAnswersInBatchesThenDetects()
    {
        Fixture f;
        QVERIFY(f.run("searchDevice", search({{"checkAuth", true}, {"onvifCombined", true}})));

        QString shape;  // "a" for an answer ("A" when done), "d" for a detection result
        QMap<QString, int> detections;
        for (const RecordingClient::Delivery& delivery : std::as_const(f.client.log)) {
            QCOMPARE(delivery.data.value("reqUID").toString(), QStringLiteral("{r1}"));
            if (delivery.isEvent) {
                QCOMPARE(delivery.name, QStringLiteral("detCamResEvt"));
                detections.insert(delivery.data.value("delID").toString(), delivery.data.value("detRes").toInt());
                shape += 'd';
            } else {
                QCOMPARE(delivery.resultCode, QStringLiteral("0"));
                QCOMPARE(delivery.data.value("checkAuth"), QVariant(true));
                shape += delivery.done ? 'A' : 'a';
            }
        }
        // One result per camera, not per answer, all after the last batch.
        QCOMPARE(shape, QStringLiteral("aaA") + QString(10, 'd'));
        // Faults are about logins; the check itself goes through.
        QCOMPARE(detections.value("silent"), 1);
    }

    void searchListsWhatTheRequestAsksFor_data()
    {
        QTest::addColumn<QVariantMap>("request");
        QTest::addColumn<QString>("arrivals");  // id:brand:MAC

        QTest::newRow("ONVIF devices only when combined")
            << search({{"maxRet", 4}}) << "native:0:AABBCCDDEEFF,native2:0:,rtsp:2:,odd:0:";
        // The same camera over ONVIF has MAC in lower case with hyphens; which way
        // comes first alternates from camera to camera.
        QTest::newRow("combined: dual cameras twice, either order first; the limit counts devices")
            << search({{"onvifCombined", true}, {"maxRet", 3}})
            << "native:1:aa-bb-cc-dd-ee-ff,native2:0:,onvif:1:,native:0:AABBCCDDEEFF,native2:1:";
    }

    void searchListsWhatTheRequestAsksFor()
    {
        QFETCH(QVariantMap, request);
        QFETCH(QString, arrivals);
        Fixture f;
        QVERIFY(f.run("searchDevice", request));
        QStringList seen;
        for (const RecordingClient::Delivery& answer : f.client.log) {
            for (const QVariant& entry : answer.data.value("devList").toList()) {
                const QVariantMap device = entry.toMap();
                seen.append(QStringLiteral("%1:%2:%3").arg(device.value("delID").toString(),
                                                          device.value("Brand").toString(),
                                                          device.value("MAC").toString()));
            }
        }
        QCOMPARE(seen.join(','), arrivals);
    }

    void loginAnswers_data()
    {
        QTest::addColumn<QVariantMap>("device");
        QTest::addColumn<QString>("resultCode");
        QTest::addColumn<QString>("answer");  // detRes Model MAC Brand ChannelNum CamRTSPPort, "-" when left out; URLs

        QTest::newRow("accepted, with the camera's facts")
            << login("10.0.0.1", "admin") << "0" << "0 N1 AABBCCDDEEFF 0 2 554 4";
        QTest::newRow("the site's own failure code") << login("10.0.3.8", "") << "Busy" << "-1 - - - - - 0";
        QTest::newRow("address nobody answers on") << login("10.9.9.9", "") << "0" << "2 - - - - - 0";
    }

    void loginAnswers()
    {
        QFETCH(QVariantMap, device);
        QFETCH(QString, resultCode);
        QFETCH(QString, answer);

        Fixture f;
        int context = 0;
        QVERIFY(f.run("authorizeDevice", device, &context));
        QCOMPARE(f.client.log.size(), 1);
        const RecordingClient::Delivery delivery = f.client.log.constFirst();
        QCOMPARE(delivery.name, QStringLiteral("authorizeDevice"));
        QCOMPARE(delivery.userData, static_cast<void*>(&context));
        QCOMPARE(delivery.resultCode, resultCode);
        QVERIFY(!delivery.data.contains("delID"));
        QStringList values;
        for (const char* key : {"detRes", "Model", "MAC", "Brand", "ChannelNum", "CamRTSPPort"})
            values.append(delivery.data.contains(key) ? delivery.data.value(key).toString() : "-");
        values.append(QString::number(delivery.data.value("StreamURLList").toList().size()));
        QCOMPARE(values.join(' '), answer);
    }

    void unknownCommandsAndForeignContextsAreRefused()
    {
        Fixture f;
        TopologyPlugin topology(f.site);
        int hostContext = 0;
        int otherContext = 0;
        ReferenceFrameworkWrapper wrapper(&hostContext, *f.server, topology);
        QVERIFY(!wrapper.SendCommand(&hostContext, QString(), "SearchDevice", search(), nullptr, false, QString()));
        QVERIFY(!wrapper.SendCommand(&otherContext, QString(), "searchDevice", search(), nullptr, false, QString()));
        QCOMPARE(wrapper.GetPluginObject(&otherContext, TopologyPlugin::PluginId), nullptr);
        QCOMPARE(wrapper.GetPluginObject(&hostContext, "81A12407F58943CAB74F1F5D78E64C67"), nullptr);
        QCOMPARE(wrapper.GetPluginObject(&hostContext, TopologyPlugin::PluginId), &topology);
        QCOMPARE(f.server->commandsTaken(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_SimulatedSite)
#include "tst_simulated_site.moc"
