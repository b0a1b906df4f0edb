#include "CameraSortFilterModel.h"

#include "CameraRoles.h"
#include "ProxyFilterCompat.h"

CameraSortFilterModel::CameraSortFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
{
    setDynamicSortFilter(false);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
}

CameraSortFilterModel::~CameraSortFilterModel() = default;

void CameraSortFilterModel::sortByRole(int role, Qt::SortOrder order)
{
    setSortRole(role == CameraRole::Ip ? int(CameraRole::IpForSort) : role);
    if (sourceModel())
        m_sortKeys.arm(sourceModel(), sortRole());
    sort(0, order);
    m_sortKeys.clear();
}

bool CameraSortFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    if (m_sortKeys.covers(left) && m_sortKeys.covers(right))
        return QSortFilterProxyModel::lessThan(m_sortKeys.keyOf(left), m_sortKeys.keyOf(right));
    return QSortFilterProxyModel::lessThan(left, right);
}

void CameraSortFilterModel::setFilterBrand(const QString& brandName)
{
    changeFilter(this, [&] { filterBrand = brandName; });
}

void CameraSortFilterModel::setFilterString(const QString& text)
{
    changeFilter(this, [&] {
        filterString = text;
        m_filterWords = filterString.split(QLatin1Char(' '));
    });
}

bool CameraSortFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    if (!checkBrand(index))
        return false;
    // Split at every single space and keep empty words: they match anything.
    const QStringList& words = m_filterWords;
    for (const QString& word : words) {
        if (!containsString(index, word))
            return false;
    }
    return true;
}

bool CameraSortFilterModel::checkBrand(const QModelIndex& sourceIndex) const
{
    return filterBrand.isEmpty() || sourceIndex.data(CameraRole::BrandName).toString() == filterBrand;
}

bool CameraSortFilterModel::containsString(const QModelIndex& sourceIndex, const QString& word) const
{
    const Qt::CaseSensitivity cs = filterCaseSensitivity();
    return sourceIndex.data(CameraRole::Ip).toString().contains(word, cs)
        || sourceIndex.data(CameraRole::Mac).toString().contains(word, cs)
        || QString::number(sourceIndex.data(CameraRole::Port).toInt()).contains(word, cs)
        || sourceIndex.data(CameraRole::Model).toString().contains(word, cs)
        || sourceIndex.data(CameraRole::BrandName).toString().contains(word, cs);
}
