#include "Scenario.h"

#include "CameraTable.h"
#include "HostApplication.h"
#include "SimulatedServer.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QQuickWindow>
#include <QTimer>

namespace {

constexpr int ServerTimeoutMs = 120000;
// Device statuses the scenario tells apart.
constexpr int Checking = 0;
constexpr int Authorized = 1;
constexpr int DialogMs = 300;

QAbstractItemModel* modelOf(QObject* plugin, const char* getter)
{
    QObject* model = nullptr;
    QMetaObject::invokeMethod(plugin, getter, Q_RETURN_ARG(QObject*, model));
    return qobject_cast<QAbstractItemModel*>(model);
}

QString maskedPassword(const QString& password)
{
    return QString(password.size(), QLatin1Char('*'));
}

// The header cell of a table's column, as DeviceTable names it.
QString header(const char* table, const char* role)
{
    return QStringLiteral("%1.header.%2").arg(QLatin1String(table), QLatin1String(role));
}

} // namespace

Scenario::Scenario(HostApplication& host, Options options)
    : m_host(host)
    , m_options(std::move(options))
    , m_screen(host.window())
    , m_out(stdout)
{
}

int Scenario::run()
{
    QObject* plugin = m_host.plugin();
    m_cameras = modelOf(plugin, "getCameraModel");
    m_cameraView = modelOf(plugin, "getCameraSortFilterModel");
    m_stations = modelOf(plugin, "getSearchedStationModel");
    m_stationView = modelOf(plugin, "getSearchedStationSortFilterModel");
    if (!m_cameras || !m_cameraView || !m_stations || !m_stationView) {
        fail(QStringLiteral("the plug-in hands out no models"));
        return 1;
    }

    // Pictures of the same size on every machine; typing needs the window to have the focus.
    QQuickWindow* window = m_host.window();
    window->resize(1440, 900);
    window->show();
    window->requestActivate();
    QElapsedTimer activation;
    activation.start();
    while (!window->isActive() && activation.elapsed() < 5000)
        settle(20);
    if (!window->isActive()) {
        fail(QStringLiteral("the window never became active"));
        return 1;
    }
    if (!m_options.screenshotDir.isEmpty() && !QDir().mkpath(m_options.screenshotDir)) {
        fail(QStringLiteral("cannot make the folder %1").arg(m_options.screenshotDir));
        return 1;
    }

    const Site& site = m_host.site();
    int perBrand[3] = {};
    for (const SiteCamera& camera : site.cameras)
        ++perBrand[qBound(0, camera.brand, 2)];
    m_out << QStringLiteral("Site \"%1\": %2 cameras (qrln %3, onvif %4, rtsp %5), %6 stations, %7 managed devices "
                            "(%8 of them partly)\n")
                 .arg(site.name)
                 .arg(site.cameras.size())
                 .arg(perBrand[0])
                 .arg(perBrand[1])
                 .arg(perBrand[2])
                 .arg(site.stations.size())
                 .arg(site.topology.size())
                 .arg(site.partlyManagedCount())
          << QStringLiteral("Plug-in: %1\n").arg(m_host.pluginFile());

    settle(100);
    m_clock.start();
    const bool sampleImport = m_options.importFile.isEmpty();
    const QString importPath =
        sampleImport ? m_host.sampleImportFile().toLocalFile() : QFileInfo(m_options.importFile).absoluteFilePath();
    const bool ok = searchCameras() && authorizeRest() && importFile(QStringLiteral("import"), importPath)
                    && (!sampleImport || importFile(QStringLiteral("import-managed"), m_host.managedImportFile().toLocalFile()))
                    && searchStations();
    if (!ok)
        return 1;
    reportTime(QStringLiteral("scenario"), 0);

    if (!m_pictures.isEmpty()) {
        m_out << QStringLiteral("\nPictures of the screens in %1:\n").arg(QDir(m_options.screenshotDir).absolutePath());
        for (const QString& picture : std::as_const(m_pictures))
            m_out << "  " << picture << '\n';
    }
    m_out << QStringLiteral("Scenario done: %1 commands went to the server.\n").arg(m_host.server().commandsTaken());
    m_out.flush();
    return 0;
}

