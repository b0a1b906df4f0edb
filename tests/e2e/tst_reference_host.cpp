#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

namespace {

enum Status { Checking, Authorized, Rejected, Unreachable, Failed, Offline, NotChecked, StatusCount };

using Credential = QPair<QString, QString>;  // user name, password

struct Camera
{
    QString ip;
    int port = 80;
    Credential credential;
    QString state;
    QString fault;
    int status = NotChecked;
};

struct TopologyEntry
{
    QString ip;
    QString port;
    int channelNum = 1;
    QSet<int> channels;
};

struct SiteFacts
{
    QList<Credential> defaults;
    QList<Credential> credentials;
    QList<Camera> cameras;
    QList<TopologyEntry> topology;
    QList<QJsonObject> stations;
    QString stationFamily;

    // The client's reading: every channel listed for the address counts, the last
    // entry states how many the device has.
    bool managedInFull(const QString& ip, const QString& port) const
    {
        QSet<int> channels;
        int stated = -1;
        for (const TopologyEntry& entry : topology) {
            if (entry.ip == ip && entry.port == port) {
                stated = entry.channelNum;
                channels.unite(entry.channels);
            }
        }
        return channels.size() == stated;
    }
};

QList<Credential> credentialsOf(const QJsonValue& array)
{
    QList<Credential> list;
    for (const QJsonValue& value : array.toArray())
        list.append({value[QLatin1String("username")].toString(), value[QLatin1String("password")].toString()});
    return list;
}

int portOf(const QJsonObject& device)
{
    const int http = device.value(QLatin1String("httpPort")).toInt(80);
    return http != 0 ? http : device.value(QLatin1String("httpsPort")).toInt(443);
}

SiteFacts readSite(const QByteArray& json)
{
    const QJsonObject site = QJsonDocument::fromJson(json).object();
    SiteFacts facts;
    facts.defaults = credentialsOf(site.value(QLatin1String("defaultCredentials")));
    facts.credentials = credentialsOf(site.value(QLatin1String("credentials")));
    facts.stationFamily = site.value(QLatin1String("stationFamily")).toString();
    for (const QJsonValue& value : site.value(QLatin1String("cameras")).toArray()) {
        const QJsonObject object = value.toObject();
        facts.cameras.append({object.value(QLatin1String("ip")).toString(), portOf(object),
                              {object.value(QLatin1String("username")).toString(QStringLiteral("admin")),
                               object.value(QLatin1String("password")).toString()},
                              object.value(QLatin1String("state")).toString(QStringLiteral("online")),
                              object.value(QLatin1String("fault")).toString(QStringLiteral("none"))});
    }
    for (const QJsonValue& value : site.value(QLatin1String("topology")).toArray()) {
        const QJsonObject object = value.toObject();
        TopologyEntry entry{object.value(QLatin1String("ip")).toString(), object.value(QLatin1String("port")).toString(),
                            object.value(QLatin1String("channelNum")).toInt(1), {}};
        for (const QJsonValue& channel : object.value(QLatin1String("channels")).toArray())
            entry.channels.insert(channel.toInt());
        for (int channel = 1; entry.channels.isEmpty() && channel <= entry.channelNum; ++channel)
            entry.channels.insert(channel);
        facts.topology.append(entry);
    }
    for (const QJsonValue& value : site.value(QLatin1String("stations")).toArray())
        facts.stations.append(value.toObject());
    return facts;
}

// 0 accepted, 1 rejected, 2 unreachable, 3 unsupported.
int detect(const Camera& camera, const QList<Credential>& tried)
{
    if (camera.state == QLatin1String("unreachable"))
        return 2;
    if (camera.state == QLatin1String("unsupported"))
        return 3;
    return tried.contains(camera.credential) ? 0 : 1;
}

int statusAfterLogin(const Camera& camera, const Credential& credential)
{
    if (camera.fault == QLatin1String("noAnswer"))
        return Checking;
    if (camera.fault == QLatin1String("internalError"))
        return camera.status;
    if (camera.fault == QLatin1String("failureCode"))
        return Failed;
    static const int statuses[] = {Authorized, Rejected, Offline, Failed};
    return statuses[detect(camera, {credential})];
}

QString countsOf(const QList<int>& statuses)
{
    int perStatus[StatusCount] = {};
    for (int status : statuses)
        ++perStatus[status];
    QString line;
    const char* names[] = {"Checking", "Authorized", "Rejected", "Unreachable", "Failed", "Offline", "NotChecked"};
    for (int status = 0; status < StatusCount; ++status)
        line += QStringLiteral("%1=%2 ").arg(QLatin1String(names[status])).arg(perStatus[status]);
    return line + QStringLiteral("total=%1").arg(statuses.size());
}

QString unquoted(QString field)
{
    while (field.startsWith(QLatin1Char('"')))
        field.remove(0, 1);
    while (field.endsWith(QLatin1Char('"')))
        field.chop(1);
    return field;
}

// The good lines of a device list as "ip:port" with the port as written, and how
// many lines were wrong.
QStringList readDeviceList(const QString& path, int& wrongFormat)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    if (lines.isEmpty())
        return {};
    const QStringList header = lines.takeFirst().split(QLatin1Char(','));
    auto columnOf = [&header](const char* key) {
        for (int column = 0; column < header.size(); ++column) {
            if (header.at(column).contains(QLatin1String(key), Qt::CaseInsensitive))
                return column;
        }
        return -1;
    };
    int highest = -1;
    for (const char* key : {"brand", "ip", "port", "model", "host", "mac"})
        highest = qMax(highest, columnOf(key));

