#include "FakeTopologyPlugin.h"
#include "PluginHarness.h"

#include <CameraIndex.h>
#include <CameraInfo.h>
#include <CameraRoles.h>
#include <CameraSortFilterModel.h>
#include <DeviceListParser.h>
#include <PendingAuthorizations.h>
#include <PluginDeviceSearch.h>
#include <StationTableModel.h>
#include <StationTableSortFilterModel.h>

#include <QAbstractItemModelTester>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <memory>

namespace {

// The lookup as a scan: the first top-level row whose id equals the id as a QVariant.
QStandardItem* scanFirst(const QStandardItemModel* model, const QString& id)
{
    const QVariant wanted(id);
    for (int row = 0; row < model->rowCount(); ++row) {
        const QModelIndex index = model->index(row, 0);
        if (index.data(CameraRole::Id) == wanted)
            return model->itemFromIndex(index);
    }
    return nullptr;
}

// Ids asked for after every step. Numbers stored as ids equal some of these texts
// ("7", "07", " 7", "1e0" ...), which is why they are here.
const QStringList kProbes = {
    QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("7"), QStringLiteral("07"),
    QStringLiteral(" 7"), QStringLiteral("1"), QStringLiteral("1e0"), QStringLiteral("true"), QString(),
    QStringLiteral("A"), QStringLiteral("zz"),
};

// What a writer may put into the id role: texts, duplicates among them, and values
// of other types that a foreign holder of the model might store.
QVariant randomId(QRandomGenerator& random)
{
    switch (random.bounded(14)) {
    case 0:
        return 7;
    case 1:
        return 7.0;
    case 2:
        return true;
    case 3:
        return QByteArray("a");
    case 4:
        return qlonglong(1);
    case 5:
        return QVariant();
    case 6:
        return QStringList{QStringLiteral("a")};
    case 7:
        return QString();
    default:
        return kProbes.at(random.bounded(6));
    }
}

QStandardItem* itemWithId(const QVariant& id)
{
    auto* item = new QStandardItem;
    item->setData(id, CameraRole::Id);
    return item;
}

QString describe(QStandardItem* item)
{
    if (!item)
        return QStringLiteral("none");
    return QStringLiteral("row %1 (%2)").arg(item->row()).arg(item->data(CameraRole::Id).toString());
}

// One change of the model as any holder of it might make it. Returns its name.
QString changeModel(QStandardItemModel& model, QRandomGenerator& random)
{
    const int rows = model.rowCount();
    const int row = rows > 0 ? random.bounded(rows) : 0;
    // Without a row or a column there is no cell to change: insert first.
    const bool hasCells = rows > 0 && model.columnCount() > 0;
    switch (random.bounded(hasCells ? 19 : 4)) {
    case 0:
        model.appendRow(itemWithId(randomId(random)));
        return QStringLiteral("appendRow");
    case 1:
        model.insertRow(0, itemWithId(randomId(random)));
        return QStringLiteral("insertRow(0)");
    case 2:
        model.insertRow(random.bounded(rows + 1), itemWithId(randomId(random)));
        return QStringLiteral("insertRow(any)");
    case 3:
        model.insertRows(random.bounded(rows + 1), 1 + random.bounded(2));
        return QStringLiteral("insertRows without items");
    case 4:
        model.setData(model.index(row, 0), randomId(random), CameraRole::Id);
        return QStringLiteral("model setData id");
    case 5:
        if (QStandardItem* item = model.item(row))
            item->setData(randomId(random), CameraRole::Id);
        return QStringLiteral("item setData id");
    case 6:
        model.setItemData(model.index(row, 0), {{CameraRole::Id, randomId(random)}, {CameraRole::Model, row}});
        return QStringLiteral("setItemData");
    case 7:
        model.clearItemData(model.index(row, 0));
        return QStringLiteral("clearItemData");
    case 8:
        model.removeRows(row, 1 + random.bounded(qMin(3, rows - row)));
        return QStringLiteral("removeRows");
    case 9:
        qDeleteAll(model.takeRow(row));
        return QStringLiteral("takeRow");
    case 10:
        delete model.takeItem(row, 0);
        return QStringLiteral("takeItem");
    case 11:
        model.setItem(row, 0, itemWithId(randomId(random)));
        return QStringLiteral("setItem");
    case 12:
        model.setSortRole(random.bounded(2) ? int(CameraRole::Id) : int(CameraRole::Model));
        model.sort(0, random.bounded(2) ? Qt::AscendingOrder : Qt::DescendingOrder);
        return QStringLiteral("sort");
    case 13:
        if (random.bounded(8) == 0) {
            model.clear();
            return QStringLiteral("clear");
        }
        model.setData(model.index(row, 0), random.bounded(100), CameraRole::Status);
        return QStringLiteral("setData other role");
    case 14:
        if (QStandardItem* item = model.item(row))
            item->appendRow(itemWithId(kProbes.at(random.bounded(3))));
        return QStringLiteral("child row");
    case 15:
        model.setRowCount(qMax(0, rows - 1 - random.bounded(2)));
        return QStringLiteral("setRowCount");
    case 16:
        if (random.bounded(2)) {
            model.insertColumn(0);
            return QStringLiteral("insertColumn(0)");
        }
        model.removeColumn(0);
        return QStringLiteral("removeColumn(0)");
    case 17:
        // Hands out (and silently creates) the item of an empty cell.
        if (QStandardItem* item = model.itemFromIndex(model.index(row, 0)))
            item->setData(randomId(random), CameraRole::Id);
        return QStringLiteral("itemFromIndex setData");
    default:
        if (random.bounded(4) == 0) {
            qDeleteAll(model.takeColumn(0));
            return QStringLiteral("takeColumn(0)");
        }
        // The same id again: no change at all.
        if (QStandardItem* item = model.item(row))
            item->setData(item->data(CameraRole::Id), CameraRole::Id);
        return QStringLiteral("same id again");
    }
}


// The device list format read literally, a pattern built for every use.
QString removeQuotesLiterally(QString text)
{
    text.remove(QRegularExpression(QStringLiteral("^\"+")));
    text.remove(QRegularExpression(QStringLiteral("\"+$")));
    return text;
}

int parseLiterally(const QString& path, QList<QMap<QString, QString>>& devices, uint& numWrongFormat)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return 1;
    QTextStream stream(&file);
    if (stream.atEnd())
        return 1;
    devices.clear();
    const QStringList cells = stream.readLine().split(QLatin1Char(','));
    const QStringList keys = {QStringLiteral("brand"), QStringLiteral("ip"), QStringLiteral("port"),
                              QStringLiteral("model"), QStringLiteral("host"), QStringLiteral("mac")};
    QMap<QString, qint16> columns;
    for (const QString& key : keys) {
        const QRegularExpression pattern(QStringLiteral("^.*") + key + QStringLiteral(".*$"),
                                         QRegularExpression::CaseInsensitiveOption);
        columns.insert(key, qint16(cells.indexOf(pattern)));
    }
    if (columns.value(QStringLiteral("ip")) < 0 || columns.value(QStringLiteral("port")) < 0)
        return 1;
    const qint16 highest = *std::max_element(columns.cbegin(), columns.cend());
    while (!stream.atEnd()) {
        const QStringList fields = stream.readLine().split(QLatin1Char(','));
        if (fields.size() <= highest) {
            ++numWrongFormat;
            continue;
        }
        QMap<QString, QString> record;
        for (const char* key : {"brand", "model", "host", "mac", "ip", "port"}) {
            const qint16 column = columns.value(QLatin1String(key));
            if (column >= 0)
                record.insert(QLatin1String(key), removeQuotesLiterally(fields.at(column)));
        }
        const QRegularExpressionMatch match =
            QRegularExpression(QStringLiteral("^(\\d{1,5})$")).match(record.value(QStringLiteral("port")));
        if (match.hasMatch() && match.captured(0).toUInt() <= 0xFFFF)
            devices.append(record);
        else
            ++numWrongFormat;
    }
    return 0;
}

