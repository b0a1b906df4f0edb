#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QVarLengthArray>

#include <optional>

class QStandardItem;
class QStandardItemModel;

// Finds the camera row of a device id without scanning the model. It answers exactly
// what a scan from row 0 would: the first top-level row whose id role equals the id.
//
// The index follows the model's own signals, so it stays true whatever changes the
// model: the plug-in's writes, clear(), takeRow(), insertions anywhere, and setData,
// removeRows or sort() done by QML or any other holder of the model. Changes it
// cannot follow item by item (a reset, a replaced item) mark it stale; the next
// lookup rebuilds it once.
class CameraIndex : public QObject
{
    Q_OBJECT

public:
    CameraIndex(QStandardItemModel* model, int idRole, QObject* parent = nullptr);

    QStandardItem* firstItem(const QString& id) const;

private:
    void onRowsInserted(const QModelIndex& parent, int first, int last);
    void onRowsAboutToBeRemoved(const QModelIndex& parent, int first, int last);
    void onDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles);
    void markStale();

    void add(QStandardItem* item);
    void remove(QStandardItem* item);
    void rebuild() const;
    // Only text ids can equal an id asked for; rows holding anything else are
    // remembered but never found.
    std::optional<QString> idOf(QStandardItem* item) const;

    // Most ids have one row; a duplicate id keeps every row that carries it, so the
    // first can be told apart when rows move.
    using Rows = QVarLengthArray<QStandardItem*, 1>;

    QStandardItemModel* m_model;
    int m_idRole;
    mutable QHash<QString, Rows> m_itemsById;
    mutable QHash<QStandardItem*, std::optional<QString>> m_idByItem;
    mutable bool m_stale = true;
};
