// Single calls on a large site, each next to its floor: the same call on a bare
// QStandardItemModel (and a plain QSortFilterProxyModel) holding the same rows,
// measured in the same run. Also the heap each camera and station row costs against
// a bare row with the same roles and values, and the import of a huge list (time and
// peak RSS, in a process of its own so the peak is the import's).
//
//   pds_scale_bench [--sizes=20000,100000] [--reps=3] [--import-lines=1000000]
//   PDS_PLUGIN=path/to/libPluginDeviceSearch.so pds_scale_bench ...   (another build)

#include <Call.h>
#include <FakeTopologyPlugin.h>
#include <PluginSession.h>
#include "Workloads.h"

#include <CameraRoles.h>

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSortFilterProxyModel>
#include <QUrl>
#include <QStandardItemModel>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

QString g_pluginFile;

// One plug-in object as a host holds it: a topology that manages nothing yet, and
// both proxies asked for their rows at once, as a QML view bound to them would.
class ScaleSession : public PluginSession
{
public:
    ScaleSession()
        : PluginSession(g_pluginFile, false)
    {
        wrapper().pluginObjects.insert(FakeTopologyPlugin::PluginId, &m_topology);
        initialise();
        cameraProxy()->rowCount();
        stationProxy()->rowCount();
    }

    QString searchDevices(int flag) { return startDeviceSearch(flag); }
    QString searchStations() { return startStationSearch(); }
    void refreshDevices() { call("refreshDevices", {0, 0}); }
    void addDevice(const QString& hostName, const QString& host, ushort port)
    {
        call("addDevice", {hostName, 0, host, port});
    }
    QVariant importDevices(const QString& path) { return call("importDevices", {QUrl::fromLocalFile(path)}); }
    static void sortByRole(QObject* proxy, int role) { HostKit::call(proxy, "sortByRole", {role}); }
    static void setFilterString(QObject* proxy, const QString& text)
    {
        HostKit::call(proxy, "setFilterString", {text});
    }

private:
    FakeTopologyPlugin m_topology;
};
volatile unsigned g_sink = 0;

double cpuSeconds()
{
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return double(time.tv_sec) + double(time.tv_nsec) * 1e-9;
}

// Cold caches before every timed call: a large site never sits in them anyway, and a
// floor measured just after building its model would.
void evictCaches()
{
    static std::vector<unsigned char> buffer(size_t(96) << 20, 1);
    unsigned sum = 0;
    for (size_t i = 0; i < buffer.size(); i += 64) {
        buffer[i] = static_cast<unsigned char>(buffer[i] + 1);
        sum += buffer[i];
    }
    g_sink = g_sink + sum;
}

double timedMs(const std::function<void()>& work)
{
    evictCaches();
    const double start = cpuSeconds();
    work();
    return (cpuSeconds() - start) * 1e3;
}

size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A copy that shares no text with the original, so a heap measurement counts the
// texts of whoever holds the copy.
QVariant deepCopy(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::QString: {
        const QString text = value.toString();
        return text.isNull() ? QVariant(QString()) : QVariant(QString(text.constData(), text.size()));
    }
    case QMetaType::QStringList: {
        QStringList copy;
        for (const QString& text : value.toStringList())
            copy.append(QString(text.constData(), text.size()));
        return copy;
    }
    case QMetaType::QVariantMap: {
        QVariantMap copy;
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            copy.insert(QString(it.key().constData(), it.key().size()), deepCopy(it.value()));
        return copy;
    }
    case QMetaType::QVariantList: {
        QVariantList copy;
        for (const QVariant& element : value.toList())
            copy.append(deepCopy(element));
        return copy;
    }
    default:
        return value;
    }
}

// The bare row: one QStandardItem per row, its roles set one by one in the order the
// given item holds them, with values equal to the given item's and texts of its own.
QStandardItem* bareCopy(const QStandardItem* item, const QList<int>& roles)
{
    auto* copy = new QStandardItem;
    for (const int role : roles) {
        const QVariant value = item->data(role);
        if (value.isValid())
            copy->setData(deepCopy(value), role);
    }
    return copy;
}

QList<int> rolesBetween(int first, int last)
{
    QList<int> roles;
    for (int role = first; role <= last; ++role)
        roles.append(role);
    return roles;
}

