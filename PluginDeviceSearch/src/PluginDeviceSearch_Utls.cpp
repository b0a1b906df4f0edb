#include "PluginDeviceSearch.h"

#include "CameraIndex.h"
#include "CameraInfo.h"
#include "CameraRoles.h"
#include "CameraRow.h"
#include "PluginLog.h"
#include "ProtocolKeys.h"
#include "TopologyIndex.h"

#include <FrameworkWrapperBase.h>

#include <QMetaMethod>
#include <QSet>
#include <QStandardItemModel>

QHash<int, QByteArray> PluginDeviceSearch::GetCameraRoleNames() const
{
    QHash<int, QByteArray> names;
    names.insert(CameraRole::Id, QByteArrayLiteral("idRole"));
    names.insert(CameraRole::HostName, QByteArrayLiteral("hostNameRole"));
    names.insert(CameraRole::Model, QByteArrayLiteral("modelRole"));
    names.insert(CameraRole::Mac, QByteArrayLiteral("macRole"));
    names.insert(CameraRole::Ip, QByteArrayLiteral("ipRole"));
    names.insert(CameraRole::Port, QByteArrayLiteral("portRole"));
    names.insert(CameraRole::Type, QByteArrayLiteral("typeRole"));
    names.insert(CameraRole::Status, QByteArrayLiteral("statusRole"));
    names.insert(CameraRole::UserName, QByteArrayLiteral("userNameRole"));
    names.insert(CameraRole::Password, QByteArrayLiteral("passwordRole"));
    names.insert(CameraRole::IpForSort, QByteArrayLiteral("ipForSortRole"));
    names.insert(CameraRole::BrandName, QByteArrayLiteral("brandNameRole"));
    names.insert(CameraRole::Brand, QByteArrayLiteral("brandRole"));
    names.insert(CameraRole::Url, QByteArrayLiteral("urlRole"));
    names.insert(CameraRole::ChannelNum, QByteArrayLiteral("channelNumRole"));
    return names;
}

QString PluginDeviceSearch::ConvertToBrandName(PluginDeviceSearchCommon::Brand brand) const
{
    return CameraItem::ConvertToBrandName(brand);
}

void PluginDeviceSearch::SetItemBrand(CameraRow& row, int brand) const
{
    row.SetItemBrand(brand);
}

void PluginDeviceSearch::SetItemMac(CameraRow& row, const QString& mac) const
{
    row.SetItemMac(mac);
}

QString PluginDeviceSearch::AddHyphensToMac(const QString& mac) const
{
    return CameraItem::AddHyphensToMac(mac);
}

QStandardItem* PluginDeviceSearch::GetCameraItem(const QString& id) const
{
    return m_cameraIndex ? m_cameraIndex->firstItem(id) : nullptr;
}

bool PluginDeviceSearch::IsInCameraModel(const QString& id) const
{
    return GetCameraItem(id) != nullptr;
}

PluginDeviceSearch::DeviceStatus PluginDeviceSearch::MapDetectStatus(int detectResult) const
{
    switch (detectResult) {
    case 0:
        return Authorized;
    case 1:
        return DetectCode1;
    case 2:
        return DetectCode2;
    default:
        return Failed;
    }
}

bool PluginDeviceSearch::IsAnotherAuthorizeRequestOutstanding(const QString& uid) const
{
    // The answer being applied still holds its own entry: another request is out
    // only beyond that one. A uid with no entry at all has nothing left to wait for.
    return m_pendingAuthorizations.count(uid) > 1;
}

void PluginDeviceSearch::RemoveOneAuthorizeRequest(const QString& uid)
{
    m_pendingAuthorizations.removeOne(uid);
}

void PluginDeviceSearch::RemoveAllAuthorizeRequest(const QString& uid)
{
    m_pendingAuthorizations.removeAll(uid);
}

namespace {

// The topology plug-in's getStandardTopologyModel(), found by name once per class: an
// import asks for the model once per line, and finding the method by its name (a
// signature built, then searched for) cost more than the rest of the line's check.
// The method found last is checked again by name before it serves, so a class that
// took the address of an earlier one is looked up afresh.
QMetaMethod topologyModelGetter(const QMetaObject* type)
{
    static const QMetaObject* lastType = nullptr;
    static int lastIndex = -1;
    if (type != lastType || lastIndex < 0 || lastIndex >= type->methodCount()
        || type->method(lastIndex).name() != "getStandardTopologyModel"
        || type->method(lastIndex).parameterCount() != 0) {
        lastType = type;
        lastIndex = type->indexOfMethod("getStandardTopologyModel()");
    }
    return lastIndex < 0 ? QMetaMethod() : type->method(lastIndex);
}

} // namespace

QStandardItemModel* PluginDeviceSearch::GetStandardTopologyModel()
{
    static const QString topologyPluginId = QStringLiteral("1AA33B3D0AA047C9A202F1181284D2CD");

    QObject* topologyPlugin =
        m_frameworkWrapper ? m_frameworkWrapper->GetPluginObject(m_hostContext, topologyPluginId) : nullptr;
    QObject* model = nullptr;
    if (topologyPlugin) {
        const QMetaMethod getter = topologyModelGetter(topologyPlugin->metaObject());
        if (getter.isValid())
            getter.invoke(topologyPlugin, Qt::DirectConnection, Q_RETURN_ARG(QObject*, model));
    }
    // Another plug-in's object: only a QStandardItemModel is a topology to search, and
    // anything else (a proxy, a plain object) counts as no topology at all.
    auto* topology = qobject_cast<QStandardItemModel*>(model);
    if (!topology) {
        PDS_LOG("%s, GetStandardTopologyModel failed", "PluginDeviceSearch::GetStandardTopologyModel");
        return nullptr;
    }
    return topology;
}

bool PluginDeviceSearch::CheckCameraExistedInTopology(const QString& ip, const QString& port)
{
    const QStandardItemModel* topology = GetStandardTopologyModel();
    if (!topology) {
        PDS_LOG("Standard Topology Model is nullptr: %s", "PluginDeviceSearch::CheckCameraExistedInTopology");
        return false;
    }
    if (m_importTopology)
        return m_importTopology->contains(topology, ip, port);
    return CheckCameraExistedInModel(topology, topology->index(0, 0), ip, port);
}

bool PluginDeviceSearch::CheckCameraExistedInModel(const QStandardItemModel* model, const QModelIndex& parent,
                                                   const QString& ip, const QString& port) const
{
    // Each matching child is one channel of the device; the device is managed in full
    // once every channel it states is there.
    QSet<int> channels;
    int statedChannels = -1;
    const int rows = model->rowCount(parent);
    for (int row = 0; row < rows; ++row) {
        const TopologyChannel child(model->index(row, 0, parent));
        if (child.ip != ip || child.port != port)
            continue;
        statedChannels = child.channelNum;
        channels.insert(child.channel);
    }
    return channels.size() == statedChannels;
}
