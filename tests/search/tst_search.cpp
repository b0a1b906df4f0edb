#include "ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

namespace {

// Roles of a row as "a|b|c", so one comparison shows every wrong value.
QString rowText(const QStandardItem* item, const QList<int>& roles)
{
    QStringList values;
    for (int role : roles)
        values.append(item->data(role).toString());
    return values.join('|');
}

// Roles first to last of a row as "name=type:value|...", to show wrong names and
// types too; a role without a name shows its number.
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

} // namespace

// Device and station search through the loaded plug-in: what searchDevices,
// refreshDevices and searchStations send and do to the models and the stored request
// ids; how the answers become camera and station rows; how detection events change
// camera rows. QML's default arguments: tests/quick.
class tst_Search : public QObject
{
    Q_OBJECT

    QAbstractItemModel* m_cameras = nullptr;
    QStringList m_answers;

public Q_SLOTS:
    // Connected like QML handlers: what they are told, and the rows they then see.
    void deviceAnswer(bool success, bool done)
    {
        m_answers << QStringLiteral("%1/%2/%3").arg(success).arg(done).arg(m_cameras->rowCount());
    }
    void stationAnswer(bool success, bool done) { m_answers << QStringLiteral("station %1/%2").arg(success).arg(done); }

private Q_SLOTS:
    void init()
    {
        qunsetenv("MAX_SRCH_DEV_CNT");
        qunsetenv("DEV_IP_CONTAINS");
    }
    void cleanup() { init(); }

