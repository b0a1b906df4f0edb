#pragma once

#include "PluginHarness.h"

#include <QSignalSpy>
#include <QStandardItemModel>

// Camera roles as the plug-in stores them; 271 and up have no name, so tests
// reach them by number like the plug-in does.
namespace Cam {
enum : int {
    Id = Qt::UserRole,
    Model = Qt::UserRole + 1,
    Mac = Qt::UserRole + 2,
    Ip = Qt::UserRole + 3,
    Port = Qt::UserRole + 4,
    Status = Qt::UserRole + 6,
    UserName = Qt::UserRole + 7,
    Password = Qt::UserRole + 8,
    BrandName = Qt::UserRole + 10,
    Brand = Qt::UserRole + 12,
    ChannelNum = Qt::UserRole + 14,
    PreviousStatus = Qt::UserRole + 15,
    RtspPort = Qt::UserRole + 19,
    StreamUrlList = Qt::UserRole + 20,
};
}

// PluginDeviceSearch::DeviceStatus, by value.
enum Status : int { Checking = 0, Authorized, DetectCode1, DetectCode2, Failed, Offline, NotChecked };

inline const QString kInternalError = QStringLiteral("{2C85B19D-AE6F-45D9-B8FE-DC436FCBEABE}FrameworkInternalError");
inline const QString kAuthorizeDevice = QStringLiteral("authorizeDevice");
inline const QString kAuthorizeDeviceList = QStringLiteral("authorizeDeviceList");

// Starts a device search and answers it with the given cameras (status NotChecked).
inline QString searchCameras(PluginHarness& h, const QVariantList& devices)
{
    const QString id = h.startDeviceSearch();
    h.answerSearch(id, devices);
    return id;
}

// A detection event for the current search: the way a row reaches a status
// other than the ones a search or an authorization gives it.
inline void detect(PluginHarness& h, const QString& searchId, const QString& id, int detRes)
{
    h.event(QStringLiteral("detCamResEvt"),
            QVariantMap{{QStringLiteral("reqUID"), searchId},
                        {QStringLiteral("delID"), id},
                        {QStringLiteral("detRes"), detRes},
                        {QStringLiteral("Model"), QStringLiteral("M1")},
                        {QStringLiteral("MAC"), QStringLiteral("00-11-22-AA-BB-CC")},
                        {QStringLiteral("ChannelNum"), 1}});
}

// Data of the first camera row with that id; an invalid variant when there is none.
inline QVariant cameraData(PluginHarness& h, const QString& id, int role)
{
    const QStandardItemModel* model = h.cameraModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (index.data(Cam::Id).toString() == id)
            return index.data(role);
    }
    return QVariant();
}

inline int statusOf(PluginHarness& h, const QString& id)
{
    const QVariant status = cameraData(h, id, Cam::Status);
    return status.isValid() ? status.toInt() : -1;
}

inline QVariantMap answerMap(int detRes)
{
    return QVariantMap{{QStringLiteral("detRes"), detRes}};
}

// The (id, status) pairs a spy on deviceAuthorized or addOfflineCamera saw, as "a:1,b:4".
inline QString emitted(const QSignalSpy& spy)
{
    QStringList out;
    for (const QList<QVariant>& args : spy)
        out.append(QStringLiteral("%1:%2").arg(args.at(0).toString()).arg(args.at(1).toInt()));
    return out.join(QLatin1Char(','));
}

#define DEVICE_AUTHORIZED SIGNAL(deviceAuthorized(QString, PluginDeviceSearch::DeviceStatus))
#define ADD_OFFLINE_CAMERA SIGNAL(addOfflineCamera(QString, PluginDeviceSearch::DeviceStatus))
