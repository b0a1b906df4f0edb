#include "CameraIndex.h"

#include <QStandardItemModel>

#include <algorithm>
#include <limits>

CameraIndex::CameraIndex(QStandardItemModel* model, int idRole, QObject* parent)
    : QObject(parent)
    , m_model(model)
    , m_idRole(idRole)
{
    connect(model, &QAbstractItemModel::rowsInserted, this, &CameraIndex::onRowsInserted);
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, &CameraIndex::onRowsAboutToBeRemoved);
    connect(model, &QAbstractItemModel::dataChanged, this, &CameraIndex::onDataChanged);
    connect(model, &QAbstractItemModel::modelReset, this, &CameraIndex::markStale);
    connect(model, &QAbstractItemModel::columnsInserted, this, &CameraIndex::markStale);
    connect(model, &QAbstractItemModel::columnsRemoved, this, &CameraIndex::markStale);
    // A sort keeps the items, but setItem() deletes the replaced item between the two
    // layout signals and only reports the new one afterwards; never hand out the old.
    connect(model, &QAbstractItemModel::layoutChanged, this, &CameraIndex::markStale);

    connect(model, &QAbstractItemModel::modelAboutToBeReset, this, &CameraIndex::countItemLoss);
    connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, &CameraIndex::countItemLoss);
    connect(model, &QAbstractItemModel::columnsAboutToBeRemoved, this, &CameraIndex::countItemLoss);
}

QStandardItem* CameraIndex::firstItem(const QString& id) const
{
    if (m_stale)
        rebuild();

    const auto it = m_itemsById.constFind(id);
    const bool textHit = it != m_itemsById.cend() && !it->isEmpty();
    if (m_otherIds.isEmpty()) {
        if (!textHit)
            return nullptr;
        if (it->size() == 1)
            return it->front();
    }

    QStandardItem* first = nullptr;
    int firstRow = std::numeric_limits<int>::max();
    auto consider = [&](QStandardItem* item) {
        const int row = item->row();
        if (row < firstRow) {
            first = item;
            firstRow = row;
        }
    };
    if (textHit) {
        for (QStandardItem* item : *it)
            consider(item);
    }
    if (!m_otherIds.isEmpty()) {
        const QVariant wanted(id);
        for (QStandardItem* item : std::as_const(m_otherIds)) {
            if (item->data(m_idRole) == wanted)
                consider(item);
        }
    }
    return first;
}

void CameraIndex::onRowsInserted(const QModelIndex& parent, int first, int last)
{
    if (m_stale || parent.isValid())
        return;
    for (int row = first; row <= last; ++row) {
        if (QStandardItem* item = m_model->item(row))
            add(item);
    }
}

void CameraIndex::onRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last)
{
    countItemLoss();
    if (m_stale || parent.isValid())
        return;
    for (int row = first; row <= last; ++row) {
        if (QStandardItem* item = m_model->item(row))
            remove(item);
    }
}

void CameraIndex::onDataChanged(const QModelIndex& topLeft, const QModelIndex& /*bottomRight*/,
                                const QList<int>& roles)
{
    // No roles at all: a cell's item was taken out or replaced.
    if (roles.isEmpty())
        countItemLoss();
    if (m_stale || topLeft.parent().isValid() || topLeft.column() > 0)
        return;
    // An id written over leaves the row filed under its old id, which is gone by now;
    // no roles at all may mean an item taken out or replaced. Start again from the model.
    if (roles.isEmpty() || roles.contains(m_idRole))
        markStale();
}

void CameraIndex::markStale()
{
    m_stale = true;
    m_itemsById.clear();
    m_otherIds.clear();
}

void CameraIndex::add(QStandardItem* item)
{
    const QVariant id = item->data(m_idRole);
    if (id.metaType().id() == QMetaType::QString)
        m_itemsById[id.toString()].append(item);
    else if (id.isValid())
        m_otherIds.insert(item);
}

void CameraIndex::remove(QStandardItem* item)
{
    // Every row is filed under the id it carries now: a new id marks the index stale.
    const QVariant id = item->data(m_idRole);
    if (id.metaType().id() != QMetaType::QString) {
        m_otherIds.remove(item);
        return;
    }
    const auto rowsIt = m_itemsById.find(id.toString());
    if (rowsIt == m_itemsById.end())
        return;
    Rows& rows = *rowsIt;
    rows.erase(std::remove(rows.begin(), rows.end(), item), rows.end());
    if (rows.isEmpty())
        m_itemsById.erase(rowsIt);
}

void CameraIndex::rebuild() const
{
    m_itemsById.clear();
    m_otherIds.clear();
    const int rows = m_model->rowCount();
    m_itemsById.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        if (QStandardItem* item = m_model->item(row))
            const_cast<CameraIndex*>(this)->add(item);
    }
    m_stale = false;
}
