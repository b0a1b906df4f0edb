#include "FakeLog.h"
#include "FakeTopologyPlugin.h"
#include "ModelTesters.h"
#include "Roles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QSortFilterProxyModel>
#include <QTest>
#include <QUuid>

#if defined(Q_OS_WIN)
#include <qt_windows.h>
#else
#include <sys/stat.h>
#endif

namespace {

const QString kTopologyFailed =
    QStringLiteral("PluginDeviceSearch::GetStandardTopologyModel, GetStandardTopologyModel failed");
const QString kTopologyNull =
    QStringLiteral("Standard Topology Model is nullptr: PluginDeviceSearch::CheckCameraExistedInTopology");
const QString kParseFailed = QStringLiteral("PluginDeviceSearch::importDevices, parse importing list file failed");

// One managed channel of the topology: where its item stands, and what it states.
struct Channel
{
    enum Place { UnderFirstItem, Grandchild, UnderOtherTopItem };
    QString ip;
    QString port;
    int channel;
    int channelNum;
    Place place = UnderFirstItem;
};

// What the host hands out for the topology plug-in's id.
struct Topology
{
    // Every kind but Usable and GrowsLater is no topology the plug-in can search.
    // GrowsLater: usable, its last channel added as the host hands it out a second time.
    enum Kind { Usable, GrowsLater, Absent, NoMethod, NullModel, ProxyModel };
    Kind kind = Usable;
    QList<Channel> channels;
};

} // namespace

Q_DECLARE_METATYPE(Topology)

// Holds a file open without sharing it, as another program may (Windows only; other
// systems have no such lock for a reader to meet).
class FileLock
{
public:
    FileLock() = default;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
#if defined(Q_OS_WIN)
    ~FileLock()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
    }
    bool lock(const QString& path)
    {
        m_handle = CreateFileW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(path).utf16()),
                               GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        return m_handle != INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
#else
    bool lock(const QString&) { return false; }
#endif
};

class tst_Import : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    // Signals in order; an added id must be the camera model's top row by then.
    void onDevicesExist() { m_signals.append("devicesExist"); }
    void onNotAllCorrect(uint count) { m_signals.append(QStringLiteral("importFileNotAllCorrect(%1)").arg(count)); }
    void onAdded(const QString& id)
    {
        const bool braced = QUuid::fromString(id).toString(QUuid::WithBraces) == id;
        m_signals.append(m_cameras->index(0, 0).data(Cam::Id) == id && braced ? "braced id on top" : "bad id");
    }

private:
    void listen(PluginHarness& h)
    {
        m_signals.clear();
        m_cameras = h.cameraModel();
        connect(h.object(), SIGNAL(devicesExist()), this, SLOT(onDevicesExist()));
        connect(h.object(), SIGNAL(importFileNotAllCorrect(uint)), this, SLOT(onNotAllCorrect(uint)));
        connect(h.object(), SIGNAL(addDeviceResp(QString)), this, SLOT(onAdded(QString)));
    }

