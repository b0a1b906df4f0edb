#include "PluginDeviceSearch.h"

#include "CameraInfo.h"
#include "CameraIndex.h"
#include "CameraRoles.h"
#include "CameraRow.h"
#include "DeviceListParser.h"
#include "PluginLog.h"
#include "ProtocolKeys.h"
#include "RowInsertion.h"
#include "StationTableModel.h"
#include "StationTableSortFilterModel.h"
#include "TopologyIndex.h"

#include <FrameworkWrapperBase.h>

#include <QProcessEnvironment>
#include <QStandardItemModel>
#include <QUuid>

#include <iterator>
#include <memory>
#include <unordered_map>
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

// The fields an import reads, in the sorted order of their keys; which of them hold
// texts that recur from device to device.
struct WantedField
{
    const QString* key;
    QString ImportRecord::*member;
    bool recurs;
};
const WantedField kWantedFields[] = {
    {&ProtocolKey::ImportBrand, &ImportRecord::brand, true}, {&ProtocolKey::ImportHost, &ImportRecord::host, false},
    {&ProtocolKey::ImportIp, &ImportRecord::ip, false},      {&ProtocolKey::ImportMac, &ImportRecord::mac, false},
    {&ProtocolKey::ImportModel, &ImportRecord::model, true}, {&ProtocolKey::ImportPort, &ImportRecord::port, true},
};

// Reads the record in one pass: its keys come sorted, and so do the six wanted here,
// so each of its entries is compared once or twice instead of searched for.
// Keeps the bench's parse ratio about 0.5 lower at 1,000 and 5,000 lines.
ImportRecord readRecord(const QMap<QString, QString>& record)
{
    ImportRecord result;
    size_t next = 0;
    for (auto it = record.cbegin(); it != record.cend() && next < std::size(kWantedFields); ++it) {
        int order = 0;
        while (next < std::size(kWantedFields) && (order = kWantedFields[next].key->compare(it.key())) < 0)
            ++next;
        if (next < std::size(kWantedFields) && order == 0)
            result.*(kWantedFields[next++].member) = it.value();
    }
    return result;
}

// One copy of each brand, port and model text of an import, shared by every device
// that has it: a list repeats a handful of them, and sharing spares each device three
// of its ten or so heap blocks (about a tenth of its memory). Bounded, for a list
// whose models are all different.
class RecurringTexts
{
public:
    QString text(QStringView view)
    {
        const auto found = m_texts.find(view);
        if (found != m_texts.end())
            return found->second;
        QString text = view.toString();
        // The key views the stored copy's characters, which live as long as the entry.
        if (m_texts.size() < kMaxTexts)
            m_texts.emplace(QStringView(text), text);
        return text;
    }

private:
    struct Hash
    {
        // Seeded per process, so that no file can be made to put its texts in one bucket.
        size_t operator()(QStringView view) const noexcept { return qHash(view, QHashSeed::globalSeed()); }
    };
    static constexpr size_t kMaxTexts = 1024;
    std::unordered_map<QStringView, QString, Hash> m_texts;
};

// The same from a line the parser hands over: its keys are the key constants
// themselves, in the same order.
ImportRecord readLine(const DeviceListParser::Line& line, RecurringTexts& recurring)
{
    ImportRecord result;
    size_t next = 0;
    for (const DeviceListParser::Value& value : line) {
        while (next < std::size(kWantedFields) && kWantedFields[next].key != value.key)
            ++next;
        if (next == std::size(kWantedFields))
            break;
        const WantedField& field = kWantedFields[next++];
        result.*(field.member) = field.recurs ? recurring.text(value.text) : value.text.toString();
    }
    return result;
}

// Puts an import's topology index in place for the checks it makes, and puts back
// whatever was in place before.
class TopologyIndexInUse
{
public:
    TopologyIndexInUse(TopologyIndex*& slot, TopologyIndex* index)
        : m_slot(slot)
        , m_before(std::exchange(slot, index))
    {
    }
    ~TopologyIndexInUse() { m_slot = m_before; }
    TopologyIndexInUse(const TopologyIndexInUse&) = delete;
    TopologyIndexInUse& operator=(const TopologyIndexInUse&) = delete;

private:
    TopologyIndex*& m_slot;
    TopologyIndex* m_before;
};

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

PluginDeviceSearch::SearchSent PluginDeviceSearch::SendSearch(const SearchRequest& request, QString& requestId,
                                                               quint64& searchesStarted)
{
    const quint64 searchesBefore = searchesStarted;
    if (!SendToHost(ProtocolKey::SearchDevice, request.parameters, nullptr))
        return SearchSent::Refused;
    // A search of the same kind that QML started while the host held ours is the
    // newer one: its request and its rows stand, and the answers to ours find no taker.
    if (searchesStarted != searchesBefore)
        return SearchSent::Superseded;
    ++searchesStarted;
    requestId = request.requestId;
    return SearchSent::Current;
}

