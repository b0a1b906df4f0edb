#include "ModelTesters.h"
#include "PluginHarness.h"

#include <QJsonObject>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>

#include <dlfcn.h>

namespace {

const QString kPluginId = QStringLiteral("81A12407F58943CAB74F1F5D78E64C67");

QHash<int, QByteArray> cameraRoleNames()
{
    return {{256, "idRole"},       {267, "hostNameRole"},  {257, "modelRole"},     {258, "macRole"},
            {259, "ipRole"},       {260, "portRole"},      {261, "typeRole"},      {262, "statusRole"},
            {263, "userNameRole"}, {264, "passwordRole"},  {265, "ipForSortRole"}, {266, "brandNameRole"},
            {268, "brandRole"},    {269, "urlRole"},       {270, "channelNumRole"}};
}

QHash<int, QByteArray> stationRoleNames()
{
    return {{257, "idRole"},        {258, "modelRole"},    {259, "macRole"},          {260, "ipRole"},
            {261, "portRole"},      {262, "typeRole"},     {263, "brandRole"},        {264, "brandNameRole"},
            {265, "statusRole"},    {266, "hostNameRole"}, {267, "httpsPortRole"},    {268, "passwordRole"},
            {269, "qrlnModelRole"}};
}

} // namespace

// The plug-in file as the host meets it: metadata, the root object, its life before
// and after InitialPluginBase. This process has no logging library at all.
class tst_SpineLifecycle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void metaDataNamesTheInterface()
    {
        QPluginLoader loader(QStringLiteral(PDS_PLUGIN_FILE));
        const QJsonObject meta = loader.metaData();
        QCOMPARE(meta.value("IID").toString(), QStringLiteral("com.QUORLAN.UIFramework.PluginInterface"));
        QCOMPARE(meta.value("className").toString(), QStringLiteral("PluginDeviceSearch"));
        QCOMPARE(meta.value("MetaData").toObject(),
                 QJsonObject({{"ClientOnly", false}, {"PluginID", kPluginId}}));
    }

    void oneRootObjectUntilItIsDestroyed()
    {
        QPluginLoader loader(QStringLiteral(PDS_PLUGIN_FILE));
        QPointer<QObject> first = loader.instance();
        QVERIFY2(first, qPrintable(loader.errorString()));
        QCOMPARE(loader.instance(), first.data());
        QCOMPARE(first->metaObject()->className(), "PluginDeviceSearch");
        auto* plugin = qobject_cast<PluginBase*>(first.data());
        QVERIFY(plugin);
        FakeFrameworkWrapper wrapper;
        QVERIFY(plugin->InitialPluginBase(nullptr, PluginHarness::hostContext(), &wrapper));

        delete first.data();
        QVERIFY(first.isNull());
        // The next object is a fresh one: not connected, no models.
        QObject* second = loader.instance();
        QVERIFY(second);
        QCOMPARE(metaCall(second, "getCameraModel").value<QObject*>(), nullptr);
        QCOMPARE(loader.instance(), second);
        delete second;
    }

    void gettersAreNullBeforeInit()
    {
        PluginHarness h(false);
        for (const char* getter : {"getCameraModel", "getCameraSortFilterModel", "getSearchedStationModel",
                                   "getSearchedStationSortFilterModel"})
            QVERIFY2(!h.call(getter).value<QObject*>(), getter);
        QVERIFY(h.plugin()->pluginName().isEmpty());
        QVERIFY(h.plugin()->pluginId().isEmpty());
    }

    void initialPluginBaseNamesThePluginAndInitialises()
    {
        PluginHarness h(false);
        QCOMPARE(h.plugin()->InitialPluginBase(nullptr, PluginHarness::hostContext(), &h.wrapper()), true);
        QCOMPARE(h.plugin()->pluginName(), QStringLiteral("DeviceSearchPlugin"));
        QCOMPARE(h.plugin()->pluginId(), kPluginId);
        QVERIFY(h.cameraModel() && h.cameraProxy() && h.stationModel() && h.stationProxy());
    }

    void modelsAfterInit()
    {
        PluginHarness h;
        QStandardItemModel* cameras = h.cameraModel();
        QSortFilterProxyModel* cameraView = h.cameraProxy();
        QStandardItemModel* stations = h.stationModel();
        QSortFilterProxyModel* stationView = h.stationProxy();

        QCOMPARE(cameras->metaObject()->className(), "QStandardItemModel");
        QCOMPARE(cameraView->metaObject()->className(), "CameraSortFilterModel");
        QCOMPARE(stations->metaObject()->className(), "StationTableModel");
        QCOMPARE(stationView->metaObject()->className(), "StationTableSortFilterModel");
        for (QObject* model : {static_cast<QObject*>(cameras), static_cast<QObject*>(cameraView),
                               static_cast<QObject*>(stations), static_cast<QObject*>(stationView)})
            QCOMPARE(model->parent(), h.object());

        QCOMPARE(cameras->roleNames(), cameraRoleNames());
        QVERIFY(!cameras->roleNames().contains(271));
        QCOMPARE(cameraView->roleNames(), cameraRoleNames());
        QCOMPARE(stations->roleNames(), stationRoleNames());
        QCOMPARE(stationView->roleNames(), stationRoleNames());

        QCOMPARE(cameraView->sourceModel(), cameras);
        QCOMPARE(stationView->sourceModel(), stations);
    }

    void proxySettings()
    {
        PluginHarness h;
        QCOMPARE(h.cameraProxy()->dynamicSortFilter(), false);
        QCOMPARE(h.cameraProxy()->filterCaseSensitivity(), Qt::CaseInsensitive);
        QCOMPARE(h.cameraProxy()->sortCaseSensitivity(), Qt::CaseSensitive);
        QCOMPARE(h.stationProxy()->dynamicSortFilter(), false);
        QCOMPARE(h.stationProxy()->filterCaseSensitivity(), Qt::CaseInsensitive);
        QCOMPARE(h.stationProxy()->sortCaseSensitivity(), Qt::CaseInsensitive);
    }

    void destroyingWithoutInitTouchesNoModel()
    {
        PluginHarness h(false);
        QPointer<QObject> object = h.object();
        QVERIFY(object->children().isEmpty());
        delete object.data();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(object.isNull());
    }

    void destroyingAfterInitTakesTheModels()
    {
        PluginHarness h;
        const QList<QPointer<QObject>> models{h.cameraModel(), h.cameraProxy(), h.stationModel(), h.stationProxy()};
        delete h.object();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (const QPointer<QObject>& model : models)
            QVERIFY(model.isNull());
    }

    // The plug-in works the same when no logging library can be found, and nothing
    // here may have brought one in.
    void runsWithoutLoggingLibrary()
    {
        PluginHarness h;
        ModelTesters testers(h);
        QCOMPARE(dlopen("libZelkLogUtl.so", RTLD_NOW | RTLD_NOLOAD), nullptr);
        QCOMPARE(dlsym(RTLD_DEFAULT, "LogTrace_GetGlobalObject"), nullptr);

        const QString kept = h.startDeviceSearch();
        h.wrapper().sendResult = false;
        QCOMPARE(h.call("searchDevices", {0, 0}).toBool(), false);
        QCOMPARE(h.call("refreshDevices", {0, 0}).toBool(), false);
        QCOMPARE(h.call("searchStations").toBool(), false);
        QCOMPARE(h.call("importDevices", {QUrl::fromLocalFile("/nonexistent/list.csv")}).toList(), QVariantList());

        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        h.answerSearch(kept, {foundDevice("a", "10.0.0.1")});
        QCOMPARE(answers.count(), 1);
        QCOMPARE(h.cameraModel()->rowCount(), 1);
    }
};

QTEST_MAIN(tst_SpineLifecycle)
#include "tst_spine_lifecycle.moc"
