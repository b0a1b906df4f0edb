// Import files a user might pick by mistake, or be handed: empty, binary, very large,
// one enormous line, a directory, a FIFO. importDevices must come back (at once for
// paths that are not regular files), read what can be read the documented way, and
// leave every model as it was.
#include "FakeTopologyPlugin.h"
#include "HostileHelpers.h"

#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <sys/stat.h>

namespace {

QByteArray noise(qsizetype size)
{
    QRandomGenerator random(20240601);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes)
        byte = char(random.bounded(256));
    return bytes;
}

// 20 MB of good lines, each about a kilobyte long.
QByteArray twentyMegabytes()
{
    const QByteArray model(1000, 'm');
    QByteArray bytes = "model,ip,port\n";
    bytes.reserve(20 << 20);
    for (int i = 0; bytes.size() < (20 << 20); ++i)
        bytes += model + ",10.0." + QByteArray::number(i >> 8) + '.' + QByteArray::number(i & 255) + ",80\n";
    return bytes;
}

} // namespace

class tst_HostileImportFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void files_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("devices");  // -1: whatever the bytes happen to give
        QTest::addColumn<int>("wrongLines");

        QTest::newRow("empty file") << "empty" << 0 << 0;
        QTest::newRow("binary file") << "binary" << -1 << -1;
        QTest::newRow("binary after a good header") << "binaryAfterHeader" << -1 << -1;
        QTest::newRow("20 MB of good lines") << "twentyMegabytes" << -1 << 0;
        QTest::newRow("one 5 MB header line without a port") << "hugeHeader" << 0 << 0;
        QTest::newRow("one 5 MB data line") << "hugeDataLine" << 1 << 0;
        QTest::newRow("a directory") << "directory" << 0 << 0;
        QTest::newRow("a FIFO without a writer") << "fifo" << 0 << 0;
    }

    void files()
    {
        QFETCH(QString, kind);
        QFETCH(int, devices);
        QFETCH(int, wrongLines);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString path = dir.filePath(QStringLiteral("devices.csv"));
        QByteArray content;
        if (kind == "binary")
            content = noise(1 << 16);
        else if (kind == "binaryAfterHeader")
            content = "ip,port\n" + noise(1 << 16);
        else if (kind == "twentyMegabytes")
            content = twentyMegabytes();
        else if (kind == "hugeHeader")
            content = QByteArray(5 << 20, 'i') + "p,host\n10.0.0.1,80\n";
        else if (kind == "hugeDataLine")
            content = "model,ip,port\n" + QByteArray(5 << 20, 'm') + ",10.0.0.1,80\n";

        if (kind == "directory") {
            path = dir.path();
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(content), content.size());
        }

        PluginHarness h;
        FakeTopologyPlugin topology;
        topology.addChannel(QStringLiteral("10.0.0.1"), QStringLiteral("554"), 1, 1);
        h.wrapper().pluginObjects.insert(QString::fromLatin1(FakeTopologyPlugin::PluginId), &topology);
        ModelGuard guard(h);
        populate(h);
        const QString camerasBefore = cameras(h);
        const QString stationsBefore = stations(h);
        QSignalSpy exist(h.object(), SIGNAL(devicesExist()));
        QSignalSpy wrong(h.object(), SIGNAL(importFileNotAllCorrect(uint)));

        const QVariantList result = importDevices(h, QUrl::fromLocalFile(path));

        QCOMPARE(cameras(h), camerasBefore);
        QCOMPARE(stations(h), stationsBefore);
        // Nothing in this topology matches, so "all exist" means "nothing read".
        QCOMPARE(exist.count(), result.isEmpty() ? 1 : 0);
        QVERIFY(wrong.count() <= 1);
        if (wrongLines >= 0)
            QCOMPARE(wrong.count() ? wrong.first().at(0).toInt() : 0, wrongLines);
        if (devices >= 0)
            QCOMPARE(result.size(), devices);
        if (kind == "twentyMegabytes")
            QCOMPARE(result.size(), content.count('\n') - 1);
        if (kind == "hugeDataLine")
            QCOMPARE(result.first().toMap().value(QStringLiteral("modelName")).toString().size(), 5 << 20);

        // Whatever was read carries all six keys and a port of one to five digits.
        static const QStringList keys{QStringLiteral("brand"), QStringLiteral("host"), QStringLiteral("hostName"),
                                      QStringLiteral("mac"), QStringLiteral("modelName"), QStringLiteral("port")};
        for (const QVariant& entry : result) {
            const QVariantMap device = entry.toMap();
            QCOMPARE(device.keys(), keys);
            const QString port = device.value(QStringLiteral("port")).toString();
            QVERIFY2(port.size() >= 1 && port.size() <= 5 && port.toUInt() <= 65535, qPrintable(port));
        }
    }
};

QTEST_MAIN(tst_HostileImportFiles)
#include "tst_hostile_import_files.moc"
