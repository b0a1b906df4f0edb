#include "StationTableSortFilterModel.h"

#include "SearchedValues.h"

#include "CameraRoles.h"
#include "ProxyFilterCompat.h"

#include <algorithm>

namespace {

// The values the filter words are searched in, in the order they are searched: the
// ports as the numbers they are.
struct StationSearchFields
{
    static constexpr std::array<int, 5> roles{StationRole::Model, StationRole::Ip, StationRole::Port,
                                              StationRole::HttpsPort, StationRole::HostName};
    static constexpr unsigned numbers = (1u << 2) | (1u << 3);
};

} // namespace

StationTableSortFilterModel::StationTableSortFilterModel(QObject* parent)
    : QSortFilterProxyModel(parent)
    , m_searchedTexts(&SearchedValues<StationSearchFields>::appendAll, SearchedValues<StationSearchFields>::roles(),
                      SearchedTexts::Keeping::FromFirstFilter)
{
    setDynamicSortFilter(false);
    setFilterCaseSensitivity(Qt::CaseInsensitive);
    setSortCaseSensitivity(Qt::CaseInsensitive);
}

StationTableSortFilterModel::~StationTableSortFilterModel() = default;

void StationTableSortFilterModel::setSourceModel(QAbstractItemModel* model)
{
    if (model == sourceModel())
        return;
    // Watched before the base class connects: kept ranks and texts are dropped before
    // the view hears of a change.
    m_sortKeys.watch(model);
    m_searchedTexts.watch(model);
    QSortFilterProxyModel::setSourceModel(model);
}

void StationTableSortFilterModel::sortByRole(int role, Qt::SortOrder order)
{
    // Prepared before the role changes: once the view has been sorted, Qt sorts it
    // again inside setSortRole, in the last order. Where the rows compare by ranks,
    // which order them strictly, that sort keeps the rows where they are and the one
    // of sort() gives what both give; other keys may not be ordered strictly, and
    // there both sorts are done, as Qt does them.
    prepareSortKeys(role);
    m_holdOrder = m_sortKeys.inUse();
    setSortRole(role);
    m_holdOrder = false;
    sort(0, order);
    releaseSortKeys();
}

void StationTableSortFilterModel::prepareSortKeys(int role)
{
    if (!sourceModel())
        return;
    if (role == StationRole::Ip) {
        if (!m_sortKeys.use(role, kAddressRanks, [this](std::vector<int>& ranks) { return rankAddresses(ranks); }))
            m_ipAddresses.assign(size_t(sourceModel()->rowCount()), IpAddress());
    } else if (!isSortLocaleAware())
        m_sortKeys.use(role, sortCaseSensitivity());
}

void StationTableSortFilterModel::releaseSortKeys()
{
    m_sortKeys.release();
    m_ipText = QString();
    m_ipParts = {};
    m_ipAddresses = {};
}

namespace {

// A part of an address written the one way its number is written: digits without a
// leading zero. Between such parts, differing texts are differing numbers.
int plainNumber(QStringView part)
{
    if (part.isEmpty() || part.size() > 5 || (part.size() > 1 && part.front() == QLatin1Char('0')))
        return -1;
    int value = 0;
    for (const QChar c : part) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
        value = value * 10 + (c.unicode() - '0');
    }
    return value <= 0xFFFF ? value : -1;
}

} // namespace

bool StationTableSortFilterModel::rankAddresses(std::vector<int>& ranks) const
{
    // ipLessThan compares the parts' numbers where their texts differ. When every part
    // of every address is a plain number, texts differ exactly where numbers do, and
    // the comparison is the order of (number of parts, the parts' numbers): one key per
    // row, ranked once. Parts such as 010, 1a or empty ones make 010 equal 10 while
    // 010 and 10 are still told apart further on; those are compared pair by pair.
    struct Key
    {
        int count;
        quint64 packed;
        int row;
        bool operator<(const Key& other) const
        {
            return count != other.count ? count < other.count : packed < other.packed;
        }
    };
    const int rows = sourceModel()->rowCount();
    std::vector<Key> keys;
    keys.reserve(size_t(qMax(0, rows)));
    for (int row = 0; row < rows; ++row) {
        const QString text = sourceModel()->index(row, 0).data(StationRole::Ip).toString();
        Key key{0, 0, row};
        qsizetype start = 0;
        for (;;) {
            const qsizetype dot = text.indexOf(QLatin1Char('.'), start);
            const int value = plainNumber(QStringView(text).mid(start, (dot < 0 ? text.size() : dot) - start));
            if (value < 0 || key.count == 4)
                return false;
            key.packed = (key.packed << 16) | quint64(value);
            ++key.count;
            if (dot < 0)
                break;
            start = dot + 1;
        }
        keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end());
    ranks.assign(keys.size(), 0);
    int rank = -1;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i == 0 || keys[i - 1] < keys[i])
            ++rank;
        ranks[size_t(keys[i].row)] = rank;
    }
    return true;
}

