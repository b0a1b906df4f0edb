// Drives one plug-in object per input through an interleaving chosen by the fuzzer:
// host answers and events carrying arbitrary variant trees (typed values, decoded
// CBOR, JSON objects, hashes, shapes close to real answers), with steered command
// names, result codes, request ids and user data (null, a live authorization
// context, a stale one, a foreign pointer), mixed with the calls QML makes and with
// the writes a QML view may make to the models itself.
//
// The host also calls back, as a real one does: from inside SendCommand (a nested event
// loop) and from slots of the plug-in's signals and of the models' signals, QML makes
// random calls of its own (search, refresh, addDevice, authorize, authorizeList,
// setAuthorization, station removal and addition, filter and sort), nested up to
// kMaxReentry deep.
//
// A QAbstractItemModelTester on each of the four models aborts on any broken model
// invariant; Qt warnings abort too. After every step the fuzzer also checks that no
// camera or station row went missing unless the step is one that empties a model,
// that hand-added cameras survive a refresh, that camera ids stay unique, and that
// every status is one the plug-in knows.
#include "CameraRoles.h"
#include "CameraSortFilterModel.h"
#include "PluginDeviceSearch.h"
#include "StationTableModel.h"
#include "StationTableSortFilterModel.h"

#include <FrameworkWrapperBase.h>

#include <QAbstractItemModelTester>
#include <QCborValue>
#include <QCoreApplication>
#include <QJsonObject>
#include <QQmlEngine>
#include <QSet>
#include <QStandardItemModel>
#include <QUrl>

#include <fuzzer/FuzzedDataProvider.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

// Every input gets a fresh plug-in object, and Init registers the QML type each time.
// Qt keeps every registration, so the heap would grow by one registration per input
// and libFuzzer would run a full leak scan after each one. The host registers once per
// process; so does this fuzzer: a repeated registration of the same type answers the
// first one's result, anything else goes to Qt.
namespace QQmlPrivate {
int qmlregister(RegistrationType type, void* data)
{
    using Register = int (*)(RegistrationType, void*);
    static const auto qtRegister = reinterpret_cast<Register>(
        dlsym(RTLD_NEXT, "_ZN11QQmlPrivate11qmlregisterENS_16RegistrationTypeEPv"));
    static QHash<const QMetaObject*, int> registered;
    if (type != TypeRegistration)
        return qtRegister(type, data);
    const QMetaObject* metaObject = static_cast<RegisterType*>(data)->metaObject;
    const auto it = registered.constFind(metaObject);
    if (it != registered.cend())
        return *it;
    return registered[metaObject] = qtRegister(type, data);
}
} // namespace QQmlPrivate

namespace {

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "processors: %s\n", what);
    std::abort();
}

void abortOnWarnings(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::abort();
}

// The host side: records what was sent, answers as steered.
class Wrapper : public FrameworkWrapperBase
{
public:
    bool SendCommand(void*, const QString&, const QString& command, const QVariant& parameters, void* userData,
                     bool, const QString&) override
    {
        if (command == QLatin1String("searchDevice")) {
            const QString id = parameters.toMap().value(QStringLiteral("reqUID")).toString();
            if (parameters.toMap().value(QStringLiteral("searchType")).toInt() == 24)
                (accept ? stationIds : refusedIds).append(id);
            else
                (accept ? deviceIds : refusedIds).append(id);
        }
        if (userData)
            contexts.append(userData);
        const bool result = accept;
        if (duringSend)
            duringSend();
        return result;
    }
    QObject* GetPluginObject(void*, const QString&) override { return nullptr; }

    bool accept = true;
    std::function<void()> duringSend;  // QML's turn inside a nested event loop
    QStringList deviceIds;   // accepted device searches, oldest first
    QStringList stationIds;  // accepted station searches
    QStringList refusedIds;
    QList<void*> contexts;  // every context handed to the host, live or long settled
};

constexpr int kMaxSteps = 48;
constexpr int kMaxReentry = 2;
constexpr int kMaxDepth = 3;
constexpr size_t kMaxText = 48;

const QString kFrameworkError = QStringLiteral("{2C85B19D-AE6F-45D9-B8FE-DC436FCBEABE}FrameworkInternalError");

