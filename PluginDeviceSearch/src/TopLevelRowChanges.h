#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QMetaObject>

#include <functional>

// What a view keeps per top-level row of its source between calls (sort ranks, searched
// texts) must follow every change of those rows. These are the source's changes that
// bear on it, each told once, from the source's own signals; changes below the top level
// are left out. Connect before the view's proxy connects to the source, so that what is
// kept is dropped before the view hears of a change.
struct TopLevelRowChanges
{
    // Values of top-level rows first to last in column 0 written; no roles means any
    // role.
    std::function<void(int first, int last, const QList<int>& roles)> valuesChanged;
    // Top-level rows inserted.
    std::function<void(int first, int last)> rowsInserted;
    // Anything else that removes, moves or reorders top-level rows, or resets the model.
    std::function<void()> reshaped;
    // The source is gone.
    std::function<void()> destroyed;

    QList<QMetaObject::Connection> connect(const QAbstractItemModel* source) const;
};