bool StationTableSortFilterModel::coversAddresses(const QModelIndex& sourceIndex, size_t rows) const
{
    return sourceIndex.model() == sourceModel() && sourceIndex.column() == 0 && size_t(sourceIndex.row()) < rows
        && !sourceIndex.parent().isValid();
}

const StationTableSortFilterModel::IpAddress& StationTableSortFilterModel::addressOf(
    const QModelIndex& sourceIndex) const
{
    IpAddress& address = m_ipAddresses[size_t(sourceIndex.row())];
    if (address.count > 0)
        return address;
    // The same parts ipLessThan compares: split at every '.', empty parts kept.
    const QString text = sourceIndex.data(StationRole::Ip).toString();
    address.first = m_ipParts.size();
    qsizetype start = 0;
    for (;;) {
        const qsizetype dot = text.indexOf(QLatin1Char('.'), start);
        const QStringView part = QStringView(text).mid(start, (dot < 0 ? text.size() : dot) - start);
        m_ipParts.push_back({m_ipText.size(), part.size(), part.toInt()});
        m_ipText.append(part);
        if (dot < 0)
            break;
        start = dot + 1;
    }
    address.count = m_ipParts.size() - address.first;
    return address;
}

bool StationTableSortFilterModel::addressLessThan(const IpAddress& left, const IpAddress& right) const
{
    if (left.count != right.count)
        return left.count < right.count;
    const QStringView text(m_ipText);
    for (size_t i = 0; i < left.count; ++i) {
        const IpPart& leftPart = m_ipParts[left.first + i];
        const IpPart& rightPart = m_ipParts[right.first + i];
        if (text.mid(leftPart.offset, leftPart.length) != text.mid(rightPart.offset, rightPart.length))
            return leftPart.value < rightPart.value;
    }
    return false;
}

void StationTableSortFilterModel::setFilterString(const QString& text)
{
    // A sorted view puts every row that a filter change shows again in its place by
    // comparing it with the rows shown; when many come back, prepare the keys once.
    const bool prepare = sourceModel() && sortColumn() >= 0
        && SortKeys::worthRanking(sourceModel()->rowCount(), rowCount());
    if (prepare)
        prepareSortKeys(sortRole());
    const QStringList words = text.split(QLatin1Char(' '));
    if (searchesValues(words)) {
        m_searchedTexts.prepare();
        m_searchedTexts.matchAll(words, filterCaseSensitivity());
    }
    changeFilter(this, [&] {
        filterString = text;
        m_filterWords = words;
    });
    m_searchedTexts.forgetMatches();
    releaseSortKeys();
}

bool StationTableSortFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const
{
    return containsAllFixedStringsSeparatedBySpace(sourceModel()->index(sourceRow, 0, sourceParent));
}

bool StationTableSortFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    if (m_holdOrder)
        return false;
    const int role = sortRole();
    if (role == StationRole::Ip) {
        if (m_sortKeys.covers(left, StationRole::Ip) && m_sortKeys.covers(right, StationRole::Ip))
            return m_sortKeys.lessThan(left, right);
        if (coversAddresses(left, m_ipAddresses.size()) && coversAddresses(right, m_ipAddresses.size()))
            return addressLessThan(addressOf(left), addressOf(right));
        return ipLessThan(left, right);
    }
    if (m_sortKeys.covers(left, role) && m_sortKeys.covers(right, role))
        return m_sortKeys.lessThan(left, right);
    return QSortFilterProxyModel::lessThan(left, right);
}


bool StationTableSortFilterModel::containsAllFixedStringsSeparatedBySpace(const QModelIndex& sourceIndex) const
{
    if (m_searchedTexts.covers(sourceIndex))
        return m_searchedTexts.containAll(sourceIndex, m_filterWords, filterCaseSensitivity());
    return SearchedValues<StationSearchFields>(sourceIndex).containAll(m_filterWords, filterCaseSensitivity());
}

bool StationTableSortFilterModel::containsString(const QModelIndex& sourceIndex, const QString& text) const
{
    return SearchedValues<StationSearchFields>(sourceIndex).contain(text, filterCaseSensitivity());
}

bool StationTableSortFilterModel::ipLessThan(const QModelIndex& left, const QModelIndex& right) const
{
    return ipPartsLessThan(left.data(StationRole::Ip).toString().split(QLatin1Char('.')),
                           right.data(StationRole::Ip).toString().split(QLatin1Char('.')));
}

bool StationTableSortFilterModel::ipPartsLessThan(const QStringList& leftParts, const QStringList& rightParts)
{
    // Fewer parts first: an address without dots (IPv6, a name) before any IPv4.
    if (leftParts.size() != rightParts.size())
        return leftParts.size() < rightParts.size();
    for (qsizetype i = 0; i < leftParts.size(); ++i) {
        if (leftParts[i] != rightParts[i])
            return leftParts[i].toInt() < rightParts[i].toInt();
    }
    return false;
}
