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

static QString macForRow(const QString& mac)
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

std::unique_ptr<QStandardItem> CameraInfo::toStandardItem() const
{
    // All roles go in before the item reaches a model, so no dataChanged is emitted.
    auto item = std::make_unique<QStandardItem>();
    item->setData(id, CameraRole::Id);
    item->setData(model, CameraRole::Model);
    CameraItem::SetItemMac(item.get(), mac);
    item->setData(ip, CameraRole::Ip);
    item->setData(port, CameraRole::Port);
    item->setData(type, CameraRole::Type);
    item->setData(status, CameraRole::Status);
    item->setData(userName, CameraRole::UserName);
    item->setData(password, CameraRole::Password);
    item->setData(CameraItem::packedIp(ip), CameraRole::IpForSort);
    CameraItem::SetItemBrand(item.get(), brand);
    item->setData(hostName, CameraRole::HostName);
    item->setData(url, CameraRole::Url);
    item->setData(channelNum, CameraRole::ChannelNum);
    item->setData(isManual, CameraRole::Manual);
    item->setData(useSSL, CameraRole::UseSSL);
    item->setData(streamingProtocol, CameraRole::StreamingProtocol);
    item->setData(rtspPort, CameraRole::RtspPort);
    item->setData(streamUrlList, CameraRole::StreamUrlList);
    return item;
}
