// QML calls with arguments a screen should never send but might: empty, null and
// enormous strings, extreme numbers, ports 0 and 65535, ids that name nothing.
// Calls go through the meta-object by name, as QML makes them.
#include "HostileHelpers.h"

#include <QSignalSpy>
#include <QTest>
#include <QUuid>

#include <climits>

namespace {

QVariantList allIds(const QAbstractItemModel* model, int role)
{
    QVariantList ids;
    for (int row = 0; row < model->rowCount(); ++row)
        ids.append(model->index(row, 0).data(role));
    return ids;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

} // namespace

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
        QTest::newRow("spaces only") << QStringLiteral("   ");
        QTest::newRow("NUL and control characters") << QString::fromUtf16(u"a\0b\r\n\t\x1b", 7);
        QTest::newRow("lone surrogate") << QString(QChar(0xD800));
        QTest::newRow("four million characters") << QString(1 << 22, QLatin1Char('x'));
    }

    // Every string-taking call of the plug-in, one after the other on one object.
    void strings()
    {
        QFETCH(QString, text);

        PluginHarness h;
        ModelGuard guard(h);
        populate(h);
        const QString stationsBefore = stations(h);
        const QString camerasBefore = cameras(h);
        const int sentBefore = h.wrapper().sent.size();
        QSignalSpy offline(h.object(), SIGNAL(addOfflineCamera(QString, PluginDeviceSearch::DeviceStatus)));

        // Ids that name no camera: refused, nothing sent, nothing changed.
        QCOMPARE(h.call("authorize", {text, text, text}).toBool(), false);
        QCOMPARE(h.call("authorizeList", {QStringList{text, text}, text, text}).toBool(), false);
        QCOMPARE(h.call("setAuthorization", {QStringList{text}, text, text}).toBool(), true);
        h.call("removeRowInSearchedStationTableModel", {text});
        QCOMPARE(h.wrapper().sent.size(), sentBefore);
        QCOMPARE(offline.count(), 0);
        QCOMPARE(cameras(h), camerasBefore);
        QCOMPARE(stations(h), stationsBefore);

        // Filters hide rows in the views only.
        metaCall(h.cameraProxy(), "setFilterString", {text});
        metaCall(h.cameraProxy(), "setFilterBrand", {text});
        metaCall(h.stationProxy(), "setFilterString", {text});
        QVERIFY(h.cameraProxy()->rowCount() <= 3);
        QCOMPARE(cameras(h), camerasBefore);
        QCOMPARE(stations(h), stationsBefore);
        metaCall(h.cameraProxy(), "setFilterString", {QString()});
        metaCall(h.cameraProxy(), "setFilterBrand", {QString()});
        metaCall(h.stationProxy(), "setFilterString", {QString()});
        QCOMPARE(h.cameraProxy()->rowCount(), 3);
        QCOMPARE(h.stationProxy()->rowCount(), 2);

        // Stored as given.
        QVERIFY(h.call("addDevice", {text, 0, text, 80, text, 0, text, text, text, false, text}).toBool());
        QCOMPARE(h.cameraModel()->rowCount(), 4);
        const QModelIndex added = h.cameraModel()->index(0, 0);
        QCOMPARE(added.data(Cam::Ip).toString(), text);
        QCOMPARE(added.data(Cam::Model).toString(), text);
        QCOMPARE(added.data(Cam::HostName).toString(), text);
        QCOMPARE(added.data(Cam::StreamingProtocol).toString(), text);
        QCOMPARE(added.data(Cam::Manual).toBool(), true);

        h.call("addStation", {QVariantMap{{QStringLiteral("Model"), text}, {QStringLiteral("delID"), text},
                                          {QStringLiteral("HostName"), text}}});
        QCOMPARE(h.stationModel()->rowCount(), 3);
        QCOMPARE(h.stationModel()->index(0, 0).data(Qt::UserRole + 2).toString(), text);
        QVERIFY(!QUuid::fromString(h.stationModel()->index(0, 0).data(Station::Id).toString()).isNull());

        // The station filter text decides which stations an answer may add.
        h.call("setQRLNModelBrand", {text});
        const QString stationSearch = h.startStationSearch();
        h.answerSearch(stationSearch, {foundDevice("s3", "10.0.1.3"), foundDevice("s4", "10.0.1.4")});
        QCOMPARE(h.stationModel()->rowCount(), text.isEmpty() ? 2 : 0);

        QCOMPARE(importDevices(h, QUrl::fromLocalFile(text)), QVariantList());

        // The relay path travels unchanged; a refresh keeps both hand-added cameras.
        QVERIFY(h.call("refreshDevices", {0, 0, text}).toBool());
        QCOMPARE(h.wrapper().last().map().value(QStringLiteral("relayPath")).toString(), text);
        QCOMPARE(h.cameraModel()->rowCount(), 2);
        QVERIFY(h.call("searchDevices", {0, 0, text}).toBool());
        QCOMPARE(h.wrapper().last().map().value(QStringLiteral("relayPath")).toString(), text);
    }

    void ports_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("sendable");

        QTest::newRow("port 0") << 0 << false;
        QTest::newRow("port 1") << 1 << true;
        QTest::newRow("port 65535") << 65535 << true;
    }

    void ports()
    {
        QFETCH(int, port);
        QFETCH(bool, sendable);

        PluginHarness h;
        ModelGuard guard(h);
        QVERIFY(h.call("addDevice", {"cam", INT_MIN, "10.0.0.1", port, "M", INT_MAX}).toBool());
        const QString id = cameraId(h, 0);
        QCOMPARE(cameraData(h, id, Cam::Port).toInt(), port);
        QCOMPARE(cameraData(h, id, Cam::Type).toInt(), INT_MIN);
        QCOMPARE(cameraData(h, id, Cam::BrandName).toString(), QStringLiteral("-1"));

        const int sent = h.wrapper().sent.size();
        QCOMPARE(h.call("authorize", {id, "u", "p"}).toBool(), sendable);
        QCOMPARE(h.wrapper().sent.size(), sent + (sendable ? 1 : 0));
        if (sendable)
            QCOMPARE(h.wrapper().last().map().value(QStringLiteral("HttpPort")).toInt(), port);
        QCOMPARE(h.cameraModel()->rowCount(), 1);
    }

    void extremeSearchArguments()
    {
        PluginHarness h;
        ModelGuard guard(h);
        QVERIFY(h.call("searchDevices", {INT_MIN, -1, QString(), INT_MIN}).toBool());
        const QVariantMap sent = h.wrapper().last().map();
        QCOMPARE(sent.value(QStringLiteral("searchType")).toInt(), INT_MIN);
        QCOMPARE(sent.value(QStringLiteral("maxRet")).toInt(), INT_MIN);
        QCOMPARE(sent.value(QStringLiteral("unmanagedOnly")).toBool(), true);
        QCOMPARE(sent.value(QStringLiteral("checkAuth")).toBool(), true);
        QCOMPARE(sent.value(QStringLiteral("onvifCombined")).toBool(), true);
    }

    void unknownIds_data()
    {
        QTest::addColumn<QString>("id");

        QTest::newRow("other letter case") << QStringLiteral("A");
        QTest::newRow("leading space") << QStringLiteral(" a");
        QTest::newRow("trailing space") << QStringLiteral("a ");
        QTest::newRow("a station's id") << QStringLiteral("s1");
        QTest::newRow("a fresh uuid") << QUuid::createUuid().toString(QUuid::WithBraces);
    }

    void unknownIds()
    {
        QFETCH(QString, id);

        PluginHarness h;
        ModelGuard guard(h);
        populate(h);
        const QString camerasBefore = cameras(h);
        const QString stationsBefore = stations(h);
        const int sent = h.wrapper().sent.size();

        QCOMPARE(h.call("authorize", {id, "u", "p"}).toBool(), false);
        QCOMPARE(h.call("authorizeList", {QStringList{id}, "u", "p"}).toBool(), false);
        QCOMPARE(h.call("setAuthorization", {QStringList{id}, "u", "p"}).toBool(), true);
        if (id != QLatin1String("s1"))
            h.call("removeRowInSearchedStationTableModel", {id});
        h.call("removeRowInSearchedStationTableModel", {id.toUpper()});

        QCOMPARE(h.wrapper().sent.size(), sent);
        QCOMPARE(cameras(h), camerasBefore);
        QCOMPARE(stations(h), stationsBefore);
    }

    void sortByOddRoles_data()
    {
        QTest::addColumn<int>("role");

        QTest::newRow("negative") << -1;
        QTest::newRow("display role") << int(Qt::DisplayRole);
        QTest::newRow("far beyond the roles") << 1000000;
        QTest::newRow("string-list role") << int(Qt::UserRole + 20);
        QTest::newRow("unnamed role") << int(Qt::UserRole + 15);
    }

    // Sorting by anything reorders the views and nothing else.
    void sortByOddRoles()
    {
        QFETCH(int, role);

        PluginHarness h;
        ModelGuard guard(h);
        populate(h);
        const QString camerasBefore = cameras(h);
        const QString stationsBefore = stations(h);
        for (int order : {int(Qt::DescendingOrder), int(Qt::AscendingOrder)}) {
            metaCall(h.cameraProxy(), "sortByRole", {role, order});
            metaCall(h.stationProxy(), "sortByRole", {role, order});
        }
        metaCall(h.cameraProxy(), "sortByRole", {role});
        QCOMPARE(cameras(h), camerasBefore);
        QCOMPARE(stations(h), stationsBefore);
        QStringList shown;
        for (const QVariant& id : allIds(h.cameraProxy(), Cam::Id))
            shown.append(id.toString());
        QCOMPARE(sorted(shown), sorted(column(h.cameraModel(), Cam::Id).split(u',')));
        QCOMPARE(h.call("getAllIdInSearchedStationSortFilterModel").toList().size(), 2);
    }
};

QTEST_MAIN(tst_HostileQmlCalls)
#include "tst_hostile_qml_calls.moc"
