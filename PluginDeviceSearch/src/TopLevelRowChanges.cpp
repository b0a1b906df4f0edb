#include "TopLevelRowChanges.h"

QList<QMetaObject::Connection> TopLevelRowChanges::connect(const QAbstractItemModel* source) const
{
    const auto reshapedIfTopLevel = [reshaped = reshaped](const QModelIndex& parent) {
        if (!parent.isValid())
            reshaped();
    };
    const auto always = [reshaped = reshaped] { reshaped(); };
    return {
        QObject::connect(source, &QAbstractItemModel::dataChanged,
                         [valuesChanged = valuesChanged](const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                                         const QList<int>& roles) {
                             if (!topLeft.parent().isValid() && topLeft.column() <= 0 && bottomRight.column() >= 0)
                                 valuesChanged(topLeft.row(), bottomRight.row(), roles);
                         }),
        QObject::connect(source, &QAbstractItemModel::rowsInserted,
                         [rowsInserted = rowsInserted](const QModelIndex& parent, int first, int last) {
                             if (!parent.isValid())
                                 rowsInserted(first, last);
                         }),
        QObject::connect(source, &QAbstractItemModel::rowsRemoved, reshapedIfTopLevel),
        QObject::connect(source, &QAbstractItemModel::rowsMoved,
                         [reshaped = reshaped](const QModelIndex& from, int, int, const QModelIndex& to) {
                             if (!from.isValid() || !to.isValid())
                                 reshaped();
                         }),
        QObject::connect(source, &QAbstractItemModel::columnsInserted, reshapedIfTopLevel),
        QObject::connect(source, &QAbstractItemModel::columnsRemoved, reshapedIfTopLevel),
        QObject::connect(source, &QAbstractItemModel::columnsMoved, always),
        QObject::connect(source, &QAbstractItemModel::layoutAboutToBeChanged, always),
        QObject::connect(source, &QAbstractItemModel::layoutChanged, always),
        QObject::connect(source, &QAbstractItemModel::modelAboutToBeReset, always),
        QObject::connect(source, &QAbstractItemModel::modelReset, always),
        QObject::connect(source, &QObject::destroyed, destroyed),
    };
}
