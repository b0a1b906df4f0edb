#include "ModelTesters.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

// The host as QML tests see it (context property "host"): loads the plug-in file with
// a recording framework wrapper, shows the commands sent and answers them.
class QmlHost : public QObject
{
    Q_OBJECT

public:
    // The old object goes first, or loading hands it out again; QML must never collect it.
    Q_INVOKABLE QObject* reset()
    {
        m_harness.reset();
        m_harness = std::make_unique<CheckedHarness>();
        QQmlEngine::setObjectOwnership(m_harness->object(), QQmlEngine::CppOwnership);
        return m_harness->cameraModel() ? m_harness->object() : nullptr;
    }

    // "relayPathIsNull": JavaScript cannot tell a null text from an empty one.
    Q_INVOKABLE QVariantMap lastCommand() const
    {
        const QVariant relayPath = last().map().value("relayPath");
        return {{"command", last().command}, {"parameters", last().parameters},
                {"relayPathIsNull", relayPath.metaType() == QMetaType::fromType<QString>() && relayPath.toString().isNull()}};
    }

    // Answers the newest command with its own user data, as the host does.
    Q_INVOKABLE void answerLast(const QVariantMap& result, const QString& resultCode = "0", bool done = true)
    {
        m_harness->answer(last().command, result, last().userData, resultCode, done);
    }

public Q_SLOTS:
    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->rootContext()->setContextProperty("host", this);
        connect(engine, &QObject::destroyed, this, [this] { m_harness.reset(); });
    }

private:
    SentCommand last() const { return m_harness->wrapper().sent.value(m_harness->wrapper().sent.size() - 1); }

    std::unique_ptr<CheckedHarness> m_harness;
};

QUICK_TEST_MAIN_WITH_SETUP(tst_quick, QmlHost)

#include "tst_quick.moc"