private Q_SLOTS:
    void importFile()
    {
        QFETCH(Topology, topology);
        QFETCH(QByteArray, content);
        QFETCH(QString, returned);  // brand|host|port|modelName|hostName|mac per map
        QFETCH(QStringList, signalled);
        QFETCH(QStringList, logged);

        PluginHarness h;
        ModelTesters testers(h);
        FakeTopologyPlugin fake;
        QObject plain;
        QSortFilterProxyModel proxy;
        proxy.setSourceModel(fake.model());
        QList<Channel> later;
        if (topology.kind == Topology::GrowsLater)
            later.append(topology.channels.takeLast());
        for (const Channel& channel : std::as_const(topology.channels)) {
            QStandardItem* parent = fake.root();
            if (channel.place == Channel::Grandchild)
                parent = fake.root()->child(0);
            if (channel.place == Channel::UnderOtherTopItem)
                fake.model()->appendRow(parent = new QStandardItem);
            FakeTopologyPlugin::addChannelTo(parent, channel.ip, channel.port, channel.channel, channel.channelNum);
        }
        fake.setReturnsNull(topology.kind == Topology::NullModel);
        if (topology.kind == Topology::ProxyModel)
            fake.setReturnedObject(&proxy);
        if (topology.kind != Topology::Absent)
            h.wrapper().pluginObjects.insert(FakeTopologyPlugin::PluginId,
                                             topology.kind == Topology::NoMethod ? &plain : &fake);
        // A camera of the camera model is no reason to leave a device out.
        QVERIFY(h.call("addDevice", {"cam", 0, "10.0.0.7", 80}).toBool());
        listen(h);
        FakeLog::reset();

        // Contents "@kind" stand for paths that are no regular file, or none to read;
        // "@device:NAME" for a Windows device name in the folder.
        QString path = m_dir.filePath(QString::number(++m_files));
        FileLock lock;
        if (content.startsWith("@device:")) {
            path = m_dir.filePath(QString::fromLatin1(content.mid(8)));
        } else if (content == "@fifo") {
#if !defined(Q_OS_WIN)
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
#endif
        } else if (content == "@oversized") {
            // Good lines, then a hole up to one byte above 64 MiB: a sparse file.
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("IP,Port\n10.0.0.1,80\n");
            QVERIFY(file.resize((qint64(64) << 20) + 1));
        } else if (content != "@missing") {
            const QByteArray written = content == "@locked" ? QByteArray("IP,Port\n10.0.0.1,80\n") : content;
            QVERIFY(!writeFile(path, written).isEmpty());
            if (content == "@locked")
                QVERIFY(lock.lock(path));
        }
        int lookUps = 0;
        h.wrapper().duringGetPluginObject = [&](const QString&) {
            if (++lookUps == 2) {
                for (const Channel& channel : std::as_const(later))
                    fake.addChannel(channel.ip, channel.port, channel.channel, channel.channelNum);
            }
        };
        const QVariant result = h.call("importDevices", {QUrl::fromLocalFile(path)});

        QCOMPARE(result.metaType(), QMetaType::fromType<QVariantList>());
        QStringList maps;
        for (const QVariant& device : result.toList()) {
            const QVariantMap map = device.toMap();
            QStringList values;  // "?" for a value that is no text, or a map with other keys as well
            for (const char* key : {"brand", "host", "port", "modelName", "hostName", "mac"})
                values.append(map.value(key).typeId() == QMetaType::QString ? map.value(key).toString() : "?");
            maps.append(map.size() == 6 ? values.join('|') : "?");
        }
        QCOMPARE(maps.join(','), returned);
        QCOMPARE(m_signals, signalled);
        QStringList lines;
        for (const FakeLog::WriteRecord& record : FakeLog::calls().writes)
            lines.append(QString::fromStdString(record.message));
        QCOMPARE(lines, logged);
        const QStringList& asked = h.wrapper().pluginObjectRequests;
        // A list that does not parse never reaches the topology.
        const qsizetype topologyAsked = logged.contains(kParseFailed) ? 0 : asked.size();
        QCOMPARE(asked.count(FakeTopologyPlugin::PluginId), topologyAsked);
        QCOMPARE(h.wrapper().pluginObjectContexts.count(PluginHarness::hostContext()), asked.size());
        // Reading a list neither adds rows nor asks the host anything.
        QCOMPARE(h.cameraModel()->rowCount(), 1);
        QCOMPARE(h.wrapper().sent.size(), 0);
    }

private:
    QTemporaryDir m_dir;
    int m_files = 0;
    QStringList m_signals;
    const QAbstractItemModel* m_cameras = nullptr;

