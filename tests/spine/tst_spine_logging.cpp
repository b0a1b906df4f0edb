#include "FakeLog.h"
#include "ModelTesters.h"
#include "PluginHarness.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

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
        // The path is passed on as the compiler wrote it: with backslashes from MSVC, and
        // from a cross build as the build machine's absolute path ("/src/..." on Windows).
        const QString path = QString::fromStdString(begun[i].sourceFile);
        QFile source(path);
        const QString name = path.mid(std::max(path.lastIndexOf('/'), path.lastIndexOf('\\')) + 1);
        QCOMPARE(name, QStringLiteral("PluginDeviceSearch_%1.cpp").arg(expected.at(i).sourceFile));
        QVERIFY2((QFileInfo(source).isAbsolute() || path.startsWith('/')) && source.open(QIODevice::ReadOnly),
                 begun[i].sourceFile.c_str());
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
    void init() { FakeLog::reset(); }

    // Set up once at load; working calls write nothing, each failure is written from its
    // own file and line, and a non-zero answer to begin-record suppresses the write.
    void messages()
    {
        CheckedHarness h;
        QCOMPARE(FakeLog::entryCalls(), 1);
        QCOMPARE(FakeLog::entryArgument(), 0);
        const auto& registrations = FakeLog::registrations();
        QCOMPARE(int(registrations.size()), registers() ? 1 : 0);
        for (const auto& registration : registrations) {
            QCOMPARE(registration.handle, variant() == "null-handle" ? nullptr : FakeLog::handle());
            QCOMPARE(QString::number(registration.kind) + ' ' + registration.moduleName.c_str(), "19 DeviceSearch");
        }
        h.answerSearch(h.startDeviceSearch(2), {foundDevice("a", "10.0.0.1")}, true);
        h.answerSearch(h.startStationSearch(), {foundDevice("s", "10.0.0.9")});
        QCOMPARE(int(FakeLog::beginRecords().size()), 0);

        QTemporaryDir dir;
        QFile file(dir.filePath("devices.csv"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("ip,port\n10.0.0.1,80\n") > 0);
        file.close();
        h.wrapper().sendResult = false;
        QCOMPARE(h.call("searchDevices", {0, 7}).toBool(), false);
        QCOMPARE(h.call("searchStations").toBool(), false);
        // No topology plug-in to check the imported device against.
        h.call("importDevices", {QUrl::fromLocalFile(file.fileName())});
        QVERIFY(h.plugin()->InitialPluginBase(nullptr, PluginHarness::hostContext(), nullptr));
        QCOMPARE(h.call("searchDevices", {0, 0}).toBool(), false); // no wrapper at all
        const char* sendFailed = "%s, send command to server failed";
        verifyRecords({{sendFailed, "PluginDeviceSearch::searchDevices", "Reqs"},
                       {sendFailed, "PluginDeviceSearch::searchStations", "Reqs"},
                       {"%s, GetStandardTopologyModel failed", "PluginDeviceSearch::GetStandardTopologyModel", "Utls"},
                       {"Standard Topology Model is nullptr: %s", "PluginDeviceSearch::CheckCameraExistedInTopology", "Utls"},
                       {sendFailed, "PluginDeviceSearch::searchDevices", "Reqs"}});

        FakeLog::reset();
        FakeLog::setBeginResult(1);
        QCOMPARE(h.call("searchStations").toBool(), false);
        QCOMPARE(int(FakeLog::beginRecords().size()), begins() ? 1 : 0);
        QCOMPARE(int(FakeLog::writeRecords().size()), 0);
    }
};

QTEST_MAIN(tst_SpineLogging)
#include "tst_spine_logging.moc"
