#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QStandardItem;

// Everything one camera row holds. Writers fill the fields and build the row item
// with toStandardItem; the item then goes into the camera model, which owns it.
struct CameraInfo
{
    QString id;
    QString hostName;
    QString model;
    QString mac;
    QString ip;
    int port = 0;
    int type = 0;
    QString userName;
    QString password;
    int status = 0;
    int brand = 0;
    int channelNum = 0;
    bool isManual = false;
    QString url;
    bool useSSL = false;
    QString streamingProtocol;
    int rtspPort = 0;
    QStringList streamUrlList;

    std::unique_ptr<QStandardItem> toStandardItem() const;
};

namespace CameraItem {

// Brand number and brand name ("qrln", "onvif", "rtsp", "-1") of a row.
void SetItemBrand(QStandardItem* item, int brand);
// MAC of a row: stored as given when it already holds a '-', hyphenated otherwise.
void SetItemMac(QStandardItem* item, const QString& mac);

// The text SetItemMac stores for a MAC.
QString macForRow(const QString& mac);

QString ConvertToBrandName(int brand);
// A '-' before every second character counted from the end: 001122AABBCC -> 00-11-22-AA-BB-CC.
QString AddHyphensToMac(const QString& mac);
// "a.b.c.d" packed into one number for sorting; 0 unless there are exactly four parts.
uint packedIp(const QString& ip);

} // namespace CameraItem
