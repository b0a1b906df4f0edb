#include "FakeFrameworkWrapper.h"

bool FakeFrameworkWrapper::SendCommand(void* hostContext, const QString& senderPluginId, const QString& command,
                                       const QVariant& parameters, void* userData, bool flag, const QString& text)
{
    sent.append(SentCommand{hostContext, senderPluginId, command, parameters, userData, flag, text});
    return sendResult;
}

QObject* FakeFrameworkWrapper::GetPluginObject(void* hostContext, const QString& pluginId)
{
    pluginObjectRequests.append(pluginId);
    pluginObjectContexts.append(hostContext);
    return pluginObjects.value(pluginId);
}

QString FakeFrameworkWrapper::lastRequestId(const QString& command) const
{
    for (auto it = sent.crbegin(); it != sent.crend(); ++it) {
        if (it->command == command)
            return it->map().value(QStringLiteral("reqUID")).toString();
    }
    return QString();
}
