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

// The module id in the bits above the low byte, 2 in the low byte; a negative id
// keeps its two's-complement bits.
int expectedLevelWord()
{
    const quint32 module = registers() ? quint32(FakeLog::moduleId()) : 0u;
    return int((module << 8) | 2u);
}

// Every begin and write record against the messages expected, in order: level word,
// the compiler's path and line of the call, format and the function name filled in.
void verifyRecords(const QList<Expected>& expected)
{
    const auto& begun = FakeLog::calls().begins;
    const auto& written = FakeLog::calls().writes;
    const int beginsExpected = begins() ? expected.size() : 0;
    const int writesExpected = writes() ? expected.size() : 0;
    QCOMPARE(int(begun.size()), beginsExpected);
    QCOMPARE(int(written.size()), writesExpected);
    // The module id (0 when unregistered) in the high byte, level 2 (error) in the low one.
    for (size_t i = 0; i < begun.size(); ++i) {
        QCOMPARE(begun[i].handle, FakeLog::handle());
        QCOMPARE(begun[i].levelWord, expectedLevelWord());
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
        const QString message = QString::fromLatin1(expected.at(i).format).replace("%s", expected.at(i).function);
        QCOMPARE(QString::fromStdString(written[i].message), message);
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
        QCOMPARE(FakeLog::calls().entryCalls, 1);
        QCOMPARE(FakeLog::calls().entryArgument, 0);
        const auto& registrations = FakeLog::calls().registrations;
        const int registrationsExpected = registers() ? 1 : 0;
        QCOMPARE(int(registrations.size()), registrationsExpected);
        void* const handle = variant() == "null-handle" ? nullptr : FakeLog::handle();
        for (const auto& registration : registrations) {
            QCOMPARE(registration.handle, handle);
            QCOMPARE(registration.kind, 19);
            QCOMPARE(registration.moduleName.c_str(), "DeviceSearch");
        }
        h.answerSearch(h.startDeviceSearch(2), {foundDevice("a", "10.0.0.1")}, true);
        h.answerSearch(h.startStationSearch(), {foundDevice("s", "10.0.0.9")});
        QCOMPARE(int(FakeLog::calls().begins.size()), 0);

        QTemporaryDir dir;
        const QString list = writeFile(dir.filePath("devices.csv"), "ip,port\n10.0.0.1,80\n");
        h.wrapper().sendResult = false;
        QCOMPARE(h.call("searchDevices", {0, 7}).toBool(), false);
        QCOMPARE(h.call("searchStations").toBool(), false);
        // No topology plug-in to check the imported device against.
        h.call("importDevices", {QUrl::fromLocalFile(list)});
        QVERIFY(h.plugin()->InitialPluginBase(nullptr, PluginHarness::hostContext(), nullptr));
        QCOMPARE(h.call("searchDevices", {0, 0}).toBool(), false); // no wrapper at all
        const char* sendFailed = "%s, send command to server failed";
        verifyRecords({{sendFailed, "PluginDeviceSearch::searchDevices", "Reqs"},
                       {sendFailed, "PluginDeviceSearch::searchStations", "Reqs"},
                       {"%s, GetStandardTopologyModel failed", "PluginDeviceSearch::GetStandardTopologyModel", "Utls"},
                       {"Standard Topology Model is nullptr: %s", "PluginDeviceSearch::CheckCameraExistedInTopology", "Utls"},
                       {sendFailed, "PluginDeviceSearch::searchDevices", "Reqs"}});

        FakeLog::reset();
        FakeLog::calls().beginResult = 1;
        QCOMPARE(h.call("searchStations").toBool(), false);
        const int beginsAfter = begins() ? 1 : 0;
        QCOMPARE(int(FakeLog::calls().begins.size()), beginsAfter);
        QCOMPARE(int(FakeLog::calls().writes.size()), 0);
    }
};

QTEST_MAIN(tst_SpineLogging)
#include "tst_spine_logging.moc"
