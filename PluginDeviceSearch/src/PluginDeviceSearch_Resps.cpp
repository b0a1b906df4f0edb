#include "PluginDeviceSearch.h"

#include "CameraInfo.h"
#include "CameraRoles.h"
#include "CameraRow.h"
#include "ProtocolKeys.h"
#include "RowInsertion.h"
#include "StationTableModel.h"

#include <QStandardItemModel>

#include <memory>
#include <new>
#include <vector>

namespace {
const QString kSuccessCode = QStringLiteral("0");

// A handler's own copy of a context: the store may settle and forget the original
// while the answer is applied, and the copy must not outlive it with the password.
struct ContextCopy
{
    explicit ContextCopy(const AuthorizeContext& context) : request(context) {}
    ~ContextCopy() { AuthorizeContextStore::wipe(&request); }
    ContextCopy(const ContextCopy&) = delete;
    ContextCopy& operator=(const ContextCopy&) = delete;

    AuthorizeContext request;
};

// QVariant reads a text as the list of its characters; a "devList" or a
// "StreamURLList" that is a text is no list at all.
QVariantList listOf(const QVariant& value)
{
    const int type = value.metaType().id();
    if (type == QMetaType::QString || type == QMetaType::QByteArray)
        return QVariantList();
    return value.toList();
}

// An entry's text and number, as value(key).toString() and .toInt() read them (a
// missing key gives an empty text and 0), without copying the value first.
QString textOf(const QVariantMap& map, const QString& key)
{
    const auto it = map.constFind(key);
    return it == map.cend() ? QString() : it->toString();
}

int numberOf(const QVariantMap& map, const QString& key)
{
    const auto it = map.constFind(key);
    return it == map.cend() ? 0 : it->toInt();
}

// The map a variant holds, without a copy; anything else converted into storage.
const QVariantMap& asMap(const QVariant& value, QVariantMap& storage)
{
    if (value.metaType() == QMetaType::fromType<QVariantMap>())
        return *static_cast<const QVariantMap*>(value.constData());
    storage = value.toMap();
    return storage;
}
} // namespace

// ---------------------------------------------------------------------------
// Search answers

void PluginDeviceSearch::HandleSearchDevicesResp(const QVariant& result, void* /*userData*/,
                                                 const QString& resultCode, bool done)
{
    const QVariantMap answer = result.toMap();
    const QString requestId = answer.value(ProtocolKey::ReqUID).toString();
    const DeviceStatus status = answer.value(ProtocolKey::CheckAuth).toBool() ? Checking : NotChecked;
    const bool success = resultCode == kSuccessCode;

    // The device search is tested first: before any search both ids are empty, and an
    // answer without an id then belongs to the device search. A slot that starts a new
    // search while the rows go in makes the rest of this answer stale: it stops there
    // and is not reported.
    if (requestId == m_deviceSearchRequestId) {
        if (success && !SetToSearchedModel(listOf(answer.value(ProtocolKey::DevList)), status))
            return;
        Q_EMIT searchDevicesResp(success, done);
    } else if (requestId == m_stationSearchRequestId) {
        if (success && !SetToStationModel(listOf(answer.value(ProtocolKey::DevList))))
            return;
        Q_EMIT searchStationsResp(success, done);
    }
}

