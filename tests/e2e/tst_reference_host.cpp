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

    void refusesToStart_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");

        QTest::newRow("plug-in of another interface") << QStringList{"--plugin", WRONG_INTERFACE_PLUGIN}
                                                      << "interface identifier is \"com.example.OtherHost.PluginInterface\"";
        QTest::newRow("plug-in of the same host with another id") << QStringList{"--plugin", WRONG_ID_PLUGIN}
                                                                  << "\"PluginID\" is \"1AA33B3D0AA047C9A202F1181284D2CD\"";
        QTest::newRow("site with a mistyped key") << QStringList{"--site", BAD_SITE} << "cameras[0]: unknown key \"pasword\"";
    }

    void refusesToStart()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QTemporaryDir pictures;
        QProcess host;
        QVERIFY(runScenario(host, arguments, pictures.path()));
        QCOMPARE(host.exitCode(), 2);
        const QString err = QString::fromUtf8(host.readAllStandardError());
        QVERIFY2(err.contains(message), qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(tst_ReferenceHost)
#include "tst_reference_host.moc"
