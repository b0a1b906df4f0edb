#pragma once

#include <FrameworkWrapperBase.h>

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

// Everything one SendCommand call carried.
struct SentCommand
{
    void* hostContext = nullptr;
    QString senderPluginId;
    QString command;
    QVariant parameters;
    void* userData = nullptr;
    bool flag = false;
    QString text;
    // What SendCommand answered: whether the host took the command.
    bool accepted = true;

    QVariantMap map() const { return parameters.toMap(); }
    QString requestId() const { return map().value(QStringLiteral("reqUID")).toString(); }
    QVariantList list() const { return parameters.toList(); }
};

// The host's wrapper as a test sees it: records every command, answers with the
// result the test chose, and hands out other plug-ins' objects by id.
class FakeFrameworkWrapper : public FrameworkWrapperBase
{
public:
    bool SendCommand(void* hostContext, const QString& senderPluginId, const QString& command,
                     const QVariant& parameters, void* userData, bool flag, const QString& text) override;
    QObject* GetPluginObject(void* hostContext, const QString& pluginId) override;

    // The commands sent so far, oldest first.
    QList<SentCommand> sent;
    // What SendCommand answers.
    bool sendResult = true;
    // Runs inside SendCommand after the command is recorded and before it returns, as a
    // host's nested event loop would let QML act; the plug-in may be re-entered from it.
    std::function<void(const SentCommand&)> duringSend;
    // Runs inside GetPluginObject before the object is handed out.
    std::function<void(const QString& pluginId)> duringGetPluginObject;

    // Objects that GetPluginObject hands out, by plug-in id; and the ids asked for.
    QHash<QString, QObject*> pluginObjects;
    QStringList pluginObjectRequests;
    QList<void*> pluginObjectContexts;

    const SentCommand& last() const { return sent.last(); }
    // The "reqUID" of the newest command named command, or an empty string.
    QString lastRequestId(const QString& command = QStringLiteral("searchDevice")) const;
};
