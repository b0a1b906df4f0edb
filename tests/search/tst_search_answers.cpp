#include "ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QVariantMap station(const QString& id, const QString& qrlnModel = QString(), const QString& mac = "001122AABBCC")
{
    QVariantMap entry = foundDevice(id, "10.0.0.5", 80, 0, mac, "NVR");
    entry.insert("QRLNModel", qrlnModel);
    return entry;
}

// Each expected role as "role=type:value" beside what the row holds, so one
// comparison shows every wrong value or type.
void compareRoles(const QStandardItem* item, const QList<QPair<int, QVariant>>& expected)
{
    const auto typed = [](int role, const QVariant& value) {
        const QString text = value.metaType().id() == QMetaType::QStringList ? value.toStringList().join('|')
                                                                             : value.toString();
        return QStringLiteral("%1=%2:%3").arg(role).arg(QString::fromLatin1(value.metaType().name()), text);
    };
    QStringList actual, wanted;
    for (const auto& [role, value] : expected) {
        actual.append(typed(role, item->data(role)));
        wanted.append(typed(role, value));
    }
    QCOMPARE(actual.join(' '), wanted.join(' '));
}

// Some roles of a row as "a|b|c", so one comparison shows them all.
QString rowText(const QStandardItem* item, std::initializer_list<int> roles)
{
    QStringList values;
    for (int role : roles)
        values.append(item->data(role).toString());
    return values.join('|');
}

QVariantMap detection(const QString& requestId, const QString& id, const QVariant& result)
{
    return {{"reqUID", requestId}, {"delID", id}, {"detRes", result}, {"Model", "Q-900"},
            {"MAC", "00-11-22-aa-bb-cc"}, {"ChannelNum", 4}};
}

// What a spy on searchDevicesResp or searchStationsResp saw, as "success/done,...".
QString emitted(const QSignalSpy& spy)
{
    QStringList out;
    for (const QList<QVariant>& args : spy)
        out.append(args.at(0).toString() + '/' + args.at(1).toString());
    return out.join(',');
}

} // namespace

