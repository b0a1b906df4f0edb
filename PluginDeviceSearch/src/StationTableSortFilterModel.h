#pragma once

#include "SearchedTexts.h"
#include "SortKeys.h"

#include <QSortFilterProxyModel>
#include <QStringList>

#include <vector>

// The station view QML binds to: rows containing every word of a free-text filter,
// sorted on request by any station role, IP addresses part by part as numbers.
class StationTableSortFilterModel : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit StationTableSortFilterModel(QObject* parent = nullptr);
    ~StationTableSortFilterModel() override;

    void setSourceModel(QAbstractItemModel* model) override;

    Q_INVOKABLE void sortByRole(int role, Qt::SortOrder order = Qt::AscendingOrder);
    Q_INVOKABLE void setFilterString(const QString& filterString);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

    bool containsAllFixedStringsSeparatedBySpace(const QModelIndex& sourceIndex) const;
    bool containsString(const QModelIndex& sourceIndex, const QString& text) const;
    bool ipLessThan(const QModelIndex& left, const QModelIndex& right) const;

private:
    void prepareSortKeys(int role);
    void releaseSortKeys();
    static bool ipPartsLessThan(const QStringList& leftParts, const QStringList& rightParts);

    // Every compared row's address split once for a sort by the IP role: the parts'
    // texts one after another in one buffer, each with its number, so that a
    // comparison reads two short runs of memory instead of splitting two addresses.
    // Without it the bench's views column costs about four times as much.
    struct IpPart
    {
        qsizetype offset;
        qsizetype length;
        int value;
    };
    struct IpAddress
    {
        size_t first = 0;
        size_t count = 0;  // 0: not split yet; an address has at least one part
    };
    // SortKeys' kind of the ranks of addresses made of plain numbers.
    static constexpr int kAddressRanks = 2;
    bool rankAddresses(std::vector<int>& ranks) const;
    bool coversAddresses(const QModelIndex& sourceIndex, size_t rows) const;
    const IpAddress& addressOf(const QModelIndex& sourceIndex) const;
    bool addressLessThan(const IpAddress& left, const IpAddress& right) const;

    template <typename Proxy, typename Change>
    friend void changeFilter(Proxy* proxy, Change&& change);

    QString filterString;
    // filterString split at every single space, empty words kept; split once when it
    // is set rather than once for every row the filter looks at.
    QStringList m_filterWords = filterString.split(QLatin1Char(' '));
    // The rows' ranks by the sort role (for the IP role when every address is made of
    // plain numbers), kept between calls while the rows are unchanged; otherwise the
    // addresses' parts while sortByRole sorts.
    SortKeys m_sortKeys;
    mutable QString m_ipText;
    mutable std::vector<IpPart> m_ipParts;
    mutable std::vector<IpAddress> m_ipAddresses;
    // The rows' searched values, kept between filter changes while they are unchanged.
    SearchedTexts m_searchedTexts;
    // While Qt re-sorts inside setSortRole: every row compares equal.
    bool m_holdOrder = false;
};
