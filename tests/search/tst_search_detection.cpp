#include "ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QVariantMap detection(const QString& requestId, const QString& id, const QVariant& result)
{
    return {{"reqUID", requestId}, {"delID", id}, {"detRes", result}, {"Model", "Q-900"},
            {"MAC", "00-11-22-aa-bb-cc"}, {"ChannelNum", 4}};
}

} // namespace

// "detCamResEvt": the outcome of the check a device search asked for, camera by camera.
class tst_SearchDetection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Events for the station search, an earlier device search or an unknown id
    // change nothing.
    void resultSetsTheStatus_data()
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

    void resultSetsTheStatus()
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
        QStringList values;
        for (int role : {Cam::Status, Cam::Model, Cam::Mac, Cam::ChannelNum, Cam::Ip, Cam::Port, Cam::Brand})
            values.append(h.cameraModel()->item(0)->data(role).toString());
        QCOMPARE(values.join('|'), state);
        QCOMPARE(answers.count(), 0);
    }

    // Rows sharing an id: the event always lands on the one the model lists first,
    // also after rows were inserted above it or the model was re-sorted.
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

        cameras->removeRow(0);
        h.event("detCamResEvt", detection(id, "a", 0));
        QCOMPARE(column(cameras, Cam::Status), QStringLiteral("0,1,4"));

        // A row whose id is changed in place is found by its new id.
        cameras->item(1)->setData(QStringLiteral("z"), Cam::Id);
        h.event("detCamResEvt", detection(id, "a", 1));
        h.event("detCamResEvt", detection(id, "z", 2));
        QCOMPARE(column(cameras, Cam::Status), QStringLiteral("0,3,2"));
    }

    void cameraAddedByHandIsUpdatedToo()
    {
        CheckedHarness h;
        const QString id = h.startDeviceSearch(2);
        QSignalSpy added(h.object(), SIGNAL(addDeviceResp(QString)));
        QVERIFY(h.call("addDevice", {"host", 0, "10.1.1.1", 80}).toBool());
        h.event("detCamResEvt", detection(id, added.value(0).value(0).toString(), 2));
        QCOMPARE(h.cameraModel()->item(0)->data(Cam::Status), QVariant(int(DetectCode2)));
    }
};

QTEST_MAIN(tst_SearchDetection)
#include "tst_search_detection.moc"
