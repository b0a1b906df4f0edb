// The camera and station views against plain QSortFilterProxyModels with the same
// settings, whose filters read every row's values afresh and whose sorting is the base
// class's own comparison of values. On generated rows that mix value types, empty and
// missing values, letter case, non-ASCII text, equal keys and addresses with parts
// above 255, every sort and filter change must leave both in the same row order.
#include "Roles.h"

#include <CameraSortFilterModel.h>
#include <StationTableSortFilterModel.h>

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QStandardItemModel>
#include <QTest>

#include <algorithm>
#include <utility>

namespace {

// A view's rules, reading the rows each time: a row shows when every word of the filter
// text is in one of its searched values (numbers as written) and, where there is a brand
// filter, its brand name is that brand.
class PlainProxy : public QSortFilterProxyModel
{
public:
    // The values searched: texts, and numbers as written.
    PlainProxy(QList<int> texts, QList<int> numbers)
        : m_texts(std::move(texts))
        , m_numbers(std::move(numbers))
    {
        setDynamicSortFilter(false);
        setFilterCaseSensitivity(Qt::CaseInsensitive);
    }
    void sortByRole(int role, Qt::SortOrder order)
    {
        setSortRole(role);
        sort(0, order);
    }
    void setFilterBrand(const QString& brand)
    {
        refilter([&] { m_brand = brand; });
    }
    void setFilterString(const QString& text)
    {
        refilter([&] { m_text = text; });
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override
    {
        const QModelIndex index = sourceModel()->index(row, 0, parent);
        if (!m_brand.isEmpty() && index.data(Cam::BrandName).toString() != m_brand)
            return false;
        QStringList values;
        for (int role : m_texts)
            values.append(index.data(role).toString());
        for (int role : m_numbers)
            values.append(QString::number(index.data(role).toInt()));
        for (const QString& word : m_text.split(QLatin1Char(' '))) {
            const auto hasWord = [&](const QString& value) { return value.contains(word, filterCaseSensitivity()); };
            if (std::none_of(values.cbegin(), values.cend(), hasWord))
                return false;
        }
        return true;
    }

    template <typename Change>
    void refilter(Change&& change)
    {
#if QT_VERSION >= QT_VERSION_CHECK(6, 10, 0)
        beginFilterChange();
        change();
        endFilterChange(QSortFilterProxyModel::Direction::Rows);
#else
        change();
        invalidateFilter();
#endif
    }

private:
    QList<int> m_texts;
    QList<int> m_numbers;
    QString m_brand;
    QString m_text;
};

// The camera view sorts its address role by the packed address.
struct PlainCameraProxy : PlainProxy
{
    PlainCameraProxy()
        : PlainProxy({Cam::Ip, Cam::Mac, Cam::Model, Cam::BrandName}, {Cam::Port})
    {
    }
    void sortByRole(int role, Qt::SortOrder order)
    {
        PlainProxy::sortByRole(role == Cam::Ip ? int(Cam::IpForSort) : role, order);
    }
};

// The station view sorts text without case, and addresses part by part.
struct PlainStationProxy : PlainProxy
{
    PlainStationProxy()
        : PlainProxy({Station::Model, Station::Ip, Station::HostName}, {Station::Port, Station::HttpsPort})
    {
        setSortCaseSensitivity(Qt::CaseInsensitive);
    }

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override
    {
        if (sortRole() != Station::Ip)
            return QSortFilterProxyModel::lessThan(left, right);
        const QStringList l = left.data(Station::Ip).toString().split(QLatin1Char('.'));
        const QStringList r = right.data(Station::Ip).toString().split(QLatin1Char('.'));
        if (l.size() != r.size())
            return l.size() < r.size();
        for (qsizetype i = 0; i < l.size(); ++i) {
            if (l[i] != r[i])
                return l[i].toInt() < r[i].toInt();
        }
        return false;
    }
};

const QStringList kTexts = {
    QString(), QStringLiteral(""), "a", "A", "ab", "AB", "Ab", "abcd", "abcde", "ABCDE", "abcdf", "abcdE", "lobby 2",
    "Lobby 10", "M17", "m17", "onvif", "qrln", "-1", "10", "9", QStringLiteral("a\u0000"), QStringLiteral("\u00e4"),
    QStringLiteral("\u00c4rger"), QStringLiteral("\u00e4rger"), QStringLiteral("stra\u00dfe"), "STRASSE",
    QStringLiteral("\u212a"), "k", QStringLiteral("\u01c5"), QStringLiteral("\u01c6"), QStringLiteral("\U0001F600"),
    QStringLiteral("\U0001F601x"), QStringLiteral("\u0130stanbul"), "istanbul", QStringLiteral("zz\u00e9"), "zzE",
    // Long texts that differ only after their first 12 or 24 code units.
    "00-1A-2B-3C-4D-5E", "00-1a-2b-3c-4d-5f", "entrance camera, floor 1", "entrance camera, floor 10",
    "entrance camera, floor 1A", "Entrance camera, floor 1a", QStringLiteral("\u00c4rger im Haus 1"),
    QStringLiteral("\u00c4rger im Haus 10"), QStringLiteral("\u00e4rger im Haus 9"),
};

const QStringList kAddresses = {
    "10.0.0.9", "10.0.0.10", "9.255.255.255", "10.0.0.0", "192.168.1.9", "192.168.1.10", "1.2.3.400", "1.2.4.144",
    "300.1.1.1", "010.0.0.1", "10.0.0.1", "1.2.3", "::1", "1..2.3", QStringLiteral(""), "a.b.c.d", "1.5", "01.3",
    "1.4", "4294967296.1.1.1",
};

// Addresses whose parts are all written as plain numbers, and always present.
const QStringList kPlainAddresses = {
    "10.0.0.9", "10.0.0.10", "9.255.255.255", "10.0.0.0", "192.168.1.9", "192.168.1.10", "1.2.3.400",
    "1.2.4.144", "300.1.1.1", "1.2.3", "1.5", "1.4", "65535.0.0.1", "7",
};

// What a role holds when every row holds the same type in it; roles not listed hold text.
enum Kind { Text, Int, UInt, Real, Bool, Address, PlainAddress };
using Kinds = QHash<int, Kind>;
const Kinds kCameraKinds{
    {Cam::Ip, Address}, {Cam::IpForSort, UInt}, {Cam::Port, Int},     {Cam::Type, Int},
    {Cam::Status, Int}, {Cam::Brand, Int},      {Cam::ChannelNum, Int}, {Cam::RtspPort, Int},
    {Cam::PreviousStatus, Real}, {Cam::Manual, Bool}, {Cam::UseSSL, Bool},
};
const Kinds kStationKinds{
    {Station::Ip, Address}, {Station::Port, Int}, {Station::Type, Int}, {Station::Brand, Int},
    {Station::Status, Int}, {Station::HttpsPort, Int},
};
Kinds withPlainAddresses(Kinds kinds)
{
    kinds.insert(Station::Ip, PlainAddress);
    return kinds;
}

// One type per role (as the plug-in writes them), or any mixture (as a foreign writer
// might leave them).
QVariant randomValue(QRandomGenerator& random, Kind kind, bool mixed)
{
    // Some values are missing, in either case.
    if (kind != PlainAddress && random.bounded(8) == 0)
        return QVariant();
    if (mixed)
        kind = Kind(random.bounded(6));
    switch (kind) {
    case Text:
        return kTexts.at(random.bounded(int(kTexts.size())));
    case Address:
        return kAddresses.at(random.bounded(int(kAddresses.size())));
    case PlainAddress:
        return kPlainAddresses.at(random.bounded(int(kPlainAddresses.size())));
    case Int:
        return int(random.bounded(21)) - 10;
    case UInt:
        return uint(random.bounded(5u)) * 0x3FFFFFFFu;
    case Real:
        return double(random.bounded(9)) / 4.0;
    case Bool:
        return random.bounded(2) == 1;
    }
    return QVariant();
}

void appendRows(QStandardItemModel& model, QRandomGenerator& random, int count, int firstRole, int lastRole,
                const Kinds& kinds, bool mixed)
{
    QList<QStandardItem*> items;
    for (int i = 0; i < count; ++i) {
        auto* item = new QStandardItem;
        for (int role = firstRole; role <= lastRole; ++role) {
            const QVariant value = randomValue(random, kinds.value(role, Text), mixed);
            if (value.isValid())
                item->setData(value, role);
        }
        items.append(item);
    }
    model.setColumnCount(1);
    model.invisibleRootItem()->appendRows(items);
}

// Changes another holder of the model may make between two calls of a view: a value
// written or cleared, a row inserted at the top, removed or replaced, the rows sorted
// in the model itself.
// Values are mostly written to the role the view sorts by, whose ranks it may keep.
enum class Writes { None, Values, Any };

QString writeBetweenCalls(QStandardItemModel& model, QRandomGenerator& random, int firstRole, int lastRole,
                          const Kinds& kinds, bool mixed, int sortRole, Writes writes)
{
    const int rows = model.rowCount();
    if (writes == Writes::Values && rows > 0) {
        // Values of any role in a few rows, as answers and events write them.
        QStringList written;
        for (int i = 0; i < 4; ++i) {
            const int row = int(random.bounded(rows));
            const int role = firstRole + int(random.bounded(lastRole - firstRole + 1));
            model.item(row)->setData(randomValue(random, kinds.value(role, Text), mixed), role);
            written.append(QStringLiteral("%1 of row %2").arg(role).arg(row));
        }
        return QStringLiteral("values written: ") + written.join(QStringLiteral(", "));
    }
    const int row = rows > 0 ? int(random.bounded(rows)) : 0;
    const int role = random.bounded(2) ? sortRole : firstRole + int(random.bounded(lastRole - firstRole + 1));
    switch (rows > 0 ? random.bounded(8) : 2) {
    case 0:
    case 6:
    case 7:
        model.item(row)->setData(randomValue(random, kinds.value(role, Text), mixed), role);
        return QStringLiteral("value of role %1 written in row %2").arg(role).arg(row);
    case 1:
        model.item(row)->setData(QVariant(), role);
        return QStringLiteral("value of role %1 cleared in row %2").arg(role).arg(row);
    case 2:
        appendRows(model, random, 1, firstRole, lastRole, kinds, mixed);
        model.insertRow(0, model.takeRow(model.rowCount() - 1));
        return QStringLiteral("row inserted at the top");
    case 3:
        model.removeRow(row);
        return QStringLiteral("row %1 removed").arg(row);
    case 4: {
        auto* item = model.item(row)->clone();
        item->setData(randomValue(random, kinds.value(role, Text), mixed), role);
        model.setItem(row, item);
        return QStringLiteral("row %1 replaced").arg(row);
    }
    default:
        model.setSortRole(role);
        model.sort(0, random.bounded(2) ? Qt::AscendingOrder : Qt::DescendingOrder);
        return QStringLiteral("model sorted by role %1").arg(role);
    }
}

QString order(const QSortFilterProxyModel& proxy)
{
    QStringList rows;
    for (int row = 0; row < proxy.rowCount(); ++row)
        rows.append(QString::number(proxy.mapToSource(proxy.index(row, 0)).row()));
    return rows.join(QLatin1Char(','));
}

// Whether this Qt's own proxy puts rows with equal keys in reverse source order when it
// sorts in descending order (6.8 does; 6.4 keeps their source order either way).
bool qtReversesEqualKeysWhenDescending()
{
    QStandardItemModel model;
    for (int row = 0; row < 2; ++row) {
        auto* item = new QStandardItem;
        item->setData(1, Qt::UserRole);
        model.appendRow(item);
    }
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(&model);
    proxy.setSortRole(Qt::UserRole);
    proxy.sort(0, Qt::DescendingOrder);
    return proxy.mapToSource(proxy.index(0, 0)).row() == 1;
}

// The sort keys of the rows in view order, and the rows shown, in source order.
std::pair<QStringList, QList<int>> keysAndRows(const QSortFilterProxyModel& proxy, int role)
{
    std::pair<QStringList, QList<int>> shown;
    for (int row = 0; row < proxy.rowCount(); ++row) {
        const QModelIndex index = proxy.index(row, 0);
        shown.first.append(index.data(role).toString());
        shown.second.append(proxy.mapToSource(index).row());
    }
    std::sort(shown.second.begin(), shown.second.end());
    return shown;
}

// The view shows what the plain proxy shows. Where this Qt orders equal keys of a
// descending sort differently from 6.4, which the views follow, the same keys in the
// same order over the same rows suffice.
bool sameView(const QSortFilterProxyModel& view, const QSortFilterProxyModel& plain)
{
    if (order(view) == order(plain))
        return true;
    static const bool reversesEqualKeys = qtReversesEqualKeysWhenDescending();
    if (!reversesEqualKeys || plain.sortColumn() < 0 || plain.sortOrder() != Qt::DescendingOrder)
        return false;
    return keysAndRows(view, plain.sortRole()) == keysAndRows(plain, plain.sortRole());
}

const QStringList kWords = {QString(), "10.", "a", "A 1", QStringLiteral("\u00e4"), "  ", "0", "ss", "k", "on"};
// "floor 1" ends other texts after a space, as a brand name in the view's kept texts would.
const QStringList kBrands = {QString(), "onvif", "ONVIF", "-1", "qrln", "floor 1"};

} // namespace

class TestProxyDifferential : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void viewsAgreeWithPlainProxies_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("rows");
        QTest::addColumn<bool>("mixed");
        // Whether values only, or also rows, are written, inserted, removed, replaced and
        // sorted in the model between calls: the views keep ranks and texts from one
        // call to the next.
        QTest::addColumn<Writes>("writes");
        QTest::newRow("one type per role, many equal keys") << 2u << 400 << false << Writes::None;
        QTest::newRow("types mixed within a role") << 4u << 150 << true << Writes::None;
        QTest::newRow("no rows") << 6u << 0 << false << Writes::None;
        QTest::newRow("station addresses of plain numbers") << 7u << 300 << false << Writes::None;
        QTest::newRow("values written between calls") << 8u << 300 << false << Writes::Values;
        QTest::newRow("rows written between calls") << 9u << 200 << false << Writes::Any;
        QTest::newRow("rows written between calls, few rows") << 10u << 6 << false << Writes::Any;
        QTest::newRow("rows written between calls, types mixed") << 11u << 150 << true << Writes::Any;
        QTest::newRow("rows written between calls, station addresses of plain numbers") << 12u << 150 << false
                                                                                          << Writes::Any;
    }

    void viewsAgreeWithPlainProxies()
    {
        QFETCH(quint32, seed);
        QFETCH(int, rows);
        QFETCH(bool, mixed);
        QFETCH(Writes, writes);
        QRandomGenerator random(seed);

        QStandardItemModel cameras;
        QStandardItemModel stations;
        CameraSortFilterModel camera;
        PlainCameraProxy plainCamera;
        StationTableSortFilterModel station;
        PlainStationProxy plainStation;
        const auto attach = [&] {
            camera.setSourceModel(&cameras);
            plainCamera.setSourceModel(&cameras);
            station.setSourceModel(&stations);
            plainStation.setSourceModel(&stations);
        };
        // Where rows are written, the views watch the models before the rows arrive, as
        // the plug-in's do: the camera view then keeps its searched texts from the
        // first row, and writes leave the texts of the rows not written.
        if (writes != Writes::None)
            attach();
        appendRows(cameras, random, rows, Cam::Id, Cam::Last, kCameraKinds, mixed);
        const Kinds stationKinds = QByteArray(QTest::currentDataTag()).contains("plain numbers")
                                       ? withPlainAddresses(kStationKinds)
                                       : kStationKinds;
        appendRows(stations, random, rows, Station::Id, Station::Last, stationKinds, mixed);
        if (writes == Writes::None)
            attach();
        const QList<QSortFilterProxyModel*> views{&camera, &plainCamera, &station, &plainStation};
        QAbstractItemModelTester cameraTester(&camera, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester stationTester(&station, QAbstractItemModelTester::FailureReportingMode::QtTest);

        for (int step = 0; step < 120; ++step) {
            const Qt::SortOrder sortOrder = random.bounded(3) == 0 ? Qt::DescendingOrder : Qt::AscendingOrder;
            QString what;
            switch (random.bounded(7)) {
            case 0:
            case 1: {
                // The address role, sorted by its packed value, in a third of the sorts.
                const int role = random.bounded(3) == 0 ? int(Cam::Ip)
                                                        : Cam::Id + int(random.bounded(Cam::Last - Cam::Id + 2));
                what = QStringLiteral("camera sortByRole %1 %2").arg(role).arg(sortOrder);
                camera.sortByRole(role, sortOrder);
                plainCamera.sortByRole(role, sortOrder);
                break;
            }
            case 2: {
                // The address role, compared part by part, in half of the sorts.
                const int role = random.bounded(2) == 0
                    ? int(Station::Ip)
                    : Station::Id - 1 + int(random.bounded(Station::Last - Station::Id + 3));
                what = QStringLiteral("station sortByRole %1 %2").arg(role).arg(sortOrder);
                station.sortByRole(role, sortOrder);
                plainStation.sortByRole(role, sortOrder);
                break;
            }
            case 3: {
                const QString brand = kBrands.at(random.bounded(int(kBrands.size())));
                what = QStringLiteral("setFilterBrand '%1'").arg(brand);
                camera.setFilterBrand(brand);
                plainCamera.setFilterBrand(brand);
                break;
            }
            case 4: {
                const QString words = kWords.at(random.bounded(int(kWords.size())));
                what = QStringLiteral("setFilterString '%1'").arg(words);
                camera.setFilterString(words);
                plainCamera.setFilterString(words);
                station.setFilterString(words);
                plainStation.setFilterString(words);
                break;
            }
            case 5: {
                // QML may change the case sensitivities; both views then follow them.
                const Qt::CaseSensitivity cs = random.bounded(2) ? Qt::CaseSensitive : Qt::CaseInsensitive;
                what = QStringLiteral("case sensitivity %1").arg(cs);
                for (QSortFilterProxyModel* proxy : views) {
                    proxy->setSortCaseSensitivity(cs);
                    proxy->setFilterCaseSensitivity(cs);
                }
                break;
            }
            default:
                if (writes != Writes::None) {
                    what = writeBetweenCalls(cameras, random, Cam::Id, Cam::Last, kCameraKinds, mixed,
                                             camera.sortRole(), writes)
                        + QStringLiteral(", ")
                        + writeBetweenCalls(stations, random, Station::Id, Station::Last, stationKinds, mixed,
                                            station.sortRole(), writes);
                    // A view may filter again between calls: QML can invalidate it.
                    if (writes == Writes::Values) {
                        for (QSortFilterProxyModel* proxy : views)
                            proxy->invalidate();
                    }
                    break;
                }
                what = QStringLiteral("rows appended");
                appendRows(cameras, random, 3, Cam::Id, Cam::Last, kCameraKinds, mixed);
                appendRows(stations, random, 3, Station::Id, Station::Last, stationKinds, mixed);
                break;
            }
            QVERIFY2(sameView(camera, plainCamera), qPrintable(QStringLiteral("camera view after step %1: %2")
                                                                          .arg(step)
                                                                          .arg(what)));
            QVERIFY2(sameView(station, plainStation),
                     qPrintable(QStringLiteral("station view after step %1: %2").arg(step).arg(what)));
        }
    }
};

QTEST_GUILESS_MAIN(TestProxyDifferential)
#include "tst_proxy_differential.moc"
