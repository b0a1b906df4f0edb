#include "PluginHarness.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>

namespace {

// Station roles start one above Qt::UserRole.
namespace St {
enum : int {
    Id = Qt::UserRole + 1,
    Model = Qt::UserRole + 2,
    Mac = Qt::UserRole + 3,
    Ip = Qt::UserRole + 4,
    Port = Qt::UserRole + 5,
    Type = Qt::UserRole + 6,
    BrandName = Qt::UserRole + 8,
    Status = Qt::UserRole + 9,
    HostName = Qt::UserRole + 10,
    HttpsPort = Qt::UserRole + 11,
    QrlnModel = Qt::UserRole + 13,
};
}

constexpr int kAuthorized = 1;
constexpr int kNotChecked = 6;

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

bool isBracedUuid(const QString& id)
{
    return id.size() == 38 && id.startsWith(QLatin1Char('{')) && id.endsWith(QLatin1Char('}'))
        && !QUuid::fromString(id).isNull();
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
        QTest::addColumn<int>("order");
        QTest::addColumn<QString>("all");
        QTest::addColumn<QString>("toAuthorize");

        QTest::newRow("unsorted, unfiltered: model order") << "" << -1 << 0 << "s1,s2,s3,s4" << "s1,s3,s4";
        QTest::newRow("IP ascending, part by part") << "" << int(St::Ip) << int(Qt::AscendingOrder) << "s2,s1,s3,s4"
                                                    << "s1,s3,s4";
        QTest::newRow("IP descending") << "" << int(St::Ip) << int(Qt::DescendingOrder) << "s4,s3,s1,s2"
                                       << "s4,s3,s1";
        QTest::newRow("model ascending ignores case") << "" << int(St::Model) << int(Qt::AscendingOrder)
                                                      << "s1,s3,s2,s4" << "s1,s3,s4";
        QTest::newRow("filtered and sorted") << "alpha" << int(St::Ip) << int(Qt::DescendingOrder) << "s3,s1"
                                             << "s3,s1";
        QTest::newRow("only the authorized station shown") << "beta" << -1 << 0 << "s2" << "";
        QTest::newRow("nothing shown") << "nomatch" << -1 << 0 << "" << "";
    }

    void collectorsFollowFilterAndSort()
    {
        QFETCH(QString, filter);
        QFETCH(int, sortRole);
        QFETCH(int, order);
        QFETCH(QString, all);
        QFETCH(QString, toAuthorize);

        PluginHarness h;
        QAbstractItemModelTester sourceTester(h.stationModel());
        QAbstractItemModelTester proxyTester(h.stationProxy());
        searchStations(h, {station("s1", "10.0.0.20", "Alpha"), station("s2", "10.0.0.3", "beta"),
                           station("s3", "10.0.0.100", "Alpha Pro"), station("s4", "192.168.1.5", "Gamma")});
        // Only the model's user marks a station authorized.
        QVERIFY(h.stationModel()->setData(h.stationModel()->index(1, 0), kAuthorized, St::Status));

        if (!filter.isEmpty())
            metaCall(h.stationProxy(), "setFilterString", {filter});
        if (sortRole >= 0)
            metaCall(h.stationProxy(), "sortByRole", {sortRole, QVariant::fromValue(Qt::SortOrder(order))});

        QCOMPARE(column(h.stationProxy(), St::Id), all);
        QCOMPARE(ids(h.call("getAllIdInSearchedStationSortFilterModel").toList()), all);
        QCOMPARE(ids(h.call("getStationsNeedToBeAuthorized").toList()), toAuthorize);
    }

    void collectorsOfAnEmptyModelAreEmpty()
    {
        PluginHarness h;
        QVERIFY(h.call("getAllIdInSearchedStationSortFilterModel").toList().isEmpty());
        QVERIFY(h.call("getStationsNeedToBeAuthorized").toList().isEmpty());
    }

    void removeMatchesTheIdExactly_data()
    {
        QTest::addColumn<QStringList>("stationIds");
        QTest::addColumn<int>("sortRole");
        QTest::addColumn<QString>("remove");
        QTest::addColumn<QString>("idsLeft");
        QTest::addColumn<QString>("ipsLeft");

        const QStringList plain{"x1", "abc", "x2"};
        QTest::newRow("exact id") << plain << -1 << "abc" << "x1,x2" << "10.0.0.1,10.0.0.3";
        QTest::newRow("other letter case") << plain << -1 << "ABC" << "x1,abc,x2" << "10.0.0.1,10.0.0.2,10.0.0.3";
        QTest::newRow("prefix") << plain << -1 << "ab" << "x1,abc,x2" << "10.0.0.1,10.0.0.2,10.0.0.3";
        QTest::newRow("empty id") << plain << -1 << "" << "x1,abc,x2" << "10.0.0.1,10.0.0.2,10.0.0.3";
        QTest::newRow("wildcard is literal text") << plain << -1 << "a*" << "x1,abc,x2"
                                                  << "10.0.0.1,10.0.0.2,10.0.0.3";
        QTest::newRow("two rows with the id: first goes")
            << QStringList{"x1", "dup", "dup"} << -1 << "dup" << "x1,dup" << "10.0.0.1,10.0.0.3";
        QTest::newRow("first in the model, not in the sorted view")
            << QStringList{"dup", "dup", "x3"} << int(St::Ip) << "dup" << "dup,x3" << "10.0.0.2,10.0.0.3";
    }

