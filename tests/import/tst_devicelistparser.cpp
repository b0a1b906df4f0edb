// Links the plug-in's code: SetDeviceListParser is a C++ member outside the plug-in's
// meta-object, so a replaced parser can only be installed on an object of the class
// made here (an object from the module must not be driven through a second compiled
// copy of its class). tst_import reads real files through the plug-in's own parser.
#include "FakeFrameworkWrapper.h"
#include "FakeTopologyPlugin.h"
#include "IDeviceListParser.h"
#include "PluginDeviceSearch.h"

#include <QSignalSpy>
#include <QTest>

namespace {

using Record = QMap<QString, QString>;

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
        // Asked afresh for every record.
        QCOMPARE(topology.calls(), 3);
    }
};

QTEST_MAIN(tst_DeviceListParser)
#include "tst_devicelistparser.moc"
