#include "PluginHarness.h"

#include "Roles.h"

#include <Failure.h>

#include <QFile>
#include <QTest>

namespace {
// The kit's failures fail the running test function, as QVERIFY would.
QString pluginFileFailingTests()
{
    HostKit::setFailureHandler([](const QString& message) { QTest::qFail(qPrintable(message), __FILE__, __LINE__); });
    return QStringLiteral(PDS_PLUGIN_FILE);
}
} // namespace

PluginHarness::PluginHarness(bool initialise)
    : PluginSession(pluginFileFailingTests(), initialise)
{
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

QStringList statusNames(const QAbstractItemModel* model, int role)
{
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row)
        names.append(statusName(model->index(row, 0).data(role)));
    return names;
}

QString writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() ? path : QString();
}
