#include "Site.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace {

// Reads one JSON object field by field and remembers the first problem, so a site
// file with a typo is refused with a message that names the place.
class Reader
{
public:
    Reader(const QJsonObject& object, QString where, QString& error)
        : m_object(object)
        , m_where(std::move(where))
        , m_error(error)
    {
    }

    bool allowOnly(const QStringList& keys)
    {
        for (auto it = m_object.begin(); it != m_object.end(); ++it) {
            if (!keys.contains(it.key()))
                return fail(QStringLiteral("unknown key \"%1\"").arg(it.key()));
        }
        return true;
    }

    QString text(const QString& key, bool required = false, const QString& fallback = QString())
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined()) {
            if (required)
                fail(QStringLiteral("\"%1\" is missing").arg(key));
            return fallback;
        }
        if (!value.isString())
            fail(QStringLiteral("\"%1\" must be a string").arg(key));
        return value.toString();
    }

    int number(const QString& key, int fallback, int min, int max)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined())
            return fallback;
        const double number = value.toDouble(-1e18);
        if (!value.isDouble() || number != int(number) || number < min || number > max) {
            fail(QStringLiteral("\"%1\" must be a whole number from %2 to %3").arg(key).arg(min).arg(max));
            return fallback;
        }
        return int(number);
    }

    bool flag(const QString& key, bool fallback)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined())
            return fallback;
        if (!value.isBool())
            fail(QStringLiteral("\"%1\" must be true or false").arg(key));
        return value.toBool();
    }

    QJsonArray array(const QString& key)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined())
            return {};
        if (!value.isArray())
            fail(QStringLiteral("\"%1\" must be a list").arg(key));
        return value.toArray();
    }

    QJsonObject object(const QString& key)
    {
        const QJsonValue value = m_object.value(key);
        if (value.isUndefined())
            return {};
        if (!value.isObject())
            fail(QStringLiteral("\"%1\" must be an object").arg(key));
        return value.toObject();
    }

    bool fail(const QString& message)
    {
        if (m_error.isEmpty())
            m_error = m_where.isEmpty() ? message : QStringLiteral("%1: %2").arg(m_where, message);
        return false;
    }

    bool ok() const { return m_error.isEmpty(); }

private:
    QJsonObject m_object;
    QString m_where;
    QString& m_error;
};

int parseBrand(Reader& reader, const QString& key)
{
    const QString text = reader.text(key, false, QStringLiteral("qrln"));
    if (text == QLatin1String("qrln"))
        return 0;
    if (text == QLatin1String("onvif"))
        return 1;
    if (text == QLatin1String("rtsp"))
        return 2;
    reader.fail(QStringLiteral("\"%1\" must be \"qrln\", \"onvif\" or \"rtsp\"").arg(key));
    return 0;
}

QList<SiteCredential> parseCredentials(const QJsonArray& array, const QString& where, QString& error)
{
    QList<SiteCredential> credentials;
    for (int i = 0; i < array.size(); ++i) {
        Reader reader(array.at(i).toObject(), QStringLiteral("%1[%2]").arg(where).arg(i), error);
        if (!array.at(i).isObject()) {
            reader.fail(QStringLiteral("must be an object"));
            break;
        }
        reader.allowOnly({QStringLiteral("username"), QStringLiteral("password")});
        credentials.append({reader.text(QStringLiteral("username"), true), reader.text(QStringLiteral("password"))});
    }
    return credentials;
}

