#include "PluginDeviceSearch.h"

#include "CameraInfo.h"
#include "CameraRoles.h"
#include "DeviceListParser.h"
#include "PluginLog.h"
#include "ProtocolKeys.h"
#include "StationTableModel.h"
#include "StationTableSortFilterModel.h"

#include <FrameworkWrapperBase.h>

#include <QProcessEnvironment>
#include <QStandardItemModel>
#include <QUuid>

#include <iterator>
#include <memory>
#include <utility>

namespace {

constexpr int kStationSearchType = 24;

enum SearchFlag {
    UnmanagedOnlyFlag = 1,
    CheckAuthFlag = 2,
    OnvifCombinedFlag = 4,
};

QString newBracedUuid()
{
    return QUuid::createUuid().toString(QUuid::WithBraces);
}

// The six texts of a device record; an entry the record lacks reads as empty.
struct ImportRecord
{
    QString brand;
    QString host;
    QString ip;
    QString mac;
    QString model;
    QString port;
};

// Reads the record in one pass: its keys come sorted, and so do the six wanted here,
// so each of its entries is compared once or twice instead of searched for.
ImportRecord readRecord(const QMap<QString, QString>& record)
{
    static const std::pair<const QString*, QString ImportRecord::*> wanted[] = {
        {&ProtocolKey::ImportBrand, &ImportRecord::brand}, {&ProtocolKey::ImportHost, &ImportRecord::host},
        {&ProtocolKey::ImportIp, &ImportRecord::ip},       {&ProtocolKey::ImportMac, &ImportRecord::mac},
        {&ProtocolKey::ImportModel, &ImportRecord::model}, {&ProtocolKey::ImportPort, &ImportRecord::port},
    };
    ImportRecord result;
    size_t next = 0;
    for (auto it = record.cbegin(); it != record.cend() && next < std::size(wanted); ++it) {
        int order = 0;
        while (next < std::size(wanted) && (order = wanted[next].first->compare(it.key())) < 0)
            ++next;
        if (next < std::size(wanted) && order == 0)
            result.*(wanted[next++].second) = it.value();
    }
    return result;
}

// The same from a line the parser hands over; its keys come in the same order.
ImportRecord readLine(const DeviceListParser::Line& line)
{
    static const std::pair<const QString*, QString ImportRecord::*> wanted[] = {
        {&ProtocolKey::ImportBrand, &ImportRecord::brand}, {&ProtocolKey::ImportHost, &ImportRecord::host},
        {&ProtocolKey::ImportIp, &ImportRecord::ip},       {&ProtocolKey::ImportMac, &ImportRecord::mac},
        {&ProtocolKey::ImportModel, &ImportRecord::model}, {&ProtocolKey::ImportPort, &ImportRecord::port},
    };
    ImportRecord result;
    size_t next = 0;
    for (const DeviceListParser::Value& value : line) {
        int order = 0;
        while (next < std::size(wanted) && (order = wanted[next].first->compare(*value.key)) < 0)
            ++next;
        if (next < std::size(wanted) && order == 0)
            result.*(wanted[next++].second) = value.text.toString();
    }
    return result;
}

// A device of an import file, keyed by the addDevice parameter it feeds.
QVariantMap importedDevice(const ImportRecord& record)
{
    static const QString modelNameKey = QStringLiteral("modelName");
    static const QString hostNameKey = QStringLiteral("hostName");
    // Entered in key order ("brand" < "host" < "hostName" < "mac" < "modelName" <
    // "port"), each at the end of the map, where the hint makes it a constant step.
    QVariantMap device;
    device.insert(device.cend(), ProtocolKey::ImportBrand, record.brand);
    device.insert(device.cend(), ProtocolKey::ImportHost, record.ip);
    device.insert(device.cend(), hostNameKey, record.host);
    device.insert(device.cend(), ProtocolKey::ImportMac, record.mac);
    device.insert(device.cend(), modelNameKey, record.model);
    device.insert(device.cend(), ProtocolKey::ImportPort, record.port);
    return device;
}

// One camera's map in an "authorizeDeviceList" request, entered in key order ("Brand"
// < "HttpPort" < "IP" < "MAC" < "Password" < "Username" < "delID") at the map's end.
QVariantMap authorizeListEntry(const QString& uid, const QStandardItem* item, const QString& username,
                               const QString& password)
{
    QVariantMap device;
    device.insert(device.cend(), ProtocolKey::Brand, item->data(CameraRole::Brand).toInt());
    device.insert(device.cend(), ProtocolKey::HttpPort, item->data(CameraRole::Port).toInt());
    device.insert(device.cend(), ProtocolKey::IP, item->data(CameraRole::Ip).toString());
    device.insert(device.cend(), ProtocolKey::MAC, item->data(CameraRole::Mac).toString());
    device.insert(device.cend(), ProtocolKey::Password, password);
    device.insert(device.cend(), ProtocolKey::Username, username);
    device.insert(device.cend(), ProtocolKey::DelID, uid);
    return device;
}

bool isUsablePort(int port)
{
    return port >= 1 && port <= 65535;
}

} // namespace

