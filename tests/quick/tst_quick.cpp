#include "QmlHost.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

// Puts the host into each test file's engine as "host"; every test then loads a
// fresh plug-in object through it (host.reset()).
class QuickTestSetup : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->rootContext()->setContextProperty(QStringLiteral("host"), new QmlHost(engine));
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_quick, QuickTestSetup)

#include "tst_quick.moc"
