#include "FakeLog.h"
#include "FakeTopologyPlugin.h"
#include "PluginHarness.h"

#include <QAbstractItemModelTester>
#include <QMetaMethod>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

namespace {

namespace Cam {
enum : int {
    Id = Qt::UserRole,
    Model = Qt::UserRole + 1,
    Mac = Qt::UserRole + 2,
    Ip = Qt::UserRole + 3,
    Port = Qt::UserRole + 4,
    Type = Qt::UserRole + 5,
    Status = Qt::UserRole + 6,
    UserName = Qt::UserRole + 7,
    Password = Qt::UserRole + 8,
    IpForSort = Qt::UserRole + 9,
    BrandName = Qt::UserRole + 10,
    HostName = Qt::UserRole + 11,
    Brand = Qt::UserRole + 12,
    Url = Qt::UserRole + 13,
    ChannelNum = Qt::UserRole + 14,
    Manual = Qt::UserRole + 16,
    UseSSL = Qt::UserRole + 17,
    StreamingProtocol = Qt::UserRole + 18,
    RtspPort = Qt::UserRole + 19,
    StreamUrlList = Qt::UserRole + 20,
};
}

constexpr int kNotChecked = 6;

bool isBracedUuid(const QString& id)
{
    return id.size() == 38 && id.startsWith(QLatin1Char('{')) && id.endsWith(QLatin1Char('}'))
        && !QUuid::fromString(id).isNull();
}

// Records the two import signals in the order they come.
class SignalLog : public QObject
{
    Q_OBJECT

public:
    explicit SignalLog(QObject* plugin)
    {
        connect(plugin, SIGNAL(devicesExist()), this, SLOT(onDevicesExist()));
        connect(plugin, SIGNAL(importFileNotAllCorrect(uint)), this, SLOT(onNotAllCorrect(uint)));
    }

    QStringList entries;

public Q_SLOTS:
    void onDevicesExist() { entries.append(QStringLiteral("devicesExist")); }
    void onNotAllCorrect(uint count) { entries.append(QStringLiteral("importFileNotAllCorrect(%1)").arg(count)); }
};

// At each addDeviceResp: the announced id and the id of the camera model's top row.
class TopRowWatcher : public QObject
{
    Q_OBJECT

public:
    explicit TopRowWatcher(const QAbstractItemModel* model)
        : m_model(model)
    {
    }

