#include "Scenario.h"

#include "CameraTable.h"
#include "HostApplication.h"
#include "SimulatedServer.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QJSValue>
#include <QQuickWindow>
#include <QTimer>
#include <QUrl>

namespace {

constexpr int CameraId = Qt::UserRole;
constexpr int CameraIp = Qt::UserRole + 3;
constexpr int CameraStatus = Qt::UserRole + 6;
constexpr int CameraHostName = Qt::UserRole + 11;
constexpr int StationIp = Qt::UserRole + 4;
constexpr int StationStatus = Qt::UserRole + 9;
constexpr int Checking = 0;
constexpr int Authorized = 1;
constexpr int ServerTimeoutMs = 120000;

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

} // namespace

Scenario::Scenario(HostApplication& host, Options options)
    : m_host(host)
    , m_options(std::move(options))
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

    // Pictures of the same size on every machine.
    m_host.window()->resize(1440, 900);
    m_host.window()->show();
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
    const bool sampleImport = m_options.importFile.isEmpty();
    const QString importPath =
        sampleImport ? m_host.sampleImportFile().toLocalFile() : QFileInfo(m_options.importFile).absoluteFilePath();
    const bool ok = searchCameras() && authorizeRest() && importFile(QStringLiteral("import"), importPath)
                    && (!sampleImport || importFile(QStringLiteral("import-managed"), m_host.managedImportFile().toLocalFile()))
                    && searchStations();
    if (!ok)
        return 1;

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
    // Unmanaged cameras only, with the authorization check, ONVIF devices included.
    const int flag = 1 | 2 | 4;
    m_out << QStringLiteral("\n== 1. Search for unmanaged cameras with the authorization check (flag %1) ==\n").arg(flag);
    if (!call("scenarioSearchCameras", {flag}).toBool())
        return fail(QStringLiteral("the plug-in did not send the search"));
    if (!waitForServer(QStringLiteral("the camera search")))
        return false;
    call("scenarioSortCameras", {CameraIp, int(Qt::AscendingOrder)});
    settle(50);

    const QVariantMap state = call("scenarioCameraState").toMap();
    m_out << QStringLiteral("%1 answers, the last one done: %2; sorted by IP address\n")
                 .arg(state.value(QStringLiteral("answers")).toInt())
                 .arg(state.value(QStringLiteral("done")).toBool() ? QStringLiteral("yes") : QStringLiteral("no"));
    if (!state.value(QStringLiteral("done")).toBool())
        return fail(QStringLiteral("the search never reported done"));
    printCameras(QStringLiteral("search"));
    return screenshot(QStringLiteral("01-cameras-search.png"));
}

bool Scenario::authorizeRest()
{
    m_out << QStringLiteral("\n== 2. Log in to the rest with the site's credentials ==\n");
    const QList<SiteCredential>& credentials = m_host.site().credentials;
    for (int pass = 0; pass < credentials.size(); ++pass) {
        const SiteCredential& credential = credentials.at(pass);
        const QStringList ids = camerasToAuthorize();
        if (ids.isEmpty())
            break;
        m_out << QStringLiteral("pass %1: %2 / %3 on %4 camera(s)\n")
                     .arg(pass + 1)
                     .arg(credential.username, maskedPassword(credential.password))
                     .arg(ids.size());
        call("scenarioSelectCameras", {ids});
        bool sent = false;
        if (pass == 0) {
            // The first pass goes through the credentials dialog, as a person would.
            call("scenarioOpenCredentials", {ids, credential.username, credential.password});
            settle(300);
            if (!screenshot(QStringLiteral("02-authorize-dialog.png")))
                return false;
            sent = call("scenarioAcceptCredentials").toBool();
        } else {
            sent = call("scenarioAuthorize", {ids, credential.username, credential.password}).toBool();
        }
        if (!sent)
            return fail(QStringLiteral("the plug-in refused to log in to the selected cameras"));
        if (!waitForServer(QStringLiteral("the logins of pass %1").arg(pass + 1)))
            return false;
        m_out << CameraTable::counts(QStringLiteral("authorize.%1").arg(pass + 1), m_cameras, CameraStatus) << '\n';
    }
    call("scenarioSelectCameras", {QStringList()});
    call("scenarioSortCameras", {CameraStatus, int(Qt::DescendingOrder)});
    settle(50);
    m_out << QStringLiteral("sorted by status, last first\n");
    printCameras(QStringLiteral("authorize"));
    return screenshot(QStringLiteral("03-cameras-authorized.png"));
}

