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
    sort(0, order);
}

void StationTableSortFilterModel::setFilterString(const QString& text)
{
    changeFilter(this, [&] { filterString = text; });
}

bool StationTableSortFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    return containsAllFixedStringsSeparatedBySpace(sourceModel()->index(sourceRow, 0, sourceParent));
}

bool StationTableSortFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    if (sortRole() == StationRole::Ip)
        return ipLessThan(left, right);
    return QSortFilterProxyModel::lessThan(left, right);
}

bool StationTableSortFilterModel::containsAllFixedStringsSeparatedBySpace(const QModelIndex& sourceIndex) const
{
    // Split at every single space and keep empty parts: they match anything.
    const QStringList parts = filterString.split(QLatin1Char(' '));
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
    const QStringList leftParts = left.data(StationRole::Ip).toString().split(QLatin1Char('.'));
    const QStringList rightParts = right.data(StationRole::Ip).toString().split(QLatin1Char('.'));
    // Fewer parts first: an address without dots (IPv6, a name) before any IPv4.
    if (leftParts.size() != rightParts.size())
        return leftParts.size() < rightParts.size();
    for (qsizetype i = 0; i < leftParts.size(); ++i) {
        if (leftParts[i] != rightParts[i])
            return leftParts[i].toInt() < rightParts[i].toInt();
    }
    return false;
}