bool parseCamera(const QJsonValue& value, int index, SiteCamera& camera, QString& error)
{
    Reader reader(value.toObject(), QStringLiteral("cameras[%1]").arg(index), error);
    if (!value.isObject())
        return reader.fail(QStringLiteral("must be an object"));
    reader.allowOnly({"id", "ip", "httpPort", "httpsPort", "mac", "model", "brand", "alsoOnvif", "hostName",
                      "username", "password", "state", "channels", "rtspPort", "fault", "faultCode"});
    camera.id = reader.text(QStringLiteral("id"), true);
    camera.ip = reader.text(QStringLiteral("ip"), true);
    camera.httpPort = reader.number(QStringLiteral("httpPort"), 80, 0, 65535);
    camera.httpsPort = reader.number(QStringLiteral("httpsPort"), 443, 0, 65535);
    camera.mac = reader.text(QStringLiteral("mac"));
    camera.model = reader.text(QStringLiteral("model"));
    camera.brand = parseBrand(reader, QStringLiteral("brand"));
    camera.alsoOnvif = reader.flag(QStringLiteral("alsoOnvif"), false);
    camera.hostName = reader.text(QStringLiteral("hostName"));
    camera.credential.username = reader.text(QStringLiteral("username"), false, QStringLiteral("admin"));
    camera.credential.password = reader.text(QStringLiteral("password"));
    camera.channels = reader.number(QStringLiteral("channels"), 1, 1, 64);
    camera.rtspPort = reader.number(QStringLiteral("rtspPort"), 554, 0, 65535);

    const QString state = reader.text(QStringLiteral("state"), false, QStringLiteral("online"));
    if (state == QLatin1String("online"))
        camera.state = SiteCamera::State::Online;
    else if (state == QLatin1String("unreachable"))
        camera.state = SiteCamera::State::Unreachable;
    else if (state == QLatin1String("unsupported"))
        camera.state = SiteCamera::State::Unsupported;
    else
        reader.fail(QStringLiteral("\"state\" must be \"online\", \"unreachable\" or \"unsupported\""));

    const QString fault = reader.text(QStringLiteral("fault"), false, QStringLiteral("none"));
    if (fault == QLatin1String("none"))
        camera.fault = SiteCamera::Fault::None;
    else if (fault == QLatin1String("failureCode"))
        camera.fault = SiteCamera::Fault::FailureCode;
    else if (fault == QLatin1String("internalError"))
        camera.fault = SiteCamera::Fault::InternalError;
    else if (fault == QLatin1String("noAnswer"))
        camera.fault = SiteCamera::Fault::NoAnswer;
    else
        reader.fail(QStringLiteral("\"fault\" must be \"none\", \"failureCode\", \"internalError\" or \"noAnswer\""));
    camera.faultCode = reader.text(QStringLiteral("faultCode"), false, QStringLiteral("DeviceBusy"));

    if (camera.httpPort == 0 && camera.httpsPort == 0)
        reader.fail(QStringLiteral("needs an HTTP or an HTTPS port"));
    if (camera.brand == 1 && camera.alsoOnvif)
        reader.fail(QStringLiteral("\"alsoOnvif\" is for cameras of another brand"));
    return reader.ok();
}

bool parseStation(const QJsonValue& value, int index, SiteStation& station, QString& error)
{
    Reader reader(value.toObject(), QStringLiteral("stations[%1]").arg(index), error);
    if (!value.isObject())
        return reader.fail(QStringLiteral("must be an object"));
    reader.allowOnly({"id", "ip", "httpPort", "httpsPort", "mac", "model", "qrlnModel", "hostName", "brand"});
    station.id = reader.text(QStringLiteral("id"), true);
    station.ip = reader.text(QStringLiteral("ip"), true);
    station.httpPort = reader.number(QStringLiteral("httpPort"), 80, 0, 65535);
    station.httpsPort = reader.number(QStringLiteral("httpsPort"), 443, 0, 65535);
    station.mac = reader.text(QStringLiteral("mac"));
    station.model = reader.text(QStringLiteral("model"));
    station.qrlnModel = reader.text(QStringLiteral("qrlnModel"));
    station.hostName = reader.text(QStringLiteral("hostName"));
    station.brand = parseBrand(reader, QStringLiteral("brand"));
    return reader.ok();
}

bool parseTopologyDevice(const QJsonValue& value, int index, TopologyDevice& device, QString& error)
{
    Reader reader(value.toObject(), QStringLiteral("topology[%1]").arg(index), error);
    if (!value.isObject())
        return reader.fail(QStringLiteral("must be an object"));
    reader.allowOnly({"ip", "port", "channelNum", "channels"});
    device.ip = reader.text(QStringLiteral("ip"), true);
    device.port = reader.text(QStringLiteral("port"), true);
    device.channelNum = reader.number(QStringLiteral("channelNum"), 1, 1, 64);
    const QJsonArray channels = reader.array(QStringLiteral("channels"));
    for (const QJsonValue& channel : channels) {
        if (!channel.isDouble() || channel.toInt() < 1)
            return reader.fail(QStringLiteral("\"channels\" must list channel numbers from 1"));
        device.channels.append(channel.toInt());
    }
    // A device listed without channels is managed in full.
    if (channels.isEmpty()) {
        for (int channel = 1; channel <= device.channelNum; ++channel)
            device.channels.append(channel);
    }
    return reader.ok();
}

} // namespace

bool Site::load(const QString& path, Site& site, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read site file %1: %2").arg(path, file.errorString());
        return false;
    }
    if (!parse(file.readAll(), site, error)) {
        error = QStringLiteral("site file %1: %2").arg(path, error);
        return false;
    }
    return true;
}

