// Hostile input, one test function per source the plug-in reads. The process must
// survive, no row may go that should stay, and odd input must read as documented.
#include "FakeTopologyPlugin.h"
#include "ModelTesters.h"
#include "Roles.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <sys/stat.h>

#include <climits>

namespace {

// Stations s1 and s2 (of a brand beyond the known ones), a superseded device search,
// then the current one's cameras a and b under a hand-added one: what hostile input
// must leave standing.
struct Populated : CheckedHarness
{
    enum { Manual, A, B };
    QString stationSearch = startStationSearch();
    QString superseded = startDeviceSearch();
    QString search = populate();
    QString before = state();

    QString populate()
    {
        answerSearch(stationSearch, {foundDevice("s1", "10.0.1.1"), foundDevice("s2", "10.0.1.2", 80, INT_MIN)});
        const QString id = startDeviceSearch();
        answerSearch(id, {foundDevice("a", "10.0.0.2"), foundDevice("b", "10.0.0.10", 8080, 1)});
        call("addDevice", {"manual", 0, "10.0.0.99", 554});
        return id;
    }
    // Every role of every row of both models: one QCOMPARE shows whether anything moved.
    QString state() const
    {
        QString all;
        for (int role = Qt::UserRole; role <= Cam::Last; ++role)
            all += column(cameraModel(), role) + '\n' + column(stationModel(), role) + '\n';
        return all;
    }
    // Some roles of a camera row as "a|b|c".
    QString camera(int row, const QList<int>& roles) const
    {
        QStringList values;
        for (int role : roles)
            values.append(cameraModel()->index(row, 0).data(role).toString());
        return values.join(u'|');
    }
    // importDevices returns a QVariant, which the meta-call wraps once more.
    QVariantList importFile(const QString& path)
    {
        return qvariant_cast<QVariant>(call("importDevices", {QUrl::fromLocalFile(path)})).toList();
    }
};

struct ServerInput
{
    QString name;     // of the command answered or the event raised
    QString request;  // "current", "superseded" or any other request id
    QVariantMap payload;
    QString newIds = {};
    int role = 0;           // read from the last camera row; 0: nothing may change
    QString expected = {};  // null: some int
};

// A search answer of one device c, with key set to value.
ServerInput answer(const QString& key, const QVariant& value, const QString& newIds, int role, const QString& expected,
                   const QString& request = "current")
{
    QVariantMap device = foundDevice("c", "10.0.0.3");
    device.insert(key, value);
    return {"searchDevice", request, {{"devList", QVariantList{device}}}, newIds, role, expected};
}

// A detection for the device id, with "detRes" set to detRes.
ServerInput detection(const QString& request, const QString& id, const QVariant& detRes, int role = 0,
                      const QString& expected = {})
{
    return {"detCamResEvt", request, {{"delID", id}, {"detRes", detRes}, {"Model", 42}}, "", role, expected};
}

} // namespace

Q_DECLARE_METATYPE(ServerInput)

