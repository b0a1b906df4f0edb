#include "DeviceRoster.h"

#include <QTimer>

namespace {

QString address(const QVariant& ip, const QVariant& port)
{
    return ip.toString() + QLatin1Char(':') + QString::number(port.toInt());
}

} // namespace

DeviceRoster::DeviceRoster(QObject* parent)
    : QObject(parent)
    , m_counts(StatusCount, 0)
{
}

void DeviceRoster::setModel(QObject* object)
{
    auto* model = qobject_cast<QAbstractItemModel*>(object);
    if (m_model == model)
        return;
    if (m_model)
        m_model->disconnect(this);
    m_model = model;
    if (m_model) {
        connect(m_model, &QAbstractItemModel::rowsInserted, this, &DeviceRoster::rowsInserted);
        connect(m_model, &QAbstractItemModel::rowsRemoved, this, &DeviceRoster::rowsRemoved);
        connect(m_model, &QAbstractItemModel::dataChanged, this, &DeviceRoster::dataChanged);
        // Changes that move rows around or replace them all: count again from the start.
        connect(m_model, &QAbstractItemModel::modelReset, this, &DeviceRoster::rebuild);
        connect(m_model, &QAbstractItemModel::layoutChanged, this, &DeviceRoster::rebuild);
        connect(m_model, &QAbstractItemModel::rowsMoved, this, &DeviceRoster::rebuild);
        connect(m_model, &QObject::destroyed, this, &DeviceRoster::rebuild);
    }
    rebuild();
    Q_EMIT modelChanged();
}

int DeviceRoster::role(const QString& name) const
{
    return m_roles.value(name, -1).toInt();
}

QVariant DeviceRoster::value(const QString& id, const QString& roleName)
{
    const int row = rowOf(id);
    const int number = role(roleName);
    if (row < 0 || number < 0)
        return {};
    return m_model->index(row, 0).data(number);
}

bool DeviceRoster::hasAddress(const QString& ip, int port)
{
    if (!m_model)
        return false;
    if (m_addressesStale) {
        m_addresses.clear();
        for (int row = 0; row < m_model->rowCount(); ++row) {
            const QModelIndex index = m_model->index(row, 0);
            m_addresses.insert(address(index.data(m_ipRole), index.data(m_portRole)));
        }
        m_addressesStale = false;
    }
    return m_addresses.contains(address(ip, port));
}

QStringList DeviceRoster::shownIds(QObject* view, const QList<int>& skippedStatuses) const
{
    const auto* model = qobject_cast<const QAbstractItemModel*>(view);
    if (!model)
        return {};
    const QHash<int, QByteArray> names = model->roleNames();
    const int idRole = names.key(QByteArrayLiteral("idRole"), -1);
    const int statusRole = names.key(QByteArrayLiteral("statusRole"), -1);
    const int rows = model->rowCount();
    QStringList ids;
    ids.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        const QModelIndex index = model->index(row, 0);
        if (skippedStatuses.isEmpty() || !skippedStatuses.contains(index.data(statusRole).toInt()))
            ids.append(index.data(idRole).toString());
    }
    return ids;
}

void DeviceRoster::readRoles()
{
    QVariantMap roles;
    if (m_model) {
        const QHash<int, QByteArray> names = m_model->roleNames();
        for (auto it = names.begin(); it != names.end(); ++it)
            roles.insert(QString::fromUtf8(it.value()), it.key());
    }
    m_idRole = roles.value(QStringLiteral("idRole"), -1).toInt();
    m_statusRole = roles.value(QStringLiteral("statusRole"), -1).toInt();
    m_ipRole = roles.value(QStringLiteral("ipRole"), -1).toInt();
    m_portRole = roles.value(QStringLiteral("portRole"), -1).toInt();
    if (roles != m_roles) {
        m_roles = roles;
        Q_EMIT rolesChanged();
    }
}

void DeviceRoster::rebuild()
{
    // Some models name their roles only once they hold data.
    readRoles();
    m_statuses.clear();
    m_counts.fill(0, StatusCount);
    const int rows = m_model ? m_model->rowCount() : 0;
    m_statuses.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        m_statuses.append(statusOf(row));
        count(m_statuses.constLast(), 1);
    }
    m_idsStale = true;
    m_addressesStale = true;
    notifyCounts();
}

void DeviceRoster::rowsInserted(const QModelIndex& parent, int first, int last)
{
    if (parent.isValid())
        return;
    if (m_roles.isEmpty())
        readRoles();
    const bool atEnd = first == m_statuses.size();
    for (int row = first; row <= last; ++row) {
        m_statuses.insert(row, statusOf(row));
        count(m_statuses.at(row), 1);
    }
    // Rows added at the end leave every other row where it was.
    if (atEnd && !m_idsStale) {
        for (int row = first; row <= last; ++row)
            addId(row);
    } else {
        m_idsStale = true;
    }
    m_addressesStale = true;
    notifyCounts();
}

void DeviceRoster::rowsRemoved(const QModelIndex& parent, int first, int last)
{
    if (parent.isValid())
        return;
    const int end = qMin(last + 1, int(m_statuses.size()));
    for (int row = first; row < end; ++row)
        count(m_statuses.at(row), -1);
    if (first < end)
        m_statuses.remove(first, end - first);
    m_idsStale = true;
    m_addressesStale = true;
    notifyCounts();
}

void DeviceRoster::dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles)
{
    if (topLeft.parent().isValid())
        return;
    if (roles.isEmpty() || roles.contains(m_idRole))
        m_idsStale = true;
    if (roles.isEmpty() || roles.contains(m_ipRole) || roles.contains(m_portRole))
        m_addressesStale = true;
    if (!roles.isEmpty() && !roles.contains(m_statusRole))
        return;
    bool changed = false;
    for (int row = topLeft.row(); row <= bottomRight.row() && row < m_statuses.size(); ++row) {
        const int status = statusOf(row);
        if (status == m_statuses.at(row))
            continue;
        count(m_statuses.at(row), -1);
        count(status, 1);
        m_statuses[row] = status;
        changed = true;
    }
    if (changed)
        notifyCounts();
}

int DeviceRoster::statusOf(int row) const
{
    return m_model->index(row, 0).data(m_statusRole).toInt();
}

void DeviceRoster::count(int status, int delta)
{
    if (status >= 0 && status < StatusCount)
        m_counts[status] += delta;
}

void DeviceRoster::notifyCounts()
{
    if (m_countsNotifyPending)
        return;
    m_countsNotifyPending = true;
    QTimer::singleShot(0, this, [this] {
        m_countsNotifyPending = false;
        Q_EMIT countsChanged();
    });
}

int DeviceRoster::rowOf(const QString& id)
{
    if (!m_model)
        return -1;
    if (m_idsStale)
        indexIds();
    int row = m_rowOfId.value(id, -1);
    // An id written over without a signal the roster follows: look again once.
    if (row >= 0 && (row >= m_model->rowCount() || m_model->index(row, 0).data(m_idRole).toString() != id)) {
        indexIds();
        row = m_rowOfId.value(id, -1);
    }
    return row;
}

void DeviceRoster::indexIds()
{
    m_rowOfId.clear();
    for (int row = 0; row < m_model->rowCount(); ++row)
        addId(row);
    m_idsStale = false;
}

void DeviceRoster::addId(int row)
{
    // The first row of an id wins, as the plug-in's own look-up decides.
    const QString id = m_model->index(row, 0).data(m_idRole).toString();
    if (!m_rowOfId.contains(id))
        m_rowOfId.insert(id, row);
}
