#include "ModelTesters.h"
#include "Roles.h"

#include <QSignalSpy>
#include <QTest>

#include <iterator>

#define DEVICE_AUTHORIZED SIGNAL(deviceAuthorized(QString, PluginDeviceSearch::DeviceStatus))

namespace {

const QString kInternalError = QStringLiteral("{2C85B19D-AE6F-45D9-B8FE-DC436FCBEABE}FrameworkInternalError");
const QString kSingle = QStringLiteral("authorizeDevice");
const QString kList = QStringLiteral("authorizeDeviceList");

QVariantMap camera(const QString& id, const QString& ip = QStringLiteral("10.0.0.1"), int port = 80, int brand = 0,
                   const QString& mac = QStringLiteral("001122AABBCC"))
{
    QVariantMap device = foundDevice(id, ip, port, brand, mac);
    device.insert(QStringLiteral("HttpsPort"), 0);  // with HTTP port 0 the row would take this one
    return device;
}

QString searchCameras(PluginHarness& h, const QVariantList& devices)
{
    const QString id = h.startDeviceSearch();
    h.answerSearch(id, devices);
    return id;
}

// How a row reaches a status other than those a search or a login gives.
void detect(PluginHarness& h, const QString& searchId, const QString& id, int detRes)
{
    h.event(QStringLiteral("detCamResEvt"), QVariantMap{{"reqUID", searchId}, {"delID", id}, {"detRes", detRes},
                                                        {"Model", "M1"}, {"MAC", "001122AABBCC"}, {"ChannelNum", 1}});
}

QString statusName(int status)
{
    static const char* const names[] = {"Checking", "Authorized", "DetectCode1", "DetectCode2",
                                        "Failed",   "Offline",    "NotChecked"};
    return status >= 0 && status < int(std::size(names)) ? QString::fromLatin1(names[status])
                                                          : QString::number(status);
}

int statusOf(PluginHarness& h) { return h.cameraModel()->index(0, 0).data(Cam::Status).toInt(); }
void* lastContext(PluginHarness& h) { return h.wrapper().last().userData; }

QVariantMap answerMap(int detRes, const QString& delId = QString())
{
    return delId.isEmpty() ? QVariantMap{{"detRes", detRes}} : QVariantMap{{"detRes", detRes}, {"delID", delId}};
}

// The (id, status) pairs a spy saw, as "a:1,b:4".
QString emitted(const QSignalSpy& spy)
{
    QStringList out;
    for (const QList<QVariant>& args : spy)
        out.append(QStringLiteral("%1:%2").arg(args.at(0).toString()).arg(args.at(1).toInt()));
    return out.join(',');
}

// A command as "name key=value:type;..." so one comparison checks keys, values and types.
QString describe(const QString& command, const QVariant& parameter)
{
    QStringList out;
    const QVariantMap map = parameter.toMap();
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        out.append(QStringLiteral("%1=%2:%3").arg(it.key(), it.value().toString(), it.value().typeName()));
    return command + ' ' + out.join(';');
}

} // namespace

