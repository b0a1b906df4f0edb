#include "ModelTesters.h"
#include "Roles.h"

#include <QSignalSpy>
#include <QTest>

#include <utility>

#define DEVICE_AUTHORIZED SIGNAL(deviceAuthorized(QString, PluginDeviceSearch::DeviceStatus))

namespace {

const QString kInternalError = QStringLiteral("{2C85B19D-AE6F-45D9-B8FE-DC436FCBEABE}FrameworkInternalError");
const QString kSingle = QStringLiteral("authorizeDevice");
const QString kList = QStringLiteral("authorizeDeviceList");
// answerStateTable: no second request; no deviceAuthorized at all.
constexpr int kNoProbe = -1;
constexpr int kNotSignalled = -1;

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

QString statusOf(PluginHarness& h) { return statusName(h.cameraModel()->index(0, 0).data(Cam::Status)); }
void* lastContext(PluginHarness& h) { return h.wrapper().last().userData; }

QVariantMap answerMap(int detRes, const QString& delId = QString())
{
    return delId.isEmpty() ? QVariantMap{{"detRes", detRes}} : QVariantMap{{"detRes", detRes}, {"delID", delId}};
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

// The (id, status) pairs a spy saw, as "a:Authorized".
QStringList emitted(const QSignalSpy& spy)
{
    QStringList out;
    for (const QList<QVariant>& args : spy)
        out.append(args.at(0).toString() + ':' + statusName(args.at(1).toInt()));
    return out;
}

// Every command sent after the first n, one entry per device of a list command.
QStringList describeSent(PluginHarness& h, int n)
{
    QStringList out;
    for (const SentCommand& sent : h.wrapper().sent.mid(n)) {
        const QVariantList devices = sent.parameters.metaType() == QMetaType::fromType<QVariantList>()
                                         ? sent.list() : QVariantList{sent.parameters};
        for (const QVariant& device : devices)
            out.append(describe(sent.command, device));
    }
    return out;
}

// One answer to a list request: a device's own, or the whole list's (empty id).
struct ListAnswer
{
    QString id;
    int detRes;
};

} // namespace

Q_DECLARE_METATYPE(ListAnswer)

class tst_Authorize : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Cameras a (DetectCode1), b, c (Failed), auth (Authorized) and three a request
    // cannot reach: no address, port 0, port 65536; one call on them. Left unanswered:
    // the leak checker shows outstanding contexts are released.
    void requestsAndOfflineCredentials_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QStringList>("uids");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QStringList>("sent");      // one entry per device
        QTest::addColumn<QStringList>("statuses");  // a, b, c, auth, noip, port0, port65536
        QTest::addColumn<QStringList>("previous");
        QTest::addColumn<QStringList>("offline");   // addOfflineCamera
        QTest::addColumn<QStringList>("logins");    // user name and password
        const QString D1 = "DetectCode1", NC = "NotChecked", F = "Failed", A = "Authorized", C = "Checking";
        const QStringList untouched{D1, NC, F, A, NC, NC, NC};
        const QStringList none(7);
        const QByteArray single("authorize"), list("authorizeList");
        const auto unchanged = [&](const char* name, const QByteArray& method, const QStringList& uids, bool accepted) {
            QTest::newRow(name) << method << uids << accepted << QStringList() << untouched << none << QStringList()
                                << none;
        };
        unchanged("no address: refused", single, {"noip"}, false);
        unchanged("port 0: refused", single, {"port0"}, false);
        unchanged("port 65536: refused", single, {"port65536"}, false);
        unchanged("Authorized row: nothing to send", single, {"auth"}, true);
        unchanged("list with an unknown uid: refused whole", list, {"missing", "auth"}, false);
        unchanged("list of unusable rows: refused", list, {"noip", "port0", "port65536"}, false);