bool Scenario::searchCameras()
{
    m_out << QStringLiteral("\n== 1. Search for unmanaged cameras with the authorization check, ONVIF included ==\n");
    const int sentBefore = m_host.server().commandsTaken();
    if (!m_screen.setChecked(QStringLiteral("checkAuthBox"), true)
        || !m_screen.setChecked(QStringLiteral("unmanagedBox"), true)
        || !m_screen.setChecked(QStringLiteral("onvifBox"), true) || !click(QStringLiteral("searchButton")))
        return fail(m_screen.error());
    if (m_host.server().commandsTaken() == sentBefore)
        return fail(QStringLiteral("the plug-in did not send the search"));
    if (!waitForServer(QStringLiteral("the camera search")) || !click(header("cameraTable", "ipRole")))
        return false;

    const bool done = m_screen.read(QStringLiteral("cameraPage"), "searchDone").toBool();
    m_out << QStringLiteral("%1 answers, the last one done: %2; sorted by IP address\n")
                 .arg(m_screen.read(QStringLiteral("cameraPage"), "searchAnswers").toInt())
                 .arg(done ? QStringLiteral("yes") : QStringLiteral("no"));
    if (!done)
        return fail(QStringLiteral("the search never reported done"));
    return printCameras(QStringLiteral("search")) && screenshot(QStringLiteral("01-cameras-search.png"));
}

bool Scenario::authorizeRest()
{
    m_out << QStringLiteral("\n== 2. Log in to the rest with the site's credentials ==\n");
    const QList<SiteCredential>& credentials = m_host.site().credentials;
    for (int pass = 0; pass < credentials.size() && notLoggedIn() > 0; ++pass) {
        const SiteCredential& credential = credentials.at(pass);
        if (!click(QStringLiteral("selectNotLoggedInButton")))
            return false;
        m_out << QStringLiteral("pass %1: %2 / %3 on %4 selected camera(s)\n")
                     .arg(pass + 1)
                     .arg(credential.username, maskedPassword(credential.password))
                     .arg(m_screen.read(QStringLiteral("cameraTable"), "selectedIds").toList().size());
        if (!click(QStringLiteral("authorizeButton"), DialogMs) || !type(QStringLiteral("credentialsUser"), credential.username)
            || !type(QStringLiteral("credentialsPassword"), credential.password))
            return false;
        if (pass == 0 && !screenshot(QStringLiteral("02-authorize-dialog.png")))
            return false;
        const int sentBefore = m_host.server().commandsTaken();
        if (!click(QStringLiteral("credentialsOk")))
            return false;
        if (m_host.server().commandsTaken() == sentBefore)
            return fail(QStringLiteral("the plug-in refused to log in to the selected cameras"));
        if (!waitForServer(QStringLiteral("the logins of pass %1").arg(pass + 1)))
            return false;
        m_out << CameraTable::counts(QStringLiteral("authorize.%1").arg(pass + 1), m_cameras) << '\n';
    }
    // A second click on a column title turns its order round.
    if (!click(QStringLiteral("clearSelectionButton")) || !click(header("cameraTable", "statusRole"))
        || !click(header("cameraTable", "statusRole")))
        return false;
    m_out << QStringLiteral("sorted by status, last first\n");
    return printCameras(QStringLiteral("authorize")) && screenshot(QStringLiteral("03-cameras-authorized.png"));
}

