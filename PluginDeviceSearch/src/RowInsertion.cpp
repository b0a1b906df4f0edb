#include "RowInsertion.h"

#include <QStandardItemModel>

namespace {
// More than any slot that empties the model once, in reply to the insertion it saw.
constexpr int kAttempts = 8;
} // namespace

bool giveColumns(QStandardItemModel* model, int columns, const std::function<bool()>& stop)
{
    for (int attempt = 0; attempt < kAttempts && model->columnCount() < columns; ++attempt) {
        model->setColumnCount(columns);
        if (stop && stop())
            return false;
    }
    return model->columnCount() >= columns;
}

bool appendNewRows(QStandardItemModel* model, std::vector<std::unique_ptr<QStandardItem>> rows,
                   const std::function<bool()>& stale)
{
    if (rows.empty())
        return true;
    if (!giveColumns(model, 1, stale))
        return false;
    QList<QStandardItem*> items;
    items.reserve(qsizetype(rows.size()));
    for (std::unique_ptr<QStandardItem>& row : rows)
        items.append(row.release());
    model->invisibleRootItem()->appendRows(items);
    return !stale();
}