bool Site::parse(const QByteArray& json, Site& site, QString& error)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        error = QStringLiteral("not JSON (%1 at offset %2)").arg(parseError.errorString()).arg(parseError.offset);
        return false;
    }
    if (!document.isObject()) {
        error = QStringLiteral("the top level must be an object");
        return false;
    }

    error.clear();
    site = Site();
    Reader reader(document.object(), QString(), error);
    reader.allowOnly({"name", "timing", "defaultCredentials", "credentials", "cameras", "stations", "topology",
                      "stationFamily"});
    site.name = reader.text(QStringLiteral("name"), false, QStringLiteral("Unnamed site"));
    site.stationFamily = reader.text(QStringLiteral("stationFamily"));

    Reader timing(reader.object(QStringLiteral("timing")), QStringLiteral("timing"), error);
    timing.allowOnly({"searchBatches", "batchDelayMs", "detectionDelayMs", "authorizeDelayMs"});
    site.timing.searchBatches = timing.number(QStringLiteral("searchBatches"), 4, 1, 100);
    site.timing.batchDelayMs = timing.number(QStringLiteral("batchDelayMs"), 120, 0, 60000);
    site.timing.detectionDelayMs = timing.number(QStringLiteral("detectionDelayMs"), 8, 0, 60000);
    site.timing.authorizeDelayMs = timing.number(QStringLiteral("authorizeDelayMs"), 12, 0, 60000);

    site.defaultCredentials =
        parseCredentials(reader.array(QStringLiteral("defaultCredentials")), QStringLiteral("defaultCredentials"), error);
    site.credentials = parseCredentials(reader.array(QStringLiteral("credentials")), QStringLiteral("credentials"), error);

    QSet<QString> ids;
    const QJsonArray cameras = reader.array(QStringLiteral("cameras"));
    for (int i = 0; i < cameras.size() && error.isEmpty(); ++i) {
        SiteCamera camera;
        if (!parseCamera(cameras.at(i), i, camera, error))
            break;
        if (ids.contains(camera.id)) {
            error = QStringLiteral("cameras[%1]: id \"%2\" is used twice").arg(i).arg(camera.id);
            break;
        }
        ids.insert(camera.id);
        site.cameras.append(camera);
    }
    const QJsonArray stations = reader.array(QStringLiteral("stations"));
    for (int i = 0; i < stations.size() && error.isEmpty(); ++i) {
        SiteStation station;
        if (!parseStation(stations.at(i), i, station, error))
            break;
        if (ids.contains(station.id)) {
            error = QStringLiteral("stations[%1]: id \"%2\" is used twice").arg(i).arg(station.id);
            break;
        }
        ids.insert(station.id);
        site.stations.append(station);
    }
    const QJsonArray topology = reader.array(QStringLiteral("topology"));
    for (int i = 0; i < topology.size() && error.isEmpty(); ++i) {
        TopologyDevice device;
        if (!parseTopologyDevice(topology.at(i), i, device, error))
            break;
        site.topology.append(device);
    }
    return error.isEmpty();
}

void Site::indexAddresses() const
{
    // The lists do not change once the site is read; their sizes tell a site that was
    // filled after a look-up.
    if (m_indexedCameras == cameras.size() && m_indexedTopology == topology.size())
        return;
    m_camerasOfIp.clear();
    m_camerasOfIp.reserve(cameras.size());
    for (qsizetype i = 0; i < cameras.size(); ++i)
        m_camerasOfIp[cameras.at(i).ip].append(i);
    // Same reading as the client's: every listed channel of the address counts, and
    // the last entry states how many the device has.
    m_managed.clear();
    for (const TopologyDevice& device : topology) {
        ManagedChannels& managed = m_managed[device.ip + QLatin1Char(':') + device.port];
        managed.stated = device.channelNum;
        for (int channel : device.channels)
            managed.channels.insert(channel);
    }
    m_indexedCameras = cameras.size();
    m_indexedTopology = topology.size();
}

bool Site::isManagedInFull(const QString& ip, const QString& port) const
{
    indexAddresses();
    const auto it = m_managed.constFind(ip + QLatin1Char(':') + port);
    return it != m_managed.constEnd() ? it->channels.size() == it->stated : false;
}

const SiteCamera* Site::cameraAt(const QString& ip, int port) const
{
    indexAddresses();
    // The first camera of the file that answers there, as a walk through the list finds it.
    for (qsizetype i : m_camerasOfIp.value(ip)) {
        if (cameras.at(i).answersOnPort(port))
            return &cameras.at(i);
    }
    return nullptr;
}

int Site::partlyManagedCount() const
{
    QSet<QString> partly;
    for (const TopologyDevice& device : topology) {
        if (!isManagedInFull(device.ip, device.port))
            partly.insert(device.ip + QLatin1Char(':') + device.port);
    }
    return int(partly.size());
}

QString brandName(int brand)
{
    switch (brand) {
    case 0:
        return QStringLiteral("qrln");
    case 1:
        return QStringLiteral("onvif");
    case 2:
        return QStringLiteral("rtsp");
    default:
        return QStringLiteral("-1");
    }
}
