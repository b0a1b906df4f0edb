// Authorization answers whose user data the plug-in did not hand out or has already
// settled, answers of odd shape for a live request, and a 100,000-camera list.
// Only a context the plug-in still holds may be read; anything else is an answer
// without user data and changes nothing.
#include "HostileHelpers.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

const QString kAuthorizeDevice = QStringLiteral("authorizeDevice");
const QString kAuthorizeDeviceList = QStringLiteral("authorizeDeviceList");

// Laid out like the plug-in's own context, so a plug-in that trusted any pointer
// would happily read it.
struct LookalikeContext
{
    QString username = QStringLiteral("intruder");
    QString password = QStringLiteral("secret");
    QStringList uidList{QStringLiteral("a"), QStringLiteral("b")};
};

QVariantMap success(const QString& delId = QString())
{
    QVariantMap answer{{QStringLiteral("detRes"), 0}, {QStringLiteral("Model"), QStringLiteral("Z9")},
                       {QStringLiteral("MAC"), QStringLiteral("AABBCCDDEEFF")}, {QStringLiteral("ChannelNum"), 4}};
    if (!delId.isNull())
        answer.insert(QStringLiteral("delID"), delId);
    return answer;
}

} // namespace

class tst_HostileAuthorization : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void userDataThatIsNotLive_data()
    {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("command");

        for (const QString& command : {kAuthorizeDevice, kAuthorizeDeviceList}) {
            const QByteArray suffix = ", " + command.toLatin1();
            QTest::newRow("null" + suffix) << "null" << command;
            QTest::newRow("a lookalike context" + suffix) << "lookalike" << command;
            QTest::newRow("an address inside a live context" + suffix) << "inside" << command;
            QTest::newRow("a small number" + suffix) << "number" << command;
            QTest::newRow("a settled single request" + suffix) << "settledSingle" << command;
            QTest::newRow("a settled list request" + suffix) << "settledList" << command;
            QTest::newRow("a request the host refused" + suffix) << "refused" << command;
        }
    }

    void userDataThatIsNotLive()
    {
        QFETCH(QString, which);
        QFETCH(QString, command);

        PluginHarness h;
        ModelGuard guard(h);
        populate(h);
        FakeFrameworkWrapper& host = h.wrapper();

        // Every context is made while the others are still held, so no two share an
        // address: a single request for b, a list request for a and b, the live one
        // for a, and one the host refused, whose context went at once.
        QVERIFY(h.call("authorize", {"b", "u1", "p1"}).toBool());
        void* settledSingle = host.last().userData;
        QVERIFY(h.call("authorizeList", {QStringList{"a", "b"}, "u2", "p2"}).toBool());
        void* settledList = host.last().userData;
        QVERIFY(h.call("authorize", {"a", "u4", "p4"}).toBool());
        void* live = host.last().userData;
        host.sendResult = false;
        QVERIFY(h.call("authorize", {"a", "u3", "p3"}).toBool());
        void* refused = host.last().userData;
        host.sendResult = true;
        QVERIFY(live && settledSingle && settledList);
        // Both settled by failures, which leave a and b pending on nothing but live.
        h.answer(kAuthorizeDevice, QVariantMap{{QStringLiteral("detRes"), 1}}, settledSingle, QStringLiteral("1"));
        h.answer(kAuthorizeDeviceList, QVariantMap{{QStringLiteral("detRes"), 1}}, settledList, QStringLiteral("1"));

        LookalikeContext lookalike;
        void* userData = nullptr;
        if (which == "lookalike")
            userData = &lookalike;
        else if (which == "inside")
            userData = static_cast<char*>(live) + 1;
        else if (which == "number")
            userData = reinterpret_cast<void*>(quintptr(16));
        else if (which == "settledSingle")
            userData = settledSingle;
        else if (which == "settledList")
            userData = settledList;
        else if (which == "refused")
            userData = refused;

        const QString before = cameras(h);
        QSignalSpy authorized(h.object(), SIGNAL(deviceAuthorized(QString, PluginDeviceSearch::DeviceStatus)));
        h.answer(command, success(), userData);
        h.answer(command, success(QStringLiteral("a")), userData);
        QCOMPARE(cameras(h), before);
        QCOMPARE(authorized.count(), 0);

        // The live request is still answerable afterwards.
        h.answer(kAuthorizeDevice, success(), live);
        QCOMPARE(authorized.count(), 1);
        QCOMPARE(cameraData(h, "a", Cam::Status).toInt(), int(Authorized));
        QCOMPARE(cameraData(h, "a", Cam::UserName).toString(), QStringLiteral("u4"));
    }

    void oddAnswersToALiveRequest_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QVariant>("result");
        QTest::addColumn<int>("status");  // of camera a afterwards
        QTest::addColumn<QString>("model");

        const QVariantMap unknownId{{QStringLiteral("delID"), QStringLiteral("nobody")}, {QStringLiteral("detRes"), 0}};
        const QVariantMap listId{{QStringLiteral("delID"), QVariantList{QStringLiteral("a")}}, {QStringLiteral("detRes"), 0}};
        QVariantMap oddTypes = success();
        oddTypes.insert(QStringLiteral("ChannelNum"), QStringLiteral("lots"));
        oddTypes.insert(QStringLiteral("CamRTSPPort"), QVariantList{554});
        oddTypes.insert(QStringLiteral("StreamURLList"), QStringLiteral("rtsp://x"));
        oddTypes.insert(QStringLiteral("Brand"), qint64(1) << 40);
        oddTypes.insert(QStringLiteral("Model"), QVariantMap{});

        // Without a map every key is missing: "detRes" reads as 0, a success.
        QTest::newRow("a string answer reads as a success") << kAuthorizeDevice << QVariant(QStringLiteral("x"))
                                                            << int(Authorized) << "";
        QTest::newRow("a null answer reads as a success") << kAuthorizeDevice << QVariant::fromValue(nullptr)
                                                          << int(Authorized) << "";
        QTest::newRow("a list answer reads as a success") << kAuthorizeDeviceList << QVariant(QVariantList{1, 2})
                                                          << int(Authorized) << "";
        QTest::newRow("details of the wrong type") << kAuthorizeDevice << QVariant(oddTypes) << int(Authorized) << "";
        QTest::newRow("list answer for an unknown id") << kAuthorizeDeviceList << QVariant(unknownId) << int(Checking)
                                                       << "M1";
        QTest::newRow("list answer whose id is a list") << kAuthorizeDeviceList << QVariant(listId) << int(Checking)
                                                        << "M1";
    }

    void oddAnswersToALiveRequest()
    {
        QFETCH(QString, command);
        QFETCH(QVariant, result);
        QFETCH(int, status);
        QFETCH(QString, model);

        PluginHarness h;
        ModelGuard guard(h);
        populate(h);
        if (command == kAuthorizeDevice)
            QVERIFY(h.call("authorize", {"a", "u", "p"}).toBool());
        else
            QVERIFY(h.call("authorizeList", {QStringList{"a"}, "u", "p"}).toBool());
        void* context = h.wrapper().last().userData;
        const QString others = dump(h.cameraModel(), Cam::Last).section(u'\n', 0, 0) + dump(h.stationModel(), 269);

        h.answer(command, result, context);

        QCOMPARE(h.cameraModel()->rowCount(), 3);
        QCOMPARE(cameraData(h, "a", Cam::Status).toInt(), status);
        QCOMPARE(cameraData(h, "a", Cam::Model).toString(), model);
        QCOMPARE(cameraData(h, "a", Cam::ChannelNum).metaType().id(), int(QMetaType::Int));
        QCOMPARE(dump(h.cameraModel(), Cam::Last).section(u'\n', 0, 0) + dump(h.stationModel(), 269), others);
        QCOMPARE(cameraData(h, "b", Cam::Status).toInt(), int(NotChecked));
    }

    // An answer that arrives after a new search emptied the model finds no row.
    void answerAfterTheRowsWentAway()
    {
        PluginHarness h;
        ModelGuard guard(h);
        populate(h);
        QVERIFY(h.call("authorizeList", {QStringList{"a", "b"}, "u", "p"}).toBool());
        void* context = h.wrapper().last().userData;
        const QString search = h.startDeviceSearch();
        h.answerSearch(search, {foundDevice("c", "10.0.0.3")});

        QSignalSpy authorized(h.object(), SIGNAL(deviceAuthorized(QString, PluginDeviceSearch::DeviceStatus)));
        h.answer(kAuthorizeDeviceList, success(QStringLiteral("c")), context);  // c is named by the answer
        h.answer(kAuthorizeDeviceList, success(), context);                    // a and b are gone
        QCOMPARE(authorized.count(), 1);
        QCOMPARE(cameraData(h, "c", Cam::Status).toInt(), int(Authorized));
        QCOMPARE(h.cameraModel()->rowCount(), 1);
    }

    void bigCameraLists_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("guarded");

        // The model tester walks the whole model after every change, so it watches
        // the smaller list only.
        QTest::newRow("1,000 cameras, every model signal checked") << 1000 << true;
        QTest::newRow("100,000 cameras") << 100000 << false;
    }

    void bigCameraLists()
    {
        QFETCH(int, count);
        QFETCH(bool, guarded);
        PluginHarness h;
        std::unique_ptr<ModelGuard> guard(guarded ? new ModelGuard(h) : nullptr);
        const QString search = h.startDeviceSearch();
        QVariantList batch;
        QStringList ids;
        batch.reserve(count);
        ids.reserve(count);
        for (int i = 0; i < count; ++i) {
            ids.append(QStringLiteral("cam%1").arg(i));
            batch.append(foundDevice(ids.last(), QStringLiteral("10.0.%1.%2").arg(i >> 8).arg(i & 255)));
        }
        h.answerSearch(search, batch);

        QVERIFY(h.call("authorizeList", {ids, "u", "p"}).toBool());
        QCOMPARE(h.wrapper().last().list().size(), count);
        void* context = h.wrapper().last().userData;
        QCOMPARE(column(h.cameraModel(), Cam::Status), QStringList(count, QStringLiteral("0")).join(u','));

        QSignalSpy authorized(h.object(), SIGNAL(deviceAuthorized(QString, PluginDeviceSearch::DeviceStatus)));
        h.answer(kAuthorizeDeviceList, success(), context);
        QCOMPARE(authorized.count(), count);
        QCOMPARE(column(h.cameraModel(), Cam::Status), QStringList(count, QStringLiteral("1")).join(u','));
        QCOMPARE(h.cameraModel()->rowCount(), count);

        // The whole-list answer settled the context: a replay changes nothing.
        h.answer(kAuthorizeDeviceList, QVariantMap{{QStringLiteral("detRes"), 1}}, context, QStringLiteral("1"));
        QCOMPARE(authorized.count(), count);
    }
};

QTEST_MAIN(tst_HostileAuthorization)
#include "tst_hostile_authorization.moc"
