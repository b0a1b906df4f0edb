#include "TopologyIndex.h"

#include <QStandardItemModel>

#include <utility>

TopologyChannel::TopologyChannel(const QModelIndex& child)
{
    static const QString ipKey = QStringLiteral("ipRole");
    static const QString portKey = QStringLiteral("portRole");
    static const QString channelKey = QStringLiteral("channelRole");
    static const QString channelNumKey = QStringLiteral("channelNumRole");
    constexpr int deviceRole = Qt::UserRole + 2;

    const QVariantMap device = child.data(deviceRole).toMap();
    ip = device.value(ipKey).toString();
    port = device.value(portKey).toString();
    channel = device.value(channelKey).toInt();
    channelNum = device.value(channelNumKey).toInt();
}

TopologyIndex::~TopologyIndex()
{
    forget();
}

bool TopologyIndex::contains(const QStandardItemModel* topology, const QString& ip, const QString& port)
{
    if (topology != m_topology)
        follow(topology);
    if (m_stale)
        read(topology);
    const auto found = m_devices.constFind({ip, port});
    return found != m_devices.cend() && found->channels.size() == found->statedChannels;
}

void TopologyIndex::follow(const QStandardItemModel* topology)
{
    forget();
    m_topology = topology;
    const auto stale = [this] { m_stale = true; };
    m_connections = {
        QObject::connect(topology, &QAbstractItemModel::dataChanged, stale),
        QObject::connect(topology, &QAbstractItemModel::rowsInserted, stale),
        QObject::connect(topology, &QAbstractItemModel::rowsRemoved, stale),
        QObject::connect(topology, &QAbstractItemModel::rowsMoved, stale),
        QObject::connect(topology, &QAbstractItemModel::columnsInserted, stale),
        QObject::connect(topology, &QAbstractItemModel::columnsRemoved, stale),
        QObject::connect(topology, &QAbstractItemModel::columnsMoved, stale),
        QObject::connect(topology, &QAbstractItemModel::layoutChanged, stale),
        QObject::connect(topology, &QAbstractItemModel::modelReset, stale),
        // Another model may later be made at the same address.
        QObject::connect(topology, &QObject::destroyed, [this] {
            m_topology = nullptr;
            m_stale = true;
        }),
    };
}

void TopologyIndex::forget()
{
    for (const QMetaObject::Connection& connection : std::as_const(m_connections))
        QObject::disconnect(connection);
    m_connections.clear();
    m_topology = nullptr;
    m_stale = true;
}

void TopologyIndex::read(const QStandardItemModel* topology)
{
    m_devices.clear();
    const QModelIndex parent = topology->index(0, 0);
    const int rows = topology->rowCount(parent);
    for (int row = 0; row < rows; ++row) {
        const TopologyChannel child(topology->index(row, 0, parent));
        // The last child of a device states its count, as a walk of the children finds.
        Device& entry = m_devices[{child.ip, child.port}];
        entry.statedChannels = child.channelNum;
        entry.channels.insert(child.channel);
    }
    m_stale = false;
}