bool Scenario::importFile(const QString& label, const QString& path)
{
    const bool managedOnly = label == QLatin1String("import-managed");
    m_out << (managedOnly ? QStringLiteral("\n== 3b. Import %1 (devices the client manages already) ==\n")
                          : QStringLiteral("\n== 3. Import %1 and add what it returns ==\n"))
                 .arg(QFileInfo(path).fileName());
    if (!click(QStringLiteral("importButton"), DialogMs) || !type(QStringLiteral("importPathField"), path)
        || !click(QStringLiteral("importReadButton"), DialogMs))
        return false;

    const QString dialog = QStringLiteral("importDialog");
    const QVariantList devices = m_screen.read(dialog, "devices").toList();
    QString table = QStringLiteral("  BRAND  IP               PORT   MODEL           HOST NAME            MAC             NOTE\n");
    for (const QVariant& entry : devices) {
        const QVariantMap device = entry.toMap();
        table += QStringLiteral("  %1 %2 %3 %4 %5 %6 %7\n")
                     .arg(device.value(QStringLiteral("brand")).toString(), -6)
                     .arg(device.value(QStringLiteral("host")).toString(), -16)
                     .arg(device.value(QStringLiteral("port")).toString(), -6)
                     .arg(device.value(QStringLiteral("modelName")).toString(), -15)
                     .arg(device.value(QStringLiteral("hostName")).toString(), -20)
                     .arg(device.value(QStringLiteral("mac")).toString(), -15)
                     .arg(device.value(QStringLiteral("listed")).toBool() ? QStringLiteral("already listed")
                                                                          : QStringLiteral("new"));
    }
    m_out << (devices.isEmpty() ? QStringLiteral("  (no device the client does not manage yet)\n") : table);
    const int wrongFormat = m_screen.read(dialog, "wrongFormat").toInt();
    const bool allExist = m_screen.read(dialog, "allExist").toBool();
    const int newDevices = m_screen.read(dialog, "newCount").toInt();
    if (wrongFormat > 0)
        m_out << QStringLiteral("warning: %1 line(s) of the file have the wrong format\n").arg(wrongFormat);
    if (allExist)
        m_out << QStringLiteral("warning: every device of the file is managed already\n");
    m_out << QStringLiteral("%1[file]: returned=%2 new=%3 wrongFormat=%4 allExist=%5\n")
                 .arg(label)
                 .arg(devices.size())
                 .arg(newDevices)
                 .arg(wrongFormat)
                 .arg(allExist ? QStringLiteral("true") : QStringLiteral("false"));
    if (!screenshot(managedOnly ? QStringLiteral("06-import-managed.png") : QStringLiteral("04-import.png")))
        return false;

    if (managedOnly)
        return click(QStringLiteral("importCloseButton"), DialogMs);
    if (newDevices > 0 && !click(QStringLiteral("importAddButton"), DialogMs))
        return false;
    // Host names come only with devices added by hand: last first puts them on top.
    if (!click(header("cameraTable", "hostNameRole")) || !click(header("cameraTable", "hostNameRole"), 200))
        return false;
    m_out << QStringLiteral("added %1 device(s) by hand; sorted by host name, last first\n").arg(newDevices);
    return printCameras(label) && screenshot(QStringLiteral("05-cameras.png"));
}

bool Scenario::searchStations()
{
    const QString family = m_host.site().stationFamily;
    m_out << QStringLiteral("\n== 4. Search for unmanaged stations of the QRLN model family \"%1\" ==\n").arg(family);
    const int sentBefore = m_host.server().commandsTaken();
    if (!click(QStringLiteral("stationsTab"), 200) || !type(QStringLiteral("familyField"), family)
        || !m_screen.pressReturn())
        return false;
    if (m_host.server().commandsTaken() == sentBefore)
        return fail(QStringLiteral("the plug-in did not send the station search"));
    if (!waitForServer(QStringLiteral("the station search")) || !click(header("stationTable", "ipRole"), 200))
        return false;

    const QString counts = CameraTable::counts(QStringLiteral("stations"), m_stations);
    const QVariant shown = m_screen.read(QStringLiteral("stationRoster"), "counts");
    if (CameraTable::counts(QStringLiteral("stations"), shown.value<QList<int>>(), m_stations->rowCount()) != counts)
        return fail(QStringLiteral("the station screen counts other statuses than the rows hold"));
    m_out << CameraTable::stations(m_stationView) << counts << '\n'
          << QStringLiteral("stations[to-authorize]: %1 of %2 shown\n")
                 .arg(m_screen.read(QStringLiteral("stationPage"), "toAuthorize").toList().size())
                 .arg(m_screen.read(QStringLiteral("stationPage"), "shownIds").toList().size());
    return screenshot(QStringLiteral("07-stations.png"));
}

