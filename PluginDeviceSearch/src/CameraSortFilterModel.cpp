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
    const int sortKeyRole = role == CameraRole::Ip ? int(CameraRole::IpForSort) : role;
    // Ranked before the role changes: once the proxy has been sorted, a new sort role
    // sorts its rows at once, before sort() is reached.
    if (sourceModel() && !isSortLocaleAware())
        m_sortKeys.rank(sourceModel(), sortKeyRole, sortCaseSensitivity());
    setSortRole(sortKeyRole);
    sort(0, order);
    m_sortKeys.clear();
}

bool CameraSortFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    if (m_sortKeys.covers(left, sortRole()) && m_sortKeys.covers(right, sortRole()))
        return m_sortKeys.lessThan(left, right);
    return QSortFilterProxyModel::lessThan(left, right);
}

void CameraSortFilterModel::rankForFilterChange()
{
    // A sorted view puts every row that a filter change shows again in its place by
    // comparing it with the rows shown; when many come back, rank all rows once.
    if (sourceModel() && sortColumn() >= 0 && !isSortLocaleAware()
        && SortKeys::worthRanking(sourceModel()->rowCount(), rowCount()))
        m_sortKeys.rank(sourceModel(), sortRole(), sortCaseSensitivity());
}

void CameraSortFilterModel::setFilterBrand(const QString& brandName)
{
    rankForFilterChange();
    changeFilter(this, [&] { filterBrand = brandName; });
    m_sortKeys.clear();
}

void CameraSortFilterModel::setFilterString(const QString& text)
{
    rankForFilterChange();
    changeFilter(this, [&] {
        filterString = text;
        m_filterWords = filterString.split(QLatin1Char(' '));
    });
    m_sortKeys.clear();
}

namespace {

// The values of a row that the words are searched in, in the order they are searched,
// each read from the row the first time a word needs it and kept for the next words.
class SearchedValues
{
public:
    explicit SearchedValues(const QModelIndex& index)
        : m_index(index)
    {
    }

    bool contain(const QString& word, Qt::CaseSensitivity cs)
    {
        for (int i = 0; i < kCount; ++i) {
            if (value(i).contains(word, cs))
                return true;
        }
        return false;
    }

private:
    static constexpr int kCount = 5;

    const QString& value(int i)
    {
        if (!(m_read & (1u << i))) {
            m_values[i] = read(i);
            m_read |= 1u << i;
        }
        return m_values[i];
    }

    QString read(int i) const
    {
        switch (i) {
        case 0:
            return m_index.data(CameraRole::Ip).toString();
        case 1:
            return m_index.data(CameraRole::Mac).toString();
        case 2:
            return QString::number(m_index.data(CameraRole::Port).toInt());
        case 3:
            return m_index.data(CameraRole::Model).toString();
        default:
            return m_index.data(CameraRole::BrandName).toString();
        }
    }

    const QModelIndex& m_index;
    QString m_values[kCount];
    unsigned m_read = 0;
};

} // namespace

bool CameraSortFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    if (!checkBrand(index))
        return false;
    // Split at every single space and keep empty words: they match anything. Each
    // value of the row is read once, however many words look at it.
    const Qt::CaseSensitivity cs = filterCaseSensitivity();
    SearchedValues values(index);
    for (const QString& word : std::as_const(m_filterWords)) {
        if (!word.isEmpty() && !values.contain(word, cs))
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
    return SearchedValues(sourceIndex).contain(word, filterCaseSensitivity());
}
