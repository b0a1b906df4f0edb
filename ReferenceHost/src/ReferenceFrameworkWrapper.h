#pragma once

#include <FrameworkWrapperBase.h>

class SimulatedServer;
class TopologyPlugin;

// The host's framework as the plug-in sees it: commands go to the simulated server,
// and the topology plug-in is the only other plug-in it can look up.
class ReferenceFrameworkWrapper : public FrameworkWrapperBase
{
public:
    ReferenceFrameworkWrapper(void* hostContext, SimulatedServer& server, TopologyPlugin& topology);

    bool SendCommand(void* hostContext, const QString& senderPluginId, const QString& command,
                     const QVariant& parameters, void* userData, bool flag, const QString& text) override;
    QObject* GetPluginObject(void* hostContext, const QString& pluginId) override;

    // Calls that came with a host context other than the one the plug-in was given.
    int foreignContextCalls() const { return m_foreignContextCalls; }

private:
    void* m_hostContext;
    SimulatedServer& m_server;
    TopologyPlugin& m_topology;
    int m_foreignContextCalls = 0;
};
