#include "PluginDeviceSearch.h"

#include "CameraIndex.h"
#include "CameraRoles.h"
#include "CameraRow.h"
#include "CameraSortFilterModel.h"
#include "DeviceListParser.h"
#include "PluginLog.h"
#include "ProtocolKeys.h"
#include "StationTableModel.h"
#include "StationTableSortFilterModel.h"

#include <QQmlEngine>
#include <QStandardItemModel>

#include <new>

namespace {
const QString kPluginName = QStringLiteral("DeviceSearchPlugin");
const QString kPluginId = QStringLiteral("81A12407F58943CAB74F1F5D78E64C67");
} // namespace

PluginDeviceSearch::PluginDeviceSearch()
{
    qRegisterMetaType<PluginDeviceSearch::DeviceStatus>("PluginDeviceSearch::DeviceStatus");
}

PluginDeviceSearch::~PluginDeviceSearch()
{
    // The models are our children and go with us anyway; views that still hold them
    // get one more turn of the event loop to let go.
    if (m_stationModel)
        m_stationModel->deleteLater();
    if (m_stationSortFilterModel)
        m_stationSortFilterModel->deleteLater();
    if (m_cameraSortFilterModel)
        m_cameraSortFilterModel->deleteLater();
    if (m_cameraModel)
        m_cameraModel->deleteLater();
}

bool PluginDeviceSearch::InitialPluginBase(QQmlContext* context, void* hostContext, FrameworkWrapperBase* wrapper)
{
    m_pluginName = kPluginName;
    m_pluginId = kPluginId;
    m_hostContext = hostContext;
    m_frameworkWrapper = wrapper;
    return Init(context);
}

bool PluginDeviceSearch::Init(QQmlContext* /*context*/)
{
    // Once per process: Qt keeps every registration it is given, so registering again
    // for each object would keep a little more memory for every object ever made.
    static const int qmlTypeId =
        qmlRegisterType<PluginDeviceSearch>("com.quorlan.plugindevicesearch", 1, 0, "PluginDeviceSearch");
    Q_UNUSED(qmlTypeId);

    try {
        m_deviceListParser = QSharedPointer<DeviceListParser>::create();
    } catch (...) {
        PDS_LOG("%s, create device list parser failed", "PluginDeviceSearch::Init");
        return false;
    }

    m_cameraModel = new (std::nothrow) QStandardItemModel(this);
    if (!m_cameraModel) {
        PDS_LOG("%s, create camera table model failed", "PluginDeviceSearch::Init");
        return false;
    }
    m_cameraModel->setItemRoleNames(GetCameraRoleNames());
    m_cameraIndex = new CameraIndex(m_cameraModel, CameraRole::Id, m_cameraModel);

    m_cameraSortFilterModel = new (std::nothrow) CameraSortFilterModel(this);
    if (!m_cameraSortFilterModel) {
        PDS_LOG("%s, create camera sort filter model failed", "PluginDeviceSearch::Init");
        return false;
    }
    m_cameraSortFilterModel->setSourceModel(m_cameraModel);

    m_stationModel = new (std::nothrow) StationTableModel(this);
    if (!m_stationModel) {
        PDS_LOG("%s, create station table model failed", "PluginDeviceSearch::Init");
        return false;
    }

    m_stationSortFilterModel = new (std::nothrow) StationTableSortFilterModel(this);
    if (!m_stationSortFilterModel) {
        PDS_LOG("%s, create station table model failed", "PluginDeviceSearch::Init");
        return false;
    }
    m_stationSortFilterModel->setSourceModel(m_stationModel);
    return true;
}

void PluginDeviceSearch::SetDeviceListParser(const QSharedPointer<IDeviceListParser>& parser)
{
    m_deviceListParser = parser;
}

QObject* PluginDeviceSearch::getCameraModel()
{
    return m_cameraModel;
}

QObject* PluginDeviceSearch::getCameraSortFilterModel()
{
    return m_cameraSortFilterModel;
}

QObject* PluginDeviceSearch::getSearchedStationModel()
{
    return m_stationModel;
}

QObject* PluginDeviceSearch::getSearchedStationSortFilterModel()
{
    return m_stationSortFilterModel;
}

void PluginDeviceSearch::setQRLNModelBrand(const QString& brandName)
{
    m_qrlnModelBrand = brandName;
}

void PluginDeviceSearch::CommandProcessor(QString command, QVariant result, void* userData, QString resultCode,
                                          QString /*resultText*/, bool done, const QString& /*extra*/)
{
    if (command == ProtocolKey::SearchDevice)
        HandleSearchDevicesResp(result, userData, resultCode, done);
    else if (command == ProtocolKey::AuthorizeDevice)
        HandleAuthorizeResp(result, userData, resultCode);
    else if (command == ProtocolKey::AuthorizeDeviceList)
        HandleAuthorizeListResp(result, userData, resultCode);
}

void PluginDeviceSearch::CommandProcessorEx(QString, ConfigBase*, QVariant, void*, QString, QString, bool,
                                            const QString&)
{
}

void PluginDeviceSearch::EventProcessor(QString event, qint64 /*time*/, int /*source*/, int /*type*/, QVariant data,
                                        const QString& error)
{
    if (error.isEmpty() && event == ProtocolKey::DetCamResEvt)
        HandleDetectCameraResEvt(data);
}

void PluginDeviceSearch::EventProcessorEx(QString, ConfigBase*, qint64, int, int, QVariant, const QString&)
{
}

void PluginDeviceSearch::HandleDetectCameraResEvt(const QVariant& event)
{
    const QVariantMap detection = event.toMap();
    if (detection.value(ProtocolKey::ReqUID).toString() != m_deviceSearchRequestId)
        return;
    CameraRow row(m_cameraIndex, detection.value(ProtocolKey::DelID).toString());
    if (!row.exists())
        return;

    const DeviceStatus status = MapDetectStatus(detection.value(ProtocolKey::DetRes).toInt());
    row.setData(int(status), CameraRole::Status);
    if (status != Authorized)
        return;
    row.setData(detection.value(ProtocolKey::Model).toString(), CameraRole::Model);
    SetItemMac(row, detection.value(ProtocolKey::MAC).toString());
    row.setData(detection.value(ProtocolKey::ChannelNum).toInt(), CameraRole::ChannelNum);
}
