// Single calls on a large site, each next to its floor: the same call on a bare
// QStandardItemModel (and a plain QSortFilterProxyModel) holding the same rows,
// measured in the same run. Also the heap each camera and station row costs against
// a bare row with the same roles and values, and the import of a huge list (time and
// peak RSS, in a process of its own so the peak is the import's).
//
// Each scenario is a Google Benchmark of one run per repetition; every call it times
// is a counter of that run ("<call> ms", its floor "<call> floor ms", heap figures in
// bytes), so --benchmark_out gives them all as JSON (bench/scale_table.py prints them).
//
//   pds_scale_bench [--sizes=1000,20000] [--reps=3] [--benchmark_out=FILE ...]
//   pds_scale_bench --import-lines=1000000 [--import-topology=N]   (import and its floor)
//   PDS_PLUGIN=path/to/libPluginDeviceSearch.so pds_scale_bench ...   (another build)

#include <Call.h>
#include <Failure.h>
#include <FakeTopologyPlugin.h>
#include <PluginSession.h>
#include "Workloads.h"

#include <CameraRoles.h>

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSortFilterProxyModel>
#include <QTextStream>
#include <QUrl>
#include <QUuid>
#include <QStandardItemModel>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace {

QString g_pluginFile;
// Channels the topology manages during the import (--import-topology=N), none of them
// a device of the list: each line's check then meets a topology of that size.
int g_importTopology = 0;

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

    FakeTopologyPlugin& topology() { return m_topology; }

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


// The figures of one run of a scenario, as counters of its benchmark: "<call> ms",
// "<call> floor ms" for the same call on the bare model, bytes as "<what> B". The run's
// manual time is the sum of the plug-in's calls.
class Run
{
public:
    explicit Run(benchmark::State& state)
        : m_state(state)
    {
    }
    ~Run() { m_state.SetIterationTime(m_total * 1e-3); }

    void call(const std::string& name, const std::function<void()>& work)
    {
        const double ms = timedMs(work);
        m_total += ms;
        m_state.counters[name + " ms"] = ms;
    }
    void floor(const std::string& name, const std::function<void()>& work)
    {
        m_state.counters[name + " floor ms"] = timedMs(work);
    }
    // Adds to a figure that several timed stretches make up.
    void add(const std::string& name, double ms)
    {
        m_total += ms;
        m_state.counters[name + " ms"] = m_state.counters[name + " ms"].value + ms;
    }
    void addFloor(const std::string& name, double ms)
    {
        m_state.counters[name + " floor ms"] = m_state.counters[name + " floor ms"].value + ms;
    }
    void largest(const std::string& name, double ms)
    {
        auto& counter = m_state.counters[name + " ms"];
        counter = std::max(counter.value, ms);
    }
    void largestFloor(const std::string& name, double ms)
    {
        auto& counter = m_state.counters[name + " floor ms"];
        counter = std::max(counter.value, ms);
    }
    void bytes(const std::string& name, double value) { m_state.counters[name + " B"] = value; }

private:
    benchmark::State& m_state;
    double m_total = 0;
};

// Times work without evicting the caches first: for deliveries that follow each other,
// where the host data was just made.
double warmMs(const std::function<void()>& work)
{
    const double start = cpuSeconds();
    work();
    return (cpuSeconds() - start) * 1e3;
}

