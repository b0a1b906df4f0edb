#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVarLengthArray>

class QStandardItem;
class QStandardItemModel;

// Finds the camera row of a device id without scanning the model. It answers exactly
// what a scan from row 0 would: the first top-level row whose id role, as a QVariant,
// equals the id as a QVariant.
//
// The index follows the model's own signals, so it stays true whatever changes the
// model: the plug-in's writes, clear(), takeRow(), insertions anywhere, and setData,
// removeRows or sort() done by QML or any other holder of the model. Rows are filed
// under the id they carry; a change it does not follow row by row (a reset, a layout
// change, a replaced or taken item, an id written over) marks it stale, and the next
// lookup rebuilds it once. The plug-in itself never rewrites an id.
class CameraIndex : public QObject
{
    Q_OBJECT

public:
    CameraIndex(QStandardItemModel* model, int idRole, QObject* parent = nullptr);

    QStandardItem* firstItem(const QString& id) const;

    // Counts the model changes that may delete or take out items: removed rows or
    // columns, resets, layout changes (which is when a replaced cell's item goes) and
    // cells taken or replaced. An item found while the count stays the same is still
    // in the model, so a holder can skip the look-up until the count moves.
    quint64 itemLosses() const { return m_itemLosses; }

private:
    void onRowsInserted(const QModelIndex& parent, int first, int last);
    void onRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last);
    void onDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles);
    void markStale();
    void countItemLoss() { ++m_itemLosses; }

    void add(QStandardItem* item);
    void remove(QStandardItem* item);
    void rebuild() const;

    // Most ids have one row; a duplicate id keeps every row that carries it, so the
    // first can be told apart when rows move.
    using Rows = QVarLengthArray<QStandardItem*, 1>;

    QStandardItemModel* m_model;
    int m_idRole;
    mutable QHash<QString, Rows> m_itemsById;
    // A number as id equals a text that reads as that number ("7", "07", " 7"), so
    // such rows are compared the way a scan compares them. Only a foreign writer
    // stores them, so there are normally none.
    mutable QSet<QStandardItem*> m_otherIds;
    mutable bool m_stale = true;
    quint64 m_itemLosses = 0;
};
