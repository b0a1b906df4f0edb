#pragma once

#include <QObject>
#include <QStandardItemModel>

// Stands in for the host's topology plug-in: its standard topology model holds the
// managed devices as children of the first top-level item, one child per channel,
// each carrying a map under Qt::UserRole + 2.
class FakeTopologyPlugin : public QObject
{
    Q_OBJECT

public:
    static constexpr const char* PluginId = "1AA33B3D0AA047C9A202F1181284D2CD";

    explicit FakeTopologyPlugin(QObject* parent = nullptr);

    // Adds one channel child under the first top-level item.
    void addChannel(const QString& ip, const QString& port, int channel, int channelNum);
    // Adds a child under parent (for grandchildren and other top-level items).
    static void addChannelTo(QStandardItem* parent, const QString& ip, const QString& port, int channel,
                             int channelNum);

    QStandardItemModel* model() { return &m_model; }
    QStandardItem* root() { return m_model.item(0); }

    // Null makes the plug-in answer with no model at all.
    void setReturnsNull(bool returnsNull) { m_returnsNull = returnsNull; }
    // Hands out object instead of its model, as a topology of another type would.
    void setReturnedObject(QObject* object) { m_returnedObject = object; }
    int calls() const { return m_calls; }

    Q_INVOKABLE QObject* getStandardTopologyModel();

private:
    QStandardItemModel m_model;
    bool m_returnsNull = false;
    QObject* m_returnedObject = nullptr;
    int m_calls = 0;
};
