#pragma once

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// A simulated site, read from a JSON site file (format: ReferenceHost/sites/FORMAT.md).
// Everything the simulated server answers is derived from this description.

struct SiteCredential
{
    QString username;
    QString password;

    bool operator==(const SiteCredential& other) const
    {
        return username == other.username && password == other.password;
    }
};

struct SiteCamera
{
    // How the camera reacts to a login attempt, whatever the credentials.
    enum class State { Online, Unreachable, Unsupported };
    // What goes wrong when the client asks the server to log in to this camera.
    enum class Fault { None, FailureCode, InternalError, NoAnswer };

    QString id;
    QString ip;
    int httpPort = 80;
    int httpsPort = 443;
    QString mac;
    QString model;
    int brand = 0;
    bool alsoOnvif = false;     // a native camera that answers ONVIF discovery too
    QString hostName;
    SiteCredential credential;
    State state = State::Online;
    int channels = 1;
    int rtspPort = 554;
    Fault fault = Fault::None;
    QString faultCode;

    // The port the client reaches the camera on: HTTP, or HTTPS when it has no HTTP port.
    int port() const { return httpPort != 0 ? httpPort : httpsPort; }
    bool answersOnPort(int port) const { return port != 0 && (port == httpPort || port == httpsPort); }
};

struct SiteStation
{
    QString id;
    QString ip;
    int httpPort = 80;
    int httpsPort = 443;
    QString mac;
    QString model;
    QString qrlnModel;
    QString hostName;
    int brand = 0;

    int port() const { return httpPort != 0 ? httpPort : httpsPort; }
};

// One device of the client's topology: the channels it manages of it.
struct TopologyDevice
{
    QString ip;
    QString port;       // as text, the way the topology stores it
    int channelNum = 1;
    QList<int> channels;
};

struct SiteTiming
{
    int searchBatches = 4;
    int batchDelayMs = 120;
    int detectionDelayMs = 8;
    int authorizeDelayMs = 12;
};

struct Site
{
    QString name;
    SiteTiming timing;
    QList<SiteCredential> defaultCredentials;   // what the server tries when asked to check
    QList<SiteCredential> credentials;          // what the site's installer knows
    QList<SiteCamera> cameras;
    QList<SiteStation> stations;
    QList<TopologyDevice> topology;
    QString stationFamily;                      // QRLN model family the scenario lists

    // Reads and checks a site file; on failure returns false and says why in error.
    static bool load(const QString& path, Site& site, QString& error);
    static bool parse(const QByteArray& json, Site& site, QString& error);

    // The client manages every channel of the device at ip:port (the port as the
    // topology writes it). The one rule the server's searches and the summary use.
    bool isManagedInFull(const QString& ip, const QString& port) const;
    const SiteCamera* cameraAt(const QString& ip, int port) const;
    // Devices of the topology the client manages only some channels of.
    int partlyManagedCount() const;

private:
    // Look-ups by address, built on first use: a site of a hundred thousand cameras
    // answers every login and every search entry without walking its lists.
    struct ManagedChannels
    {
        QSet<int> channels;
        int stated = -1;
    };
    void indexAddresses() const;

    mutable QHash<QString, QList<qsizetype>> m_camerasOfIp;
    mutable QHash<QString, ManagedChannels> m_managed;
    mutable qsizetype m_indexedCameras = -1;
    mutable qsizetype m_indexedTopology = -1;
};

QString brandName(int brand);
