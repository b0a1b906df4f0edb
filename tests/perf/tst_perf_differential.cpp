// The camera lookup against the plain scan it replaces, over random sequences of the
// plug-in's own writes and of changes any other holder of the camera model may make.
// The pending-request counts are pinned through the plug-in by tst_authorize.
#include "ModelTesters.h"
#include "Roles.h"

#include <CameraIndex.h>

#include <QRandomGenerator>
#include <QTest>

#include <iterator>

namespace {

// The lookup as a scan: the first top-level row whose id equals the id as a QVariant.
QStandardItem* scanFirst(const QStandardItemModel* model, const QString& id)
{
    const QVariant wanted(id);
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (index.data(Cam::Id) == wanted)
            return model->itemFromIndex(index);
    }
    return nullptr;
}

// Ids asked for after every step. Numbers stored as ids equal some of these texts
// ("7", "07", " 7"), which is why they are here.
const QStringList kProbes = {"a", "b", "c", "7", "07", " 7", "1e0", "true", QString(), "A"};

// What an outside writer may store as an id: the texts the plug-in files rows under
// (so duplicates), and values of other types.
QVariant randomId(QRandomGenerator& random)
{
    const QVariant others[] = {7, 7.0, true, QByteArray("a"), QVariant(), QString()};
    const int pick = random.bounded(12);
    return pick < 6 ? others[pick] : QVariant(kProbes.at(pick - 6));
}

QStandardItem* itemWithId(const QVariant& id)
{
    auto* item = new QStandardItem;
    item->setData(id, Cam::Id);
    return item;
}

using Model = QStandardItemModel;
using Random = QRandomGenerator;

// Changes by an outside holder of the model. Each reaches another path of the index:
// rows in and out, an id written over, a reset, a layout change, a replaced or taken
// item, columns, child rows. The first three need no row to exist.
struct Change
{
    const char* name;
    void (*apply)(Model&, Random&, int row);
};
const Change kChanges[] = {
    {"appendRow", [](Model& m, Random& r, int) { m.appendRow(itemWithId(randomId(r))); }},
    {"insertRow(0)", [](Model& m, Random& r, int) { m.insertRow(0, itemWithId(randomId(r))); }},
    {"insertRows without items", [](Model& m, Random& r, int) { m.insertRows(r.bounded(m.rowCount() + 1), 2); }},
    {"setData id", [](Model& m, Random& r, int row) { m.setData(m.index(row, 0), randomId(r), Cam::Id); }},
    // Hands out, and silently creates, the item of an empty cell.
    {"itemFromIndex setData id",
     [](Model& m, Random& r, int row) { m.itemFromIndex(m.index(row, 0))->setData(randomId(r), Cam::Id); }},
    {"same id again",
     [](Model& m, Random&, int row) { m.setData(m.index(row, 0), m.index(row, 0).data(Cam::Id), Cam::Id); }},
    {"clearItemData", [](Model& m, Random&, int row) { m.clearItemData(m.index(row, 0)); }},
    {"removeRows", [](Model& m, Random& r, int row) { m.removeRows(row, 1 + r.bounded(qMin(3, m.rowCount() - row))); }},
    {"takeRow", [](Model& m, Random&, int row) { qDeleteAll(m.takeRow(row)); }},
    {"takeItem", [](Model& m, Random&, int row) { delete m.takeItem(row, 0); }},
    {"setItem", [](Model& m, Random& r, int row) { m.setItem(row, 0, itemWithId(randomId(r))); }},
    {"sort", [](Model& m, Random& r, int) {
         m.setSortRole(r.bounded(2) ? Cam::Id : Cam::Status);
         m.sort(0, r.bounded(2) ? Qt::AscendingOrder : Qt::DescendingOrder);
     }},
    {"clear", [](Model& m, Random&, int) { m.clear(); }},
    {"setRowCount", [](Model& m, Random&, int) { m.setRowCount(m.rowCount() - 1); }},
    {"insert or remove column 0", [](Model& m, Random& r, int) { r.bounded(2) ? m.insertColumn(0) : m.removeColumn(0); }},
    {"child row",
     [](Model& m, Random& r, int row) { m.itemFromIndex(m.index(row, 0))->appendRow(itemWithId(randomId(r))); }},
};

} // namespace

