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
#include <memory>

namespace {

// Every role of every row: one QCOMPARE shows whether anything moved.
QString dump(const QAbstractItemModel* model, int lastRole)
{
    QStringList columns;
    for (int role = Qt::UserRole; role <= lastRole; ++role)
        columns.append(column(model, role));
    return columns.join(u'\n');
}

// Stations s1 and s2, a superseded device search, then the current one's cameras a
// and b under a hand-added one: what hostile input must leave standing.
struct Populated : CheckedHarness
{
    enum { Manual, A, B };
    QString stationSearch = startStationSearch();
    QString superseded = startDeviceSearch();
    QString search = populate();
    QString before = state();

    QString populate()
    {
        answerSearch(stationSearch, {foundDevice("s1", "10.0.1.1"), foundDevice("s2", "10.0.1.2")});
        const QString id = startDeviceSearch();
        answerSearch(id, {foundDevice("a", "10.0.0.2"), foundDevice("b", "10.0.0.10", 8080, 1)});
        call("addDevice", {"manual", 0, "10.0.0.99", 554});
        return id;
    }
    QString state() const { return dump(cameraModel(), Cam::Last) + '\n' + dump(stationModel(), Station::Last); }
    QVariant camera(int row, int role) const { return cameraModel()->index(row, 0).data(role); }
    // importDevices returns a QVariant, which the meta-call wraps once more.
    QVariantList importFile(const QString& path)
    {
        return qvariant_cast<QVariant>(call("importDevices", {QUrl::fromLocalFile(path)})).toList();
    }
};

QVariant deviceWith(const QString& key, const QVariant& value)
{
    QVariantMap device = foundDevice("c", "10.0.0.3");
    device.insert(key, value);
    return QVariantList{device};
}

} // namespace