// ---------------------------------------------------------------------------
// Searches

PluginDeviceSearch::SearchRequest PluginDeviceSearch::BuildSearchParameters(int type, int flag,
                                                                            const QString& relayPath,
                                                                            int maxRet) const
{
    SearchRequest request;
    request.requestId = newBracedUuid();
    QVariantMap& map = request.parameters;
    map.insert(ProtocolKey::ReqUID, request.requestId);
    map.insert(ProtocolKey::RelayPath, relayPath);

    // Read anew for every request, so a site can change its limits without a restart.
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString maxCountVariable = QStringLiteral("MAX_SRCH_DEV_CNT");
    const QString ipContainsVariable = QStringLiteral("DEV_IP_CONTAINS");
    const int limit = environment.contains(maxCountVariable) ? environment.value(maxCountVariable).toInt() : maxRet;
    map.insert(ProtocolKey::MaxRet, limit);
    map.insert(ProtocolKey::DevIpContains,
               environment.contains(ipContainsVariable) ? environment.value(ipContainsVariable) : QStringLiteral(""));

    if (flag & UnmanagedOnlyFlag)
        map.insert(ProtocolKey::UnmanagedOnly, true);
    if (flag & CheckAuthFlag)
        map.insert(ProtocolKey::CheckAuth, true);
    if (flag & OnvifCombinedFlag)
        map.insert(ProtocolKey::OnvifCombined, true);
    map.insert(ProtocolKey::SearchType, type);
    return request;
}

bool PluginDeviceSearch::SendToHost(const QString& command, const QVariant& parameters, void* userData)
{
    if (!m_frameworkWrapper)
        return false;
    return m_frameworkWrapper->SendCommand(m_hostContext, m_pluginId, command, parameters, userData, false,
                                           QString());
}

bool PluginDeviceSearch::searchDevices(int type, int flag, const QString& relayPath, int maxRet)
{
    const SearchRequest request = BuildSearchParameters(type, flag, relayPath, maxRet);
    if (!SendToHost(ProtocolKey::SearchDevice, request.parameters, nullptr)) {
        PDS_LOG("%s, send command to server failed", "PluginDeviceSearch::searchDevices");
        return false;
    }
    m_deviceSearchRequestId = request.requestId;
    if (m_cameraModel)
        m_cameraModel->clear();
    return true;
}

bool PluginDeviceSearch::refreshDevices(int type, int flag, const QString& relayPath, int maxRet)
{
    const SearchRequest request = BuildSearchParameters(type, flag, relayPath, maxRet);
    if (!SendToHost(ProtocolKey::SearchDevice, request.parameters, nullptr)) {
        PDS_LOG("%s, send command to server failed", "PluginDeviceSearch::refreshDevices");
        return false;
    }
    m_deviceSearchRequestId = request.requestId;
    CleanModelAndKeepManualItems();
    return true;
}

bool PluginDeviceSearch::searchStations()
{
    const SearchRequest request = BuildSearchParameters(kStationSearchType, UnmanagedOnlyFlag, QStringLiteral(""), -1);
    if (!SendToHost(ProtocolKey::SearchDevice, request.parameters, nullptr)) {
        PDS_LOG("%s, send command to server failed", "PluginDeviceSearch::searchStations");
        return false;
    }
    m_stationSearchRequestId = request.requestId;
    if (m_stationModel)
        m_stationModel->clear();
    return true;
}

void PluginDeviceSearch::CleanModelAndKeepManualItems()
{
    if (!m_cameraModel)
        return;
    // The kept items leave their cells, not their rows: taking a whole row moves every
    // row below it, in the model and in each view, once per kept row, and the clear
    // that follows forgets all rows anyway.
    const int columns = m_cameraModel->columnCount();
    QList<QList<QStandardItem*>> kept;
    for (int row = m_cameraModel->rowCount() - 1; row >= 0; --row) {
        if (!m_cameraModel->index(row, 0).data(CameraRole::Manual).toBool())
            continue;
        QList<QStandardItem*> items;
        items.reserve(columns);
        for (int column = 0; column < columns; ++column)
            items.append(m_cameraModel->takeItem(row, column));
        kept.append(items);
    }
    m_cameraModel->clear();
    // Taken from the bottom up; put back from the end of the list to keep their order.
    for (auto it = kept.crbegin(); it != kept.crend(); ++it)
        m_cameraModel->appendRow(*it);
}

