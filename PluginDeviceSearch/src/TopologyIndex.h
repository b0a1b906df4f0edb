#pragma once

#include <QHash>
#include <QList>
#include <QMetaObject>
#include <QPair>
#include <QSet>
#include <QString>

class QModelIndex;
class QStandardItemModel;

// One channel of a device in the client's topology: a child item whose map under
// Qt::UserRole + 2 holds the device's address and the channel.
struct TopologyChannel
{
    explicit TopologyChannel(const QModelIndex& child);

    QString ip;
    QString port;
    int channel = 0;
    int channelNum = 0;
};

// The devices of the client's topology by address, for an import that checks every line
// of a list against it: each check looks its device up instead of walking the topology,
// so a list of N lines against a topology of T channels costs N + T, not N times T.
// It answers exactly what a walk of the first top-level item's children answers, and
// follows the model: any change the model reports, or another model handed out, makes
// the next look-up read the topology afresh.
class TopologyIndex
{
public:
    TopologyIndex() = default;
    ~TopologyIndex();
    TopologyIndex(const TopologyIndex&) = delete;
    TopologyIndex& operator=(const TopologyIndex&) = delete;

    // Whether every channel the device states is a child of the topology's first item.
    bool contains(const QStandardItemModel* topology, const QString& ip, const QString& port);

private:
    struct Device
    {
        QSet<int> channels;
        int statedChannels = -1;
    };

    void follow(const QStandardItemModel* topology);
    void forget();
    void read(const QStandardItemModel* topology);

    const QStandardItemModel* m_topology = nullptr;
    bool m_stale = true;
    QList<QMetaObject::Connection> m_connections;
    QHash<QPair<QString, QString>, Device> m_devices;
};