// A device list made of the cells that trouble a parser: quote runs, digits of
// other scripts, signs, spaces, too few or too many fields.
QByteArray randomDeviceList(QRandomGenerator& random)
{
    static const char* const headerCells[] = {"IP", "Port", "Model", "host name", "\"MAC\"", "Brand",
                                              "Description", "x", "PORT ", "hostip", "ho\xC5\xBFt", "\tIP",
                                              "\xEF\xBC\xB0ort", "\xC3\x8DP", "MA\xE2\x84\xAA"};
    static const char* const fieldCells[] = {"80", "080", "0", "65535", "65536", "123456", "\"80\"", "\"\"80",
                                             "80\"", "\"", "\"\"\"", "", " 80", "80 ", "-1", "+80", "8o",
                                             "\xD9\xA8\xD9\xA0", "\xEF\xBC\x98", "a\"b", "\"a\"b\"", "10.0.0.1",
                                             "\" m \"", "00000", "000080", "\r"};
    QByteArray text;
    const int headerSize = 1 + random.bounded(5);
    for (int i = 0; i < headerSize; ++i)
        text += (i ? "," : "") + QByteArray(headerCells[random.bounded(int(std::size(headerCells)))]);
    text += random.bounded(4) ? "\n" : "\r\n";
    for (int line = random.bounded(30); line > 0; --line) {
        const int size = random.bounded(7);
        for (int i = 0; i < size; ++i)
            text += (i ? "," : "") + QByteArray(fieldCells[random.bounded(int(std::size(fieldCells)))]);
        if (line > 1 || random.bounded(2))
            text += "\n";
    }
    return text;
}


