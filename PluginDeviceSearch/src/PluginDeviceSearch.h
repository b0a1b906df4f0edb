#pragma once

#include "AuthorizeContextStore.h"
#include "DeferredItemRelease.h"
#include "DeviceInfo.h"
#include "IDeviceListParser.h"
#include "PendingAuthorizations.h"
#include "PluginDeviceSearchCommon.h"

#include <PluginBase.h>

#include <QHash>
#include <QSharedPointer>
#include <QStringList>
#include <QUrl>
#include <QVariant>

class CameraIndex;
class CameraRow;
struct CameraInfo;
class CameraSortFilterModel;
class QModelIndex;
class QStandardItem;
class QStandardItemModel;
class StationTableModel;
class StationTableSortFilterModel;
class TopologyIndex;

// Device search for the host's QML screens. The host loads this plug-in, connects it
// with InitialPluginBase and delivers command answers and events through the
// processors; QML calls the invokable methods and binds to the four models.
//
// Everything runs on the host's GUI thread: the plug-in has no thread, lock or timer.
class PluginDeviceSearch : public PluginBase
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "com.QUORLAN.UIFramework.PluginInterface" FILE "PluginDeviceSearch.json")
    Q_INTERFACES(PluginBase)

public:
    enum DeviceStatus {
        Checking = 0,       // a check or an authorization request is outstanding
        Authorized = 1,     // detection result 0, or a successful login
        DetectCode1 = 2,    // detection result 1
        DetectCode2 = 3,    // detection result 2
        Failed = 4,         // any other detection result, or a failed command
        Offline = 5,        // credentials stored without a login
        NotChecked = 6,
    };

    PluginDeviceSearch();
    ~PluginDeviceSearch() override;

    bool InitialPluginBase(QQmlContext* context, void* hostContext, FrameworkWrapperBase* wrapper) override;
    void EventProcessor(QString event, qint64 time, int source, int type, QVariant data,
                        const QString& error) override;
    void EventProcessorEx(QString event, ConfigBase* config, qint64 time, int source, int type, QVariant data,
                          const QString& error) override;
    void CommandProcessor(QString command, QVariant result, void* userData, QString resultCode,
                          QString resultText, bool done, const QString& extra) override;
    void CommandProcessorEx(QString command, ConfigBase* config, QVariant result, void* userData,
                            QString resultCode, QString resultText, bool done, const QString& extra) override;
    bool Init(QQmlContext* context) override;

    void SetDeviceListParser(const QSharedPointer<IDeviceListParser>& parser);

    Q_INVOKABLE bool searchDevices(int type, int flag, const QString& relayPath = QString(), int maxRet = -1);
    Q_INVOKABLE bool refreshDevices(int type, int flag, const QString& relayPath = QString(), int maxRet = -1);
    Q_INVOKABLE QObject* getCameraModel();
    Q_INVOKABLE QObject* getCameraSortFilterModel();
    Q_INVOKABLE bool authorize(const QString& uid, const QString& username, const QString& password);
    Q_INVOKABLE bool authorizeList(const QStringList& uidList, const QString& username, const QString& password);
    Q_INVOKABLE bool setAuthorization(const QStringList& uidList, const QString& username, const QString& password);
    Q_INVOKABLE bool addDevice(const QString& hostName, int type, const QString& host, ushort port,
                               const QString& modelName = QString(), int brand = 0, const QString& mac = QString(),
                               const QString& url = QString(), const QString& relayPath = QString(),
                               bool useSSL = false, const QString& streamingProtocol = QStringLiteral("TCP"));
    Q_INVOKABLE QVariant importDevices(const QUrl& urlFile);
    Q_INVOKABLE bool searchStations();
    Q_INVOKABLE QObject* getSearchedStationModel();
    Q_INVOKABLE QObject* getSearchedStationSortFilterModel();
    Q_INVOKABLE QVariantList getAllIdInSearchedStationSortFilterModel();
    Q_INVOKABLE QVariantList getStationsNeedToBeAuthorized() const;
    Q_INVOKABLE void removeRowInSearchedStationTableModel(const QString& id);
    Q_INVOKABLE void addStation(const QVariantMap& stationInfoMap);
    Q_INVOKABLE void setQRLNModelBrand(const QString& brandName);

Q_SIGNALS:
    void searchDevicesResp(bool success, bool done);
    void searchStationsResp(bool success, bool done);
    void deviceAuthorized(const QString& id, PluginDeviceSearch::DeviceStatus status);
    void addOfflineCamera(const QString& id, PluginDeviceSearch::DeviceStatus status);
    void addDeviceResp(const QString& devID);
    void devicesExist();
    void importFileNotAllCorrect(uint numWrongFormat);

