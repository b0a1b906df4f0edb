#include "SiteExpectation.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

namespace {

enum Status { Checking, Authorized, Rejected, Unreachable, Failed, Offline, NotChecked, StatusCount };

struct Credential
{
    QString username;
    QString password;
    bool operator==(const Credential& other) const
    {
        return username == other.username && password == other.password;
    }
};

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
    QList<int> channels;
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
            if (entry.ip != ip || entry.port != port)
                continue;
            stated = entry.channelNum;
            for (int channel : entry.channels)
                channels.insert(channel);
        }
        return channels.size() == stated;
    }
};

QList<Credential> credentialsOf(const QJsonArray& array)
{
    QList<Credential> list;
    for (const QJsonValue& value : array)
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
    facts.defaults = credentialsOf(site.value(QLatin1String("defaultCredentials")).toArray());
    facts.credentials = credentialsOf(site.value(QLatin1String("credentials")).toArray());
    facts.stationFamily = site.value(QLatin1String("stationFamily")).toString();
    for (const QJsonValue& value : site.value(QLatin1String("cameras")).toArray()) {
        const QJsonObject object = value.toObject();
        Camera camera;
        camera.ip = object.value(QLatin1String("ip")).toString();
        camera.port = portOf(object);
        camera.credential = {object.value(QLatin1String("username")).toString(QStringLiteral("admin")),
                             object.value(QLatin1String("password")).toString()};
        camera.state = object.value(QLatin1String("state")).toString(QStringLiteral("online"));
        camera.fault = object.value(QLatin1String("fault")).toString(QStringLiteral("none"));
        facts.cameras.append(camera);
    }
    for (const QJsonValue& value : site.value(QLatin1String("topology")).toArray()) {
        const QJsonObject object = value.toObject();
        TopologyEntry entry;
        entry.ip = object.value(QLatin1String("ip")).toString();
        entry.port = object.value(QLatin1String("port")).toString();
        entry.channelNum = object.value(QLatin1String("channelNum")).toInt(1);
        for (const QJsonValue& channel : object.value(QLatin1String("channels")).toArray())
            entry.channels.append(channel.toInt());
        if (entry.channels.isEmpty()) {
            for (int channel = 1; channel <= entry.channelNum; ++channel)
                entry.channels.append(channel);
        }
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

int statusAfterDetection(int detected)
{
    static const int statuses[] = {Authorized, Rejected, Unreachable, Failed};
    return statuses[detected];
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
    return QStringLiteral("Checking=%1 Authorized=%2 Rejected=%3 Unreachable=%4 Failed=%5 Offline=%6 NotChecked=%7 "
                          "total=%8")
        .arg(perStatus[Checking])
        .arg(perStatus[Authorized])
        .arg(perStatus[Rejected])
        .arg(perStatus[Unreachable])
        .arg(perStatus[Failed])
        .arg(perStatus[Offline])
        .arg(perStatus[NotChecked])
        .arg(statuses.size());
}

QString unquoted(QString field)
{
    while (field.startsWith(QLatin1Char('"')))
        field.remove(0, 1);
    while (field.endsWith(QLatin1Char('"')))
        field.chop(1);
    return field;
}

struct ImportRecord
{
    QString ip;
    QString port;
};

// The good lines of a device list, and how many lines were wrong.
QList<ImportRecord> readDeviceList(const QString& path, int& wrongFormat)
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
    auto columnOf = [&header](const QString& key) {
        for (int column = 0; column < header.size(); ++column) {
            if (header.at(column).contains(key, Qt::CaseInsensitive))
                return column;
        }
        return -1;
    };
    const int ipColumn = columnOf(QStringLiteral("ip"));
    const int portColumn = columnOf(QStringLiteral("port"));
    int highest = -1;
    for (const char* key : {"brand", "ip", "port", "model", "host", "mac"})
        highest = qMax(highest, columnOf(QString::fromLatin1(key)));

    static const QRegularExpression portPattern(QStringLiteral("^\\d{1,5}$"));
    QList<ImportRecord> records;
    for (const QString& line : std::as_const(lines)) {
        const QStringList fields = line.split(QLatin1Char(','));
        if (fields.size() <= highest) {
            ++wrongFormat;
            continue;
        }
        const QString port = unquoted(fields.at(portColumn));
        if (!portPattern.match(port).hasMatch() || port.toUInt() > 65535) {
            ++wrongFormat;
            continue;
        }
        records.append({unquoted(fields.at(ipColumn)), port});
    }
    return records;
}

QString importLine(int returned, int added, int wrongFormat, bool allExist)
{
    return QStringLiteral("returned=%1 new=%2 wrongFormat=%3 allExist=%4")
        .arg(returned)
        .arg(added)
        .arg(wrongFormat)
        .arg(allExist ? QStringLiteral("true") : QStringLiteral("false"));
}

} // namespace

