#include "PluginHarness.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

class tst_Smoke : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void searchAnswerFillsCameraRows()
    {
        PluginHarness h;
        QAbstractItemModelTester tester(h.cameraModel());
        const QString id = h.startDeviceSearch();
        QSignalSpy spy(h.object(), SIGNAL(searchDevicesResp(bool, bool)));
        h.answerSearch(id, {foundDevice("a", "10.0.0.2"), foundDevice("b", "10.0.0.10")});
        QCOMPARE(spy.count(), 1);
        QCOMPARE(column(h.cameraModel(), Qt::UserRole + 3), QStringLiteral("10.0.0.2,10.0.0.10"));
        QVERIFY(metaCall(h.object(), "addDevice", {"host", 0, "10.1.1.1", 80}).toBool());
        QCOMPARE(h.cameraModel()->rowCount(), 3);
    }
};

QTEST_MAIN(tst_Smoke)
#include "tst_smoke.moc"