// The views as they compared rows before: every comparison reads both rows from the
// source model (and, for station addresses, splits both). Same filters.
class CameraViewReadingRows : public CameraSortFilterModel
{
protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override
    {
        return QSortFilterProxyModel::lessThan(left, right);
    }
};

class StationViewReadingRows : public StationTableSortFilterModel
{
protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override
    {
        if (sortRole() == StationRole::Ip)
            return ipLessThan(left, right);
        return QSortFilterProxyModel::lessThan(left, right);
    }
};

// The source rows a view shows, in its order.
QList<int> shownRows(const QSortFilterProxyModel& view)
{
    QList<int> rows;
    for (int row = 0; row < view.rowCount(); ++row)
        rows.append(view.mapToSource(view.index(row, 0)).row());
    return rows;
}

// Values of every type a role may hold, and addresses that split oddly.
QVariant randomValue(QRandomGenerator& random)
{
    static const char* const texts[] = {"10.0.0.9", "10.0.0.10", "010.0.0.9", "9.255.255.255", "fe80::1", "",
                                        "1..2.3", "a.b.c.d", " 1.2.3.4", "+1.2.3.4", "M1", "m1", "Lobby", "lobby"};
    switch (random.bounded(7)) {
    case 0:
        return random.bounded(5);
    case 1:
        return uint(random.bounded(5));
    case 2:
        return random.bounded(2) == 1;
    case 3:
        return QVariant();
    case 4:
        return QStringList{QStringLiteral("x")};
    default:
        return QString::fromLatin1(texts[random.bounded(int(std::size(texts)))]);
    }
}


// What merging one answer must leave, worked out entry by entry as the answer is
// defined: a later entry sees the rows earlier ones appended; the first row with an id
// takes brand 0 and the MAC of every native (brand 0) entry for it.
struct MergeExpectation
{
    struct Camera
    {
        QStandardItem* row = nullptr;  // null: a row appended by this answer
        int brand = 0;
        QVariant mac;                  // as the row stores it
    };
    int rowsBefore = 0;
    QStringList appended;
    QHash<QString, Camera> cameras;
    mutable QString error;

    bool holds(const QStandardItemModel* model) const
    {
        if (model->rowCount() != rowsBefore + appended.size()) {
            error = QStringLiteral("%1 rows, expected %2").arg(model->rowCount()).arg(rowsBefore + appended.size());
            return false;
        }
        for (int i = 0; i < appended.size(); ++i) {
            if (model->index(rowsBefore + i, 0).data(CameraRole::Id) != QVariant(appended.at(i))) {
                error = QStringLiteral("appended row %1 is not %2").arg(i).arg(appended.at(i));
                return false;
            }
        }
        for (auto it = cameras.cbegin(); it != cameras.cend(); ++it) {
            QStandardItem* row = it->row ? it->row : model->item(rowsBefore + int(appended.indexOf(it.key())));
            if (row->data(CameraRole::Brand).toInt() != it->brand || row->data(CameraRole::Mac) != it->mac) {
                error = QStringLiteral("camera %1: brand %2, MAC %3").arg(it.key()).arg(row->data(CameraRole::Brand).toInt())
                            .arg(row->data(CameraRole::Mac).toString());
                return false;
            }
        }
        return true;
    }
};

