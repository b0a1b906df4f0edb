#pragma once

#include <QObject>
#include <QString>
#include <QVariant>
#include <QtPlugin>

class QQmlContext;
class ConfigBase;
class FrameworkWrapperBase;

// Base of every plug-in the host loads. The host casts the plug-in's root object to
// this interface with qobject_cast, connects it with InitialPluginBase, and from then
// on delivers command answers and events through the four processors.
class PluginBase : public QObject
{
public:
    PluginBase() = default;
    ~PluginBase() override = default;

    virtual bool InitialPluginBase(QQmlContext* context, void* hostContext, FrameworkWrapperBase* wrapper) = 0;
    virtual void EventProcessor(QString event, qint64 time, int source, int type, QVariant data,
                                const QString& error) = 0;
    virtual void EventProcessorEx(QString event, ConfigBase* config, qint64 time, int source, int type,
                                  QVariant data, const QString& error) = 0;
    virtual void CommandProcessor(QString command, QVariant result, void* userData, QString resultCode,
                                  QString resultText, bool done, const QString& extra) = 0;
    virtual void CommandProcessorEx(QString command, ConfigBase* config, QVariant result, void* userData,
                                    QString resultCode, QString resultText, bool done,
                                    const QString& extra) = 0;
    virtual bool Init(QQmlContext* context) = 0;

    // Host hooks that this generation of plug-ins leaves alone.
    virtual void OnActivated() {}
    virtual void OnDeactivated() {}
    virtual void OnLanguageChanged() {}
    virtual void OnShutdown() {}

    const QString& pluginName() const { return m_pluginName; }
    const QString& pluginId() const { return m_pluginId; }

protected:
    bool m_flag = false;
    QString m_pluginName;
    QString m_pluginId;
};

#define PluginBase_iid "com.QUORLAN.UIFramework.PluginInterface"
Q_DECLARE_INTERFACE(PluginBase, PluginBase_iid)
