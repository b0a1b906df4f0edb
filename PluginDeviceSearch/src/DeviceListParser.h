#pragma once

#include "IDeviceListParser.h"

// Comma-separated device lists with a header line. The header decides which column
// holds which key; every data line with too few fields or a bad port is counted as
// wrong and skipped. Stateless: one instance serves any number of files.
class DeviceListParser final : public IDeviceListParser
{
public:
    DeviceListParser() = default;

    int Parse(const QString& filePath, QList<QMap<QString, QString>>& devices, uint& numWrongFormat) override;

private:
    using ColumnMap = QMap<QString, qint16>;

    static bool ParseHeader(const QString& header, ColumnMap& columns);
    static QStringView RemoveQuotes(QStringView field);
};