private Q_SLOTS:
    // The first call gives every argument, the second only those without a default.
    void addDevice()
    {
        CheckedHarness h;
        listen(h);
        QVERIFY(h.call("addDevice", {"lobby", 0, "10.0.0.6", 80}).toBool());
        QVERIFY(h.call("addDevice", {"nvr-host", 3, "10.0.0.5", 8080, "M-9", 2, "AABBCCDDEEFF", "rtsp://cam",
                                     "relay", true, "HTTPS"}).toBool());

        QCOMPARE(h.wrapper().sent.size(), 0);
        QCOMPARE(m_signals, QStringList({"braced id on top", "braced id on top"}));
        QStringList rows;
        for (int role : {Cam::HostName, Cam::Type, Cam::Ip, Cam::IpForSort, Cam::Port, Cam::Status, Cam::UserName,
                         Cam::Password, Cam::ChannelNum, Cam::Manual, Cam::RtspPort, Cam::StreamUrlList, Cam::Model,
                         Cam::Brand, Cam::BrandName, Cam::Mac, Cam::Url, Cam::UseSSL, Cam::StreamingProtocol})
            rows.append(column(h.cameraModel(), role));
        QCOMPARE(rows.join('|'), "nvr-host,lobby|3,0|10.0.0.5,10.0.0.6|167772165,167772166|8080,80|6,6|,|,|1,1|"
                                 "true,true|0,0|,|M-9,|2,0|rtsp,qrln|AA-BB-CC-DD-EE-FF,|rtsp://cam,|true,false|"
                                 "HTTPS,TCP");
    }

    // QML hands over URLs as its file dialog writes them: on Windows with a drive letter
    // ("file:///C:/..."), in either case, and with spaces percent-encoded.
    void importFileUrl_data()
    {
        QTest::addColumn<QString>("url");
        const QString path = QDir(m_dir.path()).absoluteFilePath("device list.csv");
        QVERIFY(!writeFile(path, "IP,Port\n10.0.0.1,80\n").isEmpty());
        const QString rooted = path.startsWith('/') ? path : '/' + path;  // "/C:/..." on Windows
        QTest::newRow("written out, space percent-encoded") << "file://" + QString(rooted).replace(' ', "%20");
#if defined(Q_OS_WIN)
        QTest::newRow("lower-case drive letter") << QStringLiteral("file:///%1%2").arg(path.at(0).toLower()).arg(path.mid(1));
        QTest::newRow("backslashes in the local path") << QUrl::fromLocalFile(QDir::toNativeSeparators(path)).toString();
#endif
    }

    void importFileUrl()
    {
        QFETCH(QString, url);
        CheckedHarness h;
        const QVariant result = h.call("importDevices", {QUrl(url)});
        QCOMPARE(result.toList().size(), 1);
        QCOMPARE(result.toList().value(0).toMap().value("host").toString(), "10.0.0.1");
    }

    void importFile_data()
    {
        QTest::addColumn<Topology>("topology");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("returned");
        QTest::addColumn<QStringList>("signalled");
        QTest::addColumn<QStringList>("logged");
        const auto row = [](const char* name, const QByteArray& content, const QString& returned, int wrong = 0) {
            QStringList signalled = returned.isEmpty() ? QStringList{"devicesExist"} : QStringList();
            if (wrong != 0)
                signalled.append(QStringLiteral("importFileNotAllCorrect(%1)").arg(wrong));
            QTest::newRow(name) << Topology() << content << returned << signalled << QStringList();
        };
        // Header cells claim the keys they contain, in any letter case; the leftmost wins.
        row("leftmost of any case wins", "Description,IP,Port,mac\ndoor,10.0.0.1,80,00:11\n", "|door|80|||00:11");
        row("any order, HostIP claims both", "MAC,Port,Model,HostIP,Brand\naa,80,m,nvr,0\n", "0|nvr|80|m|nvr|aa");
        row("BOM, UTF-8 header and text", "\xEF\xBB\xBFModell \xC3\x9C,IP,Port\nKamera T\xC3\xBCr,10.0.0.1,80\n",
            QString::fromUtf8("|10.0.0.1|80|Kamera T\xC3\xBCr||"));
        // A line needs a field for the rightmost claimed column, not the header's width.
        row("3, 4 and 6 fields", "Name,IP,Port,MAC,Note\nx,10.0.0.1,80\nx,10.0.0.2,81,aa\nx,10.0.0.3,82,bb,n,m\n",
            "|10.0.0.2|81|||aa,|10.0.0.3|82|||bb", 1);
        row("empty fields keep positions, ip not checked", "IP,Model,Port\n,,80\nnot an address,m,81\n",
            "||80|||,|not an address|81|m||");
        row("blank lines are wrong, also the last", "IP,Port\n10.0.0.1,80\n\n10.0.0.2,81\n\n",
            "|10.0.0.1|80|||,|10.0.0.2|81|||", 2);
        row("comma between quotes still separates", "Model,IP,Port\n\"a,b\",10.0.0.1,80\n", "", 1);
        row("quote runs removed at both ends only, quotes alone empty, a quote behind spaces kept",
            "Model,IP,Port,Host,MAC\n\"\"a\"b\"\",  10.0.0.1 ,\"80\",\"\"\", \"m\"\n", "|  10.0.0.1 |80|a\"b|| \"m");
        row("CR LF, last line without line end", "IP,Port\r\n10.0.0.1,80\r\n10.0.0.2,81",
            "|10.0.0.1|80|||,|10.0.0.2|81|||");
        // One to five ASCII digits up to 65535, stored as written.
        row("port texts", "IP,Port\na,080\nb,0\nc,65535\nd,\"00000\"\ne,65536\nf,000080\ng,\nh, 80\ni,80 \nj,+80\n"
                          "k,\xD9\xA8\xD9\xA0\n",
            "|a|080|||,|b|0|||,|c|65535|||,|d|00000|||", 7);
        row("header only", "IP,Port\n", "");
        // Brands, models and ports that recur are kept once per import; each device reads its own.
        row("recurring texts, in any case", "Brand,Model,IP,Port\n1,m,10.0.0.1,80\n1,M,10.0.0.2,80\n2,m,10.0.0.3,80\n",
            "1|10.0.0.1|80|m||,1|10.0.0.2|80|M||,2|10.0.0.3|80|m||");
        // Unusable: logged, and nothing left to look at. A FIFO or console read would
        // never return; a directory takes the FIFO's way. Windows has no FIFOs, but device names in every folder, and files
        // another program holds open without sharing them.
        const std::pair<const char*, QByteArray> unusable[] = {
            {"empty file", ""}, {"no port column", "IP,Host\n10.0.0.1,h\n"}, {"no such file", "@missing"},
            {"list above 64 MiB", "@oversized"},
#if defined(Q_OS_WIN)
            {"device name NUL", "@device:NUL"}, {"device name CON", "@device:CON"},
            {"device name with an extension, any case", "@device:nul.csv"}, {"device name COM1", "@device:COM1"},
            {"file locked by another program", "@locked"},
#else
            {"FIFO", "@fifo"},
#endif
        };
        const QStringList exist{"devicesExist"}, none;
        for (const auto& [name, content] : unusable)
            QTest::newRow(name) << Topology() << content << "" << exist << QStringList{kParseFailed};
        // A device is left out once every channel it states is a child of the topology's
        // first item; ip and port are compared as text.
        const auto one = [&](const char* name, const QList<Channel>& channels, bool managed) {
            QTest::newRow(name) << Topology{Topology::Usable, channels} << QByteArray("IP,Port\n10.0.0.5,80\n")
                                << (managed ? "" : "|10.0.0.5|80|||") << (managed ? exist : none) << none;
        };
        one("same channel twice counts once", {{"10.0.0.5", "80", 1, 2}, {"10.0.0.5", "80", 1, 2}}, false);
        one("last match states the count", {{"10.0.0.5", "80", 1, 3}, {"10.0.0.5", "80", 2, 2}}, true);
        one("others passed over",
            {{"10.0.0.6", "80", 1, 1}, {"10.0.0.5", "81", 2, 1}, {"10.0.0.5", "80", 1, 1}, {"10.0.0.50", "80", 2, 1}},
            true);
        one("grandchild of the first item, child of another top-level item",
            {{"10.0.0.9", "80", 1, 1}, {"10.0.0.5", "80", 1, 1, Channel::Grandchild},
             {"10.0.0.5", "80", 1, 1, Channel::UnderOtherTopItem}},
            false);
        const Topology managing5{Topology::Usable, {{"10.0.0.5", "80", 1, 1}}};
        QTest::newRow("topology changed between two records")
            << Topology{Topology::GrowsLater, {{"10.0.0.5", "80", 1, 2}, {"10.0.0.5", "80", 2, 2}}}
            << QByteArray("IP,Port\n10.0.0.5,80\n10.0.0.5,80\n") << "|10.0.0.5|80|||" << none << none;
        QTest::newRow("port 080 is not 80, IP with a trailing space neither")
            << managing5 << QByteArray("IP,Port\n10.0.0.5,080\n10.0.0.5 ,80\n")
            << "|10.0.0.5|080|||,|10.0.0.5 |80|||" << none << none;
        // Asked afresh for every record, and each failed look-up is logged twice.
        const QByteArray two("IP,Port\n10.0.0.5,80\n10.0.0.6,80\n");
        const QString both("|10.0.0.5|80|||,|10.0.0.6|80|||");
        const QStringList twice{kTopologyFailed, kTopologyNull, kTopologyFailed, kTopologyNull};
        QTest::newRow("no topology plug-in") << Topology{Topology::Absent, {}} << two << both << none << twice;
        QTest::newRow("object without the method") << Topology{Topology::NoMethod, {}} << two << both << none
                                                   << twice;
        QTest::newRow("method gives no model") << Topology{Topology::NullModel, managing5.channels} << two << both
                                               << none << twice;
        // Any other object is no topology either, even a model over the right one.
        QTest::newRow("method gives a proxy model") << Topology{Topology::ProxyModel, managing5.channels} << two
                                                    << both << none << twice;
        QTest::newRow("only wrong lines: devicesExist first")
            << Topology() << QByteArray("IP,Port\nx\n10.0.0.1,http\n\n10.0.0.1,-80\n") << ""
            << QStringList{"devicesExist", "importFileNotAllCorrect(4)"} << none;
    }
};

QTEST_MAIN(tst_Import)
#include "tst_import.moc"