    QStringList records;
    for (const QString& line : std::as_const(lines)) {
        const QStringList fields = line.split(QLatin1Char(','));
        const QString port = fields.size() > highest ? unquoted(fields.at(columnOf("port"))) : QString();
        bool digits = !port.isEmpty() && port.size() <= 5;
        for (const QChar c : port)
            digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!digits || port.toUInt() > 65535)
            ++wrongFormat;
        else
            records.append(unquoted(fields.at(columnOf("ip"))) + QLatin1Char(':') + port);
    }
    return records;
}

struct Expectation
{
    QMap<QString, QString> counts;   // "search", "authorize.1", ..., "stations" -> "Checking=0 ... total=N"
    QMap<QString, QString> imports;  // "import", "import-managed" -> "returned=7 new=4 wrongFormat=3 allExist=false"
    QString stationsToAuthorize;     // "4 of 4 shown"
};

// What the scenario must report for a site, worked out from the site file and the
// device lists alone by the documented rules of the site format. importCsv is the
// file the scenario imports and adds; managedCsv, when not empty, the second file it
// only imports; ipContains and maxResults (-1: none) the search limits every search obeys.
Expectation expectScenario(const QByteArray& siteJson, const QString& importCsv, const QString& managedCsv,
                           const QString& ipContains, int maxResults)
{
    const SiteFacts site = readSite(siteJson);
    Expectation expected;

    // 1. Unmanaged cameras, checked with the default credentials.
    QList<Camera> listed;
    for (Camera camera : site.cameras) {
        if (maxResults >= 0 && listed.size() >= maxResults)
            break;
        if (!camera.ip.contains(ipContains) || site.managedInFull(camera.ip, QString::number(camera.port)))
            continue;
        static const int afterDetection[] = {Authorized, Rejected, Unreachable, Failed};
        camera.status = afterDetection[detect(camera, site.defaults)];
        listed.append(camera);
    }
    auto counts = [&listed] {
        QList<int> statuses;
        for (const Camera& camera : std::as_const(listed))
            statuses.append(camera.status);
        return countsOf(statuses);
    };
    expected.counts.insert(QStringLiteral("search"), counts());

    // 2. One pass per site credential over what is neither logged in nor pending.
    for (int pass = 0; pass < site.credentials.size(); ++pass) {
        bool anySent = false;
        for (Camera& camera : listed) {
            if (camera.status == Checking || camera.status == Authorized)
                continue;
            anySent = true;
            camera.status = statusAfterLogin(camera, site.credentials.at(pass));
        }
        if (!anySent)
            break;
        expected.counts.insert(QStringLiteral("authorize.%1").arg(pass + 1), counts());
    }
    expected.counts.insert(QStringLiteral("authorize"), counts());

    // 3. The device list: what the topology does not hold in full comes back, and
    // what no listed camera has the address of yet is added.
    auto importFile = [&site, &listed](const QString& path, bool add) {
        int wrongFormat = 0;
        QSet<QString> known;
        for (const Camera& camera : std::as_const(listed))
            known.insert(camera.ip + QLatin1Char(':') + QString::number(camera.port));
        int returned = 0;
        int added = 0;
        for (const QString& record : readDeviceList(path, wrongFormat)) {
            const QString ip = record.section(QLatin1Char(':'), 0, 0);
            const QString port = record.section(QLatin1Char(':'), 1);
            if (site.managedInFull(ip, port))
                continue;
            ++returned;
            const QString key = ip + QLatin1Char(':') + QString::number(port.toInt());
            added += known.contains(key) ? 0 : 1;
            known.insert(key);
        }
        for (int i = 0; add && i < added; ++i)
            listed.append(Camera{});
        return QStringLiteral("returned=%1 new=%2 wrongFormat=%3 allExist=%4")
            .arg(returned)
            .arg(added)
            .arg(wrongFormat)
            .arg(returned == 0 ? QStringLiteral("true") : QStringLiteral("false"));
    };
    expected.imports.insert(QStringLiteral("import"), importFile(importCsv, true));
    expected.counts.insert(QStringLiteral("import"), counts());
    if (!managedCsv.isEmpty())
        expected.imports.insert(QStringLiteral("import-managed"), importFile(managedCsv, false));

    // 4. Unmanaged stations of the site's family; none of them has credentials.
    QList<int> stations;
    int found = 0;
    for (const QJsonObject& station : site.stations) {
        if (maxResults >= 0 && found >= maxResults)
            break;
        const QString ip = station.value(QLatin1String("ip")).toString();
        if (!ip.contains(ipContains) || site.managedInFull(ip, QString::number(portOf(station))))
            continue;
        // The family is the client's own filter, applied after the server's limit.
        ++found;
        if (station.value(QLatin1String("qrlnModel")).toString().contains(site.stationFamily))
            stations.append(NotChecked);
    }
    expected.counts.insert(QStringLiteral("stations"), countsOf(stations));
    expected.stationsToAuthorize = QStringLiteral("%1 of %1 shown").arg(stations.size());
    return expected;
}