bool Scenario::importFile(const QString& label, const QString& path)
{
    const bool managedOnly = label == QLatin1String("import-managed");
    m_out << (managedOnly ? QStringLiteral("\n== 3b. Import %1 (devices the client manages already) ==\n")
                          : QStringLiteral("\n== 3. Import %1 and add what it returns ==\n"))
                 .arg(QDir::toNativeSeparators(path));
    const QVariantMap result = call("scenarioImport", {QUrl::fromLocalFile(path)}).toMap();
    settle(300);
    const QVariantList devices = result.value(QStringLiteral("devices")).toList();

    QString table = QStringLiteral("  BRAND  IP               PORT   MODEL           HOST NAME            MAC             NOTE\n");
    int newDevices = 0;
    for (const QVariant& entry : devices) {
        const QVariantMap device = entry.toMap();
        const bool listed = device.value(QStringLiteral("listed")).toBool();
        newDevices += listed ? 0 : 1;
        table += QStringLiteral("  %1 %2 %3 %4 %5 %6 %7\n")
                     .arg(device.value(QStringLiteral("brand")).toString(), -6)
                     .arg(device.value(QStringLiteral("host")).toString(), -16)
                     .arg(device.value(QStringLiteral("port")).toString(), -6)
                     .arg(device.value(QStringLiteral("modelName")).toString(), -15)
                     .arg(device.value(QStringLiteral("hostName")).toString(), -20)
                     .arg(device.value(QStringLiteral("mac")).toString(), -15)
                     .arg(listed ? QStringLiteral("already listed") : QStringLiteral("new"));
    }
    m_out << (devices.isEmpty() ? QStringLiteral("  (no device the client does not manage yet)\n") : table);
    const int wrongFormat = result.value(QStringLiteral("wrongFormat")).toInt();
    const bool allExist = result.value(QStringLiteral("allExist")).toBool();
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

    if (managedOnly) {
        call("scenarioCloseDialogs");
        return true;
    }
    const int added = call("scenarioAddImported").toInt();
    // Host names come only with devices added by hand: those sort first.
    call("scenarioSortCameras", {CameraHostName, int(Qt::DescendingOrder)});
    settle(200);
    m_out << QStringLiteral("added %1 device(s) by hand; sorted by host name, last first\n").arg(added);
    printCameras(label);
    return screenshot(QStringLiteral("05-cameras.png"));
}

bool Scenario::searchStations()
{
    const QString family = m_host.site().stationFamily;
    m_out << QStringLiteral("\n== 4. Search for unmanaged stations of the QRLN model family \"%1\" ==\n").arg(family);
    if (!call("scenarioSearchStations", {family}).toBool())
        return fail(QStringLiteral("the plug-in did not send the station search"));
    if (!waitForServer(QStringLiteral("the station search")))
        return false;
    call("scenarioSortStations", {StationIp, int(Qt::AscendingOrder)});
    settle(200);
    const QVariantMap state = call("scenarioStationState").toMap();
    m_out << CameraTable::stations(m_stationView)
          << CameraTable::counts(QStringLiteral("stations"), m_stations, StationStatus) << '\n'
          << QStringLiteral("stations[to-authorize]: %1 of %2 shown\n")
                 .arg(state.value(QStringLiteral("toAuthorize")).toList().size())
                 .arg(state.value(QStringLiteral("shown")).toList().size());
    return screenshot(QStringLiteral("07-stations.png"));
}

QStringList Scenario::camerasToAuthorize() const
{
    // Everything that is neither logged in nor still waiting for an answer.
    QStringList ids;
    for (int row = 0; row < m_cameraView->rowCount(); ++row) {
        const QModelIndex index = m_cameraView->index(row, 0);
        const int status = index.data(CameraStatus).toInt();
        if (status != Checking && status != Authorized)
            ids.append(index.data(CameraId).toString());
    }
    return ids;
}

void Scenario::printCameras(const QString& label)
{
    m_out << CameraTable::cameras(m_cameraView) << CameraTable::counts(label, m_cameras, CameraStatus) << '\n';
    m_out.flush();
}

bool Scenario::waitForServer(const QString& what)
{
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
    return true;
}

void Scenario::settle(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QVariant Scenario::call(const char* function, const QVariantList& args)
{
    QObject* root = m_host.window();
    QVariant result;
    bool ok = false;
    switch (args.size()) {
    case 0:
        ok = QMetaObject::invokeMethod(root, function, Q_RETURN_ARG(QVariant, result));
        break;
    case 1:
        ok = QMetaObject::invokeMethod(root, function, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, args.at(0)));
        break;
    case 2:
        ok = QMetaObject::invokeMethod(root, function, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, args.at(0)),
                                       Q_ARG(QVariant, args.at(1)));
        break;
    case 3:
        ok = QMetaObject::invokeMethod(root, function, Q_RETURN_ARG(QVariant, result), Q_ARG(QVariant, args.at(0)),
                                       Q_ARG(QVariant, args.at(1)), Q_ARG(QVariant, args.at(2)));
        break;
    default:
        break;
    }
    if (!ok)
        fail(QStringLiteral("the screens have no function %1 for %2 argument(s)").arg(function).arg(args.size()));
    if (result.metaType() == QMetaType::fromType<QJSValue>())
        return result.value<QJSValue>().toVariant();
    return result;
}

bool Scenario::screenshot(const QString& name)
{
    if (m_options.screenshotDir.isEmpty())
        return true;
    const QString path = QDir(m_options.screenshotDir).filePath(name);
    const QImage image = m_host.window()->grabWindow();
    if (image.isNull() || !image.save(path))
        return fail(QStringLiteral("cannot save the picture %1").arg(path));
    m_pictures.append(name);
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
