#pragma once

#include <functional>
#include <memory>
#include <vector>

class QStandardItem;
class QStandardItemModel;

// A QStandardItemModel without enough columns adds them in the middle of a row
// insertion, and a slot told of a new column may empty the model again (QML starting
// a search), freeing the parent item that the insertion is still filling. So rows go
// into a model that has its columns already: this gives them to it in a call of their
// own, again while slots take them away, but only a few times, so that a slot that
// always does cannot hold the GUI thread for good. `stop` ends the attempts early
// (a newer search made the rows stale). Returns whether the model has the columns.
bool giveColumns(QStandardItemModel* model, int columns, const std::function<bool()>& stop = nullptr);

// Appends a search answer's new rows at the end of a one-column model with one
// insertion, so the views take them in one step, once the model has its column.
// Returns false when `stale` tells that a slot started a newer search of the kind
// meanwhile, before the rows went in (they are dropped) or while they did.
bool appendNewRows(QStandardItemModel* model, std::vector<std::unique_ptr<QStandardItem>> rows,
                   const std::function<bool()>& stale);