class tst_Hostile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Values of the wrong type read as text, empty or 0; numbers beyond int as some int.
    // Rows already there stay, and an answer to the current search is a success.
    // Whatever is meant for another search, device or purpose changes nothing.
    void serverInput_data()
    {
        QTest::addColumn<ServerInput>("input");
        const QVariantList oddEntries{foundDevice("c", "10.0.0.3"), "x", 5, QVariant::fromValue(nullptr)};
        const QString mac(2 << 20, u'A');
        QTest::newRow("devList is a string") << ServerInput{"searchDevice", "current", {{"devList", "c"}}};
        QTest::newRow("devList is a map") << ServerInput{"searchDevice", "current", {{"devList", foundDevice("c", "1")}}};
        QTest::newRow("non-map entries read as one with empty texts")
            << ServerInput{"searchDevice", "current", {{"devList", oddEntries}}, ",c,", Cam::BrandName, "qrln"};
        QTest::newRow("numeric id reads as its text") << answer("delID", 7, ",7", Cam::Id, "7");
        QTest::newRow("port as a word is 0, so HTTPS") << answer("HttpPort", "http", ",c", Cam::Port, "443");
        QTest::newRow("negative port is kept") << answer("HttpPort", -1, ",c", Cam::Port, "-1");
        QTest::newRow("port beyond int") << answer("HttpPort", qint64(1) << 40, ",c", Cam::Port, QString());
        QTest::newRow("brand as a word is 0") << answer("Brand", "onvif", ",c", Cam::BrandName, "qrln");
        QTest::newRow("numeric MAC gets hyphens") << answer("MAC", 12345, ",c", Cam::Mac, "1-23-45");
        // Hyphens inserted one at a time held the GUI thread for minutes on this one.
        QTest::newRow("2 MB MAC") << answer("MAC", mac, ",c", Cam::Mac, QStringList(mac.size() / 2, "AA").join(u'-'));
        QTest::newRow("null detRes is 0") << detection("current", "b", QVariant::fromValue(nullptr), Cam::Status, "1");
        QTest::newRow("detRes a word is 0") << detection("current", "b", "abc", Cam::Status, "1");
        QTest::newRow("detRes digits") << detection("current", "b", "1", Cam::Status, "2");
        QTest::newRow("detRes largest int") << detection("current", "b", INT_MAX, Cam::Status, "4");
        QTest::newRow("detRes smallest int") << detection("current", "b", INT_MIN, Cam::Status, "4");
        QTest::newRow("detected model a number") << detection("current", "b", 0, Cam::Model, "42");
        QTest::newRow("answer to a superseded search") << answer("delID", "new", "", 0, "", "superseded");
        QTest::newRow("answer for an unknown request") << answer("delID", "new", "", 0, "", "{x}");
        QTest::newRow("detection for a superseded search") << detection("superseded", "b", 0);
        QTest::newRow("detection for a station's id") << detection("current", "s1", 0);
    }

    void serverInput()
    {
        QFETCH(ServerInput, input);
        Populated h;
        const QString ids = column(h.cameraModel(), Cam::Id);
        QSignalSpy answered(h.object(), SIGNAL(searchDevicesResp(bool, bool)));
        const QString& request = input.request == "current"      ? h.search
                                 : input.request == "superseded" ? h.superseded
                                                                 : input.request;
        input.payload.insert("reqUID", request);
        input.name == "searchDevice" ? h.answer(input.name, input.payload) : h.event(input.name, input.payload);

        const bool current = input.name == "searchDevice" && input.request == "current";
        QCOMPARE(answered.count(), current ? 1 : 0);
        QVERIFY(!current || answered.first().at(0).toBool());
        QCOMPARE(column(h.cameraModel(), Cam::Id), ids + input.newIds);
        const QVariant stored = h.cameraModel()->index(h.cameraModel()->rowCount() - 1, 0).data(input.role);
        if (!input.role)
            QCOMPARE(h.state(), h.before);
        else if (input.expected.isNull())
            QCOMPARE(stored.metaType().id(), int(QMetaType::Int));
        else
            QCOMPARE(stored.toString(), input.expected);
    }

    void authorizationAnswers_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("userData");
        QTest::addColumn<QVariant>("result");

        const QVariantMap success{{"detRes", 0}, {"delID", "a"}, {"Model", "Z9"}, {"ChannelNum", 4}};
        for (const char* command : {"authorizeDevice", "authorizeDeviceList"}) {
            for (const char* userData : {"null", "foreign", "stale"})
                QTest::addRow("%s, %s user data", command, userData) << command << userData << QVariant(success);
        }
        QTest::newRow("live, details of the wrong type read as empty and 0")
            << "authorizeDevice" << "live" << QVariant(QVariantMap{{"ChannelNum", "lots"}, {"Model", QVariantMap{}}});
    }

    // Only a context the plug-in still holds may be read; any other user data makes an
    // answer without one, which changes nothing, and the live request stays answerable.
    void authorizationAnswers()
    {
        QFETCH(QString, command);
        QFETCH(QString, userData);
        QFETCH(QVariant, result);

        Populated h;
        // Settled while the live one is held, so the two never share an address.
        QVERIFY(h.call("authorize", {"a", "u1", "p1"}).toBool());
        void* stale = h.wrapper().last().userData;
        QVERIFY(h.call("authorize", {"a", "u2", "p2"}).toBool());
        void* live = h.wrapper().last().userData;
        h.answer("authorizeDevice", QVariantMap{{"detRes", 1}}, stale, "1");
        // Laid out like the plug-in's own, so a plug-in trusting any pointer would read it.
        struct { QString username = "intruder", password = "secret"; QStringList uidList{"a", "b"}; } foreign;
        void* given = userData == "live" ? live : userData == "stale" ? stale : userData == "foreign" ? &foreign : nullptr;

        const QString before = h.state();
        QSignalSpy authorized(h.object(), SIGNAL(deviceAuthorized(QString, PluginDeviceSearch::DeviceStatus)));
        h.answer(command, result, given);
        if (userData != "live") {
            QCOMPARE(h.state(), before);
            QCOMPARE(authorized.count(), 0);
            h.answer("authorizeDevice", QVariant(), live);  // no map: every key missing, "detRes" is 0
        }
        QCOMPARE(authorized.count(), 1);
        QCOMPARE(h.camera(h.A, {Cam::Status, Cam::UserName, Cam::Model, Cam::ChannelNum}), "1|u2||0");
        QCOMPARE(h.camera(h.B, {Cam::Status}), "6");
    }

    // 100,000 devices in one answer into a filtered, sorted view, the same again, one id
    // that many times; then all of them authorized in one list, and that answer replayed.
    void bigBatches()
    {
        const int count = 100000;
        PluginHarness h;
        metaCall(h.cameraProxy(), "sortByRole", {Cam::Ip});
        metaCall(h.cameraProxy(), "setFilterString", {"10."});
        QVariantList batch;
        QStringList ids;
        for (int i = 0; i < count; ++i) {
            ids.append(QString::number(i));
            batch.append(foundDevice(ids.last(), QString("10.%1.%2.%3").arg(i >> 16).arg((i >> 8) & 255).arg(i & 255)));
        }
        const QString search = h.startDeviceSearch();
        h.answerSearch(search, batch);
        h.answerSearch(search, batch);
        h.answerSearch(search, QVariantList(count, foundDevice("same", "10.1.1.1")));
        QCOMPARE(column(h.cameraModel(), Cam::Id), ids.join(u',') + ",same");
        // A tester watching would walk the whole model after every change; it checks
        // the models once here. Smaller batches take the same path with every change checked.
        ModelTesters{h};

        QVERIFY(h.call("authorizeList", {ids, "u", "p"}).toBool());
        QCOMPARE(h.wrapper().last().list().size(), count);
        void* context = h.wrapper().last().userData;
        QSignalSpy authorized(h.object(), SIGNAL(deviceAuthorized(QString, PluginDeviceSearch::DeviceStatus)));
        h.answer("authorizeDeviceList", QVariantMap{{"detRes", 0}}, context);
        h.answer("authorizeDeviceList", QVariantMap{{"detRes", 1}}, context, "1");  // settled: changes nothing
        QCOMPARE(authorized.count(), count);
        QCOMPARE(column(h.cameraModel(), Cam::Status), QStringList(count, "1").join(u',') + ",6");
    }

    void qmlCalls_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("sendable");

        QTest::newRow("empty") << "" << 80 << false;
        QTest::newRow("null") << QString() << 80 << false;
        QTest::newRow("four million characters") << QString(1 << 22, u'x') << 80 << true;
        QTest::newRow("id in other letter case, port 0") << "A" << 0 << false;
        QTest::newRow("id with trailing space, port 65535") << "a " << 65535 << true;
        QTest::newRow("a fresh uuid") << QUuid::createUuid().toString() << 80 << true;
    }

    void qmlCalls()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        QFETCH(bool, sendable);

        Populated h;
        const qsizetype sent = h.wrapper().sent.size();
        // Ids that name nothing: refused, nothing sent; filters change the views only.
        QCOMPARE(h.call("authorize", {text, text, text}).toBool(), false);
        QCOMPARE(h.call("authorizeList", {QStringList{text, text}, text, text}).toBool(), false);
        QCOMPARE(h.call("setAuthorization", {QStringList{text}, text, text}).toBool(), true);
        h.call("removeRowInSearchedStationTableModel", {text});
        QCOMPARE(h.importFile(text), QVariantList());
        metaCall(h.cameraProxy(), "setFilterString", {text});
        metaCall(h.stationProxy(), "setFilterString", {text});
        QCOMPARE(h.wrapper().sent.size(), sent);
        QCOMPARE(h.state(), h.before);

        // Stored as given, extreme numbers too; only an address with a usable port is sent.
        QVERIFY(h.call("addDevice", {text, INT_MIN, text, port, text, INT_MAX, text, text, text, false, text}).toBool());
        QCOMPARE(h.camera(0, {Cam::Ip, Cam::Model, Cam::HostName, Cam::StreamingProtocol}), QStringList(4, text).join(u'|'));
        QCOMPARE(h.camera(0, {Cam::Port, Cam::Type, Cam::BrandName}), QString("%1|%2|-1").arg(port).arg(INT_MIN));
        QCOMPARE(h.call("authorize", {h.camera(0, {Cam::Id}), "u", "p"}).toBool(), sendable);
        QCOMPARE(h.wrapper().sent.size(), sent + (sendable ? 1 : 0));
        QVERIFY(!sendable || h.wrapper().last().map().value("HttpPort").toInt() == port);

        h.call("addStation", {QVariantMap{{"Model", text}, {"delID", text}, {"HostName", text}, {"Brand", INT_MAX}}});
        QCOMPARE(h.stationModel()->index(0, 0).data(Station::Model).toString(), text);
        // Station brands were cast to the brand enumeration: undefined beyond its values.
        QCOMPARE(column(h.stationModel(), Station::BrandName), "-1,qrln,-1");
        QVERIFY(h.call("refreshDevices", {0, 0, text}).toBool());
        QCOMPARE(h.wrapper().last().map().value("relayPath").toString(), text);
    }

    void importFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("devices");  // -1: whatever the bytes happen to give

        QByteArray noise(1 << 16, Qt::Uninitialized);
        QRandomGenerator(20240601).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        QByteArray big = "model,ip,port\n";
        for (int i = 0; big.size() < (20 << 20); ++i)
            big += QByteArray(1000, 'm') + ",10.0." + QByteArray::number(i >> 8) + '.' + QByteArray::number(i & 255)
                   + ",80\n";
        const QString fifo = m_files.filePath("fifo");
        QTest::newRow("empty file") << write("empty", {}) << 0;
        QTest::newRow("binary file") << write("binary", noise) << -1;
        QTest::newRow("20 MB of good lines") << write("big", big) << int(big.count('\n') - 1);
        QTest::newRow("one 5 MB line") << write("line", "model,ip,port\n" + QByteArray(5 << 20, 'm') + ",10.0.0.1,80\n")
                                       << 1;
        QTest::newRow("a directory") << m_files.path() << 0;
        QTest::newRow("a FIFO without a writer") << (::mkfifo(QFile::encodeName(fifo).constData(), 0600) ? "" : fifo) << 0;
    }

    // importDevices comes back (at once for what is no regular file), reads what can be
    // read, and leaves every model as it was.
    void importFiles()
    {
        QFETCH(QString, path);
        QFETCH(int, devices);

        QVERIFY(!path.isEmpty());
        FakeTopologyPlugin topology;
        topology.addChannel("10.0.0.1", "554", 1, 1);
        Populated h;
        h.wrapper().pluginObjects.insert(FakeTopologyPlugin::PluginId, &topology);
        QSignalSpy exist(h.object(), SIGNAL(devicesExist()));
        QSignalSpy wrong(h.object(), SIGNAL(importFileNotAllCorrect(uint)));

        const QVariantList result = h.importFile(path);
        QCOMPARE(h.state(), h.before);
        // Nothing in this topology matches, so "all exist" means "nothing read".
        QCOMPARE(exist.count(), result.isEmpty() ? 1 : 0);
        QVERIFY(wrong.count() <= (devices < 0 ? 1 : 0));
        QVERIFY(devices < 0 || result.size() == devices);
        QVERIFY(devices != 1 || result.first().toMap().value("modelName").toString().size() == (5 << 20));
    }

private:
    QString write(const QString& name, const QByteArray& content)
    {
        QFile file(m_files.filePath(name));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() ? file.fileName() : QString();
    }

    QTemporaryDir m_files;
};

QTEST_MAIN(tst_Hostile)
#include "tst_hostile.moc"
