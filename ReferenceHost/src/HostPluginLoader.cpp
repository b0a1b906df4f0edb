#include "HostPluginLoader.h"

#include <PluginBase.h>

#include <QFileInfo>
#include <QJsonObject>

const QString HostPluginLoader::InterfaceId = QStringLiteral(PluginBase_iid);
const QString HostPluginLoader::DeviceSearchPluginId = QStringLiteral("81A12407F58943CAB74F1F5D78E64C67");

HostPluginLoader::HostPluginLoader(const QString& fileName)
    : m_loader(fileName)
{
}

PluginBase* HostPluginLoader::load()
{
    const QString name = m_loader.fileName().isEmpty() ? QStringLiteral("(no file)") : m_loader.fileName();
    if (!QFileInfo::exists(name)) {
        m_error = QStringLiteral("plug-in file %1 does not exist").arg(name);
        return nullptr;
    }
    const QJsonObject metaData = m_loader.metaData();
    if (metaData.isEmpty()) {
        m_error = QStringLiteral("%1 is not a Qt plug-in: %2").arg(name, m_loader.errorString());
        return nullptr;
    }
    const QString iid = metaData.value(QStringLiteral("IID")).toString();
    if (iid != InterfaceId) {
        m_error = QStringLiteral("refused %1: its interface identifier is \"%2\", the host loads only \"%3\"")
                      .arg(name, iid, InterfaceId);
        return nullptr;
    }
    const QString pluginId = metaData.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("PluginID")).toString();
    if (pluginId != DeviceSearchPluginId) {
        m_error = QStringLiteral("refused %1: its \"PluginID\" is \"%2\", the device search plug-in is \"%3\"")
                      .arg(name, pluginId, DeviceSearchPluginId);
        return nullptr;
    }

    m_instance = m_loader.instance();
    if (!m_instance) {
        m_error = QStringLiteral("cannot load %1: %2").arg(name, m_loader.errorString());
        return nullptr;
    }
    auto* plugin = qobject_cast<PluginBase*>(m_instance);
    if (!plugin) {
        m_error = QStringLiteral("refused %1: its root object does not implement %2").arg(name, InterfaceId);
        delete m_instance;
        m_instance = nullptr;
    }
    return plugin;
}
