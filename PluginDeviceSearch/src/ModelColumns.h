#pragma once

#include <functional>

class QStandardItemModel;

// A QStandardItemModel without enough columns adds them in the middle of a row
// insertion, and a slot told of a new column may empty the model again (QML starting
// a search), freeing the parent item that the insertion is still filling. So rows go
// into a model that has its columns already: this gives them to it in a call of their
// own, again while slots take them away, but only a few times, so that a slot that
// always does cannot hold the GUI thread for good. `stop` ends the attempts early
// (a newer search made the rows stale). Returns whether the model has the columns.
bool giveColumns(QStandardItemModel* model, int columns, const std::function<bool()>& stop = nullptr);
