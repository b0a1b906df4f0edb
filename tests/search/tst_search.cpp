#include "ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QSignalSpy>
#include <QTest>
#include <QUuid>

namespace {

// Roles of a row as "a|b|c", so one comparison shows every wrong value.
QString rowText(const QStandardItem* item, const QList<int>& roles)
{
    QStringList values;
    for (int role : roles)
        values.append(item->data(role).toString());
    return values.join('|');
}

// Roles first to last as "name=type:value|..."; a role without a name shows its number.
QString typedRoles(const QStandardItem* item, int first, int last)
{
    QStringList values;
    for (int role = first; role <= last; ++role) {
        const QVariant value = item->data(role);
        const QString text = value.canConvert<QStringList>() ? value.toStringList().join(';') : value.toString();
        values.append(QStringLiteral("%1=%2:%3")
                          .arg(item->model()->roleNames().value(role, QByteArray::number(role)),
                               value.isValid() ? value.metaType().name() : "none", text));
    }
    return values.join('|');
}

// Which search an answer names, in answersByRequest.
enum Request { NoRequest, OldDevices, OldStations, DevicesInCapitals, Devices, Stations };

// The signals spies saw, as "name(success, done)", in the order of the spies.
QStringList signalsSeen(const QList<QPair<QString, const QSignalSpy*>>& spies)
{
    QStringList out;
    for (const auto& [name, spy] : spies) {
        for (const QList<QVariant>& arguments : *spy)
            out.append(QStringLiteral("%1(%2, %3)")
                           .arg(name, arguments[0].toBool() ? "true" : "false", arguments[1].toBool() ? "true" : "false"));
    }
    return out;
}

} // namespace

