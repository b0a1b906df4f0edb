#include "DeviceListParser.h"

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

// What the scenario must report, worked out from the site file by the documented
// rules of the site format, independently of the host.
enum Status { Checking, Authorized, Rejected, Unreachable, Failed, Offline, NotChecked, StatusCount };

using Credential = QPair<QString, QString>;  // user name, password

QString text(const QJsonValue& object, const char* key, const QString& fallback = QString())
{
    return object[QLatin1String(key)].toString(fallback);
}

int portOf(const QJsonValue& device)
{
    const int http = device[QLatin1String("httpPort")].toInt(80);
    return http != 0 ? http : device[QLatin1String("httpsPort")].toInt(443);
}

// The client's reading of the topology: every channel listed for the address counts,
// the last entry states how many the device has.
bool managedInFull(const QJsonObject& site, const QString& ip, const QString& port)
{
    QSet<int> channels;
    int stated = -1;
    for (const QJsonValue& entry : site.value(QLatin1String("topology")).toArray()) {
        if (text(entry, "ip") != ip || text(entry, "port") != port)
            continue;
        stated = entry[QLatin1String("channelNum")].toInt(1);
        const QJsonArray listed = entry[QLatin1String("channels")].toArray();
        for (const QJsonValue& channel : listed)
            channels.insert(channel.toInt());
        for (int channel = 1; listed.isEmpty() && channel <= stated; ++channel)
            channels.insert(channel);
    }
    return channels.size() == stated;
}

// 0 accepted, 1 rejected, 2 unreachable, 3 unsupported.
int detect(const QJsonValue& camera, const QList<Credential>& tried)
{
    const QString state = text(camera, "state");
    if (state == QLatin1String("unreachable") || state == QLatin1String("unsupported"))
        return state == QLatin1String("unreachable") ? 2 : 3;
    return tried.contains({text(camera, "username", "admin"), text(camera, "password")}) ? 0 : 1;
}

QString countsOf(const QList<int>& statuses)
{
    static const char* names[] = {"Checking", "Authorized", "Rejected", "Unreachable", "Failed", "Offline",
                                  "NotChecked"};
    QString line;
    for (int status = 0; status < StatusCount; ++status)
        line += QStringLiteral("%1=%2 ").arg(QLatin1String(names[status])).arg(statuses.count(status));
    return line + QStringLiteral("total=%1").arg(statuses.size());
}

// The good lines of a device list as "ip:port", read by the plug-in's own parser:
// its rules are pinned by its unit test, this test is about what the scenario does with them.
QStringList readDeviceList(const QString& path, int& wrongFormat)
{
    QList<QMap<QString, QString>> devices;
    uint wrong = 0;
    DeviceListParser().Parse(path, devices, wrong);
    wrongFormat = int(wrong);
    QStringList records;
    for (const auto& device : std::as_const(devices))
        records.append(device.value("ip") + ':' + device.value("port"));
    return records;
}

struct Expectation
{
    QMap<QString, QString> counts;   // "search", "authorize.1", ..., "stations" -> "Checking=0 ... total=N"
    QMap<QString, QString> imports;  // "import", "import-managed" -> "returned=7 new=4 wrongFormat=3 allExist=false"
    QString stationsToAuthorize;     // "4 of 4 shown"
};