class tst_PerfDifferential : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lookupsAgreeWithScan_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::newRow("seed 1") << 1u;
        QTest::newRow("seed 2") << 2u;
        QTest::newRow("seed 3") << 3u;
    }

    // After every step, for every id: an index of our own on the plug-in's camera model
    // finds the row the scan finds first, also when asked from a slot of the model's
    // signals (a QML handler) while a change is being announced; and a detection event
    // for the id, which the plug-in looks up with its own index, changes that row only.
    void lookupsAgreeWithScan()
    {
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        CheckedHarness h;
        QStandardItemModel* model = h.cameraModel();
        CameraIndex index(model, Cam::Id);

        bool agreedInSignals = true;
        auto lookUpNow = [&] {
            for (const QString& id : kProbes)
                agreedInSignals = agreedInSignals && index.firstItem(id) == scanFirst(model, id);
        };
        connect(model, &QAbstractItemModel::rowsInserted, this, lookUpNow);
        connect(model, &QAbstractItemModel::rowsRemoved, this, lookUpNow);
        connect(model, &QAbstractItemModel::dataChanged, this, lookUpNow);
        connect(model, &QAbstractItemModel::layoutChanged, this, lookUpNow);
        connect(model, &QAbstractItemModel::modelReset, this, lookUpNow);

        const QStringList ids = kProbes.mid(0, 4);

        for (int step = 0; step < 600; ++step) {
            const QString id = ids.at(random.bounded(ids.size()));
            QString change;
            switch (random.bounded(20)) {
            case 0:
                change = QStringLiteral("new search");
                if (random.bounded(2))
                    h.startDeviceSearch();
                else
                    QVERIFY(h.call("refreshDevices", {0, 0}).toBool());
                break;
            case 1:
            case 2:
            case 3: {
                change = QStringLiteral("search answer");
                QVariantList devices;
                for (int i = random.bounded(6); i >= 0; --i)
                    devices.append(foundDevice(ids.at(random.bounded(ids.size())), QStringLiteral("10.0.0.%1").arg(i + 1),
                                               80, random.bounded(3)));
                h.answerSearch(h.wrapper().lastRequestId(), devices);
                break;
            }
            case 4:
                change = QStringLiteral("addDevice");
                h.call("addDevice", {QStringLiteral("manual"), 0, QStringLiteral("10.1.1.1"), 80});
                break;
            case 5: {
                change = QStringLiteral("authorize");
                const qsizetype sentBefore = h.wrapper().sent.size();
                h.call("authorize", {id, QStringLiteral("admin"), QStringLiteral("pw")});
                if (h.wrapper().sent.size() > sentBefore && random.bounded(2)) {
                    const SentCommand sent = h.wrapper().last();
                    h.answer(sent.command, QVariantMap{{QStringLiteral("detRes"), random.bounded(3)}}, sent.userData);
                }
                break;
            }
            case 6:
                change = QStringLiteral("setAuthorization");
                h.call("setAuthorization", {QStringList{id}, QStringLiteral("admin"), QStringLiteral("pw")});
                break;
            default: {
                const int rows = model->rowCount();
                const bool hasCells = rows > 0 && model->columnCount() > 0;
                const Change& outside = kChanges[random.bounded(hasCells ? int(std::size(kChanges)) : 3)];
                change = QStringLiteral("outside ") + QLatin1String(outside.name);
                outside.apply(*model, random, hasCells ? random.bounded(rows) : 0);
            }
            }
            QVERIFY2(agreedInSignals, qPrintable(QStringLiteral("step %1 (%2): lookup from a slot").arg(step).arg(change)));

            for (const QString& probe : kProbes) {
                const QString where = QStringLiteral("step %1 (%2), id \"%3\"").arg(step).arg(change, probe);
                QStandardItem* first = scanFirst(model, probe);
                QVERIFY2(index.firstItem(probe) == first, qPrintable(where));

                // Statuses 2 and 3, whichever the row does not have yet.
                const int detRes = first && first->data(Cam::Status).toInt() == 2 ? 2 : 1;
                QStringList expected = column(model, Cam::Status).split(u',');
                if (first)
                    expected[first->row()] = QString::number(detRes + 1);
                h.event("detCamResEvt", QVariantMap{{"reqUID", h.wrapper().lastRequestId()}, {"delID", probe},
                                                    {"detRes", detRes}});
                QVERIFY2(column(model, Cam::Status) == expected.join(u','),
                         qPrintable(where + QStringLiteral(": detection")));
            }
        }
    }
};

QTEST_MAIN(tst_PerfDifferential)
#include "tst_perf_differential.moc"