        QTest::newRow("single request: brand, port, address and login, typed")
            << single << QStringList{"c"} << true
            << QStringList{"authorizeDevice Brand=2:int;HttpPort=65535:int;IP=10.0.0.7:QString;Password=secret:QString;"
                           "Username=admin:QString"}
            << QStringList{D1, NC, C, A, NC, NC, NC} << QStringList{"", "", F, "", "", "", ""} << QStringList()
            << none;
        const QString b = "authorizeDeviceList Brand=1:int;HttpPort=1:int;IP=10.0.0.2:QString;MAC=00-11:QString;"
                          "Password=secret:QString;Username=admin:QString;delID=b:QString";
        const QString a = "authorizeDeviceList Brand=0:int;HttpPort=80:int;IP=10.0.0.1:QString;MAC=AA-BB-CC-DD-EE-FF:"
                          "QString;Password=secret:QString;Username=admin:QString;delID=a:QString";
        // Each row keeps its status from before its latest request (b's second: Checking).
        QTest::newRow("list passes over missing, Authorized and unusable rows, keeps duplicates")
            << list << QStringList{"missing", "b", "auth", "a", "port0", "b", "noip"} << true << QStringList{b, a, b}
            << QStringList{C, C, F, A, NC, NC, NC} << QStringList{D1, C, "", "", "", "", ""} << QStringList() << none;
        QTest::newRow("credentials stored offline, without a login; unknown uids passed over")
            << QByteArray("setAuthorization") << QStringList{"c", "missing", "a"} << true << QStringList()
            << QStringList{"Offline", NC, "Offline", A, NC, NC, NC} << QStringList{D1, "", F, "", "", "", ""}
            << QStringList{"c:Offline", "a:Offline"} << QStringList{"op pw", "", "op pw", "", "", "", ""};
    }

    void requestsAndOfflineCredentials()
    {
        QFETCH(QByteArray, method);
        QFETCH(QStringList, uids);
        QFETCH(bool, accepted);
        QFETCH(QStringList, sent);
        QFETCH(QStringList, statuses);
        QFETCH(QStringList, previous);
        QFETCH(QStringList, offline);
        QFETCH(QStringList, logins);

        CheckedHarness h;
        const QString searchId = searchCameras(
            h, {camera("a", "10.0.0.1", 80, 0, "AABBCCDDEEFF"), camera("b", "10.0.0.2", 1, 1, "00-11"),
                camera("c", "10.0.0.7", 65535, 2), camera("auth"), camera("noip", ""), camera("port0", "10.0.0.9", 0),
                camera("port65536", "10.0.0.9", 65536)});
        detect(h, searchId, "a", 1);
        detect(h, searchId, "c", 9);
        detect(h, searchId, "auth", 0);
        QSignalSpy offlineSpy(h.object(), SIGNAL(addOfflineCamera(QString, PluginDeviceSearch::DeviceStatus)));

        // Requests log in as admin; credentials stored offline are another pair.
        const QStringList login = method == "setAuthorization" ? QStringList{"op", "pw"} : QStringList{"admin", "secret"};
        const QVariant target = method == "authorize" ? QVariant(uids.first()) : QVariant(uids);
        QCOMPARE(h.call(method, {target, login[0], login[1]}).toBool(), accepted);

        QCOMPARE(describeSent(h, 1), sent);
        QCOMPARE(statusNames(h.cameraModel(), Cam::Status), statuses);
        QCOMPARE(statusNames(h.cameraModel(), Cam::PreviousStatus), previous);
        QCOMPARE(emitted(offlineSpy), offline);
        QStringList rowLogins;
        for (int row = 0; row < h.cameraModel()->rowCount(); ++row) {
            const QModelIndex index = h.cameraModel()->index(row, 0);
            rowLogins.append(QStringList{index.data(Cam::UserName).toString(), index.data(Cam::Password).toString()}
                                 .join(' ').trimmed());
        }
        QCOMPARE(rowLogins, logins);
    }

    // One answer to the first authorize call for camera "a" from startStatus. With
    // afterProbe set, three requests were out and a fourth follows; the second call's
    // answer ("0", detRes 1) then leaves Checking when an entry of the first three was
    // left, and DetectCode1 when the answer took them all.
    void answerStateTable_data()
    {
        QTest::addColumn<int>("startStatus");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QVariant>("detRes");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("signalled");
        QTest::addColumn<bool>("loginStored");
        QTest::addColumn<bool>("factsTaken");  // model, MAC, brand, channels, streams from the answer
        QTest::addColumn<int>("afterProbe");   // kNoProbe: no second call

        const auto row = [](const char* name, int start, const QString& code, const QVariant& detRes, int status,
                            int signalled, int afterProbe) {
            const QStringList told = signalled == kNotSignalled ? QStringList() : QStringList{"a:" + statusName(signalled)};
            QTest::newRow(name) << start << code << detRes << status << told
                                << (signalled == Authorized || signalled == DetectCode2) << (signalled == Authorized)
                                << afterProbe;
        };
        row("0, no detRes: Authorized, facts, all entries gone", NotChecked, "0", {}, Authorized, Authorized,
            DetectCode1);
        row("0, detRes 2: Offline with login, one entry gone", NotChecked, "0", 2, Offline, DetectCode2, Checking);
        row("other code: Failed at once, one entry gone", NotChecked, "1", 1, Failed, DetectCode1, Checking);
        row("other code, detRes 0: Failed, facts, all entries gone", NotChecked, "E", 0, Failed, Authorized,
            DetectCode1);
        row("internal error restores DetectCode1, detRes 2 stores the login", DetectCode1, kInternalError, 2,
            DetectCode1, DetectCode2, kNoProbe);
        row("internal error after a second request restores Checking, one entry gone", Failed, kInternalError, 1,
            Checking, DetectCode1, Checking);
        row("internal error code in other letter case is a plain failure", NotChecked, kInternalError.toLower(), 7,
            Failed, Failed, kNoProbe);
        row("row Authorized meanwhile: answer ignored, its entry kept", Authorized, "E", 1, Authorized, kNotSignalled,
            Checking);
    }

    void answerStateTable()
    {
        QFETCH(int, startStatus);
        QFETCH(QString, code);
        QFETCH(QVariant, detRes);
        QFETCH(int, status);
        QFETCH(QStringList, signalled);
        QFETCH(bool, loginStored);
        QFETCH(bool, factsTaken);
        QFETCH(int, afterProbe);

        CheckedHarness h;
        const QString searchId = searchCameras(h, {camera("a")});
        if (startStatus == DetectCode1)
            detect(h, searchId, "a", 1);
        if (startStatus == Failed)
            detect(h, searchId, "a", 9);
        QList<void*> contexts;
        const int requests = afterProbe == kNoProbe ? 1 : 3;
        for (int i = 0; i < requests; ++i) {
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

        QCOMPARE(statusOf(h), statusName(status));
        QCOMPARE(emitted(authorized), signalled);
        const QModelIndex row = h.cameraModel()->index(0, 0);
        const QString rowLogin = row.data(Cam::UserName).toString() + ' ' + row.data(Cam::Password).toString();
        const QString login = loginStored ? "admin secret" : " ";
        QCOMPARE(rowLogin, login);
        QStringList facts;
        for (int role : {Cam::Model, Cam::Mac, Cam::Brand, Cam::BrandName, Cam::ChannelNum, Cam::RtspPort})
            facts.append(row.data(role).toString());
        facts.append(row.data(Cam::StreamUrlList).toStringList().join(','));
        const QString expectedFacts = factsTaken ? "M9 A-BC-DE 1 onvif 4 554 rtsp://1,rtsp://2"
                                                 : "M1 00-11-22-AA-BB-CC 0 qrln 1 0 ";
        QCOMPARE(facts.join(' '), expectedFacts);

        if (afterProbe == kNoProbe)
            return;
        // Leave Authorized without touching the pending entries, then probe.
        if (statusOf(h) == statusName(Authorized))
            QVERIFY(h.call("setAuthorization", {QStringList{"a"}, "u", "p"}).toBool());
        QVERIFY(h.call("authorize", {"a", "admin", "secret"}).toBool());
        h.answer(kSingle, answerMap(1), contexts.at(1));
        QCOMPARE(statusOf(h), statusName(afterProbe));
    }

    // Per-device answers and whole-list answers to one list request, against the
    // cameras a, b and c.
    void listAnswers_data()
    {
        QTest::addColumn<QStringList>("sent");
        QTest::addColumn<QList<ListAnswer>>("answers");
        QTest::addColumn<QStringList>("signalled");
        QTest::addColumn<QStringList>("statuses");

        const QString wholeList;
        const QString C = "Checking", A = "Authorized", D1 = "DetectCode1", F = "Failed", NC = "NotChecked";
        QTest::newRow("delID: that camera only, sent or not")
            << QStringList{"a", "b"} << QList<ListAnswer>{{"b", 0}, {"c", 0}} << QStringList{"b:" + A, "c:" + A}
            << QStringList{C, A, A};
        QTest::newRow("no delID: every uid sent, in order")
            << QStringList{"a", "b", "a"} << QList<ListAnswer>{{wholeList, 1}}
            << QStringList{"a:" + D1, "b:" + D1, "a:" + D1} << QStringList{D1, D1, NC};
        // An answer for a camera that did not go out, or one more than went out, settles
        // nothing of the request: b's answer still finds it.
        QTest::newRow("settled once every uid sent had its answer")
            << QStringList{"a", "b", "a"} << QList<ListAnswer>{{"c", 1}, {"a", 1}, {"a", 1}, {"a", 1}, {"b", 0}}
            << QStringList{"c:" + D1, "a:" + D1, "a:" + D1, "a:" + D1, "b:" + A} << QStringList{D1, A, D1};
        // a has no entry left for the whole-list answer: nothing else is outstanding for
        // it, so its failure is final.
        QTest::newRow("settled by a whole-list answer")
            << QStringList{"a", "b"} << QList<ListAnswer>{{"a", 1}, {wholeList, 7}, {"b", 1}}
            << QStringList{"a:" + D1, "a:" + F, "b:" + F} << QStringList{F, F, NC};
    }

    void listAnswers()
    {
        QFETCH(QStringList, sent);
        QFETCH(QList<ListAnswer>, answers);
        QFETCH(QStringList, signalled);
        QFETCH(QStringList, statuses);

        CheckedHarness h;
        searchCameras(h, {camera("a"), camera("b"), camera("c")});
        QVERIFY(h.call("authorizeList", {sent, "admin", "secret"}).toBool());
        void* context = lastContext(h);
        QSignalSpy authorized(h.object(), DEVICE_AUTHORIZED);

        for (const ListAnswer& answer : answers)
            h.answer(kList, answerMap(answer.detRes, answer.id), context);

        QCOMPARE(emitted(authorized), signalled);
        QCOMPARE(statusNames(h.cameraModel(), Cam::Status), statuses);
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
        QCOMPARE(statusOf(h), statusName(DetectCode1));
    }

    // A repeated answer to a settled login reaches nothing, also once a later login's
    // context has taken the settled one's place in memory.
    void repeatedAnswerAfterSettlingReachesNothing()
    {
        CheckedHarness h;
        searchCameras(h, {camera("a"), camera("b")});
        QVERIFY(h.call("authorize", {"a", "u", "p"}).toBool());
        void* settled = lastContext(h);
        h.answer(kSingle, answerMap(1), settled);
        QVERIFY(h.call("authorize", {"b", "u", "p"}).toBool());
        QSignalSpy authorized(h.object(), DEVICE_AUTHORIZED);

        h.answer(kSingle, answerMap(0), settled);
        QCOMPARE(authorized.count(), 0);
        QCOMPARE(statusNames(h.cameraModel(), Cam::Status), (QStringList{"DetectCode1", "Checking"}));
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
        QCOMPARE(statusNames(h.cameraModel(), Cam::Status), (QStringList{"Checking", "NotChecked"}));
        QSignalSpy authorized(h.object(), DEVICE_AUTHORIZED);
        h.answer(kSingle, answerMap(0), refused);
        QCOMPARE(authorized.count(), 0);
        h.wrapper().sendResult = true;
        QVERIFY(h.call("authorizeList", {QStringList{"a", "b"}, "u", "p"}).toBool());
        h.answer(kList, answerMap(1), lastContext(h));
        QCOMPARE(statusNames(h.cameraModel(), Cam::Status), (QStringList{"Checking", "DetectCode1"}));
    }
};

QTEST_MAIN(tst_Authorize)
#include "tst_authorize.moc"
