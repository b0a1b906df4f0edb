// The host calls back: QML acts from inside SendCommand (a host running a nested event
// loop) and from slots of the plug-in's and the models' signals. Whatever it does
// there, the plug-in touches no row that is gone (the asan preset catches that), its
// models stay consistent (the model testers), and once every command has had its
// answer no camera is left Checking.
#include "ModelTesters.h"
#include "Roles.h"

#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <utility>

namespace {

const QString kSingle = QStringLiteral("authorizeDevice");
const QString kList = QStringLiteral("authorizeDeviceList");
const QStringList kCameras{"a", "b", "c", "d", "e"};

QVariantList site()
{
    QVariantList devices;
    for (const QString& id : kCameras)
        devices.append(foundDevice(id, QStringLiteral("10.0.0.%1").arg(devices.size() + 1)));
    return devices;
}

// What QML does when it gets the turn.
using Reaction = std::function<void(PluginHarness&)>;

// One reaction per kind of change it makes to the models under the plug-in.
const QList<std::pair<QByteArray, Reaction>>& reactions()
{
    static const QList<std::pair<QByteArray, Reaction>> all{
        {"starts a search (reset)", [](PluginHarness& h) { h.call("searchDevices", {0, 0}); }},
        {"refreshes, removes a station (rows removed)",
         [](PluginHarness& h) {
             h.call("refreshDevices", {0, 0});
             h.call("removeRowInSearchedStationTableModel", {"t1"});
         }},
        // The same ids come back on new rows: any row kept across the call is stale.
        {"searches both and gets the site back",
         [](PluginHarness& h) {
             h.answerSearch(h.startDeviceSearch(), site());
             h.answerSearch(h.startStationSearch(), {foundDevice("t1", "10.0.2.1"), foundDevice("t2", "10.0.2.2")});
         }},
        {"logs in to every camera (data changed)",
         [](PluginHarness& h) { h.call("authorizeList", {kCameras, "u", "p"}); }},
        {"sorts and filters (layout changed)",
         [](PluginHarness& h) {
             HostKit::call(h.cameraProxy(), "sortByRole", {Cam::Ip, int(Qt::DescendingOrder)});
             HostKit::call(h.cameraProxy(), "setFilterString", {"10.0"});
         }},
    };
    return all;
}

// Runs its reaction once, from the first signal connected to fire() or the first call
// of the wrapper it is armed on.
class Reactor : public QObject
{
    Q_OBJECT

public:
    std::function<void()> reaction;

public Q_SLOTS:
    void fire()
    {
        if (const auto react = std::exchange(reaction, nullptr))
            react();
    }
};

// Every authorization command sent so far is answered with a failed login, each list
// as a whole; the plug-in ignores contexts it has settled already.
void answerEveryLogin(PluginHarness& h)
{
    const QList<SentCommand> sent = h.wrapper().sent;
    for (const SentCommand& command : sent) {
        if (command.command == kSingle || command.command == kList)
            h.answer(command.command, QVariantMap{{"detRes", 1}}, command.userData);
    }
}

// The reactor fires when the plug-in sends this command to the host.
void fireInsideSend(PluginHarness& h, Reactor& reactor, const QString& command)
{
    h.wrapper().duringSend = [&reactor, command](const SentCommand& sent) {
        if (sent.command == command)
            reactor.fire();
    };
}

// Where QML gets the turn: the operation the test runs, with the reactor armed on it.
// The site's cameras are listed, found by the current search.
using Place = std::function<void(PluginHarness&, Reactor&, const QString& search)>;

const QList<std::pair<const char*, Place>>& places()
{
    static const QList<std::pair<const char*, Place>> all{
        {"inside authorize's SendCommand",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             fireInsideSend(h, reactor, kSingle);
             QVERIFY(h.call("authorize", {"b", "u", "p"}).toBool());
         }},
        {"inside authorizeList's SendCommand",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             fireInsideSend(h, reactor, kList);
             QVERIFY(h.call("authorizeList", {kCameras, "u", "p"}).toBool());
         }},
        {"inside searchDevices' SendCommand",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             fireInsideSend(h, reactor, QStringLiteral("searchDevice"));
             QVERIFY(h.call("searchDevices", {0, 0}).toBool());
         }},
        {"inside refreshDevices' SendCommand",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             fireInsideSend(h, reactor, QStringLiteral("searchDevice"));
             QVERIFY(h.call("refreshDevices", {0, 0}).toBool());
         }},
        {"inside the import's topology look-up",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             QTemporaryDir dir;
             const QString list = writeFile(dir.filePath("list.csv"), "IP,Port\n10.0.0.1,80\n10.0.0.2,80\n10.0.0.3,80\n");
             h.wrapper().duringGetPluginObject = [&reactor](const QString&) { reactor.fire(); };
             QCOMPARE(h.call("importDevices", {QUrl::fromLocalFile(list)}).toList().size(), 3);
         }},
        {"in deviceAuthorized of a whole-list answer",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             QVERIFY(h.call("authorizeList", {kCameras, "u", "p"}).toBool());
             QObject::connect(h.object(), SIGNAL(deviceAuthorized(QString, PluginDeviceSearch::DeviceStatus)),
                              &reactor, SLOT(fire()));
             h.answer(kList, QVariantMap{{"detRes", 0}}, h.wrapper().last().userData);
         }},
        {"in addOfflineCamera of setAuthorization",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             QObject::connect(h.object(), SIGNAL(addOfflineCamera(QString, PluginDeviceSearch::DeviceStatus)),
                              &reactor, SLOT(fire()));
             QVERIFY(h.call("setAuthorization", {kCameras, "u", "p"}).toBool());
         }},
        {"in searchDevicesResp",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             QObject::connect(h.object(), SIGNAL(searchDevicesResp(bool, bool)), &reactor, SLOT(fire()));
             h.answerSearch(h.startDeviceSearch(), site(), false, QStringLiteral("0"), false);
         }},
        {"in rowsInserted of a search answer",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             QObject::connect(h.cameraModel(), &QAbstractItemModel::rowsInserted, &reactor, &Reactor::fire);
             h.answerSearch(h.startDeviceSearch(), site());
         }},
        {"in dataChanged of a successful login answer",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             QVERIFY(h.call("authorize", {"b", "u", "p"}).toBool());
             QObject::connect(h.cameraModel(), &QAbstractItemModel::dataChanged, &reactor, &Reactor::fire);
             h.answer(kSingle, QVariantMap{{"detRes", 0}, {"MAC", "ABCDEF"}, {"Brand", 1}}, h.wrapper().last().userData);
         }},
        {"in dataChanged of a detection event",
         [](PluginHarness& h, Reactor& reactor, const QString& search) {
             QObject::connect(h.cameraModel(), &QAbstractItemModel::dataChanged, &reactor, &Reactor::fire);
             h.event(QStringLiteral("detCamResEvt"), QVariantMap{{"reqUID", search}, {"delID", "b"}, {"detRes", 0},
                                                                 {"MAC", "ABCDEF"}, {"ChannelNum", 2}});
         }},
        // The refresh gives the emptied model its column back before the hand-added rows
        // return; QML may empty it again right there.
        {"in columnsInserted of a refresh",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             QObject::connect(h.cameraModel(), &QAbstractItemModel::columnsInserted, &reactor, &Reactor::fire);
             QVERIFY(h.call("refreshDevices", {0, 0}).toBool());
         }},
        {"in columnsInserted of a refresh, two columns",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             qobject_cast<QStandardItemModel*>(h.cameraModel())->setColumnCount(2);
             QObject::connect(h.cameraModel(), &QAbstractItemModel::columnsInserted, &reactor, &Reactor::fire);
             QVERIFY(h.call("refreshDevices", {0, 0}).toBool());
         }},
        // The first answer after a search gives the emptied model its column first.
        {"in columnsInserted of a search answer",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             const QString search = h.startDeviceSearch();
             QObject::connect(h.cameraModel(), &QAbstractItemModel::columnsInserted, &reactor, &Reactor::fire);
             h.answerSearch(search, site());
         }},
        {"in columnsInserted of a station answer",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             const QString search = h.startStationSearch();
             QObject::connect(h.stationModel(), &QAbstractItemModel::columnsInserted, &reactor, &Reactor::fire);
             h.answerSearch(search, {foundDevice("t1", "10.0.2.1"), foundDevice("t2", "10.0.2.2")});
         }},
        {"in columnsInserted of a camera added by hand to an emptied model",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             h.startDeviceSearch();
             QObject::connect(h.cameraModel(), &QAbstractItemModel::columnsInserted, &reactor, &Reactor::fire);
             QVERIFY(h.call("addDevice", {"late", 0, "10.0.0.60", 80}).toBool());
         }},
        {"in columnsInserted of a station added by hand to an emptied model",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             h.startStationSearch();
             QObject::connect(h.stationModel(), &QAbstractItemModel::columnsInserted, &reactor, &Reactor::fire);
             h.call("addStation", {QVariantMap{{"IP", "10.0.2.9"}}});
         }},
        {"in rowsInserted of a station answer",
         [](PluginHarness& h, Reactor& reactor, const QString&) {
             QObject::connect(h.stationModel(), &QAbstractItemModel::rowsInserted, &reactor, &Reactor::fire);
             h.answerSearch(h.startStationSearch(), {foundDevice("t1", "10.0.2.1"), foundDevice("t2", "10.0.2.2")});
         }},
    };
    return all;
}

} // namespace

