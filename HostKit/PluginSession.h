#pragma once

#include "Call.h"
#include "FakeFrameworkWrapper.h"

#include <PluginBase.h>

#include <QPluginLoader>
#include <QPointer>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>

// Loads the built plug-in file exactly as the host does and connects a fresh root
// object to a FakeFrameworkWrapper. Each session gets its own object; the previous
// one is destroyed with its session, so qt_plugin_instance makes a new one.
class PluginSession
{
public:
    // A recognisable host context, so callers can check it is passed through.
    static void* hostContext() { return reinterpret_cast<void*>(quintptr(0xC0FFEE)); }

    explicit PluginSession(const QString& pluginFile, bool initialise = true);
    ~PluginSession();

    PluginSession(const PluginSession&) = delete;
    PluginSession& operator=(const PluginSession&) = delete;

    bool initialise();

    QObject* object() const { return m_object; }
    PluginBase* plugin() const { return m_plugin; }
    FakeFrameworkWrapper& wrapper() { return m_wrapper; }
    QPluginLoader& loader() { return m_loader; }

    QStandardItemModel* cameraModel() const;
    QSortFilterProxyModel* cameraProxy() const;
    QStandardItemModel* stationModel() const;
    QSortFilterProxyModel* stationProxy() const;

    // QML-facing calls by name.
    QVariant call(const char* method, const QVariantList& args = {}) { return HostKit::call(m_object, method, args); }

    // Host answers and events.
    void answer(const QString& command, const QVariant& result, void* userData = nullptr,
                const QString& resultCode = QStringLiteral("0"), bool done = true);
    void answerSearch(const QString& requestId, const QVariantList& devList, bool checkAuth = false,
                      const QString& resultCode = QStringLiteral("0"), bool done = true);
    void event(const QString& name, const QVariant& data, const QString& error = QString());

    // Starts a device search (or a station search) and returns its request id.
    QString startDeviceSearch(int flag = 0);
    QString startStationSearch();

private:
    QPluginLoader m_loader;
    FakeFrameworkWrapper m_wrapper;
    QPointer<QObject> m_object;
    PluginBase* m_plugin = nullptr;
};