struct Figures
{
    std::map<std::string, std::vector<double>> values;
    void add(const std::string& name, double value) { values[name].push_back(value); }
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

void answerSite(ScaleSession& session, int n)
{
    const Workload::Site& site = Workload::site(n);
    const QString requestId = session.searchDevices(0);
    for (qsizetype i = 0; i < site.batches.size(); ++i)
        session.answer(QStringLiteral("searchDevice"), deepCopy(Workload::searchAnswer(requestId, site.batches[i])),
                       nullptr, QStringLiteral("0"), i + 1 == site.batches.size());
}

void answerStations(ScaleSession& session, int n)
{
    const QString requestId = session.searchStations();
    for (const QVariantList& batch : Workload::stationBatches(n))
        session.answer(QStringLiteral("searchDevice"), deepCopy(Workload::searchAnswer(requestId, batch)));
}

void invoke(QObject* object, const char* method, const QString& argument)
{
    QMetaObject::invokeMethod(object, method, Qt::DirectConnection, Q_ARG(QString, argument));
}

// The plain proxy: the base class with the camera proxy's settings, filtering one
// role by a fixed string.
struct PlainProxy
{
    QStandardItemModel model;
    QSortFilterProxyModel proxy;

    explicit PlainProxy(const QStandardItemModel* from, int lastRole)
    {
        const QList<int> roles = rolesBetween(Qt::UserRole, lastRole);
        QList<QStandardItem*> items;
        for (int row = 0; row < from->rowCount(); ++row)
            items.append(bareCopy(from->item(row), roles));
        model.setColumnCount(1);
        model.invisibleRootItem()->appendRows(items);
        proxy.setDynamicSortFilter(false);
        proxy.setFilterCaseSensitivity(Qt::CaseInsensitive);
        proxy.setSourceModel(&model);
        proxy.rowCount();
    }
};

void measureCameras(int n, Figures& figures)
{
    {
        ScaleSession session;
        answerSite(session, n);
        PlainProxy plain(session.cameraModel(), CameraRole::StreamUrlList);
        QSortFilterProxyModel* proxy = session.cameraProxy();

        figures.add("sortByRole text (model)", timedMs([&] { ScaleSession::sortByRole(proxy, CameraRole::Model); }));
        figures.add("sortByRole text (model) floor", timedMs([&] {
                        plain.proxy.setSortRole(CameraRole::Model);
                        plain.proxy.sort(0);
                    }));
        figures.add("sortByRole IP", timedMs([&] { ScaleSession::sortByRole(proxy, CameraRole::Ip); }));
        figures.add("sortByRole IP floor", timedMs([&] {
                        plain.proxy.setSortRole(CameraRole::IpForSort);
                        plain.proxy.sort(0);
                    }));

        figures.add("brand filter set", timedMs([&] { invoke(proxy, "setFilterBrand", QStringLiteral("onvif")); }));
        plain.proxy.setFilterRole(CameraRole::BrandName);
        figures.add("brand filter set floor",
                    timedMs([&] { plain.proxy.setFilterFixedString(QStringLiteral("onvif")); }));
        figures.add("brand filter cleared", timedMs([&] { invoke(proxy, "setFilterBrand", QString()); }));
        figures.add("brand filter cleared floor", timedMs([&] { plain.proxy.setFilterFixedString(QString()); }));

        // Every address starts with 10., so the filter keeps every row.
        figures.add("text filter keeping every row",
                    timedMs([&] { ScaleSession::setFilterString(proxy, QStringLiteral("10.")); }));
        plain.proxy.setFilterRole(CameraRole::Ip);
        figures.add("text filter keeping every row floor",
                    timedMs([&] { plain.proxy.setFilterFixedString(QStringLiteral("10.")); }));
        if (proxy->rowCount() != session.cameraModel()->rowCount())
            std::fprintf(stderr, "the text filter dropped rows\n");
    }
    {
        // 90 % searched rows, 10 % added by hand and kept by an earlier refresh.
        ScaleSession session;
        session.searchDevices(0);
        const int manual = n / 10;
        for (int k = 0; k < manual; ++k)
            session.addDevice(QStringLiteral("manual-%1").arg(k),
                              QStringLiteral("192.168.%1.%2").arg(k / 250).arg(k % 250 + 1), 80);
        session.refreshDevices();
        const QString requestId = session.wrapper().lastRequestId();
        const Workload::Site& site = Workload::site(n - manual);
        for (const QVariantList& batch : site.batches)
            session.answer(QStringLiteral("searchDevice"), deepCopy(Workload::searchAnswer(requestId, batch)));
        PlainProxy plain(session.cameraModel(), CameraRole::StreamUrlList);
        figures.add("refreshDevices", timedMs([&] { session.refreshDevices(); }));
        figures.add("refreshDevices floor", timedMs([&] { plain.model.clear(); }));
    }
}

// The station view's address order done the plain way: both addresses split for
// every comparison.
class PlainStationProxy : public QSortFilterProxyModel
{
protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override
    {
        if (sortRole() != StationRole::Ip)
            return QSortFilterProxyModel::lessThan(left, right);
        const QStringList l = left.data(StationRole::Ip).toString().split(QLatin1Char('.'));
        const QStringList r = right.data(StationRole::Ip).toString().split(QLatin1Char('.'));
        if (l.size() != r.size())
            return l.size() < r.size();
        for (qsizetype i = 0; i < l.size(); ++i) {
            if (l[i] != r[i])
                return l[i].toInt() < r[i].toInt();
        }
        return false;
    }
};

void measureStations(int n, Figures& figures)
{
    ScaleSession session;
    answerStations(session, n);
    QStandardItemModel model;
    {
        const QList<int> roles = rolesBetween(StationRole::Id, StationRole::QrlnModel);
        QList<QStandardItem*> items;
        for (int row = 0; row < session.stationModel()->rowCount(); ++row)
            items.append(bareCopy(session.stationModel()->item(row), roles));
        model.setColumnCount(1);
        model.invisibleRootItem()->appendRows(items);
    }
    PlainStationProxy plain;
    plain.setDynamicSortFilter(false);
    plain.setFilterCaseSensitivity(Qt::CaseInsensitive);
    plain.setSortCaseSensitivity(Qt::CaseInsensitive);
    plain.setSourceModel(&model);
    plain.rowCount();
    QSortFilterProxyModel* proxy = session.stationProxy();

    figures.add("station sortByRole text (model)",
                timedMs([&] { ScaleSession::sortByRole(proxy, StationRole::Model); }));
    figures.add("station sortByRole text (model) floor", timedMs([&] {
                    plain.setSortRole(StationRole::Model);
                    plain.sort(0);
                }));
    figures.add("station sortByRole IP", timedMs([&] { ScaleSession::sortByRole(proxy, StationRole::Ip); }));
    figures.add("station sortByRole IP floor", timedMs([&] {
                    plain.setSortRole(StationRole::Ip);
                    plain.sort(0);
                }));
    figures.add("station text filter keeping every row",
                timedMs([&] { ScaleSession::setFilterString(proxy, QStringLiteral("10.")); }));
    plain.setFilterRole(StationRole::Ip);
    figures.add("station text filter keeping every row floor",
                timedMs([&] { plain.setFilterFixedString(QStringLiteral("10.")); }));
}

// Logging in to every camera of the site with one list, and the host's one answer for
// the whole list: a failed login (one status per row) and a successful one (status,
// login and the camera's facts). Each floor finds every row in a hash and writes what
// the call writes, one setData at a time, on the bare model behind a plain proxy; the
// list's floor also makes the request the host gets.
void measureAuthorization(int n, Figures& figures)
{
    ScaleSession session;
    answerSite(session, n);
    PlainProxy plain(session.cameraModel(), CameraRole::StreamUrlList);
    QHash<QString, QStandardItem*> bareRows;
    QStringList uids;
    for (int row = 0; row < plain.model.rowCount(); ++row) {
        QStandardItem* item = plain.model.item(row);
        bareRows.insert(item->data(CameraRole::Id).toString(), item);
        uids.append(item->data(CameraRole::Id).toString());
    }
    // QML hands over texts of its own, not the rows' own texts.
    uids = deepCopy(uids).toStringList();
    const auto floor = [&](const std::function<void(QStandardItem*)>& write) {
        return timedMs([&] {
            for (const QString& uid : std::as_const(uids)) {
                if (QStandardItem* item = bareRows.value(uid))
                    write(item);
            }
        });
    };
    const auto authorizeList = [&] {
        return timedMs([&] { session.call("authorizeList", {uids, QStringLiteral("admin"), QStringLiteral("secret")}); });
    };

    figures.add("authorizeList of every row", authorizeList());
    // The request the host gets holds a map of seven entries per camera.
    QVariantList request;
    request.reserve(uids.size());
    figures.add("authorizeList of every row floor", floor([&request](QStandardItem* item) {
                    QVariantMap device;
                    device.insert(QStringLiteral("Brand"), item->data(CameraRole::Brand).toInt());
                    device.insert(QStringLiteral("HttpPort"), item->data(CameraRole::Port).toInt());
                    device.insert(QStringLiteral("IP"), item->data(CameraRole::Ip).toString());
                    device.insert(QStringLiteral("MAC"), item->data(CameraRole::Mac).toString());
                    device.insert(QStringLiteral("Password"), QStringLiteral("secret"));
                    device.insert(QStringLiteral("Username"), QStringLiteral("admin"));
                    device.insert(QStringLiteral("delID"), item->data(CameraRole::Id).toString());
                    request.append(device);
                    const int status = item->data(CameraRole::Status).toInt();
                    item->setData(0, CameraRole::Status);
                    item->setData(status, CameraRole::PreviousStatus);
                }));
    request.clear();
    const QVariant failed = deepCopy(QVariantMap{{QStringLiteral("detRes"), 1}});
    figures.add("whole-list answer, login failed", timedMs([&] {
                    session.answer(QStringLiteral("authorizeDeviceList"), failed, session.wrapper().last().userData);
                }));
    figures.add("whole-list answer, login failed floor",
                floor([](QStandardItem* item) { item->setData(2, CameraRole::Status); }));

    const QVariant loggedIn = deepCopy(QVariantMap{
        {QStringLiteral("detRes"), 0},
        {QStringLiteral("Model"), QStringLiteral("M-100")},
        {QStringLiteral("MAC"), QStringLiteral("00-11-22-33-44-55")},
        {QStringLiteral("Brand"), 1},
        {QStringLiteral("ChannelNum"), 4},
        {QStringLiteral("CamRTSPPort"), 554},
        {QStringLiteral("StreamURLList"), QVariantList{QStringLiteral("rtsp://cam/main")}},
    });
    authorizeList();
    figures.add("whole-list answer, logged in", timedMs([&] {
                    session.answer(QStringLiteral("authorizeDeviceList"), loggedIn, session.wrapper().last().userData);
                }));
    const QVariantMap facts = loggedIn.toMap();
    figures.add("whole-list answer, logged in floor", floor([&facts](QStandardItem* item) {
                    item->setData(1, CameraRole::Status);
                    item->setData(QStringLiteral("admin"), CameraRole::UserName);
                    item->setData(QStringLiteral("secret"), CameraRole::Password);
                    item->setData(facts.value(QStringLiteral("Model")).toString(), CameraRole::Model);
                    item->setData(facts.value(QStringLiteral("ChannelNum")).toInt(), CameraRole::ChannelNum);
                    item->setData(facts.value(QStringLiteral("CamRTSPPort")).toInt(), CameraRole::RtspPort);
                    item->setData(facts.value(QStringLiteral("StreamURLList")).toList(), CameraRole::StreamUrlList);
                    item->setData(facts.value(QStringLiteral("MAC")).toString(), CameraRole::Mac);
                    item->setData(facts.value(QStringLiteral("Brand")).toInt(), CameraRole::Brand);
                    item->setData(QStringLiteral("onvif"), CameraRole::BrandName);
                }));
    const QStandardItemModel* cameras = session.cameraModel();
    if (cameras->item(cameras->rowCount() - 1)->data(CameraRole::Status).toInt() != 1)
        std::fprintf(stderr, "the whole-list answer left rows not logged in\n");
}

void measureHeap(int n, Figures& figures)
{
    const Workload::Site& site = Workload::site(n);
    Workload::stationBatches(n);
    ScaleSession session;
    size_t before = heapInUse();
    answerSite(session, n);
    const double cameraRows = double(session.cameraModel()->rowCount());
    figures.add("heap bytes per camera row", double(heapInUse() - before) / cameraRows);

    before = heapInUse();
    answerStations(session, n);
    figures.add("heap bytes per station row",
                double(heapInUse() - before) / double(session.stationModel()->rowCount()));

    before = heapInUse();
    {
        PlainProxy* plain = new PlainProxy(session.cameraModel(), CameraRole::StreamUrlList);
        figures.add("heap bytes per camera row floor", double(heapInUse() - before) / cameraRows);
        delete plain;
    }
    before = heapInUse();
    {
        PlainProxy* plain = new PlainProxy(session.stationModel(), StationRole::QrlnModel);
        figures.add("heap bytes per station row floor",
                    double(heapInUse() - before) / double(session.stationModel()->rowCount()));
        delete plain;
    }
    (void)site;
}

long peakRssKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return 0;
}