QVariant storedMac(const QString& mac)
{
    QStandardItem item;
    CameraItem::setMac(&item, mac);
    return item.data(CameraRole::Mac);
}

MergeExpectation expectMerge(const QStandardItemModel* model, const QVariantList& devices)
{
    MergeExpectation expected;
    expected.rowsBefore = model->rowCount();
    for (const QVariant& entry : devices) {
        const QVariantMap device = entry.toMap();
        const QString id = device.value(QStringLiteral("delID")).toString();
        const int brand = device.value(QStringLiteral("Brand")).toInt();
        const QString mac = device.value(QStringLiteral("MAC")).toString();
        auto it = expected.cameras.find(id);
        if (it == expected.cameras.end()) {
            MergeExpectation::Camera camera;
            camera.row = scanFirst(model, id);
            if (camera.row) {
                camera.brand = camera.row->data(CameraRole::Brand).toInt();
                camera.mac = camera.row->data(CameraRole::Mac);
            } else {
                camera.brand = brand;
                camera.mac = storedMac(mac);
                expected.appended.append(id);
                expected.cameras.insert(id, camera);
                continue;
            }
            it = expected.cameras.insert(id, camera);
        }
        if (brand == 0) {
            it->brand = 0;
            it->mac = storedMac(mac);
        }
    }
    return expected;
}


// Hands importDevices the records a test made, whatever the file.
class RecordsParser final : public IDeviceListParser
{
public:
    int Parse(const QString&, QList<QMap<QString, QString>>& devices, uint&) override
    {
        devices = records;
        return 0;
    }
    QList<QMap<QString, QString>> records;
};

} // namespace

class tst_PerfDifferential : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void indexAgreesWithScan_data();
    void indexAgreesWithScan();
    void pendingCountsAgreeWithList_data();
    void pendingCountsAgreeWithList();
    void pluginLookupsAgreeWithScan_data();
    void pluginLookupsAgreeWithScan();
    void parserAgreesWithLiteralReading();
    void viewsSortAsWhenReadingRows_data();
    void viewsSortAsWhenReadingRows();
    void importReadsRecordsAsLookups();
};

void tst_PerfDifferential::indexAgreesWithScan_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("steps");
    QTest::newRow("seed 1") << 1u << 1500;
    QTest::newRow("seed 2") << 2u << 1500;
    QTest::newRow("seed 3") << 3u << 1500;
    QTest::newRow("seed 4") << 4u << 1500;
}

void tst_PerfDifferential::indexAgreesWithScan()
{
    QFETCH(quint32, seed);
    QFETCH(int, steps);
    QRandomGenerator random(seed);
    QStandardItemModel model;
    QAbstractItemModelTester tester(&model);
    CameraIndex index(&model, CameraRole::Id);

    // A slot of the model's own signals (a QML handler, say) may look a camera up
    // while the change is still being announced; it must get the model as it is now.
    bool agreedInSignals = true;
    auto lookUpNow = [&] {
        for (const QString& id : kProbes)
            agreedInSignals = agreedInSignals && index.firstItem(id) == scanFirst(&model, id);
    };
    connect(&model, &QAbstractItemModel::rowsInserted, this, lookUpNow);
    connect(&model, &QAbstractItemModel::rowsRemoved, this, lookUpNow);
    connect(&model, &QAbstractItemModel::dataChanged, this, lookUpNow);
    connect(&model, &QAbstractItemModel::layoutChanged, this, lookUpNow);
    connect(&model, &QAbstractItemModel::modelReset, this, lookUpNow);

    for (int step = 0; step < steps; ++step) {
        const QString change = changeModel(model, random);
        for (const QString& id : kProbes) {
            QStandardItem* expected = scanFirst(&model, id);
            QStandardItem* found = index.firstItem(id);
            QVERIFY2(found == expected, qPrintable(QStringLiteral("step %1 (%2), id \"%3\": index %4, scan %5")
                                                       .arg(step)
                                                       .arg(change, id, describe(found), describe(expected))));
        }
        QVERIFY2(agreedInSignals, qPrintable(QStringLiteral("step %1 (%2): a lookup from a slot of the model's "
                                                            "signals disagreed with the scan")
                                                 .arg(step)
                                                 .arg(change)));
    }
}

