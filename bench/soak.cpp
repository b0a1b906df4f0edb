// Weeks of use in minutes: one plug-in object driven through an operator's day again
// and again. Each cycle searches a site in batches with detection results, filters
// and sorts, logs in to a list and to single cameras with successes and failures,
// stores credentials, adds a camera by hand, imports a list, searches stations and
// adds and removes some, delivers stray answers, answers logins after a refresh has
// taken their rows, and refreshes. After every step it checks that the plug-in took
// its answers (row counts and statuses), and that no camera waits in Checking once
// every answer for it came.
//
// It reports the heap in use (after malloc_trim) and the resident size at warm-up,
// half-way and the end, and the least-squares slope of the heap over the cycles.
//
//   pds_soak [--cycles N] [--cameras N] [--max-slope BYTES]
//
// Exit status 1 when a check fails or the slope exceeds --max-slope.
#include "CameraRoles.h"
#include "PluginDeviceSearch.h"
#include "StationTableModel.h"

#include <FrameworkWrapperBase.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QUrl>

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

[[noreturn]] void fail(int cycle, const char* step, const QString& what)
{
    std::fprintf(stderr, "soak: cycle %d, %s: %s\n", cycle, step, qPrintable(what));
    std::exit(1);
}

// The host: takes every command and keeps what the soak answers later.
class SoakWrapper : public FrameworkWrapperBase
{
public:
    bool SendCommand(void*, const QString&, const QString& command, const QVariant& parameters, void* userData, bool,
                     const QString&) override
    {
        if (command == QLatin1String("searchDevice"))
            lastRequestId = parameters.toMap().value(QStringLiteral("reqUID")).toString();
        else
            lastUserData = userData;
        return true;
    }
    QObject* GetPluginObject(void*, const QString&) override { return nullptr; }

    QString lastRequestId;
    void* lastUserData = nullptr;
};

QVariantMap camera(int n)
{
    return {{QStringLiteral("delID"), QStringLiteral("cam-%1").arg(n)},
            {QStringLiteral("IP"), QStringLiteral("10.%1.%2.%3").arg(n >> 16).arg((n >> 8) & 255).arg(n & 255)},
            {QStringLiteral("HttpPort"), 80},
            {QStringLiteral("HttpsPort"), 443},
            {QStringLiteral("Brand"), n % 3},
            {QStringLiteral("MAC"), QStringLiteral("0011223344%1").arg(n % 100, 2, 10, QLatin1Char('0'))},
            {QStringLiteral("Model"), QStringLiteral("M%1").arg(n % 7)},
            {QStringLiteral("searchType"), 0}};
}

qint64 heapInUse()
{
    malloc_trim(0);
    const struct mallinfo2 info = mallinfo2();
    return qint64(info.uordblks + info.hblkhd);
}

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * 4096;
}

class Day
{
public:
    Day(int cameras, const QString& importFile)
        : m_cameras(cameras)
        , m_importFile(importFile)
    {
        if (!m_plugin.InitialPluginBase(nullptr, this, &m_wrapper))
            fail(0, "init", QStringLiteral("Init failed"));
        m_model = qobject_cast<QStandardItemModel*>(m_plugin.getCameraModel());
        m_proxy = qobject_cast<QSortFilterProxyModel*>(m_plugin.getCameraSortFilterModel());
        m_stations = qobject_cast<QStandardItemModel*>(m_plugin.getSearchedStationModel());
    }

    void run(int cycle)
    {
        m_cycle = cycle;
        search();
        viewsWork();
        listLogin();
        singleLogins();
        storeCredentials();
        const int handAdded = m_model->rowCount() + 1;
        m_plugin.addDevice(QStringLiteral("hand"), 0, QStringLiteral("10.200.0.1"), 80);
        expectRows("addDevice", handAdded);
        importList();
        stations();
        strayAnswers();
        loginsAnsweredAfterRefresh();
        m_plugin.refreshDevices(0, 0);
        // Only the camera added by hand today stays.
        expectRows("refresh", 1);
    }

private:
    void answer(const QString& command, const QVariant& result, void* userData, const QString& code = "0")
    {
        m_plugin.CommandProcessor(command, result, userData, code, QString(), true, QString());
    }

