#pragma once

#include <CameraInfo.h>

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// What a site of n cameras sends and holds, built once per size and shared by
// every run, so only the plug-in's own work is timed.
namespace Workload {

constexpr int kBatchSize = 250;

struct Site
{
    // Every camera id, in the order the server first reports it.
    QStringList ids;
    // The device search's answers: 1.5 n entries in batches, since half the cameras
    // answer twice, once natively (brand 0) and once over ONVIF (brand 1).
    QList<QVariantList> batches;
    // The camera rows that the answers leave behind, in row order.
    QList<CameraInfo> rows;
};

const Site& site(int n);

// Answers of the station search: n stations in batches.
const QList<QVariantList>& stationBatches(int n);

// One "detCamResEvt" per camera of the site, in the order the cameras were found,
// shuffled within each batch; the request id is filled in per run.
const QList<QVariantMap>& detections(int n);

// The uid list of one authorizeList over the whole site: every id in row order, and
// a quarter of them a second time.
const QStringList& authorizeUids(int n);

// One per-device answer per camera, in row order shuffled within each batch:
// "detRes" 0 for half of them, 1 for the rest.
const QList<QVariantMap>& authorizeAnswers(int n);

// A device list file of n data lines (1 % of them with a bad port), written once.
QString importFile(int n);

// A search answer map around one batch.
QVariantMap searchAnswer(const QString& requestId, const QVariantList& devList);

} // namespace Workload
