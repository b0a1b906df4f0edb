#include "FakeLog.h"
#include "FakeTopologyPlugin.h"
#include "ModelTesters.h"
#include "PluginHarness.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

#include <atomic>
#include <new>

// Init's failure paths need an allocation inside the plug-in to fail. This test
// replaces the global operator new (throwing and non-throwing) with one that forwards
// to the next definition and, while armed, fails the n-th allocation that code of
// the plug-in module itself asks for. Deletion is left alone, so every block still
// goes back to the allocator that made it.
namespace {

std::atomic<const void*> g_pluginBase{nullptr};
std::atomic<int> g_failThrowing{0}; // fail the n-th throwing allocation from the plug-in
std::atomic<int> g_failNothrow{0};  // fail the n-th non-throwing one

// True when the armed counter reaches zero for a call from the plug-in module.
bool shouldFail(std::atomic<int>& counter, const void* caller)
{
    if (counter.load() <= 0 || !g_pluginBase.load())
        return false;
    Dl_info info;
    if (!dladdr(caller, &info) || info.dli_fbase != g_pluginBase.load())
        return false;
    return counter.fetch_sub(1) == 1;
}

} // namespace

void* operator new(std::size_t size)
{
    static const auto next = reinterpret_cast<void* (*)(std::size_t)>(dlsym(RTLD_NEXT, "_Znwm"));
    if (shouldFail(g_failThrowing, __builtin_return_address(0)))
        throw std::bad_alloc();
    return next(size);
}

void* operator new(std::size_t size, const std::nothrow_t& tag) noexcept
{
    static const auto next =
        reinterpret_cast<void* (*)(std::size_t, const std::nothrow_t&)>(dlsym(RTLD_NEXT, "_ZnwmRKSt9nothrow_t"));
    if (shouldFail(g_failNothrow, __builtin_return_address(0)))
        return nullptr;
    return next(size, tag);
}

// Runs against the fake logging library; FAKE_ZELKLOG_VARIANT (set per ctest entry)
// makes that library misbehave, and the expectations below follow it.
namespace {

struct Expected
{
    const char* format;
    const char* function;
    const char* sourceFile;
};

QByteArray variant() { return qgetenv("FAKE_ZELKLOG_VARIANT"); }
bool facadeHandedOut() { return variant() != "null-facade"; }
bool registers() { return facadeHandedOut() && variant() != "null-register"; }
bool begins() { return facadeHandedOut() && variant() != "null-handle"; }
bool writes() { return begins() && variant() != "null-write"; }

// Every begin and write record against the messages expected, in order: format,
// qualified function name, level word, and the compiler's path and line of the call.
void verifyRecords(const QList<Expected>& expected)
{
    const auto& beginRecords = FakeLog::beginRecords();
    const auto& writeRecords = FakeLog::writeRecords();
    QCOMPARE(int(beginRecords.size()), begins() ? expected.size() : 0);
    QCOMPARE(int(writeRecords.size()), writes() ? expected.size() : 0);

    for (size_t i = 0; i < beginRecords.size(); ++i) {
        const FakeLog::BeginRecord& begin = beginRecords[i];
        QCOMPARE(begin.handle, FakeLog::handle());
        QCOMPARE(begin.levelWord, (registers() ? FakeLog::kModuleId : 0) * 256 + 2);
        QCOMPARE(begin.zero, 0);
        QFile source(QString::fromStdString(begin.sourceFile));
        QCOMPARE(QFileInfo(source).fileName(), QString::fromLatin1(expected.at(i).sourceFile));
        QVERIFY2(QFileInfo(source).isAbsolute() && source.open(QIODevice::ReadOnly), begin.sourceFile.c_str());
        QVERIFY2(source.readAll().split('\n').value(begin.line - 1).contains(expected.at(i).format),
                 qPrintable(QStringLiteral("line %1 of %2").arg(begin.line).arg(source.fileName())));
    }
    for (size_t i = 0; i < writeRecords.size(); ++i) {
        const FakeLog::WriteRecord& write = writeRecords[i];
        QCOMPARE(write.handle, FakeLog::handle());
        QCOMPARE(write.format.c_str(), expected.at(i).format);
        QCOMPARE(QString::fromStdString(write.message),
                 QString::fromLatin1(expected.at(i).format).replace("%s", expected.at(i).function));
    }
}

} // namespace

