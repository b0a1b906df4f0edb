#pragma once

#include "Site.h"

#include <QObject>
#include <QPointer>
#include <QVariant>

#include <functional>
#include <memory>

class PluginBase;

// The site's server as the client sees it. It takes the plug-in's commands and
// answers them later, from the event loop of the GUI thread, the way the real server's
// answers reach the client: searches in several batches, detection results as events,
// logins one answer per device. It never calls the plug-in from inside takeCommand.
class SimulatedServer : public QObject
{
    Q_OBJECT

public:
    static const QString FrameworkInternalError;
    static constexpr int StationSearchType = 24;
    // Detection and login results as the server reports them.
    enum DetectResult { Accepted = 0, Rejected = 1, Unreachable = 2, Unsupported = 3 };

    explicit SimulatedServer(const Site& site, QObject* parent = nullptr);

    // The plug-in object that receives answers and events.
    void setClient(QObject* pluginObject);

    // Returns whether the server took the command; unknown commands are refused.
    bool takeCommand(const QString& command, const QVariant& parameters, void* userData);

    // Nothing is left to deliver (commands whose fault is "no answer" never deliver).
    bool isIdle() const { return m_scheduled == 0; }
    int commandsTaken() const { return m_commandsTaken; }

    // Detection result of a camera for one set of credentials.
    static int detectResult(const SiteCamera& camera, const QList<SiteCredential>& tried);

Q_SIGNALS:
    void idle();

private:
    // Deliveries of one command happen one after the other, each delayMs after the
    // one before, so their order never depends on timer precision.
    struct Delivery
    {
        int delayMs = 0;
        std::function<void()> run;
    };

    void searchDevices(const QVariantMap& request);
    void searchStations(const QVariantMap& request);
    // The entries [from, to) of a search answer.
    using EntryRange = std::function<QVariantList(qsizetype from, qsizetype to)>;
    QList<Delivery> batches(const QVariantMap& request, qsizetype entries, const EntryRange& entriesOf);
    void authorizeDevice(const QVariantMap& device, void* userData);
    void authorizeDeviceList(const QVariantList& devices, void* userData);
    bool neverAnswers(const QVariantMap& device) const;
    // The answer to a login on one device; false when the device never answers.
    bool loginAnswer(const QVariantMap& device, bool perDevice, QVariantMap& result, QString& resultCode) const;

    QVariantMap cameraEntry(const SiteCamera& camera, int brand, int searchType) const;
    QVariantMap stationEntry(const SiteStation& station, int searchType) const;

    void deliverInOrder(QList<Delivery> deliveries);
    void scheduleNext(const std::shared_ptr<QList<Delivery>>& deliveries);
    void answer(const QString& command, const QVariantMap& result, void* userData, const QString& resultCode,
                bool done);
    void event(const QString& name, const QVariantMap& data);

    const Site m_site;
    QPointer<QObject> m_clientObject;
    PluginBase* m_client = nullptr;
    int m_scheduled = 0;
    int m_commandsTaken = 0;
};