    void removeMatchesTheIdExactly()
    {
        QFETCH(QStringList, stationIds);
        QFETCH(int, sortRole);
        QFETCH(QString, remove);
        QFETCH(QString, idsLeft);
        QFETCH(QString, ipsLeft);

        PluginHarness h;
        QAbstractItemModelTester sourceTester(h.stationModel());
        QAbstractItemModelTester proxyTester(h.stationProxy());
        QVariantList stations;
        for (int i = 0; i < stationIds.size(); ++i)
            stations.append(station(stationIds.at(i), QStringLiteral("10.0.0.%1").arg(i + 1), "NVR"));
        searchStations(h, stations);
        if (sortRole >= 0)
            metaCall(h.stationProxy(), "sortByRole", {sortRole, QVariant::fromValue(Qt::DescendingOrder)});
        QSignalSpy removed(h.stationModel(), &QAbstractItemModel::rowsRemoved);

        h.call("removeRowInSearchedStationTableModel", {remove});

        QCOMPARE(column(h.stationModel(), St::Id), idsLeft);
        QCOMPARE(column(h.stationModel(), St::Ip), ipsLeft);
        QCOMPARE(removed.count(), idsLeft == stationIds.join(',') ? 0 : 1);
    }

    void addStationPutsNewRowsOnTop()
    {
        PluginHarness h;
        QAbstractItemModelTester sourceTester(h.stationModel());
        QAbstractItemModelTester proxyTester(h.stationProxy());
        searchStations(h, {station("s1", "10.0.0.1", "NVR")});
        // The model-brand filter is for search answers only; a hand-added station stays.
        h.call("setQRLNModelBrand", {"OtherBrand"});
        const QVariantMap info{{"delID", "given"},      {"IP", "10.1.1.1"},  {"HttpPort", 8080},
                               {"HttpsPort", 8443},     {"Model", "NVR-8"},  {"MAC", "001122334455"},
                               {"Brand", 1},            {"HostName", "nvr"}, {"QRLNModel", "Q-8"},
                               {"searchType", 24}};
        QSignalSpy inserted(h.stationModel(), &QAbstractItemModel::rowsInserted);

        h.call("addStation", {info});
        h.call("addStation", {info});

        QCOMPARE(inserted.count(), 2);
        QCOMPARE(inserted.at(0).at(1).toInt(), 0);
        QCOMPARE(inserted.at(1).at(1).toInt(), 0);
        QStandardItemModel* model = h.stationModel();
        QCOMPARE(model->rowCount(), 3);
        const QString later = model->index(0, 0).data(St::Id).toString();
        const QString earlier = model->index(1, 0).data(St::Id).toString();
        QVERIFY2(isBracedUuid(later), qPrintable(later));
        QVERIFY2(isBracedUuid(earlier), qPrintable(earlier));
        QVERIFY(later != earlier);
        QCOMPARE(model->index(2, 0).data(St::Id).toString(), QStringLiteral("s1"));

        const QModelIndex top = model->index(0, 0);
        QCOMPARE(top.data(St::Ip).toString(), QStringLiteral("10.1.1.1"));
        QCOMPARE(top.data(St::Port).toInt(), 8080);
        QCOMPARE(top.data(St::HttpsPort).toInt(), 8443);
        QCOMPARE(top.data(St::Model).toString(), QStringLiteral("NVR-8"));
        QCOMPARE(top.data(St::Mac).toString(), QStringLiteral("00-11-22-33-44-55"));
        QCOMPARE(top.data(St::BrandName).toString(), QStringLiteral("onvif"));
        QCOMPARE(top.data(St::HostName).toString(), QStringLiteral("nvr"));
        QCOMPARE(top.data(St::QrlnModel).toString(), QStringLiteral("Q-8"));
        QCOMPARE(top.data(St::Type).toInt(), 24);
        QCOMPARE(top.data(St::Status).toInt(), kNotChecked);

        const QStringList shown = ids(h.call("getStationsNeedToBeAuthorized").toList()).split(',');
        QVERIFY(shown.contains(later));
        QVERIFY(shown.contains(earlier));
    }
};

QTEST_MAIN(tst_Stations)
#include "tst_stations.moc"
