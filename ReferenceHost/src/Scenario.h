#pragma once

#include "ScreenDriver.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QTextStream>

class HostApplication;
class QAbstractItemModel;

// The standard flow of a site visit, run without a person but through the screens as
// a person works them (buttons, fields, dialogs, column titles): search with the
// authorization check, log in to the rest with the site's credentials, import a
// device list and add what it returns, search for stations. After each step it prints
// the rows and a count per status, and saves a picture of the screen.
class Scenario
{
public:
    struct Options
    {
        QString importFile;     // empty: the embedded sample file
        QString screenshotDir;  // empty: no pictures
        bool stepTimes = false; // the time of each action on stderr
    };

    Scenario(HostApplication& host, Options options);

    // 0 when every step ran to its end.
    int run();

private:
    bool searchCameras();
    bool authorizeRest();
    bool importFile(const QString& label, const QString& path);
    bool searchStations();

    // Person-like steps: each lets the screens catch up afterwards.
    bool click(const QString& objectName, int settleMs = 50);
    bool type(const QString& objectName, const QString& text);
    bool waitForServer(const QString& what);
    void settle(int milliseconds);
    bool screenshot(const QString& name);
    int notLoggedIn() const;
    bool printCameras(const QString& label);
    bool fail(const QString& why);
    // With stepTimes: "time: WHAT N ms", N the time since start (a QElapsedTimer's msecs).
    void reportTime(const QString& what, qint64 start) const;

    HostApplication& m_host;
    Options m_options;
    ScreenDriver m_screen;
    QTextStream m_out;
    QAbstractItemModel* m_cameras = nullptr;
    QAbstractItemModel* m_cameraView = nullptr;
    QAbstractItemModel* m_stations = nullptr;
    QAbstractItemModel* m_stationView = nullptr;
    QStringList m_pictures;
    QString m_error;
    QElapsedTimer m_clock;
};