    QList<QPair<QString, QString>> seen;

public Q_SLOTS:
    void onAdded(const QString& id) { seen.append({id, m_model->index(0, 0).data(Cam::Id).toString()}); }

private:
    const QAbstractItemModel* m_model;
};

// "ip|port|channel|channelNum" entries as children of the topology's first item.
void addChannels(FakeTopologyPlugin& topology, const QStringList& channels)
{
    for (const QString& spec : channels) {
        const QStringList parts = spec.split(QLatin1Char('|'));
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

    void addDeviceOverloads()
    {
        PluginHarness h;
        const QMetaObject* meta = h.object()->metaObject();
        QList<int> counts;
        for (int i = 0; i < meta->methodCount(); ++i) {
            const QMetaMethod method = meta->method(i);
            if (method.name() != "addDevice")
                continue;
            QCOMPARE(method.returnMetaType(), QMetaType::fromType<bool>());
            counts.append(method.parameterCount());
        }
        std::sort(counts.begin(), counts.end());
        QCOMPARE(counts, (QList<int>{4, 5, 6, 7, 8, 9, 10, 11}));
    }

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
        QAbstractItemModelTester tester(h.cameraModel());
        QSignalSpy added(h.object(), SIGNAL(addDeviceResp(QString)));
        const QVariantList all{"nvr-host", 3,        "10.0.0.5", 8080, "M-9", 2, "AABBCCDDEEFF",
                               "rtsp://cam", "relay", true,       "HTTPS"};
        const qsizetype sentBefore = h.wrapper().sent.size();

        QVERIFY(h.call("addDevice", all.mid(0, count)).toBool());

        QCOMPARE(h.wrapper().sent.size(), sentBefore);
        QCOMPARE(h.cameraModel()->rowCount(), 1);
        QCOMPARE(added.count(), 1);
        const QModelIndex row = h.cameraModel()->index(0, 0);
        QCOMPARE(row.data(Cam::Id).toString(), added.at(0).at(0).toString());
        QVERIFY(isBracedUuid(row.data(Cam::Id).toString()));
        QCOMPARE(row.data(Cam::HostName).toString(), QStringLiteral("nvr-host"));
        QCOMPARE(row.data(Cam::Type).toInt(), 3);
        QCOMPARE(row.data(Cam::Ip).toString(), QStringLiteral("10.0.0.5"));
        QCOMPARE(row.data(Cam::IpForSort).toUInt(), 167772165u);
        QCOMPARE(row.data(Cam::Port).toInt(), 8080);
        QCOMPARE(row.data(Cam::Status).toInt(), kNotChecked);
        QVERIFY(row.data(Cam::UserName).toString().isEmpty());
        QVERIFY(row.data(Cam::Password).toString().isEmpty());
        QCOMPARE(row.data(Cam::ChannelNum).toInt(), 1);
        QCOMPARE(row.data(Cam::Manual).toBool(), true);
        QCOMPARE(row.data(Cam::RtspPort).toInt(), 0);
        QVERIFY(row.data(Cam::StreamUrlList).toStringList().isEmpty());

        const QString model = row.data(Cam::Model).toString();
        if (count >= 5)
            QCOMPARE(model, QStringLiteral("M-9"));
        else
            QVERIFY(model.isNull());
        QCOMPARE(row.data(Cam::Brand).toInt(), count >= 6 ? 2 : 0);
        QCOMPARE(row.data(Cam::BrandName).toString(), count >= 6 ? QStringLiteral("rtsp") : QStringLiteral("qrln"));
        QCOMPARE(row.data(Cam::Mac).toString(), count >= 7 ? QStringLiteral("AA-BB-CC-DD-EE-FF") : QString());
        QCOMPARE(row.data(Cam::Url).toString(), count >= 8 ? QStringLiteral("rtsp://cam") : QString());
        QCOMPARE(row.data(Cam::UseSSL).toBool(), count >= 10);
        QCOMPARE(row.data(Cam::StreamingProtocol).toString(),
                 count >= 11 ? QStringLiteral("HTTPS") : QStringLiteral("TCP"));
    }

    void addDevicePutsEachNewRowOnTop()
    {
        PluginHarness h;
        QAbstractItemModelTester tester(h.cameraModel());
        h.answerSearch(h.startDeviceSearch(), {foundDevice("found", "10.0.0.1")});
        QSignalSpy added(h.object(), SIGNAL(addDeviceResp(QString)));
        QSignalSpy inserted(h.cameraModel(), &QAbstractItemModel::rowsInserted);

        QVERIFY(h.call("addDevice", {"cam", 0, "10.0.0.9", 80}).toBool());
        QVERIFY(h.call("addDevice", {"cam", 0, "10.0.0.9", 80, "", 9, "00-11"}).toBool());

        QCOMPARE(added.count(), 2);
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(inserted.at(0).at(1).toInt(), 0);
        QCOMPARE(inserted.at(1).at(1).toInt(), 0);
        const QString first = added.at(0).at(0).toString();
        const QString second = added.at(1).at(0).toString();
        QVERIFY(first != second);
        QCOMPARE(column(h.cameraModel(), Cam::Id), QStringList({second, first, "found"}).join(','));
        QCOMPARE(h.cameraModel()->index(0, 0).data(Cam::BrandName).toString(), QStringLiteral("-1"));
        QCOMPARE(h.cameraModel()->index(0, 0).data(Cam::Mac).toString(), QStringLiteral("00-11"));
    }

    void addDeviceAnnouncesARowAlreadyInTheModel()
    {
        PluginHarness h;
        TopRowWatcher watcher(h.cameraModel());
        QVERIFY(connect(h.object(), SIGNAL(addDeviceResp(QString)), &watcher, SLOT(onAdded(QString))));

        QVERIFY(h.call("addDevice", {"cam", 0, "10.0.0.9", 80}).toBool());

        QCOMPARE(watcher.seen.size(), 1);
        QCOMPARE(watcher.seen.first().first, watcher.seen.first().second);
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
        QTest::newRow("same channel twice, one stated")
            << QStringList{"10.0.0.5|80|1|1", "10.0.0.5|80|1|1"} << "" << ip << "80" << true;
        QTest::newRow("last match states the count: 2")
            << QStringList{"10.0.0.5|80|1|3", "10.0.0.5|80|2|2"} << "" << ip << "80" << true;
        QTest::newRow("last match states the count: 3")
            << QStringList{"10.0.0.5|80|1|2", "10.0.0.5|80|2|3"} << "" << ip << "80" << false;
        QTest::newRow("other devices passed over")
            << QStringList{"10.0.0.6|80|1|1", "10.0.0.5|81|2|1", "10.0.0.5|80|1|1", "10.0.0.50|80|2|1"} << ""
            << ip << "80" << true;
        QTest::newRow("file port 080, topology 80") << QStringList{"10.0.0.5|80|1|1"} << "" << ip << "080" << false;
        QTest::newRow("file port 80, topology 080") << QStringList{"10.0.0.5|080|1|1"} << "" << ip << "80" << false;
        QTest::newRow("IP with a trailing space") << QStringList{"10.0.0.5|80|1|1"} << "" << "10.0.0.5 " << "80"
                                                  << false;
        QTest::newRow("IP text case-sensitive") << QStringList{"CAM.local|80|1|1"} << "" << "cam.local" << "80"
                                                << false;
        QTest::newRow("empty topology") << QStringList{} << "" << ip << "80" << false;
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
        const QString path = write("IP,Port\n" + ip.toUtf8() + ',' + port.toUtf8() + '\n');
        SignalLog log(h.object());

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
        topology.setReturnsNull(kind == "nullModel");
        if (kind == "noMethod")
            h.wrapper().pluginObjects.insert(FakeTopologyPlugin::PluginId, &plain);
        else if (kind == "nullModel")
            h.wrapper().pluginObjects.insert(FakeTopologyPlugin::PluginId, &topology);
        const QString path = write("IP,Port\n10.0.0.1,80\n10.0.0.2,81\n");
        SignalLog log(h.object());

        const QVariantList devices = importDevices(h, QUrl::fromLocalFile(path)).toList();

        QCOMPARE(devices.size(), 2);
        QVERIFY(log.entries.isEmpty());
        // Asked afresh for every record, and each failed look-up is logged twice.
        QCOMPARE(h.wrapper().pluginObjectRequests.size(), 2);
        QCOMPARE(logLines(), (QStringList{kTopologyFailed, kTopologyNull, kTopologyFailed, kTopologyNull}));
    }

    void importedMapsCarrySixTextKeys_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QVariantList>("expected");

        using M = QVariantMap;
        QTest::newRow("all columns")
            << QByteArray("Brand,IP,Port,Model,Host,MAC\n\"1\",10.0.0.1,\"080\",M-1,front,001122334455\n"
                          "2,10.0.0.2,81, M-2 ,back,aa\n")
            << QVariantList{M{{"brand", "1"}, {"host", "10.0.0.1"}, {"port", "080"}, {"modelName", "M-1"},
                              {"hostName", "front"}, {"mac", "001122334455"}},
                            M{{"brand", "2"}, {"host", "10.0.0.2"}, {"port", "81"}, {"modelName", " M-2 "},
                              {"hostName", "back"}, {"mac", "aa"}}};
        QTest::newRow("ip and port only")
            << QByteArray("IP,Port\n10.0.0.1,80\n")
            << QVariantList{M{{"brand", ""}, {"host", "10.0.0.1"}, {"port", "80"}, {"modelName", ""},
                              {"hostName", ""}, {"mac", ""}}};
        QTest::newRow("identical lines both returned")
            << QByteArray("IP,Port,Host\n10.0.0.1,80,a\n10.0.0.1,80,a\n")
            << QVariantList{M{{"brand", ""}, {"host", "10.0.0.1"}, {"port", "80"}, {"modelName", ""},
                              {"hostName", "a"}, {"mac", ""}},
                            M{{"brand", ""}, {"host", "10.0.0.1"}, {"port", "80"}, {"modelName", ""},
                              {"hostName", "a"}, {"mac", ""}}};
    }