const QStringList kKeys{
    QStringLiteral("reqUID"),     QStringLiteral("checkAuth"),  QStringLiteral("devList"),
    QStringLiteral("delID"),      QStringLiteral("IP"),         QStringLiteral("HostName"),
    QStringLiteral("HttpPort"),   QStringLiteral("HttpsPort"),  QStringLiteral("MAC"),
    QStringLiteral("Model"),      QStringLiteral("Brand"),      QStringLiteral("QRLNModel"),
    QStringLiteral("searchType"), QStringLiteral("ChannelNum"), QStringLiteral("detRes"),
    QStringLiteral("CamRTSPPort"), QStringLiteral("StreamURLList"),
};

class Session
{
public:
    explicit Session(FuzzedDataProvider& in)
        : m_in(in)
    {
        if (!m_plugin.InitialPluginBase(nullptr, this, &m_wrapper))
            fail("Init failed");
        m_cameras = qobject_cast<QStandardItemModel*>(m_plugin.getCameraModel());
        m_cameraProxy = qobject_cast<CameraSortFilterModel*>(m_plugin.getCameraSortFilterModel());
        m_stations = qobject_cast<StationTableModel*>(m_plugin.getSearchedStationModel());
        m_stationProxy = qobject_cast<StationTableSortFilterModel*>(m_plugin.getSearchedStationSortFilterModel());
        if (!m_cameras || !m_cameraProxy || !m_stations || !m_stationProxy)
            fail("a model is missing after Init");
        for (QAbstractItemModel* model : {static_cast<QAbstractItemModel*>(m_cameras),
                                          static_cast<QAbstractItemModel*>(m_cameraProxy),
                                          static_cast<QAbstractItemModel*>(m_stations),
                                          static_cast<QAbstractItemModel*>(m_stationProxy)}) {
            m_testers.emplace_back(std::make_unique<QAbstractItemModelTester>(
                model, QAbstractItemModelTester::FailureReportingMode::Fatal));
        }
        listenForTurns();
    }

    void run()
    {
        for (int step = 0; step < kMaxSteps && m_in.remaining_bytes() > 0; ++step) {
            const Snapshot before = snapshot();
            m_reentered = false;
            const Effect effect = this->step();
            verify(before, m_reentered && effect != Effect::Foreign ? Effect::Reentered : effect);
        }
    }

private:
    // What a step may do to the rows, so the checks know which losses are allowed.
    enum class Effect {
        KeepsRows,           // nothing may go
        EmptiesCameras,      // an accepted search: every camera may go
        KeepsManualCameras,  // an accepted refresh: only searched cameras may go
        EmptiesStations,     // an accepted station search
        RemovesOneStation,
        Reentered,           // QML called in meanwhile: any row may go
        Foreign,             // a view wrote to a model itself: start counting again
    };

    struct Snapshot
    {
        QStringList cameraIds;
        QSet<QString> manualIds;
        int stations = 0;
    };

    Snapshot snapshot() const
    {
        Snapshot s;
        for (int row = 0; row < m_cameras->rowCount(); ++row) {
            const QModelIndex index = m_cameras->index(row, 0);
            const QString id = index.data(CameraRole::Id).toString();
            s.cameraIds.append(id);
            if (index.data(CameraRole::Manual).toBool())
                s.manualIds.insert(id);
        }
        s.stations = m_stations->rowCount();
        return s;
    }

    void verify(const Snapshot& before, Effect effect)
    {
        const Snapshot after = snapshot();
        if (effect == Effect::Foreign) {
            m_viewWrote = true;
            return;
        }
        const QSet<QString> afterIds(after.cameraIds.cbegin(), after.cameraIds.cend());
        if (!m_viewWrote && afterIds.size() != after.cameraIds.size())
            fail("two camera rows share an id");
        switch (effect) {
        case Effect::EmptiesCameras:
        case Effect::Reentered:
            break;
        case Effect::KeepsManualCameras:
            if (!afterIds.contains(before.manualIds))
                fail("a refresh lost a hand-added camera");
            break;
        default:
            for (const QString& id : before.cameraIds) {
                if (!afterIds.contains(id))
                    fail("a camera row went missing");
            }
        }
        if (effect != Effect::EmptiesStations && effect != Effect::Reentered) {
            const int allowed = effect == Effect::RemovesOneStation ? 1 : 0;
            if (after.stations < before.stations - allowed)
                fail("a station row went missing");
        }
        // A view may write any value anywhere; after that only the model tester judges.
        for (int row = 0; !m_viewWrote && row < m_cameras->rowCount(); ++row) {
            const int status = m_cameras->index(row, 0).data(CameraRole::Status).toInt();
            if (status < PluginDeviceSearch::Checking || status > PluginDeviceSearch::NotChecked)
                fail("a camera row with an unknown status");
        }
    }