void tst_PerfDifferential::pendingCountsAgreeWithList_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::newRow("seed 1") << 1u;
    QTest::newRow("seed 2") << 2u;
    QTest::newRow("seed 3") << 3u;
}

void tst_PerfDifferential::pendingCountsAgreeWithList()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    const QStringList uids = {QStringLiteral("u1"), QStringLiteral("u2"), QStringLiteral("U1"), QString(),
                              QStringLiteral("u3")};
    PendingAuthorizations pending;
    QList<QString> list;

    for (int step = 0; step < 3000; ++step) {
        const QString uid = uids.at(random.bounded(uids.size()));
        switch (random.bounded(5)) {
        case 0:
        case 1:
            pending.append(uid);
            list.append(uid);
            break;
        case 2:
        case 3:
            pending.removeOne(uid);
            list.removeOne(uid);
            break;
        default:
            pending.removeAll(uid);
            list.removeAll(uid);
            break;
        }
        QCOMPARE(pending.size(), list.size());
        QCOMPARE(pending.isEmpty(), list.isEmpty());
        for (const QString& probe : uids)
            QCOMPARE(pending.count(probe), int(list.count(probe)));
    }
}

void tst_PerfDifferential::pluginLookupsAgreeWithScan_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::newRow("seed 11") << 11u;
    QTest::newRow("seed 12") << 12u;
    QTest::newRow("seed 13") << 13u;
}

// The plug-in's own writes mixed with a foreign holder's changes of the camera
// model. After every step, an index of our own on the model agrees with the scan, and
// a detection event for some id changes exactly the row the scan finds first.
void tst_PerfDifferential::pluginLookupsAgreeWithScan()
{
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    PluginHarness h;
    QStandardItemModel* model = h.cameraModel();
    QAbstractItemModelTester tester(model);
    CameraIndex index(model, CameraRole::Id);
    const QStringList ids = {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("7")};

    for (int step = 0; step < 400; ++step) {
        const QString id = ids.at(random.bounded(ids.size()));
        QString change;
        switch (random.bounded(12)) {
        case 0:
            h.startDeviceSearch(random.bounded(2) ? 2 : 0);
            change = QStringLiteral("searchDevices");
            break;
        case 1:
            QVERIFY(h.call("refreshDevices", {0, 0}).toBool());
            change = QStringLiteral("refreshDevices");
            break;
        case 2:
        case 3: {
            QVariantList devices;
            for (int i = random.bounded(5); i >= 0; --i) {
                devices.append(foundDevice(ids.at(random.bounded(ids.size())), QStringLiteral("10.0.0.%1").arg(i + 1),
                                           80, random.bounded(3), QStringLiteral("00112233445%1").arg(i)));
            }
            const MergeExpectation expected = expectMerge(model, devices);
            h.answerSearch(h.wrapper().lastRequestId(), devices);
            change = QStringLiteral("search answer");
            QVERIFY2(expected.holds(model), qPrintable(QStringLiteral("step %1: %2").arg(step).arg(expected.error)));
            break;
        }
        case 4:
            h.call("addDevice", {QStringLiteral("manual"), 0, QStringLiteral("10.1.1.1"), 80});
            change = QStringLiteral("addDevice");
            break;
        case 5: {
            const qsizetype sentBefore = h.wrapper().sent.size();
            h.call("authorize", {id, QStringLiteral("admin"), QStringLiteral("pw")});
            if (h.wrapper().sent.size() > sentBefore && random.bounded(2)) {
                const SentCommand sent = h.wrapper().last();
                h.answer(sent.command, QVariantMap{{QStringLiteral("detRes"), random.bounded(3)}}, sent.userData);
            }
            change = QStringLiteral("authorize");
            break;
        }
        case 6:
            h.call("setAuthorization", {QStringList{id}, QStringLiteral("admin"), QStringLiteral("pw")});
            change = QStringLiteral("setAuthorization");
            break;
        default:
            change = QStringLiteral("outside ") + changeModel(*model, random);
            break;
        }

        for (const QString& probe : kProbes) {
            QStandardItem* expected = scanFirst(model, probe);
            QVERIFY2(index.firstItem(probe) == expected,
                     qPrintable(QStringLiteral("step %1 (%2), id \"%3\"").arg(step).arg(change, probe)));
        }

        // The plug-in's own lookup: only the first row with the id takes the result.
        QStandardItem* first = scanFirst(model, id);
        QList<int> before;
        for (int row = 0; row < model->rowCount(); ++row)
            before.append(model->index(row, 0).data(CameraRole::Status).toInt());
        const int current = first ? first->data(CameraRole::Status).toInt() : -1;
        const int detRes = current == 2 ? 2 : 1;  // statuses 2 and 3
        h.event(QStringLiteral("detCamResEvt"), QVariantMap{{QStringLiteral("reqUID"), h.wrapper().lastRequestId()},
                                                            {QStringLiteral("delID"), id},
                                                            {QStringLiteral("detRes"), detRes}});
        for (int row = 0; row < model->rowCount(); ++row) {
            const QModelIndex cell = model->index(row, 0);
            const bool isFirst = first && model->item(row) == first;
            const int expected = isFirst ? detRes + 1 : before.at(row);
            QVERIFY2(cell.data(CameraRole::Status).toInt() == expected,
                     qPrintable(QStringLiteral("step %1 (%2), detection for \"%3\", row %4").arg(step).arg(change, id)
                                    .arg(row)));
        }
    }
}