    void importedMapsCarrySixTextKeys()
    {
        QFETCH(QByteArray, content);
        QFETCH(QVariantList, expected);

        PluginHarness h;
        FakeTopologyPlugin topology;
        h.wrapper().pluginObjects.insert(FakeTopologyPlugin::PluginId, &topology);
        QAbstractItemModelTester tester(h.cameraModel());
        QVERIFY(h.call("addDevice", {"cam", 0, "10.0.0.1", 80}).toBool());
        const qsizetype sentBefore = h.wrapper().sent.size();

        const QVariant result = importDevices(h, QUrl::fromLocalFile(write(content)));

        QCOMPARE(result.metaType(), QMetaType::fromType<QVariantList>());
        const QVariantList devices = result.toList();
        QCOMPARE(devices, expected);
        for (const QVariant& device : devices) {
            QCOMPARE(device.metaType(), QMetaType::fromType<QVariantMap>());
            for (const QVariant& value : device.toMap())
                QCOMPARE(value.metaType(), QMetaType::fromType<QString>());
        }
        // Reading a list neither adds rows nor asks the host anything; the camera
        // model's own rows do not count as managed.
        QCOMPARE(h.cameraModel()->rowCount(), 1);
        QCOMPARE(h.wrapper().sent.size(), sentBefore);
    }

