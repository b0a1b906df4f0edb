#include "CameraInfo.h"

#include "CameraRoles.h"
#include "ProtocolKeys.h"
#include "PluginDeviceSearchCommon.h"

#include <QStandardItem>

namespace CameraItem {

QString ConvertToBrandName(int brand)
{
    switch (brand) {
    case PluginDeviceSearchCommon::Qrln:
        return ProtocolKey::BrandQrln;
    case PluginDeviceSearchCommon::Onvif:
        return ProtocolKey::BrandOnvif;
    case PluginDeviceSearchCommon::Rtsp:
        return ProtocolKey::BrandRtsp;
    default:
        return ProtocolKey::BrandUnknown;
    }
}

QString AddHyphensToMac(const QString& mac)
{
    const qsizetype size = mac.size();
    if (size <= 2)
        return mac;
    // Built in one pass: inserting each hyphen into the text would move its whole
    // tail every time, and a megabyte-long MAC from a server would stall the GUI.
    QString result;
    result.reserve(size + size / 2);
    for (qsizetype i = 0; i < size; ++i) {
        if (i > 0 && (size - i) % 2 == 0)
            result.append(QLatin1Char('-'));
        result.append(mac.at(i));
    }
    return result;
}

QString macForRow(const QString& mac)
{
    return mac.contains(QLatin1Char('-')) ? mac : AddHyphensToMac(mac);
}

uint packedIp(const QString& ip)
{
    const QStringList parts = ip.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return 0;
    // Parts above 255 are deliberately not masked: their high bits spill into the
    // neighbouring byte, exactly as the sort order has always behaved.
    quint32 packed = 0;
    for (const QString& part : parts)
        packed = (packed << 8) | part.toUInt();
    return packed;
}

void SetItemBrand(QStandardItem* item, int brand)
{
    item->setData(brand, CameraRole::Brand);
    item->setData(ConvertToBrandName(brand), CameraRole::BrandName);
}

void SetItemMac(QStandardItem* item, const QString& mac)
{
    item->setData(macForRow(mac), CameraRole::Mac);
}

} // namespace CameraItem

namespace {

// Every role of a camera row, in the order a row keeps them, each with a value of its
// type. A row starts as a copy of it: the copy shares the prototype's role array until
// the first value is written, then takes an array of exactly the right size. Filled one
// setData at a time, the array would grow step by step and keep a quarter of it unused.
const QStandardItem& cameraPrototype()
{
    static const std::unique_ptr<QStandardItem> prototype = [] {
        // An item finds a role by walking its roles in the order they went in: the ones
        // every answer, event and refresh reads or writes come first, then the ones
        // sorting by address and filtering read, so on a large site, where a row is
        // rarely still in the caches, they cost a few cache lines instead of the row.
        auto item = std::make_unique<QStandardItem>();
        item->setData(0, CameraRole::Status);
        // A row has no previous status until its first login writes it together with
        // the status. No value for a role the item lacks leaves the role in place
        // without one: reads find nothing, as before, and that write finds its place
        // in the status's cache line instead of walking the whole row to its end.
        item->setData(QVariant(), CameraRole::PreviousStatus);
        item->setData(QString(), CameraRole::Id);
        item->setData(false, CameraRole::Manual);
        item->setData(QString(), CameraRole::Model);
        item->setData(0, CameraRole::ChannelNum);
        item->setData(QString(), CameraRole::Mac);
        item->setData(QString(), CameraRole::Ip);
        item->setData(0u, CameraRole::IpForSort);
        item->setData(0, CameraRole::Port);
        item->setData(0, CameraRole::Brand);
        item->setData(QString(), CameraRole::BrandName);
        item->setData(QString(), CameraRole::UserName);
        item->setData(QString(), CameraRole::Password);
        item->setData(0, CameraRole::RtspPort);
        item->setData(QStringList(), CameraRole::StreamUrlList);
        item->setData(0, CameraRole::Type);
        item->setData(QString(), CameraRole::HostName);
        item->setData(QString(), CameraRole::Url);
        item->setData(false, CameraRole::UseSSL);
        item->setData(QString(), CameraRole::StreamingProtocol);
        return item;
    }();
    return *prototype;
}

} // namespace

std::unique_ptr<QStandardItem> CameraInfo::toStandardItem() const
{
    // All roles go in before the item reaches a model, so no dataChanged is emitted.
    std::unique_ptr<QStandardItem> item(cameraPrototype().clone());
    item->setData(status, CameraRole::Status);
    item->setData(id, CameraRole::Id);
    item->setData(isManual, CameraRole::Manual);
    item->setData(model, CameraRole::Model);
    item->setData(channelNum, CameraRole::ChannelNum);
    CameraItem::SetItemMac(item.get(), mac);
    item->setData(ip, CameraRole::Ip);
    item->setData(CameraItem::packedIp(ip), CameraRole::IpForSort);
    item->setData(port, CameraRole::Port);
    CameraItem::SetItemBrand(item.get(), brand);
    item->setData(userName, CameraRole::UserName);
    item->setData(password, CameraRole::Password);
    item->setData(rtspPort, CameraRole::RtspPort);
    item->setData(streamUrlList, CameraRole::StreamUrlList);
    item->setData(type, CameraRole::Type);
    item->setData(hostName, CameraRole::HostName);
    item->setData(url, CameraRole::Url);
    item->setData(useSSL, CameraRole::UseSSL);
    item->setData(streamingProtocol, CameraRole::StreamingProtocol);
    return item;
}
