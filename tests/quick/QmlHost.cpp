#include "QmlHost.h"

#include <PluginBase.h>

#include <QAbstractItemModelTester>
#include <QFile>
#include <QQmlContext>
#include <QQmlEngine>
#include <QStandardItemModel>

namespace {

void* hostContext()
{
    return reinterpret_cast<void*>(quintptr(0xC0FFEE));
}

// Camera roles past the named ones; QML reaches them only through cameraRow().
const QHash<int, QString> kUnnamedCameraRoles{
    {Qt::UserRole + 15, QStringLiteral("previousStatusRole")},
    {Qt::UserRole + 16, QStringLiteral("manualRole")},
    {Qt::UserRole + 17, QStringLiteral("useSSLRole")},
    {Qt::UserRole + 18, QStringLiteral("streamingProtocolRole")},
    {Qt::UserRole + 19, QStringLiteral("rtspPortRole")},
    {Qt::UserRole + 20, QStringLiteral("streamUrlListRole")},
};

QAbstractItemModel* modelOf(QObject* plugin, const char* getter)
{
    QObject* model = nullptr;
    QMetaObject::invokeMethod(plugin, getter, Q_RETURN_ARG(QObject*, model));
    return qobject_cast<QAbstractItemModel*>(model);
}

} // namespace

QmlHost::QmlHost(QQmlEngine* engine)
    : QObject(engine)
    , m_engine(engine)
    , m_loader(QStringLiteral(PDS_PLUGIN_FILE))
{
}

QmlHost::~QmlHost()
{
    // Never unload: the plug-in registered a QML type whose meta-object lives in it.
    delete m_object.data();
}

bool QmlHost::reset()
{
    delete m_object.data();
    m_plugin = nullptr;
    m_wrapper = FakeFrameworkWrapper();
    m_topology = std::make_unique<FakeTopologyPlugin>();
    m_wrapper.pluginObjects.insert(QString::fromLatin1(FakeTopologyPlugin::PluginId), m_topology.get());

    m_object = m_loader.instance();
    m_plugin = qobject_cast<PluginBase*>(m_object);
    if (!m_plugin) {
        qWarning("cannot load %s: %s", PDS_PLUGIN_FILE, qPrintable(m_loader.errorString()));
        Q_EMIT pluginChanged();
        return false;
    }
    // The host owns the root object; QML must never collect it.
    QQmlEngine::setObjectOwnership(m_object, QQmlEngine::CppOwnership);
    const bool initialised = m_plugin->InitialPluginBase(m_engine->rootContext(), hostContext(), &m_wrapper);
    if (initialised) {
        for (const char* getter : {"getCameraModel", "getCameraSortFilterModel", "getSearchedStationModel",
                                   "getSearchedStationSortFilterModel"}) {
            QAbstractItemModel* model = modelOf(m_object, getter);
            new QAbstractItemModelTester(model, QAbstractItemModelTester::FailureReportingMode::Fatal, model);
        }
    }
    Q_EMIT pluginChanged();
    return initialised;
}

QVariantMap QmlHost::lastCommand() const
{
    if (m_wrapper.sent.isEmpty())
        return {};
    const SentCommand& sent = m_wrapper.last();
    const QVariant relayPath = sent.map().value(QStringLiteral("relayPath"));
    return {
        {QStringLiteral("command"), sent.command},
        {QStringLiteral("parameters"), sent.parameters},
        {QStringLiteral("relayPathIsNull"),
         relayPath.metaType() == QMetaType::fromType<QString>() && relayPath.toString().isNull()},
    };
}

void QmlHost::answerLast(const QVariantMap& result, const QString& resultCode, bool done)
{
    if (!m_plugin || m_wrapper.sent.isEmpty())
        return;
    const SentCommand& sent = m_wrapper.last();
    m_plugin->CommandProcessor(sent.command, result, sent.userData, resultCode, QString(), done, QString());
}

void QmlHost::answerSearch(const QString& requestId, const QVariantList& devList, const QString& resultCode,
                           bool done)
{
    if (!m_plugin)
        return;
    const QVariantMap result{{QStringLiteral("reqUID"), requestId}, {QStringLiteral("devList"), devList}};
    m_plugin->CommandProcessor(QStringLiteral("searchDevice"), result, nullptr, resultCode, QString(), done,
                               QString());
}

QVariantMap QmlHost::cameraRow(int row) const
{
    const QAbstractItemModel* model = m_object ? modelOf(m_object, "getCameraModel") : nullptr;
    if (!model || row < 0 || row >= model->rowCount())
        return {};
    const QModelIndex index = model->index(row, 0);
    QVariantMap values;
    const QHash<int, QByteArray> names = model->roleNames();
    for (auto it = names.cbegin(); it != names.cend(); ++it) {
        if (it.key() >= Qt::UserRole)
            values.insert(QString::fromLatin1(it.value()), index.data(it.key()));
    }
    for (auto it = kUnnamedCameraRoles.cbegin(); it != kUnnamedCameraRoles.cend(); ++it)
        values.insert(it.value(), index.data(it.key()));
    return values;
}

void QmlHost::addManagedDevice(const QString& ip, const QString& port)
{
    m_topology->addChannel(ip, port, 1, 1);
}

QUrl QmlHost::writeFile(const QString& name, const QStringList& lines)
{
    const QString path = m_files.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write(lines.join(QLatin1Char('\n')).toUtf8());
    return QUrl::fromLocalFile(path);
}
