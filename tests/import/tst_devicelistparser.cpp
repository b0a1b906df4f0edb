// Links the plug-in's code: the parser is an internal piece, and SetDeviceListParser
// is a C++ member outside the plug-in's meta-object, so a replaced parser can only be
// installed on an object of the class made here (an object from the module must not
// be driven through a second compiled copy of its class).
#include "DeviceListParser.h"
#include "FakeFrameworkWrapper.h"
#include "FakeTopologyPlugin.h"
#include "PluginDeviceSearch.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

using Record = QMap<QString, QString>;

// Records as "key=value;key=value|...", keys in map order; one QCOMPARE checks all.
QString describe(const QList<Record>& records)
{
    QStringList lines;
    for (const Record& record : records) {
        QStringList fields;
        for (auto it = record.cbegin(); it != record.cend(); ++it)
            fields.append(it.key() + QLatin1Char('=') + it.value());
        lines.append(fields.join(QLatin1Char(';')));
    }
    return lines.join(QLatin1Char('|'));
}

// What the caller had in its outputs before the call, so untouched outputs show.
const QList<Record> kEarlier{Record{{QStringLiteral("earlier"), QStringLiteral("kept")}}};
const QString kEarlierText = QStringLiteral("earlier=kept");
constexpr uint kEarlierCount = 5;

// Hands back what the test chose, whatever the path.
class ScriptedParser final : public IDeviceListParser
{
public:
    int Parse(const QString& filePath, QList<Record>& devices, uint& numWrongFormat) override
    {
        paths.append(filePath);
        devices = records;
        numWrongFormat += wrong;
        return 0;
    }

    QStringList paths;
    QList<Record> records;
    uint wrong = 0;
};

} // namespace

