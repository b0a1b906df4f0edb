#include "DeviceListParser.h"

#include "ProtocolKeys.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <QVarLengthArray>

#include <algorithm>

namespace {

const QLatin1Char kSeparator(',');

// Header keys in the order they are looked up.
const QString* const kHeaderKeys[] = {
    &ProtocolKey::ImportBrand, &ProtocolKey::ImportIp,   &ProtocolKey::ImportPort,
    &ProtocolKey::ImportModel, &ProtocolKey::ImportHost, &ProtocolKey::ImportMac,
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

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isGoodPort(const QString& port)
{
    // One to five ASCII digits match the pattern as a whole, so the common case needs
    // no pattern work; anything else (a wrong line, mostly) is left to the pattern.
    if (!port.isEmpty() && port.size() <= 5 && std::all_of(port.cbegin(), port.cend(), isAsciiDigit))
        return port.toUInt() <= 0xFFFF;
    const QRegularExpressionMatch match = portPattern().match(port);
    return match.hasMatch() && match.captured(0).toUInt() <= 0xFFFF;
}

// The fields of a line exactly as line.split(',') gives them, empty ones kept, into a
// list that keeps its capacity from one line to the next.
void splitFields(const QString& line, QStringList& fields)
{
    fields.clear();
    qsizetype start = 0;
    for (;;) {
        const qsizetype separator = line.indexOf(kSeparator, start);
        if (separator < 0) {
            fields.append(line.mid(start));
            return;
        }
        fields.append(line.mid(start, separator - start));
        start = separator + 1;
    }
}

// One entry of every record: its key and the column it comes from.
struct RecordField
{
    const QString* key;
    qint16 column;
};

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

    // Every record takes the same columns: look them up once per file. The column
    // map runs in key order, so each record is filled from its end, without searching.
    QVarLengthArray<RecordField, 6> recordFields;
    for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
        if (it.value() >= 0)
            recordFields.append({&it.key(), it.value()});
    }
    const qint16 portColumn = columns.value(ProtocolKey::ImportPort);

    QString line;
    QStringList fields;
    while (!stream.atEnd()) {
        stream.readLineInto(&line);
        splitFields(line, fields);
        if (fields.size() <= highestColumn) {
            ++numWrongFormat;
            continue;
        }

        const QString port = RemoveQuotes(fields.at(portColumn));
        if (!isGoodPort(port)) {
            ++numWrongFormat;
            continue;
        }
        QMap<QString, QString> record;
        for (const RecordField& field : recordFields) {
            const QString value = field.column == portColumn ? port : RemoveQuotes(fields.at(field.column));
            record.insert(record.cend(), *field.key, value);
        }
        devices.append(std::move(record));
    }
    return 0;
}

bool DeviceListParser::ParseHeader(const QString& header, ColumnMap& columns)
{
    const QStringList cells = header.split(kSeparator);
    // In a cell of printable ASCII the pattern below says exactly what a case-blind
    // search says; only other cells (line breaks, letters with case rules of their
    // own) need the pattern itself.
    const bool plainAscii = std::all_of(header.cbegin(), header.cend(), [](QChar c) {
        return c.unicode() >= 0x20 && c.unicode() < 0x7F;
    });
    for (const QString* key : kHeaderKeys) {
        // A cell claims a key when it contains it in any letter case; the leftmost wins.
        qsizetype column = -1;
        if (plainAscii) {
            const auto it = std::find_if(cells.cbegin(), cells.cend(), [key](const QString& cell) {
                return cell.contains(*key, Qt::CaseInsensitive);
            });
            column = it == cells.cend() ? -1 : it - cells.cbegin();
        } else {
            const QRegularExpression pattern(QStringLiteral("^.*") + *key + QStringLiteral(".*$"),
                                             QRegularExpression::CaseInsensitiveOption);
            column = cells.indexOf(pattern);
        }
        columns.insert(*key, qint16(column));
    }
    return columns.value(ProtocolKey::ImportIp) >= 0 && columns.value(ProtocolKey::ImportPort) >= 0;
}

QString DeviceListParser::RemoveQuotes(const QString& field)
{
    // Most fields carry no quotes at all; skip the pattern work for them.
    const QLatin1Char quote('"');
    if (!field.startsWith(quote) && !field.endsWith(quote))
        return field;
    // "$" also matches just before a final line feed, so such a text is left to the
    // patterns; any other loses its two runs of quotes directly.
    if (field.endsWith(QLatin1Char('\n'))) {
        QString result = field;
        result.remove(leadingQuotes());
        result.remove(trailingQuotes());
        return result;
    }
    qsizetype begin = 0;
    qsizetype end = field.size();
    while (begin < end && field.at(begin) == quote)
        ++begin;
    while (end > begin && field.at(end - 1) == quote)
        --end;
    return field.mid(begin, end - begin);
}