// Runs in a process of its own: the peak RSS is then the import's.
int runImport(const QString& path)
{
    ScaleSession session;
    const long before = peakRssKb();
    const size_t heapBefore = heapInUse();
    QVariant result;
    const double start = cpuSeconds();
    result = session.importDevices(path);
    const double ms = (cpuSeconds() - start) * 1e3;
    const long after = peakRssKb();
    const double devices = double(qMax<qsizetype>(1, result.toList().size()));
    // The floor: what the returned list itself holds.
    const double resultBytes = double(heapInUse() - heapBefore);
    std::printf("import of %.0f devices: %.0f ms; peak RSS %ld -> %ld MB, %.0f bytes per device; the result "
                "holds %.0f bytes per device\n",
                devices, ms, before / 1024, after / 1024, double(after - before) * 1024.0 / devices,
                resultBytes / devices);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::vector<int> sizes{20000, 100000};
    int reps = 3;
    int importLines = 0;
    QString importRun;
    for (const QString& arg : app.arguments().mid(1)) {
        if (arg.startsWith(QLatin1String("--sizes="))) {
            sizes.clear();
            for (const QString& size : arg.mid(8).split(u','))
                sizes.push_back(size.toInt());
        } else if (arg.startsWith(QLatin1String("--reps="))) {
            reps = qMax(1, arg.mid(7).toInt());
        } else if (arg.startsWith(QLatin1String("--import-lines="))) {
            importLines = arg.mid(15).toInt();
        } else if (arg.startsWith(QLatin1String("--import-run="))) {
            importRun = arg.mid(13);
        }
    }

    // PDS_PLUGIN names another build of the module, to compare versions in one run.
    const QString pluginFile = qEnvironmentVariableIsSet("PDS_PLUGIN") ? qEnvironmentVariable("PDS_PLUGIN")
                                                                       : QStringLiteral(PDS_PLUGIN_FILE);
    g_pluginFile = pluginFile;
    if (!importRun.isEmpty())
        return runImport(importRun);

    if (importLines > 0) {
        const QString path = Workload::importFile(importLines);
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--import-run=") + path});
        child.waitForFinished(-1);
        return child.exitCode();
    }

    for (const int n : sizes) {
        Figures figures;
        for (int rep = 0; rep < reps; ++rep) {
            measureCameras(n, figures);
            measureStations(n, figures);
            measureAuthorization(n, figures);
        }
        measureHeap(n, figures);
        std::printf("\nN = %d (median of %d; CPU time of the GUI thread, cold caches)\n", n, reps);
        std::printf("%-34s %12s %12s %8s\n", "single call", "plug-in", "floor", "ratio");
        for (const auto& [name, values] : figures.values) {
            if (name.size() > 6 && name.compare(name.size() - 6, 6, " floor") == 0)
                continue;
            const auto floor = figures.values.find(name + " floor");
            const double value = median(values);
            const bool bytes = name.rfind("heap", 0) == 0;
            if (floor == figures.values.end()) {
                std::printf("%-34s %12.1f\n", name.c_str(), value);
                continue;
            }
            const double base = median(floor->second);
            std::printf("%-34s %10.1f%s %10.1f%s %7.2fx\n", name.c_str(), value, bytes ? " B" : "ms", base,
                        bytes ? " B" : "ms", base > 0 ? value / base : 0.0);
        }
        std::fflush(stdout);
    }
    return 0;
}
