#pragma once

#include <QSortFilterProxyModel>

// The station view QML binds to: rows containing every word of a free-text filter,
// sorted on request by any station role, IP addresses part by part as numbers.
class StationTableSortFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit StationTableSortFilterModel(QObject* parent = nullptr);
    ~StationTableSortFilterModel() override;

    Q_INVOKABLE void sortByRole(int role, Qt::SortOrder order = Qt::AscendingOrder);
    Q_INVOKABLE void setFilterString(const QString& filterString);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

    bool containsAllFixedStringsSeparatedBySpace(const QModelIndex& sourceIndex) const;
    bool containsString(const QModelIndex& sourceIndex, const QString& text) const;
    bool ipLessThan(const QModelIndex& left, const QModelIndex& right) const;

private:
    template <typename Proxy, typename Change>
    friend void changeFilter(Proxy* proxy, Change&& change);

    QString filterString;
};
