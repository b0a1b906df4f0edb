#pragma once

#include <Qt>

// Roles of a camera row: one column-0 item per camera, all data in these roles.
// Roles from PreviousStatus on have no name, so QML cannot reach them.
namespace CameraRole {
enum : int {
    Id = Qt::UserRole,          // 256 "idRole"
    Model,                      // 257 "modelRole"
    Mac,                        // 258 "macRole"
    Ip,                         // 259 "ipRole"
    Port,                       // 260 "portRole"
    Type,                       // 261 "typeRole"
    Status,                     // 262 "statusRole"
    UserName,                   // 263 "userNameRole"
    Password,                   // 264 "passwordRole"
    IpForSort,                  // 265 "ipForSortRole"
    BrandName,                  // 266 "brandNameRole"
    HostName,                   // 267 "hostNameRole"
    Brand,                      // 268 "brandRole"
    Url,                        // 269 "urlRole"
    ChannelNum,                 // 270 "channelNumRole"
    PreviousStatus,             // 271 previousStatusRole
    Manual,                     // 272 manualRole
    UseSSL,                     // 273 useSSLRole
    StreamingProtocol,          // 274 streamingProtocolRole
    RtspPort,                   // 275 rtspPortRole
    StreamUrlList,              // 276 streamUrlListRole
};
} // namespace CameraRole

// Roles of a station row. They start one above Qt::UserRole, so they differ from
// the camera roles of the same name.
namespace StationRole {
enum : int {
    Id = Qt::UserRole + 1,      // 257 "idRole"
    Model,                      // 258 "modelRole"
    Mac,                        // 259 "macRole"
    Ip,                         // 260 "ipRole"
    Port,                       // 261 "portRole"
    Type,                       // 262 "typeRole"
    Brand,                      // 263 "brandRole"
    BrandName,                  // 264 "brandNameRole"
    Status,                     // 265 "statusRole"
    HostName,                   // 266 "hostNameRole"
    HttpsPort,                  // 267 "httpsPortRole"
    Password,                   // 268 "passwordRole"
    QrlnModel,                  // 269 "qrlnModelRole"
};
} // namespace StationRole