bool PluginDeviceSearch::SetToSearchedModel(const QVariantList& devList, PluginDeviceSearch::DeviceStatus status)
{
    if (!m_cameraModel)
        return true;
    const quint64 search = m_deviceSearchesStarted;
    // The batch's new rows go into the model together at its end, so the camera view
    // takes them in one step rather than one step per row. Until then they are found
    // here, after every row that is already in the model.
    std::vector<std::unique_ptr<QStandardItem>> newRows;
    QHash<QString, QStandardItem*> newRowsById;
    QVariantMap converted;
    for (const QVariant& entry : devList) {
        const QVariantMap& device = asMap(entry, converted);
        const QString id = textOf(device, ProtocolKey::DelID);
        const int brand = numberOf(device, ProtocolKey::Brand);

        // A camera that answers both natively and over ONVIF keeps one row; the native
        // answer decides its brand and MAC, whichever arrives first.
        if (QStandardItem* pending = newRowsById.value(id)) {
            if (brand == PluginDeviceSearchCommon::Qrln) {
                CameraItem::SetItemBrand(pending, brand);
                CameraItem::SetItemMac(pending, textOf(device, ProtocolKey::MAC));
            }
            continue;
        }
        CameraRow existing(m_cameraIndex, id);
        if (existing.exists()) {
            if (brand == PluginDeviceSearchCommon::Qrln) {
                // Rows in the model tell the views of every write.
                SetItemBrand(existing, brand);
                SetItemMac(existing, textOf(device, ProtocolKey::MAC));
                if (m_deviceSearchesStarted != search)
                    return false;
            }
            continue;
        }

        newRows.push_back(createCameraInfo(device, status).toStandardItem());
        newRowsById.insert(id, newRows.back().get());
    }
    return appendNewRows(m_cameraModel, std::move(newRows),
                         [this, search] { return m_deviceSearchesStarted != search; });
}

bool PluginDeviceSearch::SetToStationModel(const QVariantList& devList)
{
    if (!m_stationModel)
        return true;
    // The batch's stations go in together, as a search answer's cameras do.
    std::vector<std::unique_ptr<QStandardItem>> newRows;
    newRows.reserve(size_t(devList.size()));
    for (const QVariant& entry : devList) {
        const DeviceInfo info = createDeviceInfo(entry.toMap());
        if (!info.qrlnModel.contains(m_qrlnModelBrand))
            continue;
        if (QStandardItem* item = createStationNode(info))
            newRows.emplace_back(item);
    }
    const quint64 search = m_stationSearchesStarted;
    return appendNewRows(m_stationModel, std::move(newRows),
                         [this, search] { return m_stationSearchesStarted != search; });
}

DeviceInfo PluginDeviceSearch::createDeviceInfo(const QVariantMap& device) const
{
    DeviceInfo info;
    info.id = device.value(ProtocolKey::DelID).toString();
    info.model = device.value(ProtocolKey::Model).toString();
    info.mac = AddHyphensToMac(device.value(ProtocolKey::MAC).toString());
    info.ip = device.value(ProtocolKey::IP).toString();
    info.httpPort = device.value(ProtocolKey::HttpPort).toInt();
    info.searchType = device.value(ProtocolKey::SearchType).toInt();
    info.brand = device.value(ProtocolKey::Brand).toInt();
    info.brandName = ConvertToBrandName(PluginDeviceSearchCommon::Brand(info.brand));
    info.hostName = device.value(ProtocolKey::HostName).toString();
    info.httpsPort = device.value(ProtocolKey::HttpsPort).toInt();
    info.qrlnModel = device.value(ProtocolKey::QRLNModel).toString();
    return info;
}

// A searched camera's row: with HTTP port 0 it is reached over HTTPS on "HttpsPort".
CameraInfo PluginDeviceSearch::createCameraInfo(const QVariantMap& device, DeviceStatus status) const
{
    CameraInfo info;
    info.id = textOf(device, ProtocolKey::DelID);
    info.model = textOf(device, ProtocolKey::Model);
    info.mac = textOf(device, ProtocolKey::MAC);
    info.ip = textOf(device, ProtocolKey::IP);
    const int httpPort = numberOf(device, ProtocolKey::HttpPort);
    if (httpPort == 0) {
        info.port = numberOf(device, ProtocolKey::HttpsPort);
        info.useSSL = true;
        info.streamingProtocol = QStringLiteral("HTTPS");
    } else {
        info.port = httpPort;
        info.useSSL = false;
        info.streamingProtocol = QStringLiteral("TCP");
    }
    info.type = numberOf(device, ProtocolKey::SearchType);
    info.status = status;
    info.brand = numberOf(device, ProtocolKey::Brand);
    info.channelNum = 1;
    info.isManual = false;
    return info;
}

