#pragma once

#include <QString>

// The texts that the plug-in and the host's server share. Built once when the
// plug-in file is loaded; every other file refers to these, never to a literal.
namespace ProtocolKey {

// Commands and events
extern const QString SearchDevice;          // "searchDevice"
extern const QString AuthorizeDevice;       // "authorizeDevice"
extern const QString AuthorizeDeviceList;   // "authorizeDeviceList"
extern const QString DetCamResEvt;          // "detCamResEvt"

// Result code of a failure inside the host framework itself
extern const QString FrameworkInternalError;

// Search request
extern const QString ReqUID;
extern const QString RelayPath;
extern const QString MaxRet;
extern const QString DevIpContains;
extern const QString UnmanagedOnly;
extern const QString CheckAuth;
extern const QString OnvifCombined;
extern const QString SearchType;

// Search answer
extern const QString DevList;

// Device records, authorization requests and results
extern const QString DelID;
extern const QString IP;
extern const QString HostName;
extern const QString HttpPort;
extern const QString HttpsPort;
extern const QString MAC;
extern const QString Model;
extern const QString Brand;
extern const QString QRLNModel;
extern const QString Username;
extern const QString Password;
extern const QString ChannelNum;
extern const QString DetRes;
extern const QString CamRTSPPort;
extern const QString StreamURLList;

// Brand names
extern const QString BrandQrln;
extern const QString BrandOnvif;
extern const QString BrandRtsp;
extern const QString BrandUnknown;

// Keys of an import record
extern const QString ImportBrand;
extern const QString ImportHost;
extern const QString ImportIp;
extern const QString ImportMac;
extern const QString ImportModel;
extern const QString ImportPort;

} // namespace ProtocolKey
