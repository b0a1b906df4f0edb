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
        QString name;           // command answered, or event
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
        for (const Delivery& delivery : log) {
            if (!delivery.isEvent)
                list.append(delivery);
        }
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
  "stations": [{"id": "st", "ip": "10.0.9.1", "qrlnModel": "NVR-X"}, {"id": "st-managed", "ip": "10.0.9.2"}],
  "topology": [
    {"ip": "10.0.2.6", "port": "80"},
    {"ip": "10.0.2.7", "port": "80", "channelNum": 2, "channels": [2]},
    {"ip": "10.0.9.2", "port": "80"}
  ]
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

    bool settle()
    {
        return server->isIdle() || QSignalSpy(server.get(), &SimulatedServer::idle).wait(5000);
    }
};

QVariantMap search(int type, const QVariantMap& extra = {})
{
    QVariantMap request{{QStringLiteral("reqUID"), QStringLiteral("{r1}")},
                        {QStringLiteral("relayPath"), QString()},
                        {QStringLiteral("maxRet"), -1},
                        {QStringLiteral("devIpContains"), QString()},
                        {QStringLiteral("searchType"), type}};
    for (auto it = extra.cbegin(); it != extra.cend(); ++it)
        request.insert(it.key(), it.value());
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

class tst_SimulatedSite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void searchAnswersLaterInBatches()
    {
        Fixture f;
        QVERIFY(f.send(QStringLiteral("searchDevice"), search(0, {{QStringLiteral("checkAuth"), true}})));
        // Nothing arrives from inside the command: the plug-in stores its request id afterwards.
        QVERIFY(f.client.log.isEmpty());
        QVERIFY(f.settle());

        const QList<RecordingClient::Delivery> answers = f.client.answers();
        QCOMPARE(answers.size(), 3);
        for (int i = 0; i < answers.size(); ++i) {
            QCOMPARE(answers.at(i).name, QStringLiteral("searchDevice"));
            QCOMPARE(answers.at(i).resultCode, QStringLiteral("0"));
            QCOMPARE(answers.at(i).done, i == answers.size() - 1);
            QCOMPARE(answers.at(i).data.value(QStringLiteral("reqUID")).toString(), QStringLiteral("{r1}"));
            QCOMPARE(answers.at(i).data.value(QStringLiteral("checkAuth")), QVariant(true));
        }
    }

    void searchListsWhatTheRequestAsksFor_data()
    {
        QTest::addColumn<QVariantMap>("request");
        QTest::addColumn<QString>("ids");

        QTest::newRow("ONVIF devices only when combined")
            << search(0) << QStringLiteral("native,native2,rtsp,odd,managed,partly,busy,broken,silent");
        QTest::newRow("combined: ONVIF devices, native cameras twice")
            << search(0, {{QStringLiteral("onvifCombined"), true}, {QStringLiteral("maxRet"), 3}})
            << QStringLiteral("native,native2,onvif,native,native2");
        QTest::newRow("address contains")
            << search(0, {{QStringLiteral("devIpContains"), QStringLiteral("10.0.3.")}})
            << QStringLiteral("busy,broken,silent");
        QTest::newRow("unmanaged only keeps the partly managed")
            << search(0, {{QStringLiteral("unmanagedOnly"), true}, {QStringLiteral("devIpContains"), QStringLiteral("10.0.2.")}})
            << QStringLiteral("partly");
        QTest::newRow("limit counts devices, not answers")
            << search(0, {{QStringLiteral("maxRet"), 2}}) << QStringLiteral("native,native2");
        QTest::newRow("limit zero lists nothing") << search(0, {{QStringLiteral("maxRet"), 0}}) << QString();
        QTest::newRow("stations, unmanaged only")
            << search(24, {{QStringLiteral("unmanagedOnly"), true}}) << QStringLiteral("st");
    }

    void searchListsWhatTheRequestAsksFor()
    {
        QFETCH(QVariantMap, request);
        QFETCH(QString, ids);
        Fixture f;
        QVERIFY(f.send(QStringLiteral("searchDevice"), request));
        QVERIFY(f.settle());
        QCOMPARE(f.client.listedIds().join(QLatin1Char(',')), ids);
        QVERIFY(f.client.answers().constLast().done);
    }

    void dualCamerasArriveInEitherOrder()
    {
        Fixture f;
        QVERIFY(f.send(QStringLiteral("searchDevice"),
                       search(0, {{QStringLiteral("onvifCombined"), true}, {QStringLiteral("maxRet"), 2}})));
        QVERIFY(f.settle());
        // brand of each arrival, per id, in arrival order
        QMap<QString, QList<int>> brands;
        QMap<QString, QStringList> macs;
        for (const RecordingClient::Delivery& answer : f.client.answers()) {
            for (const QVariant& entry : answer.data.value(QStringLiteral("devList")).toList()) {
                const QVariantMap device = entry.toMap();
                brands[device.value(QStringLiteral("delID")).toString()].append(device.value(QStringLiteral("Brand")).toInt());
                macs[device.value(QStringLiteral("delID")).toString()].append(device.value(QStringLiteral("MAC")).toString());
            }
        }
        QCOMPARE(brands.value(QStringLiteral("native")), (QList<int>{1, 0}));
        QCOMPARE(brands.value(QStringLiteral("native2")), (QList<int>{0, 1}));
        QCOMPARE(macs.value(QStringLiteral("native")), (QStringList{QStringLiteral("aa-bb-cc-dd-ee-ff"),
                                                                    QStringLiteral("AABBCCDDEEFF")}));
    }

    void detectionResultsFollowTheLastBatch()
    {
        Fixture f;
        QVERIFY(f.send(QStringLiteral("searchDevice"),
                       search(0, {{QStringLiteral("checkAuth"), true}, {QStringLiteral("onvifCombined"), true}})));
        QVERIFY(f.settle());

        QMap<QString, QVariantMap> detections;
        bool lastAnswerSeen = false;
        for (const RecordingClient::Delivery& delivery : std::as_const(f.client.log)) {
            if (!delivery.isEvent) {
                QVERIFY2(!lastAnswerSeen || !delivery.done, "two last answers");
                QVERIFY2(detections.isEmpty(), "a detection result came before the search was done");
                lastAnswerSeen = delivery.done;
                continue;
            }
            QCOMPARE(delivery.name, QStringLiteral("detCamResEvt"));
            QCOMPARE(delivery.data.value(QStringLiteral("reqUID")).toString(), QStringLiteral("{r1}"));
            detections.insert(delivery.data.value(QStringLiteral("delID")).toString(), delivery.data);
        }
        QCOMPARE(detections.size(), 10);   // one per camera, not per answer
        auto result = [&detections](const char* id) {
            return detections.value(QString::fromLatin1(id)).value(QStringLiteral("detRes")).toInt();
        };
        QCOMPARE(result("native"), 0);
        QCOMPARE(result("native2"), 1);
        QCOMPARE(result("rtsp"), 2);
        QCOMPARE(result("odd"), 3);
        // Faults are about logins; the check itself goes through.
        QCOMPARE(result("silent"), 1);
        const QVariantMap accepted = detections.value(QStringLiteral("native"));
        QCOMPARE(accepted.value(QStringLiteral("Model")).toString(), QStringLiteral("N1"));
        QCOMPARE(accepted.value(QStringLiteral("ChannelNum")).toInt(), 2);
        QVERIFY(!detections.value(QStringLiteral("native2")).contains(QStringLiteral("Model")));
    }

    void loginAnswers_data()
    {
        QTest::addColumn<QVariantMap>("device");
        QTest::addColumn<QString>("resultCode");  // empty: no answer at all
        QTest::addColumn<int>("detRes");

        QTest::newRow("accepted") << login("a", "10.0.0.1", 80, "admin") << QStringLiteral("0") << 0;
        QTest::newRow("rejected") << login("b", "10.0.0.2", 80, "admin") << QStringLiteral("0") << 1;
        QTest::newRow("unreachable") << login("c", "10.0.1.4", 80, "") << QStringLiteral("0") << 2;
        QTest::newRow("unsupported, reached over HTTPS") << login("d", "10.0.1.5", 8443, "") << QStringLiteral("0") << 3;
        QTest::newRow("failure code") << login("e", "10.0.3.8", 80, "") << QStringLiteral("Busy") << -1;
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
            QCOMPARE(answer.data.contains(QStringLiteral("StreamURLList")), detRes == 0 && resultCode == QLatin1String("0"));
        }
    }

    void successfulLoginCarriesTheCameraFacts()
    {
        Fixture f;
        QVERIFY(f.send(QStringLiteral("authorizeDevice"), login("a", "10.0.0.1", 80, "admin")));
        QVERIFY(f.settle());
        const QVariantMap facts = f.client.log.value(0).data;
        QCOMPARE(facts.value(QStringLiteral("Model")).toString(), QStringLiteral("N1"));
        QCOMPARE(facts.value(QStringLiteral("MAC")).toString(), QStringLiteral("AABBCCDDEEFF"));
        QCOMPARE(facts.value(QStringLiteral("Brand")).toInt(), 0);
        QCOMPARE(facts.value(QStringLiteral("ChannelNum")).toInt(), 2);
        QCOMPARE(facts.value(QStringLiteral("CamRTSPPort")).toInt(), 554);
        QCOMPARE(facts.value(QStringLiteral("StreamURLList")).toList().size(), 4);
    }

    void listAnswersOnePerAnsweringDevice()
    {
        Fixture f;
        const QVariantList devices{login("a", "10.0.0.1", 80, "admin"), login("g", "10.0.3.10", 80, ""),
                                   login("b", "10.0.0.2", 80, "admin")};
        QVERIFY(f.send(QStringLiteral("authorizeDeviceList"), devices));
        QVERIFY(f.settle());
        QStringList ids;
        for (const RecordingClient::Delivery& answer : f.client.answers())
            ids.append(answer.data.value(QStringLiteral("delID")).toString());
        QCOMPARE(ids, (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
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

    void topologyHoldsOneChildPerManagedChannel()
    {
        Fixture f;
        TopologyPlugin plugin(f.site);
        QObject* object = nullptr;
        QVERIFY(QMetaObject::invokeMethod(&plugin, "getStandardTopologyModel", Qt::DirectConnection,
                                          Q_RETURN_ARG(QObject*, object)));
        auto* model = qobject_cast<QStandardItemModel*>(object);
        QVERIFY(model);
        QCOMPARE(model->rowCount(), 1);
        const QModelIndex root = model->index(0, 0);
        QCOMPARE(model->rowCount(root), 3);
        const QVariantMap partly = model->index(1, 0, root).data(Qt::UserRole + 2).toMap();
        QCOMPARE(partly.value(QStringLiteral("ipRole")), QVariant(QStringLiteral("10.0.2.7")));
        QCOMPARE(partly.value(QStringLiteral("portRole")), QVariant(QStringLiteral("80")));
        QCOMPARE(partly.value(QStringLiteral("channelRole")).toInt(), 2);
        QCOMPARE(partly.value(QStringLiteral("channelNumRole")).toInt(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_SimulatedSite)
#include "tst_simulated_site.moc"