    void expectRows(const char* step, int rows)
    {
        if (m_model->rowCount() != rows)
            fail(m_cycle, step, QStringLiteral("%1 camera rows, expected %2").arg(m_model->rowCount()).arg(rows));
    }

    void expectNoneChecking(const char* step)
    {
        for (int row = 0; row < m_model->rowCount(); ++row) {
            const QModelIndex index = m_model->index(row, 0);
            if (index.data(CameraRole::Status).toInt() == PluginDeviceSearch::Checking)
                fail(m_cycle, step, index.data(CameraRole::Id).toString() + QStringLiteral(" stays Checking"));
        }
    }

    QStringList ids(int from, int count) const
    {
        QStringList result;
        for (int n = from; n < from + count && n < m_cameras; ++n)
            result.append(QStringLiteral("cam-%1").arg(n));
        return result;
    }

    // The whole site in batches of 200, with the check, then a detection result each.
    void search()
    {
        m_plugin.searchDevices(0, 2);
        const QString request = m_wrapper.lastRequestId;
        for (int first = 0; first < m_cameras; first += 200) {
            QVariantList batch;
            for (int n = first; n < first + 200 && n < m_cameras; ++n)
                batch.append(camera(n));
            answer(QStringLiteral("searchDevice"),
                   QVariantMap{{"reqUID", request}, {"checkAuth", true}, {"devList", batch}}, nullptr);
        }
        // A new search forgets the hand-added cameras too.
        expectRows("search", m_cameras);
        for (int n = 0; n < m_cameras; ++n) {
            m_plugin.EventProcessor(QStringLiteral("detCamResEvt"), 0, 0, 0,
                                    QVariantMap{{"reqUID", request}, {"delID", QStringLiteral("cam-%1").arg(n)},
                                                {"detRes", n % 4 == 0 ? 0 : (n % 4 == 1 ? 1 : 9)},
                                                {"Model", "M"}, {"MAC", "001122334455"}, {"ChannelNum", 1}},
                                    QString());
        }
        expectNoneChecking("detection");
    }

    void viewsWork()
    {
        QMetaObject::invokeMethod(m_proxy, "sortByRole", Q_ARG(int, CameraRole::Ip),
                                  Q_ARG(Qt::SortOrder, Qt::DescendingOrder));
        QMetaObject::invokeMethod(m_proxy, "setFilterBrand", Q_ARG(QString, QStringLiteral("onvif")));
        QMetaObject::invokeMethod(m_proxy, "setFilterString", Q_ARG(QString, QStringLiteral("10.0")));
        QMetaObject::invokeMethod(m_proxy, "setFilterBrand", Q_ARG(QString, QString()));
        QMetaObject::invokeMethod(m_proxy, "setFilterString", Q_ARG(QString, QString()));
        if (m_proxy->rowCount() != m_model->rowCount())
            fail(m_cycle, "views", QStringLiteral("cleared filters show %1 of %2 rows")
                                       .arg(m_proxy->rowCount()).arg(m_model->rowCount()));
    }

    // Every camera not yet logged in, answered one by one: every third fails.
    void listLogin()
    {
        const QStringList all = ids(0, m_cameras);
        m_plugin.authorizeList(all, QStringLiteral("admin"), QStringLiteral("secret"));
        void* context = m_wrapper.lastUserData;
        for (int n = 0; n < m_cameras; ++n) {
            if (n % 4 == 0)
                continue;  // Authorized by its detection result: not sent
            answer(QStringLiteral("authorizeDeviceList"),
                   QVariantMap{{"delID", QStringLiteral("cam-%1").arg(n)}, {"detRes", n % 3 == 0 ? 1 : 0}}, context);
        }
        expectNoneChecking("list login");
    }

    void singleLogins()
    {
        for (int n = 3; n < 60 && n < m_cameras; n += 12) {
            const QString id = QStringLiteral("cam-%1").arg(n);
            m_plugin.authorize(id, QStringLiteral("admin"), QStringLiteral("wrong"));
            answer(QStringLiteral("authorizeDevice"), QVariantMap{{"detRes", 1}}, m_wrapper.lastUserData,
                   n % 2 ? QStringLiteral("0") : QStringLiteral("7"));
            m_plugin.authorize(id, QStringLiteral("admin"), QStringLiteral("secret"));
            answer(QStringLiteral("authorizeDevice"), QVariantMap{{"detRes", 0}}, m_wrapper.lastUserData);
        }
        expectNoneChecking("single logins");
    }

