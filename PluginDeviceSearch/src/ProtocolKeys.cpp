#include "ProtocolKeys.h"

namespace ProtocolKey {

const QString SearchDevice = QStringLiteral("searchDevice");
const QString AuthorizeDevice = QStringLiteral("authorizeDevice");
const QString AuthorizeDeviceList = QStringLiteral("authorizeDeviceList");
const QString DetCamResEvt = QStringLiteral("detCamResEvt");

const QString FrameworkInternalError =
    QStringLiteral("{2C85B19D-AE6F-45D9-B8FE-DC436FCBEABE}FrameworkInternalError");

const QString ReqUID = QStringLiteral("reqUID");
const QString RelayPath = QStringLiteral("relayPath");
const QString MaxRet = QStringLiteral("maxRet");
const QString DevIpContains = QStringLiteral("devIpContains");
const QString UnmanagedOnly = QStringLiteral("unmanagedOnly");
const QString CheckAuth = QStringLiteral("checkAuth");
const QString OnvifCombined = QStringLiteral("onvifCombined");
const QString SearchType = QStringLiteral("searchType");

const QString DevList = QStringLiteral("devList");

const QString DelID = QStringLiteral("delID");
const QString IP = QStringLiteral("IP");
const QString HostName = QStringLiteral("HostName");
const QString HttpPort = QStringLiteral("HttpPort");
const QString HttpsPort = QStringLiteral("HttpsPort");
const QString MAC = QStringLiteral("MAC");
const QString Model = QStringLiteral("Model");
const QString Brand = QStringLiteral("Brand");
const QString QRLNModel = QStringLiteral("QRLNModel");
const QString Username = QStringLiteral("Username");
const QString Password = QStringLiteral("Password");
const QString ChannelNum = QStringLiteral("ChannelNum");
const QString DetRes = QStringLiteral("detRes");
const QString CamRTSPPort = QStringLiteral("CamRTSPPort");
const QString StreamURLList = QStringLiteral("StreamURLList");

const QString BrandQrln = QStringLiteral("qrln");
const QString BrandOnvif = QStringLiteral("onvif");
const QString BrandRtsp = QStringLiteral("rtsp");
const QString BrandUnknown = QStringLiteral("-1");

const QString ImportBrand = QStringLiteral("brand");
const QString ImportHost = QStringLiteral("host");
const QString ImportIp = QStringLiteral("ip");
const QString ImportMac = QStringLiteral("mac");
const QString ImportModel = QStringLiteral("model");
const QString ImportPort = QStringLiteral("port");

} // namespace ProtocolKey
