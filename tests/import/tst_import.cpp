#include "FakeLog.h"
#include "FakeTopologyPlugin.h"
#include "ModelTesters.h"
#include "Roles.h"

#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

// Records the import signals in the order they come and, for addDeviceResp, whether
// the announced id is the camera model's top row at that moment.
class SignalLog : public QObject
{
    Q_OBJECT
public:
    explicit SignalLog(PluginHarness& h) : m_cameras(h.cameraModel())
    {
        connect(h.object(), SIGNAL(devicesExist()), this, SLOT(onDevicesExist()));
        connect(h.object(), SIGNAL(importFileNotAllCorrect(uint)), this, SLOT(onNotAllCorrect(uint)));
        connect(h.object(), SIGNAL(addDeviceResp(QString)), this, SLOT(onAdded(QString)));
    }
    QStringList entries;
    QStringList added;
public Q_SLOTS:
    void onDevicesExist() { entries.append(QStringLiteral("devicesExist")); }
    void onNotAllCorrect(uint count) { entries.append(QStringLiteral("importFileNotAllCorrect(%1)").arg(count)); }
    void onAdded(const QString& id)
    {
        added.append(id);
        entries.append(m_cameras->index(0, 0).data(Cam::Id) == id ? "added on top" : "added elsewhere");
    }
private:
    const QAbstractItemModel* m_cameras;
};

// "ip|port|channel|channelNum" entries as children of the topology's first item.
void addChannels(FakeTopologyPlugin& topology, const QStringList& channels)
{
    for (const QString& channel : channels) {
        const QStringList parts = channel.split(QLatin1Char('|'));
        topology.addChannel(parts.at(0), parts.at(1), parts.at(2).toInt(), parts.at(3).toInt());
    }
}

// The log lines written since the last FakeLog::reset(), filled in.
QStringList logLines()
{
    QStringList lines;
    for (const FakeLog::WriteRecord& record : FakeLog::writeRecords())
        lines.append(QString::fromStdString(record.message));
    return lines;
}

const QString kTopologyFailed =
    QStringLiteral("PluginDeviceSearch::GetStandardTopologyModel, GetStandardTopologyModel failed");
const QString kTopologyNull =
    QStringLiteral("Standard Topology Model is nullptr: PluginDeviceSearch::CheckCameraExistedInTopology");
const QString kParseFailed = QStringLiteral("PluginDeviceSearch::importDevices, parse importing list file failed");

QVariant importDevices(PluginHarness& h, const QUrl& url)
{
    const QVariant result = h.call("importDevices", {url});
    // The invokable returns a QVariant; the meta-call hands it back wrapped once more.
    if (result.metaType() == QMetaType::fromType<QVariant>())
        return QVariant(*static_cast<const QVariant*>(result.constData()));
    return result;
}

} // namespace

class tst_Import : public QObject
{
    Q_OBJECT

private:
    QString write(const QByteArray& content)
    {
        const QString path = m_dir.filePath(QStringLiteral("list%1.csv").arg(++m_files));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        file.write(content);
        return path;
    }

    QTemporaryDir m_dir;
    int m_files = 0;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init() { FakeLog::reset(); }

    // Calls addDevice with the first `count` of eleven arguments; the rest take defaults.
    void addDeviceDefaults_data()
    {
        QTest::addColumn<int>("count");
        for (int count = 4; count <= 11; ++count)
            QTest::addRow("%d arguments", count) << count;
    }

