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
            QTest::newRow("a foreign lookalike context" + suffix) << "foreign" << command;
            QTest::newRow("a stale, settled context" + suffix) << "stale" << command;
        }
    }

    void userDataThatIsNotLive()
    {
        QFETCH(QString, which);
        QFETCH(QString, command);

        Populated h;
        // The stale context is settled by a failure while the live one is held, so
        // the two never share an address.
        QVERIFY(h.call("authorize", {"a", "u1", "p1"}).toBool());
        void* stale = h.wrapper().last().userData;
        QVERIFY(h.call("authorize", {"a", "u2", "p2"}).toBool());
        void* live = h.wrapper().last().userData;
        h.answer(kAuthorizeDevice, QVariantMap{{QStringLiteral("detRes"), 1}}, stale, QStringLiteral("1"));

        LookalikeContext lookalike;
        void* userData = which == "foreign" ? static_cast<void*>(&lookalike) : which == "stale" ? stale : nullptr;
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
        QCOMPARE(cameraData(h, "a", Cam::UserName).toString(), QStringLiteral("u2"));
    }

    void oddAnswersToALiveRequest_data()
    {
        QTest::addColumn<QVariant>("result");

        QVariantMap oddTypes = success();
        oddTypes.insert(QStringLiteral("ChannelNum"), QStringLiteral("lots"));
        oddTypes.insert(QStringLiteral("CamRTSPPort"), QVariantList{554});
        oddTypes.insert(QStringLiteral("StreamURLList"), QStringLiteral("rtsp://x"));
        oddTypes.insert(QStringLiteral("Brand"), qint64(1) << 40);
        oddTypes.insert(QStringLiteral("Model"), QVariantMap{});

        // Without a map every key is missing: "detRes" reads as 0, a success.
        QTest::newRow("a null answer reads as a success") << QVariant::fromValue(nullptr);
        QTest::newRow("a list answer reads as a success") << QVariant(QVariantList{1, 2});
        QTest::newRow("details of the wrong type read as empty and 0") << QVariant(oddTypes);
    }

    void oddAnswersToALiveRequest()
    {
        QFETCH(QVariant, result);

        Populated h;
        QVERIFY(h.call("authorize", {"a", "u", "p"}).toBool());
        h.answer(kAuthorizeDevice, result, h.wrapper().last().userData);

        QCOMPARE(h.cameraModel()->rowCount(), 3);
        QCOMPARE(cameraData(h, "a", Cam::Status).toInt(), int(Authorized));
        QCOMPARE(cameraData(h, "a", Cam::Model).toString(), QString());
        QCOMPARE(cameraData(h, "a", Cam::ChannelNum).metaType().id(), int(QMetaType::Int));
        QCOMPARE(cameras(h).section(u'\n', 0, 0), h.camerasBefore.section(u'\n', 0, 0));
        QCOMPARE(stations(h), h.stationsBefore);
        QCOMPARE(cameraData(h, "b", Cam::Status).toInt(), int(NotChecked));
    }

    void bigCameraLists_data()
    {
        QTest::addColumn<int>("count");

        // The model tester walks the whole model after every change, so it watches
        // the smaller list only.
        QTest::newRow("1,000 cameras, every model signal checked") << 1000;
        QTest::newRow("100,000 cameras") << 100000;
    }

    void bigCameraLists()
    {
        QFETCH(int, count);
        PluginHarness h;
        std::unique_ptr<ModelTesters> testers(count <= 1000 ? new ModelTesters(h) : nullptr);
        QVariantList batch;
        QStringList ids;
        batch.reserve(count);
        ids.reserve(count);
        for (int i = 0; i < count; ++i) {
            ids.append(QStringLiteral("cam%1").arg(i));
            batch.append(foundDevice(ids.last(), QStringLiteral("10.0.%1.%2").arg(i >> 8).arg(i & 255)));
        }
        h.answerSearch(h.startDeviceSearch(), batch);

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
