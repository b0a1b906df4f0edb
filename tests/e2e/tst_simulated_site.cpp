#include <SimulatedServer.h>
#include <Site.h>

#include <PluginBase.h>

#include <QSignalSpy>
#include <QTest>

namespace {

// The plug-in's side of the bridge, reduced to a transcript of what the server delivered:
// per answer its result code ("!" when done, "@" when it hands back the command's user
// data), the devices it lists and the values of the other keys; "id=detRes" per event.
class RecordingClient : public PluginBase
{
    Q_OBJECT
    Q_INTERFACES(PluginBase)

public:
    QStringList transcript;

    bool InitialPluginBase(QQmlContext*, void*, FrameworkWrapperBase*) override { return true; }
    bool Init(QQmlContext*) override { return true; }
    void EventProcessorEx(QString, ConfigBase*, qint64, int, int, QVariant, const QString&) override {}
    void CommandProcessorEx(QString, ConfigBase*, QVariant, void*, QString, QString, bool, const QString&) override {}
    void EventProcessor(QString, qint64, int, int, QVariant data, const QString&) override
    {
        transcript.append(data.toMap().value("delID").toString() + '=' + data.toMap().value("detRes").toString());
    }
    void CommandProcessor(QString, QVariant result, void* userData, QString resultCode, QString, bool done,
                          const QString&) override
    {
        const QVariantMap answer = result.toMap();
        QStringList parts{resultCode + (done ? "!" : "") + (userData == this ? "@" : "")};
        for (const QVariant& device : answer.value("devList").toList())
            parts.append(QStringList{device.toMap().value("delID").toString(), device.toMap().value("Brand").toString(),
                                     device.toMap().value("MAC").toString()}.join(':'));
        for (const char* key : {"checkAuth", "delID", "detRes", "Model", "MAC", "Brand", "ChannelNum", "CamRTSPPort"}) {
            if (answer.contains(key))
                parts.append(answer.value(key).toString());
        }
        if (answer.contains("StreamURLList"))
            parts.append(QString::number(answer.value("StreamURLList").toList().size()) + "urls");
        transcript.append(parts.join(' '));
    }
};

const QByteArray kSite = R"({
  "timing": {"searchBatches": 3, "batchDelayMs": 1, "detectionDelayMs": 1, "authorizeDelayMs": 1},
  "defaultCredentials": [{"username": "admin", "password": "admin"}],
  "cameras": [
    {"id": "native", "ip": "10.0.0.1", "password": "admin", "alsoOnvif": true, "mac": "AABBCCDDEEFF", "model": "N1", "channels": 2},
    {"id": "onvif", "ip": "10.0.0.2", "brand": "onvif"},
    {"id": "native2", "ip": "10.0.0.3", "alsoOnvif": true},
    {"id": "silent", "ip": "10.0.0.4", "password": "admin", "fault": "noAnswer"},
    {"id": "elsewhere", "ip": "10.0.1.5"}
  ]
})";

} // namespace

// What the end-to-end scenario cannot tell apart: the order and shape of the answers,
// and the searches and logins the scenario never makes.
class tst_SimulatedSite : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void serverAnswers_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QVariantMap>("parameters");
        QTest::addColumn<QString>("transcript");

        QTest::newRow("search without ONVIF, limited by address: in batches, the last one done")
            << "searchDevice" << QVariantMap{{"devIpContains", "10.0.0."}}
            << "0 native:0:AABBCCDDEEFF | 0 native2:0: | 0! silent:0:";
        // The same camera over ONVIF has MAC in lower case with hyphens; which way comes
        // first alternates from camera to camera. Login faults leave the check alone.
        QTest::newRow("combined with the check: dual cameras twice, the limit counts devices, checks after the last batch")
            << "searchDevice" << QVariantMap{{"onvifCombined", true}, {"checkAuth", true}, {"maxRet", 4}}
            << "0 native:1:aa-bb-cc-dd-ee-ff onvif:1: true | 0 native2:0: silent:0: true"
               " | 0! native:0:AABBCCDDEEFF native2:1: true | native=0 | onvif=1 | native2=1 | silent=0";
        QTest::newRow("accepted login, with the camera's facts")
            << "authorizeDevice"
            << QVariantMap{{"IP", "10.0.0.1"}, {"HttpPort", 80}, {"Username", "admin"}, {"Password", "admin"}}
            << "0!@ 0 N1 AABBCCDDEEFF 0 2 554 4urls";
        // A device added by hand or imported: no camera of the site has its address.
        QTest::newRow("login on an address nobody answers on")
            << "authorizeDevice" << QVariantMap{{"IP", "10.9.9.9"}, {"HttpPort", 80}} << "0!@ 2";
    }

    void serverAnswers()
    {
        QFETCH(QString, command);
        QFETCH(QVariantMap, parameters);
        QFETCH(QString, transcript);

        Site site;
        QString error;
        QVERIFY2(Site::parse(kSite, site, error), qPrintable(error));
        SimulatedServer server(site);
        RecordingClient client;
        server.setClient(&client);
        QVERIFY(server.takeCommand(command, parameters, &client));
        QVERIFY(QSignalSpy(&server, &SimulatedServer::idle).wait(5000));
        QCOMPARE(client.transcript.join(" | "), transcript);
    }
};

QTEST_GUILESS_MAIN(tst_SimulatedSite)
#include "tst_simulated_site.moc"
