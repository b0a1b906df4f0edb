#include "FakeLog.h"
#include "ModelTesters.h"
#include "PluginHarness.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <dlfcn.h>

#include <atomic>
#include <new>

// Init's failure paths need an allocation inside the plug-in to fail: while armed,
// the global operator new (throwing and non-throwing) fails the n-th allocation that
// code of the plug-in module itself asks for. Deletion is left alone.
namespace {

std::atomic<const void*> g_pluginBase{nullptr};
std::atomic<int> g_failThrowing{0};
std::atomic<int> g_failNothrow{0};

bool shouldFail(std::atomic<int>& counter, const void* caller)
{
    Dl_info info;
    if (counter.load() <= 0 || !dladdr(caller, &info) || info.dli_fbase != g_pluginBase.load())
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
// makes that library misbehave, and the expectations follow it.
namespace {

struct Expected
{
    const char* format, *function, *sourceFile;
};

QByteArray variant() { return qgetenv("FAKE_ZELKLOG_VARIANT"); }
bool registers() { return variant() != "null-facade" && variant() != "null-register"; }
bool begins() { return variant() != "null-facade" && variant() != "null-handle"; }
bool writes() { return begins() && variant() != "null-write"; }

// Every begin and write record against the messages expected, in order: level word,
// the compiler's path and line of the call, format and the function name filled in.
void verifyRecords(const QList<Expected>& expected)
{
    const auto& begun = FakeLog::beginRecords();
    const auto& written = FakeLog::writeRecords();
    QCOMPARE(int(begun.size()), begins() ? expected.size() : 0);
    QCOMPARE(int(written.size()), writes() ? expected.size() : 0);
    for (size_t i = 0; i < begun.size(); ++i) {
        QCOMPARE(begun[i].handle, FakeLog::handle());
        QCOMPARE(begun[i].levelWord, (registers() ? FakeLog::kModuleId : 0) * 256 + 2);
        QCOMPARE(begun[i].zero, 0);
        QFile source(QString::fromStdString(begun[i].sourceFile));
        QCOMPARE(QFileInfo(source).fileName(), QString::fromLatin1(expected.at(i).sourceFile));
        QVERIFY2(QFileInfo(source).isAbsolute() && source.open(QIODevice::ReadOnly), begun[i].sourceFile.c_str());
        QVERIFY2(source.readAll().split('\n').value(begun[i].line - 1).contains(expected.at(i).format),
                 qPrintable(QStringLiteral("line %1 of %2").arg(begun[i].line).arg(source.fileName())));
    }
    for (size_t i = 0; i < written.size(); ++i) {
        QCOMPARE(written[i].handle, FakeLog::handle());
        QCOMPARE(written[i].format.c_str(), expected.at(i).format);
        QCOMPARE(QString::fromStdString(written[i].message),
                 QString::fromLatin1(expected.at(i).format).replace("%s", expected.at(i).function));
    }
}

} // namespace

class tst_SpineLogging : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        PluginHarness h(false);
        Dl_info info;
        QVERIFY(dladdr(h.object()->metaObject(), &info));
        g_pluginBase = info.dli_fbase;
    }

    void init() { FakeLog::reset(); }