// ---------------------------------------------------------------------------
// Authorization

bool PluginDeviceSearch::IsSendable(const QStandardItem* item) const
{
    return !item->data(CameraRole::Ip).toString().isEmpty() && isUsablePort(item->data(CameraRole::Port).toInt());
}

bool PluginDeviceSearch::authorize(const QString& uid, const QString& username, const QString& password)
{
    QStandardItem* item = GetCameraItem(uid);
    if (!item)
        return false;
    if (item->data(CameraRole::Status).toInt() == Authorized)
        return true;
    if (!IsSendable(item))
        return false;

    QVariantMap parameters;
    parameters.insert(ProtocolKey::IP, item->data(CameraRole::Ip).toString());
    parameters.insert(ProtocolKey::HttpPort, item->data(CameraRole::Port).toInt());
    parameters.insert(ProtocolKey::Username, username);
    parameters.insert(ProtocolKey::Password, password);
    parameters.insert(ProtocolKey::Brand, item->data(CameraRole::Brand).toInt());

    AuthorizeContext* context = m_authorizeContexts.create(username, password, {uid});
    // The row turns pending whether or not the host took the command; only the
    // context goes at once when no answer can come for it.
    if (!SendToHost(ProtocolKey::AuthorizeDevice, parameters, context))
        m_authorizeContexts.release(context);

    item->setData(item->data(CameraRole::Status).toInt(), CameraRole::PreviousStatus);
    item->setData(int(Checking), CameraRole::Status);
    m_pendingAuthorizations.append(uid);
    return true;
}

bool PluginDeviceSearch::authorizeList(const QStringList& uidList, const QString& username, const QString& password)
{
    if (IsAllAuthorized(uidList))
        return true;

    // The rows found here are the ones marked pending once the host has the list. Each
    // row's entry of the list is made while the row is at hand: on a large site a
    // second walk over the rows would meet every one of them out of the caches again.
    QStringList toSend;
    QList<QStandardItem*> rows;
    QVariantList devices;
    toSend.reserve(uidList.size());
    rows.reserve(uidList.size());
    devices.reserve(uidList.size());
    for (const QString& uid : uidList) {
        QStandardItem* item = GetCameraItem(uid);
        if (!item || item->data(CameraRole::Status).toInt() == Authorized || !IsSendable(item))
            continue;
        toSend.append(uid);
        rows.append(item);
        devices.append(authorizeListEntry(uid, item, username, password));
    }
    if (toSend.isEmpty())
        return false;

    AuthorizeContext* context = m_authorizeContexts.create(username, password, toSend);
    if (!SendToHost(ProtocolKey::AuthorizeDeviceList, devices, context)) {
        m_authorizeContexts.release(context);
        return true;
    }

    // The host answers through the event loop, never from inside SendCommand, so the
    // rows are still the ones found above.
    m_pendingAuthorizations.reserveMore(toSend.size());
    for (qsizetype i = 0; i < toSend.size(); ++i) {
        QStandardItem* item = rows.at(i);
        const int status = item->data(CameraRole::Status).toInt();
        item->setData(int(Checking), CameraRole::Status);
        item->setData(status, CameraRole::PreviousStatus);
        m_pendingAuthorizations.append(toSend.at(i));
    }
    return true;
}

bool PluginDeviceSearch::IsAllAuthorized(const QStringList& uidList) const
{
    for (const QString& uid : uidList) {
        const QStandardItem* item = GetCameraItem(uid);
        if (!item || item->data(CameraRole::Status).toInt() != Authorized)
            return false;
    }
    return true;
}

