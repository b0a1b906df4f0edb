// Drives one plug-in object per input through up to kMaxSteps steps, with the host
// kit's recording FakeFrameworkWrapper as its host: answers and events carrying
// arbitrary variant trees (typed values, decoded CBOR, JSON objects, hashes, near-real
// records with keys dropped or retyped) with steered command names, result codes,
// request ids and user data (null, a live authorization context, a settled one, a
// foreign pointer); the calls QML makes; the writes a view may make to the models
// itself; and QML's own turns while the plug-in works, from inside SendCommand (a
// host's nested event loop) and from slots of signals that end a change, nested up to
// kMaxReentry deep.
//
// Any Qt warning aborts, and so does a QAbstractItemModelTester on any of the four
// models. After every step the rows may go missing only if the step empties a model, a
// refresh keeps the hand-added cameras, camera ids are unique and statuses known.
//
// The object is made from the linked sources, not loaded with QPluginLoader: the checks
// use its roles, statuses and protocol keys, and direct calls keep the rate up.
#include "FuzzInput.h"

#include "CameraRoles.h"
#include "CameraSortFilterModel.h"
#include "PluginDeviceSearch.h"
#include "ProtocolKeys.h"
#include "StationTableModel.h"
#include "StationTableSortFilterModel.h"

#include <FakeFrameworkWrapper.h>

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QSet>
#include <QStandardItemModel>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr int kMaxSteps = 48;
constexpr int kMaxReentry = 2;  // QML calls made while another QML call runs
constexpr int kStationSearchType = 24;

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

// ---- One plug-in object, its host and QML.
class Session
{
public:
    explicit Session(FuzzedDataProvider& bytes) : m_in(bytes, [this](int kind) { return known(kind); })
    {
        if (!m_plugin.InitialPluginBase(nullptr, this, &m_wrapper))
            fail("Init failed");
        m_cameras = qobject_cast<QStandardItemModel*>(m_plugin.getCameraModel());
        m_cameraProxy = qobject_cast<CameraSortFilterModel*>(m_plugin.getCameraSortFilterModel());
        m_stations = qobject_cast<StationTableModel*>(m_plugin.getSearchedStationModel());
        m_stationProxy = qobject_cast<StationTableSortFilterModel*>(m_plugin.getSearchedStationSortFilterModel());
        if (!m_cameras || !m_cameraProxy || !m_stations || !m_stationProxy)
            fail("a model is missing after Init");
        for (QAbstractItemModel* model :
             std::initializer_list<QAbstractItemModel*>{m_cameras, m_cameraProxy, m_stations, m_stationProxy})
            m_testers.push_back(std::make_unique<QAbstractItemModelTester>(
                model, QAbstractItemModelTester::FailureReportingMode::Fatal));
        listenForTurns();
    }

