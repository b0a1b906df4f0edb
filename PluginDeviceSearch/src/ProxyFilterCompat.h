#pragma once

#include <QSortFilterProxyModel>
#include <QtGlobal>

// Changes the filter of a proxy and re-filters its rows. Qt 6.10 replaced
// invalidateFilter() by the begin/end pair; both keep the proxy's rows consistent.
template <typename Proxy, typename Change>
void changeFilter(Proxy* proxy, Change&& change)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 10, 0)
    proxy->beginFilterChange();
    change();
    proxy->endFilterChange(QSortFilterProxyModel::Direction::Rows);
#else
    change();
    proxy->invalidateFilter();
#endif
}
