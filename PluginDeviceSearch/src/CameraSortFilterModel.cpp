#include "CameraSortFilterModel.h"

#include "SearchedValues.h"

#include "CameraRoles.h"
#include "ProxyFilterCompat.h"

namespace {

// The values the filter words are searched in, in the order they are searched: the
// port as the number it is. The brand name comes last: the brand filter compares the
// last of the kept texts.
struct CameraSearchFields
{
    static constexpr std::array<int, 5> roles{CameraRole::Ip, CameraRole::Mac, CameraRole::Port, CameraRole::Model,
                                              CameraRole::BrandName};
    static constexpr unsigned numbers = 1u << 2;
};
static_assert(CameraSearchFields::roles.back() == CameraRole::BrandName, "the brand filter reads the last text");

} // namespace

CameraSortFilterModel::CameraSortFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
    , m_searchedTexts(&SearchedValues<CameraSearchFields>::appendAll, SearchedValues<CameraSearchFields>::roles(),
                      SearchedTexts::Keeping::FromFirstRow)
{
    setDynamicSortFilter(false);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
}

CameraSortFilterModel::~CameraSortFilterModel() = default;

void CameraSortFilterModel::setSourceModel(QAbstractItemModel* model)
{
    if (model == sourceModel())
        return;
    // Watched before the base class connects: kept ranks and texts are dropped before
    // the view hears of a change.
    m_sortKeys.watch(model);
    m_searchedTexts.watch(model);
    QSortFilterProxyModel::setSourceModel(model);
}

void CameraSortFilterModel::sortByRole(int role, Qt::SortOrder order)
{
    const int sortKeyRole = role == CameraRole::Ip ? int(CameraRole::IpForSort) : role;
    // Ranked before the role changes: once the view has been sorted, Qt sorts it again
    // inside setSortRole, by the new role in the last order, and sort() then sorts it
    // once more. Ranks order the rows strictly, so the second sort alone gives what
    // both give, and the first keeps the rows where they are. Values that cannot be
    // ranked may not be ordered strictly; there both sorts are done, as Qt does them.
    if (sourceModel() && !isSortLocaleAware())
        m_sortKeys.use(sortKeyRole, sortCaseSensitivity());
    m_holdOrder = m_sortKeys.inUse();
    setSortRole(sortKeyRole);
    m_holdOrder = false;
    sort(0, order);
    m_sortKeys.release();
}

bool CameraSortFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    if (m_holdOrder)
        return false;
    const int role = sortRole();
    if (m_sortKeys.covers(left, role) && m_sortKeys.covers(right, role))
        return m_sortKeys.lessThan(left, right);
    return QSortFilterProxyModel::lessThan(left, right);
}

void CameraSortFilterModel::rankForFilterChange()
{
    // A sorted view puts every row that a filter change shows again in its place by
    // comparing it with the rows shown; when many come back, rank all rows once.
    if (sourceModel() && sortColumn() >= 0 && !isSortLocaleAware()
        && SortKeys::worthRanking(sourceModel()->rowCount(), rowCount()))
        m_sortKeys.use(sortRole(), sortCaseSensitivity());
}

void CameraSortFilterModel::setFilterBrand(const QString& brandName)
{
    rankForFilterChange();
    if (searchesValues(m_filterWords) || !brandName.isEmpty()) {
        m_searchedTexts.prepare();
        m_searchedTexts.matchAll(m_filterWords, filterCaseSensitivity(), brandName);
    }
    changeFilter(this, [&] { filterBrand = brandName; });
    m_searchedTexts.forgetMatches();
    m_sortKeys.release();
}

void CameraSortFilterModel::setFilterString(const QString& text)
{
    rankForFilterChange();
    const QStringList words = text.split(QLatin1Char(' '));
    if (searchesValues(words) || !filterBrand.isEmpty()) {
        m_searchedTexts.prepare();
        m_searchedTexts.matchAll(words, filterCaseSensitivity(), filterBrand);
    }
    changeFilter(this, [&] {
        filterString = text;
        m_filterWords = words;
    });
    m_searchedTexts.forgetMatches();
    m_sortKeys.release();
}

bool CameraSortFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    if (m_searchedTexts.covers(index))
        return m_searchedTexts.containAll(index, m_filterWords, filterCaseSensitivity(), filterBrand);
    return checkBrand(index)
        && SearchedValues<CameraSearchFields>(index).containAll(m_filterWords, filterCaseSensitivity());
}

bool CameraSortFilterModel::checkBrand(const QModelIndex& sourceIndex) const
{
    return filterBrand.isEmpty() || sourceIndex.data(CameraRole::BrandName).toString() == filterBrand;
}

bool CameraSortFilterModel::containsString(const QModelIndex& sourceIndex, const QString& word) const
{
    return SearchedValues<CameraSearchFields>(sourceIndex).contain(word, filterCaseSensitivity());
}
