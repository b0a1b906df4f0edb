// Search answers and detection events as a careless or hostile server might send
// them: lists that are not lists, entries that are not maps, values of the wrong
// type or size, answers and events for requests and devices that are not current,
// and batches of 100,000 entries.
#include "HostileHelpers.h"

#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <memory>

namespace {

const QString kSearchDevice = QStringLiteral("searchDevice");
const QString kDetection = QStringLiteral("detCamResEvt");

} // namespace

class tst_HostileAnswers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oddDeviceLists_data()
    {
        QTest::addColumn<QVariant>("devList");
        QTest::addColumn<QString>("newIds");

        QTest::newRow("devList is a string") << QVariant(QStringLiteral("c")) << QString();
        QTest::newRow("devList is a map") << QVariant(foundDevice("c", "10.0.0.3")) << QString();
        QTest::newRow("non-map elements make one empty entry, a map keeps its place")
            << QVariant(QVariantList{QStringLiteral("x"), foundDevice("c", "10.0.0.3"), 5, QVariant::fromValue(nullptr)})
            << QStringLiteral(",,c");
    }

    // The rows already there stay, the answer still counts as a success, and
    // whatever is not a map reads as an entry whose texts are empty.
    void oddDeviceLists()
    {
        QFETCH(QVariant, devList);
        QFETCH(QString, newIds);

        Populated h;
        const QString before = column(h.cameraModel(), Cam::Id);
        QSignalSpy answered(h.object(), SIGNAL(searchDevicesResp(bool, bool)));

        h.answer(kSearchDevice, QVariantMap{{QStringLiteral("reqUID"), h.search}, {QStringLiteral("devList"), devList}});

        QCOMPARE(answered.count(), 1);
        QCOMPARE(answered.first().at(0).toBool(), true);
        QCOMPARE(column(h.cameraModel(), Cam::Id), before + newIds);
        QCOMPARE(stations(h), h.stationsBefore);
        if (!newIds.isEmpty()) {
            QCOMPARE(cameraData(h, QString(), Cam::BrandName).toString(), QStringLiteral("qrln"));
            QCOMPARE(cameraData(h, QString(), Cam::Status).toInt(), int(NotChecked));
        }
    }

    // Wrong types read as text, empty or 0; numbers beyond int read as some int
    // (no expected text). The new row comes last and nothing else moves.
    void mistypedEntryValues_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("expected");

        QTest::newRow("numeric id reads as its text") << "delID" << QVariant(7) << int(Cam::Id) << "7";
        QTest::newRow("list id reads as empty") << "delID" << QVariant(QVariantList{1}) << int(Cam::Id) << "";
        QTest::newRow("port as a word is 0, so HTTPS") << "HttpPort" << QVariant(QStringLiteral("http"))
                                                       << int(Cam::Port) << "443";
        QTest::newRow("negative port is kept") << "HttpPort" << QVariant(-1) << int(Cam::Port) << "-1";
        QTest::newRow("port beyond int") << "HttpPort" << QVariant(qint64(1) << 40) << int(Cam::Port) << QString();
        QTest::newRow("port as NaN") << "HttpPort" << QVariant(qQNaN()) << int(Cam::Port) << QString();
        QTest::newRow("brand as a word is 0") << "Brand" << QVariant(QStringLiteral("onvif")) << int(Cam::BrandName)
                                              << "qrln";
        QTest::newRow("brand beyond int") << "Brand" << QVariant(qint64(1) << 40) << int(Cam::Brand) << QString();
        QTest::newRow("numeric MAC gets hyphens") << "MAC" << QVariant(12345) << int(Cam::Mac) << "1-23-45";
    }

    void mistypedEntryValues()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(int, role);
        QFETCH(QString, expected);

        Populated h;
        QVariantMap device = with(foundDevice("c", "10.0.0.3", 80), key, value);
        device.insert(QStringLiteral("HttpsPort"), 443);
        h.answerSearch(h.search, {device});

        QCOMPARE(h.cameraModel()->rowCount(), 4);
        QVERIFY(cameras(h).startsWith(h.camerasBefore));
        const QVariant stored = h.cameraModel()->index(3, 0).data(role);
        if (expected.isNull())
            QCOMPARE(stored.metaType().id(), int(QMetaType::Int));
        else
            QCOMPARE(stored.toString(), expected);
    }

    // Hyphens used to be inserted one by one, moving the rest of the text each time:
    // a MAC of a few megabytes held the GUI thread for minutes.
    void megabyteMacIsHyphenatedInOnePass()
    {
        CheckedHarness h;
        const QString mac(2 << 20, QLatin1Char('A'));
        h.answerSearch(h.startDeviceSearch(), {foundDevice("c", "10.0.0.3", 80, 0, mac)});
        h.answerSearch(h.startStationSearch(), {foundDevice("s", "10.0.0.4", 80, 0, mac)});

        const QString stored = h.cameraModel()->index(0, 0).data(Cam::Mac).toString();
        QCOMPARE(stored.size(), mac.size() + mac.size() / 2 - 1);
        QVERIFY(stored.startsWith(QStringLiteral("AA-AA-")) && stored.endsWith(QStringLiteral("-AA")));
        QCOMPARE(h.stationModel()->index(0, 0).data(Station::Mac).toString(), stored);
    }

    void stationBrandsOutsideTheKnownOnes_data()
    {
        QTest::addColumn<int>("brand");

        QTest::newRow("3") << 3;
        QTest::newRow("-1") << -1;
        QTest::newRow("largest int") << INT_MAX;
        QTest::newRow("smallest int") << INT_MIN;
    }

    // The station row builder once cast any number from the server to the brand
    // enumeration, whose values end at 2: undefined behaviour, found by the fuzzer.
    void stationBrandsOutsideTheKnownOnes()
    {
        QFETCH(int, brand);

        CheckedHarness h;
        h.answerSearch(h.startStationSearch(), {foundDevice("s", "10.0.1.1", 80, brand)});
        h.call("addStation", {foundDevice("t", "10.0.1.2", 80, brand)});

        QCOMPARE(h.stationModel()->rowCount(), 2);
        for (int row = 0; row < 2; ++row) {
            QCOMPARE(h.stationModel()->index(row, 0).data(Station::Brand).toInt(), brand);
            QCOMPARE(h.stationModel()->index(row, 0).data(Station::BrandName).toString(), QStringLiteral("-1"));
        }
    }

    void mistypedDetectionResults_data()
    {
        QTest::addColumn<QVariant>("detRes");
        QTest::addColumn<int>("status");

        QTest::newRow("null reads as 0") << QVariant::fromValue(nullptr) << int(Authorized);
        QTest::newRow("a word reads as 0") << QVariant(QStringLiteral("abc")) << int(Authorized);
        QTest::newRow("a list reads as 0") << QVariant(QVariantList{1}) << int(Authorized);
        QTest::newRow("digits") << QVariant(QStringLiteral("1")) << int(DetectCode1);
        QTest::newRow("largest int") << QVariant(INT_MAX) << int(Failed);
        QTest::newRow("smallest int") << QVariant(INT_MIN) << int(Failed);
    }

    void mistypedDetectionResults()
    {
        QFETCH(QVariant, detRes);
        QFETCH(int, status);

        Populated h;
        h.event(kDetection, QVariantMap{{QStringLiteral("reqUID"), h.search}, {QStringLiteral("delID"), QStringLiteral("b")},
                                        {QStringLiteral("detRes"), detRes}, {QStringLiteral("Model"), 42},
                                        {QStringLiteral("MAC"), QVariantList{}},
                                        {QStringLiteral("ChannelNum"), QStringLiteral("four")}});

        QCOMPARE(cameraData(h, "b", Cam::Status).toInt(), status);
        QCOMPARE(cameraData(h, "a", Cam::Status).toInt(), int(NotChecked));
        if (status == Authorized) {
            // Mistyped details read as text, empty and 0.
            QCOMPARE(cameraData(h, "b", Cam::Model).toString(), QStringLiteral("42"));
            QCOMPARE(cameraData(h, "b", Cam::Mac).toString(), QString());
            QCOMPARE(cameraData(h, "b", Cam::ChannelNum).toInt(), 0);
        }
        QCOMPARE(h.cameraModel()->rowCount(), 3);
    }

    void repliesThatChangeNothing_data()
    {
        QTest::addColumn<QString>("name");  // the command answered or the event raised
        QTest::addColumn<QString>("payload");

        QTest::newRow("answer to a superseded search") << kSearchDevice << "superseded";
        QTest::newRow("answer for an unknown request") << kSearchDevice << "unknownRequest";
        QTest::newRow("answer whose request id is a list") << kSearchDevice << "listRequest";
        QTest::newRow("answer is a string") << kSearchDevice << "string";
        QTest::newRow("answer is null") << kSearchDevice << "null";
        QTest::newRow("detection for a station's id") << kDetection << "stationId";
        QTest::newRow("detection whose id is a list") << kDetection << "listId";
        QTest::newRow("detection data is a string") << kDetection << "string";
        QTest::newRow("detection data is null") << kDetection << "null";
        QTest::newRow("unknown event") << QStringLiteral("somethingElse") << "detection";
    }

    void repliesThatChangeNothing()
    {
        QFETCH(QString, name);
        QFETCH(QString, payload);

        CheckedHarness h;
        const QString superseded = populate(h);
        const QString search = h.startDeviceSearch();
        h.answerSearch(search, {foundDevice("a", "10.0.0.2")});
        auto reply = [&](const QVariant& request, const QVariant& id) {
            return QVariantMap{{"reqUID", request}, {"delID", id}, {"detRes", 0}, {"Model", "X"},
                               {"devList", QVariantList{foundDevice("new", "10.9.9.9")}}};
        };
        const QMap<QString, QVariant> payloads{
            {"superseded", reply(superseded, "a")}, {"unknownRequest", reply("{not-a-search}", "a")},
            {"listRequest", reply(QVariantList{search}, "a")}, {"listId", reply(search, QVariantList{"a"})},
            {"stationId", reply(search, h.stationModel()->index(0, 0).data(Station::Id))},
            {"detection", reply(search, "a")}, {"string", "a"}, {"null", QVariant::fromValue(nullptr)}};

        const QString before = cameras(h);
        const QString stationsBefore = stations(h);
        QSignalSpy devices(h.object(), SIGNAL(searchDevicesResp(bool, bool)));
        QSignalSpy stationAnswers(h.object(), SIGNAL(searchStationsResp(bool, bool)));
        if (name == kSearchDevice)
            h.answer(name, payloads.value(payload));
        else
            h.event(name, payloads.value(payload));

        QCOMPARE(cameras(h), before);
        QCOMPARE(stations(h), stationsBefore);
        QCOMPARE(devices.count(), 0);
        QCOMPARE(stationAnswers.count(), 0);
    }

    void bigBatches_data()
    {
        QTest::addColumn<int>("count");

        // The model tester walks the whole model after every insertion, so it watches
        // the smaller batch only.
        QTest::newRow("1,000 entries, every model signal checked") << 1000;
        QTest::newRow("100,000 entries") << 100000;
    }

    // Big batches in one answer, while the camera view is filtered and sorted.
    void bigBatches()
    {
        QFETCH(int, count);
        PluginHarness h;
        std::unique_ptr<ModelTesters> testers(count <= 1000 ? new ModelTesters(h) : nullptr);
        const QString search = populate(h);
        metaCall(h.cameraProxy(), "sortByRole", {Cam::Ip});
        metaCall(h.cameraProxy(), "setFilterString", {QStringLiteral("10.")});

        QVariantList batch;
        batch.reserve(count);
        for (int i = 0; i < count; ++i)
            batch.append(foundDevice(QString::number(i), QStringLiteral("10.%1.%2.%3").arg(i >> 16).arg((i >> 8) & 255).arg(i & 255), 80, 1));
        const QString before = cameras(h);

        h.answerSearch(search, batch);
        QCOMPARE(h.cameraModel()->rowCount(), count + 3);
        QVERIFY(cameras(h).startsWith(before));
        QCOMPARE(h.cameraModel()->index(count + 2, 0).data(Cam::Id).toString(), QString::number(count - 1));

        // The same devices again: every row is known, nothing is added.
        h.answerSearch(search, batch);
        QCOMPARE(h.cameraModel()->rowCount(), count + 3);

        // One id that many times makes one row.
        h.answerSearch(search, QVariantList(count, foundDevice("same", "10.1.1.1", 80, 1)));
        QCOMPARE(h.cameraModel()->rowCount(), count + 4);
    }
};

QTEST_MAIN(tst_HostileAnswers)
#include "tst_hostile_answers.moc"