    // The library is set up once, when the plug-in loads. Working calls write nothing;
    // each failure is written from its own file and line. A non-zero answer to
    // begin-record suppresses the write.
    void messages()
    {
        CheckedHarness h;
        QCOMPARE(FakeLog::entryCalls(), 1);
        QCOMPARE(FakeLog::entryArgument(), 0);
        const auto& registrations = FakeLog::registrations();
        QCOMPARE(int(registrations.size()), registers() ? 1 : 0);
        if (registers()) {
            QCOMPARE(registrations[0].handle, variant() == "null-handle" ? nullptr : FakeLog::handle());
            QCOMPARE(registrations[0].kind, 19);
            QCOMPARE(registrations[0].moduleName.c_str(), "DeviceSearch");
        }
        const QString id = h.startDeviceSearch(2);
        h.answerSearch(id, {foundDevice("a", "10.0.0.1")}, true);
        h.event("detCamResEvt", QVariantMap{{"reqUID", id}, {"delID", "a"}, {"detRes", 0}});
        QVERIFY(h.call("refreshDevices", {0, 0}).toBool());
        h.answerSearch(h.startStationSearch(), {foundDevice("s", "10.0.0.9")});
        QCOMPARE(int(FakeLog::beginRecords().size()), 0);

        QTemporaryDir dir;
        QFile file(dir.filePath("devices.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("ip,port\n10.0.0.1,80\n") > 0);
        file.close();
        h.wrapper().sendResult = false;
        QCOMPARE(h.call("searchDevices", {0, 7}).toBool(), false);
        QCOMPARE(h.call("refreshDevices", {0, 7}).toBool(), false);
        QCOMPARE(h.call("searchStations").toBool(), false);
        // No topology plug-in to check the imported device against.
        h.call("importDevices", {QUrl::fromLocalFile(file.fileName())});
        QVERIFY(h.plugin()->InitialPluginBase(nullptr, PluginHarness::hostContext(), nullptr));
        QCOMPARE(h.call("searchDevices", {0, 0}).toBool(), false); // no wrapper at all
        const char* sendFailed = "%s, send command to server failed";
        const char* reqs = "PluginDeviceSearch_Reqs.cpp";
        const char* utls = "PluginDeviceSearch_Utls.cpp";
        verifyRecords({{sendFailed, "PluginDeviceSearch::searchDevices", reqs},
                       {sendFailed, "PluginDeviceSearch::refreshDevices", reqs},
                       {sendFailed, "PluginDeviceSearch::searchStations", reqs},
                       {"%s, GetStandardTopologyModel failed", "PluginDeviceSearch::GetStandardTopologyModel", utls},
                       {"Standard Topology Model is nullptr: %s", "PluginDeviceSearch::CheckCameraExistedInTopology", utls},
                       {sendFailed, "PluginDeviceSearch::searchDevices", reqs}});

        FakeLog::reset();
        FakeLog::setBeginResult(1);
        QCOMPARE(h.call("searchStations").toBool(), false);
        QCOMPARE(int(FakeLog::beginRecords().size()), begins() ? 1 : 0);
        QCOMPARE(int(FakeLog::writeRecords().size()), 0);
    }

    // Each step of Init that cannot allocate is reported and makes InitialPluginBase
    // return false; the plug-in is named anyway, and the steps before stay done.
    void initFailures()
    {
        const struct {
            std::atomic<int>* counter;
            int nth;
            const char* format;
        } steps[] = {{&g_failThrowing, 1, "%s, create device list parser failed"},
                     {&g_failNothrow, 1, "%s, create camera table model failed"},
                     {&g_failNothrow, 2, "%s, create camera sort filter model failed"},
                     {&g_failNothrow, 3, "%s, create station table model failed"},
                     {&g_failNothrow, 4, "%s, create station table model failed"}};
        QList<Expected> expected;
        QStringList created;
        for (const auto& step : steps) {
            PluginHarness h(false);
            *step.counter = step.nth;
            const bool initialised = h.initialise();
            QCOMPARE(step.counter->exchange(0), 0); // the armed allocation really was made
            QCOMPARE(initialised, false);
            QCOMPARE(h.plugin()->pluginId(), QStringLiteral("81A12407F58943CAB74F1F5D78E64C67"));
            created.append(QStringLiteral("%1%2%3%4").arg(bool(h.cameraModel())).arg(bool(h.cameraProxy()))
                               .arg(bool(h.stationModel())).arg(bool(h.stationProxy())));
            expected.append({step.format, "PluginDeviceSearch::Init", "PluginDeviceSearch.cpp"});
        }
        QCOMPARE(created.join(','), QStringLiteral("0000,0000,1000,1100,1110"));
        verifyRecords(expected);
    }
};

QTEST_MAIN(tst_SpineLogging)
#include "tst_spine_logging.moc"