const QString kHost = QStringLiteral(REFERENCE_HOST);
constexpr int kRunTimeoutMs = 280000;

struct HostRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

HostRun runHost(const QStringList& arguments, const QStringList& environment = {})
{
    QProcess process;
    QProcessEnvironment variables = QProcessEnvironment::systemEnvironment();
    // The search limits come from the environment; only the rows that set them get them.
    variables.remove("DEV_IP_CONTAINS");
    variables.remove("MAX_SRCH_DEV_CNT");
    for (const QString& variable : environment)
        variables.insert(variable.section('=', 0, 0), variable.section('=', 1));
    process.setProcessEnvironment(variables);
    process.start(kHost, arguments);
    HostRun run;
    if (!process.waitForFinished(kRunTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = "reference-host did not finish in time";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The scenario's "NAME[KEY]: rest" lines as KEY -> rest when name is given, else
// as NAME -> rest for lines whose KEY is kind.
QMap<QString, QString> reportLines(const QString& out, const QString& name, const QString& kind = QString())
{
    QMap<QString, QString> lines;
    const QRegularExpression pattern(QStringLiteral("^(\\S+?)\\[([^\\]]+)\\]: (.*)$"),
                                     QRegularExpression::MultilineOption);
    for (auto it = pattern.globalMatch(out); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (!name.isEmpty() && match.captured(1) == name)
            lines.insert(match.captured(2), match.captured(3));
        else if (name.isEmpty() && match.captured(2) == kind)
            lines.insert(match.captured(1), match.captured(3));
    }
    return lines;
}

bool writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

// A small site where every rule shows at least once: a camera accepted by the
// default credentials, one per login pass, one nobody knows, unreachable and
// unsupported cameras, each fault, a camera managed in full (left out), one managed
// partly (listed), and stations inside and outside the listed family.
const QByteArray kSmallSite = R"({
  "name": "Small site",
  "timing": {"searchBatches": 3, "batchDelayMs": 5, "detectionDelayMs": 1, "authorizeDelayMs": 1},
  "defaultCredentials": [{"username": "admin", "password": "admin"}],
  "credentials": [{"username": "admin", "password": "one"}, {"username": "op", "password": "two"}],
  "stationFamily": "X",
  "cameras": [
    {"id": "c1", "ip": "10.0.0.1", "username": "admin", "password": "admin", "alsoOnvif": true},
    {"id": "c2", "ip": "10.0.0.2", "username": "admin", "password": "one", "brand": "onvif"},
    {"id": "c3", "ip": "10.0.0.3", "username": "op", "password": "two", "brand": "rtsp", "httpPort": 0},
    {"id": "c4", "ip": "10.0.0.4", "username": "nobody", "password": "knows"},
    {"id": "c5", "ip": "10.0.0.5", "state": "unreachable"},
    {"id": "c6", "ip": "10.0.0.6", "state": "unsupported", "brand": "onvif"},
    {"id": "c7", "ip": "10.0.0.7", "password": "one", "fault": "failureCode"},
    {"id": "c8", "ip": "10.0.0.8", "password": "one", "fault": "internalError"},
    {"id": "c9", "ip": "10.0.0.9", "password": "one", "fault": "noAnswer"},
    {"id": "c10", "ip": "10.0.0.10", "password": "one"},
    {"id": "c11", "ip": "10.0.0.11", "password": "one", "channels": 2}
  ],
  "stations": [
    {"id": "s1", "ip": "10.0.1.1", "qrlnModel": "NVR-X1"},
    {"id": "s2", "ip": "10.0.1.2", "qrlnModel": "HVR-2"},
    {"id": "s3", "ip": "10.0.1.3", "qrlnModel": "X-9", "httpPort": 0, "httpsPort": 8443},
    {"id": "s4", "ip": "10.0.1.4", "qrlnModel": "X-4"}
  ],
  "topology": [
    {"ip": "10.0.0.10", "port": "80"},
    {"ip": "10.0.0.11", "port": "80", "channelNum": 2, "channels": [1]},
    {"ip": "10.0.1.4", "port": "80"}
  ]
})";

// Good, quoted, repeated, managed, already listed and wrong lines.
const QByteArray kSmallImport = "ip,port,model,host\n"
                                "10.0.9.1,80,M1,h1\n"
                                "\"10.0.9.2\",\"8080\",M2,h2\n"
                                "10.0.9.1,80,M1,h1\n"
                                "10.0.0.10,80,managed,h3\n"
                                "10.0.0.4,80,listed,h4\n"
                                "10.0.0.11,80,partly,h5\n"
                                "10.0.9.3,99999,M3,h6\n"
                                "\n"
                                "10.0.9.4,80\n";

} // namespace

