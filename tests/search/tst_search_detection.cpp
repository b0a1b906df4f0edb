#include "../spine/ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QVariantMap detection(const QString& requestId, const QString& id, const QVariant& result)
{
    QVariantMap event{{"reqUID", requestId}, {"delID", id}, {"Model", "Q-900"}, {"MAC", "00-11-22-aa-bb-cc"},
                      {"ChannelNum", 4}};
    if (result.isValid())
        event.insert("detRes", result);
    return event;
}

// The roles a detection event may touch, as one text.
QString rowState(const QStandardItem* item)
{
    QStringList values;
    for (int role : {int(Cam::Status), int(Cam::Model), int(Cam::Mac), int(Cam::ChannelNum), int(Cam::Ip),
                     int(Cam::Port), int(Cam::Brand)})
        values.append(item->data(role).toString());
    return values.join('|');
}

} // namespace

// "detCamResEvt": the outcome of the check a device search asked for, camera by camera.
class tst_SearchDetection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void resultSetsTheStatus_data()
    {
        QTest::addColumn<QVariant>("result"); // invalid: "detRes" left out
        QTest::addColumn<QString>("state");
        const QString untouched = "|M1|00-11-22-AA-BB-CC|1|10.0.0.1|80|1";
        QTest::newRow("0 authorizes and takes the details") << QVariant(0) << "1|Q-900|00-11-22-aa-bb-cc|4|10.0.0.1|80|1";
        QTest::newRow("missing reads 0") << QVariant() << "1|Q-900|00-11-22-aa-bb-cc|4|10.0.0.1|80|1";
        QTest::newRow("1") << QVariant(1) << "2" + untouched;
        QTest::newRow("2") << QVariant(2) << "3" + untouched;
        QTest::newRow("7") << QVariant(7) << "4" + untouched;
        QTest::newRow("-1") << QVariant(-1) << "4" + untouched;
    }

    void resultSetsTheStatus()
    {
        QFETCH(QVariant, result);
        QFETCH(QString, state);
        PluginHarness h;
        ModelTesters testers(h);
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1", 80, 1)}, true);
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));

        h.event("detCamResEvt", detection(id, "a", result));
        QCOMPARE(rowState(h.cameraModel()->item(0)), state);
        QCOMPARE(answers.count(), 0);
    }

    void authorizedDetailsFollowTheMacRule_data()
    {
        QTest::addColumn<QVariantMap>("extra");
        QTest::addColumn<QString>("details");
        QTest::newRow("bare MAC gets hyphens") << QVariantMap{{"MAC", "aabbccddeeff"}} << "Q-900|aa-bb-cc-dd-ee-ff|4";
        QTest::newRow("nothing given") << QVariantMap{{"Model", QVariant()}, {"MAC", QVariant()},
                                                       {"ChannelNum", QVariant()}}
                                       << "||0";
    }

    void authorizedDetailsFollowTheMacRule()
    {
        QFETCH(QVariantMap, extra);
        QFETCH(QString, details);
        PluginHarness h;
        ModelTesters testers(h);
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1")}, true);
        QVariantMap event = detection(id, "a", 0);
        for (auto it = extra.cbegin(); it != extra.cend(); ++it) {
            if (it.value().isValid())
                event.insert(it.key(), it.value());
            else
                event.remove(it.key());
        }
        h.event("detCamResEvt", event);
        const QStandardItem* item = h.cameraModel()->item(0);
        QCOMPARE(QStringList({item->data(Cam::Model).toString(), item->data(Cam::Mac).toString(),
                              item->data(Cam::ChannelNum).toString()})
                     .join('|'),
                 details);
    }

    void eventsForOtherRequestsOrCamerasChangeNothing_data()
    {
        QTest::addColumn<QString>("which");
        QTest::newRow("station search") << "station";
        QTest::newRow("earlier device search") << "earlier";
        QTest::newRow("unknown id") << "unknown";
        QTest::newRow("id in other letter case") << "case";
        QTest::newRow("no request id") << "none";
    }

    void eventsForOtherRequestsOrCamerasChangeNothing()
    {
        QFETCH(QString, which);
        PluginHarness h;
        ModelTesters testers(h);
        const QString earlier = h.startDeviceSearch(2);
        const QString stationId = h.startStationSearch();
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1")}, true);
        h.answerSearch(stationId, {foundDevice("a", "10.0.0.1")});
        QSignalSpy changed(h.cameraModel(), &QAbstractItemModel::dataChanged);

        QVariantMap event = detection(id, "a", 0);
        if (which == "station")
            event.insert("reqUID", stationId);
        else if (which == "earlier")
            event.insert("reqUID", earlier);
        else if (which == "unknown")
            event.insert("delID", "b");
        else if (which == "case")
            event.insert("delID", "A");
        else
            event.remove("reqUID");
        h.event("detCamResEvt", event);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(h.cameraModel()->item(0)->data(Cam::Status), QVariant(0));
    }

    // Rows sharing an id: the event always lands on the one the model lists first,
    // also after rows were inserted above it or the model was re-sorted.
    void duplicateIdsResolveToTheFirstRow()
    {
        PluginHarness h;
        ModelTesters testers(h);
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
        PluginHarness h;
        ModelTesters testers(h);
        const QString id = h.startDeviceSearch(2);
        QSignalSpy added(h.object(), SIGNAL(addDeviceResp(QString)));
        QVERIFY(h.call("addDevice", {"host", 0, "10.1.1.1", 80}).toBool());
        QCOMPARE(added.count(), 1);
        h.event("detCamResEvt", detection(id, added.at(0).at(0).toString(), 2));
        QCOMPARE(h.cameraModel()->item(0)->data(Cam::Status), QVariant(3));
    }
};

QTEST_MAIN(tst_SearchDetection)
#include "tst_search_detection.moc"
