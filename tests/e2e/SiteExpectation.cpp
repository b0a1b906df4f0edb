#include "SiteExpectation.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QStringList>

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

} // namespace

ScenarioExpectation expectScenario(const QByteArray& siteJson, const QString& importCsv, const QString& managedCsv,
                                   const QString& ipContains, int maxResults)
{
    const SiteFacts site = readSite(siteJson);
    ScenarioExpectation expected;

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
