#pragma once

#include "SearchedTexts.h"
#include "SortKeys.h"

#include <QSortFilterProxyModel>
#include <QStringList>

// The camera view QML binds to: rows of one brand (or all) that contain every word
// of a free-text filter, sorted on request by any camera role.
class CameraSortFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit CameraSortFilterModel(QObject* parent = nullptr);
    ~CameraSortFilterModel() override;

    void setSourceModel(QAbstractItemModel* model) override;

    // IP addresses sort by their packed value, so 10.0.0.9 comes before 10.0.0.10.
    Q_INVOKABLE void sortByRole(int role, Qt::SortOrder order = Qt::AscendingOrder);
    // Exact brand name ("qrln", "onvif", "rtsp", "-1"); empty shows every brand.
    Q_INVOKABLE void setFilterBrand(const QString& brandName);
    // Space-separated words; a row must contain each of them somewhere.
    Q_INVOKABLE void setFilterString(const QString& filterString);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
    bool checkBrand(const QModelIndex& sourceIndex) const;

private:
    bool containsString(const QModelIndex& sourceIndex, const QString& word) const;
    void rankForFilterChange();

    template <typename Proxy, typename Change>
    friend void changeFilter(Proxy* proxy, Change&& change);

    QString filterBrand;
    QString filterString;
    // filterString split at every single space, empty words kept; split once when it
    // is set rather than once for every row the filter looks at.
    QStringList m_filterWords = filterString.split(QLatin1Char(' '));
    // The rows' ranks by the sort role, compared while sortByRole sorts or a filter
    // change places rows; kept between calls while the rows are unchanged.
    SortKeys m_sortKeys;
    // The rows' searched values, kept between filter changes while they are unchanged.
    SearchedTexts m_searchedTexts;
    // While Qt re-sorts inside setSortRole: every row compares equal.
    bool m_holdOrder = false;
};