ScenarioExpectation expectScenario(const QByteArray& siteJson, const QString& importCsv, const QString& managedCsv,
                                   const QString& ipContains, int maxResults)
{
    SiteFacts site = readSite(siteJson);
    ScenarioExpectation expected;

    // 1. Unmanaged cameras, checked with the default credentials.
    QList<Camera> listed;
    for (Camera camera : std::as_const(site.cameras)) {
        if (maxResults >= 0 && listed.size() >= maxResults)
            break;
        if (!camera.ip.contains(ipContains) || site.managedInFull(camera.ip, QString::number(camera.port)))
            continue;
        camera.status = statusAfterDetection(detect(camera, site.defaults));
        listed.append(camera);
    }
    auto statuses = [&listed] {
        QList<int> list;
        for (const Camera& camera : std::as_const(listed))
            list.append(camera.status);
        return list;
    };
    expected.counts.insert(QStringLiteral("search"), countsOf(statuses()));

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
        expected.counts.insert(QStringLiteral("authorize.%1").arg(pass + 1), countsOf(statuses()));
    }
    expected.counts.insert(QStringLiteral("authorize"), countsOf(statuses()));

    // 3. The device list: what the topology does not hold in full comes back, and
    // what no listed camera has the address of yet is added.
    auto importFile = [&site, &listed](const QString& path, bool add, QString& line) {
        int wrongFormat = 0;
        const QList<ImportRecord> records = readDeviceList(path, wrongFormat);
        QSet<QString> known;
        for (const Camera& camera : std::as_const(listed))
            known.insert(camera.ip + QLatin1Char(':') + QString::number(camera.port));
        int returned = 0;
        int added = 0;
        for (const ImportRecord& record : records) {
            if (site.managedInFull(record.ip, record.port))
                continue;
            ++returned;
            const QString key = record.ip + QLatin1Char(':') + QString::number(record.port.toInt());
            if (!known.contains(key))
                ++added;
            known.insert(key);
        }
        line = importLine(returned, added, wrongFormat, returned == 0);
        if (add) {
            for (int i = 0; i < added; ++i)
                listed.append(Camera{});
        }
    };
    QString line;
    importFile(importCsv, true, line);
    expected.imports.insert(QStringLiteral("import"), line);
    expected.counts.insert(QStringLiteral("import"), countsOf(statuses()));
    if (!managedCsv.isEmpty()) {
        importFile(managedCsv, false, line);
        expected.imports.insert(QStringLiteral("import-managed"), line);
    }

    // 4. Unmanaged stations of the site's family; none of them has credentials.
    QList<int> stations;
    int found = 0;
    for (const QJsonObject& station : std::as_const(site.stations)) {
        if (maxResults >= 0 && found >= maxResults)
            break;
        const QString ip = station.value(QLatin1String("ip")).toString();
        if (!ip.contains(ipContains) || site.managedInFull(ip, QString::number(portOf(station))))
            continue;
        // The family is the client's own filter, applied after the server's limit.
        ++found;
        if (!station.value(QLatin1String("qrlnModel")).toString().contains(site.stationFamily))
            continue;
        stations.append(NotChecked);
    }
    expected.counts.insert(QStringLiteral("stations"), countsOf(stations));
    expected.stationsToAuthorize = QStringLiteral("%1 of %1 shown").arg(stations.size());
    return expected;
}