QStandardItem* PluginDeviceSearch::createStationNode(const DeviceInfo& info) const
{
    // A station row starts as a copy of a row holding every station role: the copy
    // takes a role array of exactly the right size when the first value is written,
    // where one setData per role would grow it step by step and leave part unused.
    static const std::unique_ptr<QStandardItem> prototype = [] {
        auto row = std::make_unique<QStandardItem>();
        row->setData(QString(), StationRole::Id);
        row->setData(QString(), StationRole::Ip);
        row->setData(0, StationRole::Port);
        row->setData(QString(), StationRole::Mac);
        row->setData(QString(), StationRole::Model);
        row->setData(0, StationRole::Type);
        row->setData(0, StationRole::Brand);
        row->setData(QString(), StationRole::BrandName);
        row->setData(0, StationRole::Status);
        row->setData(QString(), StationRole::HostName);
        row->setData(0, StationRole::HttpsPort);
        row->setData(QString(), StationRole::QrlnModel);
        return row;
    }();
    std::unique_ptr<QStandardItem> item;
    try {
        item.reset(prototype->clone());
        item->setData(info.id, StationRole::Id);
        item->setData(info.ip, StationRole::Ip);
        item->setData(info.httpPort, StationRole::Port);
        item->setData(info.mac, StationRole::Mac);
        item->setData(info.model, StationRole::Model);
        item->setData(info.searchType, StationRole::Type);
        item->setData(info.brand, StationRole::Brand);
        item->setData(info.brandName, StationRole::BrandName);
        item->setData(int(NotChecked), StationRole::Status);
        item->setData(info.hostName, StationRole::HostName);
        item->setData(info.httpsPort, StationRole::HttpsPort);
        item->setData(info.qrlnModel, StationRole::QrlnModel);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
    return item.release();
}

// ---------------------------------------------------------------------------
// Authorization answers

struct PluginDeviceSearch::AuthorizeAnswer
{
    QString username;
    QString password;
    QString resultCode;
    DeviceStatus outcome = Failed;
    // The camera's facts, as its row stores them; read only when the login succeeded.
    QString model;
    int channelNum = 0;
    int rtspPort = 0;
    QVariantList streamUrlList;
    QString mac;
    int brand = 0;
    QString brandName;
};

void PluginDeviceSearch::HandleAuthorizeResp(const QVariant& result, void* userData, const QString& resultCode)
{
    // Only a context we handed out and still hold is read; anything else is treated
    // like an answer without user data.
    AuthorizeContext* context = m_authorizeContexts.find(userData);
    if (!context)
        return;
    // A copy: a slot of deviceAuthorized may feed the host's next answer back in
    // before we return, and that answer may settle this very context.
    const ContextCopy copy(*context);
    const AuthorizeContext& request = copy.request;
    m_authorizeContexts.release(userData);
    if (!request.uidList.isEmpty())
        SetAuthorizeResult(result.toMap(), request.uidList.first(), request.username, request.password, resultCode);
}

void PluginDeviceSearch::HandleAuthorizeListResp(const QVariant& result, void* userData, const QString& resultCode)
{
    AuthorizeContext* context = m_authorizeContexts.find(userData);
    if (!context)
        return;
    const ContextCopy copy(*context);
    const AuthorizeContext& request = copy.request;
    const QVariantMap answer = result.toMap();

    if (answer.contains(ProtocolKey::DelID)) {
        const QString uid = answer.value(ProtocolKey::DelID).toString();
        m_authorizeContexts.answeredOne(userData, uid);
        SetAuthorizeResult(answer, uid, request.username, request.password, resultCode);
        return;
    }
    // One answer for the whole list; each turn finds its row anew, since a slot of
    // the previous turn's deviceAuthorized may have changed the model.
    m_authorizeContexts.release(userData);
    const AuthorizeAnswer read = ReadAuthorizeAnswer(answer, request.username, request.password, resultCode);
    for (const QString& uid : request.uidList)
        ApplyAuthorizeAnswer(read, uid);
}

PluginDeviceSearch::AuthorizeAnswer PluginDeviceSearch::ReadAuthorizeAnswer(const QVariantMap& result,
                                                                            const QString& username,
                                                                            const QString& password,
                                                                            const QString& resultCode) const
{
    AuthorizeAnswer answer;
    answer.username = username;
    answer.password = password;
    answer.resultCode = resultCode;
    answer.outcome = MapDetectStatus(numberOf(result, ProtocolKey::DetRes));
    if (answer.outcome == Authorized) {
        answer.model = textOf(result, ProtocolKey::Model);
        answer.channelNum = numberOf(result, ProtocolKey::ChannelNum);
        answer.rtspPort = numberOf(result, ProtocolKey::CamRTSPPort);
        answer.streamUrlList = listOf(result.value(ProtocolKey::StreamURLList));
        answer.mac = CameraItem::macForRow(textOf(result, ProtocolKey::MAC));
        answer.brand = numberOf(result, ProtocolKey::Brand);
        answer.brandName = CameraItem::ConvertToBrandName(answer.brand);
    }
    return answer;
}

void PluginDeviceSearch::SetAuthorizeResult(const QVariantMap& result, const QString& uid, const QString& username,
                                            const QString& password, const QString& resultCode)
{
    ApplyAuthorizeAnswer(ReadAuthorizeAnswer(result, username, password, resultCode), uid);
}

void PluginDeviceSearch::ApplyAuthorizeAnswer(const AuthorizeAnswer& answer, const QString& uid)
{
    CameraRow row(m_cameraIndex, uid);
    if (!row.exists()) {
        // The row went with a search or a refresh; the request is answered all the
        // same and no longer outstanding.
        RemoveOneAuthorizeRequest(uid);
        return;
    }

    const DeviceStatus outcome = answer.outcome;
    if (row.data(CameraRole::Status).toInt() == Authorized)
        return;

    QVariant newStatus;
    if (answer.resultCode == ProtocolKey::FrameworkInternalError)
        newStatus = row.data(CameraRole::PreviousStatus);  // the command's fate is unknown: back to where it was
    else if (answer.resultCode != kSuccessCode)
        newStatus = int(Failed);
    else if (outcome == Authorized)
        newStatus = int(Authorized);
    else if (outcome == DetectCode2)
        newStatus = int(Offline);
    else
        newStatus = int(IsAnotherAuthorizeRequestOutstanding(uid) ? Checking : outcome);

    // The status is written and told first, and its slots may take the row away; the
    // request counts as answered whatever they do.
    row.setData(newStatus, CameraRole::Status);
    RemoveOneAuthorizeRequest(uid);

    if (outcome == Authorized) {
        row.setValues({
            {CameraRole::UserName, answer.username},
            {CameraRole::Password, answer.password},
            {CameraRole::Model, answer.model},
            {CameraRole::ChannelNum, answer.channelNum},
            {CameraRole::RtspPort, answer.rtspPort},
            {CameraRole::StreamUrlList, answer.streamUrlList},
            {CameraRole::Mac, answer.mac},
            {CameraRole::Brand, answer.brand},
            {CameraRole::BrandName, answer.brandName},
        });
        RemoveAllAuthorizeRequest(uid);
    } else if (outcome == DetectCode2) {
        row.setValues({{CameraRole::UserName, answer.username}, {CameraRole::Password, answer.password}});
    }
    // Told only while the row is there to show it.
    if (row.exists())
        Q_EMIT deviceAuthorized(uid, outcome);
}