bool PluginDeviceSearch::setAuthorization(const QStringList& uidList, const QString& username,
                                          const QString& password)
{
    for (const QString& uid : uidList) {
        QStandardItem* item = GetCameraItem(uid);
        // Credentials for a camera that is not listed have nowhere to go.
        if (!item)
            continue;
        const int status = item->data(CameraRole::Status).toInt();
        item->setData(int(Offline), CameraRole::Status);
        item->setData(status, CameraRole::PreviousStatus);
        item->setData(username, CameraRole::UserName);
        item->setData(password, CameraRole::Password);
        Q_EMIT addOfflineCamera(uid, Offline);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Stations

QVariantList PluginDeviceSearch::getAllIdInSearchedStationSortFilterModel()
{
    QVariantList ids;
    if (!m_stationSortFilterModel)
        return ids;
    for (int row = 0; row < m_stationSortFilterModel->rowCount(); ++row)
        ids.append(m_stationSortFilterModel->index(row, 0).data(StationRole::Id));
    return ids;
}

QVariantList PluginDeviceSearch::getStationsNeedToBeAuthorized() const
{
    QVariantList ids;
    if (!m_stationSortFilterModel)
        return ids;
    for (int row = 0; row < m_stationSortFilterModel->rowCount(); ++row) {
        const QModelIndex index = m_stationSortFilterModel->index(row, 0);
        if (index.data(StationRole::Status).toInt() != Authorized)
            ids.append(index.data(StationRole::Id));
    }
    return ids;
}

void PluginDeviceSearch::removeRowInSearchedStationTableModel(const QString& id)
{
    if (!m_stationModel)
        return;
    const QModelIndexList hits =
        m_stationModel->match(m_stationModel->index(0, 0), StationRole::Id, id, 1,
                              Qt::MatchFixedString | Qt::MatchCaseSensitive | Qt::MatchRecursive);
    if (!hits.isEmpty())
        m_stationModel->removeRow(hits.first().row());
}

void PluginDeviceSearch::addStation(const QVariantMap& stationInfoMap)
{
    if (!m_stationModel)
        return;
    QVariantMap station = stationInfoMap;
    station.insert(ProtocolKey::DelID, newBracedUuid());
    if (QStandardItem* item = createStationNode(createDeviceInfo(station)))
        m_stationModel->insertRow(0, item);
}

// ---------------------------------------------------------------------------
// Manual addition and import

bool PluginDeviceSearch::addDevice(const QString& hostName, int type, const QString& host, ushort port,
                                   const QString& modelName, int brand, const QString& mac, const QString& url,
                                   const QString& /*relayPath*/, bool useSSL, const QString& streamingProtocol)
{
    // An instance that was never initialised has no camera model to add to.
    if (!m_cameraModel)
        return true;
    CameraInfo info;
    info.id = newBracedUuid();
    info.hostName = hostName;
    info.model = modelName;
    info.mac = mac;
    info.ip = host;
    info.port = port;
    info.type = type;
    info.status = NotChecked;
    info.brand = brand;
    info.channelNum = 1;
    info.isManual = true;
    info.url = url;
    info.useSSL = useSSL;
    info.streamingProtocol = streamingProtocol;

    m_cameraModel->insertRow(0, info.toStandardItem().release());
    Q_EMIT addDeviceResp(info.id);
    return true;
}

QVariant PluginDeviceSearch::importDevices(const QUrl& urlFile)
{
    uint numWrongFormat = 0;
    QVariantList devices;
    qsizetype records = 0;
    int existing = 0;

    if (!m_deviceListParser)
        return devices;
    auto take = [&](const ImportRecord& fields) {
        ++records;
        if (CheckCameraExistedInTopology(fields.ip, fields.port))
            ++existing;
        else
            devices.append(importedDevice(fields));
    };
    const QString path = urlFile.toLocalFile();
    int parsed = 0;
    if (auto* parser = dynamic_cast<DeviceListParser*>(m_deviceListParser.data())) {
        // Each line is made into its device as soon as it is read, so the file's
        // records never all exist at once beside the devices made of them.
        parsed = parser->ParseEach(
            path, [&](const DeviceListParser::Line& line) { take(readLine(line)); }, numWrongFormat);
    } else {
        QList<QMap<QString, QString>> list;
        parsed = m_deviceListParser->Parse(path, list, numWrongFormat);
        if (parsed == 0) {
            devices.reserve(list.size());
            for (QMap<QString, QString>& record : list) {
                take(readRecord(record));
                // Done with it: its memory serves the next device rather than fresh pages.
                record = QMap<QString, QString>();
            }
        } else {
            // An unusable file leaves no record to look at, whatever the parser left
            // behind; what it left still counts against the existing ones.
            records = list.size();
        }
    }
    if (parsed != 0) {
        PDS_LOG("%s, parse importing list file failed", "PluginDeviceSearch::importDevices");
        devices.clear();
    }

    if (records == existing)
        Q_EMIT devicesExist();
    if (numWrongFormat != 0)
        Q_EMIT importFileNotAllCorrect(numWrongFormat);
    return devices;
}