Q_DECLARE_METATYPE(QList<Expected>)

class tst_SpineLogging : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase()
    {
        QFile file(m_dir.filePath("devices.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("ip,port\n10.0.0.1,80\n") > 0);
        PluginHarness h(false);
        Dl_info info;
        QVERIFY(dladdr(h.object()->metaObject(), &info));
        QVERIFY(QFileInfo(QString::fromLocal8Bit(info.dli_fname)).fileName().startsWith("libPluginDeviceSearch"));
        g_pluginBase = info.dli_fbase;
    }

    void init() { FakeLog::reset(); }

    void cleanup()
    {
        g_failThrowing = 0;
        g_failNothrow = 0;
    }

    void libraryIsSetUpOnceWhenThePluginLoads()
    {
        PluginHarness first;
        PluginHarness second;
        QCOMPARE(FakeLog::entryCalls(), 1);
        QCOMPARE(FakeLog::entryArgument(), 0);
        const auto& registrations = FakeLog::registrations();
        QCOMPARE(int(registrations.size()), registers() ? 1 : 0);
        if (registers()) {
            QCOMPARE(registrations[0].handle, variant() == "null-handle" ? nullptr : FakeLog::handle());
            QCOMPARE(registrations[0].kind, 19);
            QCOMPARE(registrations[0].moduleName.c_str(), "DeviceSearch");
        }
    }

    // The host refuses every command here.
    void messages_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QVariantList>("args");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QList<Expected>>("expected");
        const char* sendFailed = "%s, send command to server failed";
        const char* reqs = "PluginDeviceSearch_Reqs.cpp";
        const char* utls = "PluginDeviceSearch_Utls.cpp";
        const QVariantList list{QUrl::fromLocalFile(m_dir.filePath("devices.csv"))};
        const QList<Expected> noTopology{
            {"%s, GetStandardTopologyModel failed", "PluginDeviceSearch::GetStandardTopologyModel", utls},
            {"Standard Topology Model is nullptr: %s", "PluginDeviceSearch::CheckCameraExistedInTopology", utls}};

        QTest::newRow("searchDevices refused")
            << QByteArray("searchDevices") << QVariantList{0, 7} << ""
            << QList<Expected>{{sendFailed, "PluginDeviceSearch::searchDevices", reqs}};
        QTest::newRow("refreshDevices refused")
            << QByteArray("refreshDevices") << QVariantList{0, 7} << ""
            << QList<Expected>{{sendFailed, "PluginDeviceSearch::refreshDevices", reqs}};
        QTest::newRow("searchStations refused")
            << QByteArray("searchStations") << QVariantList() << ""
            << QList<Expected>{{sendFailed, "PluginDeviceSearch::searchStations", reqs}};
        QTest::newRow("searchDevices without a wrapper")
            << QByteArray("searchDevices") << QVariantList{0, 0} << "no wrapper"
            << QList<Expected>{{sendFailed, "PluginDeviceSearch::searchDevices", reqs}};
        QTest::newRow("unreadable import file")
            << QByteArray("importDevices") << QVariantList{QUrl::fromLocalFile(m_dir.filePath("missing.csv"))} << ""
            << QList<Expected>{{"%s, parse importing list file failed", "PluginDeviceSearch::importDevices", reqs}};
        QTest::newRow("no topology plug-in") << QByteArray("importDevices") << list << "" << noTopology;
        QTest::newRow("topology plug-in without a model")
            << QByteArray("importDevices") << list << "topology without a model" << noTopology;
    }

    void messages()
    {
        QFETCH(QByteArray, method);
        QFETCH(QVariantList, args);
        QFETCH(QString, setup);
        QFETCH(QList<Expected>, expected);
        PluginHarness h;
        h.wrapper().sendResult = false;
        FakeTopologyPlugin topology;
        topology.setReturnsNull(true);
        if (setup == "topology without a model")
            h.wrapper().pluginObjects.insert(FakeTopologyPlugin::PluginId, &topology);
        if (setup == "no wrapper")
            h.plugin()->InitialPluginBase(nullptr, PluginHarness::hostContext(), nullptr);
        FakeLog::reset();

        h.call(method, args);
        verifyRecords(expected);
    }

    // Each step of Init that cannot allocate is reported; the steps before it stay done.
    void initFailures_data()
    {
        QTest::addColumn<bool>("throwing");
        QTest::addColumn<int>("nth");
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("created");
        QTest::newRow("parser throws") << true << 1 << "%s, create device list parser failed" << 0;
        QTest::newRow("camera model") << false << 1 << "%s, create camera table model failed" << 0;
        QTest::newRow("camera view") << false << 2 << "%s, create camera sort filter model failed" << 1;
        QTest::newRow("station model") << false << 3 << "%s, create station table model failed" << 2;
        QTest::newRow("station view") << false << 4 << "%s, create station table model failed" << 3;
    }

    void initFailures()
    {
        QFETCH(bool, throwing);
        QFETCH(int, nth);
        QFETCH(QString, format);
        QFETCH(int, created);
        PluginHarness h(false);
        std::atomic<int>& counter = throwing ? g_failThrowing : g_failNothrow;

        counter = nth;
        QCOMPARE(h.initialise(), false);
        QCOMPARE(counter.load(), 0); // the armed allocation really was made
        QCOMPARE(h.plugin()->pluginId(), QStringLiteral("81A12407F58943CAB74F1F5D78E64C67"));
        const char* const getters[] = {"getCameraModel", "getCameraSortFilterModel", "getSearchedStationModel",
                                       "getSearchedStationSortFilterModel"};
        for (int i = 0; i < 4; ++i)
            QVERIFY2(bool(h.call(getters[i]).value<QObject*>()) == (i < created), getters[i]);
        if (created > 1)
            QCOMPARE(h.cameraProxy()->sourceModel(), h.cameraModel());
        const QByteArray text = format.toLatin1();
        verifyRecords({{text.constData(), "PluginDeviceSearch::Init", "PluginDeviceSearch.cpp"}});

        // The two station failures share a message; each is written from its own call.
        static int stationModelLine = 0;
        if (begins() && nth >= 3 && !throwing) {
            QVERIFY(FakeLog::beginRecords()[0].line != stationModelLine);
            stationModelLine = FakeLog::beginRecords()[0].line;
        }
    }

    void nonZeroBeginResultSuppressesTheWrite()
    {
        PluginHarness h;
        h.wrapper().sendResult = false;
        FakeLog::setBeginResult(1);
        QCOMPARE(h.call("searchDevices", {0, 0}).toBool(), false);
        QCOMPARE(int(FakeLog::beginRecords().size()), begins() ? 1 : 0);
        QCOMPARE(int(FakeLog::writeRecords().size()), 0);
    }

    // From a successful Init on, working calls write nothing.
    void workingCallsLogNothing()
    {
        CheckedHarness h;
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1")}, true);
        h.event("detCamResEvt", QVariantMap{{"reqUID", id}, {"delID", "a"}, {"detRes", 0}});
        QVERIFY(h.call("refreshDevices", {0, 0}).toBool());
        h.answerSearch(h.startStationSearch(), {foundDevice("s", "10.0.0.9")});
        QCOMPARE(int(FakeLog::beginRecords().size()), 0);
    }
};

QTEST_MAIN(tst_SpineLogging)
#include "tst_spine_logging.moc"