bool PluginDeviceSearch::searchDevices(int type, int flag, const QString& relayPath, int maxRet)
{
    const SearchSent sent = SendSearch(BuildSearchParameters(type, flag, relayPath, maxRet),
                                       m_deviceSearchRequestId, m_deviceSearchesStarted);
    if (sent == SearchSent::Refused) {
        PDS_LOG("%s, send command to server failed", "PluginDeviceSearch::searchDevices");
        return false;
    }
    if (sent == SearchSent::Current && m_cameraModel)
        m_clearedRows.clear(m_cameraModel);
    return true;
}

bool PluginDeviceSearch::refreshDevices(int type, int flag, const QString& relayPath, int maxRet)
{
    const SearchSent sent = SendSearch(BuildSearchParameters(type, flag, relayPath, maxRet),
                                       m_deviceSearchRequestId, m_deviceSearchesStarted);
    if (sent == SearchSent::Refused) {
        PDS_LOG("%s, send command to server failed", "PluginDeviceSearch::refreshDevices");
        return false;
    }
    if (sent == SearchSent::Current)
        CleanModelAndKeepManualItems();
    return true;
}

bool PluginDeviceSearch::searchStations()
{
    const SearchSent sent =
        SendSearch(BuildSearchParameters(kStationSearchType, UnmanagedOnlyFlag, QStringLiteral(""), -1),
                   m_stationSearchRequestId, m_stationSearchesStarted);
    if (sent == SearchSent::Refused) {
        PDS_LOG("%s, send command to server failed", "PluginDeviceSearch::searchStations");
        return false;
    }
    if (sent == SearchSent::Current && m_stationModel)
        m_clearedRows.clear(m_stationModel);
    return true;
}

void PluginDeviceSearch::CleanModelAndKeepManualItems()
{
    if (!m_cameraModel)
        return;
    if (DeferredItemRelease::takesRows(m_cameraModel)) {
        // The hand-added rows stay the items they are: they leave the model inside its
        // reset, when no one can look, and go back in one insertion, so the views take
        // them in once instead of one row at a time.
        const QList<QStandardItem*> kept = m_clearedRows.clear(
            m_cameraModel, [](const QStandardItem& item) { return item.data(CameraRole::Manual).toBool(); });
        if (kept.isEmpty())
            return;
        // The column goes in first, and stays if a slot of the reset gave the model
        // columns. The hand-added rows come back even when a slot of the column started
        // a search: they were out of the model when it cleared. Only a slot that takes
        // every column away again costs them.
        if (!giveColumns(m_cameraModel, 1)) {
            qDeleteAll(kept);
            return;
        }
        m_cameraModel->invisibleRootItem()->appendRows(kept);
        return;
    }
    // A model that QML gave more columns, or whose signals someone blocked: the kept
    // rows leave as copies, not as their own items, since taking an item out notifies
    // the views once per cell and a slot could then change the model under this walk;
    // the clear forgets every original.
    const int columns = m_cameraModel->columnCount();
    QList<QList<QStandardItem*>> kept;
    for (int row = 0; row < m_cameraModel->rowCount(); ++row) {
        if (!m_cameraModel->index(row, 0).data(CameraRole::Manual).toBool())
            continue;
        QList<QStandardItem*> cells;
        cells.reserve(columns);
        for (int column = 0; column < columns; ++column) {
            const QStandardItem* cell = m_cameraModel->item(row, column);
            cells.append(cell ? cell->clone() : nullptr);
        }
        kept.append(cells);
    }
    m_clearedRows.clear(m_cameraModel);
    for (const QList<QStandardItem*>& cells : std::as_const(kept)) {
        if (giveColumns(m_cameraModel, int(cells.size())))
            m_cameraModel->appendRow(cells);
        else
            qDeleteAll(cells);
    }
}

// ---------------------------------------------------------------------------
// Authorization

bool PluginDeviceSearch::IsSendable(const QStandardItem* item) const
{
    return !item->data(CameraRole::Ip).toString().isEmpty() && isUsablePort(item->data(CameraRole::Port).toInt());
}

