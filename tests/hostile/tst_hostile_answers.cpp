// Search answers and detection events as a careless or hostile server might send
// them: lists that are not lists, entries that are not maps, values of the wrong
// type or size, answers and events for requests and devices that are not current,
// and batches of 100,000 entries.
#include "HostileHelpers.h"

#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <limits>
#include <memory>

namespace {

const QString kSearchDevice = QStringLiteral("searchDevice");
const QString kDetection = QStringLiteral("detCamResEvt");

QVariantMap with(QVariantMap map, const QString& key, const QVariant& value)
{
    if (value.isValid())
        map.insert(key, value);
    else
        map.remove(key);
    return map;
}

} // namespace

class tst_HostileAnswers : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void oddDeviceLists_data()
    {
        QTest::addColumn<QVariant>("devList");
        QTest::addColumn<QString>("newIds");

        const QVariant none;
        QTest::newRow("devList is a string") << QVariant(QStringLiteral("c")) << QString();
        QTest::newRow("devList is a map") << QVariant(foundDevice("c", "10.0.0.3")) << QString();
        QTest::newRow("devList is a number") << QVariant(7) << QString();
        QTest::newRow("devList is null") << QVariant::fromValue(nullptr) << QString();
        QTest::newRow("devList is missing") << none << QString();
        QTest::newRow("non-map elements make one empty entry")
            << QVariant(QVariantList{QStringLiteral("x"), 5, none, QVariantList{1, 2}, QVariant::fromValue(nullptr)})
            << QStringLiteral(",");
        QTest::newRow("a map between non-map elements keeps its place")
            << QVariant(QVariantList{QStringLiteral("x"), foundDevice("c", "10.0.0.3"), 5}) << QStringLiteral(",,c");
        QTest::newRow("a string list is a list of non-maps")
            << QVariant(QStringList{QStringLiteral("c"), QStringLiteral("d")}) << QStringLiteral(",");
    }

    // The rows already there stay, the answer still counts as a success, and
    // whatever is not a map reads as an entry whose texts are empty.
    void oddDeviceLists()
    {
        QFETCH(QVariant, devList);
        QFETCH(QString, newIds);

        PluginHarness h;
        ModelGuard guard(h);
        const QString search = populate(h);
        const QString before = column(h.cameraModel(), Cam::Id);
        const QString stationsBefore = stations(h);
        QSignalSpy answered(h.object(), SIGNAL(searchDevicesResp(bool, bool)));

        h.answer(kSearchDevice, with(QVariantMap{{QStringLiteral("reqUID"), search}}, QStringLiteral("devList"),
                                     devList));

        QCOMPARE(answered.count(), 1);
        QCOMPARE(answered.first().at(0).toBool(), true);
        QCOMPARE(column(h.cameraModel(), Cam::Id), before + newIds);
        QCOMPARE(stations(h), stationsBefore);
    }

    void nonMapEntryReadsAsEmpty()
    {
        PluginHarness h;
        ModelGuard guard(h);
        const QString search = h.startDeviceSearch();
        h.answerSearch(search, {QStringLiteral("not a device")});

        QCOMPARE(h.cameraModel()->rowCount(), 1);
        const QModelIndex row = h.cameraModel()->index(0, 0);
        QCOMPARE(row.data(Cam::Id).toString(), QString());
        QCOMPARE(row.data(Cam::Ip).toString(), QString());
        QCOMPARE(row.data(Cam::Mac).toString(), QString());
        QCOMPARE(row.data(Cam::Port).toInt(), 0);
        QCOMPARE(row.data(Cam::UseSSL).toBool(), true);
        QCOMPARE(row.data(Cam::StreamingProtocol).toString(), QStringLiteral("HTTPS"));
        QCOMPARE(row.data(Cam::BrandName).toString(), QStringLiteral("qrln"));
        QCOMPARE(row.data(Cam::Status).toInt(), int(NotChecked));
    }

    void mistypedEntryValues_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("expected");

        const QVariant none;
        QTest::newRow("numeric id reads as its text") << "delID" << QVariant(7) << int(Cam::Id) << "7";
        QTest::newRow("list id reads as empty") << "delID" << QVariant(QVariantList{1}) << int(Cam::Id) << "";
        QTest::newRow("port as digits") << "HttpPort" << QVariant(QStringLiteral("8080")) << int(Cam::Port) << "8080";
        QTest::newRow("port as a word is 0, so HTTPS") << "HttpPort" << QVariant(QStringLiteral("http"))
                                                       << int(Cam::Port) << "443";
        QTest::newRow("missing port is 0, so HTTPS") << "HttpPort" << none << int(Cam::Port) << "443";
        QTest::newRow("negative port is kept") << "HttpPort" << QVariant(-1) << int(Cam::Port) << "-1";
        QTest::newRow("largest int port is kept") << "HttpPort" << QVariant(INT_MAX) << int(Cam::Port)
                                                  << QString::number(INT_MAX);
        QTest::newRow("brand as digits") << "Brand" << QVariant(QStringLiteral("1")) << int(Cam::BrandName)
                                         << "onvif";
        QTest::newRow("unknown brand") << "Brand" << QVariant(7) << int(Cam::BrandName) << "-1";
        QTest::newRow("negative brand") << "Brand" << QVariant(-1) << int(Cam::BrandName) << "-1";
        QTest::newRow("brand as a word is 0") << "Brand" << QVariant(QStringLiteral("onvif")) << int(Cam::BrandName)
                                              << "qrln";
        QTest::newRow("numeric MAC gets hyphens") << "MAC" << QVariant(12345) << int(Cam::Mac) << "1-23-45";
        QTest::newRow("list MAC reads as empty") << "MAC" << QVariant(QVariantList{1, 2}) << int(Cam::Mac) << "";
        QTest::newRow("numeric IP") << "IP" << QVariant(10) << int(Cam::Ip) << "10";
        QTest::newRow("null model") << "Model" << QVariant::fromValue(nullptr) << int(Cam::Model) << "";
        QTest::newRow("type as digits") << "searchType" << QVariant(QStringLiteral("24")) << int(Cam::Type) << "24";
    }

    void mistypedEntryValues()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);
        QFETCH(int, role);
        QFETCH(QString, expected);

        PluginHarness h;
        ModelGuard guard(h);
        const QString search = h.startDeviceSearch();
        QVariantMap device = with(foundDevice("c", "10.0.0.3", 80), key, value);
        if (key == QLatin1String("HttpPort"))
            device.insert(QStringLiteral("HttpsPort"), 443);
        h.answerSearch(search, {device});

        QCOMPARE(h.cameraModel()->rowCount(), 1);
        QCOMPARE(h.cameraModel()->index(0, 0).data(role).toString(), expected);
    }

    // Hyphens used to be inserted one by one, moving the rest of the text each time:
    // a MAC of a few megabytes held the GUI thread for minutes.
    void megabyteMacIsHyphenatedInOnePass()
    {
        PluginHarness h;
        ModelGuard guard(h);
        const QString mac(2 << 20, QLatin1Char('A'));
        const QString search = h.startDeviceSearch();
        h.answerSearch(search, {foundDevice("c", "10.0.0.3", 80, 0, mac)});
        const QString stationSearch = h.startStationSearch();
        h.answerSearch(stationSearch, {foundDevice("s", "10.0.0.4", 80, 0, mac)});

        const QString stored = h.cameraModel()->index(0, 0).data(Cam::Mac).toString();
        QCOMPARE(stored.size(), mac.size() + mac.size() / 2 - 1);
        QVERIFY(stored.startsWith(QStringLiteral("AA-AA-")) && stored.endsWith(QStringLiteral("-AA")));
        QCOMPARE(h.stationModel()->index(0, 0).data(Qt::UserRole + 3).toString(), stored);
    }

    // Numbers beyond int read as some int; the row is there and nothing else moved.
    void hugeNumbersAreSurvived_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("value");

        QTest::newRow("port beyond int") << "HttpPort" << QVariant(qint64(1) << 40);
        QTest::newRow("port below int") << "HttpPort" << QVariant(-(qint64(1) << 40));
        QTest::newRow("port as the largest unsigned") << "HttpPort" << QVariant(std::numeric_limits<quint64>::max());
        QTest::newRow("port as infinity") << "HttpPort" << QVariant(qInf());
        QTest::newRow("port as NaN") << "HttpPort" << QVariant(qQNaN());
        QTest::newRow("brand beyond int") << "Brand" << QVariant(qint64(1) << 40);
        QTest::newRow("type as a huge double") << "searchType" << QVariant(1e300);
    }

    void hugeNumbersAreSurvived()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, value);

        PluginHarness h;
        ModelGuard guard(h);
        const QString search = populate(h);
        const QString before = cameras(h);
        h.answerSearch(search, {with(foundDevice("c", "10.0.0.3"), key, value)});

        QCOMPARE(h.cameraModel()->rowCount(), 4);
        QVERIFY(cameras(h).startsWith(before));
        QCOMPARE(cameraId(h, 3), QStringLiteral("c"));
        QCOMPARE(h.cameraModel()->index(3, 0).data(Cam::Port).metaType().id(), int(QMetaType::Int));
    }

    void stationBrandsOutsideTheKnownOnes_data()
    {
        QTest::addColumn<int>("brand");

        QTest::newRow("3") << 3;
        QTest::newRow("7") << 7;
        QTest::newRow("-1") << -1;
        QTest::newRow("largest int") << INT_MAX;
        QTest::newRow("smallest int") << INT_MIN;
    }

    // The station row builder once cast any number from the server to the brand
    // enumeration, whose values end at 2: undefined behaviour, found by the fuzzer.
    void stationBrandsOutsideTheKnownOnes()
    {
        QFETCH(int, brand);

        PluginHarness h;
        ModelGuard guard(h);
        const QString stationSearch = h.startStationSearch();
        h.answerSearch(stationSearch, {foundDevice("s", "10.0.1.1", 80, brand)});
        h.call("addStation", {foundDevice("t", "10.0.1.2", 80, brand)});

        QCOMPARE(h.stationModel()->rowCount(), 2);
        for (int row = 0; row < 2; ++row) {
            QCOMPARE(h.stationModel()->index(row, 0).data(Qt::UserRole + 7).toInt(), brand);
            QCOMPARE(h.stationModel()->index(row, 0).data(Qt::UserRole + 8).toString(), QStringLiteral("-1"));
        }
    }

    void mistypedDetectionResults_data()
    {
        QTest::addColumn<QVariant>("detRes");
        QTest::addColumn<int>("status");

        QTest::newRow("missing reads as 0") << QVariant() << int(Authorized);
        QTest::newRow("null reads as 0") << QVariant::fromValue(nullptr) << int(Authorized);
        QTest::newRow("a word reads as 0") << QVariant(QStringLiteral("abc")) << int(Authorized);
        QTest::newRow("a list reads as 0") << QVariant(QVariantList{1}) << int(Authorized);
        QTest::newRow("digits") << QVariant(QStringLiteral("1")) << int(DetectCode1);
        QTest::newRow("true is 1") << QVariant(true) << int(DetectCode1);
        QTest::newRow("double 2") << QVariant(2.0) << int(DetectCode2);
        QTest::newRow("negative") << QVariant(-1) << int(Failed);
        QTest::newRow("largest int") << QVariant(INT_MAX) << int(Failed);
        QTest::newRow("smallest int") << QVariant(INT_MIN) << int(Failed);
    }

    void mistypedDetectionResults()
    {
        QFETCH(QVariant, detRes);
        QFETCH(int, status);

        PluginHarness h;
        ModelGuard guard(h);
        const QString search = populate(h);
        const QVariantMap event{{QStringLiteral("reqUID"), search}, {QStringLiteral("delID"), QStringLiteral("b")},
                                {QStringLiteral("Model"), 42}, {QStringLiteral("MAC"), QVariantList{}},
                                {QStringLiteral("ChannelNum"), QStringLiteral("four")}};
        h.event(kDetection, with(event, QStringLiteral("detRes"), detRes));

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

    void eventsThatChangeNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("data");  // which payload, built in the test from the live ids
        QTest::addColumn<QString>("error");

        QTest::newRow("unknown id") << kDetection << 0 << QString();
        QTest::newRow("a station's id") << kDetection << 1 << QString();
        QTest::newRow("id as a list") << kDetection << 2 << QString();
        QTest::newRow("superseded search") << kDetection << 3 << QString();
        QTest::newRow("station search") << kDetection << 4 << QString();
        QTest::newRow("data is a string") << kDetection << 5 << QString();
        QTest::newRow("data is a list") << kDetection << 6 << QString();
        QTest::newRow("data is null") << kDetection << 7 << QString();
        QTest::newRow("data is missing") << kDetection << 8 << QString();
        QTest::newRow("with an error text") << kDetection << 9 << QStringLiteral("timeout");
        QTest::newRow("name in other letter case") << QStringLiteral("DetCamResEvt") << 9 << QString();
        QTest::newRow("unknown event") << QStringLiteral("somethingElse") << 9 << QString();
        QTest::newRow("empty name") << QString() << 9 << QString();
    }

    void eventsThatChangeNothing()
    {
        QFETCH(QString, name);
        QFETCH(int, data);
        QFETCH(QString, error);

        PluginHarness h;
        ModelGuard guard(h);
        const QString superseded = populate(h);
        h.answerSearch(superseded, {foundDevice("c", "10.0.0.3")});
        const QString search = h.startDeviceSearch();  // superseded is now stale, the model empty
        h.answerSearch(search, {foundDevice("a", "10.0.0.2"), foundDevice("c", "10.0.0.3")});
        const QString stationId = h.stationModel()->index(0, 0).data(Station::Id).toString();

        auto detection = [&](const QVariant& reqUid, const QVariant& id) {
            return QVariant(QVariantMap{{QStringLiteral("reqUID"), reqUid}, {QStringLiteral("delID"), id},
                                        {QStringLiteral("detRes"), 0}, {QStringLiteral("Model"), QStringLiteral("X")}});
        };
        QString stationRequest;
        for (const SentCommand& sent : h.wrapper().sent) {
            if (sent.map().value(QStringLiteral("searchType")).toInt() == 24)
                stationRequest = sent.map().value(QStringLiteral("reqUID")).toString();
        }
        const QVariant payloads[] = {
            detection(search, QStringLiteral("zz")),
            detection(search, stationId),
            detection(search, QVariantList{QStringLiteral("a")}),
            detection(superseded, QStringLiteral("a")),
            detection(stationRequest, QStringLiteral("a")),
            QVariant(QStringLiteral("a")),
            QVariant(QVariantList{search, QStringLiteral("a")}),
            QVariant::fromValue(nullptr),
            QVariant(),
            detection(search, QStringLiteral("a")),
        };

        const QString before = cameras(h);
        const QString stationsBefore = stations(h);
        h.event(name, payloads[data], error);
        QCOMPARE(cameras(h), before);
        QCOMPARE(stations(h), stationsBefore);
    }

    void answersThatChangeNothing_data()
    {
        QTest::addColumn<int>("reqUid");  // which request id, chosen in the test
        QTest::addColumn<QVariant>("shape");
        QTest::addColumn<QString>("code");
        QTest::addColumn<int>("failures");  // searchDevicesResp(false, ...) expected

        const QVariant asMap(QVariantMap{});
        QTest::newRow("superseded search") << 0 << asMap << "0" << 0;
        QTest::newRow("search the host refused") << 1 << asMap << "0" << 0;
        QTest::newRow("unknown id") << 2 << asMap << "0" << 0;
        QTest::newRow("id as a list") << 3 << asMap << "0" << 0;
        QTest::newRow("no id") << 4 << asMap << "0" << 0;
        QTest::newRow("answer is a string") << 5 << QVariant(QStringLiteral("x")) << "0" << 0;
        QTest::newRow("answer is a list") << 5 << QVariant(QVariantList{1}) << "0" << 0;
        QTest::newRow("answer is null") << 5 << QVariant::fromValue(nullptr) << "0" << 0;
        QTest::newRow("current search, failure code") << 6 << asMap << "1" << 1;
        QTest::newRow("current search, empty code") << 6 << asMap << "" << 1;
        QTest::newRow("current search, internal error code")
            << 6 << asMap << "{2C85B19D-AE6F-45D9-B8FE-DC436FCBEABE}FrameworkInternalError" << 1;
    }

    void answersThatChangeNothing()
    {
        QFETCH(int, reqUid);
        QFETCH(QVariant, shape);
        QFETCH(QString, code);
        QFETCH(int, failures);

        PluginHarness h;
        ModelGuard guard(h);
        const QString superseded = populate(h);
        h.wrapper().sendResult = false;
        h.call("searchDevices", {0, 0});
        const QString refused = h.wrapper().lastRequestId();
        h.wrapper().sendResult = true;
        const QString search = h.startDeviceSearch();
        h.answerSearch(search, {foundDevice("a", "10.0.0.2")});
        QVERIFY(search != superseded && refused != search);

        const QVariant ids[] = {superseded, refused, QStringLiteral("{not-a-search}"), QVariantList{search},
                                QVariant(), QVariant(), search};
        QVariant result = shape;
        if (shape.metaType().id() == QMetaType::QVariantMap)
            result = with(QVariantMap{{QStringLiteral("devList"), QVariantList{foundDevice("new", "10.9.9.9")}}},
                          QStringLiteral("reqUID"), ids[reqUid]);

        const QString before = cameras(h);
        const QString stationsBefore = stations(h);
        QSignalSpy devices(h.object(), SIGNAL(searchDevicesResp(bool, bool)));
        QSignalSpy stationAnswers(h.object(), SIGNAL(searchStationsResp(bool, bool)));
        h.answer(kSearchDevice, result, nullptr, code);

        QCOMPARE(cameras(h), before);
        QCOMPARE(stations(h), stationsBefore);
        QCOMPARE(devices.count(), failures);
        for (const QList<QVariant>& signal : std::as_const(devices))
            QCOMPARE(signal.at(0).toBool(), false);
        QCOMPARE(stationAnswers.count(), 0);
    }

    void bigBatches_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("guarded");

        // The model tester walks the whole model after every insertion, so it watches
        // the smaller batch only.
        QTest::newRow("1,000 entries, every model signal checked") << 1000 << true;
        QTest::newRow("100,000 entries") << 100000 << false;
    }

    // Big batches in one answer, while both views are filtered and sorted.
    void bigBatches()
    {
        QFETCH(int, count);
        QFETCH(bool, guarded);
        PluginHarness h;
        std::unique_ptr<ModelGuard> guard(guarded ? new ModelGuard(h) : nullptr);
        const QString search = populate(h);
        metaCall(h.cameraProxy(), "sortByRole", {Cam::Ip});
        metaCall(h.cameraProxy(), "setFilterString", {QStringLiteral("10.")});
        metaCall(h.stationProxy(), "sortByRole", {Qt::UserRole + 4});

        QVariantList batch;
        batch.reserve(count);
        for (int i = 0; i < count; ++i)
            batch.append(foundDevice(QString::number(i), QStringLiteral("10.%1.%2.%3").arg(i >> 16).arg((i >> 8) & 255).arg(i & 255), 80, 1));
        const QString before = cameras(h);

        h.answerSearch(search, batch);
        QCOMPARE(h.cameraModel()->rowCount(), count + 3);
        QVERIFY(cameras(h).startsWith(before));
        QCOMPARE(cameraId(h, count + 2), QString::number(count - 1));

        // The same devices again, as another brand: every row is known, nothing is added.
        h.answerSearch(search, batch);
        QCOMPARE(h.cameraModel()->rowCount(), count + 3);

        // One id that many times makes one row.
        QVariantList sameId(count, foundDevice("same", "10.1.1.1", 80, 1));
        h.answerSearch(search, sameId);
        QCOMPARE(h.cameraModel()->rowCount(), count + 4);

        // Stations are never merged: every entry is a row.
        const QString stationSearch = h.startStationSearch();
        h.answerSearch(stationSearch, batch);
        QCOMPARE(h.stationModel()->rowCount(), count);
        QCOMPARE(h.cameraModel()->rowCount(), count + 4);
    }
};

QTEST_MAIN(tst_HostileAnswers)
#include "tst_hostile_answers.moc"
