#pragma once

#include <Call.h>
#include <PluginSession.h>

#include <QAbstractItemModel>
#include <QVariantMap>

// The built plug-in file loaded and connected as the host does (see PluginSession);
// anything the kit cannot do fails the current test.
class PluginHarness : public PluginSession
{
public:
    explicit PluginHarness(bool initialise = true);
};

// One found device as the server describes it in "devList".
QVariantMap foundDevice(const QString& id, const QString& ip, int httpPort = 80, int brand = 0,
                        const QString& mac = QStringLiteral("001122AABBCC"), const QString& model = QStringLiteral("M1"));

// The rows of a model (column 0, top level) as "a,b,c" of one role.
QString column(const QAbstractItemModel* model, int role);
// The rows' statuses (or previous statuses) by name, first row first.
QStringList statusNames(const QAbstractItemModel* model, int role);

// Writes a file whole; its path, or an empty text when it cannot be written.
QString writeFile(const QString& path, const QByteArray& content);
