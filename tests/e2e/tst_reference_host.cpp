#include "DeviceListParser.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// What the scenario must report, worked out from the site file independently of the host.
enum Status { Checking, Authorized, Rejected, Unreachable, Failed, Offline, NotChecked, StatusCount };

QString portOf(const QJsonValue& device)
{
    const int http = device["httpPort"].toInt(80);
    return QString::number(http != 0 ? http : device["httpsPort"].toInt(443));
}

QString counts(const QString& label, const QList<int>& statuses)
{
    QString line = QStringLiteral("counts[%1]:").arg(label);
    for (int status = 0; status < StatusCount; ++status)
        line += QStringLiteral(" %1=%2").arg(QStringList{"Checking", "Authorized", "Rejected", "Unreachable", "Failed",
                                                         "Offline", "NotChecked"}.at(status)).arg(statuses.count(status));
    return line + QStringLiteral(" total=%1").arg(statuses.size());
}

// The "NAME[KIND]: ..." lines the scenario prints after its steps, in order.
QStringList expectedReport(const QJsonObject& site, const QString& importCsv, const QString& managedCsv)
{
    // Searches and imports leave out the devices whose every channel the client manages.
    const auto managedInFull = [&site](const QString& ip, const QString& port) {
        for (const QJsonValue& entry : site["topology"].toArray()) {
            if (entry["ip"].toString() == ip && entry["port"].toString() == port)
                return !entry["channels"].isArray() || entry["channels"].toArray().size() == entry["channelNum"].toInt(1);
        }
        return false;
    };
    // 0 accepted, 1 rejected, 2 unreachable, 3 unsupported.
    const auto detect = [](const QJsonValue& camera, const QJsonArray& tried) {
        const int state = QStringList{"unreachable", "unsupported"}.indexOf(camera["state"].toString());
        const QJsonObject accepts{{"username", camera["username"].toString("admin")},
                                  {"password", camera["password"].toString()}};
        return state >= 0 ? 2 + state : tried.contains(accepts) ? 0 : 1;
    };

    // 1. Unmanaged cameras, checked with the default credentials.
    QList<QJsonValue> cameras;
    QList<int> statuses;
    QStringList listed;  // "ip:port"
    for (const QJsonValue& camera : site["cameras"].toArray()) {
        static const int afterCheck[] = {Authorized, Rejected, Unreachable, Failed};
        if (!managedInFull(camera["ip"].toString(), portOf(camera))) {
            cameras.append(camera);
            listed.append(camera["ip"].toString() + ':' + portOf(camera));
            statuses.append(afterCheck[detect(camera, site["defaultCredentials"].toArray())]);
        }
    }
    QStringList report{counts("search", statuses)};

    // 2. One pass per site credential over what is neither logged in nor pending.
    const QJsonArray passes = site["credentials"].toArray();
    for (int pass = 0; pass < passes.size() && statuses.count(Checking) + statuses.count(Authorized) < statuses.size();
         ++pass) {
        for (int i = 0; i < cameras.size(); ++i) {
            static const int afterLogin[] = {Authorized, Rejected, Offline, Failed};
            const QString fault = cameras.at(i)["fault"].toString();
            if (statuses.at(i) == Checking || statuses.at(i) == Authorized || fault == "internalError")
                continue;  // an internal error puts the status back
            statuses[i] = fault == "noAnswer"      ? Checking
                        : fault == "failureCode" ? Failed
                                                 : afterLogin[detect(cameras.at(i), {passes.at(pass)})];
        }
        report << counts(QStringLiteral("authorize.%1").arg(pass + 1), statuses);
    }
    report << counts("authorize", statuses);

    // 3. Device lists: what the topology does not hold in full comes back; what is not listed yet is new.
    const auto importFile = [&](const QString& label, const QString& path) {
        QList<QMap<QString, QString>> devices;
        uint wrongFormat = 0;
        DeviceListParser().Parse(path, devices, wrongFormat);
        int returned = 0, added = 0;
        for (const auto& device : std::as_const(devices)) {
            const QString address = device.value("ip") + ':' + QString::number(device.value("port").toInt());
            if (!managedInFull(device.value("ip"), device.value("port"))) {
                ++returned;
                added += listed.contains(address) ? 0 : 1;
                listed.append(address);
            }
        }
        report << QStringLiteral("%1[file]: returned=%2 new=%3 wrongFormat=%4 allExist=%5")
                      .arg(label).arg(returned).arg(added).arg(wrongFormat).arg(returned == 0 ? "true" : "false");
        return added;
    };
    for (int added = importFile("import", importCsv); added > 0; --added)
        statuses.append(NotChecked);
    report << counts("import", statuses);
    importFile("import-managed", managedCsv);

    // 4. Unmanaged stations of the site's family; none of them has credentials.
    QList<int> stations;
    for (const QJsonValue& station : site["stations"].toArray()) {
        if (!managedInFull(station["ip"].toString(), portOf(station))
            && station["qrlnModel"].toString().contains(site["stationFamily"].toString()))
            stations.append(NotChecked);
    }
    return report << counts("stations", stations)
                  << QStringLiteral("stations[to-authorize]: %1 of %1 shown").arg(stations.size());
}

// False when the host crashed or timed out. Pictures draw the screens, which read every row of the models.
bool runScenario(QProcess& host, QStringList arguments)
{
    QTemporaryDir pictures;
    host.start(QStringLiteral(REFERENCE_HOST), arguments << "--scenario" << "--screenshots" << pictures.path());
    return host.waitForFinished(280000) && host.exitStatus() == QProcess::NormalExit;
}

} // namespace

class tst_ReferenceHost : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void demoScenarioReportsWhatTheSiteImplies()
    {
        QFile demo(QStringLiteral(DEMO_SITE));
        QVERIFY(demo.open(QIODevice::ReadOnly));
        const QJsonObject site = QJsonDocument::fromJson(demo.readAll()).object();
        QProcess host;
        const bool ran = runScenario(host, {});
        const QString out = QString::fromUtf8(host.readAllStandardOutput());
        QVERIFY2(ran && host.exitCode() == 0, qPrintable(host.readAllStandardError() + out.right(2000)));
        QCOMPARE(out.split('\n').filter("]: "), expectedReport(site, SAMPLE_IMPORT, MANAGED_IMPORT));
    }

    void refusesToStart_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");

        QTest::newRow("plug-in of another interface") << QStringList{"--plugin", WRONG_INTERFACE_PLUGIN}
                                                      << "interface identifier is \"com.example.OtherHost.PluginInterface\"";
        QTest::newRow("plug-in of the same host with another id") << QStringList{"--plugin", WRONG_ID_PLUGIN}
                                                                  << "\"PluginID\" is \"1AA33B3D0AA047C9A202F1181284D2CD\"";
        QTest::newRow("site with a mistyped key") << QStringList{"--site", BAD_SITE} << "cameras[0]: unknown key \"pasword\"";
    }

    void refusesToStart()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QProcess host;
        QVERIFY(runScenario(host, arguments) && host.exitCode() == 2);
        const QString err = QString::fromUtf8(host.readAllStandardError());
        QVERIFY2(err.contains(message), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(tst_ReferenceHost)
#include "tst_reference_host.moc"
