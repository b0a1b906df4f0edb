#include "SimulatedServer.h"

#include <PluginBase.h>

#include <QDateTime>
#include <QElapsedTimer>
#include <QTimer>

const QString SimulatedServer::FrameworkInternalError =
    QStringLiteral("{2C85B19D-AE6F-45D9-B8FE-DC436FCBEABE}FrameworkInternalError");

namespace {

const QString kSearchDevice = QStringLiteral("searchDevice");
const QString kAuthorizeDevice = QStringLiteral("authorizeDevice");
const QString kAuthorizeDeviceList = QStringLiteral("authorizeDeviceList");
const QString kDetCamResEvt = QStringLiteral("detCamResEvt");
// Half a frame: answers without a pause leave the other half to the screens.
constexpr qint64 SliceMs = 8;

// ONVIF discovery reports the MAC in lower case with hyphens, unlike the native
// protocol's twelve bare digits.
QString onvifMac(const QString& mac)
{
    QString hyphenated;
    const QString lower = mac.toLower();
    for (int i = 0; i < lower.size(); i += 2) {
        if (!hyphenated.isEmpty())
            hyphenated += QLatin1Char('-');
        hyphenated += lower.mid(i, 2);
    }
    return hyphenated;
}

QVariantList streamUrls(const SiteCamera& camera)
{
    QVariantList urls;
    for (int channel = 1; channel <= camera.channels; ++channel) {
        const QString base = QStringLiteral("rtsp://%1:%2/ch%3/").arg(camera.ip).arg(camera.rtspPort).arg(channel);
        urls.append(base + QStringLiteral("main"));
        urls.append(base + QStringLiteral("sub"));
    }
    return urls;
}

} // namespace

SimulatedServer::SimulatedServer(const Site& site, QObject* parent)
    : QObject(parent)
    , m_site(site)
{
}

void SimulatedServer::setClient(QObject* pluginObject)
{
    m_clientObject = pluginObject;
    m_client = qobject_cast<PluginBase*>(pluginObject);
}

bool SimulatedServer::takeCommand(const QString& command, const QVariant& parameters, void* userData)
{
    if (!m_client)
        return false;
    if (command == kSearchDevice && parameters.canConvert<QVariantMap>()) {
        const QVariantMap request = parameters.toMap();
        if (request.value(QStringLiteral("searchType")).toInt() == StationSearchType)
            searchStations(request);
        else
            searchDevices(request);
    } else if (command == kAuthorizeDevice && parameters.canConvert<QVariantMap>()) {
        authorizeDevice(parameters.toMap(), userData);
    } else if (command == kAuthorizeDeviceList && parameters.canConvert<QVariantList>()) {
        authorizeDeviceList(parameters.toList(), userData);
    } else {
        return false;
    }
    ++m_commandsTaken;
    return true;
}

int SimulatedServer::detectResult(const SiteCamera& camera, const QList<SiteCredential>& tried)
{
    switch (camera.state) {
    case SiteCamera::State::Unreachable:
        return Unreachable;
    case SiteCamera::State::Unsupported:
        return Unsupported;
    case SiteCamera::State::Online:
        break;
    }
    return tried.contains(camera.credential) ? Accepted : Rejected;
}

// ---------------------------------------------------------------------------
// Searches

void SimulatedServer::searchDevices(const QVariantMap& request)
{
    const int searchType = request.value(QStringLiteral("searchType")).toInt();
    const int maxRet = request.value(QStringLiteral("maxRet"), -1).toInt();
    const QString ipContains = request.value(QStringLiteral("devIpContains")).toString();
    const bool unmanagedOnly = request.value(QStringLiteral("unmanagedOnly")).toBool();
    const bool onvifCombined = request.value(QStringLiteral("onvifCombined")).toBool();
    const bool checkAuth = request.value(QStringLiteral("checkAuth")).toBool();

    QList<const SiteCamera*> found;
    for (const SiteCamera& camera : m_site.cameras) {
        if (maxRet >= 0 && found.size() >= maxRet)
            break;
        if (camera.brand == 1 && !onvifCombined)
            continue;
        if (!ipContains.isEmpty() && !camera.ip.contains(ipContains))
            continue;
        if (unmanagedOnly && m_site.isManagedInFull(camera.ip, QString::number(camera.port())))
            continue;
        found.append(&camera);
    }

    // A native camera that also answers ONVIF discovery arrives twice under one id.
    // The two answers come in either order, the second one in a later batch.
    struct Found
    {
        const SiteCamera* camera;
        int brand;
    };
    QList<Found> entries;
    QList<Found> lateEntries;
    int dualCameras = 0;
    for (const SiteCamera* camera : std::as_const(found)) {
        const Found native{camera, camera->brand};
        if (!(camera->alsoOnvif && onvifCombined)) {
            entries.append(native);
            continue;
        }
        const Found onvif{camera, 1};
        const bool onvifFirst = dualCameras++ % 2 == 0;
        entries.append(onvifFirst ? onvif : native);
        lateEntries.append(onvifFirst ? native : onvif);
    }
    entries += lateEntries;

    // Entries and detection results are made when their batch or event is due, so the
    // call that sends a search of a large site does not build every answer at once.
    QList<Delivery> deliveries =
        batches(request, entries.size(), [this, entries, searchType](qsizetype from, qsizetype to) {
            QVariantList list;
            list.reserve(to - from);
            for (qsizetype i = from; i < to; ++i)
                list.append(cameraEntry(*entries.at(i).camera, entries.at(i).brand, searchType));
            return list;
        });
    if (checkAuth) {
        const QString requestId = request.value(QStringLiteral("reqUID")).toString();
        for (const SiteCamera* camera : std::as_const(found)) {
            deliveries.append({m_site.timing.detectionDelayMs, [this, requestId, camera] {
                                   QVariantMap detection{{QStringLiteral("reqUID"), requestId},
                                                         {QStringLiteral("delID"), camera->id},
                                                         {QStringLiteral("detRes"),
                                                          detectResult(*camera, m_site.defaultCredentials)}};
                                   if (detection.value(QStringLiteral("detRes")).toInt() == Accepted) {
                                       detection.insert(QStringLiteral("Model"), camera->model);
                                       detection.insert(QStringLiteral("MAC"), camera->mac);
                                       detection.insert(QStringLiteral("ChannelNum"), camera->channels);
                                   }
                                   event(kDetCamResEvt, detection);
                               }});
        }
    }
    deliverInOrder(std::move(deliveries));
}

