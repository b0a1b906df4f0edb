#pragma once

#include <QString>
#include <QVariant>

#include <initializer_list>

class CameraIndex;
class QStandardItem;

// One camera's row, found by its id, for a sequence of reads and writes that may run
// QML in between. Every write to a row in the model notifies the views at once, and
// their slots may clear the model, remove or replace rows, or call back into the
// plug-in; so is every call into the host. The row is therefore never trusted across
// such a call: before each access it is found again by its id whenever the model may
// have let go of items since the last look, which costs one integer comparison when
// nothing was removed. Once the id has no row, reads give nothing and writes go
// nowhere; a row that came back under the same id is the one written to.
class CameraRow
{
public:
    CameraRow(const CameraIndex* index, const QString& id);
    // A row the caller found through index just now, without another look-up.
    CameraRow(const CameraIndex* index, const QString& id, QStandardItem* item);

    const QString& id() const { return m_id; }
    // The row's item, or null when the id has no row (any more).
    QStandardItem* item();
    bool exists() { return item() != nullptr; }

    QVariant data(int role);
    // False when the row is gone and nothing was written.
    bool setData(const QVariant& value, int role);

    struct RoleValue
    {
        int role;
        QVariant value;
    };
    // Writes the values in the order given and tells the views once, with the roles
    // that changed, instead of once per value: each notice has every view and index
    // find the row again, which on a large site costs more than the writes. Nothing
    // runs between the writes. False when the row is gone and nothing was written.
    bool setValues(std::initializer_list<RoleValue> values);
    // Brand number, then its name.
    void SetItemBrand(int brand);
    // Stored as given when it holds a '-', hyphenated otherwise.
    void SetItemMac(const QString& mac);

private:
    const CameraIndex* m_index;
    QString m_id;
    QStandardItem* m_item = nullptr;
    quint64 m_itemLosses = 0;
};
