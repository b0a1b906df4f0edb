#include "ModelTesters.h"
#include "PluginHarness.h"
#include "Roles.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QVariantMap detection(const QString& requestId, const QString& id)
{
    return {{"reqUID", requestId}, {"delID", id}, {"detRes", 0}, {"Model", "M9"}};
}

} // namespace

// How host answers and events reach the plug-in's handlers.
class tst_SpineDispatch : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commandNamesMatchExactly_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("other letter case") << "SearchDevice";
        QTest::newRow("trailing space") << "searchDevice ";
    }

    void commandNamesMatchExactly()
    {
        QFETCH(QString, command);
        CheckedHarness h;
        const QString id = h.startDeviceSearch();
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));

        h.answer(command, QVariantMap{{"reqUID", id}, {"devList", QVariantList{foundDevice("a", "10.0.0.1")}}});
        QCOMPARE(answers.count(), 0);
        QCOMPARE(h.cameraModel()->rowCount(), 0);
    }

    // The search handler gets every answer and decides on success by the text "0".
    void searchAnswersReachTheHandlerWhateverTheCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("done");
        QTest::addColumn<bool>("success");
        QTest::newRow("0, more to come") << "0" << false << true;
        QTest::newRow("1, last part") << "1" << true << false;
        QTest::newRow("00 is not 0") << "00" << true << false;
    }

    void searchAnswersReachTheHandlerWhateverTheCode()
    {
        QFETCH(QString, code);
        QFETCH(bool, done);
        QFETCH(bool, success);
        CheckedHarness h;
        const QString id = h.startDeviceSearch();
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));

        h.answerSearch(id, {foundDevice("a", "10.0.0.1")}, false, code, done);
        QCOMPARE(answers.count(), 1);
        QCOMPARE(answers.at(0), QVariantList({success, done}));
        QCOMPARE(h.cameraModel()->rowCount(), success ? 1 : 0);
    }

    void detectionEventsNeedAnEmptyError_data()
    {
        QTest::addColumn<QString>("event");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("status");
        QTest::newRow("empty error") << "detCamResEvt" << "" << int(Authorized);
        QTest::newRow("with error") << "detCamResEvt" << "timeout" << int(Checking);
        QTest::newRow("other letter case") << "DetCamResEvt" << "" << int(Checking);
    }

    void detectionEventsNeedAnEmptyError()
    {
        QFETCH(QString, event);
        QFETCH(QString, error);
        QFETCH(int, status);
        CheckedHarness h;
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1")}, true);

        h.event(event, detection(id, "a"), error);
        QCOMPARE(h.cameraModel()->item(0)->data(Cam::Status).toInt(), status);
        // The data reaches the handler as sent: Model is only taken on success.
        QCOMPARE(h.cameraModel()->item(0)->data(Cam::Model).toString(), status == Authorized ? "M9" : "M1");
    }

    void extendedProcessorsDoNothing()
    {
        CheckedHarness h;
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1")}, true);
        const QString stationId = h.startStationSearch();
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QSignalSpy stationAnswers(h.object(), SIGNAL(searchStationsResp(bool,bool)));
        QSignalSpy changes(h.cameraModel(), &QAbstractItemModel::dataChanged);

        for (const QString& request : {id, stationId}) {
            const QVariantMap result{{"reqUID", request}, {"devList", QVariantList{foundDevice("b", "10.0.0.2")}}};
            h.plugin()->CommandProcessorEx("searchDevice", nullptr, result, nullptr, "0", QString(), true, QString());
        }
        h.plugin()->EventProcessorEx("detCamResEvt", nullptr, 0, 0, 0, detection(id, "a"), QString());

        QCOMPARE(answers.count() + stationAnswers.count() + changes.count(), 0);
        QCOMPARE(h.cameraModel()->rowCount(), 1);
        QCOMPARE(h.stationModel()->rowCount(), 0);
    }

    // An object that loses its wrapper (a host that reconnects it without one), or
    // never had one, sends nothing; the request it had still collects answers.
    void nullWrapperSendsNothingAndKeepsTheRequestId()
    {
        PluginHarness never(false);
        QCOMPARE(never.call("searchDevices", {0, 7}).toBool(), false);
        QCOMPARE(never.call("searchStations").toBool(), false);

        PluginHarness h;
        const QString kept = h.startDeviceSearch();
        QVERIFY(h.plugin()->InitialPluginBase(nullptr, PluginHarness::hostContext(), nullptr));
        ModelTesters testers(h);
        QCOMPARE(h.call("searchDevices", {0, 0}).toBool(), false);
        QCOMPARE(h.call("refreshDevices", {0, 0}).toBool(), false);
        QCOMPARE(h.call("searchStations").toBool(), false);
        QCOMPARE(h.wrapper().sent.size(), 1);

        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        h.answerSearch(kept, {foundDevice("a", "10.0.0.1")});
        QCOMPARE(answers.count(), 1);
        QCOMPARE(h.cameraModel()->rowCount(), 1);
    }
};

QTEST_MAIN(tst_SpineDispatch)
#include "tst_spine_dispatch.moc"