void tst_PerfDifferential::parserAgreesWithLiteralReading()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QRandomGenerator random(5);
    DeviceListParser parser;
    for (int file = 0; file < 300; ++file) {
        const QByteArray text = randomDeviceList(random);
        const QString path = dir.filePath(QStringLiteral("list%1.csv").arg(file));
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(text);
        out.close();

        QList<QMap<QString, QString>> expected{{{QStringLiteral("earlier"), QStringLiteral("record")}}};
        QList<QMap<QString, QString>> devices = expected;
        uint expectedWrong = 2;
        uint wrong = 2;
        const int expectedResult = parseLiterally(path, expected, expectedWrong);
        QCOMPARE(parser.Parse(path, devices, wrong), expectedResult);
        QVERIFY2(devices == expected, text.constData());
        QVERIFY2(wrong == expectedWrong, text.constData());
    }
}

void tst_PerfDifferential::viewsSortAsWhenReadingRows_data()
{
    QTest::addColumn<bool>("stations");
    QTest::addColumn<quint32>("seed");
    QTest::newRow("cameras, seed 21") << false << 21u;
    QTest::newRow("cameras, seed 22") << false << 22u;
    QTest::newRow("stations, seed 23") << true << 23u;
    QTest::newRow("stations, seed 24") << true << 24u;
}

// sortByRole reads each row's value once and compares the copies; the order must be
// the one the proxy gets when it reads both rows for every comparison, through any
// sequence of filters, sorts (stable, so each depends on the last) and changes.
void tst_PerfDifferential::viewsSortAsWhenReadingRows()
{
    QFETCH(bool, stations);
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    std::unique_ptr<QStandardItemModel> model(stations ? new StationTableModel : new QStandardItemModel);
    std::unique_ptr<QSortFilterProxyModel> view(stations ? static_cast<QSortFilterProxyModel*>(new StationTableSortFilterModel)
                                                         : new CameraSortFilterModel);
    std::unique_ptr<QSortFilterProxyModel> reference(
        stations ? static_cast<QSortFilterProxyModel*>(new StationViewReadingRows) : new CameraViewReadingRows);
    const QList<int> roles = stations ? QList<int>{StationRole::Ip, StationRole::Model, StationRole::Port,
                                                   StationRole::HostName, StationRole::Id}
                                      : QList<int>{CameraRole::Ip, CameraRole::Model, CameraRole::Port,
                                                   CameraRole::Manual, CameraRole::StreamUrlList};
    auto addRow = [&] {
        auto* item = new QStandardItem;
        for (int role : roles)
            item->setData(randomValue(random), role);
        // The camera view sorts addresses by their packed value.
        item->setData(uint(random.bounded(4)), CameraRole::IpForSort);
        model->appendRow(item);
    };
    for (int i = 0; i < 150; ++i)
        addRow();
    view->setSourceModel(model.get());
    reference->setSourceModel(model.get());
    QAbstractItemModelTester tester(view.get());

    for (int step = 0; step < 60; ++step) {
        const int role = roles.at(random.bounded(roles.size()));
        const Qt::SortOrder order = random.bounded(2) ? Qt::AscendingOrder : Qt::DescendingOrder;
        switch (random.bounded(4)) {
        case 0: {
            static const char* const words[] = {"", "10", "10. 1", "m1", "lobby 0", "  ", "fe80"};
            const QString filter = QString::fromLatin1(words[random.bounded(int(std::size(words)))]);
            metaCall(view.get(), "setFilterString", {filter});
            metaCall(reference.get(), "setFilterString", {filter});
            break;
        }
        case 1:
            for (int i = random.bounded(10); i >= 0; --i)
                addRow();
            break;
        case 2:
            model->setData(model->index(random.bounded(model->rowCount()), 0), randomValue(random), role);
            break;
        default:
            break;
        }
        metaCall(view.get(), "sortByRole", {role, int(order)});
        reference->setSortRole(!stations && role == CameraRole::Ip ? int(CameraRole::IpForSort) : role);
        reference->sort(0, order);
        QCOMPARE(shownRows(*view), shownRows(*reference));
    }
}

