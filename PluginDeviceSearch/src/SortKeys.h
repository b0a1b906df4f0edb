#pragma once

#include <QAbstractListModel>

#include <vector>

// The sort role's value of the top-level source rows, each read once while a proxy
// sorts. QSortFilterProxyModel reads both rows from the source model for every one of
// its N log N comparisons, and a QStandardItem's values lie scattered over the heap,
// so most of those reads wait for memory. Read once and kept side by side, the same
// values give the same order: the proxy's own comparison reads them from this model.
class SortKeys : public QAbstractListModel
{
public:
    // Prepares for a sort by role; values are read when a comparison first needs them,
    // so rows the proxy filters out are never read.
    void arm(const QAbstractItemModel* source, int role)
    {
        m_source = source;
        m_role = role;
        const size_t rows = size_t(source->rowCount());
        m_keys.assign(rows, QVariant());
        m_read.assign(rows, false);
    }

    void clear()
    {
        m_source = nullptr;
        m_keys = {};
        m_read = {};
    }

    // Whether a source index is one whose value this holds.
    bool covers(const QModelIndex& sourceIndex) const
    {
        return m_source && sourceIndex.model() == m_source && sourceIndex.column() == 0
            && size_t(sourceIndex.row()) < m_keys.size() && !sourceIndex.parent().isValid();
    }

    // The stand-in for a covered source index, carrying the value read for it.
    QModelIndex keyOf(const QModelIndex& sourceIndex) const
    {
        const size_t row = size_t(sourceIndex.row());
        if (!m_read[row]) {
            m_keys[row] = sourceIndex.data(m_role);
            m_read[row] = true;
        }
        return createIndex(sourceIndex.row(), 0);
    }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_keys.size());
    }

    QVariant data(const QModelIndex& index, int /*role*/) const override { return m_keys[size_t(index.row())]; }

private:
    const QAbstractItemModel* m_source = nullptr;
    int m_role = 0;
    mutable std::vector<QVariant> m_keys;
    mutable std::vector<bool> m_read;
};
