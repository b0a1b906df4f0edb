#include "PluginHarness.h"

#include <QAbstractItemModelTester>
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
    explicit QmlHost(QQmlEngine* engine) : QObject(engine), m_engine(engine) {}

    QObject* plugin() const { return m_harness ? m_harness->object() : nullptr; }

    // Replaces the plug-in object by a fresh one whose four models are under test, so
    // every test starts from empty models, filters and request ids.
    Q_INVOKABLE bool reset()
    {
        // The old object goes first: while it lives, loading hands out that one again.
        m_harness.reset();
        m_harness = std::make_unique<PluginHarness>(false);
        // The host owns the root object; QML must never collect it.
        QQmlEngine::setObjectOwnership(plugin(), QQmlEngine::CppOwnership);
        const bool initialised = m_harness->plugin()->InitialPluginBase(
            m_engine->rootContext(), PluginHarness::hostContext(), &m_harness->wrapper());
        for (auto* model : QList<QAbstractItemModel*>{m_harness->cameraModel(), m_harness->cameraProxy(),
                                                      m_harness->stationModel(), m_harness->stationProxy()}) {
            if (model)
                new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::Fatal, model);
        }
        Q_EMIT pluginChanged();
        return initialised;
    }

    // The newest command: "command", "parameters" as sent, and "relayPathIsNull",
    // which JavaScript cannot tell apart from an empty text.
    Q_INVOKABLE QVariantMap lastCommand() const
    {
        const SentCommand sent = m_harness->wrapper().sent.value(m_harness->wrapper().sent.size() - 1);
        const QVariant relayPath = sent.map().value(QStringLiteral("relayPath"));
        return {{QStringLiteral("command"), sent.command},
                {QStringLiteral("parameters"), sent.parameters},
                {QStringLiteral("relayPathIsNull"),
                 relayPath.metaType() == QMetaType::fromType<QString>() && relayPath.toString().isNull()}};
    }

    // Answers the newest command with its own user data, as the host does.
    Q_INVOKABLE void answerLast(const QVariantMap& result, const QString& resultCode = QStringLiteral("0"),
                                bool done = true)
    {
        const SentCommand sent = m_harness->wrapper().sent.value(m_harness->wrapper().sent.size() - 1);
        m_harness->answer(sent.command, result, sent.userData, resultCode, done);
    }

    // Every role of a camera row, by name where the role has one, else by number.
    Q_INVOKABLE QVariantMap cameraRow(int row) const
    {
        const QStandardItemModel* model = m_harness->cameraModel();
        QVariantMap values;
        for (int role = Qt::UserRole; role <= Qt::UserRole + 20; ++role)
            values.insert(model->roleNames().value(role, QByteArray::number(role)), model->index(row, 0).data(role));
        return values;
    }

Q_SIGNALS:
    void pluginChanged();

private:
    QQmlEngine* m_engine;
    std::unique_ptr<PluginHarness> m_harness;
};

// Puts the host into each test file's engine as "host".
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