void SimulatedServer::searchStations(const QVariantMap& request)
{
    const int maxRet = request.value(QStringLiteral("maxRet"), -1).toInt();
    const QString ipContains = request.value(QStringLiteral("devIpContains")).toString();
    const bool unmanagedOnly = request.value(QStringLiteral("unmanagedOnly")).toBool();
    const int searchType = request.value(QStringLiteral("searchType")).toInt();

    QVariantList entries;
    for (const SiteStation& station : m_site.stations) {
        if (maxRet >= 0 && entries.size() >= maxRet)
            break;
        if (!ipContains.isEmpty() && !station.ip.contains(ipContains))
            continue;
        if (unmanagedOnly && m_site.isManagedInFull(station.ip, QString::number(station.port())))
            continue;
        entries.append(stationEntry(station, searchType));
    }
    deliverInOrder(batches(request, entries.size(), [entries](qsizetype from, qsizetype to) {
        return entries.mid(from, to - from);
    }));
}

QList<SimulatedServer::Delivery> SimulatedServer::batches(const QVariantMap& request, qsizetype entries,
                                                          const EntryRange& entriesOf)
{
    QVariantMap answerBase{{QStringLiteral("reqUID"), request.value(QStringLiteral("reqUID"))}};
    if (request.contains(QStringLiteral("checkAuth")))
        answerBase.insert(QStringLiteral("checkAuth"), request.value(QStringLiteral("checkAuth")));

    const qsizetype most = qMax(qsizetype(1), entries);
    const int count = int(qBound(qsizetype(1), qsizetype(m_site.timing.searchBatches), most));
    QList<Delivery> deliveries;
    for (int batch = 0; batch < count; ++batch) {
        const qsizetype from = entries * batch / count;
        const qsizetype to = entries * (batch + 1) / count;
        const bool done = batch == count - 1;
        deliveries.append({m_site.timing.batchDelayMs, [this, answerBase, entriesOf, from, to, done] {
                               QVariantMap result = answerBase;
                               result.insert(QStringLiteral("devList"), entriesOf(from, to));
                               answer(kSearchDevice, result, nullptr, QStringLiteral("0"), done);
                           }});
    }
    return deliveries;
}

QVariantMap SimulatedServer::cameraEntry(const SiteCamera& camera, int brand, int searchType) const
{
    const bool overOnvif = brand == 1 && camera.brand != 1;
    return QVariantMap{
        {QStringLiteral("delID"), camera.id},
        {QStringLiteral("IP"), camera.ip},
        {QStringLiteral("HostName"), camera.hostName},
        {QStringLiteral("HttpPort"), camera.httpPort},
        {QStringLiteral("HttpsPort"), camera.httpsPort},
        {QStringLiteral("MAC"), overOnvif ? onvifMac(camera.mac) : camera.mac},
        {QStringLiteral("Model"), camera.model},
        {QStringLiteral("Brand"), brand},
        {QStringLiteral("searchType"), searchType},
    };
}

QVariantMap SimulatedServer::stationEntry(const SiteStation& station, int searchType) const
{
    return QVariantMap{
        {QStringLiteral("delID"), station.id},
        {QStringLiteral("IP"), station.ip},
        {QStringLiteral("HostName"), station.hostName},
        {QStringLiteral("HttpPort"), station.httpPort},
        {QStringLiteral("HttpsPort"), station.httpsPort},
        {QStringLiteral("MAC"), station.mac},
        {QStringLiteral("Model"), station.model},
        {QStringLiteral("Brand"), station.brand},
        {QStringLiteral("searchType"), searchType},
        {QStringLiteral("QRLNModel"), station.qrlnModel},
    };
}

