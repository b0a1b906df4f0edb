// A replaced parser is installed through a C++ member outside the meta-object, so this
// drives an object of the class compiled here, never one from the module. What the
// plug-in makes of the records and the wrong-line count: tst_import.
#include "FakeFrameworkWrapper.h"
#include "FakeTopologyPlugin.h"
#include "IDeviceListParser.h"
#include "PluginDeviceSearch.h"

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

        const QVariant result = plugin.importDevices(QUrl::fromLocalFile("/nowhere/list.csv"));

        QCOMPARE(parser->path, "/nowhere/list.csv");
        const QVariantList expected{QVariantMap{{"brand", "2"}, {"host", "10.0.0.1"}, {"port", "80"},
                                                {"modelName", "M"}, {"hostName", "h"}, {"mac", "aa"}},
                                    QVariantMap{{"brand", ""}, {"host", "10.0.0.3"}, {"port", "82"},
                                                {"modelName", ""}, {"hostName", ""}, {"mac", ""}}};
        QCOMPARE(result.toList(), expected);
    }
};

QTEST_MAIN(tst_DeviceListParser)
#include "tst_devicelistparser.moc"