    void storeCredentials() { m_plugin.setAuthorization(ids(100, 20), QStringLiteral("op"), QStringLiteral("pw")); }

    void importList()
    {
        const int before = m_model->rowCount();
        const QVariant devices = m_plugin.importDevices(QUrl::fromLocalFile(m_importFile));
        if (devices.toList().size() != 50)
            fail(m_cycle, "import", QStringLiteral("%1 devices, expected 50").arg(devices.toList().size()));
        expectRows("import", before);
    }

    void stations()
    {
        m_plugin.setQRLNModelBrand(QString());
        m_plugin.searchStations();
        QVariantList found;
        for (int n = 0; n < 20; ++n) {
            QVariantMap station = camera(n);
            station.insert(QStringLiteral("delID"), QStringLiteral("st-%1").arg(n));
            station.insert(QStringLiteral("QRLNModel"), QStringLiteral("NVR"));
            found.append(station);
        }
        answer(QStringLiteral("searchDevice"), QVariantMap{{"reqUID", m_wrapper.lastRequestId}, {"devList", found}},
               nullptr);
        for (int n = 0; n < 5; ++n)
            m_plugin.removeRowInSearchedStationTableModel(QStringLiteral("st-%1").arg(n * 3));
        m_plugin.addStation(QVariantMap{{"IP", "10.9.0.1"}, {"HttpPort", 80}});
        m_plugin.addStation(QVariantMap{{"IP", "10.9.0.2"}, {"HttpPort", 80}});
        m_plugin.getStationsNeedToBeAuthorized();
        if (m_stations->rowCount() != 17)
            fail(m_cycle, "stations", QStringLiteral("%1 station rows, expected 17").arg(m_stations->rowCount()));
    }

    // Answers with no context, a settled one, a foreign one, and for an old search.
    void strayAnswers()
    {
        static char foreign[8];
        const int rows = m_model->rowCount();
        answer(QStringLiteral("authorizeDevice"), QVariantMap{{"detRes", 0}}, nullptr);
        answer(QStringLiteral("authorizeDeviceList"), QVariantMap{{"detRes", 1}}, m_wrapper.lastUserData);
        answer(QStringLiteral("authorizeDevice"), QVariantMap{{"detRes", 1}}, foreign);
        answer(QStringLiteral("searchDevice"), QVariantMap{{"reqUID", "{old}"}, {"devList", QVariantList{camera(0)}}},
               nullptr);
        expectRows("stray answers", rows);
    }

    // A list login and a single one answered once a refresh took their rows; the
    // same cameras, found again, must then end their next login in a final status.
    void loginsAnsweredAfterRefresh()
    {
        const QStringList some = ids(1, 30);
        m_plugin.setAuthorization(some, QStringLiteral("op"), QStringLiteral("pw"));  // not Authorized any more
        m_plugin.authorizeList(some, QStringLiteral("admin"), QStringLiteral("secret"));
        void* list = m_wrapper.lastUserData;
        m_plugin.authorize(some.first(), QStringLiteral("admin"), QStringLiteral("secret"));
        void* single = m_wrapper.lastUserData;
        m_plugin.refreshDevices(0, 0);
        for (const QString& id : some)
            answer(QStringLiteral("authorizeDeviceList"), QVariantMap{{"delID", id}, {"detRes", 1}}, list);
        answer(QStringLiteral("authorizeDevice"), QVariantMap{{"detRes", 1}}, single);

        QVariantList again;
        for (int n = 1; n < 31 && n < m_cameras; ++n)
            again.append(camera(n));
        answer(QStringLiteral("searchDevice"), QVariantMap{{"reqUID", m_wrapper.lastRequestId}, {"devList", again}},
               nullptr);
        m_plugin.authorizeList(some, QStringLiteral("admin"), QStringLiteral("wrong"));
        answer(QStringLiteral("authorizeDeviceList"), QVariantMap{{"detRes", 1}}, m_wrapper.lastUserData);
        expectNoneChecking("logins answered after a refresh");
    }