    void addDeviceDefaults()
    {
        QFETCH(int, count);

        PluginHarness h;
        ModelTesters testers(h);
        SignalLog log(h);
        const QVariantList all{"nvr-host", 3,       "10.0.0.5", 8080, "M-9", 2, "AABBCCDDEEFF",
                               "rtsp://cam", "relay", true,      "HTTPS"};
        const qsizetype sentBefore = h.wrapper().sent.size();

        QVERIFY(h.call("addDevice", all.mid(0, count)).toBool());

        QCOMPARE(h.wrapper().sent.size(), sentBefore);
        QCOMPARE(log.entries, QStringList{"added on top"});
        QCOMPARE(QUuid::fromString(log.added.at(0)).toString(QUuid::WithBraces), log.added.at(0));
        QStringList row;
        for (int role : {int(Cam::HostName), int(Cam::Type), int(Cam::Ip), int(Cam::IpForSort), int(Cam::Port),
                         int(Cam::Status), int(Cam::UserName), int(Cam::Password), int(Cam::ChannelNum),
                         int(Cam::Manual), int(Cam::RtspPort), int(Cam::StreamUrlList), int(Cam::Model),
                         int(Cam::Brand), int(Cam::BrandName), int(Cam::Mac), int(Cam::Url), int(Cam::UseSSL),
                         int(Cam::StreamingProtocol)})
            row.append(column(h.cameraModel(), role));
        const QStringList given{count >= 5 ? "M-9" : "",
                                count >= 6 ? "2" : "0",
                                count >= 6 ? "rtsp" : "qrln",
                                count >= 7 ? "AA-BB-CC-DD-EE-FF" : "",
                                count >= 8 ? "rtsp://cam" : "",
                                count >= 10 ? "true" : "false",
                                count >= 11 ? "HTTPS" : "TCP"};
        QCOMPARE(row.join('|'), "nvr-host|3|10.0.0.5|167772165|8080|6|||1|true|0||" + given.join('|'));
    }

    // The announced row is on top already when the signal comes.
    void addDevicePutsEachNewRowOnTop()
    {
        PluginHarness h;
        ModelTesters testers(h);
        h.answerSearch(h.startDeviceSearch(), {foundDevice("found", "10.0.0.1")});
        SignalLog log(h);

        QVERIFY(h.call("addDevice", {"cam", 0, "10.0.0.9", 80}).toBool());
        QVERIFY(h.call("addDevice", {"cam", 0, "10.0.0.9", 80}).toBool());

        QCOMPARE(log.entries, QStringList({"added on top", "added on top"}));
        QCOMPARE(column(h.cameraModel(), Cam::Id), QStringList({log.added.at(1), log.added.at(0), "found"}).join(','));
    }

    void topology_data()
    {
        QTest::addColumn<QStringList>("channels");
        QTest::addColumn<QString>("elsewhere");  // where the device sits outside the first item's children
        QTest::addColumn<QString>("ip");
        QTest::addColumn<QString>("port");
        QTest::addColumn<bool>("managed");

        const QString ip = QStringLiteral("10.0.0.5");
        QTest::newRow("one channel of one") << QStringList{"10.0.0.5|80|1|1"} << "" << ip << "80" << true;
        QTest::newRow("three channels of four")
            << QStringList{"10.0.0.5|80|1|4", "10.0.0.5|80|2|4", "10.0.0.5|80|3|4"} << "" << ip << "80" << false;
        QTest::newRow("four channels of four")
            << QStringList{"10.0.0.5|80|1|4", "10.0.0.5|80|2|4", "10.0.0.5|80|3|4", "10.0.0.5|80|4|4"} << "" << ip
            << "80" << true;
        QTest::newRow("same channel twice counts once")
            << QStringList{"10.0.0.5|80|1|2", "10.0.0.5|80|1|2"} << "" << ip << "80" << false;
        QTest::newRow("last match states the count")
            << QStringList{"10.0.0.5|80|1|3", "10.0.0.5|80|2|2"} << "" << ip << "80" << true;
        QTest::newRow("other devices passed over")
            << QStringList{"10.0.0.6|80|1|1", "10.0.0.5|81|2|1", "10.0.0.5|80|1|1", "10.0.0.50|80|2|1"} << ""
            << ip << "80" << true;
        QTest::newRow("port compared as text: 080 is not 80") << QStringList{"10.0.0.5|80|1|1"} << "" << ip << "080"
                                                             << false;
        QTest::newRow("IP compared as text: trailing space") << QStringList{"10.0.0.5|80|1|1"} << "" << "10.0.0.5 "
                                                             << "80" << false;
        QTest::newRow("grandchild of the first item") << QStringList{"10.0.0.9|80|1|1"} << "grandchild" << ip
                                                      << "80" << false;
        QTest::newRow("child of another top-level item") << QStringList{} << "otherTop" << ip << "80" << false;
    }

