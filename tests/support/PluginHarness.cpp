#include "PluginHarness.h"

#include <QTest>

PluginHarness::PluginHarness(bool initialise)
    : m_loader(QStringLiteral(PDS_PLUGIN_FILE))
{
    m_object = m_loader.instance();
    if (!m_object)
        QTest::qFail(qPrintable(m_loader.errorString()), __FILE__, __LINE__);
    m_plugin = qobject_cast<PluginBase*>(m_object);
    if (initialise && m_plugin)
        this->initialise();
}

PluginHarness::~PluginHarness()
{
    // Never unload: the plug-in registered a QML type whose meta-object lives in it.
    delete m_object.data();
}

bool PluginHarness::initialise()
{
    return m_plugin->InitialPluginBase(nullptr, hostContext(), &m_wrapper);
}

static QVariant modelGetter(QObject* object, const char* name)
{
    return metaCall(object, name);
}

QStandardItemModel* PluginHarness::cameraModel() const
{
    return qobject_cast<QStandardItemModel*>(modelGetter(m_object, "getCameraModel").value<QObject*>());
}

QSortFilterProxyModel* PluginHarness::cameraProxy() const
{
    return qobject_cast<QSortFilterProxyModel*>(modelGetter(m_object, "getCameraSortFilterModel").value<QObject*>());
}

QStandardItemModel* PluginHarness::stationModel() const
{
    return qobject_cast<QStandardItemModel*>(modelGetter(m_object, "getSearchedStationModel").value<QObject*>());
}

QSortFilterProxyModel* PluginHarness::stationProxy() const
{
    return qobject_cast<QSortFilterProxyModel*>(
        modelGetter(m_object, "getSearchedStationSortFilterModel").value<QObject*>());
}

void PluginHarness::answer(const QString& command, const QVariant& result, void* userData,
                           const QString& resultCode, bool done)
{
    m_plugin->CommandProcessor(command, result, userData, resultCode, QString(), done, QString());
}

void PluginHarness::answerSearch(const QString& requestId, const QVariantList& devList, bool checkAuth,
                                 const QString& resultCode, bool done)
{
    QVariantMap result{{QStringLiteral("reqUID"), requestId}, {QStringLiteral("devList"), devList}};
    if (checkAuth)
        result.insert(QStringLiteral("checkAuth"), true);
    answer(QStringLiteral("searchDevice"), result, nullptr, resultCode, done);
}

void PluginHarness::event(const QString& name, const QVariant& data, const QString& error)
{
    m_plugin->EventProcessor(name, 0, 0, 0, data, error);
}

QString PluginHarness::startDeviceSearch(int flag)
{
    if (!call("searchDevices", {0, flag}).toBool())
        QTest::qFail("searchDevices was refused", __FILE__, __LINE__);
    return m_wrapper.lastRequestId();
}

QString PluginHarness::startStationSearch()
{
    if (!call("searchStations").toBool())
        QTest::qFail("searchStations was refused", __FILE__, __LINE__);
    return m_wrapper.lastRequestId();
}

QVariantMap foundDevice(const QString& id, const QString& ip, int httpPort, int brand, const QString& mac,
                        const QString& model)
{
    return QVariantMap{
        {QStringLiteral("delID"), id},   {QStringLiteral("IP"), ip},       {QStringLiteral("HttpPort"), httpPort},
        {QStringLiteral("HttpsPort"), 443}, {QStringLiteral("Brand"), brand}, {QStringLiteral("MAC"), mac},
        {QStringLiteral("Model"), model}, {QStringLiteral("searchType"), 0},
    };
}

QString column(const QAbstractItemModel* model, int role)
{
    QStringList values;
    for (int row = 0; row < model->rowCount(); ++row)
        values.append(model->index(row, 0).data(role).toString());
    return values.join(QLatin1Char(','));
}
