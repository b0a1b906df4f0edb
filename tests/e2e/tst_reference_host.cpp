#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

// False when the host crashed or timed out. Pictures draw the screens, which read every row of the models.
bool runScenario(QProcess& host, QStringList arguments, const QString& pictures)
{
    host.start(QStringLiteral(REFERENCE_HOST), arguments << "--scenario" << "--screenshots" << pictures);
    return host.waitForFinished(280000) && host.exitStatus() == QProcess::NormalExit;
}

QStringList linesOf(const QString& text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class tst_ReferenceHost : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The whole report of the standard flow on the demo site, rows and counts, against
    // one reviewed by hand. An intended change: review `diff -u` of the two files the
    // failure names, then copy the new report over the old.
    void demoScenarioGivesTheReviewedReport()
    {
        QTemporaryDir pictures;
        QProcess host;
        const bool ran = runScenario(host, {}, pictures.path());
        QString report = QString::fromUtf8(host.readAllStandardOutput());
        const QString errors = QString::fromUtf8(host.readAllStandardError());
        QVERIFY2(ran && host.exitCode() == 0, qPrintable(errors + report.right(2000)));
        // A QML warning means a screen showed something other than it should.
        QVERIFY2(!errors.contains(QLatin1String(".qml:")), qPrintable(errors.left(4000)));

        // Where this build and this run put things is not part of the report.
        report.replace(QFileInfo(QStringLiteral(REFERENCE_HOST)).absolutePath(), QStringLiteral("<bin>"))
            .replace(QDir(pictures.path()).absolutePath(), QStringLiteral("<pictures>"));
        QFile actual(QStringLiteral(ACTUAL_REPORT));
        QVERIFY(actual.open(QIODevice::WriteOnly) && actual.write(report.toUtf8()) == report.toUtf8().size());
        actual.close();
        QFile expected(QStringLiteral(EXPECTED_REPORT));
        QVERIFY(expected.open(QIODevice::ReadOnly));
        const QStringList expectedLines = linesOf(QString::fromUtf8(expected.readAll()));
        qInfo("report: %s, reviewed: %s", ACTUAL_REPORT, EXPECTED_REPORT);
        QCOMPARE(linesOf(report), expectedLines);
    }

    // A generated site larger than a printed table: every step runs, long tables are cut
    // and say so, the counts still cover every row.
    void generatedSiteRunsThrough()
    {
        QTemporaryDir pictures;
        QProcess host;
        const bool ran = runScenario(host, {"--site-cameras", "1500"}, pictures.path());
        const QString report = QString::fromUtf8(host.readAllStandardOutput());
        const QString errors = QString::fromUtf8(host.readAllStandardError());
        QVERIFY2(ran && host.exitCode() == 0, qPrintable(errors + report.right(2000)));
        QVERIFY2(!errors.contains(QLatin1String(".qml:")), qPrintable(errors.left(4000)));
        QVERIFY(report.startsWith("Site \"Generated site of 1500 cameras\": 1500 cameras"));
        QVERIFY(report.contains("more rows left out: a table of more than 1000 rows shows its first 100"));
        // Twenty-five rounds of the demo's cameras, each copy behaving as the camera it
        // copies: twenty-five times the demo's counts
        // (Checking=1 Authorized=40 Rejected=4 Failed=4 Offline=4 total=53).
        QVERIFY2(report.contains("counts[authorize]: Checking=25 Authorized=1000 Rejected=100 Unreachable=0 "
                                 "Failed=100 Offline=100 NotChecked=0 total=1325\n"),
                 qPrintable(report.right(2000)));
        QVERIFY(report.contains("Scenario done: 5 commands went to the server."));
    }

    void refusesToStart_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");

        QTest::newRow("plug-in of another interface") << QStringList{"--plugin", WRONG_INTERFACE_PLUGIN} << 2
                                                      << "interface identifier is \"com.example.OtherHost.PluginInterface\"";
        QTest::newRow("plug-in of the same host with another id") << QStringList{"--plugin", WRONG_ID_PLUGIN} << 2
                                                                  << "\"PluginID\" is \"1AA33B3D0AA047C9A202F1181284D2CD\"";
        QTest::newRow("site with a mistyped key") << QStringList{"--site", BAD_SITE} << 2
                                                  << "cameras[0]: unknown key \"pasword\"";
        QTest::newRow("generated site of no cameras") << QStringList{"--site-cameras", "0"} << 64
                                                      << "--site-cameras needs a number of cameras from 1 to 1000000";
        QTest::newRow("generated site of a word") << QStringList{"--site-cameras", "many"} << 64
                                                  << "--site-cameras needs a number";
    }

    void refusesToStart()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTemporaryDir pictures;
        QProcess host;
        QVERIFY(runScenario(host, arguments, pictures.path()));
        QCOMPARE(host.exitCode(), exitCode);
        const QString err = QString::fromUtf8(host.readAllStandardError());
        QVERIFY2(err.contains(message), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(tst_ReferenceHost)
#include "tst_reference_host.moc"