    void topology()
    {
        QFETCH(QStringList, channels);
        QFETCH(QString, elsewhere);
        QFETCH(QString, ip);
        QFETCH(QString, port);
        QFETCH(bool, managed);

        PluginHarness h;
        FakeTopologyPlugin topology;
        addChannels(topology, channels);
        if (elsewhere == "grandchild") {
            FakeTopologyPlugin::addChannelTo(topology.root()->child(0), "10.0.0.5", "80", 1, 1);
        } else if (elsewhere == "otherTop") {
            auto* other = new QStandardItem(QStringLiteral("Other site"));
            topology.model()->appendRow(other);
            FakeTopologyPlugin::addChannelTo(other, "10.0.0.5", "80", 1, 1);
        }
        h.wrapper().pluginObjects.insert(FakeTopologyPlugin::PluginId, &topology);
        SignalLog log(h);

        const QString path = write("IP,Port\n" + ip.toUtf8() + ',' + port.toUtf8() + '\n');
        const QVariantList devices = importDevices(h, QUrl::fromLocalFile(path)).toList();

        QCOMPARE(devices.size(), managed ? 0 : 1);
        QCOMPARE(log.entries, managed ? QStringList{"devicesExist"} : QStringList{});
        QCOMPARE(topology.calls(), 1);
        QCOMPARE(h.wrapper().pluginObjectRequests, QStringList{FakeTopologyPlugin::PluginId});
        QCOMPARE(h.wrapper().pluginObjectContexts, QList<void*>{PluginHarness::hostContext()});
        QVERIFY(logLines().isEmpty());
    }

