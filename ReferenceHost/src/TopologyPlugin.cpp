#include "TopologyPlugin.h"

const QString TopologyPlugin::PluginId = QStringLiteral("1AA33B3D0AA047C9A202F1181284D2CD");

namespace {
constexpr int DeviceRole = Qt::UserRole + 2;
}

TopologyPlugin::TopologyPlugin(const Site& site, QObject* parent)
    : QObject(parent)
{
    auto* root = new QStandardItem(site.name);
    for (const TopologyDevice& device : site.topology) {
        for (int channel : device.channels) {
            auto* item = new QStandardItem(QStringLiteral("%1:%2 channel %3").arg(device.ip, device.port).arg(channel));
            item->setData(QVariantMap{{QStringLiteral("ipRole"), device.ip},
                                      {QStringLiteral("portRole"), device.port},
                                      {QStringLiteral("channelRole"), channel},
                                      {QStringLiteral("channelNumRole"), device.channelNum}},
                          DeviceRole);
            root->appendRow(item);
        }
    }
    m_model.appendRow(root);
}

QObject* TopologyPlugin::getStandardTopologyModel()
{
    return &m_model;
}