// ---------------------------------------------------------------------------
// Logins

bool SimulatedServer::neverAnswers(const QVariantMap& device) const
{
    const SiteCamera* camera = m_site.cameraAt(device.value(QStringLiteral("IP")).toString(),
                                               device.value(QStringLiteral("HttpPort")).toInt());
    return camera && camera->fault == SiteCamera::Fault::NoAnswer;
}

bool SimulatedServer::loginAnswer(const QVariantMap& device, bool perDevice, QVariantMap& result,
                                  QString& resultCode) const
{
    const SiteCamera* camera = m_site.cameraAt(device.value(QStringLiteral("IP")).toString(),
                                               device.value(QStringLiteral("HttpPort")).toInt());
    const SiteCamera::Fault fault = camera ? camera->fault : SiteCamera::Fault::None;
    if (fault == SiteCamera::Fault::NoAnswer)
        return false;

    result.clear();
    if (perDevice)
        result.insert(QStringLiteral("delID"), device.value(QStringLiteral("delID")));
    resultCode = QStringLiteral("0");
    if (fault == SiteCamera::Fault::FailureCode || fault == SiteCamera::Fault::InternalError) {
        resultCode = fault == SiteCamera::Fault::FailureCode ? camera->faultCode : FrameworkInternalError;
        // The login never ran, so there is no detection result to report.
        result.insert(QStringLiteral("detRes"), -1);
        return true;
    }

    // An address that no camera of the site answers on cannot be reached.
    const SiteCredential tried{device.value(QStringLiteral("Username")).toString(),
                               device.value(QStringLiteral("Password")).toString()};
    const int detected = camera ? detectResult(*camera, {tried}) : Unreachable;
    result.insert(QStringLiteral("detRes"), detected);
    if (detected == Accepted) {
        result.insert(QStringLiteral("Model"), camera->model);
        result.insert(QStringLiteral("MAC"), camera->mac);
        result.insert(QStringLiteral("Brand"), camera->brand);
        result.insert(QStringLiteral("ChannelNum"), camera->channels);
        result.insert(QStringLiteral("CamRTSPPort"), camera->rtspPort);
        result.insert(QStringLiteral("StreamURLList"), streamUrls(*camera));
    }
    return true;
}

void SimulatedServer::authorizeDevice(const QVariantMap& device, void* userData)
{
    QVariantMap result;
    QString resultCode;
    if (!loginAnswer(device, false, result, resultCode))
        return;
    deliverInOrder({{m_site.timing.authorizeDelayMs, [this, result, userData, resultCode] {
                         answer(kAuthorizeDevice, result, userData, resultCode, true);
                     }}});
}

void SimulatedServer::authorizeDeviceList(const QVariantList& devices, void* userData)
{
    // Each answer is made when its turn comes: a list of a hundred thousand devices
    // costs the call that sends it only the look-up of which devices never answer.
    QList<Delivery> deliveries;
    deliveries.reserve(devices.size());
    for (const QVariant& entry : devices) {
        const QVariantMap device = entry.toMap();
        if (neverAnswers(device))
            continue;
        deliveries.append({m_site.timing.authorizeDelayMs, [this, device, userData] {
                               QVariantMap result;
                               QString resultCode;
                               loginAnswer(device, true, result, resultCode);
                               answer(kAuthorizeDeviceList, result, userData, resultCode, true);
                           }});
    }
    deliverInOrder(std::move(deliveries));
}

// ---------------------------------------------------------------------------
// Delivery

void SimulatedServer::deliverInOrder(QList<Delivery> deliveries)
{
    if (deliveries.isEmpty())
        return;
    m_scheduled += int(deliveries.size());
    scheduleNext(std::make_shared<QList<Delivery>>(std::move(deliveries)));
}

void SimulatedServer::scheduleNext(const std::shared_ptr<QList<Delivery>>& deliveries)
{
    if (deliveries->isEmpty())
        return;
    QTimer::singleShot(deliveries->first().delayMs, Qt::PreciseTimer, this, [this, deliveries] {
        // Deliveries without a pause go one after the other within a slice of one
        // event-loop turn: a large site's hundred thousand answers need no hundred
        // thousand turns, and the screens still paint between slices.
        QElapsedTimer slice;
        slice.start();
        do {
            const Delivery delivery = deliveries->takeFirst();
            delivery.run();
            --m_scheduled;
        } while (!deliveries->isEmpty() && deliveries->first().delayMs == 0 && slice.elapsed() < SliceMs);
        scheduleNext(deliveries);
        if (m_scheduled == 0)
            Q_EMIT idle();
    });
}

void SimulatedServer::answer(const QString& command, const QVariantMap& result, void* userData,
                             const QString& resultCode, bool done)
{
    if (m_clientObject)
        m_client->CommandProcessor(command, result, userData, resultCode, QString(), done, QString());
}

void SimulatedServer::event(const QString& name, const QVariantMap& data)
{
    if (m_clientObject)
        m_client->EventProcessor(name, QDateTime::currentMSecsSinceEpoch(), 0, 0, data, QString());
}
