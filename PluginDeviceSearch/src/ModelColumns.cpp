#include "ModelColumns.h"

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