    // A flag bit adds its key as true, a clear one leaves it out; a site's environment
    // overrides the limit and sets the IP text, read anew for each request.
    void commands_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QByteArray>("maxCount");   // MAX_SRCH_DEV_CNT; null: not set
        QTest::addColumn<QByteArray>("ipContains"); // DEV_IP_CONTAINS; null: not set
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
        QTest::newRow("stations, limit of letters is 0") << stations << 0 << QByteArray("abc") << QByteArray("10.")
            << "devIpContains=10. maxRet=0 relayPath= searchType=24 unmanagedOnly=true";
    }

    // Each request has a fresh braced UUID. (The other SendCommand arguments: tests/spine.)
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

        const QVariantMap sent = h.wrapper().last().map();
        QCOMPARE(sent.value("maxRet").metaType(), QMetaType::fromType<int>());
        QCOMPARE(sent.value("relayPath").metaType(), QMetaType::fromType<QString>());
        QStringList pairs;
        for (auto it = sent.cbegin(); it != sent.cend(); ++it) {
            if (it.key() != "reqUID")
                pairs.append(it.key() + '=' + it.value().toString());
        }
        QCOMPARE(pairs.join(' '), parameters);

        QCOMPARE(h.wrapper().last().command, QStringLiteral("searchDevice"));
        static const QRegularExpression braced("^\\{[0-9a-f]{8}-([0-9a-f]{4}-){3}[0-9a-f]{12}\\}$");
        const QString id = sent.value("reqUID").toString();
        QVERIFY2(braced.match(id).hasMatch(), qPrintable(id));
        QVERIFY(id != h.wrapper().sent.first().map().value("reqUID").toString());
    }

    // An accepted search empties only its own model; a refresh keeps the hand-added
    // cameras in the order the model holds them, whatever order they were added in.
    // (Refused requests: tests/spine.)
    void searchesEmptyOnlyTheirOwnModel()
    {
        CheckedHarness h;
        h.answerSearch(h.startDeviceSearch(), {foundDevice("s1", "10.0.0.1"), foundDevice("s2", "10.0.0.3")});
        QVERIFY(h.call("addDevice", {"late", 0, "10.0.0.4", 80}).toBool());
        QVERIFY(h.call("addDevice", {"early", 0, "10.0.0.2", 80}).toBool());
        h.answerSearch(h.startStationSearch(), {foundDevice("t", "10.0.0.6")});
        // A view may sort the model itself: rows 1 and 3 of four are now the manual ones.
        h.cameraModel()->setSortRole(Cam::Ip);
        h.cameraModel()->sort(0);

        QVERIFY(h.call("refreshDevices", {0, 0}).toBool());
        QCOMPARE(column(h.cameraModel(), Cam::HostName), QStringLiteral("early,late"));
        QCOMPARE(h.stationModel()->rowCount(), 1);
        // The kept rows are still found by id: a new answer merges, it does not duplicate.
        const QString keptId = h.cameraModel()->item(0)->data(Cam::Id).toString();
        h.answerSearch(h.wrapper().lastRequestId(), {foundDevice(keptId, "10.0.0.9", 80, 1), foundDevice("s3", "10.0.0.7")});
        QCOMPARE(column(h.cameraModel(), Cam::Ip), QStringLiteral("10.0.0.2,10.0.0.4,10.0.0.7"));

        h.startStationSearch();
        QCOMPARE(h.stationModel()->rowCount(), 0);
        QCOMPARE(h.cameraModel()->rowCount(), 3);
        h.startDeviceSearch();
        QCOMPARE(h.cameraModel()->rowCount(), 0); // hand-added rows go too
    }

    // Every role of a searched camera row and of a station row, with its name (as QML
    // knows it) and its type.
    void rowRoles()
    {
        CheckedHarness h;
        QVariantMap entry = foundDevice("cam-1", "192.168.1.20", 8080, 1, "001122AABBCC", "Q-100");
        entry.insert({{"searchType", 9}, {"HostName", "not-taken"}, {"CamRTSPPort", 8554}});
        h.answerSearch(h.startDeviceSearch(), {entry});
        QCOMPARE(typedRoles(h.cameraModel()->item(0), Cam::Id, Cam::Last),
                 "idRole=QString:cam-1|modelRole=QString:Q-100|macRole=QString:00-11-22-AA-BB-CC|"
                 "ipRole=QString:192.168.1.20|portRole=int:8080|typeRole=int:9|statusRole=int:6|userNameRole=QString:|"
                 "passwordRole=QString:|ipForSortRole=uint:3232235796|brandNameRole=QString:onvif|"
                 "hostNameRole=QString:|brandRole=int:1|urlRole=QString:|channelNumRole=int:1|271=none:|272=bool:false|"
                 "273=bool:false|274=QString:TCP|275=int:0|276=QStringList:");

        entry = foundDevice("st-1", "10.0.0.5", 0, 7, "001122AABBCC", "NVR-8");
        entry.insert({{"searchType", 24}, {"HostName", "store-nvr"}, {"QRLNModel", "QX-1"}, {"Password", "secret"}});
        h.answerSearch(h.startStationSearch(), {entry}, true);
        QCOMPARE(typedRoles(h.stationModel()->item(0), Qt::UserRole, Station::Last),
                 "256=none:|idRole=QString:st-1|modelRole=QString:NVR-8|macRole=QString:00-11-22-AA-BB-CC|"
                 "ipRole=QString:10.0.0.5|portRole=int:0|typeRole=int:24|brandRole=int:7|brandNameRole=QString:-1|"
                 "statusRole=int:6|hostNameRole=QString:store-nvr|httpsPortRole=int:443|passwordRole=none:|"
                 "qrlnModelRole=QString:QX-1");
        QCOMPARE(h.cameraModel()->columnCount() + h.stationModel()->columnCount(), 2);
    }

    // One value of a found entry and what the camera row makes of it; for a MAC, also
    // the station row, which always adds hyphens.
    void entryValues_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value"); // invalid: key left out
        QTest::addColumn<QList<int>>("roles");
        QTest::addColumn<QString>("stored");
        const QList<int> port{Cam::Port, Cam::UseSSL, Cam::StreamingProtocol}, packed{Cam::IpForSort}, mac{Cam::Mac};
        QTest::newRow("http 0 takes https") << "HttpPort" << QVariant(0) << port << "443|true|HTTPS";
        QTest::newRow("no http takes https") << "HttpPort" << QVariant() << port << "443|true|HTTPS";
        QTest::newRow("http as text wins over https") << "HttpPort" << QVariant("81") << port << "81|false|TCP";
        QTest::newRow("255.255.255.255 fills 32 bits") << "IP" << QVariant("255.255.255.255") << packed << "4294967295";
        QTest::newRow("three parts pack to 0") << "IP" << QVariant("10.0.0") << packed << "0";
        QTest::newRow("300 spills into the third byte") << "IP" << QVariant("1.2.3.300") << packed << "16909100";
        QTest::newRow("300 first loses its high bits") << "IP" << QVariant("300.0.0.1") << packed << "738197505";
        QTest::newRow("letters read 0") << "IP" << QVariant("a.b.c.4") << packed << "4";
        QTest::newRow("MAC already hyphenated")
            << "MAC" << QVariant("00-11-22-AA-BB-CC") << mac << "00-11-22-AA-BB-CC / 0-0--11--2-2--AA--B-B--CC";
        QTest::newRow("odd MAC pairs from the right") << "MAC" << QVariant("abcdefghijk") << mac
                                                      << "a-bc-de-fg-hi-jk / a-bc-de-fg-hi-jk";
        QTest::newRow("dots are not hyphens") << "MAC" << QVariant("0011.22aa.bbcc") << mac
                                              << "00-11-.2-2a-a.-bb-cc / 00-11-.2-2a-a.-bb-cc";
    }

    void entryValues()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(QList<int>, roles);
        QFETCH(QString, stored);
        QVariantMap entry = foundDevice("a", "10.0.0.1");
        entry.insert(key, value);
        CheckedHarness h;
        h.answerSearch(h.startDeviceSearch(), {entry});
        h.answerSearch(h.startStationSearch(), {entry});
        QString shown = rowText(h.cameraModel()->item(0), roles);
        if (key == "MAC")
            shown += " / " + h.stationModel()->item(0)->data(Station::Mac).toString();
        QCOMPARE(shown, stored);
    }

    // Answers are matched by request id: only the latest search of each kind, the
    // device search's first (before any search both ids are empty). Success is the
    // code "0" alone; "done" is passed on and clears nothing. Batches accumulate, and
    // a camera already listed (also earlier in the same batch) takes only brand and
    // MAC of a later entry, and only when that reports brand 0 (a missing one counts
    // as 0). A failed part changes no row. Handlers of the signals see merged rows.
    void answersByRequest()
    {
        CheckedHarness h;
        m_cameras = h.cameraModel();
        m_answers.clear();
        QVERIFY(connect(h.object(), SIGNAL(searchDevicesResp(bool,bool)), this, SLOT(deviceAnswer(bool,bool))));
        QVERIFY(connect(h.object(), SIGNAL(searchStationsResp(bool,bool)), this, SLOT(stationAnswer(bool,bool))));
        // The station answer keeps an entry only if its "QRLNModel" holds this text in
        // the same letter case; camera answers are not filtered by it.
        h.call("setQRLNModelBrand", {"ABC"});
        h.answer("searchDevice", QVariantMap{{"devList", QVariantList{foundDevice("x", "10.0.0.9")}}});

        const QString oldDevices = h.startDeviceSearch();
        const QString oldStations = h.startStationSearch();
        const QString devices = h.startDeviceSearch();
        const QString stations = h.startStationSearch();
        for (const QString& id : {oldDevices, oldStations, devices.toUpper(), QString()})
            h.answerSearch(id, {foundDevice("old", "10.0.0.1")});
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

        // Stations are never merged and take no notice of "checkAuth".
        const auto withModel = [](const QVariant& qrlnModel) {
            QVariantMap station = foundDevice("s", "10.0.0.5");
            station.insert("QRLNModel", qrlnModel);
            return station;
        };
        h.answerSearch(stations, {withModel("xxABCyy"), withModel("abc")}, true, "0", false);
        h.answerSearch(stations, {withModel("ABC")}, false, "2", true);
        h.answerSearch(stations, {withModel("ABC"), withModel(QVariant())});
        QCOMPARE(column(h.stationModel(), Station::Status), QStringLiteral("6,6"));
        QCOMPARE(m_answers.join(','), QStringLiteral("1/1/1,1/0/1,1/1/2,0/0/2,0/1/2,"
                                                     "station 1/0,station 0/1,station 1/1"));
    }

    // "detCamResEvt": the outcome of the check a device search asked for, camera by
    // camera; only success takes the details. Events for another search or an id in
    // another letter case change nothing. Rows sharing an id: tests/perf.
    void detectionResults()
    {
        CheckedHarness h;
        const QString stationId = h.startStationSearch();
        const QString id = h.startDeviceSearch(2);
        QVariantList cameras;
        for (const char* camera : {"a", "b", "c", "d"})
            cameras.append(foundDevice(camera, QStringLiteral("10.0.0.%1").arg(cameras.size() + 1), 80, 1));
        h.answerSearch(id, cameras, true);
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        const auto detect = [&](const QString& requestId, const QString& camera, int result,
                                const QString& mac = "00-11-22-aa-bb-cc") {
            h.event("detCamResEvt", QVariantMap{{"reqUID", requestId}, {"delID", camera}, {"detRes", result},
                                                {"Model", "Q-900"}, {"MAC", mac}, {"ChannelNum", 4}});
        };

        for (const auto& [camera, result] : {std::pair{"a", 0}, {"b", 1}, {"c", 2}, {"d", 7}})
            detect(id, camera, result);
        detect(stationId, "b", 0);
        detect(id, "C", 0);
        QStandardItemModel* model = h.cameraModel();
        QCOMPARE(column(model, Cam::Status), QStringLiteral("1,2,3,4"));
        const QList<int> roles{Cam::Model, Cam::Mac, Cam::ChannelNum, Cam::Ip, Cam::Port, Cam::Brand};
        QCOMPARE(rowText(model->item(0), roles), QStringLiteral("Q-900|00-11-22-aa-bb-cc|4|10.0.0.1|80|1"));
        QCOMPARE(rowText(model->item(1), roles), QStringLiteral("M1|00-11-22-AA-BB-CC|1|10.0.0.2|80|1"));
        detect(id, "d", 0, "aabbccddeeff");
        QCOMPARE(model->item(3)->data(Cam::Mac).toString(), QStringLiteral("aa-bb-cc-dd-ee-ff"));

        QCOMPARE(answers.count(), 0);
    }
};

QTEST_MAIN(tst_Search)
#include "tst_search.moc"
