#pragma once

#include <QString>

class QAbstractItemModel;

// Plain-text views of the plug-in's models for the headless run: one table row per
// model row, columns as wide as their longest text, and one line of counts per status.
// Every value is read through the role names the model gives (roleNames()).
namespace CameraTable {

// Status of a row in words, as the screens show it.
QString statusName(int status);
// One word per status, for the counts line that tests read.
QString statusKey(int status);

// The number of a role name of the model; -1 when it has none.
int role(const QAbstractItemModel* model, const char* name);

// Camera rows in the order of the given model (the camera model or its proxy). A model
// of more than 1000 rows shows its first 100 and a line that says how many are left out.
QString cameras(const QAbstractItemModel* model);
// Station rows in the order of the given model, cut the same way.
QString stations(const QAbstractItemModel* model);

// "counts[label]: Checking=0 Authorized=3 ... total=9" over the rows of the model.
QString counts(const QString& label, const QAbstractItemModel* model);
// The same line from counts already made (one per status, then the rows in all).
QString counts(const QString& label, const QList<int>& perStatus, int total);

} // namespace CameraTable
