// Hostile input per source the plug-in reads; the fuzzers feed random input of the same kinds.
#include "ModelTesters.h"
#include "Roles.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#if !defined(Q_OS_WIN)
#include <sys/stat.h>
#endif


namespace {

// A superseded device search, then the current one's cameras a and b under a hand-added one.
struct Populated : CheckedHarness
{
    QString superseded = startDeviceSearch(), search = startDeviceSearch(), before;

    Populated()
    {
        answerSearch(search, {foundDevice("a", "10.0.0.2"), foundDevice("b", "10.0.0.10", 8080, 1)});
        call("addDevice", {"manual", 0, "10.0.0.99", 554});
        before = state();
    }
    QString state() const  // every role of every row of both models
    {
        QString all;
        for (int role = Qt::UserRole; role <= Cam::Last; ++role)
            all += column(cameraModel(), role) + '\n' + column(stationModel(), role) + '\n';
        return all;
    }
};

} // namespace

class tst_Hostile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Wrong types read as text, empty or 0; what is meant for another search changes nothing;
    // an answer to the current search is a success, whatever it holds.
    void serverInput_data()
    {
        QTest::addColumn<QString>("request");      // "current" or "superseded"
        QTest::addColumn<QVariantMap>("payload");  // with "detRes" a detection
        QTest::addColumn<int>("role");             // of the last camera row; 0: nothing may change
        QTest::addColumn<QString>("expected");     // null: any
        const auto row = [](const char* name, const char* request, const QVariantMap& payload, int role = 0,
                            const QString& expected = {}) { QTest::newRow(name) << request << payload << role << expected; };
        const auto devListWith = [](const char* key, const QVariant& value) {
            QVariantMap device = foundDevice("c", "10.0.0.3");
            device[key] = value;
            return QVariantMap{{"devList", QVariantList{device}}};
        };
        const auto detection = [](const char* id, const QVariant& detRes) { return QVariantMap{{"delID", id}, {"detRes", detRes}}; };
        row("devList a map", "current", {{"devList", foundDevice("c", "1")}});
        row("non-map entries read as one, empty", "current", {{"devList", QVariantList{"x", 5, QVariant()}}}, Cam::Id, "");
        row("port a word is 0, so HTTPS", "current", devListWith("HttpPort", "x"), Cam::Port, "443");
        row("2 MB MAC", "current", devListWith("MAC", QString(2 << 20, u'A')), Cam::Mac, QStringList(1 << 20, "AA").join('-'));
        row("null detRes is 0", "current", detection("b", QVariant::fromValue(nullptr)), Cam::Status, "1");
        row("detRes smallest int", "current", detection("b", INT_MIN), Cam::Status, "4");
        QVariantList batch(100000);
        for (int i = 0; i < batch.size(); ++i)
            batch[i] = foundDevice(QString::number(i), "10.0.0.1");
        row("100,000 devices", "current", {{"devList", batch}}, Cam::Id, "99999");
        row("answer to a superseded search", "superseded", devListWith("delID", "n"));
    }

    void serverInput()
    {
        QFETCH(QString, request);
        QFETCH(QVariantMap, payload);
        QFETCH(int, role);
        QFETCH(QString, expected);
        Populated h;
        QSignalSpy answered(h.object(), SIGNAL(searchDevicesResp(bool, bool)));
        payload.insert("reqUID", request == "current" ? h.search : h.superseded);
        payload.contains("detRes") ? h.event("detCamResEvt", payload) : h.answer("searchDevice", payload);
        const bool toldSuccess = answered.count() == 1 && answered.first().at(0).toBool();
        const bool answersThisSearch = !payload.contains("detRes") && request == "current";
        QCOMPARE(toldSuccess, answersThisSearch);
        if (!role) {
            QCOMPARE(h.state(), h.before);
            return;
        }
        const QString stored = h.cameraModel()->index(h.cameraModel()->rowCount() - 1, 0).data(role).toString();
        if (!expected.isNull())
            QCOMPARE(stored, expected);
    }

    // Answers with null or foreign user data change nothing; the live one still counts.
    // Stale user data: tst_authorize (repeatedAnswerAfterSettlingReachesNothing).
    void userData()
    {
        Populated h;
        QVERIFY(h.call("authorize", {"a", "u", "p"}).toBool());
        void* live = h.wrapper().last().userData;
        // Laid out like the plug-in's own context, which a plug-in trusting any pointer would read.
        struct { QString username = "intruder", password = "secret"; QStringList uidList{"a", "b"}; } foreign;
        const QString before = h.state();
        QSignalSpy authorized(h.object(), SIGNAL(deviceAuthorized(QString, PluginDeviceSearch::DeviceStatus)));
        for (void* userData : {static_cast<void*>(nullptr), static_cast<void*>(&foreign)})
            for (const char* command : {"authorizeDevice", "authorizeDeviceList"})
                h.answer(command, QVariantMap{{"delID", "a"}}, userData);
        QCOMPARE(h.state(), before);
        h.answer("authorizeDevice", QVariant(), live);  // no map: every key missing, "detRes" is 0
        QCOMPARE(authorized.count(), 1);
    }

    void qmlCalls_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("devices");  // read from the file named; -1: whatever the bytes give
        const auto write = [this](const char* name, const QByteArray& content) {
            return writeFile(m_files.filePath(name), content);
        };
