// Feeds arbitrary bytes to the device list parser as the contents of an import file
// and checks what the parser promises about every file: a result of 0 or 1, records
// that all carry an IP and a valid port under the same keys, no more lines accounted
// for than the file has, untouched outputs when the file is unusable, and the same
// answer when the file is read twice, and the same records and wrong lines when it is
// read line by line, as the import reads it.
#include "DeviceListParser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <cstdio>
#include <cstdlib>

namespace {

using Records = QList<QMap<QString, QString>>;

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "device list parser: %s\n", what);
    std::abort();
}

void check(bool condition, const char* what)
{
    if (!condition)
        fail(what);
}

const QString& listPath()
{
    static const QString path =
        QDir::temp().filePath(QStringLiteral("pds-fuzz-%1.csv").arg(QCoreApplication::applicationPid()));
    return path;
}

QMap<QString, QString> sentinelRecord()
{
    return {{QStringLiteral("ip"), QStringLiteral("sentinel")}, {QStringLiteral("port"), QStringLiteral("1")}};
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        QFile file(listPath());
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            fail("cannot write the list file");
        file.write(reinterpret_cast<const char*>(data), qint64(size));
    }

    DeviceListParser parser;
    Records devices{sentinelRecord()};
    constexpr uint startCount = 7;
    uint numWrongFormat = startCount;
    const int result = parser.Parse(listPath(), devices, numWrongFormat);

    check(result == 0 || result == 1, "result is neither 0 nor 1");
    if (result == 1) {
        check(numWrongFormat == startCount, "an unusable file changed the wrong-format count");
        check(devices.isEmpty() || devices == Records{sentinelRecord()},
              "an unusable file left records behind");
        return 0;
    }

    // Every data line ends in a line feed or a carriage return, except perhaps the last.
    const QByteArrayView bytes(data, qsizetype(size));
    const qsizetype lineEnds = bytes.count('\n') + bytes.count('\r');
    check(qsizetype(numWrongFormat - startCount) + devices.size() <= lineEnds,
          "more data lines accounted for than the file has");

    static const QRegularExpression portPattern(QStringLiteral("^\\d{1,5}$"));
    static const QSet<QString> knownKeys{QStringLiteral("brand"), QStringLiteral("ip"),   QStringLiteral("port"),
                                         QStringLiteral("model"), QStringLiteral("host"), QStringLiteral("mac")};
    for (const QMap<QString, QString>& record : std::as_const(devices)) {
        check(record.contains(QStringLiteral("ip")) && record.contains(QStringLiteral("port")),
              "a record without ip or port");
        const QString port = record.value(QStringLiteral("port"));
        check(portPattern.match(port).hasMatch() && port.toUInt() <= 65535, "a record with a bad port");
        check(record.keys() == devices.first().keys(), "records of one file with different keys");
        for (auto it = record.cbegin(); it != record.cend(); ++it) {
            check(knownKeys.contains(it.key()), "a record with an unknown key");
            check(!it.value().contains(QLatin1Char(',')), "a field that holds the separator");
        }
    }

    // The parser keeps nothing between calls: a second read gives the same answer.
    Records again;
    uint againWrong = 0;
    check(parser.Parse(listPath(), again, againWrong) == 0, "a second read of the same file failed");
    check(again == devices && againWrong == numWrongFormat - startCount, "a second read differs");

    Records lines;
    uint wrongLines = 0;
    const int parsedLines = parser.ParseEach(
        listPath(),
        [&](const DeviceListParser::Line& line) {
            QMap<QString, QString> record;
            for (const DeviceListParser::Value& value : line)
                record.insert(*value.key, value.text.toString());
            lines.append(record);
        },
        wrongLines);
    check(parsedLines == 0 && lines == again && wrongLines == againWrong, "reading line by line differs");
    return 0;
}