// importDevices reads each record in one pass over its sorted keys; any parser may
// hand it records with keys missing, extra keys sorting before, between and after
// the six, and keys differing only in case. What it returns must be what looking
// each key up gives.
void tst_PerfDifferential::importReadsRecordsAsLookups()
{
    // Linked, not loaded: SetDeviceListParser is no QML method (see tst_devicelistparser).
    FakeFrameworkWrapper wrapper;
    FakeTopologyPlugin topology;
    topology.addChannel(QStringLiteral("10.0.0.1"), QStringLiteral("80"), 1, 1);
    wrapper.pluginObjects.insert(FakeTopologyPlugin::PluginId, &topology);
    PluginDeviceSearch plugin;
    QVERIFY(plugin.InitialPluginBase(nullptr, PluginHarness::hostContext(), &wrapper));
    auto parser = QSharedPointer<RecordsParser>::create();
    plugin.SetDeviceListParser(parser);

    const QStringList keys = {QStringLiteral("brand"), QStringLiteral("host"), QStringLiteral("ip"),
                              QStringLiteral("mac"), QStringLiteral("model"), QStringLiteral("port"),
                              QStringLiteral("a"), QStringLiteral("hostip"), QStringLiteral("IP"),
                              QStringLiteral("n"), QStringLiteral("zz"), QString()};
    QRandomGenerator random(31);
    for (int round = 0; round < 50; ++round) {
        parser->records.clear();
        QVariantList expected;
        for (int i = random.bounded(8); i >= 0; --i) {
            QMap<QString, QString> record;
            for (const QString& key : keys) {
                if (random.bounded(3))
                    record.insert(key, key + QString::number(random.bounded(3)));
            }
            // Now and then a device the topology already holds.
            if (random.bounded(4) == 0) {
                record.insert(QStringLiteral("ip"), QStringLiteral("10.0.0.1"));
                record.insert(QStringLiteral("port"), QStringLiteral("80"));
            }
            parser->records.append(record);
            if (record.value(QStringLiteral("ip")) == QLatin1String("10.0.0.1")
                && record.value(QStringLiteral("port")) == QLatin1String("80"))
                continue;
            expected.append(QVariantMap{{QStringLiteral("brand"), record.value(QStringLiteral("brand"))},
                                        {QStringLiteral("host"), record.value(QStringLiteral("ip"))},
                                        {QStringLiteral("port"), record.value(QStringLiteral("port"))},
                                        {QStringLiteral("modelName"), record.value(QStringLiteral("model"))},
                                        {QStringLiteral("hostName"), record.value(QStringLiteral("host"))},
                                        {QStringLiteral("mac"), record.value(QStringLiteral("mac"))}});
        }
        QCOMPARE(plugin.importDevices(QUrl::fromLocalFile(QStringLiteral("/any"))).toList(), expected);
    }
}

QTEST_MAIN(tst_PerfDifferential)
#include "tst_perf_differential.moc"
