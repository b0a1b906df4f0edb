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
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(20240601).fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
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
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("devices");  // -1: whatever the bytes happen to give

        QTest::newRow("empty file") << "file" << QByteArray() << 0;
        QTest::newRow("binary file") << "file" << noise(1 << 16) << -1;
        const QByteArray big = twentyMegabytes();
        QTest::newRow("20 MB of good lines") << "file" << big << int(big.count('\n') - 1);
        QTest::newRow("one 5 MB data line") << "file" << "model,ip,port\n" + QByteArray(5 << 20, 'm') + ",10.0.0.1,80\n"
                                            << 1;
        QTest::newRow("a directory") << "directory" << QByteArray() << 0;
        QTest::newRow("a FIFO without a writer") << "fifo" << QByteArray() << 0;
    }

    void files()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(int, devices);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QString path = dir.filePath(QStringLiteral("devices.csv"));
        if (kind == "directory") {
            path = dir.path();
        } else if (kind == "fifo") {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(content), content.size());
        }

        FakeTopologyPlugin topology;
        topology.addChannel(QStringLiteral("10.0.0.1"), QStringLiteral("554"), 1, 1);
        Populated h;
        h.wrapper().pluginObjects.insert(QString::fromLatin1(FakeTopologyPlugin::PluginId), &topology);
        QSignalSpy exist(h.object(), SIGNAL(devicesExist()));
        QSignalSpy wrong(h.object(), SIGNAL(importFileNotAllCorrect(uint)));

        const QVariantList result = importDevices(h, QUrl::fromLocalFile(path));

        QVERIFY(h.unchanged());
        // Nothing in this topology matches, so "all exist" means "nothing read".
        QCOMPARE(exist.count(), result.isEmpty() ? 1 : 0);
        QVERIFY(wrong.count() <= 1);
        if (devices >= 0) {
            QCOMPARE(result.size(), devices);
            QCOMPARE(wrong.count(), 0);
        }
        if (devices == 1)
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
