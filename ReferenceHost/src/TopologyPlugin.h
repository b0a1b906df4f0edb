#pragma once

#include "Site.h"

#include <QObject>
#include <QStandardItemModel>

// The client's topology plug-in as far as device search needs it: the standard
// topology model holds every managed channel as a child of the first top-level item,
// with the device's address under Qt::UserRole + 2.
class TopologyPlugin : public QObject
{
    Q_OBJECT

public:
    static const QString PluginId;

    explicit TopologyPlugin(const Site& site, QObject* parent = nullptr);

    Q_INVOKABLE QObject* getStandardTopologyModel();

private:
    QStandardItemModel m_model;
};
