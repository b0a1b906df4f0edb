#include "../spine/ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QVariantMap station(const QString& id, const QString& qrlnModel, const QString& mac = "001122AABBCC")
{
    QVariantMap entry = foundDevice(id, "10.0.0.5", 80, 0, mac, "NVR");
    entry.insert("QRLNModel", qrlnModel);
    entry.insert("HostName", "host-" + id);
    return entry;
}

// Remembers how many rows each model held when an answer signal arrived.
class RowProbe : public QObject
{
    Q_OBJECT

public:
    RowProbe(PluginHarness& h) : m_h(h)
    {
        connect(h.object(), SIGNAL(searchDevicesResp(bool,bool)), this, SLOT(onDevices()));
        connect(h.object(), SIGNAL(searchStationsResp(bool,bool)), this, SLOT(onStations()));
    }
    QList<int> cameraRows;
    QList<int> stationRows;

private Q_SLOTS:
    void onDevices() { cameraRows.append(m_h.cameraModel()->rowCount()); }
    void onStations() { stationRows.append(m_h.stationModel()->rowCount()); }

private:
    PluginHarness& m_h;
};

} // namespace

// How answers to "searchDevice" become camera and station rows.
class tst_SearchAnswers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every role of a searched camera row, with its type.
    void cameraRowRoles()
    {
        PluginHarness h;
        ModelTesters testers(h);
        QVariantMap entry = foundDevice("cam-1", "192.168.1.20", 8080, 1, "001122AABBCC", "Q-100");
        entry.insert("searchType", 9);
        entry.insert("HostName", "not-taken");
        entry.insert("CamRTSPPort", 8554);
        h.answerSearch(h.startDeviceSearch(), {entry});
        QCOMPARE(h.cameraModel()->rowCount(), 1);
        QCOMPARE(h.cameraModel()->columnCount(), 1);
        const QStandardItem* item = h.cameraModel()->item(0);

        const QList<QPair<int, QVariant>> expected{
            {Cam::Id, QString("cam-1")},
            {Cam::Model, QString("Q-100")},
            {Cam::Mac, QString("00-11-22-AA-BB-CC")},
            {Cam::Ip, QString("192.168.1.20")},
            {Cam::Port, 8080},
            {Cam::Type, 9},
            {Cam::Status, 6},
            {Cam::UserName, QString()},
            {Cam::Password, QString()},
            {Cam::IpForSort, 3232235796u},
            {Cam::BrandName, QString("onvif")},
            {Cam::HostName, QString()},
            {Cam::Brand, 1},
            {Cam::Url, QString()},
            {Cam::ChannelNum, 1},
            {Cam::PreviousStatus, QVariant()},
            {Cam::Manual, false},
            {Cam::UseSSL, false},
            {Cam::StreamingProtocol, QString("TCP")},
            {Cam::RtspPort, 0},
            {Cam::StreamUrlList, QStringList()},
        };
        for (const auto& [role, value] : expected) {
            const QVariant actual = item->data(role);
            QVERIFY2(actual.metaType() == value.metaType(), qPrintable(QString("role %1").arg(role)));
            QVERIFY2(actual == value, qPrintable(QString("role %1").arg(role)));
        }
    }

    void portSelection_data()
    {
        QTest::addColumn<QVariant>("httpPort");  // invalid: key left out
        QTest::addColumn<QVariant>("httpsPort"); // invalid: key left out
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("useSSL");
        QTest::addColumn<QString>("protocol");
        QTest::newRow("http 80 wins over https") << QVariant(80) << QVariant(443) << 80 << false << "TCP";
        QTest::newRow("http 0 takes https") << QVariant(0) << QVariant(443) << 443 << true << "HTTPS";
        QTest::newRow("no http takes https") << QVariant() << QVariant(8443) << 8443 << true << "HTTPS";
        QTest::newRow("neither gives https 0") << QVariant() << QVariant() << 0 << true << "HTTPS";
        QTest::newRow("http only") << QVariant(8080) << QVariant() << 8080 << false << "TCP";
        QTest::newRow("http as text") << QVariant("81") << QVariant(443) << 81 << false << "TCP";
    }

    void portSelection()
    {
        QFETCH(QVariant, httpPort);
        QFETCH(QVariant, httpsPort);
        QFETCH(int, port);
        QFETCH(bool, useSSL);
        QFETCH(QString, protocol);
        QVariantMap entry{{"delID", "a"}, {"IP", "10.0.0.1"}};
        if (httpPort.isValid())
            entry.insert("HttpPort", httpPort);
        if (httpsPort.isValid())
            entry.insert("HttpsPort", httpsPort);
        PluginHarness h;
        ModelTesters testers(h);
        h.answerSearch(h.startDeviceSearch(), {entry});
        const QStandardItem* item = h.cameraModel()->item(0);
        QCOMPARE(item->data(Cam::Port), QVariant(port));
        QCOMPARE(item->data(Cam::UseSSL), QVariant(useSSL));
        QCOMPARE(item->data(Cam::StreamingProtocol), QVariant(protocol));
    }

    void packedIp_data()
    {
        QTest::addColumn<QString>("ip");
        QTest::addColumn<uint>("packed");
        QTest::newRow("192.168.1.20") << "192.168.1.20" << 3232235796u;
        QTest::newRow("255.255.255.255") << "255.255.255.255" << 4294967295u;
        QTest::newRow("three parts") << "10.0.0" << 0u;
        QTest::newRow("five parts") << "1.2.3.4.5" << 0u;
        QTest::newRow("empty") << "" << 0u;
        QTest::newRow("300 spills into the third byte") << "1.2.3.300" << 16909100u;
        QTest::newRow("300 first loses its high bits") << "300.0.0.1" << 738197505u;
        QTest::newRow("empty last part reads 0") << "1.2.3." << 16909056u;
        QTest::newRow("letters read 0") << "a.b.c.d" << 0u;
        QTest::newRow("IPv6") << "fe80::1" << 0u;
    }

    void packedIp()
    {
        QFETCH(QString, ip);
        QFETCH(uint, packed);
        PluginHarness h;
        ModelTesters testers(h);
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
        QTest::newRow("twelve digits") << "001122AABBCC" << "00-11-22-AA-BB-CC" << "00-11-22-AA-BB-CC";
        QTest::newRow("already hyphenated")
            << "00-11-22-AA-BB-CC" << "00-11-22-AA-BB-CC" << "0-0--11--2-2--AA--B-B--CC";
        QTest::newRow("odd length") << "abcdefghijk" << "a-bc-de-fg-hi-jk" << "a-bc-de-fg-hi-jk";
        QTest::newRow("three characters") << "abc" << "a-bc" << "a-bc";
        QTest::newRow("two characters") << "ab" << "ab" << "ab";
        QTest::newRow("empty") << "" << "" << "";
        QTest::newRow("one hyphen anywhere") << "a-b" << "a-b" << "a--b";
        QTest::newRow("dots are not hyphens") << "0011.22aa.bbcc" << "00-11-.2-2a-a.-bb-cc"
                                              << "00-11-.2-2a-a.-bb-cc";
    }

    void macRules()
    {
        QFETCH(QString, mac);
        QFETCH(QString, cameraMac);
        QFETCH(QString, stationMac);
        PluginHarness h;
        ModelTesters testers(h);
        h.answerSearch(h.startDeviceSearch(), {foundDevice("a", "10.0.0.1", 80, 0, mac)});
        h.answerSearch(h.startStationSearch(), {station("s", "", mac)});
        QCOMPARE(h.cameraModel()->item(0)->data(Cam::Mac).toString(), cameraMac);
        QCOMPARE(h.stationModel()->item(0)->data(Sta::Mac).toString(), stationMac);
    }

    void checkAuthSetsTheNewRowsStatus_data()
    {
        QTest::addColumn<QVariant>("checkAuth");
        QTest::addColumn<int>("status");
        QTest::newRow("true") << QVariant(true) << 0;
        QTest::newRow("false") << QVariant(false) << 6;
        QTest::newRow("missing") << QVariant() << 6;
        QTest::newRow("text true") << QVariant("true") << 0;
    }

    void checkAuthSetsTheNewRowsStatus()
    {
        QFETCH(QVariant, checkAuth);
        QFETCH(int, status);
        PluginHarness h;
        ModelTesters testers(h);
        QVariantMap answer{{"reqUID", h.startDeviceSearch()}, {"devList", QVariantList{foundDevice("a", "1.1.1.1")}}};
        if (checkAuth.isValid())
            answer.insert("checkAuth", checkAuth);
        h.answer("searchDevice", answer);
        QCOMPARE(h.cameraModel()->item(0)->data(Cam::Status), QVariant(status));

        // A station answer takes no notice of it.
        answer.insert("reqUID", h.startStationSearch());
        h.answer("searchDevice", answer);
        QCOMPARE(h.stationModel()->item(0)->data(Sta::Status), QVariant(6));
    }

    // A second entry for a camera already listed changes only brand and MAC, and only
    // when it reports brand 0 (a missing Brand counts as 0).
    void knownCameraUpdate_data()
    {
        QTest::addColumn<QVariantMap>("entry");
        QTest::addColumn<int>("brand");
        QTest::addColumn<QString>("brandName");
        QTest::addColumn<QString>("mac");
        const QVariantMap again = foundDevice("a", "10.9.9.9", 8000, 0, "112233445566", "Other");
        const auto with = [&](const char* key, const QVariant& value) {
            QVariantMap entry = again;
            if (value.isValid())
                entry.insert(key, value);
            else
                entry.remove(key);
            return entry;
        };
        QTest::newRow("brand 1 changes nothing") << with("Brand", 1) << 1 << "onvif" << "AA-BB-CC-DD-EE-FF";
        QTest::newRow("brand 2 changes nothing") << with("Brand", 2) << 1 << "onvif" << "AA-BB-CC-DD-EE-FF";
        QTest::newRow("brand 7 changes nothing") << with("Brand", 7) << 1 << "onvif" << "AA-BB-CC-DD-EE-FF";
        QTest::newRow("brand 0 takes brand and MAC") << again << 0 << "qrln" << "11-22-33-44-55-66";
        QTest::newRow("missing brand counts as 0") << with("Brand", QVariant()) << 0 << "qrln"
                                                   << "11-22-33-44-55-66";
        QTest::newRow("missing brand and MAC empties the MAC") << QVariantMap{{"delID", "a"}} << 0 << "qrln" << "";
        QTest::newRow("hyphenated MAC kept as is") << with("MAC", "11:22-33") << 0 << "qrln" << "11:22-33";
    }

    void knownCameraUpdate()
    {
        QFETCH(QVariantMap, entry);
        QFETCH(int, brand);
        QFETCH(QString, brandName);
        QFETCH(QString, mac);
        PluginHarness h;
        ModelTesters testers(h);
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1", 80, 1, "AABBCCDDEEFF", "First")}, true);
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));

        h.answerSearch(id, {entry});
        QCOMPARE(answers.count(), 1);
        QCOMPARE(h.cameraModel()->rowCount(), 1);
        const QStandardItem* item = h.cameraModel()->item(0);
        QCOMPARE(item->data(Cam::Brand), QVariant(brand));
        QCOMPARE(item->data(Cam::BrandName), QVariant(brandName));
        QCOMPARE(item->data(Cam::Mac), QVariant(mac));
        QCOMPARE(item->data(Cam::Model), QVariant("First"));
        QCOMPARE(item->data(Cam::Ip), QVariant("10.0.0.1"));
        QCOMPARE(item->data(Cam::Port), QVariant(80));
        QCOMPARE(item->data(Cam::Status), QVariant(0));
    }

    void oneBatchSeesItsOwnRows()
    {
        PluginHarness h;
        ModelTesters testers(h);
        h.answerSearch(h.startDeviceSearch(), {foundDevice("a", "10.0.0.1", 80, 1, "AABBCCDDEEFF"),
                                               foundDevice("a", "10.0.0.2", 80, 2), foundDevice("b", "10.0.0.3"),
                                               foundDevice("a", "10.0.0.4", 80, 0, "112233445566")});
        QCOMPARE(column(h.cameraModel(), Cam::Ip), QStringLiteral("10.0.0.1,10.0.0.3"));
        QCOMPARE(column(h.cameraModel(), Cam::BrandName), QStringLiteral("qrln,qrln"));
        QCOMPARE(column(h.cameraModel(), Cam::Mac), QStringLiteral("11-22-33-44-55-66,00-11-22-AA-BB-CC"));
    }

    // Ids are compared exactly: letter case makes a different camera.
    void idsAreCaseSensitive()
    {
        PluginHarness h;
        ModelTesters testers(h);
        const QString id = h.startDeviceSearch();
        h.answerSearch(id, {foundDevice("cam", "10.0.0.1", 80, 1)});
        h.answerSearch(id, {foundDevice("CAM", "10.0.0.2", 80, 0)});
        QCOMPARE(column(h.cameraModel(), Cam::Id), QStringLiteral("cam,CAM"));
        QCOMPARE(column(h.cameraModel(), Cam::Brand), QStringLiteral("1,0"));
    }

    void oddDeviceLists_data()
    {
        QTest::addColumn<QVariant>("devList"); // invalid: key left out
        QTest::addColumn<int>("rows");
        QTest::newRow("missing") << QVariant() << 0;
        QTest::newRow("text") << QVariant("devices") << 0;
        QTest::newRow("bytes") << QVariant(QByteArray("devices")) << 0;
        QTest::newRow("a map") << QVariant(QVariantMap{{"delID", "a"}}) << 0;
        QTest::newRow("empty list") << QVariant(QVariantList()) << 0;
        // Elements that are not maps read as empty entries, all with the same empty id.
        QTest::newRow("list of non-maps") << QVariant(QVariantList{"x", 5, QVariant()}) << 1;
    }

    void oddDeviceLists()
    {
        QFETCH(QVariant, devList);
        QFETCH(int, rows);
        PluginHarness h;
        ModelTesters testers(h);
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QSignalSpy stationAnswers(h.object(), SIGNAL(searchStationsResp(bool,bool)));
        QVariantMap answer{{"reqUID", h.startDeviceSearch()}};
        if (devList.isValid())
            answer.insert("devList", devList);
        h.answer("searchDevice", answer);
        answer.insert("reqUID", h.startStationSearch());
        h.answer("searchDevice", answer);

        QCOMPARE(answers.count(), 1);
        QCOMPARE(answers.at(0).at(0).toBool(), true);
        QCOMPARE(stationAnswers.count(), 1);
        QCOMPARE(stationAnswers.at(0).at(0).toBool(), true);
        QCOMPARE(h.cameraModel()->rowCount(), rows);
        QCOMPARE(h.stationModel()->rowCount(), rows == 0 ? 0 : devList.toList().size());
        if (rows) {
            const QStandardItem* item = h.cameraModel()->item(0);
            QCOMPARE(item->data(Cam::Id), QVariant(QString()));
            QCOMPARE(item->data(Cam::Port), QVariant(0));
            QCOMPARE(item->data(Cam::StreamingProtocol), QVariant("HTTPS"));
            QCOMPARE(item->data(Cam::BrandName), QVariant("qrln"));
        }
    }

    void answersOfSupersededSearchesAreDropped()
    {
        PluginHarness h;
        ModelTesters testers(h);
        const QString oldDevices = h.startDeviceSearch();
        const QString oldStations = h.startStationSearch();
        const QString devices = h.startDeviceSearch();
        const QString stations = h.startStationSearch();
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QSignalSpy stationAnswers(h.object(), SIGNAL(searchStationsResp(bool,bool)));

        for (const QString& id : {oldDevices, oldStations, oldDevices.toUpper(), QString("{unknown}")})
            h.answerSearch(id, {foundDevice("x", "10.0.0.1")}, false, "1");
        h.answerSearch(oldDevices, {foundDevice("x", "10.0.0.1")});
        QCOMPARE(answers.count() + stationAnswers.count(), 0);
        QCOMPARE(h.cameraModel()->rowCount() + h.stationModel()->rowCount(), 0);

        h.answerSearch(devices, {foundDevice("a", "10.0.0.1")});
        h.answerSearch(stations, {station("s", "")});
        QCOMPARE(answers.count(), 1);
        QCOMPARE(stationAnswers.count(), 1);
    }

    // Before any search both stored ids are empty; the device search is asked first.
    void deviceSearchIdIsTestedFirst()
    {
        PluginHarness h;
        ModelTesters testers(h);
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
        h.answerSearch(stationId, {station("s", "")});
        QCOMPARE(stationAnswers.count(), 1);
        QCOMPARE(h.stationModel()->rowCount(), 1);
    }

    void answersKeepComingAfterDone()
    {
        PluginHarness h;
        ModelTesters testers(h);
        const QString id = h.startDeviceSearch();
        const QString stationId = h.startStationSearch();
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QSignalSpy stationAnswers(h.object(), SIGNAL(searchStationsResp(bool,bool)));

        h.answerSearch(id, {foundDevice("a", "10.0.0.1")}, false, "0", false);
        h.answerSearch(id, {foundDevice("b", "10.0.0.2")}, false, "0", true);
        h.answerSearch(id, {foundDevice("c", "10.0.0.3")}, false, "0", true);
        h.answerSearch(id, {foundDevice("d", "10.0.0.4")}, false, "7", false);
        QCOMPARE(answers.count(), 4);
        QCOMPARE(answers.at(0), QVariantList({true, false}));
        QCOMPARE(answers.at(1), QVariantList({true, true}));
        QCOMPARE(answers.at(2), QVariantList({true, true}));
        QCOMPARE(answers.at(3), QVariantList({false, false}));
        QCOMPARE(column(h.cameraModel(), Cam::Id), QStringLiteral("a,b,c"));

        h.answerSearch(stationId, {station("s1", "")}, false, "0", true);
        h.answerSearch(stationId, {station("s2", "")}, false, "0", true);
        h.answerSearch(stationId, {station("s3", "")}, false, "2", true);
        QCOMPARE(stationAnswers.count(), 3);
        QCOMPARE(stationAnswers.at(2), QVariantList({false, true}));
        QCOMPARE(column(h.stationModel(), Sta::Id), QStringLiteral("s1,s2"));
    }

    void slotsSeeTheMergedRows()
    {
        PluginHarness h;
        ModelTesters testers(h);
        RowProbe probe(h);
        const QString id = h.startDeviceSearch();
        h.answerSearch(id, {foundDevice("a", "10.0.0.1"), foundDevice("b", "10.0.0.2")}, false, "0", false);
        h.answerSearch(id, {foundDevice("c", "10.0.0.3")});
        h.answerSearch(h.startStationSearch(), {station("s1", ""), station("s2", ""), station("s3", "")});
        QCOMPARE(probe.cameraRows, QList<int>({2, 3}));
        QCOMPARE(probe.stationRows, QList<int>({3}));
    }

    void stationRowRoles()
    {
        PluginHarness h;
        ModelTesters testers(h);
        QVariantMap entry{{"delID", "st-1"},      {"Model", "NVR-8"},     {"MAC", "001122AABBCC"},
                          {"IP", "10.0.0.5"},     {"HttpPort", 0},        {"HttpsPort", 443},
                          {"searchType", 24},     {"Brand", 7},           {"HostName", "store-nvr"},
                          {"QRLNModel", "QX-1"},  {"Password", "secret"}};
        h.answerSearch(h.startStationSearch(), {entry});
        const QStandardItem* item = h.stationModel()->item(0);
        QCOMPARE(h.stationModel()->columnCount(), 1);
        const QList<QPair<int, QVariant>> expected{
            {Sta::Id, QString("st-1")},          {Sta::Model, QString("NVR-8")},
            {Sta::Mac, QString("00-11-22-AA-BB-CC")}, {Sta::Ip, QString("10.0.0.5")},
            {Sta::Port, 0},                      {Sta::Type, 24},
            {Sta::Brand, 7},                     {Sta::BrandName, QString("-1")},
            {Sta::Status, 6},                    {Sta::HostName, QString("store-nvr")},
            {Sta::HttpsPort, 443},               {Sta::Password, QVariant()},
            {Sta::QrlnModel, QString("QX-1")},   {Qt::UserRole, QVariant()},
        };
        for (const auto& [role, value] : expected) {
            const QVariant actual = item->data(role);
            QVERIFY2(actual.metaType() == value.metaType() && actual == value,
                     qPrintable(QString("role %1").arg(role)));
        }
    }

    void qrlnModelBrandFiltersStations_data()
    {
        QTest::addColumn<QString>("brand");
        QTest::addColumn<QString>("accepted");
        // Entries: xxABCyy, abc, ABC, (no QRLNModel)
        QTest::newRow("empty brand takes all") << "" << "1,2,3,4";
        QTest::newRow("ABC inside") << "ABC" << "1,3";
        QTest::newRow("lower case") << "abc" << "2";
        QTest::newRow("no match") << "Z" << "";
    }

    void qrlnModelBrandFiltersStations()
    {
        QFETCH(QString, brand);
        QFETCH(QString, accepted);
        PluginHarness h;
        ModelTesters testers(h);
        h.call("setQRLNModelBrand", {brand});
        QVariantMap noModel = station("4", "");
        noModel.remove("QRLNModel");
        h.answerSearch(h.startStationSearch(), {station("1", "xxABCyy"), station("2", "abc"), station("3", "ABC"),
                                                noModel});
        QCOMPARE(column(h.stationModel(), Sta::Id), accepted);
        // The camera search is not filtered by it.
        h.answerSearch(h.startDeviceSearch(), {station("c", "other")});
        QCOMPARE(h.cameraModel()->rowCount(), 1);
    }

    void stationsAreNeverMerged()
    {
        PluginHarness h;
        ModelTesters testers(h);
        const QString id = h.startStationSearch();
        h.answerSearch(id, {station("s", "")}, false, "0", false);
        h.answerSearch(id, {station("s", ""), station("s", "")});
        QCOMPARE(column(h.stationModel(), Sta::Id), QStringLiteral("s,s,s"));
    }

    void failedAnswerLeavesTheModels()
    {
        PluginHarness h;
        ModelTesters testers(h);
        const QString id = h.startDeviceSearch();
        h.answerSearch(id, {foundDevice("a", "10.0.0.1")}, false, "0", false);
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QSignalSpy inserted(h.cameraModel(), &QAbstractItemModel::rowsInserted);
        QSignalSpy changed(h.cameraModel(), &QAbstractItemModel::dataChanged);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1", 80, 0, "FFFFFFFFFFFF"), foundDevice("b", "10.0.0.2")},
                       true, "1", true);
        QCOMPARE(answers.count(), 1);
        QCOMPARE(answers.at(0), QVariantList({false, true}));
        QCOMPARE(inserted.count() + changed.count(), 0);
    }
};

QTEST_MAIN(tst_SearchAnswers)
#include "tst_search_answers.moc"