private:
    // Requests (PluginDeviceSearch_Reqs.cpp)
    struct SearchRequest
    {
        QString requestId;
        QVariantMap parameters;
    };
    SearchRequest BuildSearchParameters(int type, int flag, const QString& relayPath, int maxRet) const;
    bool SendToHost(const QString& command, const QVariant& parameters, void* userData);
    enum class SearchSent { Refused, Superseded, Current };
    // Sends a search and, when it is still the newest of its kind once SendCommand has
    // returned, makes it the current one.
    SearchSent SendSearch(const SearchRequest& request, QString& requestId, quint64& searchesStarted);
    void CleanModelAndKeepManualItems();
    bool IsAllAuthorized(const QStringList& uidList) const;
    bool IsSendable(const QStandardItem* item) const;
    void MarkListPending(const void* context, const QStringList& sent,
                         const QList<QStandardItem*>& rowsFound, quint64 lossesWhenFound);

    // Answers and row builders (PluginDeviceSearch_Resps.cpp)
    void HandleSearchDevicesResp(const QVariant& result, void* userData, const QString& resultCode, bool done);
    // Both return false when a slot started a newer search of their kind meanwhile.
    bool SetToSearchedModel(const QVariantList& devList, PluginDeviceSearch::DeviceStatus status);
    bool SetToStationModel(const QVariantList& devList);
    DeviceInfo createDeviceInfo(const QVariantMap& device) const;
    CameraInfo createCameraInfo(const QVariantMap& device, PluginDeviceSearch::DeviceStatus status) const;
    QStandardItem* createStationNode(const DeviceInfo& info) const;
    void HandleAuthorizeResp(const QVariant& result, void* userData, const QString& resultCode);
    void HandleAuthorizeListResp(const QVariant& result, void* userData, const QString& resultCode);
    void SetAuthorizeResult(const QVariantMap& result, const QString& uid, const QString& username,
                            const QString& password, const QString& resultCode);
    // An answer as SetAuthorizeResult applies it, read once for every row it covers.
    struct AuthorizeAnswer;
    AuthorizeAnswer ReadAuthorizeAnswer(const QVariantMap& result, const QString& username,
                                        const QString& password, const QString& resultCode) const;
    void ApplyAuthorizeAnswer(const AuthorizeAnswer& answer, const QString& uid);

    // Detection events (PluginDeviceSearch.cpp)
    void HandleDetectCameraResEvt(const QVariant& event);

    // Model utilities (PluginDeviceSearch_Utls.cpp)
    QHash<int, QByteArray> GetCameraRoleNames() const;
    QString ConvertToBrandName(PluginDeviceSearchCommon::Brand brand) const;
    void SetItemBrand(CameraRow& row, int brand) const;
    void SetItemMac(CameraRow& row, const QString& mac) const;
    QString AddHyphensToMac(const QString& mac) const;
    QStandardItem* GetCameraItem(const QString& id) const;
    bool IsInCameraModel(const QString& id) const;
    PluginDeviceSearch::DeviceStatus MapDetectStatus(int detectResult) const;
    bool IsAnotherAuthorizeRequestOutstanding(const QString& uid) const;
    void RemoveOneAuthorizeRequest(const QString& uid);
    void RemoveAllAuthorizeRequest(const QString& uid);
    QStandardItemModel* GetStandardTopologyModel();
    bool CheckCameraExistedInTopology(const QString& ip, const QString& port);
    bool CheckCameraExistedInModel(const QStandardItemModel* model, const QModelIndex& parent, const QString& ip,
                                   const QString& port) const;

    void* m_hostContext = nullptr;
    FrameworkWrapperBase* m_frameworkWrapper = nullptr;
    QString m_deviceSearchRequestId;
    QString m_stationSearchRequestId;
    // Searches accepted so far, so that an answer or an outer call can tell that QML
    // started a newer search while it ran.
    quint64 m_deviceSearchesStarted = 0;
    quint64 m_stationSearchesStarted = 0;
    QStandardItemModel* m_cameraModel = nullptr;
    CameraSortFilterModel* m_cameraSortFilterModel = nullptr;
    QSharedPointer<IDeviceListParser> m_deviceListParser;
    StationTableModel* m_stationModel = nullptr;
    StationTableSortFilterModel* m_stationSortFilterModel = nullptr;
    PendingAuthorizations m_pendingAuthorizations;
    QString m_qrlnModelBrand;

    CameraIndex* m_cameraIndex = nullptr;
    AuthorizeContextStore m_authorizeContexts;
    // The topology by address while an import runs, or null.
    TopologyIndex* m_importTopology = nullptr;
    // Rows a search or a refresh cleared away, freed over the next turns of the loop.
    DeferredItemRelease m_clearedRows;
};

Q_DECLARE_METATYPE(PluginDeviceSearch::DeviceStatus)