#if !defined(Q_OS_WIN)
        QVERIFY(::mkfifo(QFile::encodeName(m_files.filePath("fifo")).constData(), 0600) == 0);
#endif
        QTest::newRow("null") << QString() << 0;
        QTest::newRow("four million characters") << QString(1 << 22, u'x') << 0;
        QTest::newRow("id with trailing space") << "a " << 0;
        QTest::newRow("binary file") << write("binary", QByteArray("\0\xff\n,\r\"", 6).repeated(9999)) << -1;
        QTest::newRow("20 MB") << write("big", "model,ip,port\n" + QByteArray("m,10.0.0.1,80\n").repeated(1500000)) << -1;
        QTest::newRow("one 5 MB line") << write("line", "model,ip,port\n" + QByteArray(5 << 20, 'm') + ",10.0.0.1,80\n") << 1;
#if defined(Q_OS_WIN)
        // The console waits for typing like a FIFO without a writer.
        QTest::newRow("device name CON") << m_files.filePath("CON") << 0;
        QTest::newRow("device name NUL.csv") << m_files.filePath("NUL.csv") << 0;
#else
        QTest::newRow("a FIFO without a writer") << m_files.filePath("fifo") << 0;
#endif
    }

    // Ids that name nothing are refused, filters and imports (at once for what is no regular
    // file) change no model, a device is added whatever it is given. Which added devices
    // can be sent (an address and a usable port): tst_authorize.
    void qmlCalls()
    {
        QFETCH(QString, text);
        QFETCH(int, devices);
        Populated h;
        const qsizetype sent = h.wrapper().sent.size();
        QVERIFY(!h.call("authorize", {text, text, text}).toBool() && !h.call("authorizeList", {QStringList{text}, text, text}).toBool());
        HostKit::call(h.cameraProxy(), "setFilterString", {text});
        const QVariantList result = h.call("importDevices", {QUrl::fromLocalFile(text)}).toList();
        QCOMPARE(h.state(), h.before);
        QVERIFY(devices < 0 || result.size() == devices);

        QVERIFY(h.call("addDevice", {text, INT_MIN, text, 65535, text, INT_MAX, text, text, text, false, text}).toBool());
        QCOMPARE(h.wrapper().sent.size(), sent);
        h.call("addStation", {QVariantMap{{"Model", text}, {"delID", text}, {"Brand", INT_MAX}}});
        QCOMPARE(column(h.stationModel(), Station::BrandName), "-1");
    }

private:
    QTemporaryDir m_files;
};

QTEST_MAIN(tst_Hostile)
#include "tst_hostile.moc"