    // ---- inputs

    int pick(int count) { return count <= 0 ? 0 : m_in.ConsumeIntegralInRange<int>(0, count - 1); }

    QString text(size_t max = kMaxText) { return QString::fromUtf8(m_in.ConsumeRandomLengthString(max)); }

    QString cameraId()
    {
        const int rows = m_cameras->rowCount();
        return rows ? m_cameras->index(pick(rows), 0).data(CameraRole::Id).toString() : QString();
    }

    QString stationId()
    {
        const int rows = m_stations->rowCount();
        return rows ? m_stations->index(pick(rows), 0).data(StationRole::Id).toString() : QString();
    }

    static QString lastOr(const QStringList& list) { return list.isEmpty() ? QString() : list.last(); }

    QString requestId()
    {
        switch (pick(6)) {
        case 0: return lastOr(m_wrapper.deviceIds);
        case 1: return lastOr(m_wrapper.stationIds);
        case 2: return m_wrapper.deviceIds.isEmpty() ? QString() : m_wrapper.deviceIds.at(pick(m_wrapper.deviceIds.size()));
        case 3: return lastOr(m_wrapper.refusedIds);
        case 4: return QString();
        default: return text();
        }
    }

    // Texts the plug-in compares against: ids it holds, ids it sent, protocol words.
    QString steeredText()
    {
        switch (pick(8)) {
        case 0: return cameraId();
        case 1: return stationId();
        case 2: return requestId();
        case 3: return kKeys.at(pick(kKeys.size()));
        case 4: return QString(m_in.ConsumeIntegralInRange<int>(0, 1 << 16), QChar(m_in.ConsumeIntegral<char16_t>()));
        case 5: return QStringLiteral("001122AABBCC");
        case 6: return QString::number(m_in.ConsumeIntegral<int>());
        default: return text();
        }
    }

    QVariant number()
    {
        switch (pick(7)) {
        case 0: return m_in.ConsumeIntegralInRange<int>(-2, 7);
        case 1: return m_in.ConsumeIntegral<int>();
        case 2: return m_in.ConsumeIntegral<qint64>();
        case 3: return m_in.ConsumeIntegral<quint64>();
        case 4: return m_in.ConsumeFloatingPoint<double>();
        case 5: return QVariant::fromValue(m_in.ConsumeIntegralInRange<ushort>(0, 65535));
        default: return QString::number(m_in.ConsumeIntegral<int>());
        }
    }

    QVariant cbor()
    {
        const std::string bytes = m_in.ConsumeRandomLengthString(256);
        QCborParserError error;
        const QCborValue decoded = QCborValue::fromCbor(QByteArray(bytes.data(), qsizetype(bytes.size())), &error);
        // Qt 6.4's toVariant() dereferences null for a string cut short in the input;
        // only well-formed CBOR becomes a variant tree here.
        return error.error == QCborError::NoError ? decoded.toVariant() : QVariant();
    }

    QVariant value(int depth)
    {
        switch (pick(depth >= kMaxDepth ? 9 : 14)) {
        case 0: return QVariant();
        case 1: return QVariant::fromValue(nullptr);
        case 2: return m_in.ConsumeBool();
        case 3: return number();
        case 4: return steeredText();
        case 5: return QByteArray::fromStdString(m_in.ConsumeRandomLengthString(kMaxText));
        case 6: return QStringList{steeredText(), text()};
        case 7: return cbor();
        case 8: return QUrl(text());
        case 9: return list(depth + 1);
        case 10: return map(depth + 1);
        case 11: return QJsonObject::fromVariantMap(map(depth + 1));
        case 12: return hash(depth + 1);
        default: return device(depth + 1);
        }
    }

