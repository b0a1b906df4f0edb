#include "CameraIndex.h"

#include <QStandardItemModel>

#include <algorithm>

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
    // Moves and sorts keep every item where it is in the hash; only row numbers change,
    // and those are read from the items when a lookup has to choose between duplicates.
}

QStandardItem* CameraIndex::firstItem(const QString& id) const
{
    if (m_stale)
        rebuild();
    const auto it = m_itemsById.constFind(id);
    if (it == m_itemsById.cend() || it->isEmpty())
        return nullptr;
    const Rows& rows = *it;
    if (rows.size() == 1)
        return rows.front();
    return *std::min_element(rows.cbegin(), rows.cend(),
                             [](QStandardItem* a, QStandardItem* b) { return a->row() < b->row(); });
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
    if (m_stale || parent.isValid())
        return;
    for (int row = first; row <= last; ++row) {
        if (QStandardItem* item = m_model->item(row))
            remove(item);
    }
}

void CameraIndex::onDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                const QList<int>& roles)
{
    if (m_stale || topLeft.parent().isValid() || topLeft.column() > 0)
        return;
    if (!roles.isEmpty() && !roles.contains(m_idRole))
        return;
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        QStandardItem* item = m_model->item(row);
        // An item we have never seen at this row means it was replaced behind our back;
        // the old one is already gone, so start again from the model.
        if (!item || !m_idByItem.contains(item)) {
            markStale();
            return;
        }
        remove(item);
        add(item);
    }
}

void CameraIndex::markStale()
{
    m_stale = true;
    m_itemsById.clear();
    m_idByItem.clear();
}

std::optional<QString> CameraIndex::idOf(QStandardItem* item) const
{
    const QVariant id = item->data(m_idRole);
    if (id.metaType().id() != QMetaType::QString)
        return std::nullopt;
    return id.toString();
}

void CameraIndex::add(QStandardItem* item)
{
    const std::optional<QString> id = idOf(item);
    if (id)
        m_itemsById[*id].append(item);
    m_idByItem.insert(item, id);
}

void CameraIndex::remove(QStandardItem* item)
{
    const auto idIt = m_idByItem.find(item);
    if (idIt == m_idByItem.end())
        return;
    const auto rowsIt = idIt->has_value() ? m_itemsById.find(**idIt) : m_itemsById.end();
    if (rowsIt != m_itemsById.end()) {
        Rows& rows = *rowsIt;
        rows.erase(std::remove(rows.begin(), rows.end(), item), rows.end());
        if (rows.isEmpty())
            m_itemsById.erase(rowsIt);
    }
    m_idByItem.erase(idIt);
}

void CameraIndex::rebuild() const
{
    m_itemsById.clear();
    m_idByItem.clear();
    const int rows = m_model->rowCount();
    m_itemsById.reserve(rows);
    m_idByItem.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        if (QStandardItem* item = m_model->item(row))
            const_cast<CameraIndex*>(this)->add(item);
    }
    m_stale = false;
}
