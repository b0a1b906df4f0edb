#pragma once

#include <QString>
#include <QVariant>

class QObject;

// The host's side of the command bridge. A plug-in sends every request through
// SendCommand; the host answers later through PluginBase::CommandProcessor, handing
// back userData unchanged.
class FrameworkWrapperBase
{
public:
    virtual ~FrameworkWrapperBase() = default;

    // Returns true when the host took the command; an answer then follows
    // through the event loop, never from inside this call.
    virtual bool SendCommand(void* hostContext, const QString& senderPluginId, const QString& command,
                             const QVariant& parameters, void* userData, bool flag, const QString& text) = 0;

    // The root object of another loaded plug-in, or null.
    virtual QObject* GetPluginObject(void* hostContext, const QString& pluginId) = 0;
};
