// A replaced parser is installed through a C++ member outside the meta-object, so this
// drives an object of the class compiled here, never one from the module.
#include "FakeFrameworkWrapper.h"
#include "FakeTopologyPlugin.h"
#include "DeviceListParser.h"
#include "IDeviceListParser.h"
#include "PluginDeviceSearch.h"

#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>

using Record = QMap<QString, QString>;

// Hands back what the test chose, whatever the path.
struct ScriptedParser final : IDeviceListParser {
    int Parse(const QString& filePath, QList<Record>& devices, uint& numWrongFormat) override
    {
        path = filePath;
        devices = {Record{{"brand", "2"}, {"ip", "10.0.0.1"}, {"port", "80"}, {"model", "M"}, {"host", "h"},
                          {"mac", "aa"}},
                   Record{{"ip", "10.0.0.2"}, {"port", "81"}}, Record{{"ip", "10.0.0.3"}, {"port", "82"}}};
        numWrongFormat += 3;
        return 0;
    }
    QString path;
};

class tst_DeviceListParser : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void importUsesTheInstalledParser()
    {
        FakeFrameworkWrapper wrapper;
        FakeTopologyPlugin topology;
        topology.addChannel("10.0.0.2", "81", 1, 1);
        wrapper.pluginObjects.insert(FakeTopologyPlugin::PluginId, &topology);
        PluginDeviceSearch plugin;
        QVERIFY(plugin.InitialPluginBase(nullptr, reinterpret_cast<void*>(quintptr(0xBEEF)), &wrapper));
        auto parser = QSharedPointer<ScriptedParser>::create();
        plugin.SetDeviceListParser(parser);
        QSignalSpy exist(&plugin, &PluginDeviceSearch::devicesExist);
        QSignalSpy notAllCorrect(&plugin, &PluginDeviceSearch::importFileNotAllCorrect);

        const QVariant result = plugin.importDevices(QUrl::fromLocalFile("/nowhere/list.csv"));

        QCOMPARE(parser->path, "/nowhere/list.csv");
        const QVariantList expected{QVariantMap{{"brand", "2"}, {"host", "10.0.0.1"}, {"port", "80"},
                                                {"modelName", "M"}, {"hostName", "h"}, {"mac", "aa"}},
                                    QVariantMap{{"brand", ""}, {"host", "10.0.0.3"}, {"port", "82"},
                                                {"modelName", ""}, {"hostName", ""}, {"mac", ""}}};
        QCOMPARE(result.toList(), expected);
        QCOMPARE(exist.count(), 0);
        QCOMPARE(notAllCorrect.count(), 1);
        QCOMPARE(notAllCorrect.at(0).at(0).toUInt(), 3u);
        QCOMPARE(topology.calls(), 3);  // asked afresh for every record
    }

    // The import reads lines as they come; any other user gets the records. Both must
    // see the same records and count the same wrong lines. The file's rules: tst_import.
    void linesAsTheyComeMatchTheRecords_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("count");
        QTest::newRow("all six columns, quotes") << QByteArray(
            "Brand,IP Address,Port,Model,Host Name,MAC\n0,10.0.0.1,80,\"M1\",cam-1,0011\n1,10.0.0.2,8O,M2,c,aa\n")
                                                 << 1;
        QTest::newRow("two columns, short and blank lines")
            << QByteArray("Port,IP,Note\n80,10.0.0.1\n\n81,10.0.0.2,x\n") << 2;
    }

    void linesAsTheyComeMatchTheRecords()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, count);
        QTemporaryFile file;
        QVERIFY(file.open());
        file.write(content);
        file.close();

        DeviceListParser parser;
        QList<Record> records;
        uint wrong = 0;
        const int parsed = parser.Parse(file.fileName(), records, wrong);
        QList<Record> lines;
        uint wrongLines = 0;
        const int parsedLines = parser.ParseEach(
            file.fileName(),
            [&](const DeviceListParser::Line& line) {
                Record record;
                for (const DeviceListParser::Value& value : line)
                    record.insert(*value.key, value.text.toString());
                lines.append(record);
            },
            wrongLines);

        QCOMPARE(parsedLines, parsed);
        QCOMPARE(records.size(), count);
        QCOMPARE(lines, records);
        QCOMPARE(wrongLines, wrong);
    }
};

QTEST_MAIN(tst_DeviceListParser)
#include "tst_devicelistparser.moc"
