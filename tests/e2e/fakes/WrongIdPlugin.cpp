#include <PluginBase.h>

// Another plug-in of the same host: right interface, another "PluginID".
class WrongIdPlugin : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.QUORLAN.UIFramework.PluginInterface" FILE "WrongIdPlugin.json")
};

#include "WrongIdPlugin.moc"
