#include "StationTableSortFilterModel.h"

#include "CameraRoles.h"
#include "ProxyFilterCompat.h"

StationTableSortFilterModel::StationTableSortFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
    setDynamicSortFilter(false);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
    setSortCaseSensitivity(Qt::CaseInsensitive);
}

StationTableSortFilterModel::~StationTableSortFilterModel() = default;

void StationTableSortFilterModel::sortByRole(int role, Qt::SortOrder order)
{
    setSortRole(role);
    if (sourceModel()) {
        m_sortKeys.arm(sourceModel(), role);
        if (role == StationRole::Ip)
            m_ipAddresses.assign(size_t(m_sortKeys.rowCount()), IpAddress());
    }
    sort(0, order);
    m_sortKeys.clear();
    m_ipText = QString();
    m_ipParts = {};
    m_ipAddresses = {};
}

const StationTableSortFilterModel::IpAddress& StationTableSortFilterModel::addressOf(
    const QModelIndex& sourceIndex) const
{
    IpAddress& address = m_ipAddresses[size_t(sourceIndex.row())];
    if (address.count > 0)
        return address;
    // The same parts ipLessThan compares: split at every '.', empty parts kept.
    const QString text = m_sortKeys.keyOf(sourceIndex).data().toString();
    address.first = m_ipParts.size();
    qsizetype start = 0;
    for (;;) {
        const qsizetype dot = text.indexOf(QLatin1Char('.'), start);
        const QStringView part = QStringView(text).mid(start, (dot < 0 ? text.size() : dot) - start);
        m_ipParts.push_back({m_ipText.size(), part.size(), part.toInt()});
        m_ipText.append(part);
        if (dot < 0)
            break;
        start = dot + 1;
    }
    address.count = m_ipParts.size() - address.first;
    return address;
}

bool StationTableSortFilterModel::addressLessThan(const IpAddress& left, const IpAddress& right) const
{
    if (left.count != right.count)
        return left.count < right.count;
    const QStringView text(m_ipText);
    for (size_t i = 0; i < left.count; ++i) {
        const IpPart& leftPart = m_ipParts[left.first + i];
        const IpPart& rightPart = m_ipParts[right.first + i];
        if (text.mid(leftPart.offset, leftPart.length) != text.mid(rightPart.offset, rightPart.length))
            return leftPart.value < rightPart.value;
    }
    return false;
}

void StationTableSortFilterModel::setFilterString(const QString& text)
{
    changeFilter(this, [&] {
        filterString = text;
        m_filterWords = filterString.split(QLatin1Char(' '));
    });
}

bool StationTableSortFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    return containsAllFixedStringsSeparatedBySpace(sourceModel()->index(sourceRow, 0, sourceParent));
}

bool StationTableSortFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const bool covered = m_sortKeys.covers(left) && m_sortKeys.covers(right);
    if (sortRole() == StationRole::Ip) {
        if (covered && !m_ipAddresses.empty())
            return addressLessThan(addressOf(left), addressOf(right));
        return ipLessThan(left, right);
    }
    if (covered)
        return QSortFilterProxyModel::lessThan(m_sortKeys.keyOf(left), m_sortKeys.keyOf(right));
    return QSortFilterProxyModel::lessThan(left, right);
}

bool StationTableSortFilterModel::containsAllFixedStringsSeparatedBySpace(const QModelIndex& sourceIndex) const
{
    // Split at every single space and keep empty parts: they match anything.
    const QStringList& parts = m_filterWords;
    for (const QString& part : parts) {
        if (!containsString(sourceIndex, part))
            return false;
    }
    return true;
}

bool StationTableSortFilterModel::containsString(const QModelIndex& sourceIndex, const QString& text) const
{
    const Qt::CaseSensitivity cs = filterCaseSensitivity();
    return sourceIndex.data(StationRole::Model).toString().contains(text, cs)
        || sourceIndex.data(StationRole::Ip).toString().contains(text, cs)
        || QString::number(sourceIndex.data(StationRole::Port).toInt()).contains(text, cs)
        || QString::number(sourceIndex.data(StationRole::HttpsPort).toInt()).contains(text, cs)
        || sourceIndex.data(StationRole::HostName).toString().contains(text, cs);
}

bool StationTableSortFilterModel::ipLessThan(const QModelIndex& left, const QModelIndex& right) const
{
    return ipPartsLessThan(left.data(StationRole::Ip).toString().split(QLatin1Char('.')),
                           right.data(StationRole::Ip).toString().split(QLatin1Char('.')));
}

bool StationTableSortFilterModel::ipPartsLessThan(const QStringList& leftParts, const QStringList& rightParts)
{
    // Fewer parts first: an address without dots (IPv6, a name) before any IPv4.
    if (leftParts.size() != rightParts.size())
        return leftParts.size() < rightParts.size();
    for (qsizetype i = 0; i < leftParts.size(); ++i) {
        if (leftParts[i] != rightParts[i])
            return leftParts[i].toInt() < rightParts[i].toInt();
    }
    return false;
}
