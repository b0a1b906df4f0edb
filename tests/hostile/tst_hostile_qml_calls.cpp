// QML calls with arguments a screen should never send but might: empty, null and
// enormous strings, extreme numbers, ports 0 and 65535, ids that name nothing.
// Calls go through the meta-object by name, as QML makes them.
#include "HostileHelpers.h"

#include <QSignalSpy>
#include <QTest>
#include <QUuid>

#include <climits>

class tst_HostileQmlCalls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        // A site's search overrides would change what the requests carry.
        qunsetenv("MAX_SRCH_DEV_CNT");
        qunsetenv("DEV_IP_CONTAINS");
    }

    void strings_data()
    {
        QTest::addColumn<QString>("text");

        QTest::newRow("empty") << QStringLiteral("");
        QTest::newRow("null") << QString();
        QTest::newRow("four million characters") << QString(1 << 22, QLatin1Char('x'));
    }

    // Every string-taking call of the plug-in, one after the other on one object.
    void strings()
    {
        QFETCH(QString, text);

        Populated h;
        const int sentBefore = h.wrapper().sent.size();
        QSignalSpy offline(h.object(), SIGNAL(addOfflineCamera(QString, PluginDeviceSearch::DeviceStatus)));

        // Ids that name no camera: refused, nothing sent, nothing changed.
        QCOMPARE(h.call("authorize", {text, text, text}).toBool(), false);
        QCOMPARE(h.call("authorizeList", {QStringList{text, text}, text, text}).toBool(), false);
        QCOMPARE(h.call("setAuthorization", {QStringList{text}, text, text}).toBool(), true);
        h.call("removeRowInSearchedStationTableModel", {text});
        QCOMPARE(importDevices(h, QUrl::fromLocalFile(text)), QVariantList());
        QCOMPARE(h.wrapper().sent.size(), sentBefore);
        QCOMPARE(offline.count(), 0);
        QVERIFY(h.unchanged());

        // Filters hide rows in the views only.
        metaCall(h.cameraProxy(), "setFilterString", {text});
        metaCall(h.cameraProxy(), "setFilterBrand", {text});
        metaCall(h.stationProxy(), "setFilterString", {text});
        QVERIFY(h.unchanged());

        // Stored as given.
        QVERIFY(h.call("addDevice", {text, 0, text, 80, text, 0, text, text, text, false, text}).toBool());
        QCOMPARE(h.cameraModel()->rowCount(), 4);
        const QModelIndex added = h.cameraModel()->index(0, 0);
        QCOMPARE(added.data(Cam::Ip).toString(), text);
        QCOMPARE(added.data(Cam::Model).toString(), text);
        QCOMPARE(added.data(Cam::HostName).toString(), text);
        QCOMPARE(added.data(Cam::StreamingProtocol).toString(), text);

        h.call("addStation", {QVariantMap{{QStringLiteral("Model"), text}, {QStringLiteral("delID"), text},
                                          {QStringLiteral("HostName"), text}}});
        QCOMPARE(h.stationModel()->rowCount(), 3);
        QCOMPARE(h.stationModel()->index(0, 0).data(Station::Model).toString(), text);
        QVERIFY(!QUuid::fromString(h.stationModel()->index(0, 0).data(Station::Id).toString()).isNull());

        // The relay path travels unchanged; a refresh keeps both hand-added cameras.
        QVERIFY(h.call("refreshDevices", {0, 0, text}).toBool());
        QCOMPARE(h.wrapper().last().map().value(QStringLiteral("relayPath")).toString(), text);
        QCOMPARE(h.cameraModel()->rowCount(), 2);
    }

    void ports_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("sendable");

        QTest::newRow("port 0") << 0 << false;
        QTest::newRow("port 65535") << 65535 << true;
    }

    // A hand-added camera keeps extreme numbers as given; only a usable port is sent.
    void ports()
    {
        QFETCH(int, port);
        QFETCH(bool, sendable);

        CheckedHarness h;
        QVERIFY(h.call("addDevice", {"cam", INT_MIN, "10.0.0.1", port, "M", INT_MAX}).toBool());
        const QModelIndex row = h.cameraModel()->index(0, 0);
        QCOMPARE(row.data(Cam::Port).toInt(), port);
        QCOMPARE(row.data(Cam::Type).toInt(), INT_MIN);
        QCOMPARE(row.data(Cam::BrandName).toString(), QStringLiteral("-1"));

        const int sent = h.wrapper().sent.size();
        QCOMPARE(h.call("authorize", {row.data(Cam::Id), "u", "p"}).toBool(), sendable);
        QCOMPARE(h.wrapper().sent.size(), sent + (sendable ? 1 : 0));
        if (sendable)
            QCOMPARE(h.wrapper().last().map().value(QStringLiteral("HttpPort")).toInt(), port);
        QCOMPARE(h.cameraModel()->rowCount(), 1);
    }

    void unknownIds_data()
    {
        QTest::addColumn<QString>("id");

        QTest::newRow("other letter case") << QStringLiteral("A");
        QTest::newRow("trailing space") << QStringLiteral("a ");
        QTest::newRow("a fresh uuid") << QUuid::createUuid().toString(QUuid::WithBraces);
    }

    void unknownIds()
    {
        QFETCH(QString, id);

        Populated h;
        const int sent = h.wrapper().sent.size();

        QCOMPARE(h.call("authorize", {id, "u", "p"}).toBool(), false);
        QCOMPARE(h.call("authorizeList", {QStringList{id}, "u", "p"}).toBool(), false);
        QCOMPARE(h.call("setAuthorization", {QStringList{id}, "u", "p"}).toBool(), true);
        h.call("removeRowInSearchedStationTableModel", {id});

        QCOMPARE(h.wrapper().sent.size(), sent);
        QVERIFY(h.unchanged());
    }
};

QTEST_MAIN(tst_HostileQmlCalls)
#include "tst_hostile_qml_calls.moc"