    QVariantList list(int depth)
    {
        QVariantList result;
        for (int n = pick(7); n > 0; --n)
            result.append(value(depth));
        return result;
    }

    QVariantMap map(int depth)
    {
        QVariantMap result;
        for (int n = pick(7); n > 0; --n)
            result.insert(m_in.ConsumeBool() ? kKeys.at(pick(kKeys.size())) : text(8), value(depth));
        return result;
    }

    QVariantHash hash(int depth)
    {
        QVariantHash result;
        const QVariantMap entries = map(depth);
        for (auto it = entries.cbegin(); it != entries.cend(); ++it)
            result.insert(it.key(), it.value());
        return result;
    }

    // Close to what the server sends, with any key dropped or of another type.
    QVariantMap device(int depth)
    {
        QVariantMap result{
            {QStringLiteral("delID"), steeredText()},  {QStringLiteral("IP"), QStringLiteral("10.0.0.1")},
            {QStringLiteral("HttpPort"), 80},           {QStringLiteral("HttpsPort"), 443},
            {QStringLiteral("MAC"), QStringLiteral("001122AABBCC")},
            {QStringLiteral("Model"), QStringLiteral("M")}, {QStringLiteral("Brand"), pick(4)},
            {QStringLiteral("searchType"), 0},          {QStringLiteral("QRLNModel"), QStringLiteral("Q")},
            {QStringLiteral("HostName"), QStringLiteral("h")}, {QStringLiteral("detRes"), pick(4)},
            {QStringLiteral("ChannelNum"), 1},
        };
        for (int n = pick(4); n > 0; --n) {
            const QString key = kKeys.at(pick(kKeys.size()));
            if (m_in.ConsumeBool())
                result.remove(key);
            else
                result.insert(key, depth >= kMaxDepth ? number() : value(depth));
        }
        return result;
    }

    QVariant devList(int depth)
    {
        switch (pick(5)) {
        case 0: return value(depth);
        case 1: return list(depth);
        default: {
            QVariantList devices;
            for (int n = pick(9); n > 0; --n)
                devices.append(m_in.ConsumeBool() ? QVariant(device(depth)) : value(depth));
            return devices;
        }
        }
    }

    // An answer or event: mostly the shape the plug-in expects, sometimes anything.
    QVariant payload()
    {
        switch (pick(4)) {
        case 0: return value(0);
        case 1: return cbor();
        default: {
            QVariantMap result = m_in.ConsumeBool() ? device(1) : map(1);
            result.insert(QStringLiteral("reqUID"), requestId());
            if (m_in.ConsumeBool())
                result.insert(QStringLiteral("devList"), devList(1));
            if (m_in.ConsumeBool())
                result.insert(QStringLiteral("checkAuth"), m_in.ConsumeBool() ? QVariant(true) : value(2));
            return result;
        }
        }
    }

    void* userData()
    {
        static char foreign[16];
        const QList<void*>& handed = m_wrapper.contexts;
        switch (pick(5)) {
        case 0: return nullptr;
        case 1: return handed.isEmpty() ? nullptr : handed.last();
        case 2: return handed.isEmpty() ? nullptr : handed.at(pick(handed.size()));
        case 3: return foreign;
        default: return reinterpret_cast<void*>(quintptr(m_in.ConsumeIntegral<quint64>()));
        }
    }

    QString commandName()
    {
        static const QStringList names{QStringLiteral("searchDevice"), QStringLiteral("authorizeDevice"),
                                       QStringLiteral("authorizeDeviceList"), QStringLiteral("SearchDevice")};
        const int choice = pick(names.size() + 1);
        return choice < names.size() ? names.at(choice) : text(24);
    }

    QString resultCode()
    {
        switch (pick(5)) {
        case 0:
        case 1: return QStringLiteral("0");
        case 2: return kFrameworkError;
        case 3: return QStringLiteral("1");
        default: return text(24);
        }
    }

    QStringList uids()
    {
        QStringList result;
        for (int n = pick(6); n > 0; --n)
            result.append(m_in.ConsumeBool() ? cameraId() : steeredText());
        return result;
    }

    Qt::SortOrder order() { return m_in.ConsumeBool() ? Qt::AscendingOrder : Qt::DescendingOrder; }

