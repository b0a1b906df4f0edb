#include "ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

static const QString kPluginId = QStringLiteral("81A12407F58943CAB74F1F5D78E64C67");

// The plug-in file as the host meets it: metadata, the root object's life, the
// commands it sends and the dispatch of answers and events. No logging library here.
class tst_SpineHost : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void metaDataNamesTheInterface()
    {
        const QJsonObject meta = QPluginLoader(QStringLiteral(PDS_PLUGIN_FILE)).metaData();
        QCOMPARE(meta.value("IID").toString(), QStringLiteral("com.QUORLAN.UIFramework.PluginInterface"));
        QCOMPARE(meta.value("className").toString(), QStringLiteral("PluginDeviceSearch"));
        QCOMPARE(meta.value("MetaData").toObject(), QJsonObject({{"ClientOnly", false}, {"PluginID", kPluginId}}));
    }

    // One root object until it is destroyed, which takes its models along.
    void rootObjectLifecycle()
    {
        PluginHarness h(false);
        QCOMPARE(h.loader().instance(), h.object());
        QVERIFY(h.plugin()->pluginId().isEmpty());
        QVERIFY(!h.cameraModel() && !h.cameraProxy() && !h.stationModel() && !h.stationProxy());

        QVERIFY(h.initialise());
        QCOMPARE(h.plugin()->pluginName(), QStringLiteral("DeviceSearchPlugin"));
        QCOMPARE(h.plugin()->pluginId(), kPluginId);
        const QList<QPointer<QObject>> models{h.cameraModel(), h.cameraProxy(), h.stationModel(), h.stationProxy()};
        delete h.object();
        for (const QPointer<QObject>& model : models)
            QVERIFY(model.isNull());
    }

    // Answers go by exact command name, events by exact name and only without an error.
    void dispatch()
    {
        CheckedHarness h;
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1")}, true);
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QSignalSpy changes(h.cameraModel(), &QAbstractItemModel::dataChanged);
        const QVariantMap data{{"reqUID", id}, {"devList", QVariantList{foundDevice("b", "10.0.0.2")}}, {"delID", "a"},
                               {"detRes", 0}, {"Model", "M9"}};
        h.answer("SearchDevice", data);
        h.answer("searchDevice ", data);
        h.event("detCamResEvt", data, "timeout");
        h.event("DetCamResEvt", data);
        QCOMPARE(answers.count(), 0);
        QCOMPARE(changes.count(), 0);
        QCOMPARE(h.cameraModel()->rowCount(), 1);

        h.answer("searchDevice", data);
        h.event("detCamResEvt", data);
        QCOMPARE(answers.count(), 1);
        QCOMPARE(column(h.cameraModel(), Cam::Id), QStringLiteral("a,b"));
        QCOMPARE(statusNames(h.cameraModel(), Cam::Status), (QStringList{"Authorized", "NotChecked"}));
    }

    // Every command carries the host context, the plug-in id, null user data, false and
    // an empty text. A refused command is not kept: earlier requests still get answers.
    void sendsAndRefusals()
    {
        CheckedHarness h;
        const QString deviceId = h.startDeviceSearch();
        h.answerSearch(deviceId, {foundDevice("a", "10.0.0.1")});
        const QString stationId = h.startStationSearch();
        h.answerSearch(stationId, {foundDevice("s", "10.0.0.5")});
        h.wrapper().sendResult = false;
        QCOMPARE(h.call("searchDevices", {0, 0}).toBool(), false);
        QCOMPARE(h.call("refreshDevices", {0, 0}).toBool(), false);
        QCOMPARE(h.call("searchStations").toBool(), false);
        for (const SentCommand& sent : std::as_const(h.wrapper().sent)) {
            QCOMPARE(sent.hostContext, PluginHarness::hostContext());
            QCOMPARE(sent.senderPluginId, kPluginId);
            QCOMPARE(sent.userData, nullptr);
            QCOMPARE(sent.flag, false);
            QVERIFY(sent.text.isEmpty());
        }

        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QSignalSpy stationAnswers(h.object(), SIGNAL(searchStationsResp(bool,bool)));
        h.answerSearch(deviceId, {foundDevice("b", "10.0.0.2")});
        h.answerSearch(stationId, {foundDevice("t", "10.0.0.6")});
        QCOMPARE(answers.count(), 1);
        QCOMPARE(stationAnswers.count(), 1);
        QCOMPARE(column(h.cameraModel(), Cam::Id), QStringLiteral("a,b"));
        QCOMPARE(column(h.stationModel(), Station::Id), QStringLiteral("s,t"));
    }
};

QTEST_MAIN(tst_SpineHost)
#include "tst_spine_host.moc"