    void importSignals_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QStringList>("managed");
        QTest::addColumn<int>("returned");
        QTest::addColumn<QStringList>("signalled");

        const QByteArray three("IP,Port\n10.0.0.1,80\n10.0.0.2,80\n10.0.0.3,80\n");
        const QStringList allThree{"10.0.0.1|80|1|1", "10.0.0.2|80|1|1", "10.0.0.3|80|1|1"};
        QTest::newRow("three new") << three << QStringList{} << 3 << QStringList{};
        QTest::newRow("three managed") << three << allThree << 0 << QStringList{"devicesExist"};
        QTest::newRow("one of two managed") << QByteArray("IP,Port\n10.0.0.1,80\n10.0.0.9,80\n") << allThree << 1
                                            << QStringList{};
        QTest::newRow("only wrong lines") << QByteArray("IP,Port\nx\n10.0.0.1,http\n\n10.0.0.1,-80\n")
                                          << QStringList{} << 0
                                          << QStringList{"devicesExist", "importFileNotAllCorrect(4)"};
        QTest::newRow("new and wrong lines") << QByteArray("IP,Port\n10.0.0.1,80\nbad\n10.0.0.2,80\n")
                                             << QStringList{} << 2 << QStringList{"importFileNotAllCorrect(1)"};
        QTest::newRow("managed and wrong lines") << three + "bad\n,\n" << allThree << 0
                                                 << QStringList{"devicesExist", "importFileNotAllCorrect(2)"};
        QTest::newRow("header only") << QByteArray("IP,Port\n") << QStringList{} << 0
                                     << QStringList{"devicesExist"};
        QTest::newRow("no port column") << QByteArray("IP,Host\n10.0.0.1,h\n") << QStringList{} << 0
                                        << QStringList{"devicesExist"};
        QTest::newRow("empty file") << QByteArray() << QStringList{} << 0 << QStringList{"devicesExist"};
        QTest::newRow("port 080 is not the managed 80") << QByteArray("IP,Port\n10.0.0.1,080\n") << allThree << 1
                                                        << QStringList{};
    }

    void importSignals()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, managed);
        QFETCH(int, returned);
        QFETCH(QStringList, signalled);

        PluginHarness h;
        FakeTopologyPlugin topology;
        addChannels(topology, managed);
        h.wrapper().pluginObjects.insert(FakeTopologyPlugin::PluginId, &topology);
        SignalLog log(h.object());

        const QVariant result = importDevices(h, QUrl::fromLocalFile(write(content)));

        QCOMPARE(result.metaType(), QMetaType::fromType<QVariantList>());
        QCOMPARE(result.toList().size(), returned);
        QCOMPARE(log.entries, signalled);
    }

    void unusableUrls_data()
    {
        QTest::addColumn<QUrl>("url");
        QTest::newRow("web URL") << QUrl("https://example.com/list.csv");
        QTest::newRow("empty URL") << QUrl();
        QTest::newRow("missing file") << QUrl::fromLocalFile(QStringLiteral("/nonexistent/list.csv"));
        QTest::newRow("directory") << QUrl::fromLocalFile(QStringLiteral("/tmp"));
        QTest::newRow("/dev/zero") << QUrl::fromLocalFile(QStringLiteral("/dev/zero"));
    }

    void unusableUrls()
    {
        QFETCH(QUrl, url);

        PluginHarness h;
        FakeTopologyPlugin topology;
        h.wrapper().pluginObjects.insert(FakeTopologyPlugin::PluginId, &topology);
        SignalLog log(h.object());

        const QVariant result = importDevices(h, url);

        QCOMPARE(result.metaType(), QMetaType::fromType<QVariantList>());
        QVERIFY(result.toList().isEmpty());
        QCOMPARE(log.entries, QStringList{"devicesExist"});
        QCOMPARE(topology.calls(), 0);
        QCOMPARE(logLines(), QStringList{kParseFailed});
    }
};

QTEST_MAIN(tst_Import)
#include "tst_import.moc"
