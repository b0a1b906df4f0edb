#pragma once

#include <Qt>

// Role numbers as QML and the host see them, written out here rather than taken from
// the plug-in's headers, so a renumbering there shows up as a test failure.
namespace Cam {
enum : int {
    Id = 256, Model, Mac, Ip, Port, Type, Status, UserName, Password, IpForSort, BrandName, HostName, Brand, Url,
    ChannelNum, PreviousStatus, Manual, UseSSL, StreamingProtocol, RtspPort, StreamUrlList,
};
}

namespace Sta {
enum : int {
    Id = 257, Model, Mac, Ip, Port, Type, Brand, BrandName, Status, HostName, HttpsPort, Password, QrlnModel,
};
}