// A fresh plug-in object per run; a refusal of the plug-in ends the run as an error.
template <typename Body>
void eachRun(benchmark::State& state, Body&& body)
{
    const int n = int(state.range(0));
    for (auto _ : state) {
        Run run(state);
        body(run, n);
    }
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

// A bare model's rows by camera id, as the floors find them.
QHash<QString, QStandardItem*> bareRowsById(const QStandardItemModel& model)
{
    QHash<QString, QStandardItem*> rows;
    rows.reserve(model.rowCount());
    for (int row = 0; row < model.rowCount(); ++row)
        rows.insert(model.item(row)->data(CameraRole::Id).toString(), model.item(row));
    return rows;
}

struct SortCall
{
    const char* name;
    int role;       // the role QML passes
    int plainRole;  // the role a plain proxy sorts by
};

// The columns of the camera page, in the order a user might click their titles.
const SortCall kCameraSorts[] = {
    {"sort cameras by model", CameraRole::Model, CameraRole::Model},
    {"sort cameras by IP", CameraRole::Ip, CameraRole::IpForSort},
    {"sort cameras by status", CameraRole::Status, CameraRole::Status},
    {"sort cameras by MAC", CameraRole::Mac, CameraRole::Mac},
    {"sort cameras by port", CameraRole::Port, CameraRole::Port},
    {"sort cameras by brand", CameraRole::BrandName, CameraRole::BrandName},
    {"sort cameras by host name", CameraRole::HostName, CameraRole::HostName},
};

// The camera page on a loaded site: every column title clicked, a column sorted the
// other way, the brand filter set and cleared, the words filter typed and cleared.
void cameras(benchmark::State& state)
{
    eachRun(state, [](Run& run, int n) {
        ScaleSession session;
        answerSite(session, n);
        PlainProxy plain(session.cameraModel(), CameraRole::StreamUrlList);
        QSortFilterProxyModel* proxy = session.cameraProxy();

        for (const SortCall& sort : kCameraSorts) {
            run.call(sort.name, [&] { ScaleSession::sortByRole(proxy, sort.role); });
            run.floor(sort.name, [&] {
                plain.proxy.setSortRole(sort.plainRole);
                plain.proxy.sort(0);
            });
        }
        run.call("sort cameras by model again, descending", [&] {
            HostKit::call(proxy, "sortByRole", {int(CameraRole::Model), int(Qt::DescendingOrder)});
        });
        run.floor("sort cameras by model again, descending", [&] {
            plain.proxy.setSortRole(CameraRole::Model);
            plain.proxy.sort(0, Qt::DescendingOrder);
        });

        run.call("brand filter set", [&] { invoke(proxy, "setFilterBrand", QStringLiteral("onvif")); });
        plain.proxy.setFilterRole(CameraRole::BrandName);
        run.floor("brand filter set", [&] { plain.proxy.setFilterFixedString(QStringLiteral("onvif")); });
        run.call("brand filter cleared", [&] { invoke(proxy, "setFilterBrand", QString()); });
        run.floor("brand filter cleared", [&] { plain.proxy.setFilterFixedString(QString()); });

        // Every address starts with 10., so that filter keeps every row; 10.0.1. keeps
        // at most 256 of them.
        plain.proxy.setFilterRole(CameraRole::Ip);
        const std::pair<const char*, QString> filters[] = {
            {"text filter keeping every row", QStringLiteral("10.")},
            {"text filter narrowed to a few rows", QStringLiteral("10.0.1.")},
            {"text filter cleared", QString()},
        };
        for (const auto& [name, text] : filters) {
            run.call(name, [&] { ScaleSession::setFilterString(proxy, text); });
            run.floor(name, [&] { plain.proxy.setFilterFixedString(text); });
        }
        if (proxy->rowCount() != session.cameraModel()->rowCount())
            HostKit::fail(QStringLiteral("the cleared filters hide rows"));

        // A camera added by hand goes to the top of the list; its floor makes the same
        // row, with an id of its own, and inserts it there.
        run.call("addDevice on a full site",
                 [&] { session.addDevice(QStringLiteral("by hand"), QStringLiteral("192.168.0.1"), 80); });
        run.floor("addDevice on a full site", [&] {
            CameraInfo info;
            info.id = QUuid::createUuid().toString(QUuid::WithBraces);
            info.hostName = QStringLiteral("by hand");
            info.ip = QStringLiteral("192.168.0.1");
            info.port = 80;
            info.isManual = true;
            plain.model.insertRow(0, info.toStandardItem().release());
        });
    });
}

// The client's event loop after a call: its turns, one after the other, until the
// plug-in has no more work queued (three turns in a row that do next to nothing).
void largestTurns(Run& run, const std::string& name)
{
    run.largest(name, 0);
    for (int idle = 0, turns = 0; idle < 3 && turns < 100000; ++turns) {
        const double start = cpuSeconds();
        QCoreApplication::processEvents();
        const double ms = (cpuSeconds() - start) * 1e3;
        run.largest(name, ms);
        idle = ms < 0.05 ? idle + 1 : 0;
    }
}

// refreshDevices on a site of 90 % searched rows and 10 % added by hand and kept by an
// earlier refresh; its floor is clear() of a bare model holding the same rows.
void refresh(benchmark::State& state)
{
    eachRun(state, [](Run& run, int n) {
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
        run.call("refreshDevices", [&] { session.refreshDevices(); });
        run.floor("refreshDevices", [&] { plain.model.clear(); });
        largestTurns(run, "event loop turn after refreshDevices, largest");

        // A new search clears the hand-added rows as well.
        const QString again = session.wrapper().lastRequestId();
        for (const QVariantList& batch : site.batches)
            session.answer(QStringLiteral("searchDevice"), deepCopy(Workload::searchAnswer(again, batch)));
        PlainProxy full(session.cameraModel(), CameraRole::StreamUrlList);
        run.call("searchDevices on a full site", [&] { session.searchDevices(0); });
        run.floor("searchDevices on a full site", [&] { full.model.clear(); });
        largestTurns(run, "event loop turn after searchDevices, largest");
    });
}

// What the host delivers: each kind of answer and event, the whole of it (per row
// growth) and its largest single delivery, each next to the same writes into a bare
// model. Logins have a scenario of their own.
void answers(benchmark::State& state)
{
    eachRun(state, [](Run& run, int n) {
        const Workload::Site& site = Workload::site(n);
        ScaleSession session;
        const QString requestId = session.searchDevices(2);
        QList<QVariant> batches;
        for (const QVariantList& batch : site.batches)
            batches.append(deepCopy(Workload::searchAnswer(requestId, batch)));
        evictCaches();
        for (qsizetype i = 0; i < batches.size(); ++i) {
            const double ms = warmMs([&] {
                session.answer(QStringLiteral("searchDevice"), batches[i], nullptr, QStringLiteral("0"),
                               i + 1 == batches.size());
            });
            run.add("search answers, all", ms);
            run.largest("search answer, largest", ms);
        }
        // The floor: the rows those answers leave, made and appended to a bare model
        // in batches of the same size.
        {
            QStandardItemModel model;
            evictCaches();
            for (qsizetype start = 0; start < site.rows.size(); start += Workload::kBatchSize) {
                const double ms = warmMs([&] {
                    const qsizetype end = qMin(site.rows.size(), start + Workload::kBatchSize);
                    for (qsizetype i = start; i < end; ++i)
                        model.appendRow(site.rows[i].toStandardItem().release());
                });
                run.addFloor("search answers, all", ms);
                run.largestFloor("search answer, largest", ms);
            }
        }

        QList<QVariant> events;
        for (QVariantMap event : Workload::detections(n)) {
            event.insert(QStringLiteral("reqUID"), requestId);
            events.append(deepCopy(event));
        }
        evictCaches();
        for (const QVariant& event : std::as_const(events)) {
            const double ms = warmMs([&] { session.event(QStringLiteral("detCamResEvt"), event); });
            run.add("detection events, all", ms);
            run.largest("detection event, largest", ms);
        }
        // The floor: each event's row found by its id in a hash and its status written.
        PlainProxy plain(session.cameraModel(), CameraRole::StreamUrlList);
        const QHash<QString, QStandardItem*> rows = bareRowsById(plain.model);
        evictCaches();
        for (const QVariant& event : std::as_const(events)) {
            const double ms = warmMs([&] {
                const QVariantMap map = event.toMap();
                if (QStandardItem* item = rows.value(map.value(QStringLiteral("devID")).toString()))
                    item->setData(map.value(QStringLiteral("detRes")).toInt(), CameraRole::Status);
            });
            run.addFloor("detection events, all", ms);
            run.largestFloor("detection event, largest", ms);
        }

        const QString stationRequest = session.searchStations();
        QList<QVariant> stationBatches;
        for (const QVariantList& batch : Workload::stationBatches(n))
            stationBatches.append(deepCopy(Workload::searchAnswer(stationRequest, batch)));
        evictCaches();
        for (const QVariant& batch : std::as_const(stationBatches)) {
            const double ms = warmMs([&] { session.answer(QStringLiteral("searchDevice"), batch); });
            run.add("station search answers, all", ms);
            run.largest("station search answer, largest", ms);
        }
        // The floor: rows with the values those answers left, made one setData per role
        // and appended to a bare model in batches of the same size.
        {
            const QStandardItemModel* stations = session.stationModel();
            const QList<int> roles = rolesBetween(StationRole::Id, StationRole::QrlnModel);
            QList<QList<QVariant>> values;
            for (int row = 0; row < stations->rowCount(); ++row) {
                QList<QVariant>& rowValues = values.emplace_back();
                for (const int role : roles)
                    rowValues.append(deepCopy(stations->item(row)->data(role)));
            }
            QStandardItemModel model;
            evictCaches();
            for (qsizetype start = 0; start < values.size(); start += Workload::kBatchSize) {
                const double ms = warmMs([&] {
                    const qsizetype end = qMin(values.size(), start + Workload::kBatchSize);
                    for (qsizetype i = start; i < end; ++i) {
                        auto* item = new QStandardItem;
                        for (qsizetype k = 0; k < roles.size(); ++k) {
                            if (values[i][k].isValid())
                                item->setData(values[i][k], roles[k]);
                        }
                        model.appendRow(item);
                    }
                });
                run.addFloor("station search answers, all", ms);
                run.largestFloor("station search answer, largest", ms);
            }
        }
    });
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

const SortCall kStationSorts[] = {
    {"sort stations by model", StationRole::Model, StationRole::Model},
    {"sort stations by IP", StationRole::Ip, StationRole::Ip},
    {"sort stations by status", StationRole::Status, StationRole::Status},
    {"sort stations by HTTP port", StationRole::Port, StationRole::Port},
    {"sort stations by HTTPS port", StationRole::HttpsPort, StationRole::HttpsPort},
    {"sort stations by MAC", StationRole::Mac, StationRole::Mac},
    {"sort stations by QRLN family", StationRole::QrlnModel, StationRole::QrlnModel},
    {"sort stations by host name", StationRole::HostName, StationRole::HostName},
};

// The station page on a loaded site: every column title clicked, the words filter,
// and the ids of the rows shown that the page asks for.
void stations(benchmark::State& state)
{
    eachRun(state, [](Run& run, int n) {
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

        for (const SortCall& sort : kStationSorts) {
            run.call(sort.name, [&] { ScaleSession::sortByRole(proxy, sort.role); });
            run.floor(sort.name, [&] {
                plain.setSortRole(sort.plainRole);
                plain.sort(0);
            });
        }
        run.call("station text filter keeping every row",
                 [&] { ScaleSession::setFilterString(proxy, QStringLiteral("10.")); });
        plain.setFilterRole(StationRole::Ip);
        run.floor("station text filter keeping every row",
                  [&] { plain.setFilterFixedString(QStringLiteral("10.")); });
        run.call("station ids shown", [&] { session.call("getAllIdInSearchedStationSortFilterModel"); });
        run.floor("station ids shown", [&] {
            QVariantList ids;
            for (int row = 0; row < plain.rowCount(); ++row)
                ids.append(plain.index(row, 0).data(StationRole::Id));
            benchmark::DoNotOptimize(ids);
        });
        run.call("stations needing credentials (getStationsNeedToBeAuthorized)",
                 [&] { session.call("getStationsNeedToBeAuthorized"); });
        run.floor("stations needing credentials (getStationsNeedToBeAuthorized)", [&] {
            QVariantList ids;
            for (int row = 0; row < plain.rowCount(); ++row) {
                const QModelIndex index = plain.index(row, 0);
                if (index.data(StationRole::Status).toInt() != 1)
                    ids.append(index.data(StationRole::Id));
            }
            benchmark::DoNotOptimize(ids);
        });

        // A station added by hand goes to the top; its floor makes a row of the same
        // values and inserts it there.
        const QStandardItem* first = session.stationModel()->item(0);
        QVariantMap station{
            {QStringLiteral("IP"), QStringLiteral("192.168.0.2")},
            {QStringLiteral("HttpPort"), 80},
            {QStringLiteral("Model"), first->data(StationRole::Model)},
            {QStringLiteral("MAC"), QStringLiteral("00-11-22-33-44-66")},
        };
        const QList<int> stationRoles = rolesBetween(StationRole::Id, StationRole::QrlnModel);
        run.call("addStation on a full list", [&] { session.call("addStation", {station}); });
        run.floor("addStation on a full list", [&] { model.insertRow(0, bareCopy(first, stationRoles)); });

        // The last row removed by its id, which the list is searched for from the top.
        const QString lastId =
            session.stationModel()->item(session.stationModel()->rowCount() - 1)->data(StationRole::Id).toString();
        run.call("station row removed (removeRowInSearchedStationTableModel)",
                 [&] { session.call("removeRowInSearchedStationTableModel", {lastId}); });
        run.floor("station row removed (removeRowInSearchedStationTableModel)", [&] {
            const QModelIndexList hits =
                model.match(model.index(0, 0), StationRole::Id, lastId, 1,
                            Qt::MatchFixedString | Qt::MatchCaseSensitive | Qt::MatchRecursive);
            if (!hits.isEmpty())
                model.removeRow(hits.first().row());
        });

        run.call("searchStations on a full list", [&] { session.searchStations(); });
        run.floor("searchStations on a full list", [&] { model.clear(); });
        largestTurns(run, "event loop turn after searchStations, largest");
    });
}

// The answer to a successful login, with texts of its own.
QVariant loggedInAnswer()
{
    return deepCopy(QVariantMap{
        {QStringLiteral("detRes"), 0},
        {QStringLiteral("Model"), QStringLiteral("M-100")},
        {QStringLiteral("MAC"), QStringLiteral("00-11-22-33-44-55")},
        {QStringLiteral("Brand"), 1},
        {QStringLiteral("ChannelNum"), 4},
        {QStringLiteral("CamRTSPPort"), 554},
        {QStringLiteral("StreamURLList"), QVariantList{QStringLiteral("rtsp://cam/main")}},
    });
}

// What a successful login writes into a row, one setData at a time: the status, the
// credentials and the camera's facts from the answer.
void writeBareLogin(QStandardItem* item, const QVariantMap& facts)
{
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
}

// A loaded site as the login scenarios find it: the plug-in with the site's rows, the
// same rows on a bare model behind a plain proxy and by id, the ids as QML hands them
// over (texts of their own, not the rows' own texts), and the floors' count of
// outstanding requests per uid.
struct LoginSite
{
    ScaleSession session;
    PlainProxy plain;
    QHash<QString, QStandardItem*> bareRows;
    QStringList uids;
    QHash<QString, int> outstanding;

    explicit LoginSite(int n)
        : plain(loaded(session, n), CameraRole::StreamUrlList)
        , bareRows(bareRowsById(plain.model))
    {
        for (int row = 0; row < plain.model.rowCount(); ++row)
            uids.append(plain.model.item(row)->data(CameraRole::Id).toString());
        uids = deepCopy(uids).toStringList();
    }

    static const QStandardItemModel* loaded(ScaleSession& session, int n)
    {
        answerSite(session, n);
        return session.cameraModel();
    }

    void forgetOne(const QString& uid)
    {
        if (const auto it = outstanding.find(uid); it != outstanding.end() && --it.value() == 0)
            outstanding.erase(it);
    }
};

// Logging in to every camera of the site with one list, and the host's one answer for
// the whole list: a failed login (one status per row) and a successful one (status,
// login and the camera's facts). Each floor finds every row in a hash and writes what
// the call writes, one setData at a time, on the bare model behind a plain proxy, and
// keeps a count of outstanding requests per uid in a hash as the call must (one more
// per camera for the list, one fewer per camera for an answer); the list's floor also
// makes the request the host gets.
void logins(benchmark::State& state)
{
    eachRun(state, [](Run& run, int n) {
        LoginSite site(n);
        ScaleSession& session = site.session;
        const QStringList& uids = site.uids;
        QHash<QString, int>& outstanding = site.outstanding;
        const auto floor = [&](const std::string& name, int requests,
                               const std::function<void(QStandardItem*)>& write) {
            run.floor(name, [&] {
                for (const QString& uid : uids) {
                    if (requests > 0)
                        outstanding[uid] += requests;
                    else
                        site.forgetOne(uid);
                    if (QStandardItem* item = site.bareRows.value(uid))
                        write(item);
                }
            });
        };
        const auto authorizeList = [&] {
            session.call("authorizeList", {uids, QStringLiteral("admin"), QStringLiteral("secret")});
        };

        run.call("authorizeList of every row", authorizeList);
        // The request the host gets holds a map of seven entries per camera.
        QVariantList request;
        request.reserve(uids.size());
        floor("authorizeList of every row", 1, [&request](QStandardItem* item) {
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
                    });
        request.clear();
        const QVariant failed = deepCopy(QVariantMap{{QStringLiteral("detRes"), 1}});
        run.call("whole-list answer, login failed", [&] {
            session.answer(QStringLiteral("authorizeDeviceList"), failed, session.wrapper().last().userData);
        });
        floor("whole-list answer, login failed", -1, [](QStandardItem* item) { item->setData(2, CameraRole::Status); });

        const QVariant loggedIn = loggedInAnswer();
        authorizeList();
        for (const QString& uid : std::as_const(uids))
            ++outstanding[uid];
        run.call("whole-list answer, logged in", [&] {
            session.answer(QStringLiteral("authorizeDeviceList"), loggedIn, session.wrapper().last().userData);
        });
        const QVariantMap facts = loggedIn.toMap();
        floor("whole-list answer, logged in", -1, [&facts](QStandardItem* item) { writeBareLogin(item, facts); });
        const QStandardItemModel* cameras = session.cameraModel();
        if (cameras->item(cameras->rowCount() - 1)->data(CameraRole::Status).toInt() != 1)
            std::fprintf(stderr, "the whole-list answer left rows not logged in\n");
    });
}


// Cameras one at a time on a loaded site: QML's login of one camera and the host's
// answer to it, credentials stored on every camera without a login, and a list login
// answered camera by camera (each answer names its camera with "delID"; half of them
// log in). Each floor finds the row in a hash, keeps the count of outstanding requests
// per uid and writes what the call writes, one setData at a time, on the bare model
// behind a plain proxy.
void perCamera(benchmark::State& state)
{
    eachRun(state, [](Run& run, int n) {
        LoginSite site(n);
        ScaleSession& session = site.session;
        const QStringList& uids = site.uids;
        const QHash<QString, QStandardItem*>& bareRows = site.bareRows;
        QHash<QString, int>& outstanding = site.outstanding;

        const QString one = uids.at(uids.size() / 2);
        run.call("authorize of one camera", [&] {
            session.call("authorize", {one, QStringLiteral("admin"), QStringLiteral("secret")});
        });
        run.floor("authorize of one camera", [&] {
            QStandardItem* item = bareRows.value(one);
            QVariantMap parameters;
            parameters.insert(QStringLiteral("IP"), item->data(CameraRole::Ip).toString());
            parameters.insert(QStringLiteral("HttpPort"), item->data(CameraRole::Port).toInt());
            parameters.insert(QStringLiteral("Username"), QStringLiteral("admin"));
            parameters.insert(QStringLiteral("Password"), QStringLiteral("secret"));
            parameters.insert(QStringLiteral("Brand"), item->data(CameraRole::Brand).toInt());
            benchmark::DoNotOptimize(parameters);
            ++outstanding[one];
            const int status = item->data(CameraRole::Status).toInt();
            item->setData(status, CameraRole::PreviousStatus);
            item->setData(0, CameraRole::Status);
        });
        const QVariant loggedIn = loggedInAnswer();
        run.call("answer to one camera's login, logged in", [&] {
            session.answer(QStringLiteral("authorizeDevice"), loggedIn, session.wrapper().last().userData);
        });
        run.floor("answer to one camera's login, logged in", [&] {
            outstanding.remove(one);
            writeBareLogin(bareRows.value(one), loggedIn.toMap());
        });

        run.call("setAuthorization of every row", [&] {
            session.call("setAuthorization", {uids, QStringLiteral("admin"), QStringLiteral("secret")});
        });
        run.floor("setAuthorization of every row", [&] {
            for (const QString& uid : uids) {
                if (QStandardItem* item = bareRows.value(uid)) {
                    const int status = item->data(CameraRole::Status).toInt();
                    item->setData(5, CameraRole::Status);
                    item->setData(status, CameraRole::PreviousStatus);
                    item->setData(QStringLiteral("admin"), CameraRole::UserName);
                    item->setData(QStringLiteral("secret"), CameraRole::Password);
                }
            }
        });

        // The list goes out untimed; its answers come one camera at a time.
        session.call("authorizeList", {uids, QStringLiteral("admin"), QStringLiteral("secret")});
        void* const listContext = session.wrapper().last().userData;
        for (const QString& uid : uids)
            ++outstanding[uid];
        QList<QVariant> answers;
        for (const QVariantMap& answer : Workload::authorizeAnswers(n))
            answers.append(deepCopy(answer));
        evictCaches();
        for (const QVariant& answer : std::as_const(answers)) {
            const double ms = warmMs(
                [&] { session.answer(QStringLiteral("authorizeDeviceList"), answer, listContext); });
            run.add("per-camera answers to a list, all", ms);
            run.largest("per-camera answer to a list, largest", ms);
        }
        evictCaches();
        for (const QVariant& answer : std::as_const(answers)) {
            const double ms = warmMs([&] {
                const QVariantMap map = answer.toMap();
                const QString uid = map.value(QStringLiteral("delID")).toString();
                QStandardItem* item = bareRows.value(uid);
                const bool logged = map.value(QStringLiteral("detRes")).toInt() == 0;
                if (logged)
                    outstanding.remove(uid);
                else
                    site.forgetOne(uid);
                if (!item)
                    return;
                if (logged)
                    writeBareLogin(item, map);
                else
                    item->setData(2, CameraRole::Status);
            });
            run.addFloor("per-camera answers to a list, all", ms);
            run.largestFloor("per-camera answer to a list, largest", ms);
        }
    });
}

// Heap bytes per row against a bare row with the same roles and values.
void heap(benchmark::State& state)
{
    eachRun(state, [](Run& run, int n) {
        Workload::site(n);
        Workload::stationBatches(n);
        ScaleSession session;
        size_t before = heapInUse();
        answerSite(session, n);
        const double cameraRows = double(session.cameraModel()->rowCount());
        run.bytes("camera row", double(heapInUse() - before) / cameraRows);

        before = heapInUse();
        answerStations(session, n);
        const double stationRows = double(session.stationModel()->rowCount());
        run.bytes("station row", double(heapInUse() - before) / stationRows);

        before = heapInUse();
        {
            PlainProxy* plain = new PlainProxy(session.cameraModel(), CameraRole::StreamUrlList);
            run.bytes("camera row floor", double(heapInUse() - before) / cameraRows);
            delete plain;
        }
        before = heapInUse();
        {
            PlainProxy* plain = new PlainProxy(session.stationModel(), StationRole::QrlnModel);
            run.bytes("station row floor", double(heapInUse() - before) / stationRows);
            delete plain;
        }
    });
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
    for (int i = 0; i < g_importTopology; ++i)
        session.topology().addChannel(QStringLiteral("172.16.%1.%2").arg(i / 250).arg(i % 250 + 1),
                                      QStringLiteral("80"), 1, 1);
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

    // Again, in the room the first result leaves (kept from the system): the import as a
    // client that imported before meets it, without the kernel's cost of fresh pages.
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    result = QVariant();
    const double againStart = cpuSeconds();
    result = session.importDevices(path);
    std::printf("again, in the heap room the first left: %.0f ms\n", (cpuSeconds() - againStart) * 1e3);
    return 0;
}

// The import's floor, in a process of its own as well: what any import must do to hand
// QML its list, namely read the file line by line, split each line at commas and build
// the map of six texts QML receives for it, with no check of the line, no topology and
// no text shared between devices.
int runImportFloor(const QString& path)
{
    static const QString keys[] = {QStringLiteral("brand"), QStringLiteral("host"), QStringLiteral("hostName"),
                                   QStringLiteral("mac"), QStringLiteral("modelName"), QStringLiteral("port")};
    const auto build = [&path] {
        QVariantList devices;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return devices;
        QTextStream stream(&file);
        stream.readLine();
        QString line;
        while (stream.readLineInto(&line)) {
            const QStringList fields = line.split(QLatin1Char(','));
            if (fields.size() < 6)
                continue;
            QVariantMap device;
            for (int i = 0; i < 6; ++i)
                device.insert(device.cend(), keys[i], fields.at(i));
            devices.append(device);
        }
        return devices;
    };
    const long before = peakRssKb();
    const double start = cpuSeconds();
    QVariantList devices = build();
    const double ms = (cpuSeconds() - start) * 1e3;
    const long after = peakRssKb();
    const double count = double(qMax<qsizetype>(1, devices.size()));
    std::printf("floor, %.0f maps of six texts from the split lines: %.0f ms; peak RSS %ld -> %ld MB, %.0f bytes "
                "per device\n",
                count, ms, before / 1024, after / 1024, double(after - before) * 1024.0 / count);

    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    devices = QVariantList();
    const double againStart = cpuSeconds();
    devices = build();
    std::printf("floor again, in the heap room the first left: %.0f ms\n", (cpuSeconds() - againStart) * 1e3);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::vector<int> sizes{1000, 20000};
    int reps = 3;
    int importLines = 0;
    QString importRun;
    QString importFloorRun;
    std::vector<char*> benchmarkArgs{argv[0]};
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
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
        } else if (arg.startsWith(QLatin1String("--import-topology="))) {
            g_importTopology = arg.mid(18).toInt();
        } else if (arg.startsWith(QLatin1String("--import-floor-run="))) {
            importFloorRun = arg.mid(19);
        } else {
            benchmarkArgs.push_back(argv[i]);
        }
    }

    // PDS_PLUGIN names another build of the module, to compare versions in one run.
    const QString pluginFile = qEnvironmentVariableIsSet("PDS_PLUGIN") ? qEnvironmentVariable("PDS_PLUGIN")
                                                                       : QStringLiteral(PDS_PLUGIN_FILE);
    g_pluginFile = pluginFile;
    if (!importRun.isEmpty())
        return runImport(importRun);
    if (!importFloorRun.isEmpty())
        return runImportFloor(importFloorRun);

    if (importLines > 0) {
        const QString path = Workload::importFile(importLines);
        int exitCode = 0;
        for (const QString& run : {QStringLiteral("--import-run="), QStringLiteral("--import-floor-run=")}) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                        {run + path, QStringLiteral("--import-topology=%1").arg(g_importTopology)});
            child.waitForFinished(-1);
            exitCode = qMax(exitCode, child.exitCode());
        }
        return exitCode;
    }

    HostKit::setFailureHandler([](const QString& message) {
        std::fprintf(stderr, "%s\n", qPrintable(message));
        std::exit(2);
    });
    const std::pair<const char*, void (*)(benchmark::State&)> scenarios[] = {
        {"cameras", cameras},     {"refresh", refresh},   {"answers", answers}, {"logins", logins},
        {"perCamera", perCamera}, {"stations", stations}, {"heap", heap},
    };
    for (const auto& [name, function] : scenarios) {
        for (const int n : sizes) {
            benchmark::RegisterBenchmark(name, function)
                ->Arg(n)
                ->Iterations(1)
                ->Repetitions(reps)
                ->ReportAggregatesOnly(false)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
        }
    }
    int benchmarkArgc = int(benchmarkArgs.size());
    benchmark::Initialize(&benchmarkArgc, benchmarkArgs.data());
    if (benchmark::ReportUnrecognizedArguments(benchmarkArgc, benchmarkArgs.data()))
        return 2;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