bool Scenario::click(const QString& objectName, int settleMs)
{
    const qint64 start = m_clock.elapsed();
    if (!m_screen.click(objectName))
        return fail(m_screen.error());
    settle(settleMs);
    reportTime(QStringLiteral("click %1 (%2 ms settling)").arg(objectName).arg(settleMs), start);
    return true;
}

bool Scenario::type(const QString& objectName, const QString& text)
{
    const qint64 start = m_clock.elapsed();
    if (!m_screen.type(objectName, text))
        return fail(m_screen.error());
    settle(20);
    reportTime(QStringLiteral("type into %1 (20 ms settling)").arg(objectName), start);
    return true;
}

void Scenario::reportTime(const QString& what, qint64 start) const
{
    if (m_options.stepTimes)
        qInfo("time: %s %lld ms", qPrintable(what), m_clock.elapsed() - start);
}

int Scenario::notLoggedIn() const
{
    // Neither logged in nor still waiting for an answer, as "Select not logged in" picks them.
    const int statusRole = CameraTable::role(m_cameraView, "statusRole");
    int count = 0;
    for (int row = 0; row < m_cameraView->rowCount(); ++row) {
        const int status = m_cameraView->index(row, 0).data(statusRole).toInt();
        count += status != Checking && status != Authorized ? 1 : 0;
    }
    return count;
}

bool Scenario::printCameras(const QString& label)
{
    const qint64 start = m_clock.elapsed();
    // The status line under the table counts from the model's signals; it must agree
    // with the rows themselves.
    const QString counts = CameraTable::counts(label, m_cameras);
    const QVariant shown = m_screen.read(QStringLiteral("cameraRoster"), "counts");
    if (CameraTable::counts(label, shown.value<QList<int>>(), m_cameras->rowCount()) != counts)
        return fail(QStringLiteral("the camera screen counts other statuses than the rows hold"));
    m_out << CameraTable::cameras(m_cameraView) << counts << '\n';
    m_out.flush();
    reportTime(QStringLiteral("print the cameras"), start);
    return true;
}

bool Scenario::waitForServer(const QString& what)
{
    const qint64 start = m_clock.elapsed();
    SimulatedServer& server = m_host.server();
    if (!server.isIdle()) {
        QEventLoop loop;
        QTimer timeout;
        timeout.setSingleShot(true);
        QObject::connect(&server, &SimulatedServer::idle, &loop, &QEventLoop::quit);
        QObject::connect(&timeout, &QTimer::timeout, &loop, &QEventLoop::quit);
        timeout.start(ServerTimeoutMs);
        loop.exec();
        if (!server.isIdle())
            return fail(QStringLiteral("the server did not finish %1 in time").arg(what));
    }
    // Let the screens catch up with the last answers.
    settle(100);
    reportTime(QStringLiteral("wait for %1 (100 ms settling)").arg(what), start);
    return true;
}

void Scenario::settle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Scenario::screenshot(const QString& name)
{
    if (m_options.screenshotDir.isEmpty())
        return true;
    const qint64 start = m_clock.elapsed();
    const QString path = QDir(m_options.screenshotDir).filePath(name);
    const QImage image = m_host.window()->grabWindow();
    if (image.isNull() || !image.save(path))
        return fail(QStringLiteral("cannot save the picture %1").arg(path));
    m_pictures.append(name);
    reportTime(QStringLiteral("picture %1").arg(name), start);
    return true;
}

bool Scenario::fail(const QString& why)
{
    if (m_error.isEmpty()) {
        m_error = why;
        m_out.flush();
        qCritical("scenario failed: %s", qPrintable(why));
    }
    return false;
}
