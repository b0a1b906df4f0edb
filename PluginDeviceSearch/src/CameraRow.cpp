#include "CameraRow.h"

#include "CameraIndex.h"
#include "CameraInfo.h"
#include "CameraRoles.h"

#include <QSignalBlocker>
#include <QStandardItemModel>

CameraRow::CameraRow(const CameraIndex* index, const QString& id)
    : m_index(index)
    , m_id(id)
{
    if (m_index) {
        m_itemLosses = m_index->itemLosses();
        m_item = m_index->firstItem(m_id);
    }
}

CameraRow::CameraRow(const CameraIndex* index, const QString& id, QStandardItem* item)
    : m_index(index)
    , m_id(id)
    , m_item(item)
    , m_itemLosses(index ? index->itemLosses() : 0)
{
}

QStandardItem* CameraRow::item()
{
    if (m_index && m_index->itemLosses() != m_itemLosses) {
        m_itemLosses = m_index->itemLosses();
        m_item = m_index->firstItem(m_id);
    }
    return m_item;
}

QVariant CameraRow::data(int role)
{
    QStandardItem* row = item();
    return row ? row->data(role) : QVariant();
}

bool CameraRow::setData(const QVariant& value, int role)
{
    QStandardItem* row = item();
    if (!row)
        return false;
    row->setData(value, role);
    return true;
}

bool CameraRow::setValues(std::initializer_list<RoleValue> values)
{
    QStandardItem* row = item();
    if (!row)
        return false;
    QStandardItemModel* model = row->model();
    QList<int> changed;
    changed.reserve(qsizetype(values.size()));
    {
        const QSignalBlocker quiet(model);
        for (const RoleValue& write : values) {
            // The item itself skips a value equal to the one it holds, and says nothing.
            const QVariant held = row->data(write.role);
            if (held.metaType() == write.value.metaType() && held == write.value)
                continue;
            row->setData(write.value, write.role);
            changed.append(write.role);
        }
    }
    if (model && !changed.isEmpty()) {
        const QModelIndex index = row->index();
        Q_EMIT model->dataChanged(index, index, changed);
    }
    return true;
}

void CameraRow::SetItemBrand(int brand)
{
    if (setData(brand, CameraRole::Brand))
        setData(CameraItem::ConvertToBrandName(brand), CameraRole::BrandName);
}

void CameraRow::SetItemMac(const QString& mac)
{
    setData(CameraItem::macForRow(mac), CameraRole::Mac);
}