// Device and station search through the loaded plug-in: the requests, and what answers
// and detection events make of the rows. The views: tst_proxy_differential against
// plain proxies, tst_quick bound to the proxies the plug-in hands out.
class tst_Search : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        qunsetenv("MAX_SRCH_DEV_CNT");
        qunsetenv("DEV_IP_CONTAINS");
    }

    // A flag bit adds its key as true, a clear one leaves it out; a site's environment
    // overrides the limit and sets the IP text, read anew for each request.
    void commands_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QByteArray>("maxCount");   // MAX_SRCH_DEV_CNT; null: not set
        QTest::addColumn<QByteArray>("ipContains"); // DEV_IP_CONTAINS
        QTest::addColumn<QString>("parameters");
        const QByteArray search("searchDevices"), stations("searchStations"), none;
        QTest::newRow("refresh, 5 is unmanagedOnly and onvifCombined") << QByteArray("refreshDevices") << 5 << none
            << none << "devIpContains= maxRet=25 onvifCombined=true relayPath=relay/7 searchType=5 unmanagedOnly=true";
        QTest::newRow("10 is 2 checkAuth plus an unknown bit") << search << 10 << none << none
            << "checkAuth=true devIpContains= maxRet=25 relayPath=relay/7 searchType=5";
        QTest::newRow("limit 50 beats the caller, ip text as is") << search << 0 << QByteArray("50")
            << QByteArray(" 10.1 ") << "devIpContains= 10.1  maxRet=50 relayPath=relay/7 searchType=5";
        QTest::newRow("stations") << stations << 0 << none << none
            << "devIpContains= maxRet=-1 relayPath= searchType=24 unmanagedOnly=true";
    }

    // Each request has a fresh braced UUID.
    void commands()
    {
        QFETCH(QByteArray, method);
        QFETCH(int, flag);
        QFETCH(QByteArray, maxCount);
        QFETCH(QByteArray, ipContains);
        QFETCH(QString, parameters);
        const QVariantList args = method == "searchStations" ? QVariantList() : QVariantList{5, flag, "relay/7", 25};
        CheckedHarness h;
        QVERIFY(h.call(method, args).toBool());
        if (!maxCount.isNull())
            qputenv("MAX_SRCH_DEV_CNT", maxCount);
        if (!ipContains.isNull())
            qputenv("DEV_IP_CONTAINS", ipContains);
        QVERIFY(h.call(method, args).toBool());

        QVariantMap sent = h.wrapper().last().map();
        const QString id = sent.take("reqUID").toString();
        QStringList pairs;
        for (auto it = sent.cbegin(); it != sent.cend(); ++it)
            pairs.append(it.key() + '=' + it.value().toString());
        QCOMPARE(pairs.join(' '), parameters);

        QCOMPARE(h.wrapper().last().command, QStringLiteral("searchDevice"));
        QCOMPARE(QUuid::fromString(id).toString(QUuid::WithBraces), id);
        QVERIFY(id != h.wrapper().sent.first().map().value("reqUID").toString());
    }

    // A search empties only its own model; a refresh keeps hand-added cameras in model order.
    void searchesEmptyOnlyTheirOwnModel()
    {
        CheckedHarness h;
        h.answerSearch(h.startDeviceSearch(), {foundDevice("s1", "10.0.0.1"), foundDevice("s2", "10.0.0.3")});
        QVERIFY(h.call("addDevice", {"late", 0, "10.0.0.4", 80}).toBool());
        QVERIFY(h.call("addDevice", {"early", 0, "10.0.0.2", 80}).toBool());
        h.answerSearch(h.startStationSearch(), {foundDevice("t", "10.0.0.6")});
        h.cameraModel()->setSortRole(Cam::Ip);
        h.cameraModel()->sort(0);

        QVERIFY(h.call("refreshDevices", {0, 0}).toBool());
        QCOMPARE(column(h.cameraModel(), Cam::HostName), QStringLiteral("early,late"));
        QCOMPARE(h.stationModel()->rowCount(), 1);

        h.startStationSearch();
        QCOMPARE(h.stationModel()->rowCount(), 0);
        QCOMPARE(h.cameraModel()->rowCount(), 2);
        h.startDeviceSearch();
        QCOMPARE(h.cameraModel()->rowCount(), 0); // hand-added rows go too
    }

    // A search or a refresh empties its model in one reset: whoever is told it comes
    // still reads every row, the rows are gone once it is over, and the turns of the
    // event loop that free them afterwards tell no one anything.
    void clearIsOneReset_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<bool>("cameras");
        QTest::addColumn<int>("columns");  // the model's, as QML may have changed them
        QTest::addColumn<QStringList>("heard");
        const QString cameraRows = QStringLiteral("aboutToBeReset 10.0.0.4,10.0.0.1,10.0.0.3");
        QTest::newRow("refresh") << QByteArray("refreshDevices") << true << 1
                                 << QStringList{cameraRows, "reset 0", "columnsInserted 0-0",
                                                "rowsInserted 0-0 10.0.0.4"};
        QTest::newRow("refresh, two columns") << QByteArray("refreshDevices") << true << 2
                                              << QStringList{cameraRows, "reset 0", "columnsInserted 0-1",
                                                             "rowsInserted 0-0 10.0.0.4"};
        QTest::newRow("device search") << QByteArray("searchDevices") << true << 1
                                       << QStringList{cameraRows, "reset 0"};
        QTest::newRow("device search, two columns") << QByteArray("searchDevices") << true << 2
                                                    << QStringList{cameraRows, "reset 0"};
        QTest::newRow("station search") << QByteArray("searchStations") << false << 1
                                        << QStringList{"aboutToBeReset 10.0.0.6,10.0.0.7", "reset 0"};
    }
    void clearIsOneReset()
    {
        QFETCH(QByteArray, method);
        QFETCH(bool, cameras);
        QFETCH(int, columns);
        QFETCH(QStringList, heard);
        CheckedHarness h;
        h.answerSearch(h.startDeviceSearch(), {foundDevice("s1", "10.0.0.1"), foundDevice("s2", "10.0.0.3")});
        QVERIFY(h.call("addDevice", {"hand", 0, "10.0.0.4", 80}).toBool());
        h.answerSearch(h.startStationSearch(), {foundDevice("t1", "10.0.0.6"), foundDevice("t2", "10.0.0.7")});

        QAbstractItemModel* model = cameras ? static_cast<QAbstractItemModel*>(h.cameraModel()) : h.stationModel();
        const int ip = cameras ? int(Cam::Ip) : int(Station::Ip);
        model->insertColumns(1, columns - 1);
        QStringList seen;
        const auto range = [&](const QString& name) {
            return [&, name](const QModelIndex&, int first, int last) {
                seen.append(QStringLiteral("%1 %2-%3").arg(name).arg(first).arg(last));
            };
        };
        QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset, model,
                         [&] { seen.append("aboutToBeReset " + column(model, ip)); });
        QObject::connect(model, &QAbstractItemModel::modelReset, model,
                         [&] { seen.append(QStringLiteral("reset %1").arg(model->rowCount())); });
        QObject::connect(model, &QAbstractItemModel::rowsInserted, model,
                         [&](const QModelIndex&, int first, int last) {
                             seen.append(QStringLiteral("rowsInserted %1-%2 %3").arg(first).arg(last).arg(column(model, ip)));
                         });
        QObject::connect(model, &QAbstractItemModel::rowsRemoved, model, range("rowsRemoved"));
        QObject::connect(model, &QAbstractItemModel::columnsInserted, model, range("columnsInserted"));
        QObject::connect(model, &QAbstractItemModel::columnsRemoved, model, range("columnsRemoved"));
        QObject::connect(model, &QAbstractItemModel::dataChanged, model, [&] { seen.append("dataChanged"); });
        QObject::connect(model, &QAbstractItemModel::layoutChanged, model, [&] { seen.append("layoutChanged"); });

        QVERIFY(h.call(method, method == "searchStations" ? QVariantList{} : QVariantList{0, 0}).toBool());
        for (int turn = 0; turn < 10; ++turn)
            QCoreApplication::processEvents();
        QCOMPARE(seen, heard);
    }

    // Every role of a camera and a station row, name (as QML knows it) and type: http 0
    // takes https, IP parts spill over, MAC pairs count from the right (stations too).
    void rowRoles()
    {
        CheckedHarness h;
        QVariantMap entry = foundDevice("cam-1", "1.2.3.300", 0, 1, "abcdefghijk", "Q-100");
        entry.insert({{"searchType", 9}, {"HostName", "not-taken"}, {"CamRTSPPort", 8554}});
        h.answerSearch(h.startDeviceSearch(), {entry});
        QCOMPARE(typedRoles(h.cameraModel()->item(0), Cam::Id, Cam::Last),
                 "idRole=QString:cam-1|modelRole=QString:Q-100|macRole=QString:a-bc-de-fg-hi-jk|"
                 "ipRole=QString:1.2.3.300|portRole=int:443|typeRole=int:9|statusRole=int:6|userNameRole=QString:|"
                 "passwordRole=QString:|ipForSortRole=uint:16909100|brandNameRole=QString:onvif|"
                 "hostNameRole=QString:|brandRole=int:1|urlRole=QString:|channelNumRole=int:1|271=none:|272=bool:false|"
                 "273=bool:true|274=QString:HTTPS|275=int:0|276=QStringList:");

        entry = foundDevice("st-1", "10.0.0.5", 0, 7, "0011.22aa.bbcc", "NVR-8");
        entry.insert({{"searchType", 24}, {"HostName", "store-nvr"}, {"QRLNModel", "QX-1"}, {"Password", "secret"}});
        h.answerSearch(h.startStationSearch(), {entry}, true);
        QCOMPARE(typedRoles(h.stationModel()->item(0), Qt::UserRole, Station::Last),
                 "256=none:|idRole=QString:st-1|modelRole=QString:NVR-8|macRole=QString:00-11-.2-2a-a.-bb-cc|"
                 "ipRole=QString:10.0.0.5|portRole=int:0|typeRole=int:24|brandRole=int:7|brandNameRole=QString:-1|"
                 "statusRole=int:6|hostNameRole=QString:store-nvr|httpsPortRole=int:443|passwordRole=none:|"
                 "qrlnModelRole=QString:QX-1");
        QCOMPARE(h.cameraModel()->columnCount(), 1);
        QCOMPARE(h.stationModel()->columnCount(), 1);
    }


    // Only the latest search of each kind is answered (before any, both ids are empty).
    // Success is the code "0" alone; "done" is passed on.
    void answersByRequest_data()
    {
        QTest::addColumn<bool>("searched");  // an older and a newer search of each kind started first
        QTest::addColumn<int>("request");    // which search the answer names
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("done");
        QTest::addColumn<QStringList>("told");
        QTest::addColumn<int>("cameras");
        QTest::addColumn<int>("stations");
        const QStringList nothing;
        QTest::newRow("no id before any search: the device search's") << false << int(NoRequest) << "0" << true
            << QStringList{"searchDevicesResp(true, true)"} << 1 << 0;
        QTest::newRow("an older station search: ignored") << true << int(OldStations) << "0" << true << nothing << 0
                                                          << 0;
        QTest::newRow("the id in capitals: ignored") << true << int(DevicesInCapitals) << "0" << true << nothing << 0
                                                     << 0;
        QTest::newRow("devices, not done yet") << true << int(Devices) << "0" << false
                                               << QStringList{"searchDevicesResp(true, false)"} << 1 << 0;
        QTest::newRow("devices, code 00 fails") << true << int(Devices) << "00" << false
                                                << QStringList{"searchDevicesResp(false, false)"} << 0 << 0;
        QTest::newRow("stations, done") << true << int(Stations) << "0" << true
                                        << QStringList{"searchStationsResp(true, true)"} << 0 << 1;
        QTest::newRow("stations, code 2 fails") << true << int(Stations) << "2" << true
                                                << QStringList{"searchStationsResp(false, true)"} << 0 << 0;
    }

    void answersByRequest()
    {
        QFETCH(bool, searched);
        QFETCH(int, request);
        QFETCH(QString, code);
        QFETCH(bool, done);
        QFETCH(QStringList, told);
        QFETCH(int, cameras);
        QFETCH(int, stations);
        CheckedHarness h;
        QMap<int, QString> ids{{NoRequest, QString()}};
        if (searched) {
            ids[OldDevices] = h.startDeviceSearch();
            ids[OldStations] = h.startStationSearch();
            ids[Devices] = h.startDeviceSearch();
            ids[Stations] = h.startStationSearch();
            ids[DevicesInCapitals] = ids[Devices].toUpper();
        }
        QSignalSpy devicesTold(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QSignalSpy stationsTold(h.object(), SIGNAL(searchStationsResp(bool,bool)));

        h.answerSearch(ids.value(request), {foundDevice("a", "10.0.0.1")}, false, code, done);

        QCOMPARE(signalsSeen({{"searchDevicesResp", &devicesTold}, {"searchStationsResp", &stationsTold}}), told);
        QCOMPARE(h.cameraModel()->rowCount(), cameras);
        QCOMPARE(h.stationModel()->rowCount(), stations);
    }

    // A camera already listed takes only brand and MAC of a later entry reporting
    // brand 0 (or none); a failed part changes no row.
    void laterEntriesOfAListedCamera()
    {
        CheckedHarness h;
        const QString devices = h.startDeviceSearch();
        h.answerSearch(devices, {foundDevice("a", "10.0.0.1", 80, 1, "AABBCCDDEEFF", "First"),
                                 foundDevice("a", "10.0.0.7", 80, 1)}, true, "0", false);
        h.answerSearch(devices, {foundDevice("b", "10.0.0.2"), foundDevice("a", "10.9.9.9", 8000, 0, "112233445566"),
                                 QVariantMap{{"delID", "b"}}}, false, "0", true);
        QSignalSpy changed(h.cameraModel(), &QAbstractItemModel::dataChanged);
        h.answerSearch(devices, {foundDevice("a", "10.0.0.1", 80, 0, "FFFFFFFFFFFF"), foundDevice("c", "10.0.0.3")},
                       true, "00", false);
        h.answerSearch(devices, {foundDevice("d", "10.0.0.4")}, false, "1", true);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(h.cameraModel()->rowCount(), 2);
        const QList<int> roles{Cam::Id, Cam::Brand, Cam::BrandName, Cam::Mac, Cam::Model, Cam::Ip, Cam::Port, Cam::Status};
        QCOMPARE(rowText(h.cameraModel()->item(0), roles), QStringLiteral("a|0|qrln|11-22-33-44-55-66|First|10.0.0.1|80|0"));
        QCOMPARE(rowText(h.cameraModel()->item(1), roles), QStringLiteral("b|0|qrln||M1|10.0.0.2|80|6"));
    }

    // Stations keep an entry whose "QRLNModel" holds the model brand's text, same case.
    // A failed answer adds none: answersByRequest.
    void stationsByModelText()
    {
        CheckedHarness h;
        h.call("setQRLNModelBrand", {"ABC"});
        const QString stations = h.startStationSearch();
        QVariantMap station = foundDevice("s", "10.0.0.5");
        const auto withModel = [&](const QVariant& model) { return station.insert("QRLNModel", model), station; };
        h.answerSearch(stations, {withModel("xxABCyy"), withModel("abc")}, true, "0", false);
        h.answerSearch(stations, {withModel("ABC"), withModel(QVariant())});
        QCOMPARE(column(h.stationModel(), Station::QrlnModel), QStringLiteral("xxABCyy,ABC"));
    }

    // "detCamResEvt" of this device search sets the status camera by camera; only success
    // takes the details. Another search's events change nothing. Ids in other case and
    // other failures: tst_perf_differential, tst_hostile.
    void detectionResults()
    {
        CheckedHarness h;
        const QString stationId = h.startStationSearch();
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1", 80, 1), foundDevice("b", "10.0.0.2", 80, 1)}, true);
        for (const auto& [requestId, camera, result] : {std::tuple{id, "a", 0}, {id, "b", 1}, {stationId, "b", 0}}) {
            h.event("detCamResEvt", QVariantMap{{"reqUID", requestId}, {"delID", camera}, {"detRes", result},
                                                {"Model", "Q-900"}, {"MAC", "aabbccddeeff"}, {"ChannelNum", 4}});
        }
        const QList<int> roles{Cam::Status, Cam::Model, Cam::Mac, Cam::ChannelNum, Cam::Ip, Cam::Brand};
        QCOMPARE(rowText(h.cameraModel()->item(0), roles), QStringLiteral("1|Q-900|aa-bb-cc-dd-ee-ff|4|10.0.0.1|1"));
        QCOMPARE(rowText(h.cameraModel()->item(1), roles), QStringLiteral("2|M1|00-11-22-AA-BB-CC|1|10.0.0.2|1"));
    }
};

QTEST_MAIN(tst_Search)
#include "tst_search.moc"
