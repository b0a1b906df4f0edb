#pragma once

#include "HostPluginLoader.h"
#include "Site.h"

#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

class PluginBase;
class QQmlApplicationEngine;
class QQuickWindow;
class ReferenceFrameworkWrapper;
class SimulatedServer;
class TopologyPlugin;

struct HostOptions
{
    QString pluginFile;
    QString siteFile;       // empty: the embedded demo site
    int siteCameras = 0;    // above 0: a generated site of this many cameras, the site above its pattern
};

// Everything the client would be around the plug-in: it loads the plug-in file,
// connects it to the framework wrapper in front of the simulated site, and loads the
// QML screens with the plug-in object in their context.
class HostApplication : public QObject
{
    Q_OBJECT

public:
    explicit HostApplication(HostOptions options);
    ~HostApplication() override;

    // Loads the site, the plug-in and the screens; on failure says why in error.
    bool start(QString& error);

    const Site& site() const { return m_site; }
    QObject* plugin() const { return m_pluginObject; }
    SimulatedServer& server() { return *m_server; }
    QQuickWindow* window() const;
    QString pluginFile() const { return m_loader.fileName(); }

    // The sample import files, copied out of the program to where the plug-in can read them.
    QUrl sampleImportFile() const;
    QUrl managedImportFile() const;

private:
    bool extractSamples(QString& error);

    HostOptions m_options;
    Site m_site;
    QTemporaryDir m_samples;
    std::unique_ptr<SimulatedServer> m_server;
    std::unique_ptr<TopologyPlugin> m_topology;
    std::unique_ptr<ReferenceFrameworkWrapper> m_wrapper;
    HostPluginLoader m_loader;
    PluginBase* m_plugin = nullptr;
    QObject* m_pluginObject = nullptr;
    std::unique_ptr<QQmlApplicationEngine> m_engine;
};