class tst_Authorize : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Left unanswered: the leak checker shows outstanding contexts are released.
    void requestsAndOfflineCredentials()
    {
        CheckedHarness h;
        const QString searchId = searchCameras(
            h, {camera("a", "10.0.0.1", 80, 0, "AABBCCDDEEFF"), camera("b", "10.0.0.2", 1, 1, "00-11"),
                camera("c", "10.0.0.7", 65535, 2), camera("auth"), camera("noip", ""), camera("port0", "10.0.0.9", 0),
                camera("port65536", "10.0.0.9", 65536)});
        detect(h, searchId, "a", 1);
        detect(h, searchId, "c", 9);
        detect(h, searchId, "auth", 0);

        // Refused, or nothing to do: nothing is sent and no row changes.
        for (const char* uid : {"missing", "noip", "port0", "port65536"})
            QVERIFY2(!h.call("authorize", {uid, "u", "p"}).toBool(), uid);
        QVERIFY(h.call("authorize", {"auth", "u", "p"}).toBool());
        QVERIFY(h.call("authorizeList", {QStringList{"auth", "auth"}, "u", "p"}).toBool());
        QVERIFY(!h.call("authorizeList", {QStringList{"missing", "auth"}, "u", "p"}).toBool());
        QVERIFY(!h.call("authorizeList", {QStringList{"noip", "port0", "port65536"}, "u", "p"}).toBool());
        QCOMPARE(h.wrapper().sent.size(), 1);  // the search
        QCOMPARE(column(h.cameraModel(), Cam::Status), QStringLiteral("2,6,4,1,6,6,6"));

        QVERIFY(h.call("authorize", {"c", "admin", "secret"}).toBool());
        QCOMPARE(describe(h.wrapper().last().command, h.wrapper().last().parameters),
                 "authorizeDevice Brand=2:int;HttpPort=65535:int;IP=10.0.0.7:QString;Password=secret:QString;"
                 "Username=admin:QString");

        // Rows that are missing, Authorized or unusable are passed over; duplicates are not.
        const QStringList uids{"missing", "b", "auth", "a", "port0", "b", "noip"};
        QVERIFY(h.call("authorizeList", {uids, "admin", "secret"}).toBool());
        QStringList maps;
        for (const QVariant& device : h.wrapper().last().list())
            maps.append(describe(h.wrapper().last().command, device));
        const QString b = "authorizeDeviceList Brand=1:int;HttpPort=1:int;IP=10.0.0.2:QString;MAC=00-11:QString;"
                          "Password=secret:QString;Username=admin:QString;delID=b:QString";
        const QString a = "authorizeDeviceList Brand=0:int;HttpPort=80:int;IP=10.0.0.1:QString;MAC=AA-BB-CC-DD-EE-FF:"
                          "QString;Password=secret:QString;Username=admin:QString;delID=a:QString";
        QCOMPARE(maps, (QStringList{b, a, b}));
        // Each row keeps its status from before its latest request (b's second: Checking).
        QCOMPARE(column(h.cameraModel(), Cam::Status) + ' ' + column(h.cameraModel(), Cam::PreviousStatus),
                 QStringLiteral("0,0,0,1,6,6,6 2,0,4,,,,"));

        // Credentials stored without a login: nothing is sent, unknown uids are passed over.
        QSignalSpy offline(h.object(), SIGNAL(addOfflineCamera(QString, PluginDeviceSearch::DeviceStatus)));
        QVERIFY(h.call("setAuthorization", {QStringList{"c", "missing", "a"}, "op", "pw"}).toBool());
        QCOMPARE(emitted(offline), QStringLiteral("c:5,a:5"));
        QCOMPARE(h.wrapper().sent.size(), 3);
        QStringList rows;
        for (int role : {Cam::Status, Cam::PreviousStatus, Cam::UserName, Cam::Password})
            rows.append(column(h.cameraModel(), role));
        QCOMPARE(rows.join(' '), QStringLiteral("5,0,5,1,6,6,6 0,0,0,,,, op,,op,,,, pw,,pw,,,,"));
    }

    // One answer to the first authorize call for camera "a" from startStatus. With
    // afterProbe set, a third request follows and the second call's answer ("0",
    // detRes 1) then leaves Checking when an entry of the first two was left, and
    // DetectCode1 when the answer took them all.
    void answerStateTable_data()
    {
        QTest::addColumn<int>("startStatus");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QVariant>("detRes");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("signalled");
        QTest::addColumn<int>("afterProbe");

        const auto row = [](const char* name, int start, const QString& code, const QVariant& detRes, int status,
                            int signalled, int afterProbe) {
            QTest::newRow(name) << start << code << detRes << status << signalled << afterProbe;
        };
        row("0, no detRes: Authorized, facts, all entries gone", NotChecked, "0", {}, Authorized, Authorized,
            DetectCode1);
        row("0, detRes 2: Offline with login, one entry gone", NotChecked, "0", 2, Offline, DetectCode2, Checking);
        row("other code: Failed at once, one entry gone", NotChecked, "1", 1, Failed, DetectCode1, Checking);
        row("other code, detRes 0: Failed, facts, all entries gone", NotChecked, "E", 0, Failed, Authorized,
            DetectCode1);
        row("internal error restores DetectCode1, detRes 2 stores the login", DetectCode1, kInternalError, 2,
            DetectCode1, DetectCode2, -1);
        row("internal error after a second request restores Checking, one entry gone", Failed, kInternalError, 1,
            Checking, DetectCode1, Checking);
        row("internal error code in other letter case is a plain failure", NotChecked, kInternalError.toLower(), 7,
            Failed, Failed, -1);
        row("row Authorized meanwhile: answer ignored, its entry kept", Authorized, "E", 1, Authorized, -1, Checking);
    }

    void answerStateTable()
    {
        QFETCH(int, startStatus);
        QFETCH(QString, code);
        QFETCH(QVariant, detRes);
        QFETCH(int, status);
        QFETCH(int, signalled);
        QFETCH(int, afterProbe);

        CheckedHarness h;
        const QString searchId = searchCameras(h, {camera("a")});
        if (startStatus == DetectCode1 || startStatus == Failed)
            detect(h, searchId, "a", startStatus == DetectCode1 ? 1 : 9);
        QList<void*> contexts;
        for (int i = afterProbe < 0 ? 1 : 2; i > 0; --i) {
            QVERIFY(h.call("authorize", {"a", "admin", "secret"}).toBool());
            contexts.append(lastContext(h));
        }
        if (startStatus == Authorized)
            detect(h, searchId, "a", 0);
        QSignalSpy authorized(h.object(), DEVICE_AUTHORIZED);

        QVariantMap answer{{"Model", "M9"}, {"MAC", "ABCDE"}, {"Brand", 1}, {"ChannelNum", 4}, {"CamRTSPPort", 554},
                           {"StreamURLList", QVariantList{"rtsp://1", "rtsp://2"}}};
        if (detRes.isValid())
            answer.insert("detRes", detRes);
        h.answer(kSingle, answer, contexts.first(), code);

        QCOMPARE(statusOf(h), status);
        QCOMPARE(emitted(authorized), signalled < 0 ? QString() : QStringLiteral("a:%1").arg(signalled));
        const QModelIndex row = h.cameraModel()->index(0, 0);
        QStringList facts;
        for (int role : {Cam::UserName, Cam::Password, Cam::Model, Cam::Mac, Cam::Brand, Cam::BrandName,
                         Cam::ChannelNum, Cam::RtspPort})
            facts.append(row.data(role).toString());
        facts.append(row.data(Cam::StreamUrlList).toStringList().join(','));
        const bool login = signalled == Authorized || signalled == DetectCode2;
        QCOMPARE(facts.join(' '), QString(login ? "admin secret " : "  ") +
                                      (signalled == Authorized ? "M9 A-BC-DE 1 onvif 4 554 rtsp://1,rtsp://2"
                                                               : "M1 00-11-22-AA-BB-CC 0 qrln 1 0 "));

        if (afterProbe < 0)
            return;
        // Leave Authorized without touching the pending entries, then probe.
        if (statusOf(h) == Authorized)
            QVERIFY(h.call("setAuthorization", {QStringList{"a"}, "u", "p"}).toBool());
        QVERIFY(h.call("authorize", {"a", "admin", "secret"}).toBool());
        h.answer(kSingle, answerMap(1), contexts.at(1));
        QCOMPARE(statusOf(h), afterProbe);
    }

    // Per-device answers ("id:detRes") and whole-list answers ("*:detRes") to one
    // list request, against the cameras a, b and c.
    void listAnswers_data()
    {
        QTest::addColumn<QString>("sent");
        QTest::addColumn<QString>("answers");
        QTest::addColumn<QString>("signalled");
        QTest::addColumn<QString>("statuses");

        QTest::newRow("delID: that camera only, sent or not") << "a,b" << "b:0 c:0" << "b:1,c:1" << "0,1,1";
        QTest::newRow("no delID: every uid sent, in order") << "a,b,a" << "*:1" << "a:2,b:2,a:2" << "2,2,6";
        // An answer for a camera that did not go out, or one more than went out, settles
        // nothing of the request: b's answer still finds it.
        QTest::newRow("settled once every uid sent had its answer")
            << "a,b,a" << "c:1 a:1 a:1 a:1 b:0" << "c:2,a:2,a:2,a:2,b:1" << "2,1,2";
        // a has no entry left for the whole-list answer: nothing else is outstanding for
        // it, so its failure is final.
        QTest::newRow("settled by a whole-list answer") << "a,b" << "a:1 *:7 b:1" << "a:2,a:4,b:4" << "4,4,6";
    }

    void listAnswers()
    {
        QFETCH(QString, sent);
        QFETCH(QString, answers);
        QFETCH(QString, signalled);
        QFETCH(QString, statuses);

        CheckedHarness h;
        searchCameras(h, {camera("a"), camera("b"), camera("c")});
        QVERIFY(h.call("authorizeList", {sent.split(','), "admin", "secret"}).toBool());
        void* context = lastContext(h);
        QSignalSpy authorized(h.object(), DEVICE_AUTHORIZED);

        for (const QString& answer : answers.split(' ')) {
            const QString id = answer.section(':', 0, 0);
            h.answer(kList, answerMap(answer.section(':', 1).toInt(), id == "*" ? QString() : id), context);
        }

        QCOMPARE(emitted(authorized), signalled);
        QCOMPARE(column(h.cameraModel(), Cam::Status), statuses);
    }

    // A login answered while a refresh or a new search had taken the row away is
    // still an answered request: when the camera is found again, a failed login to it
    // shows the failure instead of waiting for an answer that already came.
    void answeredWhileRowGone_data()
    {
        QTest::addColumn<QString>("clearedBy");  // the QML call that empties the camera model
        QTest::addColumn<QString>("command");
        QTest::addColumn<bool>("perDevice");     // list answers: with "delID" or for the whole list
        QTest::addColumn<int>("requests");       // outstanding for the camera when its row goes

        QTest::newRow("login, refresh") << "refreshDevices" << kSingle << false << 1;
        QTest::newRow("login, new search") << "searchDevices" << kSingle << false << 1;
        QTest::newRow("list login answered per camera, refresh") << "refreshDevices" << kList << true << 1;
        QTest::newRow("list login answered as a whole, new search") << "searchDevices" << kList << false << 1;
        QTest::newRow("two logins, one answered while the row is gone") << "refreshDevices" << kSingle << false << 2;
    }

    void answeredWhileRowGone()
    {
        QFETCH(QString, clearedBy);
        QFETCH(QString, command);
        QFETCH(bool, perDevice);
        QFETCH(int, requests);

        CheckedHarness h;
        searchCameras(h, {camera("a")});
        QList<void*> contexts;
        const auto login = [&h, &command, &contexts] {
            const bool sent = command == kSingle ? h.call("authorize", {"a", "u", "p"}).toBool()
                                                 : h.call("authorizeList", {QStringList{"a"}, "u", "p"}).toBool();
            contexts.append(lastContext(h));
            return sent;
        };
        for (int i = 0; i < requests; ++i)
            QVERIFY(login());

        QVERIFY(h.call(clearedBy.toLatin1(), {0, 0}).toBool());
        QSignalSpy authorized(h.object(), DEVICE_AUTHORIZED);
        const QVariantMap failed = answerMap(1, perDevice ? QStringLiteral("a") : QString());
        h.answer(command, failed, contexts.takeFirst());
        QCOMPARE(authorized.count(), 0);

        h.answerSearch(h.wrapper().lastRequestId(), {camera("a")});
        QVERIFY(login());
        for (void* context : std::as_const(contexts))
            h.answer(command, failed, context);
        QCOMPARE(statusName(statusOf(h)), statusName(DetectCode1));
    }

    // A refused single request still marks its row and counts as outstanding, so the
    // closing list answer keeps that row Checking; answers to its context are ignored.
    void refusedSendStillPending()
    {
        CheckedHarness h;
        searchCameras(h, {camera("a"), camera("b")});
        h.wrapper().sendResult = false;
        QVERIFY(h.call("authorize", {"a", "u", "p"}).toBool());
        void* refused = lastContext(h);
        QCOMPARE(column(h.cameraModel(), Cam::Status), QStringLiteral("0,6"));
        QSignalSpy authorized(h.object(), DEVICE_AUTHORIZED);
        h.answer(kSingle, answerMap(0), refused);
        QCOMPARE(authorized.count(), 0);
        h.wrapper().sendResult = true;
        QVERIFY(h.call("authorizeList", {QStringList{"a", "b"}, "u", "p"}).toBool());
        h.answer(kList, answerMap(1), lastContext(h));
        QCOMPARE(column(h.cameraModel(), Cam::Status), QStringLiteral("0,2"));
    }
};

QTEST_MAIN(tst_Authorize)
#include "tst_authorize.moc"
