#include "FakeLog.h"
#include "PluginHarness.h"

#include <QFileInfo>
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

using NewFn = void* (*)(std::size_t);
using NothrowNewFn = void* (*)(std::size_t, const std::nothrow_t&);

NewFn nextNew()
{
    static const NewFn next = reinterpret_cast<NewFn>(dlsym(RTLD_NEXT, "_Znwm"));
    return next;
}

NothrowNewFn nextNothrowNew()
{
    static const NothrowNewFn next = reinterpret_cast<NothrowNewFn>(dlsym(RTLD_NEXT, "_ZnwmRKSt9nothrow_t"));
    return next;
}

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
    if (shouldFail(g_failThrowing, __builtin_return_address(0)))
        throw std::bad_alloc();
    return nextNew()(size);
}

void* operator new(std::size_t size, const std::nothrow_t& tag) noexcept
{
    if (shouldFail(g_failNothrow, __builtin_return_address(0)))
        return nullptr;
    return nextNothrowNew()(size, tag);
}

class tst_SpineInitFailure : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(nextNew() && nextNothrowNew());
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

    void failingStepIsLoggedAndEarlierStepsStay_data()
    {
        QTest::addColumn<bool>("throwing");
        QTest::addColumn<int>("nth");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("created");
        QTest::newRow("parser throws") << true << 1 << "%s, create device list parser failed"
                                       << QStringList();
        QTest::newRow("camera model") << false << 1 << "%s, create camera table model failed"
                                      << QStringList();
        QTest::newRow("camera view") << false << 2 << "%s, create camera sort filter model failed"
                                     << QStringList{"getCameraModel"};
        QTest::newRow("station model") << false << 3 << "%s, create station table model failed"
                                       << QStringList{"getCameraModel", "getCameraSortFilterModel"};
        QTest::newRow("station view") << false << 4 << "%s, create station table model failed"
                                      << QStringList{"getCameraModel", "getCameraSortFilterModel",
                                                     "getSearchedStationModel"};
    }

    void failingStepIsLoggedAndEarlierStepsStay()
    {
        QFETCH(bool, throwing);
        QFETCH(int, nth);
        QFETCH(QString, format);
        QFETCH(QStringList, created);
        PluginHarness h(false);
        std::atomic<int>* counter = throwing ? &g_failThrowing : &g_failNothrow;

        counter->store(nth);
        const bool initialised = h.plugin()->InitialPluginBase(nullptr, PluginHarness::hostContext(), &h.wrapper());
        QCOMPARE(counter->load(), 0); // the armed allocation really was made
        counter->store(0);

        QCOMPARE(initialised, false);
        QCOMPARE(h.plugin()->pluginName(), QStringLiteral("DeviceSearchPlugin"));
        QCOMPARE(h.plugin()->pluginId(), QStringLiteral("81A12407F58943CAB74F1F5D78E64C67"));
        for (const char* getter : {"getCameraModel", "getCameraSortFilterModel", "getSearchedStationModel",
                                   "getSearchedStationSortFilterModel"})
            QVERIFY2(bool(h.call(getter).value<QObject*>()) == created.contains(getter), getter);
        if (created.contains("getCameraSortFilterModel"))
            QCOMPARE(h.cameraProxy()->sourceModel(), h.cameraModel());

        QCOMPARE(int(FakeLog::beginRecords().size()), 1);
        QCOMPARE(FakeLog::beginRecords()[0].levelWord, FakeLog::kModuleId * 256 + 2);
        QCOMPARE(QFileInfo(QString::fromStdString(FakeLog::beginRecords()[0].sourceFile)).fileName(),
                 QStringLiteral("PluginDeviceSearch.cpp"));
        QCOMPARE(int(FakeLog::writeRecords().size()), 1);
        QCOMPARE(QString::fromStdString(FakeLog::writeRecords()[0].format), format);
        QCOMPARE(QString::fromStdString(FakeLog::writeRecords()[0].message),
                 QString(format).replace("%s", "PluginDeviceSearch::Init"));
    }

    // The two station failures share a message; each is written from its own call.
    void stationFailuresComeFromTheirOwnLines()
    {
        int lines[2];
        for (int i = 0; i < 2; ++i) {
            FakeLog::reset();
            PluginHarness h(false);
            g_failNothrow = 3 + i;
            QVERIFY(!h.plugin()->InitialPluginBase(nullptr, PluginHarness::hostContext(), &h.wrapper()));
            g_failNothrow = 0;
            QCOMPARE(int(FakeLog::beginRecords().size()), 1);
            lines[i] = FakeLog::beginRecords()[0].line;
        }
        QVERIFY(lines[0] != lines[1]);
    }

    void initSucceedsWhenNothingFails()
    {
        PluginHarness h(false);
        QCOMPARE(h.plugin()->InitialPluginBase(nullptr, PluginHarness::hostContext(), &h.wrapper()), true);
        QCOMPARE(int(FakeLog::beginRecords().size()), 0);
    }
};

QTEST_MAIN(tst_SpineInitFailure)
#include "tst_spine_initfailure.moc"