    // ---- the host calling back

    // Every place where a real host or QML gets the turn while the plug-in works.
    void listenForTurns()
    {
        m_wrapper.duringSend = [this] { maybeReenter(); };
        const auto turn = [this] { maybeReenter(); };
        QObject::connect(&m_plugin, &PluginDeviceSearch::deviceAuthorized, &m_plugin, turn);
        QObject::connect(&m_plugin, &PluginDeviceSearch::addOfflineCamera, &m_plugin, turn);
        QObject::connect(&m_plugin, &PluginDeviceSearch::searchDevicesResp, &m_plugin, turn);
        QObject::connect(&m_plugin, &PluginDeviceSearch::searchStationsResp, &m_plugin, turn);
        QObject::connect(&m_plugin, &PluginDeviceSearch::addDeviceResp, &m_plugin, turn);
        QObject::connect(&m_plugin, &PluginDeviceSearch::devicesExist, &m_plugin, turn);
        // Only the signals that end a change: a slot may not change a model that is
        // about to change or still changing. layoutChanged is left out for that reason:
        // QStandardItemModel::setItem() emits it before it reports the new item, and a
        // model cleared in between leaves Qt itself writing to a deleted item.
        for (QAbstractItemModel* model : {static_cast<QAbstractItemModel*>(m_cameras),
                                          static_cast<QAbstractItemModel*>(m_stations)}) {
            QObject::connect(model, &QAbstractItemModel::dataChanged, &m_plugin, turn);
            QObject::connect(model, &QAbstractItemModel::rowsInserted, &m_plugin, turn);
            QObject::connect(model, &QAbstractItemModel::rowsRemoved, &m_plugin, turn);
            QObject::connect(model, &QAbstractItemModel::modelReset, &m_plugin, turn);
        }
    }

    void maybeReenter()
    {
        if (m_depth >= kMaxReentry || m_in.remaining_bytes() == 0 || m_in.ConsumeIntegralInRange<int>(0, 5) != 0)
            return;
        ++m_depth;
        m_reentered = true;
        qmlCall();
        --m_depth;
    }

    // A call QML may make whenever it has the turn.
    void qmlCall()
    {
        switch (pick(11)) {
        case 0: m_plugin.searchDevices(0, pick(8)); break;
        case 1: m_plugin.refreshDevices(0, pick(8)); break;
        case 2: m_plugin.addDevice(steeredText(), 0, QStringLiteral("10.0.0.9"), 80); break;
        case 3: m_plugin.authorize(cameraId(), steeredText(), text(8)); break;
        case 4: m_plugin.authorizeList(uids(), steeredText(), text(8)); break;
        case 5: m_plugin.setAuthorization(uids(), steeredText(), text(8)); break;
        case 6: m_plugin.removeRowInSearchedStationTableModel(stationId()); break;
        case 7: m_plugin.addStation(device(2)); break;
        case 8: m_plugin.searchStations(); break;
        case 9: m_cameraProxy->sortByRole(Qt::UserRole + pick(24) - 2, order()); break;
        default: m_cameraProxy->setFilterString(steeredText()); break;
        }
    }

    // ---- one step