class tst_Hostile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Values of the wrong type read as text, empty or 0; numbers beyond int as some
    // int (no expected text). Rows already there stay, and the answer is a success.
    void searchAnswers_data()
    {
        QTest::addColumn<QVariant>("devList");
        QTest::addColumn<QString>("newIds");
        QTest::addColumn<int>("role");  // of the last row
        QTest::addColumn<QString>("expected");

        const QString mac(2 << 20, u'A');
        QTest::newRow("devList is a string") << QVariant("c") << "" << 0 << "";
        QTest::newRow("devList is a map") << QVariant(foundDevice("c", "10.0.0.3")) << "" << 0 << "";
        QTest::newRow("non-map elements make one entry with empty texts")
            << QVariant(QVariantList{foundDevice("c", "10.0.0.3"), "x", 5, QVariant::fromValue(nullptr)}) << ",c,"
            << int(Cam::BrandName) << "qrln";
        QTest::newRow("numeric id reads as its text") << deviceWith("delID", 7) << ",7" << int(Cam::Id) << "7";
        QTest::newRow("port as a word is 0, so HTTPS") << deviceWith("HttpPort", "http") << ",c" << int(Cam::Port) << "443";
        QTest::newRow("negative port is kept") << deviceWith("HttpPort", -1) << ",c" << int(Cam::Port) << "-1";
        QTest::newRow("port beyond int") << deviceWith("HttpPort", qint64(1) << 40) << ",c" << int(Cam::Port) << QString();
        QTest::newRow("brand as a word is 0") << deviceWith("Brand", "onvif") << ",c" << int(Cam::BrandName) << "qrln";
        QTest::newRow("numeric MAC gets hyphens") << deviceWith("MAC", 12345) << ",c" << int(Cam::Mac) << "1-23-45";
        // Hyphens inserted one at a time held the GUI thread for minutes on this one.
        QTest::newRow("2 MB MAC") << deviceWith("MAC", mac) << ",c" << int(Cam::Mac)
                                  << QStringList(mac.size() / 2, "AA").join(u'-');
    }

    void searchAnswers()
    {
        QFETCH(QVariant, devList);
        QFETCH(QString, newIds);
        QFETCH(int, role);
        QFETCH(QString, expected);

        Populated h;
        const QString ids = column(h.cameraModel(), Cam::Id);
        QSignalSpy answered(h.object(), SIGNAL(searchDevicesResp(bool, bool)));
        h.answer("searchDevice", QVariantMap{{"reqUID", h.search}, {"devList", devList}});

        QCOMPARE(answered.count(), 1);
        QCOMPARE(answered.first().at(0).toBool(), true);
        QCOMPARE(column(h.cameraModel(), Cam::Id), ids + newIds);
        QVERIFY(h.before.endsWith(dump(h.stationModel(), Station::Last)));  // stations as they were
        const QVariant stored = h.camera(h.cameraModel()->rowCount() - 1, role);
        if (role && expected.isNull())
            QCOMPARE(stored.metaType().id(), int(QMetaType::Int));
        else if (role)
            QCOMPARE(stored.toString(), expected);
    }

    // A detection result of the wrong type reads as 0, a success, whose details read
    // as text, empty and 0. Whatever is meant for another search, device or purpose
    // changes nothing (status -1).
    void eventsAndLateAnswers_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QVariant>("id");
        QTest::addColumn<QVariant>("detRes");
        QTest::addColumn<int>("status");  // of camera b

        const QString detection = "detCamResEvt";
        QTest::newRow("null detRes") << detection << "current" << QVariant("b") << QVariant::fromValue(nullptr)
                                     << int(Authorized);
        QTest::newRow("detRes a word") << detection << "current" << QVariant("b") << QVariant("abc") << int(Authorized);
        QTest::newRow("detRes digits") << detection << "current" << QVariant("b") << QVariant("1") << int(DetectCode1);
        QTest::newRow("detRes largest int") << detection << "current" << QVariant("b") << QVariant(INT_MAX) << int(Failed);
        QTest::newRow("detRes smallest int") << detection << "current" << QVariant("b") << QVariant(INT_MIN) << int(Failed);
        QTest::newRow("answer to a superseded search") << "searchDevice" << "superseded" << QVariant("b") << QVariant() << -1;
        QTest::newRow("answer for an unknown request") << "searchDevice" << "{x}" << QVariant("b") << QVariant() << -1;
        QTest::newRow("answer whose request id is a list") << "searchDevice" << "list" << QVariant("b") << QVariant() << -1;
        QTest::newRow("detection for a superseded search") << detection << "superseded" << QVariant("b") << QVariant() << -1;
        QTest::newRow("detection for a station's id") << detection << "current" << QVariant("s1") << QVariant() << -1;
        QTest::newRow("detection whose id is a list") << detection << "current" << QVariant(QVariantList{"b"})
                                                      << QVariant() << -1;
        QTest::newRow("unknown event") << "somethingElse" << "current" << QVariant("b") << QVariant() << -1;
    }

    void eventsAndLateAnswers()
    {
        QFETCH(QString, name);
        QFETCH(QString, request);
        QFETCH(QVariant, id);
        QFETCH(QVariant, detRes);
        QFETCH(int, status);

        Populated h;
        const QVariant requestId = request == "current" ? QVariant(h.search) : request == "superseded" ? QVariant(h.superseded)
                                 : request == "list" ? QVariant(QVariantList{h.search}) : QVariant(request);
        const QVariantMap payload{{"reqUID", requestId}, {"delID", id}, {"detRes", detRes}, {"Model", 42},
                                  {"MAC", QVariantList{}}, {"ChannelNum", "four"},
                                  {"devList", QVariantList{foundDevice("new", "10.9.9.9")}}};
        QSignalSpy devices(h.object(), SIGNAL(searchDevicesResp(bool, bool)));
        QSignalSpy stations(h.object(), SIGNAL(searchStationsResp(bool, bool)));
        if (name == "searchDevice")
            h.answer(name, payload);
        else
            h.event(name, payload);

        QCOMPARE(devices.count() + stations.count(), 0);
        if (status < 0) {
            QCOMPARE(h.state(), h.before);
            return;
        }
        QCOMPARE(h.cameraModel()->rowCount(), 3);
        QCOMPARE(h.camera(h.B, Cam::Status).toInt(), status);
        QCOMPARE(h.camera(h.A, Cam::Status).toInt(), int(NotChecked));
        if (status == Authorized) {
            QCOMPARE(h.camera(h.B, Cam::Model).toString(), "42");
            QCOMPARE(h.camera(h.B, Cam::Mac).toString(), "");
            QCOMPARE(h.camera(h.B, Cam::ChannelNum), QVariant(0));
        }
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
        // Without a map every key is missing, "detRes" too: a success.
        QTest::newRow("live, a null answer") << "authorizeDevice" << "live" << QVariant::fromValue(nullptr);
        QTest::newRow("live, details of the wrong type read as empty and 0")
            << "authorizeDevice" << "live"
            << QVariant(QVariantMap{{"ChannelNum", "lots"}, {"Model", QVariantMap{}}, {"Brand", qint64(1) << 40}});
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
            h.answer("authorizeDevice", QVariant(), live);
        }
        QCOMPARE(authorized.count(), 1);
        QCOMPARE(h.cameraModel()->rowCount(), 3);
        QCOMPARE(h.camera(h.A, Cam::Status).toInt(), int(Authorized));
        QCOMPARE(h.camera(h.A, Cam::UserName).toString(), "u2");
        QCOMPARE(h.camera(h.A, Cam::Model).toString(), "");
        QCOMPARE(h.camera(h.A, Cam::ChannelNum), QVariant(0));
        QCOMPARE(h.camera(h.B, Cam::Status).toInt(), int(NotChecked));
    }

    void bigBatches_data()
    {
        QTest::addColumn<int>("count");
        // The model tester walks the whole model after every change: smaller batch only.
        QTest::newRow("1,000 entries, every model signal checked") << 1000;
        QTest::newRow("100,000 entries") << 100000;
    }

    // One answer into a filtered, sorted view, the same again, one id many times; then
    // all of them authorized in one list, and that answer replayed.
    void bigBatches()
    {
        QFETCH(int, count);
        PluginHarness h;
        std::unique_ptr<ModelTesters> testers(count <= 1000 ? new ModelTesters(h) : nullptr);
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

    // Every text-taking call, one after the other on one object, as QML makes them.
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
        metaCall(h.cameraProxy(), "setFilterBrand", {text});
        metaCall(h.stationProxy(), "setFilterString", {text});
        QCOMPARE(h.wrapper().sent.size(), sent);
        QCOMPARE(h.state(), h.before);

        // Stored as given, extreme numbers too; only an address with a usable port is sent.
        QVERIFY(h.call("addDevice", {text, INT_MIN, text, port, text, INT_MAX, text, text, text, false, text}).toBool());
        for (int role : {Cam::Ip, Cam::Model, Cam::HostName, Cam::StreamingProtocol})
            QCOMPARE(h.camera(0, role).toString(), text);
        QCOMPARE(h.camera(0, Cam::Port).toInt(), port);
        QCOMPARE(h.camera(0, Cam::Type).toInt(), INT_MIN);
        QCOMPARE(h.camera(0, Cam::BrandName).toString(), "-1");
        QCOMPARE(h.call("authorize", {h.camera(0, Cam::Id), "u", "p"}).toBool(), sendable);
        QCOMPARE(h.wrapper().sent.size(), sent + (sendable ? 1 : 0));
        if (sendable)
            QCOMPARE(h.wrapper().last().map().value("HttpPort").toInt(), port);

        h.call("addStation", {QVariantMap{{"Model", text}, {"delID", text}, {"HostName", text}}});
        QCOMPARE(h.stationModel()->rowCount(), 3);
        QCOMPARE(h.stationModel()->index(0, 0).data(Station::Model).toString(), text);
        QVERIFY(!QUuid::fromString(h.stationModel()->index(0, 0).data(Station::Id).toString()).isNull());
        // The relay path travels unchanged; a refresh keeps both hand-added cameras.
        QVERIFY(h.call("refreshDevices", {0, 0, text}).toBool());
        QCOMPARE(h.wrapper().last().map().value("relayPath").toString(), text);
        QCOMPARE(h.cameraModel()->rowCount(), 2);
    }

    void importFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("devices");  // -1: whatever the bytes happen to give

        QByteArray noise(1 << 16, Qt::Uninitialized);
        QRandomGenerator(20240601).fillRange(reinterpret_cast<quint32*>(noise.data()), noise.size() / 4);
        QByteArray big = "model,ip,port\n";
        for (int i = 0; big.size() < (20 << 20); ++i)
            big += QByteArray(1000, 'm') + ",10.0." + QByteArray::number(i >> 8) + '.' + QByteArray::number(i & 255) + ",80\n";
        QTest::newRow("empty file") << "file" << QByteArray() << 0;
        QTest::newRow("binary file") << "file" << noise << -1;
        QTest::newRow("20 MB of good lines") << "file" << big << int(big.count('\n') - 1);
        QTest::newRow("one 5 MB line") << "file" << "model,ip,port\n" + QByteArray(5 << 20, 'm') + ",10.0.0.1,80\n" << 1;
        QTest::newRow("a directory") << "directory" << QByteArray() << 0;
        QTest::newRow("a FIFO without a writer") << "fifo" << QByteArray() << 0;
    }

    // importDevices comes back (at once for what is no regular file), reads what can be
    // read, and leaves every model as it was.
    void importFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, content);
        QFETCH(int, devices);

        QTemporaryDir dir;
        QString path = dir.filePath("devices.csv");
        QFile file(path);
        if (kind == "directory")
            path = dir.path();
        else if (kind == "fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.flush());
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
        if (devices >= 0)
            QCOMPARE(result.size(), devices);
        if (devices == 1)
            QCOMPARE(result.first().toMap().value("modelName").toString().size(), 5 << 20);
        // Whatever was read carries all six keys and a port of one to five digits.
        for (const QVariant& entry : result) {
            QCOMPARE(entry.toMap().keys(), QStringList({"brand", "host", "hostName", "mac", "modelName", "port"}));
            const QString port = entry.toMap().value("port").toString();
            QVERIFY2(port.size() >= 1 && port.size() <= 5 && port.toUInt() <= 65535, qPrintable(port));
        }
    }
};

QTEST_MAIN(tst_Hostile)
#include "tst_hostile.moc"
