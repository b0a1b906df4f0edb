#include "ModelTesters.h"
#include "Roles.h"

#include <QSignalSpy>
#include <QTest>
#include <QUuid>

namespace {

QVariantMap station(const QString& id, const QString& ip, const QString& model)
{
    return foundDevice(id, ip, 80, 0, QStringLiteral("001122334455"), model);
}

QString ids(const QVariantList& list)
{
    QStringList out;
    for (const QVariant& id : list)
        out.append(id.toString());
    return out.join(QLatin1Char(','));
}

void searchStations(PluginHarness& h, const QVariantList& stations)
{
    h.answerSearch(h.startStationSearch(), stations);
}

} // namespace

class tst_Stations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void collectorsFollowFilterAndSort_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("sortRole");
        QTest::addColumn<QString>("all");
        QTest::addColumn<QString>("toAuthorize");

        QTest::newRow("unsorted, unfiltered: model order") << "" << -1 << "s1,s2,s3,s4" << "s1,s3,s4";
        QTest::newRow("IP descending") << "" << int(Station::Ip) << "s4,s3,s1,s2" << "s4,s3,s1";
        QTest::newRow("filtered and sorted") << "alpha" << int(Station::Ip) << "s3,s1" << "s3,s1";
        QTest::newRow("only the authorized station shown") << "beta" << -1 << "s2" << "";
        QTest::newRow("nothing shown") << "nomatch" << -1 << "" << "";
    }

    void collectorsFollowFilterAndSort()
    {
        QFETCH(QString, filter);
        QFETCH(int, sortRole);
        QFETCH(QString, all);
        QFETCH(QString, toAuthorize);

        PluginHarness h;
        ModelTesters testers(h);
        searchStations(h, {station("s1", "10.0.0.20", "Alpha"), station("s2", "10.0.0.3", "beta"),
                           station("s3", "10.0.0.100", "Alpha Pro"), station("s4", "192.168.1.5", "Gamma")});
        // Only the model's user marks a station authorized.
        QVERIFY(h.stationModel()->setData(h.stationModel()->index(1, 0), int(Authorized), Station::Status));
        if (!filter.isEmpty())
            metaCall(h.stationProxy(), "setFilterString", {filter});
        if (sortRole >= 0)
            metaCall(h.stationProxy(), "sortByRole", {sortRole, QVariant::fromValue(Qt::DescendingOrder)});

        QCOMPARE(column(h.stationProxy(), Station::Id), all);
        QCOMPARE(ids(h.call("getAllIdInSearchedStationSortFilterModel").toList()), all);
        QCOMPARE(ids(h.call("getStationsNeedToBeAuthorized").toList()), toAuthorize);
    }

    void removeMatchesTheIdExactly_data()
    {
        QTest::addColumn<QStringList>("stationIds");
        QTest::addColumn<int>("sortRole");
        QTest::addColumn<QString>("remove");
        QTest::addColumn<QString>("ipsLeft");

        const QStringList plain{"x1", "abc", "x2"};
        QTest::newRow("exact id") << plain << -1 << "abc" << "10.0.0.1,10.0.0.3";
        QTest::newRow("other letter case") << plain << -1 << "ABC" << "10.0.0.1,10.0.0.2,10.0.0.3";
        QTest::newRow("prefix") << plain << -1 << "ab" << "10.0.0.1,10.0.0.2,10.0.0.3";
        QTest::newRow("wildcard is literal text") << plain << -1 << "a*" << "10.0.0.1,10.0.0.2,10.0.0.3";
        QTest::newRow("two rows with the id: first goes")
            << QStringList{"x1", "dup", "dup"} << -1 << "dup" << "10.0.0.1,10.0.0.3";
        QTest::newRow("first in the model, not in the sorted view")
            << QStringList{"dup", "dup", "x3"} << int(Station::Ip) << "dup" << "10.0.0.2,10.0.0.3";
    }

    void removeMatchesTheIdExactly()
    {
        QFETCH(QStringList, stationIds);
        QFETCH(int, sortRole);
        QFETCH(QString, remove);
        QFETCH(QString, ipsLeft);

        PluginHarness h;
        ModelTesters testers(h);
        QVariantList stations;
        for (int i = 0; i < stationIds.size(); ++i)
            stations.append(station(stationIds.at(i), QStringLiteral("10.0.0.%1").arg(i + 1), "NVR"));
        searchStations(h, stations);
        if (sortRole >= 0)
            metaCall(h.stationProxy(), "sortByRole", {sortRole, QVariant::fromValue(Qt::DescendingOrder)});

        h.call("removeRowInSearchedStationTableModel", {remove});

        QCOMPARE(column(h.stationModel(), Station::Ip), ipsLeft);
    }

    void addStationPutsNewRowsOnTop()
    {
        PluginHarness h;
        ModelTesters testers(h);
        searchStations(h, {station("s1", "10.0.0.1", "NVR")});
        // The model-brand filter is for search answers only; a hand-added station stays.
        h.call("setQRLNModelBrand", {"OtherBrand"});
        const QVariantMap info{{"delID", "given"}, {"IP", "10.1.1.1"}, {"HttpPort", 8080}, {"Model", "NVR-8"},
                               {"QRLNModel", "Q-8"}, {"searchType", 24}};
        QSignalSpy inserted(h.stationModel(), &QAbstractItemModel::rowsInserted);

        h.call("addStation", {info});
        h.call("addStation", {info});

        QCOMPARE(inserted.count(), 2);
        QCOMPARE(inserted.at(1).at(1).toInt(), 0);
        const QStringList rows = column(h.stationModel(), Station::Id).split(',');
        QCOMPARE(rows.size(), 3);
        // New ids in the braced form, one per call.
        for (const QString& id : rows.mid(0, 2))
            QCOMPARE(QUuid::fromString(id).toString(QUuid::WithBraces), id);
        QVERIFY(rows.at(0) != rows.at(1));
        QCOMPARE(column(h.stationModel(), Station::Ip), QStringLiteral("10.1.1.1,10.1.1.1,10.0.0.1"));
        QCOMPARE(column(h.stationModel(), Station::Status), QStringLiteral("6,6,6"));
        QCOMPARE(ids(h.call("getStationsNeedToBeAuthorized").toList()), rows.join(','));
    }
};

QTEST_MAIN(tst_Stations)
#include "tst_stations.moc"
