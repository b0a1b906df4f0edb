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

} // namespace

// The plug-in file as the host meets it: metadata, the root object, its life before
// and after InitialPluginBase. This process has no logging library at all.
class tst_SpineLifecycle : public QObject
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

    void oneRootObjectUntilItIsDestroyed()
    {
        QPluginLoader loader(QStringLiteral(PDS_PLUGIN_FILE));
        QPointer<QObject> first = loader.instance();
        QVERIFY2(first, qPrintable(loader.errorString()));
        QCOMPARE(loader.instance(), first.data());
        FakeFrameworkWrapper wrapper;
        QVERIFY(qobject_cast<PluginBase*>(first)->InitialPluginBase(nullptr, PluginHarness::hostContext(), &wrapper));

        delete first.data();
        // The next object is a fresh one: not connected, no models.
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
            {Cam::Id, "idRole"},         {Cam::Model, "modelRole"},       {Cam::Mac, "macRole"},
            {Cam::Ip, "ipRole"},         {Cam::Port, "portRole"},         {Cam::Type, "typeRole"},
            {Cam::Status, "statusRole"}, {Cam::UserName, "userNameRole"}, {Cam::Password, "passwordRole"},
            {Cam::IpForSort, "ipForSortRole"}, {Cam::BrandName, "brandNameRole"}, {Cam::HostName, "hostNameRole"},
            {Cam::Brand, "brandRole"},   {Cam::Url, "urlRole"},           {Cam::ChannelNum, "channelNumRole"}};
        const QHash<int, QByteArray> stationRoles{
            {Station::Id, "idRole"},       {Station::Model, "modelRole"},         {Station::Mac, "macRole"},
            {Station::Ip, "ipRole"},       {Station::Port, "portRole"},           {Station::Type, "typeRole"},
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

    void destroyingAfterInitTakesTheModels()
    {
        PluginHarness h;
        const QList<QPointer<QObject>> models{h.cameraModel(), h.cameraProxy(), h.stationModel(), h.stationProxy()};
        delete h.object();
        for (const QPointer<QObject>& model : models)
            QVERIFY(model.isNull());
    }

    // The plug-in works the same when no logging library can be found, and nothing
    // here may have brought one in.
    void runsWithoutLoggingLibrary()
    {
        CheckedHarness h;
        QCOMPARE(dlopen("libZelkLogUtl.so", RTLD_NOW | RTLD_NOLOAD), nullptr);
        QCOMPARE(dlsym(RTLD_DEFAULT, "LogTrace_GetGlobalObject"), nullptr);

        const QString kept = h.startDeviceSearch();
        h.wrapper().sendResult = false;
        QCOMPARE(h.call("searchDevices", {0, 0}).toBool(), false);
        QCOMPARE(h.call("importDevices", {QUrl::fromLocalFile("/nonexistent/list.csv")}).toList(), QVariantList());

        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        h.answerSearch(kept, {foundDevice("a", "10.0.0.1")});
        QCOMPARE(answers.count(), 1);
        QCOMPARE(h.cameraModel()->rowCount(), 1);
    }
};

QTEST_MAIN(tst_SpineLifecycle)
#include "tst_spine_lifecycle.moc"
