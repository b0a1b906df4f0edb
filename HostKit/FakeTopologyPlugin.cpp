#include "FakeTopologyPlugin.h"

FakeTopologyPlugin::FakeTopologyPlugin(QObject* parent)
    : QObject(parent)
{
    m_model.appendRow(new QStandardItem(QStringLiteral("Site")));
}

void FakeTopologyPlugin::addChannel(const QString& ip, const QString& port, int channel, int channelNum)
{
    addChannelTo(root(), ip, port, channel, channelNum);
}

void FakeTopologyPlugin::addChannelTo(QStandardItem* parent, const QString& ip, const QString& port, int channel,
                                      int channelNum)
{
    auto* child = new QStandardItem(QStringLiteral("%1:%2/%3").arg(ip, port).arg(channel));
    child->setData(QVariantMap{{QStringLiteral("ipRole"), ip},
                               {QStringLiteral("portRole"), port},
                               {QStringLiteral("channelRole"), channel},
                               {QStringLiteral("channelNumRole"), channelNum}},
                   Qt::UserRole + 2);
    parent->appendRow(child);
}

QObject* FakeTopologyPlugin::getStandardTopologyModel()
{
    ++m_calls;
    if (m_returnsNull)
        return nullptr;
    return m_returnedObject ? m_returnedObject : &m_model;
}