class tst_DeviceListParser : public QObject
{
    Q_OBJECT

private:
    QString write(const QByteArray& content, const QString& name = QStringLiteral("list.csv"))
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        file.write(content);
        return path;
    }

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("records");
        QTest::addColumn<int>("wrong");

        // Header detection.
        QTest::newRow("claims by containment, any letter case")
            << QByteArray("Name,IP Address,Port,MAC\ncam,10.0.0.1,80,00:11\n") << 0
            << "ip=10.0.0.1;mac=00:11;port=80" << 0;
        QTest::newRow("leftmost cell wins: description holds ip")
            << QByteArray("Description,IP,Port\nfront door,10.0.0.1,80\n") << 0 << "ip=front door;port=80" << 0;
        QTest::newRow("one cell claims host and ip") << QByteArray("hostip,port\nnvr,80\n") << 0
                                                     << "host=nvr;ip=nvr;port=80" << 0;
        QTest::newRow("all six keys in any order")
            << QByteArray("MAC,Port,Model,IP,Brand,Host\naa,80,m,10.0.0.1,0,h\n") << 0
            << "brand=0;host=h;ip=10.0.0.1;mac=aa;model=m;port=80" << 0;
        QTest::newRow("non-ASCII header cell and UTF-8 text")
            << QByteArray("Modell \xC3\x9C,IP,Port\nKamera T\xC3\xBCr,10.0.0.1,80\n") << 0
            << QString::fromUtf8("ip=10.0.0.1;model=Kamera T\xC3\xBCr;port=80") << 0;

        // Field counts: up to the rightmost claimed column, not the header's width.
        QTest::newRow("three, two and four fields")
            << QByteArray("Name,IP,Port,Note\nx,10.0.0.1,80\nx,10.0.0.2\nx,10.0.0.3,81,extra\n") << 0
            << "ip=10.0.0.1;port=80|ip=10.0.0.3;port=81" << 1;
        QTest::newRow("optional column counts toward the field count")
            << QByteArray("IP,Port,MAC\n10.0.0.1,80\n10.0.0.2,81,aa\n") << 0 << "ip=10.0.0.2;mac=aa;port=81" << 1;
        QTest::newRow("empty fields keep positions, ip not checked")
            << QByteArray("IP,Model,Port\n,,80\nnot an address,m,81\n") << 0
            << "ip=;model=;port=80|ip=not an address;model=m;port=81" << 0;
        QTest::newRow("blank line is wrong") << QByteArray("IP,Port\n10.0.0.1,80\n\n10.0.0.2,81\n") << 0
                                             << "ip=10.0.0.1;port=80|ip=10.0.0.2;port=81" << 1;
        QTest::newRow("blank last line is wrong") << QByteArray("IP,Port\n10.0.0.1,80\n\n") << 0
                                                  << "ip=10.0.0.1;port=80" << 1;
        QTest::newRow("comma between quotes still separates")
            << QByteArray("Model,IP,Port\n\"a,b\",10.0.0.1,80\n") << 0 << "" << 1;

        // Quotes and spaces.
        QTest::newRow("quote runs removed at both ends only")
            << QByteArray("Model,IP,Port\n\"\"a\"b\"\",\"10.0.0.1\",\"80\"\n") << 0
            << "ip=10.0.0.1;model=a\"b;port=80" << 0;
        QTest::newRow("field of quotes only becomes empty") << QByteArray("Model,IP,Port\n\"\"\",10.0.0.1,80\n")
                                                            << 0 << "ip=10.0.0.1;model=;port=80" << 0;
        QTest::newRow("spaces kept, and quotes behind them")
            << QByteArray("Model,IP,Port\n \"m\",  10.0.0.1 ,80\n") << 0 << "ip=  10.0.0.1 ;model= \"m;port=80" << 0;

        // Encoding and line ends.
        QTest::newRow("CR LF, last line without line end")
            << QByteArray("IP,Port\r\n10.0.0.1,80\r\n10.0.0.2,81") << 0 << "ip=10.0.0.1;port=80|ip=10.0.0.2;port=81"
            << 0;
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBFIP,Port\n10.0.0.1,80\n") << 0
                                         << "ip=10.0.0.1;port=80" << 0;

        // Empty results: the list is cleared only once the file proved non-empty.
        QTest::newRow("empty file: outputs untouched") << QByteArray() << 1 << kEarlierText << 0;
        QTest::newRow("a line end alone: list cleared") << QByteArray("\n") << 1 << "" << 0;
        QTest::newRow("header only") << QByteArray("IP,Port\n") << 0 << "" << 0;
        QTest::newRow("no port column: list cleared") << QByteArray("IP,Host\n10.0.0.1,h\n") << 1 << "" << 0;

        // Port texts: one to five ASCII digits up to 65535, stored as written.
        const auto port = [](const char* name, const QByteArray& field, bool accepted) {
            QTest::newRow(name) << "IP,Port\n10.0.0.1," + field + '\n' << 0
                                << (accepted ? "ip=10.0.0.1;port=" + QString::fromUtf8(field) : QString())
                                << (accepted ? 0 : 1);
        };
        port("port 080: leading zero kept", "080", true);
        port("port 0", "0", true);
        port("port 65535", "65535", true);
        port("port 65536", "65536", false);
        port("port 000080: six digits", "000080", false);
        port("port empty", "", false);
        port("port with a space before", " 80", false);
        port("port +80", "+80", false);
        port("port in arabic-indic digits", "\xD9\xA8\xD9\xA0", false);
    }

    void parse()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, result);
        QFETCH(QString, records);
        QFETCH(int, wrong);

        const QString path = write(content);
        QVERIFY(!path.isEmpty());
        QList<Record> devices = kEarlier;
        uint numWrongFormat = kEarlierCount;

        QCOMPARE(DeviceListParser().Parse(path, devices, numWrongFormat), result);
        QCOMPARE(describe(devices), records);
        QCOMPARE(numWrongFormat, kEarlierCount + uint(wrong));
    }

    void counterAddsUpOverCallsAndLongFilesAreRead()
    {
        QByteArray content("IP,Port\nx\n");
        for (int i = 0; i < 20000; ++i)
            content += "10.0." + QByteArray::number(i / 256) + '.' + QByteArray::number(i % 256) + ",80\n";
        const QString first = write("IP,Port\ny\nz\n", QStringLiteral("first.csv"));
        const QString second = write(content, QStringLiteral("second.csv"));
        QList<Record> devices;
        uint numWrongFormat = 0;
        DeviceListParser parser;

        QCOMPARE(parser.Parse(first, devices, numWrongFormat), 0);
        QCOMPARE(parser.Parse(second, devices, numWrongFormat), 0);

        QCOMPARE(numWrongFormat, 3u);
        QCOMPARE(devices.size(), 20000);
        QCOMPARE(devices.last().value("ip"), QStringLiteral("10.0.78.31"));
    }

    // Opening a FIFO waits for a writer and /dev/zero never ends; such paths must
    // be turned down before anything is read.
    void paths_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("result");
        QTest::newRow("no such file") << "missing" << 1;
        QTest::newRow("directory") << "directory" << 1;
        QTest::newRow("FIFO") << "fifo" << 1;
        QTest::newRow("/dev/zero") << "devzero" << 1;
        QTest::newRow("link to a file is read") << "link" << 0;
    }

    void paths()
    {
        QFETCH(QString, kind);
        QFETCH(int, result);

        QString path = m_dir.filePath(kind + QStringLiteral(".csv"));
        if (kind == "directory") {
            QVERIFY(QDir().mkpath(path));
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "devzero") {
            path = QStringLiteral("/dev/zero");
        } else if (kind == "link") {
            QVERIFY(QFile::link(write("IP,Port\n10.0.0.1,80\n", QStringLiteral("target.csv")), path));
        }
        QList<Record> devices = kEarlier;
        uint numWrongFormat = kEarlierCount;

        QCOMPARE(DeviceListParser().Parse(path, devices, numWrongFormat), result);
        QCOMPARE(describe(devices), result == 0 ? QStringLiteral("ip=10.0.0.1;port=80") : kEarlierText);
        QCOMPARE(numWrongFormat, kEarlierCount);
    }

    void importUsesTheInstalledParser()
    {
        FakeFrameworkWrapper wrapper;
        FakeTopologyPlugin topology;
        topology.addChannel("10.0.0.2", "81", 1, 1);
        wrapper.pluginObjects.insert(FakeTopologyPlugin::PluginId, &topology);
        PluginDeviceSearch plugin;
        QVERIFY(plugin.InitialPluginBase(nullptr, reinterpret_cast<void*>(quintptr(0xBEEF)), &wrapper));
        auto first = QSharedPointer<ScriptedParser>::create();
        auto parser = QSharedPointer<ScriptedParser>::create();
        plugin.SetDeviceListParser(first);
        plugin.SetDeviceListParser(parser);
        const QWeakPointer<ScriptedParser> firstWatch = first;
        first.reset();
        QVERIFY(firstWatch.isNull());

        parser->records = {Record{{"brand", "2"}, {"ip", "10.0.0.1"}, {"port", "80"}, {"model", "M"},
                                  {"host", "h"}, {"mac", "aa"}},
                           Record{{"ip", "10.0.0.2"}, {"port", "81"}},
                           Record{{"ip", "10.0.0.3"}, {"port", "82"}}};
        parser->wrong = 3;
        QSignalSpy exist(&plugin, &PluginDeviceSearch::devicesExist);
        QSignalSpy notAllCorrect(&plugin, &PluginDeviceSearch::importFileNotAllCorrect);

        const QVariant result = plugin.importDevices(QUrl::fromLocalFile("/nowhere/list.csv"));

        QCOMPARE(parser->paths, QStringList{"/nowhere/list.csv"});
        const QVariantList expected{
            QVariantMap{{"brand", "2"}, {"host", "10.0.0.1"}, {"port", "80"}, {"modelName", "M"},
                        {"hostName", "h"}, {"mac", "aa"}},
            QVariantMap{{"brand", ""}, {"host", "10.0.0.3"}, {"port", "82"}, {"modelName", ""},
                        {"hostName", ""}, {"mac", ""}}};
        QCOMPARE(result.toList(), expected);
        QCOMPARE(exist.count(), 0);
        QCOMPARE(notAllCorrect.count(), 1);
        QCOMPARE(notAllCorrect.at(0).at(0).toUInt(), 3u);
        QCOMPARE(topology.calls(), 3);
    }
};

QTEST_MAIN(tst_DeviceListParser)
#include "tst_devicelistparser.moc"