bool PluginDeviceSearch::authorize(const QString& uid, const QString& username, const QString& password)
{
    CameraRow row(m_cameraIndex, uid);
    if (!row.exists())
        return false;
    const int status = row.data(CameraRole::Status).toInt();
    if (status == Authorized)
        return true;
    if (!IsSendable(row.item()))
        return false;

    QStandardItem* item = row.item();
    QVariantMap parameters;
    parameters.insert(ProtocolKey::IP, item->data(CameraRole::Ip).toString());
    parameters.insert(ProtocolKey::HttpPort, item->data(CameraRole::Port).toInt());
    parameters.insert(ProtocolKey::Username, username);
    parameters.insert(ProtocolKey::Password, password);
    parameters.insert(ProtocolKey::Brand, item->data(CameraRole::Brand).toInt());

    // The row turns pending whether or not the host takes the command, so it does so
    // before the command goes: an answer the host delivers from inside SendCommand
    // then finds the request it answers.
    m_pendingAuthorizations.append(uid);
    row.setValues({{CameraRole::PreviousStatus, status}, {CameraRole::Status, int(Checking)}});

    void* context = m_authorizeContexts.create(username, password, {uid});
    // Only the context goes at once when no answer can come for it.
    if (!SendToHost(ProtocolKey::AuthorizeDevice, parameters, context))
        m_authorizeContexts.release(context);
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

    void* context = m_authorizeContexts.create(username, password, toSend);
    const quint64 lossesWhenFound = m_cameraIndex->itemLosses();
    if (!SendToHost(ProtocolKey::AuthorizeDeviceList, devices, context)) {
        m_authorizeContexts.release(context);
        return true;
    }
    MarkListPending(context, toSend, rows, lossesWhenFound);
    return true;
}

void PluginDeviceSearch::MarkListPending(const void* context, const QStringList& sent,
                                         const QList<QStandardItem*>& rowsFound, quint64 lossesWhenFound)
{
    // Only answers that the host delivered from inside SendCommand can have come
    // already; a uid answered that way is no longer outstanding and stays as answered.
    QHash<QString, qsizetype> stillAwaited;
    const bool noneAnswered = m_authorizeContexts.isUnanswered(context);
    if (!noneAnswered) {
        for (const QString& uid : sent)
            stillAwaited.insert(uid, m_authorizeContexts.awaiting(context, uid));
    }

    m_pendingAuthorizations.reserveMore(sent.size());
    for (qsizetype i = 0; i < sent.size(); ++i) {
        const QString& uid = sent.at(i);
        if (!noneAnswered) {
            qsizetype& awaited = stillAwaited[uid];
            if (awaited == 0)
                continue;
            --awaited;
        }
        m_pendingAuthorizations.append(uid);
        // The rows found before the send serve as long as the model has let go of no
        // item since; the send, and every write here, may run QML that changes that.
        CameraRow row = m_cameraIndex->itemLosses() == lossesWhenFound ? CameraRow(m_cameraIndex, uid, rowsFound.at(i))
                                                                      : CameraRow(m_cameraIndex, uid);
        const QVariant status = row.data(CameraRole::Status);
        row.setValues({{CameraRole::Status, int(Checking)}, {CameraRole::PreviousStatus, status.toInt()}});
    }
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
        CameraRow row(m_cameraIndex, uid);
        // Credentials for a camera that is not listed have nowhere to go.
        if (!row.exists())
            continue;
        const int status = row.data(CameraRole::Status).toInt();
        row.setValues({{CameraRole::Status, int(Offline)},
                       {CameraRole::PreviousStatus, status},
                       {CameraRole::UserName, username},
                       {CameraRole::Password, password}});
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
    std::unique_ptr<QStandardItem> item(createStationNode(createDeviceInfo(station)));
    if (item && giveColumns(m_stationModel, 1))
        m_stationModel->insertRow(0, item.release());
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

    std::unique_ptr<QStandardItem> item = info.toStandardItem();
    if (!giveColumns(m_cameraModel, 1))
        return true;
    m_cameraModel->insertRow(0, item.release());
    Q_EMIT addDeviceResp(info.id);
    return true;
}

QVariant PluginDeviceSearch::importDevices(const QUrl& urlFile)
{
    uint numWrongFormat = 0;
    QVariantList devices;
    qsizetype records = 0;
    int existing = 0;

    // Our own reference: the topology look-ups below call out of the plug-in.
    const QSharedPointer<IDeviceListParser> parser = m_deviceListParser;
    if (!parser)
        return devices;
    // Each record's check looks its device up by address: walking the topology once per
    // record made a list against a large site cost lines times channels. A nested
    // import (QML may run one from inside a look-up) gets its own, then hands this back.
    TopologyIndex topology;
    const TopologyIndexInUse indexInUse(m_importTopology, &topology);
    auto take = [&](const ImportRecord& fields) {
        ++records;
        if (CheckCameraExistedInTopology(fields.ip, fields.port))
            ++existing;
        else
            devices.append(importedDevice(fields));
    };
    const QString path = urlFile.toLocalFile();
    int parsed = 0;
    if (auto* ownParser = dynamic_cast<DeviceListParser*>(parser.data())) {
        // Each line is made into its device as soon as it is read, so the file's
        // records never all exist at once beside the devices made of them.
        RecurringTexts recurring;
        parsed = ownParser->ParseEach(
            path, [&](const DeviceListParser::Line& line) { take(readLine(line, recurring)); }, numWrongFormat);
    } else {
        QList<QMap<QString, QString>> list;
        parsed = parser->Parse(path, list, numWrongFormat);
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
