#include "DeviceListParser.h"

#include "ProtocolKeys.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

#include <algorithm>

namespace {

const QLatin1Char kSeparator(',');

// Header keys in the order they are looked up.
const QString* const kHeaderKeys[] = {
    &ProtocolKey::ImportBrand, &ProtocolKey::ImportIp,   &ProtocolKey::ImportPort,
    &ProtocolKey::ImportModel, &ProtocolKey::ImportHost, &ProtocolKey::ImportMac,
};

// Optional keys are filled before "ip" and "port" in every record.
const QString* const kOptionalKeys[] = {
    &ProtocolKey::ImportBrand, &ProtocolKey::ImportModel, &ProtocolKey::ImportHost, &ProtocolKey::ImportMac,
};

// Compiled once; a file of a million lines must not compile a million patterns.
const QRegularExpression& portPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})$"));
    return pattern;
}

const QRegularExpression& leadingQuotes()
{
    static const QRegularExpression pattern(QStringLiteral("^\"+"));
    return pattern;
}

const QRegularExpression& trailingQuotes()
{
    static const QRegularExpression pattern(QStringLiteral("\"+$"));
    return pattern;
}

bool isGoodPort(const QString& port)
{
    const QRegularExpressionMatch match = portPattern().match(port);
    return match.hasMatch() && match.captured(0).toUInt() <= 0xFFFF;
}

} // namespace

int DeviceListParser::Parse(const QString& filePath, QList<QMap<QString, QString>>& devices, uint& numWrongFormat)
{
    // Directories, FIFOs and devices such as /dev/zero would block or never end;
    // only a regular file can be a device list.
    if (!QFileInfo(filePath).isFile())
        return 1;

    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return 1;
    QTextStream stream(&file);
    if (stream.atEnd())
        return 1;

    devices.clear();

    ColumnMap columns;
    if (!ParseHeader(stream.readLine(), columns))
        return 1;
    const qint16 highestColumn = *std::max_element(columns.cbegin(), columns.cend());

    while (!stream.atEnd()) {
        const QStringList fields = stream.readLine().split(kSeparator);
        if (fields.size() <= highestColumn) {
            ++numWrongFormat;
            continue;
        }

        QMap<QString, QString> record;
        for (const QString* key : kOptionalKeys) {
            const qint16 column = columns.value(*key);
            if (column >= 0)
                record.insert(*key, RemoveQuotes(fields.at(column)));
        }
        record.insert(ProtocolKey::ImportIp, RemoveQuotes(fields.at(columns.value(ProtocolKey::ImportIp))));
        record.insert(ProtocolKey::ImportPort, RemoveQuotes(fields.at(columns.value(ProtocolKey::ImportPort))));

        if (isGoodPort(record.value(ProtocolKey::ImportPort)))
            devices.append(record);
        else
            ++numWrongFormat;
    }
    return 0;
}

bool DeviceListParser::ParseHeader(const QString& header, ColumnMap& columns)
{
    const QStringList cells = header.split(kSeparator);
    for (const QString* key : kHeaderKeys) {
        // A cell claims a key when it contains it in any letter case; the leftmost wins.
        const QRegularExpression pattern(QStringLiteral("^.*") + *key + QStringLiteral(".*$"),
                                         QRegularExpression::CaseInsensitiveOption);
        columns.insert(*key, qint16(cells.indexOf(pattern)));
    }
    return columns.value(ProtocolKey::ImportIp) >= 0 && columns.value(ProtocolKey::ImportPort) >= 0;
}

QString DeviceListParser::RemoveQuotes(const QString& field)
{
    // Most fields carry no quotes at all; skip the pattern work for them.
    const QLatin1Char quote('"');
    if (!field.startsWith(quote) && !field.endsWith(quote))
        return field;
    QString result = field;
    result.remove(leadingQuotes());
    result.remove(trailingQuotes());
    return result;
}