    Effect step()
    {
        m_wrapper.accept = m_in.ConsumeIntegralInRange<int>(0, 7) != 0;
        switch (pick(21)) {
        case 0:
            return m_plugin.searchDevices(number().toInt(), pick(8), text(), m_in.ConsumeIntegral<int>())
                ? Effect::EmptiesCameras : Effect::KeepsRows;
        case 1:
            return m_plugin.refreshDevices(number().toInt(), pick(8), text(), m_in.ConsumeIntegral<int>())
                ? Effect::KeepsManualCameras : Effect::KeepsRows;
        case 2:
            return m_plugin.searchStations() ? Effect::EmptiesStations : Effect::KeepsRows;
        case 3:
        case 4:
        case 5:
        case 6:
            m_plugin.CommandProcessor(commandName(), payload(), userData(), resultCode(), text(8), m_in.ConsumeBool(),
                                      QString());
            return Effect::KeepsRows;
        case 7:
        case 8:
            m_plugin.EventProcessor(m_in.ConsumeIntegralInRange<int>(0, 3) ? QStringLiteral("detCamResEvt") : text(16),
                                    0, 0, 0, payload(), m_in.ConsumeIntegralInRange<int>(0, 3) ? QString() : text(8));
            return Effect::KeepsRows;
        case 9:
            m_plugin.authorize(m_in.ConsumeBool() ? cameraId() : steeredText(), steeredText(), text());
            return Effect::KeepsRows;
        case 10:
            m_plugin.authorizeList(uids(), steeredText(), text());
            return Effect::KeepsRows;
        case 11:
            m_plugin.setAuthorization(uids(), steeredText(), text());
            return Effect::KeepsRows;
        case 12:
            m_plugin.addDevice(steeredText(), number().toInt(), steeredText(), m_in.ConsumeIntegral<ushort>(),
                               steeredText(), number().toInt(), steeredText(), text(), text(), m_in.ConsumeBool(),
                               text(8));
            return Effect::KeepsRows;
        case 13:
            m_plugin.addStation(m_in.ConsumeBool() ? device(1) : map(1));
            return Effect::KeepsRows;
        case 14:
            m_plugin.removeRowInSearchedStationTableModel(m_in.ConsumeBool() ? stationId() : steeredText());
            return Effect::RemovesOneStation;
        case 15:
            switch (pick(3)) {
            case 0: m_cameraProxy->sortByRole(Qt::UserRole + pick(24) - 2, order()); break;
            case 1: m_cameraProxy->setFilterBrand(m_in.ConsumeBool() ? QStringLiteral("qrln") : steeredText()); break;
            default: m_cameraProxy->setFilterString(steeredText()); break;
            }
            return Effect::KeepsRows;
        case 16:
            if (m_in.ConsumeBool())
                m_stationProxy->sortByRole(Qt::UserRole + pick(16) - 1, order());
            else
                m_stationProxy->setFilterString(steeredText());
            return Effect::KeepsRows;
        case 17:
            m_plugin.getAllIdInSearchedStationSortFilterModel();
            m_plugin.getStationsNeedToBeAuthorized();
            return Effect::KeepsRows;
        case 18:
            m_plugin.setQRLNModelBrand(m_in.ConsumeBool() ? QString() : steeredText());
            return Effect::KeepsRows;
        case 19:
            if (m_stations->rowCount())
                m_stations->setData(m_stations->index(pick(m_stations->rowCount()), 0), number(),
                                    StationRole::Status);
            return Effect::KeepsRows;
        default:
            viewWrite();
            return Effect::Foreign;
        }
    }

    // What a QML view or another holder of the camera model may do to it directly.
    void viewWrite()
    {
        const int rows = m_cameras->rowCount();
        switch (pick(6)) {
        case 0:
            if (rows)
                m_cameras->setData(m_cameras->index(pick(rows), 0), value(2), Qt::UserRole + pick(21));
            break;
        case 1:
            if (rows)
                m_cameras->removeRows(pick(rows), 1);
            break;
        case 2:
            m_cameras->sort(0, order());
            m_cameras->setSortRole(Qt::UserRole + pick(21));
            break;
        case 3: {
            auto* item = new QStandardItem;
            item->setData(steeredText(), CameraRole::Id);
            m_cameras->insertRow(pick(rows + 1), item);
            break;
        }
        case 4:
            if (rows) {
                auto* item = new QStandardItem;
                item->setData(steeredText(), CameraRole::Id);
                m_cameras->setItem(pick(rows), 0, item);
            }
            break;
        default:
            if (rows)
                qDeleteAll(m_cameras->takeRow(pick(rows)));
            break;
        }
    }

    FuzzedDataProvider& m_in;
    Wrapper m_wrapper;
    PluginDeviceSearch m_plugin;
    QStandardItemModel* m_cameras = nullptr;
    CameraSortFilterModel* m_cameraProxy = nullptr;
    StationTableModel* m_stations = nullptr;
    StationTableSortFilterModel* m_stationProxy = nullptr;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> m_testers;
    bool m_viewWrote = false;
    int m_depth = 0;
    bool m_reentered = false;
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    qInstallMessageHandler(abortOnWarnings);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider in(data, size);
    Session(in).run();
    return 0;
}
