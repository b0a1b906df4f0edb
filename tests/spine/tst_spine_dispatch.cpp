#include "ModelTesters.h"
#include "PluginHarness.h"

#include <QSignalSpy>
#include <QTest>

namespace {

constexpr int kStatusRole = Qt::UserRole + 6;
constexpr int kModelRole = Qt::UserRole + 1;

QVariantMap detection(const QString& requestId, const QString& id, int result)
{
    return {{"reqUID", requestId}, {"delID", id}, {"detRes", result}, {"Model", "M9"}, {"MAC", "AABBCCDDEEFF"},
            {"ChannelNum", 4}};
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
        QTest::newRow("capital S") << "SearchDevice";
        QTest::newRow("all lower case") << "searchdevice";
        QTest::newRow("trailing space") << "searchDevice ";
        QTest::newRow("empty") << "";
    }

    void commandNamesMatchExactly()
    {
        QFETCH(QString, command);
        PluginHarness h;
        ModelTesters testers(h);
        const QString id = h.startDeviceSearch();
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QSignalSpy stationAnswers(h.object(), SIGNAL(searchStationsResp(bool,bool)));

        h.answer(command, QVariantMap{{"reqUID", id}, {"devList", QVariantList{foundDevice("a", "10.0.0.1")}}});
        QCOMPARE(answers.count(), 0);
        QCOMPARE(stationAnswers.count(), 0);
        QCOMPARE(h.cameraModel()->rowCount(), 0);
    }

    void searchAnswersReachTheHandlerWhateverTheCode_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("done");
        QTest::addColumn<bool>("success");
        QTest::newRow("0, last part") << "0" << true << true;
        QTest::newRow("0, more to come") << "0" << false << true;
        QTest::newRow("1") << "1" << true << false;
        QTest::newRow("empty code") << "" << false << false;
        QTest::newRow("00") << "00" << true << false;
        QTest::newRow("framework internal error")
            << "{2C85B19D-AE6F-45D9-B8FE-DC436FCBEABE}FrameworkInternalError" << true << false;
    }

    void searchAnswersReachTheHandlerWhateverTheCode()
    {
        QFETCH(QString, code);
        QFETCH(bool, done);
        QFETCH(bool, success);
        PluginHarness h;
        ModelTesters testers(h);
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
        QTest::newRow("no error") << "detCamResEvt" << "" << 1;
        QTest::newRow("null error") << "detCamResEvt" << QString() << 1;
        QTest::newRow("with error") << "detCamResEvt" << "timeout" << 0;
        QTest::newRow("error of one space") << "detCamResEvt" << " " << 0;
        QTest::newRow("other letter case") << "DetCamResEvt" << "" << 0;
        QTest::newRow("other event") << "searchDevice" << "" << 0;
    }

    void detectionEventsNeedAnEmptyError()
    {
        QFETCH(QString, event);
        QFETCH(QString, error);
        QFETCH(int, status);
        PluginHarness h;
        ModelTesters testers(h);
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1")}, true);

        h.event(event, detection(id, "a", 0), error);
        QCOMPARE(h.cameraModel()->item(0)->data(kStatusRole).toInt(), status);
        // The data reaches the handler as sent: Model is only taken on success.
        QCOMPARE(h.cameraModel()->item(0)->data(kModelRole).toString(), status == 1 ? "M9" : "M1");
    }

    void extendedProcessorsDoNothing()
    {
        PluginHarness h;
        ModelTesters testers(h);
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1")}, true);
        const QString stationId = h.startStationSearch();
        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        QSignalSpy stationAnswers(h.object(), SIGNAL(searchStationsResp(bool,bool)));
        QSignalSpy changes(h.cameraModel(), &QAbstractItemModel::dataChanged);

        const QVariantList devList{foundDevice("b", "10.0.0.2")};
        h.plugin()->CommandProcessorEx("searchDevice", nullptr, QVariantMap{{"reqUID", id}, {"devList", devList}},
                                       nullptr, "0", QString(), true, QString());
        h.plugin()->CommandProcessorEx("searchDevice", nullptr,
                                       QVariantMap{{"reqUID", stationId}, {"devList", devList}}, nullptr, "0",
                                       QString(), true, QString());
        h.plugin()->EventProcessorEx("detCamResEvt", nullptr, 0, 0, 0, detection(id, "a", 0), QString());

        QCOMPARE(answers.count() + stationAnswers.count() + changes.count(), 0);
        QCOMPARE(h.cameraModel()->rowCount(), 1);
        QCOMPARE(h.stationModel()->rowCount(), 0);
        QCOMPARE(h.cameraModel()->item(0)->data(kStatusRole).toInt(), 0);
    }

    // A connected object that later loses its wrapper (a host that reconnects it
    // without one) sends nothing and keeps the request it had.
    void nullWrapperSendsNothingAndKeepsTheRequestId()
    {
        PluginHarness h;
        const QString kept = h.startDeviceSearch();
        QVERIFY(h.plugin()->InitialPluginBase(nullptr, PluginHarness::hostContext(), nullptr));
        ModelTesters testers(h);
        const int sent = h.wrapper().sent.size();

        QCOMPARE(h.call("searchDevices", {0, 0}).toBool(), false);
        QCOMPARE(h.call("refreshDevices", {0, 0}).toBool(), false);
        QCOMPARE(h.call("searchStations").toBool(), false);
        QCOMPARE(h.wrapper().sent.size(), sent);

        QSignalSpy answers(h.object(), SIGNAL(searchDevicesResp(bool,bool)));
        h.answerSearch(kept, {foundDevice("a", "10.0.0.1")});
        QCOMPARE(answers.count(), 1);
        QCOMPARE(h.cameraModel()->rowCount(), 1);
    }

    void neverConnectedObjectRefusesSearches()
    {
        PluginHarness h(false);
        QCOMPARE(h.call("searchDevices", {0, 7}).toBool(), false);
        QCOMPARE(h.call("searchStations").toBool(), false);
    }
};

QTEST_MAIN(tst_SpineDispatch)
#include "tst_spine_dispatch.moc"
