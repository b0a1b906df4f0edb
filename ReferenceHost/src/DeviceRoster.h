#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

// What the screens ask of a device model row by row, answered from C++ so that no
// per-row signal makes QML walk the rows: the role numbers behind the role names, the
// rows per status (kept up to date from the model's own signals), and look-ups by id
// and by address. The counts are current at every moment; their change is told once
// per event-loop turn, so a burst of answers re-evaluates the screens once, not once
// per row. Works on any model whose rows carry "idRole", "statusRole",
// "ipRole" and "portRole" (the camera model and the station model both do).
class DeviceRoster : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // A QObject for QML's sake: the plug-in hands its models out as QObject.
    Q_PROPERTY(QObject* model READ model WRITE setModel NOTIFY modelChanged)
    Q_PROPERTY(QVariantMap roles READ roles NOTIFY rolesChanged)
    Q_PROPERTY(QList<int> counts READ counts NOTIFY countsChanged)
    Q_PROPERTY(int count READ count NOTIFY countsChanged)

public:
    // Statuses counted one by one; any other value counts under none of them.
    static constexpr int StatusCount = 7;

    explicit DeviceRoster(QObject* parent = nullptr);

    QAbstractItemModel* model() const { return m_model; }
    // Anything that is not an item model counts as no model.
    void setModel(QObject* object);

    // Role name to role number, as the model's roleNames() gives them.
    QVariantMap roles() const { return m_roles; }
    // Rows per status 0 .. StatusCount - 1.
    QList<int> counts() const { return m_counts; }
    int count() const { return int(m_statuses.size()); }

    // The number of a role name; -1 when the model has no such role.
    Q_INVOKABLE int role(const QString& name) const;
    // The value of a role of the first row with this id; undefined when no row has it.
    Q_INVOKABLE QVariant value(const QString& id, const QString& roleName);
    // Some row has this IP address and port.
    Q_INVOKABLE bool hasAddress(const QString& ip, int port);
    // The ids of the rows of view (this roster's model, or a proxy of it) in the order
    // shown, leaving out rows whose status is one of skippedStatuses.
    Q_INVOKABLE QStringList shownIds(QObject* view, const QList<int>& skippedStatuses = {}) const;

Q_SIGNALS:
    void modelChanged();
    void rolesChanged();
    void countsChanged();

private:
    void readRoles();
    void rebuild();
    void rowsInserted(const QModelIndex& parent, int first, int last);
    void rowsRemoved(const QModelIndex& parent, int first, int last);
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles);
    int statusOf(int row) const;
    void count(int status, int delta);
    void notifyCounts();
    int rowOf(const QString& id);
    void indexIds();
    void addId(int row);

    QPointer<QAbstractItemModel> m_model;
    QVariantMap m_roles;
    int m_idRole = -1;
    int m_statusRole = -1;
    int m_ipRole = -1;
    int m_portRole = -1;

    QList<int> m_statuses;  // one per row, in row order
    QList<int> m_counts;
    bool m_countsNotifyPending = false;
    // Both rebuilt on the next look-up once a change moved rows or rewrote values.
    QHash<QString, int> m_rowOfId;
    bool m_idsStale = true;
    QSet<QString> m_addresses;
    bool m_addressesStale = true;
};
