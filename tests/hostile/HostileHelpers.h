#pragma once

#include "ModelTesters.h"
#include "Roles.h"

#include <QStandardItemModel>

// A copy of the map with the key set to the value, or removed when the value is invalid.
inline QVariantMap with(QVariantMap map, const QString& key, const QVariant& value)
{
    if (value.isValid())
        map.insert(key, value);
    else
        map.remove(key);
    return map;
}

// Every role of every row, one line per row: one QCOMPARE shows whether anything moved.
inline QString dump(const QAbstractItemModel* model, int lastRole)
{
    QStringList rows;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList values;
        for (int role = Qt::UserRole; role <= lastRole; ++role) {
            const QVariant value = model->index(row, 0).data(role);
            values.append(value.metaType().id() == QMetaType::QStringList ? value.toStringList().join(u'|')
                                                                           : value.toString());
        }
        rows.append(values.join(u';'));
    }
    return rows.join(u'\n');
}

inline QString cameras(const PluginHarness& h) { return dump(h.cameraModel(), Cam::Last); }
inline QString stations(const PluginHarness& h) { return dump(h.stationModel(), Station::Last); }

// A camera model with searched rows a and b and one hand-added row on top, and a
// station model with two rows: what a hostile input must leave standing.
inline QString populate(PluginHarness& h)
{
    const QString stationSearch = h.startStationSearch();
    h.answerSearch(stationSearch, {foundDevice("s1", "10.0.1.1"), foundDevice("s2", "10.0.1.2")});
    const QString search = h.startDeviceSearch();
    h.answerSearch(search, {foundDevice("a", "10.0.0.2"), foundDevice("b", "10.0.0.10", 8080, 1)});
    h.call("addDevice", {"manual", 0, "10.0.0.99", 554});
    return search;
}

// A populated harness that remembers both models, so a case ends with unchanged().
struct Populated : CheckedHarness
{
    QString search = populate(*this);
    QString camerasBefore = cameras(*this);
    QString stationsBefore = stations(*this);

    bool unchanged() const { return cameras(*this) == camerasBefore && stations(*this) == stationsBefore; }
};

// A camera row's role by id; an invalid variant when no row has the id.
inline QVariant cameraData(const PluginHarness& h, const QString& id, int role)
{
    const QStandardItemModel* model = h.cameraModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->index(row, 0).data(Cam::Id).toString() == id)
            return model->index(row, 0).data(role);
    }
    return QVariant();
}

// What importDevices hands QML: the meta-call wraps its QVariant result once more.
inline QVariantList importDevices(PluginHarness& h, const QUrl& url)
{
    const QVariant result = h.call("importDevices", {url});
    if (result.metaType() == QMetaType::fromType<QVariant>())
        return static_cast<const QVariant*>(result.constData())->toList();
    return result.toList();
}
