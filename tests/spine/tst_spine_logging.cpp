#include "FakeLog.h"
#include "FakeTopologyPlugin.h"
#include "ModelTesters.h"
#include "PluginHarness.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// Runs against the fake logging library; FAKE_ZELKLOG_VARIANT (set per ctest entry)
// makes that library misbehave, and the expectations below follow it.
namespace {

struct Expected
{
    const char* format;
    const char* function;
    const char* sourceFile;
};

enum class Action {
    SearchDevices,
    RefreshDevices,
    SearchStations,
    SearchWithoutWrapper,
    ImportUnreadableFile,
    ImportWithoutTopologyPlugin,
    ImportWithTopologyGivingNoModel,
};

QByteArray variant() { return qgetenv("FAKE_ZELKLOG_VARIANT"); }
bool facadeHandedOut() { return variant() != "null-facade"; }
bool registers() { return facadeHandedOut() && variant() != "null-register"; }
bool begins() { return facadeHandedOut() && variant() != "null-handle"; }
bool writes() { return begins() && variant() != "null-write"; }
int expectedModuleId() { return registers() ? FakeLog::kModuleId : 0; }

QString sourceLine(const QString& path, int line)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    for (int n = 1; !file.atEnd(); ++n) {
        const QByteArray text = file.readLine();
        if (n == line)
            return QString::fromUtf8(text);
    }
    return QString();
}

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(QList<Expected>)

class tst_SpineLogging : public QObject
{
    Q_OBJECT

private:
    void perform(Action action, PluginHarness& h, const QTemporaryDir& dir)
    {
        const QString importFile = dir.filePath("devices.csv");
        switch (action) {
        case Action::SearchDevices:
            QCOMPARE(h.call("searchDevices", {0, 7}).toBool(), false);
            break;
        case Action::RefreshDevices:
            QCOMPARE(h.call("refreshDevices", {0, 7}).toBool(), false);
            break;
        case Action::SearchStations:
            QCOMPARE(h.call("searchStations").toBool(), false);
            break;
        case Action::SearchWithoutWrapper:
            h.plugin()->InitialPluginBase(nullptr, PluginHarness::hostContext(), nullptr);
            FakeLog::reset();
            QCOMPARE(h.call("searchDevices", {0, 0}).toBool(), false);
            break;
        case Action::ImportUnreadableFile:
            h.call("importDevices", {QUrl::fromLocalFile(dir.filePath("missing.csv"))});
            break;
        case Action::ImportWithoutTopologyPlugin:
            h.call("importDevices", {QUrl::fromLocalFile(importFile)});
            break;
        case Action::ImportWithTopologyGivingNoModel: {
            FakeTopologyPlugin topology;
            topology.setReturnsNull(true);
            h.wrapper().pluginObjects.insert(FakeTopologyPlugin::PluginId, &topology);
            h.call("importDevices", {QUrl::fromLocalFile(importFile)});
            h.wrapper().pluginObjects.clear();
            break;
        }
        }
    }

    static void verifyRecords(const QList<Expected>& expected)
    {
        const auto& beginRecords = FakeLog::beginRecords();
        const auto& writeRecords = FakeLog::writeRecords();
        QCOMPARE(int(beginRecords.size()), begins() ? expected.size() : 0);
        QCOMPARE(int(writeRecords.size()), writes() ? expected.size() : 0);

        for (size_t i = 0; i < beginRecords.size(); ++i) {
            const FakeLog::BeginRecord& begin = beginRecords[i];
            const Expected& want = expected.at(i);
            QCOMPARE(begin.handle, FakeLog::handle());
            QCOMPARE(begin.levelWord, expectedModuleId() * 256 + 2);
            QCOMPARE(begin.zero, 0);
            // The compiler's path of the source file, and the line of the call in it.
            const QFileInfo source(QString::fromStdString(begin.sourceFile));
            QCOMPARE(source.fileName(), QString::fromLatin1(want.sourceFile));
            QVERIFY2(source.isAbsolute() && source.exists(), begin.sourceFile.c_str());
            QVERIFY2(sourceLine(source.filePath(), begin.line).contains(QString::fromLatin1(want.format)),
                     qPrintable(QStringLiteral("line %1 of %2").arg(begin.line).arg(source.fileName())));
        }
        for (size_t i = 0; i < writeRecords.size(); ++i) {
            const FakeLog::WriteRecord& write = writeRecords[i];
            const Expected& want = expected.at(i);
            QCOMPARE(write.handle, FakeLog::handle());
            QCOMPARE(write.format.c_str(), want.format);
            QCOMPARE(QString::fromStdString(write.message),
                     QString::fromLatin1(want.format).replace("%s", QString::fromLatin1(want.function)));
        }
    }

private Q_SLOTS:
    void init() { FakeLog::reset(); }

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

    void messages_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<QList<Expected>>("expected");
        const char* sendFailed = "%s, send command to server failed";
        const char* reqs = "PluginDeviceSearch_Reqs.cpp";
        const char* utls = "PluginDeviceSearch_Utls.cpp";
        const QList<Expected> topologyMissing{
            {"%s, GetStandardTopologyModel failed", "PluginDeviceSearch::GetStandardTopologyModel", utls},
            {"Standard Topology Model is nullptr: %s", "PluginDeviceSearch::CheckCameraExistedInTopology", utls}};

        QTest::newRow("searchDevices refused")
            << Action::SearchDevices << QList<Expected>{{sendFailed, "PluginDeviceSearch::searchDevices", reqs}};
        QTest::newRow("refreshDevices refused")
            << Action::RefreshDevices << QList<Expected>{{sendFailed, "PluginDeviceSearch::refreshDevices", reqs}};
        QTest::newRow("searchStations refused")
            << Action::SearchStations << QList<Expected>{{sendFailed, "PluginDeviceSearch::searchStations", reqs}};
        QTest::newRow("searchDevices without a wrapper")
            << Action::SearchWithoutWrapper
            << QList<Expected>{{sendFailed, "PluginDeviceSearch::searchDevices", reqs}};
        QTest::newRow("unreadable import file")
            << Action::ImportUnreadableFile
            << QList<Expected>{{"%s, parse importing list file failed", "PluginDeviceSearch::importDevices", reqs}};
        QTest::newRow("no topology plug-in") << Action::ImportWithoutTopologyPlugin << topologyMissing;
        QTest::newRow("topology plug-in without a model")
            << Action::ImportWithTopologyGivingNoModel << topologyMissing;
    }

    void messages()
    {
        QFETCH(Action, action);
        QFETCH(QList<Expected>, expected);
        QTemporaryDir dir;
        QFile file(dir.filePath("devices.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("ip,port\n10.0.0.1,80\n") > 0);
        file.close();
        PluginHarness h;
        h.wrapper().sendResult = false;

        perform(action, h, dir);
        verifyRecords(expected);
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

    void workingCallsLogNothing()
    {
        PluginHarness h;
        ModelTesters testers(h);
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
