#pragma once

#include "IDeviceListParser.h"

#include <QStringView>
#include <QVarLengthArray>

#include <functional>

// Comma-separated device lists with a header line. The header decides which column
// holds which key; every data line with too few fields or a bad port is counted as
// wrong and skipped. Stateless: one instance serves any number of files.
class DeviceListParser final : public IDeviceListParser
{
public:
    DeviceListParser() = default;

    using Record = QMap<QString, QString>;

    // Files above this size are refused as unusable, before a line is read: ten
    // times the list of the largest site, whose result alone would take over a
    // gigabyte. 64 MiB holds about 1.4 million lines of a usual list.
    static constexpr qint64 kMaxFileSize = qint64(64) << 20;

    int Parse(const QString& filePath, QList<Record>& devices, uint& numWrongFormat) override;

    // One good line: each key the header claims, in key order, with its field's text
    // (quotes removed) as a view into the line, valid during the call. The key points
    // at the key constant of ProtocolKey itself.
    struct Value
    {
        const QString* key;
        QStringView text;
    };
    using Line = QVarLengthArray<Value, 6>;

    // Parse, handing each good line over as soon as it is read instead of keeping a
    // record of it: a caller that keeps only what it makes of each line never holds
    // the whole file's records at once, nor makes a map per line. Returns what Parse
    // returns; numWrongFormat counts up the same way.
    int ParseEach(const QString& filePath, const std::function<void(const Line&)>& take, uint& numWrongFormat);

private:
    using ColumnMap = QMap<QString, qint16>;

    static int ParseFile(const QString& filePath, const std::function<void()>& start,
                         const std::function<void(const Line&)>& take, uint& numWrongFormat);
    static bool ParseHeader(const QString& header, ColumnMap& columns);
    static QStringView RemoveQuotes(QStringView field);
};
