#include "DeviceListParser.h"

#include "ProtocolKeys.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>
#include <QVarLengthArray>

#include <algorithm>
#include <iterator>

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

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isGoodPort(QStringView port)
{
    // One to five ASCII digits match the pattern as a whole, so the common case needs
    // no pattern work; anything else (a wrong line, mostly) is left to the pattern.
    if (!port.isEmpty() && port.size() <= 5 && std::all_of(port.cbegin(), port.cend(), isAsciiDigit))
        return port.toUInt() <= 0xFFFF;
    const QRegularExpressionMatch match = portPattern().match(port.toString());
    return match.hasMatch() && match.captured(0).toUInt() <= 0xFFFF;
}

// Up to this many fields a line is split without touching the heap.
using Fields = QVarLengthArray<QStringView, 16>;

// The fields of a line exactly as line.split(',') gives them, empty ones kept, as
// views into the line: only the fields a record keeps are ever copied.
void splitFields(QStringView line, Fields& fields)
{
    fields.clear();
    for (;;) {
        const qsizetype separator = line.indexOf(kSeparator);
        if (separator < 0) {
            fields.append(line);
            return;
        }
        fields.append(line.first(separator));
        line = line.sliced(separator + 1);
    }
}

// One entry of every record: its key and the column it comes from.
struct RecordField
{
    const QString* key;
    qint16 column;
};

#if defined(Q_OS_WIN)
// Windows opens a device, not a file, for these names in every folder and with any
// extension: "C:/lists/NUL.csv" is the null device, "CON" the console, which waits for
// typing. The name counts up to its first dot, trailing spaces dropped, in any case.
bool isWindowsDeviceName(const QString& filePath)
{
    static const QRegularExpression names(
        QStringLiteral("^(CON|PRN|AUX|NUL|COM[0-9\\x{B9}\\x{B2}\\x{B3}]|LPT[0-9\\x{B9}\\x{B2}\\x{B3}]|CONIN\\$|CONOUT\\$) *(\\..*)?$"),
        QRegularExpression::CaseInsensitiveOption);
    return names.match(QFileInfo(filePath).fileName()).hasMatch();
}
#endif

} // namespace

int DeviceListParser::Parse(const QString& filePath, QList<Record>& devices, uint& numWrongFormat)
{
    const auto start = [&devices] { devices.clear(); };
    const auto take = [&devices](const Line& line) {
        Record record;
        for (const Value& value : line)
            record.insert(record.cend(), *value.key, value.text.toString());
        devices.append(std::move(record));
    };
    return ParseFile(filePath, start, take, numWrongFormat);
}

int DeviceListParser::ParseEach(const QString& filePath, const std::function<void(const Line&)>& take,
                                uint& numWrongFormat)
{
    return ParseFile(filePath, [] {}, take, numWrongFormat);
}

int DeviceListParser::ParseFile(const QString& filePath, const std::function<void()>& start,
                                const std::function<void(const Line&)>& take, uint& numWrongFormat)
{
    // Directories, FIFOs and devices such as /dev/zero or CON would block or never end;
    // only a regular file can be a device list.
    const QFileInfo info(filePath);
    if (!info.isFile() || info.size() > kMaxFileSize)
        return 1;
#if defined(Q_OS_WIN)
    if (isWindowsDeviceName(filePath))
        return 1;
#endif

    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return 1;
    QTextStream stream(&file);
    if (stream.atEnd())
        return 1;

    start();

    ColumnMap columns;
    if (!ParseHeader(stream.readLine(), columns))
        return 1;
    const qint16 highestColumn = *std::max_element(columns.cbegin(), columns.cend());

    // Every record takes the same columns: look them up once per file. The column
    // map runs in key order, so each record is filled from its end, without searching.
    // Each key is handed over as the key constant itself, which lets a reader of the
    // lines tell the keys apart by address.
    QVarLengthArray<RecordField, 6> recordFields;
    for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
        if (it.value() < 0)
            continue;
        const auto key = std::find_if(std::cbegin(kHeaderKeys), std::cend(kHeaderKeys),
                                      [&it](const QString* headerKey) { return *headerKey == it.key(); });
        recordFields.append({*key, it.value()});
    }
    const qint16 portColumn = columns.value(ProtocolKey::ImportPort);

    QString line;
    Fields fields;
    Line values;
    while (!stream.atEnd()) {
        stream.readLineInto(&line);
        splitFields(line, fields);
        if (fields.size() <= highestColumn) {
            ++numWrongFormat;
            continue;
        }

        if (!isGoodPort(RemoveQuotes(fields.at(portColumn)))) {
            ++numWrongFormat;
            continue;
        }
        values.clear();
        for (const RecordField& field : recordFields)
            values.append({field.key, RemoveQuotes(fields.at(field.column))});
        take(values);
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

QStringView DeviceListParser::RemoveQuotes(QStringView field)
{
    // The leading run of quotes goes, then the trailing one. Fields come from lines,
    // which never hold a line feed, so no run hides in front of one.
    const QLatin1Char quote('"');
    qsizetype begin = 0;
    qsizetype end = field.size();
    while (begin < end && field[begin] == quote)
        ++begin;
    while (end > begin && field[end - 1] == quote)
        --end;
    return field.sliced(begin, end - begin);
}