    int m_cameras;
    QString m_importFile;
    int m_cycle = 0;
    SoakWrapper m_wrapper;
    PluginDeviceSearch m_plugin;
    QStandardItemModel* m_model = nullptr;
    QSortFilterProxyModel* m_proxy = nullptr;
    QStandardItemModel* m_stations = nullptr;
};

// The client's GUI thread goes back to its event loop between an operator's actions,
// and objects let go with deleteLater() are freed there.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Least-squares slope of y over x.
double slope(const std::vector<double>& x, const std::vector<double>& y)
{
    const double n = double(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    const double denominator = n * sxx - sx * sx;
    return denominator == 0 ? 0 : (n * sxy - sx * sy) / denominator;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Drives one plug-in object through many days of use."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("cycles"), QStringLiteral("Days to run."), QStringLiteral("N"), "3000"});
    parser.addOption({QStringLiteral("cameras"), QStringLiteral("Cameras the site has."), QStringLiteral("N"), "2000"});
    parser.addOption({QStringLiteral("max-slope"), QStringLiteral("Fail above this heap growth per cycle."),
                      QStringLiteral("BYTES"), "-1"});
    parser.process(app);
    const int cycles = qMax(2, parser.value(QStringLiteral("cycles")).toInt());
    const int cameras = qMax(200, parser.value(QStringLiteral("cameras")).toInt());
    const double maxSlope = parser.value(QStringLiteral("max-slope")).toDouble();

    QTemporaryDir dir;
    const QString importFile = dir.filePath(QStringLiteral("devices.csv"));
    {
        QFile file(importFile);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write("IP,Port,Brand,Model\n");
        for (int n = 0; n < 50; ++n)
            file.write(QStringLiteral("10.50.0.%1,80,onvif,M%2\n").arg(n + 1).arg(n).toUtf8());
    }

    // One object's whole life first, so that what any first object makes once per
    // process (type registrations, Qt's own caches) is not counted as kept.
    {
        Day firstDay(cameras, importFile);
        firstDay.run(0);
    }
    settle();
    // The figures' own storage is made before the first reading, so it is not counted.
    std::vector<double> x;
    std::vector<double> heap;
    x.reserve(size_t(cycles));
    heap.reserve(size_t(cycles));
    const qint64 heapBefore = heapInUse();
    const int warmUp = qMax(1, cycles / 10);
    struct Report
    {
        qint64 warmHeap, warmRss, midHeap, midRss, endHeap, endRss;
        double slope;
    } report{};
    {
        Day day(cameras, importFile);
        for (int cycle = 0; cycle < cycles; ++cycle) {
            day.run(cycle);
            settle();
            if (cycle + 1 < warmUp)
                continue;
            const qint64 now = heapInUse();
            if (cycle + 1 == warmUp) {
                report.warmHeap = now;
                report.warmRss = residentBytes();
            }
            if (cycle == cycles / 2) {
                report.midHeap = now;
                report.midRss = residentBytes();
            }
            x.push_back(cycle);
            heap.push_back(double(now));
        }
        report.endHeap = qint64(heap.back());
        report.endRss = residentBytes();
        report.slope = slope(x, heap);
    }
    settle();
    // Read before anything is printed: the first printf gives stdout a buffer of its own.
    const qint64 kept = heapInUse() - heapBefore;

    std::printf("soak: %d cycles of %d cameras, checks passed\n", cycles, cameras);
    std::printf("%-10s %14s %14s\n", "", "heap in use", "resident");
    std::printf("%-10s %14lld %14lld\n", "warm-up", report.warmHeap, report.warmRss);
    std::printf("%-10s %14lld %14lld\n", "middle", report.midHeap, report.midRss);
    std::printf("%-10s %14lld %14lld\n", "end", report.endHeap, report.endRss);
    std::printf("heap slope after warm-up: %.1f bytes per cycle\n", report.slope);
    std::printf("heap kept after the second plug-in object is gone: %lld bytes\n", kept);
    if (maxSlope >= 0 && report.slope > maxSlope) {
        std::printf("soak: heap grows by %.1f bytes per cycle, above %.1f\n", report.slope, maxSlope);
        return 1;
    }
    return 0;
}