class tst_ReferenceHost : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scenarioReportsWhatTheSiteImplies_data()
    {
        QTest::addColumn<QString>("site");         // empty: the embedded demo site
        QTest::addColumn<QByteArray>("siteJson");
        QTest::addColumn<QByteArray>("importCsv");  // empty: the embedded sample files
        QTest::addColumn<QString>("ipContains");
        QTest::addColumn<int>("maxResults");
        QTest::addColumn<int>("pictures");

        QFile demoFile(QStringLiteral(DEMO_SITE));
        const QByteArray demo = demoFile.open(QIODevice::ReadOnly) ? demoFile.readAll() : QByteArray();
        QTest::newRow("embedded demo site and sample files") << QString() << demo << QByteArray() << "" << -1 << 7;
        QTest::newRow("small site with every fault and its own device list")
            << "small.json" << kSmallSite << kSmallImport << "" << -1 << 6;
        QTest::newRow("demo site with the search limited by address and count")
            << "demo.json" << demo << QByteArray() << "10.20." << 30 << 7;
    }

    void scenarioReportsWhatTheSiteImplies()
    {
        QFETCH(QString, site);
        QFETCH(QByteArray, siteJson);
        QFETCH(QByteArray, importCsv);
        QFETCH(QString, ipContains);
        QFETCH(int, maxResults);
        QFETCH(int, pictures);
        QVERIFY(!siteJson.isEmpty());

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString pictureDir = dir.filePath("pictures");
        QStringList arguments{"--scenario", "--screenshots", pictureDir};
        QString importPath = QStringLiteral(SAMPLE_IMPORT);
        QString managedPath = QFileInfo(importPath).dir().filePath("import-managed.csv");
        if (!site.isEmpty()) {
            QVERIFY(writeFile(dir.filePath(site), siteJson));
            arguments << "--site" << dir.filePath(site);
        }
        if (!importCsv.isEmpty()) {
            importPath = dir.filePath("devices.csv");
            managedPath.clear();
            QVERIFY(writeFile(importPath, importCsv));
            arguments << "--import" << importPath;
        }
        QStringList environment;
        if (!ipContains.isEmpty())
            environment << "DEV_IP_CONTAINS=" + ipContains;
        if (maxResults >= 0)
            environment << "MAX_SRCH_DEV_CNT=" + QString::number(maxResults);

        const HostRun run = runHost(arguments, environment);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err + run.out.right(2000)));
        const Expectation expected = expectScenario(siteJson, importPath, managedPath, ipContains, maxResults);

        const QMap<QString, QString> counts = reportLines(run.out, "counts");
        QCOMPARE(counts.keys(), expected.counts.keys());
        for (auto it = expected.counts.cbegin(); it != expected.counts.cend(); ++it)
            QCOMPARE(it.key() + ": " + counts.value(it.key()), it.key() + ": " + it.value());
        QCOMPARE(reportLines(run.out, QString(), "file"), expected.imports);
        QCOMPARE(reportLines(run.out, QString(), "to-authorize").value("stations"), expected.stationsToAuthorize);

        // One picture per screen, of the size the scenario sets.
        const QStringList files = QDir(pictureDir).entryList({"*.png"}, QDir::Files);
        QCOMPARE(files.size(), pictures);
        for (const QString& file : files)
            QCOMPARE(QImage(QDir(pictureDir).filePath(file)).size(), QSize(1440, 900));
    }

    void refusesToStart_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("siteJson");
        QTest::addColumn<QString>("message");

        QTest::newRow("plug-in of another interface")
            << QStringList{"--plugin", WRONG_INTERFACE_PLUGIN} << QByteArray()
            << "interface identifier is \"com.example.OtherHost.PluginInterface\"";
        QTest::newRow("plug-in of the same host with another id")
            << QStringList{"--plugin", WRONG_ID_PLUGIN} << QByteArray()
            << "\"PluginID\" is \"1AA33B3D0AA047C9A202F1181284D2CD\"";
        QTest::newRow("missing plug-in file") << QStringList{"--plugin", "no-such-plugin.so"} << QByteArray()
                                              << "does not exist";
        QTest::newRow("site with a mistyped key")
            << QStringList() << QByteArray(R"({"cameras": [{"id": "a", "ip": "10.0.0.1", "pasword": "x"}]})")
            << "cameras[0]: unknown key \"pasword\"";
        QTest::newRow("site that is not JSON") << QStringList() << QByteArray("cameras: []") << "not JSON";
    }

    void refusesToStart()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, siteJson);
        QFETCH(QString, message);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        arguments << "--scenario" << "--screenshots" << dir.path();
        if (!siteJson.isEmpty()) {
            QVERIFY(writeFile(dir.filePath("site.json"), siteJson));
            arguments << "--site" << dir.filePath("site.json");
        }
        const HostRun run = runHost(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY2(run.out.isEmpty(), qPrintable(run.out));
    }
};

QTEST_GUILESS_MAIN(tst_ReferenceHost)
#include "tst_reference_host.moc"
