#include "ModelTesters.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QtQuickTest>

#include <memory>

// The host as QML tests see it (context property "host"): it loads the plug-in file,
// connects the root object to a recording framework wrapper, and lets a test read
// the commands sent and answer them as the host's server would.
class QmlHost : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QObject* plugin READ plugin NOTIFY pluginChanged)

public:
    explicit QmlHost(QQmlEngine* engine) : QObject(engine) {}

    QObject* plugin() const { return m_harness ? m_harness->object() : nullptr; }

    // A fresh plug-in object whose four models are checked, so every test starts from
    // empty models, filters and request ids. The old object goes first: while it
    // lives, loading hands out that one again.
    Q_INVOKABLE bool reset()
    {
        m_harness.reset();
        m_harness = std::make_unique<CheckedHarness>();
        // The host owns the root object; QML must never collect it.
        QQmlEngine::setObjectOwnership(plugin(), QQmlEngine::CppOwnership);
        Q_EMIT pluginChanged();
        return m_harness->cameraModel();
    }

    // The newest command: "command", "parameters" as sent, and "relayPathIsNull",
    // which JavaScript cannot tell apart from an empty text.
    Q_INVOKABLE QVariantMap lastCommand() const
    {
        const SentCommand sent = m_harness->wrapper().sent.value(m_harness->wrapper().sent.size() - 1);
        const QVariant relayPath = sent.map().value("relayPath");
        return {{"command", sent.command}, {"parameters", sent.parameters},
                {"relayPathIsNull", relayPath.metaType() == QMetaType::fromType<QString>() && relayPath.toString().isNull()}};
    }

    // Answers the newest command with its own user data, as the host does.
    Q_INVOKABLE void answerLast(const QVariantMap& result, const QString& resultCode = "0", bool done = true)
    {
        const SentCommand sent = m_harness->wrapper().sent.value(m_harness->wrapper().sent.size() - 1);
        m_harness->answer(sent.command, result, sent.userData, resultCode, done);
    }

Q_SIGNALS:
    void pluginChanged();

private:
    std::unique_ptr<CheckedHarness> m_harness;
};

// Puts the host into the test's engine as "host".
class QuickTestSetup : public QObject
{
    Q_OBJECT

public Q_SLOTS:
    void qmlEngineAvailable(QQmlEngine* engine)
    {
        engine->rootContext()->setContextProperty("host", new QmlHost(engine));
    }
};

QUICK_TEST_MAIN_WITH_SETUP(tst_quick, QuickTestSetup)

#include "tst_quick.moc"
