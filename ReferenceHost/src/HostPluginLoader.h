#pragma once

#include <QPluginLoader>
#include <QString>

class PluginBase;

// Loads a plug-in file the way the client does and refuses anything that is not
// the device search plug-in: the interface identifier and the "PluginID" of its
// metadata must both match before any code of the file runs.
class HostPluginLoader
{
public:
    static const QString InterfaceId;
    static const QString DeviceSearchPluginId;

    explicit HostPluginLoader(const QString& fileName);

    // The plug-in's root object as the host's base class, or null; error() says why.
    // The file stays loaded for the life of the process: the plug-in registers QML
    // types whose meta-objects live in it.
    PluginBase* load();

    QObject* instance() const { return m_instance; }
    QString error() const { return m_error; }
    QString fileName() const { return m_loader.fileName(); }

private:
    QPluginLoader m_loader;
    QObject* m_instance = nullptr;
    QString m_error;
};