    void run()
    {
        for (int step = 0; step < kMaxSteps && !m_in.exhausted(); ++step) {
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

    // ---- Steps

    Effect step()
    {
        using namespace ProtocolKey;
        m_wrapper.sendResult = m_in.pick(8) != 0;
        // A view's write ends the id and status checks for the rest of the input: rare.
        switch (m_in.pick(20)) {
        case 0: case 1: case 2: case 3: case 4:
            m_plugin.CommandProcessor(m_in.oneOf({SearchDevice, AuthorizeDevice, AuthorizeDeviceList,
                                                  QStringLiteral("SearchDevice")}),
                                      payload(), userData(),
                                      m_in.oneOf({QStringLiteral("0"), QStringLiteral("0"), FrameworkInternalError,
                                                  QStringLiteral("1")}),
                                      m_in.text(8), m_in.flip(), QString());
            return Effect::KeepsRows;
        case 5: case 6:
            m_plugin.EventProcessor(m_in.pick(4) ? DetCamResEvt : m_in.text(16), 0, 0, 0, payload(),
                                    m_in.pick(4) ? QString() : m_in.text(8));
            return Effect::KeepsRows;
        case 7:
            viewWrite();
            return Effect::Foreign;
        default:
            return qmlCall();
        }
    }

    // A call QML may make whenever it has the turn (and a view's edit of a station).
    Effect qmlCall()
    {
        switch (m_in.pick(16)) {
        case 0:
            return m_plugin.searchDevices(m_in.number().toInt(), m_in.pick(8), m_in.text(), m_in.number().toInt())
                ? Effect::EmptiesCameras : Effect::KeepsRows;
        case 1:
            return m_plugin.refreshDevices(m_in.number().toInt(), m_in.pick(8), m_in.text(), m_in.number().toInt())
                ? Effect::KeepsManualCameras : Effect::KeepsRows;
        case 2: return m_plugin.searchStations() ? Effect::EmptiesStations : Effect::KeepsRows;
        case 3: m_plugin.authorize(m_in.flip() ? cameraId() : m_in.steered(), m_in.steered(), m_in.text()); break;
        case 4: m_plugin.authorizeList(uids(), m_in.steered(), m_in.text()); break;
        case 5: m_plugin.setAuthorization(uids(), m_in.steered(), m_in.text()); break;
        case 6: m_plugin.addDevice(m_in.steered(), 0, QStringLiteral("10.0.0.9"), 80); break;  // as a dialog does
        case 7:
            m_plugin.addDevice(m_in.steered(), m_in.number().toInt(), m_in.steered(), m_in.integral<ushort>(),
                               m_in.steered(), m_in.number().toInt(), m_in.steered(), m_in.text(), m_in.text(),
                               m_in.flip(), m_in.text(8));
            break;
        case 8: m_plugin.addStation(m_in.flip() ? m_in.device(1) : m_in.map(1)); break;
        case 9:
            m_plugin.removeRowInSearchedStationTableModel(m_in.flip() ? stationId() : m_in.steered());
            return Effect::RemovesOneStation;
        case 10: m_cameraProxy->sortByRole(Qt::UserRole + m_in.pick(24) - 2, m_in.order()); break;
        case 11: m_cameraProxy->setFilterBrand(m_in.flip() ? QStringLiteral("qrln") : m_in.steered()); break;
        case 12: m_cameraProxy->setFilterString(m_in.steered()); break;
        case 13:
            if (m_in.flip())
                m_stationProxy->sortByRole(Qt::UserRole + m_in.pick(16) - 1, m_in.order());
            else
                m_stationProxy->setFilterString(m_in.steered());
            break;
        case 14:
            m_plugin.getAllIdInSearchedStationSortFilterModel();
            m_plugin.getStationsNeedToBeAuthorized();
            m_plugin.setQRLNModelBrand(m_in.flip() ? QString() : m_in.steered());
            // The client's event loop turns, and what the plug-in left for it runs
            // (rows a search or a refresh cleared are freed there).
            QCoreApplication::processEvents();
            break;
        default:
            if (const int rows = m_stations->rowCount())
                m_stations->setData(m_stations->index(m_in.pick(rows), 0), m_in.number(), StationRole::Status);
        }
        return Effect::KeepsRows;
    }

    // What a QML view or another holder of the camera model may do to it directly.
    void viewWrite()
    {
        const int rows = m_cameras->rowCount();
        const int row = m_in.pick(rows);
        const int what = m_in.pick(5);
        if (what == 0) {
            m_cameras->sort(0, m_in.order());
            m_cameras->setSortRole(Qt::UserRole + m_in.pick(21));
        } else if (what == 1 || !rows) {
            auto* item = new QStandardItem;
            item->setData(m_in.steered(), CameraRole::Id);
            if (m_in.flip() || !rows)
                m_cameras->insertRow(m_in.pick(rows + 1), item);
            else
                m_cameras->setItem(row, 0, item);
        } else if (what == 2) {
            m_cameras->setData(m_cameras->index(row, 0), m_in.value(2), Qt::UserRole + m_in.pick(21));
        } else if (what == 3) {
            m_cameras->removeRows(row, 1);
        } else {
            qDeleteAll(m_cameras->takeRow(row));
        }
    }

    // ---- What the host hands over

    // An answer or event: mostly the shape the plug-in expects, sometimes anything.
    QVariant payload()
    {
        switch (m_in.pick(4)) {
        case 0: return m_in.value(0);
        case 1: return m_in.cbor();
        default: {
            QVariantMap result = m_in.flip() ? m_in.device(1) : m_in.map(1);
            result.insert(ProtocolKey::ReqUID, requestId());
            if (m_in.flip()) {
                const int shape = m_in.pick(5);
                result.insert(ProtocolKey::DevList, shape == 0 ? m_in.value(1) : m_in.list(1, shape > 1));
            }
            if (m_in.flip())
                result.insert(ProtocolKey::CheckAuth, m_in.flip() ? QVariant(true) : m_in.value(2));
            return result;
        }
        }
    }

    // The newest device or station search the host took, an older one, one it refused,
    // none or any text.
    QString requestId()
    {
        enum Kind { Devices, Stations, OlderDevices, Refused };
        const int kind = m_in.pick(6);
        if (kind > Refused)
            return kind == Refused + 1 ? QString() : m_in.text();
        QStringList ids;
        for (const SentCommand& sent : m_wrapper.sent) {
            if (sent.command != ProtocolKey::SearchDevice || sent.accepted == (kind == Refused))
                continue;
            const bool station = sent.map().value(ProtocolKey::SearchType).toInt() == kStationSearchType;
            if (kind == Refused || station == (kind == Stations))
                ids.append(sent.requestId());
        }
        if (ids.isEmpty())
            return QString();
        return kind == OlderDevices ? ids.at(m_in.pick(ids.size())) : ids.last();
    }

    // None, the newest or any context the plug-in handed over (live or long settled),
    // or a pointer it never made.
    void* userData()
    {
        static char foreign[16];
        QList<void*> handed;
        for (const SentCommand& sent : m_wrapper.sent) {
            if (sent.userData)
                handed.append(sent.userData);
        }
        switch (m_in.pick(5)) {
        case 0: return nullptr;
        case 1: return handed.isEmpty() ? nullptr : handed.last();
        case 2: return handed.isEmpty() ? nullptr : handed.at(m_in.pick(handed.size()));
        case 3: return foreign;
        default: return reinterpret_cast<void*>(quintptr(m_in.integral<quint64>()));
        }
    }

    QString rowId(const QAbstractItemModel* model, int role)
    {
        const int rows = model->rowCount();
        return rows ? model->index(m_in.pick(rows), 0).data(role).toString() : QString();
    }
    QString cameraId() { return rowId(m_cameras, CameraRole::Id); }
    QString stationId() { return rowId(m_stations, StationRole::Id); }

    QString known(int kind) { return kind == 0 ? cameraId() : kind == 1 ? stationId() : requestId(); }

    QStringList uids()
    {
        QStringList result;
        for (int n = m_in.pick(6); n > 0; --n)
            result.append(m_in.flip() ? cameraId() : m_in.steered());
        return result;
    }

    // ---- QML's turns while the plug-in works

    void listenForTurns()
    {
        m_wrapper.duringSend = [this](const SentCommand&) { maybeReenter(); };
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
        for (QAbstractItemModel* model : std::initializer_list<QAbstractItemModel*>{m_cameras, m_stations}) {
            QObject::connect(model, &QAbstractItemModel::dataChanged, &m_plugin, turn);
            QObject::connect(model, &QAbstractItemModel::rowsInserted, &m_plugin, turn);
            QObject::connect(model, &QAbstractItemModel::rowsRemoved, &m_plugin, turn);
            QObject::connect(model, &QAbstractItemModel::modelReset, &m_plugin, turn);
        }
    }

    void maybeReenter()
    {
        if (m_depth >= kMaxReentry || m_in.exhausted() || m_in.pick(6) != 0)
            return;
        ++m_depth;
        m_reentered = true;
        qmlCall();
        --m_depth;
    }

    // ---- What must hold after each step

    struct Snapshot
    {
        QStringList cameraIds;
        QSet<QString> manualIds;
        int stations = 0;
    };

    Snapshot snapshot() const
    {
        Snapshot s{{}, {}, m_stations->rowCount()};
        for (int row = 0; row < m_cameras->rowCount(); ++row) {
            const QModelIndex index = m_cameras->index(row, 0);
            s.cameraIds.append(index.data(CameraRole::Id).toString());
            if (index.data(CameraRole::Manual).toBool())
                s.manualIds.insert(s.cameraIds.last());
        }
        return s;
    }

    void verify(const Snapshot& before, Effect effect)
    {
        if (effect == Effect::Foreign) {
            m_viewWrote = true;  // a view may write anything: only the model testers judge now
            return;
        }
        const Snapshot after = snapshot();
        const QSet<QString> afterIds(after.cameraIds.cbegin(), after.cameraIds.cend());
        if (!m_viewWrote && afterIds.size() != after.cameraIds.size())
            fail("two camera rows share an id");
        if (effect == Effect::KeepsManualCameras && !afterIds.contains(before.manualIds))
            fail("a refresh lost a hand-added camera");
        const bool camerasMayGo = effect == Effect::EmptiesCameras || effect == Effect::KeepsManualCameras
            || effect == Effect::Reentered;
        for (int i = 0; !camerasMayGo && i < before.cameraIds.size(); ++i) {
            if (!afterIds.contains(before.cameraIds.at(i)))
                fail("a camera row went missing");
        }
        const int stationsMayGo = effect == Effect::EmptiesStations || effect == Effect::Reentered
            ? before.stations : effect == Effect::RemovesOneStation ? 1 : 0;
        if (after.stations < before.stations - stationsMayGo)
            fail("a station row went missing");
        for (int row = 0; !m_viewWrote && row < m_cameras->rowCount(); ++row) {
            const int status = m_cameras->index(row, 0).data(CameraRole::Status).toInt();
            if (status < PluginDeviceSearch::Checking || status > PluginDeviceSearch::NotChecked)
                fail("a camera row with an unknown status");
        }
    }

    FuzzInput m_in;
    FakeFrameworkWrapper m_wrapper;
    PluginDeviceSearch m_plugin;
    QStandardItemModel* m_cameras = nullptr;
    CameraSortFilterModel* m_cameraProxy = nullptr;
    StationTableModel* m_stations = nullptr;
    StationTableSortFilterModel* m_stationProxy = nullptr;
    std::vector<std::unique_ptr<QAbstractItemModelTester>> m_testers;
    bool m_viewWrote = false;
    bool m_reentered = false;
    int m_depth = 0;
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
    FuzzedDataProvider bytes(data, size);
    Session(bytes).run();
    return 0;
}
