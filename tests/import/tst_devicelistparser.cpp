#include "DeviceListParser.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

namespace {

using Record = QMap<QString, QString>;

// Records as "key=value;key=value|...", keys in map order; one QCOMPARE checks all.
QString describe(const QList<Record>& records)
{
    QStringList lines;
    for (const Record& record : records) {
        QStringList fields;
        for (auto it = record.cbegin(); it != record.cend(); ++it)
            fields.append(it.key() + QLatin1Char('=') + it.value());
        lines.append(fields.join(QLatin1Char(';')));
    }
    return lines.join(QLatin1Char('|'));
}

// What the caller had in its outputs before the call, so untouched outputs show.
const QList<Record> kEarlier{Record{{QStringLiteral("earlier"), QStringLiteral("kept")}}};
const QString kEarlierText = QStringLiteral("earlier=kept");
constexpr uint kEarlierCount = 5;

} // namespace

class tst_DeviceListParser : public QObject
{
    Q_OBJECT

private:
    QString write(const QByteArray& content, const QString& name = QStringLiteral("list.csv"))
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return QString();
        file.write(content);
        return path;
    }

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("records");
        QTest::addColumn<int>("wrong");

        // Header detection.
        QTest::newRow("name, ip address, port, mac")
            << QByteArray("Name,IP Address,Port,MAC\ncam,10.0.0.1,80,00:11\n") << 0
            << "ip=10.0.0.1;mac=00:11;port=80" << 0;
        QTest::newRow("description holds ip: column 0 is the ip")
            << QByteArray("Description,IP,Port\nfront door,10.0.0.1,80\n") << 0 << "ip=front door;port=80" << 0;
        QTest::newRow("capitals") << QByteArray("HOST,IP,PORT\nh1,10.0.0.1,80\n") << 0
                                  << "host=h1;ip=10.0.0.1;port=80" << 0;
        QTest::newRow("one cell claims host and ip") << QByteArray("hostip,port\nnvr,80\n") << 0
                                                     << "host=nvr;ip=nvr;port=80" << 0;
        QTest::newRow("leftmost cell wins") << QByteArray("ip,ip2,port\n10.0.0.1,10.0.0.2,80\n") << 0
                                            << "ip=10.0.0.1;port=80" << 0;
        QTest::newRow("all six keys in any order")
            << QByteArray("MAC,Port,Model,IP,Brand,Host\naa,80,m,10.0.0.1,0,h\n") << 0
            << "brand=0;host=h;ip=10.0.0.1;mac=aa;model=m;port=80" << 0;
        QTest::newRow("quoted, padded header cells") << QByteArray("\"IP\", \"Port\" \n10.0.0.1,80\n") << 0
                                                     << "ip=10.0.0.1;port=80" << 0;
        QTest::newRow("unclaimed columns ignored") << QByteArray("Name,IP,Port,Note\nx,10.0.0.1,80\n") << 0
                                                   << "ip=10.0.0.1;port=80" << 0;

        // Field counts.
        QTest::newRow("three, two and four fields")
            << QByteArray("Name,IP,Port\nx,10.0.0.1,80\nx,10.0.0.2\nx,10.0.0.3,81,extra\n") << 0
            << "ip=10.0.0.1;port=80|ip=10.0.0.3;port=81" << 1;
        QTest::newRow("optional column counts toward the field count")
            << QByteArray("IP,Port,MAC\n10.0.0.1,80\n10.0.0.2,81,aa\n") << 0 << "ip=10.0.0.2;mac=aa;port=81" << 1;
        QTest::newRow("empty fields keep positions") << QByteArray("IP,Model,Port\n10.0.0.1,,80\n") << 0
                                                     << "ip=10.0.0.1;model=;port=80" << 0;
        QTest::newRow("ip not checked") << QByteArray("IP,Port\n,80\nnot an address,81\n") << 0
                                        << "ip=;port=80|ip=not an address;port=81" << 0;
        QTest::newRow("blank line is wrong") << QByteArray("IP,Port\n10.0.0.1,80\n\n10.0.0.2,81\n") << 0
                                             << "ip=10.0.0.1;port=80|ip=10.0.0.2;port=81" << 1;
        QTest::newRow("blank last line is wrong") << QByteArray("IP,Port\n10.0.0.1,80\n\n") << 0
                                                  << "ip=10.0.0.1;port=80" << 1;
        QTest::newRow("comma between quotes still separates")
            << QByteArray("Model,IP,Port\n\"a,b\",10.0.0.1,80\n") << 0 << "" << 1;

        // Quotes and spaces.
        QTest::newRow("quote runs removed at both ends only")
            << QByteArray("Model,IP,Port\n\"\"a\"b\"\",\"10.0.0.1\",\"80\"\n") << 0
            << "ip=10.0.0.1;model=a\"b;port=80" << 0;
        QTest::newRow("field of quotes only becomes empty") << QByteArray("Model,IP,Port\n\"\"\",10.0.0.1,80\n")
                                                            << 0 << "ip=10.0.0.1;model=;port=80" << 0;
        QTest::newRow("surrounding spaces kept") << QByteArray("Model,IP,Port\n m ,  10.0.0.1 ,80\n") << 0
                                                 << "ip=  10.0.0.1 ;model= m ;port=80" << 0;
        QTest::newRow("quotes behind a space stay") << QByteArray("Model,IP,Port\n \"m\",10.0.0.1,80\n") << 0
                                                    << "ip=10.0.0.1;model= \"m;port=80" << 0;

        // Encoding and line ends.
        QTest::newRow("CR LF line ends") << QByteArray("IP,Port\r\n10.0.0.1,80\r\n10.0.0.2,81\r\n") << 0
                                         << "ip=10.0.0.1;port=80|ip=10.0.0.2;port=81" << 0;
        QTest::newRow("last line without line end") << QByteArray("IP,Port\n10.0.0.1,80") << 0
                                                    << "ip=10.0.0.1;port=80" << 0;
        QTest::newRow("CR LF, last line without line end") << QByteArray("IP,Port\r\n10.0.0.1,80") << 0
                                                           << "ip=10.0.0.1;port=80" << 0;
        QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBFIP,Port\n10.0.0.1,80\n") << 0
                                         << "ip=10.0.0.1;port=80" << 0;
        QTest::newRow("UTF-8 text") << QByteArray("Model,IP,Port\nKamera T\xC3\xBCr,10.0.0.1,80\n") << 0
                                    << QString::fromUtf8("ip=10.0.0.1;model=Kamera T\xC3\xBCr;port=80") << 0;

        // Unusable files and empty results.
        QTest::newRow("empty file: outputs untouched") << QByteArray() << 1 << kEarlierText << 0;
        QTest::newRow("header only") << QByteArray("IP,Port\n") << 0 << "" << 0;
        QTest::newRow("header only, no line end") << QByteArray("IP,Port") << 0 << "" << 0;
        QTest::newRow("only wrong lines") << QByteArray("IP,Port\nx\n10.0.0.1,http\n,\n") << 0 << "" << 3;
        QTest::newRow("no port column: list cleared") << QByteArray("IP,Host\n10.0.0.1,h\n") << 1 << "" << 0;
        QTest::newRow("no ip column: list cleared") << QByteArray("Port,Host\n80,h\n") << 1 << "" << 0;
        QTest::newRow("a line end alone: list cleared") << QByteArray("\n") << 1 << "" << 0;
    }

    void parse()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, result);
        QFETCH(QString, records);
        QFETCH(int, wrong);

        const QString path = write(content);
        QVERIFY(!path.isEmpty());
        QList<Record> devices = kEarlier;
        uint numWrongFormat = kEarlierCount;

        DeviceListParser parser;
        QCOMPARE(parser.Parse(path, devices, numWrongFormat), result);
        QCOMPARE(describe(devices), records);
        QCOMPARE(numWrongFormat, kEarlierCount + uint(wrong));
    }

    void port_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QString>("stored");  // empty: the line is wrong

        QTest::newRow("80") << QByteArray("80") << "80";
        QTest::newRow("leading zero kept") << QByteArray("080") << "080";
        QTest::newRow("0") << QByteArray("0") << "0";
        QTest::newRow("five zeros") << QByteArray("00000") << "00000";
        QTest::newRow("65535") << QByteArray("65535") << "65535";
        QTest::newRow("quoted 80") << QByteArray("\"80\"") << "80";
        QTest::newRow("65536") << QByteArray("65536") << "";
        QTest::newRow("99999") << QByteArray("99999") << "";
        QTest::newRow("six digits") << QByteArray("123456") << "";
        QTest::newRow("six digits, small value") << QByteArray("000080") << "";
        QTest::newRow("empty") << QByteArray("") << "";
        QTest::newRow("space before") << QByteArray(" 80") << "";
        QTest::newRow("space after") << QByteArray("80 ") << "";
        QTest::newRow("quoted, space inside") << QByteArray("\" 80\"") << "";
        QTest::newRow("-1") << QByteArray("-1") << "";
        QTest::newRow("+80") << QByteArray("+80") << "";
        QTest::newRow("hexadecimal") << QByteArray("0x50") << "";
        QTest::newRow("letter o for zero") << QByteArray("8o") << "";
        QTest::newRow("arabic-indic digits") << QByteArray("\xD9\xA8\xD9\xA0") << "";
        QTest::newRow("fullwidth digits") << QByteArray("\xEF\xBC\x98\xEF\xBC\x90") << "";
    }

    void port()
    {
        QFETCH(QByteArray, field);
        QFETCH(QString, stored);

        const QString path = write("IP,Port\n10.0.0.1," + field + "\n");
        QList<Record> devices;
        uint numWrongFormat = 0;
        QCOMPARE(DeviceListParser().Parse(path, devices, numWrongFormat), 0);
        QCOMPARE(describe(devices), stored.isEmpty() ? QString() : QStringLiteral("ip=10.0.0.1;port=") + stored);
        QCOMPARE(numWrongFormat, stored.isEmpty() ? 1u : 0u);
    }

    void counterAddsUpOverCalls()
    {
        const QString first = write("IP,Port\nx\n10.0.0.1,80\n", QStringLiteral("first.csv"));
        const QString second = write("IP,Port\n10.0.0.2,81\ny\nz\n", QStringLiteral("second.csv"));
        QList<Record> devices;
        uint numWrongFormat = 0;
        DeviceListParser parser;

        QCOMPARE(parser.Parse(first, devices, numWrongFormat), 0);
        QCOMPARE(parser.Parse(second, devices, numWrongFormat), 0);

        QCOMPARE(describe(devices), QStringLiteral("ip=10.0.0.2;port=81"));
        QCOMPARE(numWrongFormat, 3u);
    }

    void manyLinesAreAllRead()
    {
        QByteArray content("IP,Port\n");
        const int lines = 20000;
        for (int i = 0; i < lines; ++i)
            content += "10.0." + QByteArray::number(i / 256) + '.' + QByteArray::number(i % 256) + ",80\n";
        const QString path = write(content, QStringLiteral("many.csv"));
        QList<Record> devices;
        uint numWrongFormat = 0;

        QCOMPARE(DeviceListParser().Parse(path, devices, numWrongFormat), 0);
        QCOMPARE(devices.size(), lines);
        QCOMPARE(devices.last().value("ip"), QStringLiteral("10.0.78.31"));
        QCOMPARE(numWrongFormat, 0u);
    }

    // Opening a FIFO waits for a writer and /dev/zero never ends; such paths must
    // be turned down before anything is read.
    void pathsThatAreNotFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("no such file") << "missing";
        QTest::newRow("directory") << "directory";
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("/dev/zero") << "devzero";
        QTest::newRow("link to a directory") << "dirlink";
        QTest::newRow("empty path") << "empty";
    }

    void pathsThatAreNotFiles()
    {
        QFETCH(QString, kind);

        QString path;
        if (kind == "missing") {
            path = m_dir.filePath(QStringLiteral("missing.csv"));
        } else if (kind == "directory") {
            path = m_dir.filePath(QStringLiteral("folder.csv"));
            QVERIFY(QDir().mkpath(path));
        } else if (kind == "fifo") {
            path = m_dir.filePath(QStringLiteral("pipe.csv"));
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else if (kind == "devzero") {
            path = QStringLiteral("/dev/zero");
        } else if (kind == "dirlink") {
            path = m_dir.filePath(QStringLiteral("dirlink.csv"));
            QVERIFY(QFile::link(m_dir.path(), path));
        }
        QList<Record> devices = kEarlier;
        uint numWrongFormat = kEarlierCount;

        QCOMPARE(DeviceListParser().Parse(path, devices, numWrongFormat), 1);
        QCOMPARE(describe(devices), kEarlierText);
        QCOMPARE(numWrongFormat, kEarlierCount);
    }

    void linkToAFileIsRead()
    {
        const QString target = write("IP,Port\n10.0.0.1,80\n", QStringLiteral("target.csv"));
        const QString link = m_dir.filePath(QStringLiteral("link.csv"));
        QVERIFY(QFile::link(target, link));
        QList<Record> devices;
        uint numWrongFormat = 0;

        QCOMPARE(DeviceListParser().Parse(link, devices, numWrongFormat), 0);
        QCOMPARE(describe(devices), QStringLiteral("ip=10.0.0.1;port=80"));
    }
};

QTEST_GUILESS_MAIN(tst_DeviceListParser)
#include "tst_devicelistparser.moc"
