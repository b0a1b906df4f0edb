#include "SiteExpectation.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

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
    variables.remove(QStringLiteral("DEV_IP_CONTAINS"));
    variables.remove(QStringLiteral("MAX_SRCH_DEV_CNT"));
    for (const QString& variable : environment)
        variables.insert(variable.section(QLatin1Char('='), 0, 0), variable.section(QLatin1Char('='), 1));
    process.setProcessEnvironment(variables);
    process.start(kHost, arguments);
    HostRun run;
    if (!process.waitForFinished(kRunTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        run.err = QStringLiteral("reference-host did not finish in time");
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

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
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
        QTest::addColumn<QString>("site");        // empty: the embedded demo site
        QTest::addColumn<QByteArray>("siteJson");
        QTest::addColumn<QByteArray>("importCsv"); // empty: the embedded sample
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<int>("pictures");

        const QByteArray demo = readFile(QStringLiteral(DEMO_SITE));
        QTest::newRow("embedded demo site and sample files") << QString() << demo << QByteArray() << QStringList()
                                                             << 7;
        QTest::newRow("small site with every fault and its own device list")
            << QStringLiteral("small.json") << kSmallSite << kSmallImport << QStringList() << 6;
        QTest::newRow("demo site with the search limited by address and count")
            << QStringLiteral("demo.json") << demo << QByteArray()
            << QStringList{QStringLiteral("DEV_IP_CONTAINS=10.20."), QStringLiteral("MAX_SRCH_DEV_CNT=30")} << 7;
    }

    void scenarioReportsWhatTheSiteImplies()
    {
        QFETCH(QString, site);
        QFETCH(QByteArray, siteJson);
        QFETCH(QByteArray, importCsv);
        QFETCH(QStringList, environment);
        QFETCH(int, pictures);
        QVERIFY(!siteJson.isEmpty());

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString pictureDir = dir.filePath(QStringLiteral("pictures"));
        QStringList arguments{QStringLiteral("--scenario"), QStringLiteral("--screenshots"), pictureDir};
        QString importPath = QStringLiteral(SAMPLE_IMPORT);
        QString managedPath = QFileInfo(importPath).dir().filePath(QStringLiteral("import-managed.csv"));
        if (!site.isEmpty()) {
            QVERIFY(writeFile(dir.filePath(site), siteJson));
            arguments << QStringLiteral("--site") << dir.filePath(site);
        }
        if (!importCsv.isEmpty()) {
            importPath = dir.filePath(QStringLiteral("devices.csv"));
            managedPath.clear();
            QVERIFY(writeFile(importPath, importCsv));
            arguments << QStringLiteral("--import") << importPath;
        }

        const HostRun run = runHost(arguments, environment);
        QVERIFY2(run.exitCode == 0, qPrintable(run.err + run.out.right(2000)));
        QString ipContains;
        int maxResults = -1;
        for (const QString& variable : std::as_const(environment)) {
            if (variable.startsWith(QLatin1String("DEV_IP_CONTAINS=")))
                ipContains = variable.section(QLatin1Char('='), 1);
            if (variable.startsWith(QLatin1String("MAX_SRCH_DEV_CNT=")))
                maxResults = variable.section(QLatin1Char('='), 1).toInt();
        }
        const ScenarioExpectation expected = expectScenario(siteJson, importPath, managedPath, ipContains, maxResults);

        const QMap<QString, QString> counts = reportLines(run.out, QStringLiteral("counts"));
        QCOMPARE(counts.keys(), expected.counts.keys());
        for (auto it = expected.counts.cbegin(); it != expected.counts.cend(); ++it)
            QCOMPARE(QStringLiteral("%1: %2").arg(it.key(), counts.value(it.key())),
                     QStringLiteral("%1: %2").arg(it.key(), it.value()));
        QCOMPARE(reportLines(run.out, QString(), QStringLiteral("file")), expected.imports);
        QCOMPARE(reportLines(run.out, QString(), QStringLiteral("to-authorize")).value(QStringLiteral("stations")),
                 expected.stationsToAuthorize);

        // One picture per screen, of the size the scenario sets.
        const QStringList files = QDir(pictureDir).entryList({QStringLiteral("*.png")}, QDir::Files);
        QCOMPARE(files.size(), pictures);
        for (const QString& file : files) {
            const QImage image(QDir(pictureDir).filePath(file));
            QVERIFY2(!image.isNull(), qPrintable(file));
            QCOMPARE(image.size(), QSize(1440, 900));
        }
    }

    void refusesToStart_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("siteJson");
        QTest::addColumn<QString>("message");

        QTest::newRow("plug-in of another interface")
            << QStringList{QStringLiteral("--plugin"), QStringLiteral(WRONG_INTERFACE_PLUGIN)} << QByteArray()
            << QStringLiteral("interface identifier is \"com.example.OtherHost.PluginInterface\"");
        QTest::newRow("plug-in of the same host with another id")
            << QStringList{QStringLiteral("--plugin"), QStringLiteral(WRONG_ID_PLUGIN)} << QByteArray()
            << QStringLiteral("\"PluginID\" is \"1AA33B3D0AA047C9A202F1181284D2CD\"");
        QTest::newRow("missing plug-in file")
            << QStringList{QStringLiteral("--plugin"), QStringLiteral("no-such-plugin.so")} << QByteArray()
            << QStringLiteral("does not exist");
        QTest::newRow("site with a mistyped key")
            << QStringList() << QByteArray(R"({"cameras": [{"id": "a", "ip": "10.0.0.1", "pasword": "x"}]})")
            << QStringLiteral("cameras[0]: unknown key \"pasword\"");
        QTest::newRow("site that is not JSON") << QStringList() << QByteArray("cameras: []")
                                               << QStringLiteral("not JSON");
    }

    void refusesToStart()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, siteJson);
        QFETCH(QString, message);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        arguments.prepend(QStringLiteral("--scenario"));
        arguments << QStringLiteral("--screenshots") << dir.path();
        if (!siteJson.isEmpty()) {
            QVERIFY(writeFile(dir.filePath(QStringLiteral("site.json")), siteJson));
            arguments << QStringLiteral("--site") << dir.filePath(QStringLiteral("site.json"));
        }
        const HostRun run = runHost(arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY2(run.out.isEmpty(), qPrintable(run.out));
    }
};

QTEST_GUILESS_MAIN(tst_ReferenceHost)
#include "tst_reference_host.moc"
