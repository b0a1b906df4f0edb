#include "ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <dlfcn.h>

namespace {

const QString kPluginId = QStringLiteral("81A12407F58943CAB74F1F5D78E64C67");
const char* const kGetters[] = {"getCameraModel", "getCameraSortFilterModel", "getSearchedStationModel",
                                "getSearchedStationSortFilterModel"};

QVariantMap detection(const QString& requestId, const QString& id)
{
    return {{"reqUID", requestId}, {"delID", id}, {"detRes", 0}, {"Model", "M9"}};
}

} // namespace

// The plug-in file as the host meets it: metadata, the root object, its life before
// and after InitialPluginBase, and the dispatch of answers and events. This process
// has no logging library at all.
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

    // Destroying the root object takes its models along; the next one is fresh.
    void oneRootObjectUntilItIsDestroyed()
    {
        QPluginLoader loader(QStringLiteral(PDS_PLUGIN_FILE));
        QPointer<QObject> first = loader.instance();
        QVERIFY2(first, qPrintable(loader.errorString()));
        QCOMPARE(loader.instance(), first.data());
        FakeFrameworkWrapper wrapper;
        QVERIFY(qobject_cast<PluginBase*>(first)->InitialPluginBase(nullptr, PluginHarness::hostContext(), &wrapper));
        QList<QPointer<QObject>> models;
        for (const char* getter : kGetters)
            models.append(metaCall(first, getter).value<QObject*>());

        delete first.data();
        for (const QPointer<QObject>& model : models)
            QVERIFY(model.isNull());
        QObject* second = loader.instance();
        QVERIFY(second);
        QCOMPARE(metaCall(second, "getCameraModel").value<QObject*>(), nullptr);
        delete second;
    }

    void initialPluginBaseNamesThePluginAndMakesTheModels()
    {
        PluginHarness h(false);
        for (const char* getter : kGetters)
            QVERIFY2(!h.call(getter).value<QObject*>(), getter);
        QVERIFY(h.plugin()->pluginId().isEmpty());

        QCOMPARE(h.initialise(), true);
        QCOMPARE(h.plugin()->pluginName(), QStringLiteral("DeviceSearchPlugin"));
        QCOMPARE(h.plugin()->pluginId(), kPluginId);
        QCOMPARE(h.cameraProxy()->sourceModel(), h.cameraModel());
        QCOMPARE(h.stationProxy()->sourceModel(), h.stationModel());

        // QML names roles by these; roles from 271 on stay unnamed.
        const QHash<int, QByteArray> cameraRoles{
            {Cam::Id, "idRole"}, {Cam::Model, "modelRole"}, {Cam::Mac, "macRole"}, {Cam::Ip, "ipRole"},
            {Cam::Port, "portRole"}, {Cam::Type, "typeRole"}, {Cam::Status, "statusRole"},
            {Cam::UserName, "userNameRole"}, {Cam::Password, "passwordRole"}, {Cam::IpForSort, "ipForSortRole"},
            {Cam::BrandName, "brandNameRole"}, {Cam::HostName, "hostNameRole"}, {Cam::Brand, "brandRole"},
            {Cam::Url, "urlRole"}, {Cam::ChannelNum, "channelNumRole"}};
        const QHash<int, QByteArray> stationRoles{
            {Station::Id, "idRole"}, {Station::Model, "modelRole"}, {Station::Mac, "macRole"},
            {Station::Ip, "ipRole"}, {Station::Port, "portRole"}, {Station::Type, "typeRole"},
            {Station::Brand, "brandRole"}, {Station::BrandName, "brandNameRole"}, {Station::Status, "statusRole"},
            {Station::HostName, "hostNameRole"}, {Station::HttpsPort, "httpsPortRole"},
            {Station::Password, "passwordRole"}, {Station::QrlnModel, "qrlnModelRole"}};
        QCOMPARE(h.cameraModel()->roleNames(), cameraRoles);
        QCOMPARE(h.cameraProxy()->roleNames(), cameraRoles);
        QCOMPARE(h.stationModel()->roleNames(), stationRoles);
        QCOMPARE(h.stationProxy()->roleNames(), stationRoles);
    }

    void destroyingWithoutInitTouchesNoModel()
    {
        PluginHarness h(false);
        QVERIFY(h.object()->children().isEmpty());
        delete h.object();
        QVERIFY(!h.object());
    }

    // Nothing in this process brought a logging library in: a failed search still
    // returns false, and nothing else changes.
    void runsWithoutLoggingLibrary()
    {
        CheckedHarness h;
        QCOMPARE(dlopen("libZelkLogUtl.so", RTLD_NOW | RTLD_NOLOAD), nullptr);
        QCOMPARE(dlsym(RTLD_DEFAULT, "LogTrace_GetGlobalObject"), nullptr);
        h.wrapper().sendResult = false;
        QCOMPARE(h.call("searchDevices", {0, 0}).toBool(), false);
        QCOMPARE(h.call("importDevices", {QUrl::fromLocalFile("/nonexistent/list.csv")}).toList(), QVariantList());
    }

    // How host answers and events reach the handlers.
    void commandNamesMatchExactly_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("other letter case") << "SearchDevice";
        QTest::newRow("trailing space") << "searchDevice ";
    }

    void commandNamesMatchExactly()
    {
        QFETCH(QString, command);
        CheckedHarness h;
        const QString id = h.startDeviceSearch();
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));

        h.answer(command, QVariantMap{{"reqUID", id}, {"devList", QVariantList{foundDevice("a", "10.0.0.1")}}});
        QCOMPARE(answers.count(), 0);
        QCOMPARE(h.cameraModel()->rowCount(), 0);
    }

    void detectionEventsNeedAnEmptyError_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("status");
        QTest::newRow("empty error") << "detCamResEvt" << "" << int(Authorized);
        QTest::newRow("with error") << "detCamResEvt" << "timeout" << int(Checking);
        QTest::newRow("other letter case") << "DetCamResEvt" << "" << int(Checking);
    }

    void detectionEventsNeedAnEmptyError()
    {
        QFETCH(QString, event);
        QFETCH(QString, error);
        QFETCH(int, status);
        CheckedHarness h;
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1")}, true);

        h.event(event, detection(id, "a"), error);
        QCOMPARE(h.cameraModel()->item(0)->data(Cam::Status).toInt(), status);
        // The data reaches the handler as sent: Model is only taken on success.
        QCOMPARE(h.cameraModel()->item(0)->data(Cam::Model).toString(), status == Authorized ? "M9" : "M1");
    }

    void extendedProcessorsDoNothing()
    {
        CheckedHarness h;
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1")}, true);
        const QString stationId = h.startStationSearch();
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QSignalSpy stationAnswers(h.object(), SIGNAL(searchStationsResp(bool,bool)));
        QSignalSpy changes(h.cameraModel(), &QAbstractItemModel::dataChanged);

        for (const QString& request : {id, stationId}) {
            const QVariantMap result{{"reqUID", request}, {"devList", QVariantList{foundDevice("b", "10.0.0.2")}}};
            h.plugin()->CommandProcessorEx("searchDevice", nullptr, result, nullptr, "0", QString(), true, QString());
        }
        h.plugin()->EventProcessorEx("detCamResEvt", nullptr, 0, 0, 0, detection(id, "a"), QString());

        QCOMPARE(answers.count() + stationAnswers.count() + changes.count(), 0);
        QCOMPARE(h.cameraModel()->rowCount(), 1);
        QCOMPARE(h.stationModel()->rowCount(), 0);
    }

    // An object that loses its wrapper (a host that reconnects it without one), or
    // never had one, sends nothing; the request it had still collects answers.
    void nullWrapperSendsNothingAndKeepsTheRequestId()
    {
        PluginHarness never(false);
        QCOMPARE(never.call("searchDevices", {0, 7}).toBool(), false);
        QCOMPARE(never.call("searchStations").toBool(), false);

        PluginHarness h;
        const QString kept = h.startDeviceSearch();
        QVERIFY(h.plugin()->InitialPluginBase(nullptr, PluginHarness::hostContext(), nullptr));
        ModelTesters testers(h);
        QCOMPARE(h.call("searchDevices", {0, 0}).toBool(), false);
        QCOMPARE(h.call("refreshDevices", {0, 0}).toBool(), false);
        QCOMPARE(h.call("searchStations").toBool(), false);
        QCOMPARE(h.wrapper().sent.size(), 1);

        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        h.answerSearch(kept, {foundDevice("a", "10.0.0.1")});
        QCOMPARE(answers.count(), 1);
        QCOMPARE(h.cameraModel()->rowCount(), 1);
    }
};

QTEST_MAIN(tst_SpineHost)
#include "tst_spine_host.moc"
