#include "BenchHost.h"

#include <QSortFilterProxyModel>
#include <QUrl>

#include <stdexcept>

namespace {

const QString kTopologyPluginId = QStringLiteral("1AA33B3D0AA047C9A202F1181284D2CD");

void* hostContext()
{
    return reinterpret_cast<void*>(quintptr(0xC0FFEE));
}

void require(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(what);
}

template <typename T>
T* modelGetter(QObject* object, const char* name)
{
    QObject* model = nullptr;
    require(QMetaObject::invokeMethod(object, name, Qt::DirectConnection, Q_RETURN_ARG(QObject*, model)), name);
    T* typed = qobject_cast<T*>(model);
    require(typed != nullptr, name);
    return typed;
}

} // namespace

bool BenchWrapper::SendCommand(void*, const QString&, const QString& command, const QVariant& parameters,
                               void* userData, bool, const QString&)
{
    lastCommand = command;
    lastParameters = parameters;
    lastUserData = userData;
    return true;
}

QObject* BenchWrapper::GetPluginObject(void*, const QString& pluginId)
{
    return pluginId == kTopologyPluginId ? topology : nullptr;
}

QString BenchWrapper::lastRequestId() const
{
    return lastParameters.toMap().value(QStringLiteral("reqUID")).toString();
}

EmptyTopology::EmptyTopology()
{
    m_model.appendRow(new QStandardItem(QStringLiteral("Site")));
}

PluginSession::PluginSession(QPluginLoader& loader)
{
    // The loader hands out a new root object once the previous one is gone.
    m_object = loader.instance();
    require(m_object != nullptr, "the plug-in did not load");
    m_plugin = qobject_cast<PluginBase*>(m_object);
    require(m_plugin != nullptr, "the plug-in is no PluginBase");
    m_wrapper.topology = &m_topology;
    require(m_plugin->InitialPluginBase(nullptr, hostContext(), &m_wrapper), "InitialPluginBase failed");

    m_cameraModel = modelGetter<QStandardItemModel>(m_object, "getCameraModel");
    m_cameraProxy = modelGetter<QSortFilterProxyModel>(m_object, "getCameraSortFilterModel");
    m_stationModel = modelGetter<QStandardItemModel>(m_object, "getSearchedStationModel");
    m_stationProxy = modelGetter<QSortFilterProxyModel>(m_object, "getSearchedStationSortFilterModel");
    m_cameraProxy->rowCount();
    m_stationProxy->rowCount();
}

PluginSession::~PluginSession()
{
    // Never unload the module: it registered a QML type.
    delete m_object;
}

QString PluginSession::searchDevices(int flag)
{
    bool sent = false;
    require(QMetaObject::invokeMethod(m_object, "searchDevices", Qt::DirectConnection, Q_RETURN_ARG(bool, sent),
                                      Q_ARG(int, 0), Q_ARG(int, flag))
                && sent,
            "searchDevices");
    return m_wrapper.lastRequestId();
}

QString PluginSession::searchStations()
{
    bool sent = false;
    require(QMetaObject::invokeMethod(m_object, "searchStations", Qt::DirectConnection, Q_RETURN_ARG(bool, sent))
                && sent,
            "searchStations");
    return m_wrapper.lastRequestId();
}

bool PluginSession::refreshDevices()
{
    bool sent = false;
    require(QMetaObject::invokeMethod(m_object, "refreshDevices", Qt::DirectConnection, Q_RETURN_ARG(bool, sent),
                                      Q_ARG(int, 0), Q_ARG(int, 0)),
            "refreshDevices");
    return sent;
}

bool PluginSession::authorizeList(const QStringList& uids)
{
    bool result = false;
    require(QMetaObject::invokeMethod(m_object, "authorizeList", Qt::DirectConnection, Q_RETURN_ARG(bool, result),
                                      Q_ARG(QStringList, uids), Q_ARG(QString, QStringLiteral("admin")),
                                      Q_ARG(QString, QStringLiteral("secret"))),
            "authorizeList");
    return result;
}

void PluginSession::addDevice(const QString& hostName, const QString& host, ushort port)
{
    bool result = false;
    require(QMetaObject::invokeMethod(m_object, "addDevice", Qt::DirectConnection, Q_RETURN_ARG(bool, result),
                                      Q_ARG(QString, hostName), Q_ARG(int, 0), Q_ARG(QString, host),
                                      Q_ARG(ushort, port)),
            "addDevice");
}

QVariant PluginSession::importDevices(const QString& path)
{
    QVariant result;
    require(QMetaObject::invokeMethod(m_object, "importDevices", Qt::DirectConnection, Q_RETURN_ARG(QVariant, result),
                                      Q_ARG(QUrl, QUrl::fromLocalFile(path))),
            "importDevices");
    return result;
}

void PluginSession::setFilterString(QObject* proxy, const QString& text)
{
    require(QMetaObject::invokeMethod(proxy, "setFilterString", Qt::DirectConnection, Q_ARG(QString, text)),
            "setFilterString");
}

void PluginSession::sortByRole(QObject* proxy, int role)
{
    require(QMetaObject::invokeMethod(proxy, "sortByRole", Qt::DirectConnection, Q_ARG(int, role)), "sortByRole");
}

void PluginSession::answer(const QString& command, const QVariant& result, void* userData, bool done)
{
    m_plugin->CommandProcessor(command, result, userData, QStringLiteral("0"), QString(), done, QString());
}

void PluginSession::event(const QString& name, const QVariant& data)
{
    m_plugin->EventProcessor(name, 0, 0, 0, data, QString());
}