// importCsv is the file the scenario imports and adds; managedCsv, when not empty,
// the second file it only imports; ipContains and maxResults (-1: none) are the
// search limits, which every search obeys.
Expectation expectScenario(const QByteArray& siteJson, const QString& importCsv, const QString& managedCsv,
                           const QString& ipContains, int maxResults)
{
    const QJsonObject site = QJsonDocument::fromJson(siteJson).object();
    const auto credentials = [&site](const char* key) {
        QList<Credential> list;
        for (const QJsonValue& value : site.value(QLatin1String(key)).toArray())
            list.append({text(value, "username"), text(value, "password")});
        return list;
    };
    Expectation expected;

    // 1. Unmanaged cameras, checked with the default credentials.
    QList<QJsonValue> cameras;
    QList<int> statuses;
    for (const QJsonValue& camera : site.value(QLatin1String("cameras")).toArray()) {
        if (maxResults >= 0 && cameras.size() >= maxResults)
            break;
        const QString ip = text(camera, "ip");
        if (!ip.contains(ipContains) || managedInFull(site, ip, QString::number(portOf(camera))))
            continue;
        static const int afterDetection[] = {Authorized, Rejected, Unreachable, Failed};
        cameras.append(camera);
        statuses.append(afterDetection[detect(camera, credentials("defaultCredentials"))]);
    }
    expected.counts.insert("search", countsOf(statuses));

    // 2. One pass per site credential over what is neither logged in nor pending.
    const QList<Credential> passes = credentials("credentials");
    for (int pass = 0; pass < passes.size(); ++pass) {
        bool anySent = false;
        for (int i = 0; i < cameras.size(); ++i) {
            if (statuses.at(i) == Checking || statuses.at(i) == Authorized)
                continue;
            anySent = true;
            const QString fault = text(cameras.at(i), "fault");
            static const int afterLogin[] = {Authorized, Rejected, Offline, Failed};
            if (fault == QLatin1String("noAnswer"))
                statuses[i] = Checking;
            else if (fault == QLatin1String("failureCode"))
                statuses[i] = Failed;
            else if (fault != QLatin1String("internalError"))  // which puts the status back
                statuses[i] = afterLogin[detect(cameras.at(i), {passes.at(pass)})];
        }
        if (!anySent)
            break;
        expected.counts.insert(QStringLiteral("authorize.%1").arg(pass + 1), countsOf(statuses));
    }
    expected.counts.insert("authorize", countsOf(statuses));

    // 3. The device list: what the topology does not hold in full comes back, and
    // what no listed camera has the address of yet is added.
    const auto importFile = [&](const QString& path, bool add) {
        QSet<QString> known;
        for (const QJsonValue& camera : std::as_const(cameras))
            known.insert(text(camera, "ip") + ':' + QString::number(portOf(camera)));
        int wrongFormat = 0;
        int returned = 0;
        int added = 0;
        for (const QString& record : readDeviceList(path, wrongFormat)) {
            const QString ip = record.section(':', 0, 0);
            const QString port = record.section(':', 1);
            if (managedInFull(site, ip, port))
                continue;
            ++returned;
            const QString key = ip + ':' + QString::number(port.toInt());
            added += known.contains(key) ? 0 : 1;
            known.insert(key);
        }
        for (int i = 0; add && i < added; ++i)
            statuses.append(NotChecked);
        return QStringLiteral("returned=%1 new=%2 wrongFormat=%3 allExist=%4")
            .arg(returned)
            .arg(added)
            .arg(wrongFormat)
            .arg(returned == 0 ? "true" : "false");
    };
    expected.imports.insert("import", importFile(importCsv, true));
    expected.counts.insert("import", countsOf(statuses));
    if (!managedCsv.isEmpty())
        expected.imports.insert("import-managed", importFile(managedCsv, false));

    // 4. Unmanaged stations of the site's family; none of them has credentials.
    QList<int> stations;
    int found = 0;
    for (const QJsonValue& station : site.value(QLatin1String("stations")).toArray()) {
        if (maxResults >= 0 && found >= maxResults)
            break;
        const QString ip = text(station, "ip");
        if (!ip.contains(ipContains) || managedInFull(site, ip, QString::number(portOf(station))))
            continue;
        // The family is the client's own filter, applied after the server's limit.
        ++found;
        if (text(station, "qrlnModel").contains(text(site, "stationFamily")))
            stations.append(NotChecked);
    }
    expected.counts.insert("stations", countsOf(stations));
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
    if (!process.waitForFinished(kRunTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return {-1, QString(), "reference-host did not finish in time"};
    }
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
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
