#include "FakeFrameworkWrapper.h"

bool FakeFrameworkWrapper::SendCommand(void* hostContext, const QString& senderPluginId, const QString& command,
                                       const QVariant& parameters, void* userData, bool flag, const QString& text)
{
    const bool result = sendResult; // read before the callback, which may change it for later sends
    sent.append(SentCommand{hostContext, senderPluginId, command, parameters, userData, flag, text, result});
    if (duringSend) {
        const SentCommand copy = sent.constLast(); // nested sends grow the list under us
        duringSend(copy);
    }
    return result;
}

QObject* FakeFrameworkWrapper::GetPluginObject(void* hostContext, const QString& pluginId)
{
    pluginObjectRequests.append(pluginId);
    pluginObjectContexts.append(hostContext);
    if (duringGetPluginObject)
        duringGetPluginObject(pluginId);
    return pluginObjects.value(pluginId);
}

QString FakeFrameworkWrapper::lastRequestId(const QString& command) const
{
    for (auto it = sent.crbegin(); it != sent.crend(); ++it) {
        if (it->command == command)
            return it->requestId();
    }
    return QString();
}
