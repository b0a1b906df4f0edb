#pragma once

#include <FrameworkWrapperBase.h>
#include <PluginBase.h>

#include <QObject>
#include <QPluginLoader>
#include <QStandardItemModel>
#include <QString>
#include <QVariant>

class QSortFilterProxyModel;

// The host's wrapper as the benchmarks need it: takes every command, keeps the last
// one (its user data carries the authorization context), and hands out the topology.
class BenchWrapper : public FrameworkWrapperBase
{
public:
    bool SendCommand(void* hostContext, const QString& senderPluginId, const QString& command,
                     const QVariant& parameters, void* userData, bool flag, const QString& text) override;
    QObject* GetPluginObject(void* hostContext, const QString& pluginId) override;

    QString lastCommand;
    QVariant lastParameters;
    void* lastUserData = nullptr;
    QObject* topology = nullptr;

    // The "reqUID" of the last command.
    QString lastRequestId() const;
};

// A topology plug-in that manages nothing yet: one site without devices.
class EmptyTopology : public QObject
{
    Q_OBJECT

public:
    EmptyTopology();
    Q_INVOKABLE QObject* getStandardTopologyModel() { return &m_model; }

private:
    QStandardItemModel m_model;
};

// One plug-in object, loaded from the module file and connected as the host does.
// A proxy that a view shows has built its row mapping, so both proxies are asked
// for their rows at once, as a QML view would.
class PluginSession
{
public:
    explicit PluginSession(QPluginLoader& loader);
    ~PluginSession();

    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    PluginBase* plugin() const { return m_plugin; }
    QObject* object() const { return m_object; }
    BenchWrapper& wrapper() { return m_wrapper; }
    QStandardItemModel* cameraModel() const { return m_cameraModel; }
    QSortFilterProxyModel* cameraProxy() const { return m_cameraProxy; }
    QStandardItemModel* stationModel() const { return m_stationModel; }
    QSortFilterProxyModel* stationProxy() const { return m_stationProxy; }

    // QML-facing calls, through the meta-object by name.
    QString searchDevices(int flag);
    QString searchStations();
    bool refreshDevices();
    bool authorizeList(const QStringList& uids);
    void addDevice(const QString& hostName, const QString& host, ushort port);
    QVariant importDevices(const QString& path);
    static void setFilterString(QObject* proxy, const QString& text);
    static void sortByRole(QObject* proxy, int role);

    // Host answers and events.
    void answer(const QString& command, const QVariant& result, void* userData = nullptr, bool done = true);
    void event(const QString& name, const QVariant& data);

private:
    BenchWrapper m_wrapper;
    EmptyTopology m_topology;
    QObject* m_object = nullptr;
    PluginBase* m_plugin = nullptr;
    QStandardItemModel* m_cameraModel = nullptr;
    QSortFilterProxyModel* m_cameraProxy = nullptr;
    QStandardItemModel* m_stationModel = nullptr;
    QSortFilterProxyModel* m_stationProxy = nullptr;
};
