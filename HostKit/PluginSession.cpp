#include "PluginSession.h"

#include "Failure.h"

PluginSession::PluginSession(const QString& pluginFile, bool initialise)
    : m_loader(pluginFile)
{
    m_object = m_loader.instance();
    if (!m_object) {
        HostKit::fail(m_loader.errorString());
        return;
    }
    m_plugin = qobject_cast<PluginBase*>(m_object);
    if (!m_plugin) {
        HostKit::fail(QStringLiteral("%1 is no PluginBase").arg(pluginFile));
        return;
    }
    if (initialise && !this->initialise())
        HostKit::fail(QStringLiteral("InitialPluginBase refused"));
}

PluginSession::~PluginSession()
{
    // Never unload: the plug-in registered a QML type whose meta-object lives in it.
    delete m_object.data();
}

bool PluginSession::initialise()
{
    return m_plugin->InitialPluginBase(nullptr, hostContext(), &m_wrapper);
}

template <typename Model>
static Model* modelGetter(QObject* object, const char* name)
{
    return qobject_cast<Model*>(HostKit::call(object, name).value<QObject*>());
}

QStandardItemModel* PluginSession::cameraModel() const
{
    return modelGetter<QStandardItemModel>(m_object, "getCameraModel");
}

QSortFilterProxyModel* PluginSession::cameraProxy() const
{
    return modelGetter<QSortFilterProxyModel>(m_object, "getCameraSortFilterModel");
}

QStandardItemModel* PluginSession::stationModel() const
{
    return modelGetter<QStandardItemModel>(m_object, "getSearchedStationModel");
}

QSortFilterProxyModel* PluginSession::stationProxy() const
{
    return modelGetter<QSortFilterProxyModel>(m_object, "getSearchedStationSortFilterModel");
}

void PluginSession::answer(const QString& command, const QVariant& result, void* userData,
                           const QString& resultCode, bool done)
{
    m_plugin->CommandProcessor(command, result, userData, resultCode, QString(), done, QString());
}

void PluginSession::answerSearch(const QString& requestId, const QVariantList& devList, bool checkAuth,
                                 const QString& resultCode, bool done)
{
    QVariantMap result{{QStringLiteral("reqUID"), requestId}, {QStringLiteral("devList"), devList}};
    if (checkAuth)
        result.insert(QStringLiteral("checkAuth"), true);
    answer(QStringLiteral("searchDevice"), result, nullptr, resultCode, done);
}

void PluginSession::event(const QString& name, const QVariant& data, const QString& error)
{
    m_plugin->EventProcessor(name, 0, 0, 0, data, error);
}

QString PluginSession::startDeviceSearch(int flag)
{
    if (!call("searchDevices", {0, flag}).toBool())
        HostKit::fail(QStringLiteral("searchDevices was refused"));
    return m_wrapper.lastRequestId();
}

QString PluginSession::startStationSearch()
{
    if (!call("searchStations").toBool())
        HostKit::fail(QStringLiteral("searchStations was refused"));
    return m_wrapper.lastRequestId();
}