// How answers to "searchDevice" become camera and station rows, and detection
// events change camera rows.
class tst_SearchAnswers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every role of a searched camera row and of a station row, with its type. These
    // rows are also the plain cases of the port, packed-IP and MAC rules below.
    void rowRoles()
    {
        CheckedHarness h;
        QVariantMap entry = foundDevice("cam-1", "192.168.1.20", 8080, 1, "001122AABBCC", "Q-100");
        entry.insert("searchType", 9);
        entry.insert("HostName", "not-taken");
        entry.insert("CamRTSPPort", 8554);
        h.answerSearch(h.startDeviceSearch(), {entry});
        QCOMPARE(h.cameraModel()->columnCount(), 1);
        compareRoles(h.cameraModel()->item(0),
                     {{Cam::Id, QString("cam-1")}, {Cam::Model, QString("Q-100")},
                      {Cam::Mac, QString("00-11-22-AA-BB-CC")}, {Cam::Ip, QString("192.168.1.20")}, {Cam::Port, 8080},
                      {Cam::Type, 9}, {Cam::Status, int(NotChecked)}, {Cam::UserName, QString()},
                      {Cam::Password, QString()}, {Cam::IpForSort, 3232235796u}, {Cam::BrandName, QString("onvif")},
                      {Cam::HostName, QString()}, {Cam::Brand, 1}, {Cam::Url, QString()}, {Cam::ChannelNum, 1},
                      {Cam::PreviousStatus, QVariant()}, {Cam::Manual, false}, {Cam::UseSSL, false},
                      {Cam::StreamingProtocol, QString("TCP")}, {Cam::RtspPort, 0},
                      {Cam::StreamUrlList, QStringList()}});

        entry = {{"delID", "st-1"}, {"Model", "NVR-8"}, {"MAC", "001122AABBCC"}, {"IP", "10.0.0.5"},
                 {"HttpPort", 0}, {"HttpsPort", 443}, {"searchType", 24}, {"Brand", 7},
                 {"HostName", "store-nvr"}, {"QRLNModel", "QX-1"}, {"Password", "secret"}};
        h.answerSearch(h.startStationSearch(), {entry});
        QCOMPARE(h.stationModel()->columnCount(), 1);
        compareRoles(h.stationModel()->item(0),
                     {{Qt::UserRole, QVariant()}, {Station::Id, QString("st-1")}, {Station::Model, QString("NVR-8")},
                      {Station::Mac, QString("00-11-22-AA-BB-CC")}, {Station::Ip, QString("10.0.0.5")},
                      {Station::Port, 0}, {Station::Type, 24}, {Station::Brand, 7}, {Station::BrandName, QString("-1")},
                      {Station::Status, int(NotChecked)}, {Station::HostName, QString("store-nvr")},
                      {Station::HttpsPort, 443}, {Station::Password, QVariant()},
                      {Station::QrlnModel, QString("QX-1")}});
    }

    void portSelection_data()
    {
        QTest::addColumn<QVariant>("httpPort"); // invalid: key left out
        QTest::addColumn<QString>("port");      // port, use-SSL, streaming protocol
        QTest::newRow("http 0 takes https") << QVariant(0) << "443|true|HTTPS";
        QTest::newRow("no http takes https") << QVariant() << "443|true|HTTPS";
        QTest::newRow("http as text wins over https") << QVariant("81") << "81|false|TCP";
    }

    void portSelection()
    {
        QFETCH(QVariant, httpPort);
        QFETCH(QString, port);
        QVariantMap entry = foundDevice("a", "10.0.0.1");
        entry.remove("HttpPort");
        if (httpPort.isValid())
            entry.insert("HttpPort", httpPort);
        CheckedHarness h;
        h.answerSearch(h.startDeviceSearch(), {entry});
        QCOMPARE(rowText(h.cameraModel()->item(0), {Cam::Port, Cam::UseSSL, Cam::StreamingProtocol}), port);
    }

    void packedIp_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<uint>("packed");
        QTest::newRow("255.255.255.255 fills 32 bits") << "255.255.255.255" << 4294967295u;
        QTest::newRow("three parts") << "10.0.0" << 0u;
        QTest::newRow("five parts") << "1.2.3.4.5" << 0u;
        QTest::newRow("300 spills into the third byte") << "1.2.3.300" << 16909100u;
        QTest::newRow("300 first loses its high bits") << "300.0.0.1" << 738197505u;
        QTest::newRow("letters read 0") << "a.b.c.4" << 4u;
    }

    void packedIp()
    {
        QFETCH(QString, ip);
        QFETCH(uint, packed);
        CheckedHarness h;
        h.answerSearch(h.startDeviceSearch(), {foundDevice("a", ip)});
        QCOMPARE(h.cameraModel()->item(0)->data(Cam::IpForSort), QVariant(packed));
    }

    // The camera model keeps a MAC that already holds a hyphen; station rows always
    // get the hyphens added.
    void macRules_data()
    {
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("cameraMac");
        QTest::addColumn<QString>("stationMac");
        QTest::newRow("already hyphenated")
            << "00-11-22-AA-BB-CC" << "00-11-22-AA-BB-CC" << "0-0--11--2-2--AA--B-B--CC";
        QTest::newRow("odd length pairs from the right") << "abcdefghijk" << "a-bc-de-fg-hi-jk" << "a-bc-de-fg-hi-jk";
        QTest::newRow("two characters") << "ab" << "ab" << "ab";
        QTest::newRow("dots are not hyphens") << "0011.22aa.bbcc" << "00-11-.2-2a-a.-bb-cc" << "00-11-.2-2a-a.-bb-cc";
    }

    void macRules()
    {
        QFETCH(QString, mac);
        QFETCH(QString, cameraMac);
        QFETCH(QString, stationMac);
        CheckedHarness h;
        h.answerSearch(h.startDeviceSearch(), {foundDevice("a", "10.0.0.1", 80, 0, mac)});
        h.answerSearch(h.startStationSearch(), {station("s", "", mac)});
        QCOMPARE(h.cameraModel()->item(0)->data(Cam::Mac).toString(), cameraMac);
        QCOMPARE(h.stationModel()->item(0)->data(Station::Mac).toString(), stationMac);
    }

    // "checkAuth" is read as a boolean, so the text "true" counts; without it new
    // rows are not checked (see the row roles). Station answers take no notice of it.
    void checkAuthMarksNewCamerasChecking()
    {
        CheckedHarness h;
        const QVariantList devList{foundDevice("a", "1.1.1.1")};
        h.answer("searchDevice", QVariantMap{{"reqUID", h.startDeviceSearch()}, {"devList", devList},
                                             {"checkAuth", "true"}});
        h.answer("searchDevice", QVariantMap{{"reqUID", h.startStationSearch()}, {"devList", devList},
                                             {"checkAuth", true}});
        QCOMPARE(h.cameraModel()->item(0)->data(Cam::Status), QVariant(int(Checking)));
        QCOMPARE(h.stationModel()->item(0)->data(Station::Status), QVariant(int(NotChecked)));
    }

    // A second entry for a camera already listed changes only brand and MAC, and only
    // when it reports brand 0 (a missing Brand counts as 0).
    void knownCameraUpdate_data()
    {
        QTest::addColumn<QVariantMap>("entry");
        QTest::addColumn<QString>("brandAndMac");
        const QVariantMap again = foundDevice("a", "10.9.9.9", 8000, 0, "112233445566", "Other");
        const auto with = [&](const char* key, const QVariant& value) {
            QVariantMap entry = again;
            if (value.isValid())
                entry.insert(key, value);
            else
                entry.remove(key);
            return entry;
        };
        QTest::newRow("brand 1 changes nothing") << with("Brand", 1) << "1|onvif|AA-BB-CC-DD-EE-FF";
        QTest::newRow("brand 0 takes brand and MAC") << again << "0|qrln|11-22-33-44-55-66";
        QTest::newRow("missing brand counts as 0") << with("Brand", QVariant()) << "0|qrln|11-22-33-44-55-66";
        QTest::newRow("missing brand and MAC empties the MAC") << QVariantMap{{"delID", "a"}} << "0|qrln|";
        QTest::newRow("hyphenated MAC kept as is") << with("MAC", "11:22-33") << "0|qrln|11:22-33";
    }

    void knownCameraUpdate()
    {
        QFETCH(QVariantMap, entry);
        QFETCH(QString, brandAndMac);
        CheckedHarness h;
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1", 80, 1, "AABBCCDDEEFF", "First")}, true);
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));

        h.answerSearch(id, {entry});
        QCOMPARE(answers.count(), 1);
        QCOMPARE(h.cameraModel()->rowCount(), 1);
        QCOMPARE(rowText(h.cameraModel()->item(0),
                         {Cam::Brand, Cam::BrandName, Cam::Mac, Cam::Model, Cam::Ip, Cam::Port, Cam::Status}),
                 brandAndMac + "|First|10.0.0.1|80|0");
    }

    void answersOfSupersededSearchesAreDropped()
    {
        CheckedHarness h;
        const QString oldDevices = h.startDeviceSearch();
        const QString oldStations = h.startStationSearch();
        const QString devices = h.startDeviceSearch();
        const QString stations = h.startStationSearch();
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QSignalSpy stationAnswers(h.object(), SIGNAL(searchStationsResp(bool,bool)));

        for (const QString& id : {oldDevices, oldStations, oldDevices.toUpper(), QString("{unknown}")})
            h.answerSearch(id, {foundDevice("x", "10.0.0.1")});
        QCOMPARE(answers.count() + stationAnswers.count(), 0);
        QCOMPARE(h.cameraModel()->rowCount() + h.stationModel()->rowCount(), 0);

        h.answerSearch(devices, {foundDevice("a", "10.0.0.1")});
        h.answerSearch(stations, {station("s")});
        QCOMPARE(answers.count(), 1);
        QCOMPARE(stationAnswers.count(), 1);
    }

    // Before any search both stored ids are empty; the device search is asked first.
    void deviceSearchIdIsTestedFirst()
    {
        CheckedHarness h;
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QSignalSpy stationAnswers(h.object(), SIGNAL(searchStationsResp(bool,bool)));
        h.answer("searchDevice", QVariantMap{{"devList", QVariantList{foundDevice("a", "10.0.0.1")}}});
        h.answerSearch(QString(), {foundDevice("b", "10.0.0.2")});
        QCOMPARE(answers.count(), 2);
        QCOMPARE(stationAnswers.count(), 0);
        QCOMPARE(h.cameraModel()->rowCount(), 2);

        // Still so after a station search: the device search id has stayed empty.
        const QString stationId = h.startStationSearch();
        h.answerSearch(QString(), {foundDevice("c", "10.0.0.3")});
        QCOMPARE(answers.count(), 3);
        h.answerSearch(stationId, {station("s")});
        QCOMPARE(stationAnswers.count(), 1);
    }

    // Success is the code "0" alone and "done" is passed on; "done" clears nothing,
    // so later parts are still taken. A failed part neither adds nor updates a row.
    void doneAndFailedParts()
    {
        CheckedHarness h;
        const QString id = h.startDeviceSearch();
        const QString stationId = h.startStationSearch();
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QSignalSpy stationAnswers(h.object(), SIGNAL(searchStationsResp(bool,bool)));

        h.answerSearch(id, {foundDevice("a", "10.0.0.1", 80, 1)}, false, "0", false);
        h.answerSearch(id, {foundDevice("b", "10.0.0.2")}, false, "0", true);
        QSignalSpy changed(h.cameraModel(), &QAbstractItemModel::dataChanged);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1", 80, 0, "FFFFFFFFFFFF"), foundDevice("c", "10.0.0.3")},
                       true, "00", false);
        h.answerSearch(id, {foundDevice("d", "10.0.0.4")}, false, "1", true);
        QCOMPARE(emitted(answers), QStringLiteral("true/false,true/true,false/false,false/true"));
        QCOMPARE(column(h.cameraModel(), Cam::Id), QStringLiteral("a,b"));
        QCOMPARE(changed.count(), 0);

        h.answerSearch(stationId, {station("s1")}, false, "0", true);
        h.answerSearch(stationId, {station("s2")}, false, "0", true);
        h.answerSearch(stationId, {station("s3")}, false, "2", true);
        QCOMPARE(emitted(stationAnswers), QStringLiteral("true/true,true/true,false/true"));
        QCOMPARE(column(h.stationModel(), Station::Id), QStringLiteral("s1,s2"));
    }

    void qrlnModelBrandFiltersStations_data()
    {
        QTest::addColumn<QString>("brand");
        QTest::addColumn<QString>("accepted");
        // Entries: xxABCyy, abc, ABC, (no QRLNModel)
        QTest::newRow("empty brand takes all") << "" << "1,2,3,4";
        QTest::newRow("ABC inside") << "ABC" << "1,3";
        QTest::newRow("letter case counts") << "abc" << "2";
    }

    void qrlnModelBrandFiltersStations()
    {
        QFETCH(QString, brand);
        QFETCH(QString, accepted);
        CheckedHarness h;
        h.call("setQRLNModelBrand", {brand});
        QVariantMap noModel = station("4");
        noModel.remove("QRLNModel");
        h.answerSearch(h.startStationSearch(), {station("1", "xxABCyy"), station("2", "abc"), station("3", "ABC"),
                                                noModel});
        QCOMPARE(column(h.stationModel(), Station::Id), accepted);
        // The camera search is not filtered by it.
        h.answerSearch(h.startDeviceSearch(), {station("c", "other")});
        QCOMPARE(h.cameraModel()->rowCount(), 1);
    }

    void stationsAreNeverMerged()
    {
        CheckedHarness h;
        const QString id = h.startStationSearch();
        h.answerSearch(id, {station("s")}, false, "0", false);
        h.answerSearch(id, {station("s"), station("s")});
        QCOMPARE(column(h.stationModel(), Station::Id), QStringLiteral("s,s,s"));
    }

    // "detCamResEvt": the outcome of the check a device search asked for, camera by
    // camera. Events for the station search, an earlier device search or an unknown
    // id change nothing.
    void detectionResult_data()
    {
        QTest::addColumn<QVariantMap>("changes"); // to the event; an invalid value removes the key
        QTest::addColumn<QString>("state");       // status|model|MAC|channels|IP|port|brand
        const QString untouched = "|M1|00-11-22-AA-BB-CC|1|10.0.0.1|80|1";
        const QString authorized = "1|Q-900|00-11-22-aa-bb-cc|4|10.0.0.1|80|1";
        QTest::newRow("0 authorizes and takes the details") << QVariantMap{} << authorized;
        QTest::newRow("missing result reads 0") << QVariantMap{{"detRes", QVariant()}} << authorized;
        QTest::newRow("1") << QVariantMap{{"detRes", 1}} << "2" + untouched;
        QTest::newRow("2") << QVariantMap{{"detRes", 2}} << "3" + untouched;
        QTest::newRow("7") << QVariantMap{{"detRes", 7}} << "4" + untouched;
        QTest::newRow("-1") << QVariantMap{{"detRes", -1}} << "4" + untouched;
        QTest::newRow("bare MAC gets hyphens") << QVariantMap{{"MAC", "aabbccddeeff"}}
                                               << "1|Q-900|aa-bb-cc-dd-ee-ff|4|10.0.0.1|80|1";
        QTest::newRow("missing details empty the row's")
            << QVariantMap{{"Model", QVariant()}, {"MAC", QVariant()}, {"ChannelNum", QVariant()}}
            << "1|||0|10.0.0.1|80|1";
        QTest::newRow("station search") << QVariantMap{{"reqUID", "station"}} << "0" + untouched;
        QTest::newRow("earlier device search") << QVariantMap{{"reqUID", "earlier"}} << "0" + untouched;
        QTest::newRow("unknown id") << QVariantMap{{"delID", "b"}} << "0" + untouched;
        QTest::newRow("id in other letter case") << QVariantMap{{"delID", "A"}} << "0" + untouched;
    }

    void detectionResult()
    {
        QFETCH(QVariantMap, changes);
        QFETCH(QString, state);
        CheckedHarness h;
        const QString earlier = h.startDeviceSearch(2);
        const QString stationId = h.startStationSearch();
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1", 80, 1)}, true);
        h.answerSearch(stationId, {foundDevice("a", "10.0.0.1")});
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));

        const QVariantMap requests{{"station", stationId}, {"earlier", earlier}};
        QVariantMap event = detection(id, "a", 0);
        for (auto it = changes.cbegin(); it != changes.cend(); ++it) {
            if (!it.value().isValid())
                event.remove(it.key());
            else
                event.insert(it.key(), requests.value(it.value().toString(), it.value()));
        }
        h.event("detCamResEvt", event);
        QCOMPARE(rowText(h.cameraModel()->item(0),
                         {Cam::Status, Cam::Model, Cam::Mac, Cam::ChannelNum, Cam::Ip, Cam::Port, Cam::Brand}),
                 state);
        QCOMPARE(answers.count(), 0);
    }

    // Rows sharing an id: the event always lands on the one the model lists first,
    // also after rows were inserted above it or the model was re-sorted (the index
    // against a scan, over random changes: tests/perf).
    void duplicateIdsResolveToTheFirstRow()
    {
        CheckedHarness h;
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.5"), foundDevice("b", "10.0.0.6")}, true);
        QStandardItemModel* cameras = h.cameraModel();
        const auto copyOfA = [&](const QString& ip) {
            auto* item = cameras->item(0)->clone();
            item->setData(ip, Cam::Ip);
            return item;
        };

        cameras->appendRow(copyOfA("10.0.0.9"));
        h.event("detCamResEvt", detection(id, "a", 1));
        QCOMPARE(column(cameras, Cam::Status), QStringLiteral("2,0,0"));

        cameras->insertRow(0, copyOfA("10.0.0.1"));
        h.event("detCamResEvt", detection(id, "a", 7));
        QCOMPARE(column(cameras, Cam::Status), QStringLiteral("4,2,0,0"));

        cameras->setSortRole(Cam::Ip);
        cameras->sort(0, Qt::DescendingOrder);
        QCOMPARE(column(cameras, Cam::Ip), QStringLiteral("10.0.0.9,10.0.0.6,10.0.0.5,10.0.0.1"));
        h.event("detCamResEvt", detection(id, "a", 2));
        QCOMPARE(column(cameras, Cam::Status), QStringLiteral("3,0,2,4"));
    }
};

QTEST_MAIN(tst_SearchAnswers)
#include "tst_search_answers.moc"
