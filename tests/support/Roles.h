#pragma once

#include <QString>
#include <QVariant>

// Role numbers and status values as QML and the host see them, written out here
// rather than taken from the plug-in's headers, so a renumbering there shows up as a
// test failure. Camera roles from 271 on have no name; QML reaches them by number.
namespace Cam {
enum : int {
    Id = 256, Model, Mac, Ip, Port, Type, Status, UserName, Password, IpForSort, BrandName, HostName, Brand, Url,
    ChannelNum, PreviousStatus, Manual, UseSSL, StreamingProtocol, RtspPort, StreamUrlList,
    Last = StreamUrlList,
};
}

namespace Station {
enum : int {
    Id = 257, Model, Mac, Ip, Port, Type, Brand, BrandName, Status, HostName, HttpsPort, Password, QrlnModel,
    Last = QrlnModel,
};
}

// PluginDeviceSearch::DeviceStatus by value, as the status roles and the signals carry it.
enum Status : int { Checking = 0, Authorized, DetectCode1, DetectCode2, Failed, Offline, NotChecked };

// A status value by name, so a failing comparison reads "Failed", not "4"; a value
// that is not set reads as an empty text.
inline QString statusName(const QVariant& status)
{
    static const char* const names[] = {"Checking", "Authorized", "DetectCode1", "DetectCode2",
                                        "Failed",   "Offline",    "NotChecked"};
    if (!status.isValid())
        return QString();
    const int value = status.toInt();
    return value >= 0 && value <= NotChecked ? QString::fromLatin1(names[value]) : QString::number(value);
}