class tst_ReentrantHost : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hostCallsBack_data()
    {
        QTest::addColumn<int>("place");
        QTest::addColumn<int>("reaction");
        for (int place = 0; place < places().size(); ++place) {
            for (int reaction = 0; reaction < reactions().size(); ++reaction)
                QTest::addRow("%s, QML %s", places().at(place).first, reactions().at(reaction).first.constData())
                    << place << reaction;
        }
    }

    void hostCallsBack()
    {
        QFETCH(int, place);
        QFETCH(int, reaction);

        CheckedHarness h;
        const QString search = h.startDeviceSearch();
        h.answerSearch(search, site());
        h.call("addDevice", {"kept", 0, "10.0.0.50", 80});

        Reactor reactor;
        reactor.reaction = [&h, reaction] { reactions().at(reaction).second(h); };
        places().at(place).second(h, reactor, search);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(!reactor.reaction, "QML never got the turn");

        answerEveryLogin(h);
        const QStringList statuses = statusNames(h.cameraModel(), Cam::Status);
        QVERIFY2(!statuses.contains("Checking"), qPrintable(statuses.join(',')));
    }

    // QML gives the model a column of its own while a refresh resets it: the
    // hand-added row comes back beside it, once, and the column stays.
    void columnAddedInRefreshResetStays()
    {
        CheckedHarness h;
        h.answerSearch(h.startDeviceSearch(), site());
        h.call("addDevice", {"kept", 0, "10.0.0.50", 80});
        auto* model = qobject_cast<QStandardItemModel*>(h.cameraModel());
        QObject::connect(
            model, &QAbstractItemModel::modelReset, model, [model] { model->setColumnCount(2); },
            Qt::SingleShotConnection);

        QVERIFY(h.call("refreshDevices", {0, 0}).toBool());
        QCOMPARE(model->columnCount(), 2);
        QCOMPARE(column(model, Cam::HostName), QStringLiteral("kept"));
    }

    // A slot that takes away every column the plug-in gives a model: the call gives up
    // after a few attempts instead of holding the GUI thread, and adds nothing.
    void modelEmptiedAtEveryColumn_data()
    {
        QTest::addColumn<bool>("stations");
        QTest::addColumn<QByteArray>("call");
        QTest::newRow("refresh") << false << QByteArray("refreshDevices");
        QTest::newRow("camera answer") << false << QByteArray("answer");
        QTest::newRow("camera added by hand") << false << QByteArray("addDevice");
        QTest::newRow("station answer") << true << QByteArray("answer");
        QTest::newRow("station added by hand") << true << QByteArray("addStation");
    }

    void modelEmptiedAtEveryColumn()
    {
        QFETCH(bool, stations);
        QFETCH(QByteArray, call);
        CheckedHarness h;
        h.answerSearch(h.startDeviceSearch(), site());
        h.call("addDevice", {"kept", 0, "10.0.0.50", 80});
        // A new search leaves the model without columns; a refresh takes them away itself.
        QString search;
        if (call != "refreshDevices")
            search = stations ? h.startStationSearch() : h.startDeviceSearch();
        auto* model = qobject_cast<QStandardItemModel*>(stations ? h.stationModel() : h.cameraModel());
        int columnsGiven = 0;
        QObject::connect(model, &QAbstractItemModel::columnsInserted, model, [model, &columnsGiven] {
            ++columnsGiven;
            model->clear();
        });
        QSignalSpy added(h.object(), SIGNAL(addDeviceResp(QString)));

        if (call == "answer")
            h.answerSearch(search, {foundDevice("t1", "10.0.2.1"), foundDevice("t2", "10.0.2.2")});
        else if (call == "addStation")
            h.call("addStation", {QVariantMap{{"IP", "10.0.2.9"}}});
        else if (call == "addDevice")
            h.call("addDevice", {"late", 0, "10.0.0.60", 80});
        else
            QVERIFY(h.call(call, {0, 0}).toBool());

        QVERIFY(columnsGiven > 1);
        QVERIFY(columnsGiven < 100);
        QCOMPARE(model->rowCount(), 0);
        QCOMPARE(added.count(), 0);
    }

    // The outer call's own result when QML replaced its rows from inside SendCommand.
    void searchStartedInsideSearchStands()
    {
        CheckedHarness h;
        QString inner;
        h.wrapper().duringSend = [&h, &inner](const SentCommand&) {
            h.wrapper().duringSend = nullptr;
            inner = h.startDeviceSearch();
        };
        QVERIFY(h.call("searchDevices", {0, 0}).toBool());
        const QString outer = h.wrapper().sent.first().map().value("reqUID").toString();

        h.answerSearch(outer, {foundDevice("old", "10.0.0.1")});
        h.answerSearch(inner, {foundDevice("new", "10.0.0.2")});
        QCOMPARE(column(h.cameraModel(), Cam::Id), QStringLiteral("new"));
    }

    // The host answers a login from inside its SendCommand (a synchronous round trip):
    // the answer finds its request, and the row keeps the answer's status.
    void answerInsideSendIsFinal_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("authorize") << kSingle;
        QTest::newRow("authorizeList, per camera") << kList;
    }

    void answerInsideSendIsFinal()
    {
        QFETCH(QString, command);
        CheckedHarness h;
        h.answerSearch(h.startDeviceSearch(), site());
        h.wrapper().duringSend = [&h](const SentCommand& sent) {
            const QVariantMap answer{{"detRes", 1}, {"delID", "a"}};
            h.answer(sent.command, answer, sent.userData);
        };
        if (command == kSingle)
            QVERIFY(h.call("authorize", {"a", "u", "p"}).toBool());
        else
            QVERIFY(h.call("authorizeList", {QStringList{"a", "b"}, "u", "p"}).toBool());
        h.wrapper().duringSend = nullptr;

        const QModelIndex a = h.cameraModel()->index(0, 0);
        QCOMPARE(a.data(Cam::Id).toString(), QStringLiteral("a"));
        QCOMPARE(statusName(a.data(Cam::Status)), QStringLiteral("DetectCode1"));
    }
};

QTEST_MAIN(tst_ReentrantHost)
#include "tst_reentrant_host.moc"
