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

// Stations s1 to s4; s2 is marked authorized, which only the model's user does.
void fourStations(PluginHarness& h)
{
    h.answerSearch(h.startStationSearch(), {station("s1", "10.0.0.20", "Alpha"), station("s2", "10.0.0.3", "beta"),
                                            station("s3", "10.0.0.100", "Alpha Pro"),
                                            station("s4", "192.168.1.5", "Gamma")});
    QVERIFY(h.stationModel()->setData(h.stationModel()->index(1, 0), int(Authorized), Station::Status));
}

void sortByIpDescending(PluginHarness& h)
{
    HostKit::call(h.stationProxy(), "sortByRole", {int(Station::Ip), QVariant::fromValue(Qt::DescendingOrder)});
}

} // namespace

class tst_Stations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Both collectors give the stations as the view shows them, filtered and sorted.
    void stationsAsQmlSeesThem_data()
    {
        QTest::addColumn<bool>("sorted");  // by address, descending
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("all");
        QTest::addColumn<QStringList>("needingAuthorization");
        QTest::newRow("model order, the authorized one left out") << false << "" << QStringList{"s1", "s2", "s3", "s4"}
                                                                  << QStringList{"s1", "s3", "s4"};
        QTest::newRow("filtered as the view is") << true << "alpha" << QStringList{"s3", "s1"}
                                                 << QStringList{"s3", "s1"};
        QTest::newRow("only the authorized one shown") << true << "beta" << QStringList{"s2"} << QStringList();
    }

    void stationsAsQmlSeesThem()
    {
        QFETCH(bool, sorted);
        QFETCH(QString, filter);
        QFETCH(QStringList, all);
        QFETCH(QStringList, needingAuthorization);
        CheckedHarness h;
        fourStations(h);
        if (sorted)
            sortByIpDescending(h);
        HostKit::call(h.stationProxy(), "setFilterString", {filter});
        QCOMPARE(h.call("getAllIdInSearchedStationSortFilterModel").toStringList(), all);
        QCOMPARE(h.call("getStationsNeedToBeAuthorized").toStringList(), needingAuthorization);
    }

    // A station answer's accepted stations go in together, after the rows already
    // there and in answer order; entries of another model family stay out.
    void answerIsOneInsertion()
    {
        CheckedHarness h;
        const QString search = h.startStationSearch();
        h.call("setQRLNModelBrand", {"NVR"});
        const auto family = [](QVariantMap entry, const QString& qrln) {
            entry.insert(QStringLiteral("QRLNModel"), qrln);
            return entry;
        };
        h.answerSearch(search, {family(station("s0", "10.0.0.1", "A"), "NVR-4")}, false, "0", false);
        QSignalSpy inserted(h.stationModel(), &QAbstractItemModel::rowsInserted);
        h.answerSearch(search, {family(station("s1", "10.0.0.2", "A"), "NVR-8"),
                                family(station("s2", "10.0.0.3", "A"), "DVR-8"),
                                family(station("s3", "10.0.0.4", "A"), "xNVR")});

        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.at(0).at(1).toInt(), 1);
        QCOMPARE(inserted.at(0).at(2).toInt(), 2);
        QCOMPARE(column(h.stationModel(), Station::Id), QStringLiteral("s0,s1,s3"));
    }

    // Removal matches an id exactly; of two rows with the id, the first in the model
    // goes, not the first in the sorted view.
    void removalTakesFirstRowInModel()
    {
        CheckedHarness h;
        h.answerSearch(h.startStationSearch(), {station("dup", "10.0.0.1", "NVR"), station("abc", "10.0.0.2", "NVR"),
                                                station("dup", "10.0.0.3", "NVR")});
        sortByIpDescending(h);
        QCOMPARE(column(h.stationProxy(), Station::Ip), QStringLiteral("10.0.0.3,10.0.0.2,10.0.0.1"));
        for (const char* id : {"ABC", "ab", "a*", "dup"})
            h.call("removeRowInSearchedStationTableModel", {id});
        QCOMPARE(column(h.stationModel(), Station::Ip), QStringLiteral("10.0.0.2,10.0.0.3"));
    }

    // The model-brand filter is for search answers only; a hand-added station goes on
    // top, with a new braced id per call. That NotChecked rows are collected for
    // authorization: stationsAsQmlSeesThem.
    void addedStationsGoOnTop()
    {
        CheckedHarness h;
        h.answerSearch(h.startStationSearch(), {station("s1", "10.0.0.2", "NVR")});
        h.call("setQRLNModelBrand", {"OtherBrand"});
        const QVariantMap info{{"delID", "given"}, {"IP", "10.1.1.1"}, {"HttpPort", 8080}, {"QRLNModel", "Q-8"}};
        QSignalSpy inserted(h.stationModel(), &QAbstractItemModel::rowsInserted);
        h.call("addStation", {info});
        h.call("addStation", {info});

        QCOMPARE(inserted.count(), 2);
        QCOMPARE(inserted.at(1).at(1).toInt(), 0);
        QCOMPARE(column(h.stationModel(), Station::Ip), QStringLiteral("10.1.1.1,10.1.1.1,10.0.0.2"));
        QCOMPARE(statusNames(h.stationModel(), Station::Status), QStringList(3, "NotChecked"));
        const QStringList added = column(h.stationModel(), Station::Id).split(',').mid(0, 2);
        for (const QString& id : added)
            QCOMPARE(QUuid::fromString(id).toString(QUuid::WithBraces), id);
        QVERIFY(added.at(0) != added.at(1));
    }
};

QTEST_MAIN(tst_Stations)
#include "tst_stations.moc"
