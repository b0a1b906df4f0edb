#pragma once

#include <QAbstractItemModel>
#include <QString>

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
class SortKeys
{
public:
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

    // Reads and ranks the role's values; false if they cannot be ranked.
    bool rank(const QAbstractItemModel* source, int role, Qt::CaseSensitivity cs);
    void clear();

    // Whether a source index is one whose value of the role has a rank.
    bool covers(const QModelIndex& sourceIndex, int role) const
    {
        return m_source && role == m_role && sourceIndex.model() == m_source && sourceIndex.column() == 0
            && size_t(sourceIndex.row()) < m_ranks.size() && !sourceIndex.parent().isValid();
    }

    bool lessThan(const QModelIndex& left, const QModelIndex& right) const
    {
        return m_ranks[size_t(left.row())] < m_ranks[size_t(right.row())];
    }

private:
    const QAbstractItemModel* m_source = nullptr;
    int m_role = -1;
    std::vector<int> m_ranks;
};
