#pragma once

#include <QList>
#include <QMap>
#include <QString>

// Reads a device list file into device records keyed "brand", "ip", "port", "model",
// "host" and "mac". Held by a shared pointer that deletes the implementation as the
// type it was created with, so the interface needs no virtual destructor.
class IDeviceListParser
{
public:
    // 0: the file was read (devices cleared, then filled; numWrongFormat counts up).
    // 1: the file cannot be used; devices and numWrongFormat may be left as they were.
    virtual int Parse(const QString& filePath, QList<QMap<QString, QString>>& devices, uint& numWrongFormat) = 0;

protected:
    IDeviceListParser() = default;
    IDeviceListParser(const IDeviceListParser&) = default;
    IDeviceListParser& operator=(const IDeviceListParser&) = default;
    ~IDeviceListParser() = default;
};
