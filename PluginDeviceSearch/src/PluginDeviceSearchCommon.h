#pragma once

namespace PluginDeviceSearchCommon {

// Brand as the server sends it under "Brand"; anything outside 0..2 is unknown ("-1").
// Fixed to int so that any number the server sends is a value of the type.
enum Brand : int {
    Qrln = 0,
    Onvif = 1,
    Rtsp = 2,
};

} // namespace PluginDeviceSearchCommon
