#include <QObject>
#include <QtPlugin>

// A Qt plug-in of some other host: the reference host must not even instantiate it.
class WrongInterfacePlugin : public QObject
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.example.OtherHost.PluginInterface" FILE "WrongInterfacePlugin.json")
};

#include "WrongInterfacePlugin.moc"
