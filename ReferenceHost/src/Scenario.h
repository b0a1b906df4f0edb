#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>
#include <QVariant>

class HostApplication;
class QAbstractItemModel;

// The standard flow of a site visit, run without a person: search with the
// authorization check, log in to the rest with the site's credentials, import a
// device list and add what it returns, search for stations. After each step it
// prints the rows and a count per status, and saves a picture of the screen.
class Scenario
{
public:
    struct Options
    {
        QString importFile;     // empty: the embedded sample file
        QString screenshotDir;  // empty: no pictures
    };

    Scenario(HostApplication& host, Options options);

    // 0 when every step ran to its end.
    int run();

private:
    bool searchCameras();
    bool authorizeRest();
    bool importFile(const QString& label, const QString& path);
    bool searchStations();

    bool waitForServer(const QString& what);
    void settle(int milliseconds);
    QVariant call(const char* function, const QVariantList& args = {});
    bool screenshot(const QString& name);
    QStringList camerasToAuthorize() const;
    void printCameras(const QString& label);
    bool fail(const QString& why);

    HostApplication& m_host;
    Options m_options;
    QTextStream m_out;
    QAbstractItemModel* m_cameras = nullptr;
    QAbstractItemModel* m_cameraView = nullptr;
    QAbstractItemModel* m_stations = nullptr;
    QAbstractItemModel* m_stationView = nullptr;
    QStringList m_pictures;
    QString m_error;
};