    void noTopologyMeansEveryDeviceIsNew_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("no topology plug-in") << "absent";
        QTest::newRow("object without the method") << "noMethod";
        QTest::newRow("method gives no model") << "nullModel";
    }

    void noTopologyMeansEveryDeviceIsNew()
    {
        QFETCH(QString, kind);

        PluginHarness h;
        QObject plain;
        FakeTopologyPlugin topology;
        topology.addChannel("10.0.0.1", "80", 1, 1);
        topology.setReturnsNull(true);
        if (kind != "absent")
            h.wrapper().pluginObjects.insert(FakeTopologyPlugin::PluginId, kind == "noMethod" ? &plain : &topology);
        SignalLog log(h);

        const QString path = write("IP,Port\n10.0.0.1,80\n10.0.0.2,81\n");
        QCOMPARE(importDevices(h, QUrl::fromLocalFile(path)).toList().size(), 2);

        QVERIFY(log.entries.isEmpty());
        // Asked afresh for every record, and each failed look-up is logged twice.
        QCOMPARE(h.wrapper().pluginObjectRequests.size(), 2);
        QCOMPARE(logLines(), (QStringList{kTopologyFailed, kTopologyNull, kTopologyFailed, kTopologyNull}));
    }

    // Against a topology that manages 10.0.0.1 to 10.0.0.3 on port 80, and a camera
    // model that holds 10.0.0.7 (its rows do not count as managed).
    void importSignals_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("url");       // instead of a file with that content
        QTest::addColumn<QString>("returned");  // brand|host|port|modelName|hostName|mac per map
        QTest::addColumn<QStringList>("signalled");
        QTest::addColumn<bool>("unreadable");  // the parse failure is logged, the topology never asked

        const QStringList allExist{"devicesExist"};
        QTest::newRow("all six keys")
            << QByteArray("Brand,IP,Port,Model,Host,MAC\n\"1\",10.0.0.7,\"080\",M-1,front,001122334455\n") << ""
            << "1|10.0.0.7|080|M-1|front|001122334455" << QStringList{} << false;
        QTest::newRow("ip and port only, identical lines both returned")
            << QByteArray("IP,Port\n10.0.0.8,80\n10.0.0.8,80\n") << "" << "|10.0.0.8|80|||,|10.0.0.8|80|||"
            << QStringList{} << false;
        QTest::newRow("all managed") << QByteArray("IP,Port\n10.0.0.1,80\n10.0.0.3,80\n") << "" << "" << allExist
                                     << false;
        QTest::newRow("one of two managed") << QByteArray("IP,Port\n10.0.0.1,80\n10.0.0.9,80\n") << ""
                                            << "|10.0.0.9|80|||" << QStringList{} << false;
        QTest::newRow("only wrong lines: devicesExist first")
            << QByteArray("IP,Port\nx\n10.0.0.1,http\n\n10.0.0.1,-80\n") << "" << ""
            << QStringList{"devicesExist", "importFileNotAllCorrect(4)"} << false;
        QTest::newRow("new and wrong lines") << QByteArray("IP,Port\n10.0.0.8,80\nbad\n") << "" << "|10.0.0.8|80|||"
                                             << QStringList{"importFileNotAllCorrect(1)"} << false;
        QTest::newRow("header only") << QByteArray("IP,Port\n") << "" << "" << allExist << false;
        QTest::newRow("no port column") << QByteArray("IP,Host\n10.0.0.1,h\n") << "" << "" << allExist << true;
        QTest::newRow("web URL") << QByteArray() << "https://example.com/list.csv" << "" << allExist << true;
        QTest::newRow("missing file") << QByteArray() << "file:///nonexistent/list.csv" << "" << allExist << true;
        QTest::newRow("/dev/zero") << QByteArray() << "file:///dev/zero" << "" << allExist << true;
    }

    void importSignals()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, url);
        QFETCH(QString, returned);
        QFETCH(QStringList, signalled);
        QFETCH(bool, unreadable);

        PluginHarness h;
        ModelTesters testers(h);
        FakeTopologyPlugin topology;
        addChannels(topology, {"10.0.0.1|80|1|1", "10.0.0.2|80|1|1", "10.0.0.3|80|1|1"});
        h.wrapper().pluginObjects.insert(FakeTopologyPlugin::PluginId, &topology);
        QVERIFY(h.call("addDevice", {"cam", 0, "10.0.0.7", 80}).toBool());
        const qsizetype sentBefore = h.wrapper().sent.size();
        SignalLog log(h);

        const QVariant result = importDevices(h, url.isEmpty() ? QUrl::fromLocalFile(write(content)) : QUrl(url));

        QCOMPARE(result.metaType(), QMetaType::fromType<QVariantList>());
        QStringList maps;
        for (const QVariant& device : result.toList()) {
            const QVariantMap map = device.toMap();
            QCOMPARE(map.size(), 6);
            QStringList values;
            for (const char* key : {"brand", "host", "port", "modelName", "hostName", "mac"}) {
                QCOMPARE(map.value(key).metaType(), QMetaType::fromType<QString>());
                values.append(map.value(key).toString());
            }
            maps.append(values.join('|'));
        }
        QCOMPARE(maps.join(','), returned);
        QCOMPARE(log.entries, signalled);
        QCOMPARE(logLines(), unreadable ? QStringList{kParseFailed} : QStringList());
        if (unreadable)
            QCOMPARE(topology.calls(), 0);
        // Reading a list neither adds rows nor asks the host anything.
        QCOMPARE(h.cameraModel()->rowCount(), 1);
        QCOMPARE(h.wrapper().sent.size(), sentBefore);
    }
};

QTEST_MAIN(tst_Import)
#include "tst_import.moc"
