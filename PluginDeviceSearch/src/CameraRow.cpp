#include "CameraRow.h"

#include "CameraIndex.h"
#include "CameraInfo.h"
#include "CameraRoles.h"

#include <QStandardItem>

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

void CameraRow::SetItemBrand(int brand)
{
    if (setData(brand, CameraRole::Brand))
        setData(CameraItem::ConvertToBrandName(brand), CameraRole::BrandName);
}

void CameraRow::SetItemMac(const QString& mac)
{
    setData(CameraItem::macForRow(mac), CameraRole::Mac);
}
