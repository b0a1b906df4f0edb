#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QMetaObject>
#include <QString>

#include <functional>
#include <vector>

// The sort role's values of the top-level source rows turned into one integer per
// row, so that a proxy's N log N comparisons read two integers side by side instead
// of two QStandardItems scattered over the heap. Every row is read once; the values
// are laid out in one array (numbers as numbers, texts one after another in one
// buffer), sorted once with the comparison QSortFilterProxyModel applies to values,
// and each row gets the rank of its value: equal values share a rank, so rows that
// compare equal stay equal and keep their order.
//
// Ranks only say what the proxy's own comparison says when that comparison is an
// order: a missing value after every other, numbers of one type as numbers, and
// everything else as text with the proxy's sort case sensitivity. Values that mix
// numbers with other values, or numbers of different types, or a NaN, compare
// differently depending on which side they are on; then nothing is ranked and the
// proxy compares the values itself.
//
// Ranks are kept between calls, a few roles at a time: sorting a view again, or a
// filter change on a sorted view, then reads no row. They are dropped as soon as the
// source says that what they were read from changed (rows inserted, removed or moved,
// a layout change or reset, a write to the role). watch() connects to the source
// before the proxy does, so they are dropped before the proxy, or anything the proxy
// tells, can read them.
class SortKeys
{
public:
    // Fills ranks with one rank per top-level source row; false if the rows cannot be
    // ranked.
    using Ranker = std::function<bool(std::vector<int>& ranks)>;

    SortKeys() = default;
    ~SortKeys();
    SortKeys(const SortKeys&) = delete;
    SortKeys& operator=(const SortKeys&) = delete;

    // Whether a filter change on a sorted view that shows `shown` of `rows` rows is
    // cheaper with ranks: each row it shows again is put in its place by about log2(rows)
    // comparisons, each reading two rows, where ranking reads every row once.
    static bool worthRanking(int rows, int shown)
    {
        int bits = 0;
        while ((rows >> bits) > 0)
            ++bits;
        return rows > shown && qint64(rows - shown) * bits >= rows;
    }

    // Ranks by the values of a role, compared as QSortFilterProxyModel compares them.
    static bool rankValues(const QAbstractItemModel* source, int role, Qt::CaseSensitivity cs,
                           std::vector<int>& ranks);

    // Follows a new source; kept ranks of the previous one are dropped.
    void watch(const QAbstractItemModel* source);

    // Makes the ranks of the role's values the ones lessThan compares, ranked now
    // unless kept. False if the values cannot be ranked.
    bool use(int role, Qt::CaseSensitivity cs);
    // The same for ranks made by another ranker; `kind` tells them from value ranks.
    bool use(int role, int kind, const Ranker& ranker);
    // Whether lessThan compares ranks, until release().
    bool inUse() const { return m_active != nullptr; }
    // lessThan compares no ranks until the next use(); kept ranks stay.
    void release() { m_active = nullptr; }

    // Whether a source index is one whose value of the role has a rank in use.
    bool covers(const QModelIndex& sourceIndex, int role) const
    {
        return m_active && role == m_active->role && sourceIndex.model() == m_source
            && sourceIndex.column() == 0 && size_t(sourceIndex.row()) < m_active->ranks.size()
            && isTopLevel(sourceIndex);
    }

    bool lessThan(const QModelIndex& left, const QModelIndex& right) const
    {
        return m_active->ranks[size_t(left.row())] < m_active->ranks[size_t(right.row())];
    }

private:
    struct Table
    {
        int role;
        int kind;
        bool ranked;
        std::vector<int> ranks;
    };

    bool isTopLevel(const QModelIndex& sourceIndex) const
    {
        // Spares a call of parent() per comparison where the source allows it.
        if (m_topLevel)
            return sourceIndex.internalPointer() == m_topLevel;
        return !sourceIndex.parent().isValid();
    }

    void dropAll();
    void drop(const QList<int>& roles);

    const QAbstractItemModel* m_source = nullptr;
    bool m_standard = false;
    const void* m_topLevel = nullptr;
    QList<QMetaObject::Connection> m_connections;
    // Most recently used last.
    std::vector<Table> m_tables;
    const Table* m_active = nullptr;
};
