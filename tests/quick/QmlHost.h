#pragma once

#include "FakeFrameworkWrapper.h"
#include "FakeTopologyPlugin.h"

#include <QObject>
#include <QPluginLoader>
#include <QPointer>
#include <QTemporaryDir>
#include <QUrl>
#include <QVariant>

#include <memory>

class PluginBase;
class QQmlEngine;

// The host as QML tests see it (context property "host"): it loads the plug-in
// file, connects the root object to a recording framework wrapper, and lets a test
// read the commands sent and feed the answers back as the host's server would.
class QmlHost : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QObject* plugin READ plugin NOTIFY pluginChanged)

public:
    explicit QmlHost(QQmlEngine* engine);
    ~QmlHost() override;

    QObject* plugin() const { return m_object; }

    // Replaces the plug-in object by a fresh one, so every test starts from empty
    // models, filters and request ids. Views bound to the old models must be gone.
    Q_INVOKABLE bool reset();

    Q_INVOKABLE int sentCount() const { return m_wrapper.sent.size(); }
    // The newest command: "command", "parameters" as sent, and "relayPathIsNull",
    // which JavaScript cannot tell apart from an empty text.
    Q_INVOKABLE QVariantMap lastCommand() const;

    // Answers the newest command with its own user data, as the host does.
    Q_INVOKABLE void answerLast(const QVariantMap& result, const QString& resultCode = QStringLiteral("0"),
                                bool done = true);
    // A "searchDevice" answer for the request requestId.
    Q_INVOKABLE void answerSearch(const QString& requestId, const QVariantList& devList,
                                  const QString& resultCode = QStringLiteral("0"), bool done = true);

    // Every role of a camera row by name; the roles QML cannot name get one here.
    Q_INVOKABLE QVariantMap cameraRow(int row) const;

    // Marks ip:port as a device the client manages in full (one channel).
    Q_INVOKABLE void addManagedDevice(const QString& ip, const QString& port);
    // A file of the given lines in a directory that lives as long as the host.
    Q_INVOKABLE QUrl writeFile(const QString& name, const QStringList& lines);

Q_SIGNALS:
    void pluginChanged();

private:
    QQmlEngine* m_engine;
    QPluginLoader m_loader;
    FakeFrameworkWrapper m_wrapper;
    std::unique_ptr<FakeTopologyPlugin> m_topology;
    QPointer<QObject> m_object;
    PluginBase* m_plugin = nullptr;
    QTemporaryDir m_files;
};
