#include "ReferenceFrameworkWrapper.h"

#include "SimulatedServer.h"
#include "TopologyPlugin.h"

#include <QDebug>

ReferenceFrameworkWrapper::ReferenceFrameworkWrapper(void* hostContext, SimulatedServer& server,
                                                     TopologyPlugin& topology)
    : m_hostContext(hostContext)
    , m_server(server)
    , m_topology(topology)
{
}

bool ReferenceFrameworkWrapper::SendCommand(void* hostContext, const QString& senderPluginId, const QString& command,
                                            const QVariant& parameters, void* userData, bool /*flag*/,
                                            const QString& /*text*/)
{
    // The client routes a command by the context it handed out; a plug-in that
    // passes another one would have its command lost there, so refuse it here too.
    if (hostContext != m_hostContext) {
        ++m_foreignContextCalls;
        qWarning().noquote() << "refused command" << command << "from" << senderPluginId
                             << ": unknown host context";
        return false;
    }
    return m_server.takeCommand(command, parameters, userData);
}

QObject* ReferenceFrameworkWrapper::GetPluginObject(void* hostContext, const QString& pluginId)
{
    if (hostContext != m_hostContext) {
        ++m_foreignContextCalls;
        return nullptr;
    }
    return pluginId == TopologyPlugin::PluginId ? &m_topology : nullptr;
}
