#pragma once

#include "PluginHarness.h"

#include <QAbstractItemModelTester>
#include <QStandardItemModel>

#include <memory>
#include <vector>

namespace Cam {
enum : int {
    Id = Qt::UserRole,
    Model = Qt::UserRole + 1,
    Mac = Qt::UserRole + 2,
    Ip = Qt::UserRole + 3,
    Port = Qt::UserRole + 4,
    Type = Qt::UserRole + 5,
    Status = Qt::UserRole + 6,
    UserName = Qt::UserRole + 7,
    Password = Qt::UserRole + 8,
    BrandName = Qt::UserRole + 10,
    HostName = Qt::UserRole + 11,
    Brand = Qt::UserRole + 12,
    ChannelNum = Qt::UserRole + 14,
    Manual = Qt::UserRole + 16,
    UseSSL = Qt::UserRole + 17,
    StreamingProtocol = Qt::UserRole + 18,
    Last = Qt::UserRole + 20,
};
}

namespace Station {
enum : int { Id = Qt::UserRole + 1, Status = Qt::UserRole + 9, Last = Qt::UserRole + 13 };
}

enum Status : int { Checking = 0, Authorized, DetectCode1, DetectCode2, Failed, Offline, NotChecked };

// Guards all four models of a harness for as long as it lives; declare it after the
// harness so it goes first.
class ModelGuard
{
public:
    explicit ModelGuard(const PluginHarness& h)
    {
        for (QAbstractItemModel* model : QList<QAbstractItemModel*>{h.cameraModel(), h.cameraProxy(),
                                                                    h.stationModel(), h.stationProxy()})
            m_testers.push_back(std::make_unique<QAbstractItemModelTester>(
                model, QAbstractItemModelTester::FailureReportingMode::QtTest));
    }

private:
    std::vector<std::unique_ptr<QAbstractItemModelTester>> m_testers;
};

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

// The id of the camera row at that row.
inline QString cameraId(const PluginHarness& h, int row)
{
    return h.cameraModel()->index(row, 0).data(Cam::Id).toString();
}

// A row's role by id; an invalid variant when no row has the id.
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
