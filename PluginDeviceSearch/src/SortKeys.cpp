#include "SortKeys.h"

#include "TopLevelRowChanges.h"

#include <QStandardItemModel>
#include <QVariant>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace {

// How QSortFilterProxyModel compares a value: by the type of the left one, numbers of
// these types as numbers, a few other types by their own order, everything else as text.
enum class Kind { Missing, Integer, Real, Text, Unranked };

Kind kindOf(const QVariant& value)
{
    switch (value.metaType().id()) {
    case QMetaType::UnknownType:
        return Kind::Missing;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return Kind::Integer;
    case QMetaType::Float:
    case QMetaType::Double:
        return Kind::Real;
    case QMetaType::ULongLong:
    case QMetaType::QChar:
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QDateTime:
        return Kind::Unranked;
    default:
        return Kind::Text;
    }
}

// Ranks rows by a key of their own: equal keys share a rank; rows without a key keep
// the highest rank, after every row with one.
template <typename Less>
void rankRows(std::vector<int>& rows, std::vector<int>& ranks, Less less)
{
    std::sort(rows.begin(), rows.end(), less);
    int rank = -1;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i == 0 || less(rows[i - 1], rows[i]))
            ++rank;
        ranks[size_t(rows[i])] = rank;
    }
}

// Enough for a MAC address or an IPv4 address to compare without leaving the key.
constexpr qsizetype kPrefixLength = 12;
constexpr int kUnitsPerWord = 4;

// Ranks of a few roles are kept: the columns a user goes back and forth between.
constexpr size_t kKeptTables = 8;

struct TextKey
{
    // The first kPrefixLength code units, 16 bits each, the first one highest, zeros
    // after the end; ordered like the texts themselves wherever they differ.
    // Case-blind, they are packed only when all of them are ASCII, whose folding is
    // plain lower case.
    std::array<quint64, kPrefixLength / kUnitsPerWord> prefix{};
    bool packed = false;
    // Case-blind: the whole text is ASCII and lies lower-cased in the buffer, so two
    // such texts compare as they are, unit by unit.
    bool folded = false;
    qsizetype offset = 0;
    qsizetype length = 0;
    int row = 0;
};

// Appends the text to the buffer (lower-cased where that is how a case-blind
// comparison sees it) and returns its key.
TextKey textKey(const QString& text, Qt::CaseSensitivity cs, QString& buffer, int row)
{
    TextKey key;
    key.offset = buffer.size();
    key.length = text.size();
    key.row = row;
    buffer.append(text);
    if (cs == Qt::CaseInsensitive) {
        // Lower-cased in place, and undone if the text turns out not to be ASCII.
        char16_t* units = reinterpret_cast<char16_t*>(buffer.data()) + key.offset;
        key.folded = true;
        for (qsizetype i = 0; i < key.length && key.folded; ++i) {
            if (units[i] >= 0x80)
                key.folded = false;
            else if (units[i] >= 'A' && units[i] <= 'Z')
                units[i] = char16_t(units[i] + ('a' - 'A'));
        }
        if (!key.folded)
            std::copy(text.utf16(), text.utf16() + text.size(), units);
    }
    key.packed = true;
    for (qsizetype i = 0; i < kPrefixLength; ++i) {
        char16_t unit = i < text.size() ? buffer.at(key.offset + i).unicode() : 0;
        if (cs == Qt::CaseInsensitive && !key.folded && unit >= 0x80) {
            key.packed = false;
            break;
        }
        if (cs == Qt::CaseInsensitive && unit >= 'A' && unit <= 'Z')
            unit = char16_t(unit + ('a' - 'A'));
        quint64& word = key.prefix[size_t(i / kUnitsPerWord)];
        word = (word << 16) | unit;
    }
    return key;
}

} // namespace

bool SortKeys::rankValues(const QAbstractItemModel* source, int role, Qt::CaseSensitivity cs,
                          std::vector<int>& ranks)
{
    const int rowCount = source->rowCount();
    std::vector<QVariant> values(size_t(qMax(0, rowCount)));
    Kind kind = Kind::Missing;
    int numberType = QMetaType::UnknownType;
    for (int row = 0; row < rowCount; ++row) {
        QVariant& value = values[size_t(row)];
        value = source->index(row, 0).data(role);
        const Kind rowKind = kindOf(value);
        if (rowKind == Kind::Missing)
            continue;
        if (rowKind == Kind::Unranked || (kind != Kind::Missing && kind != rowKind))
            return false;
        kind = rowKind;
        // A number is read as the type of the number it is compared with: only numbers
        // of one type compare the same from both sides.
        if (rowKind == Kind::Integer || rowKind == Kind::Real) {
            if (numberType != QMetaType::UnknownType && numberType != value.metaType().id())
                return false;
            numberType = value.metaType().id();
        }
    }

    std::vector<int> rows;
    rows.reserve(values.size());
    for (size_t row = 0; row < values.size(); ++row) {
        if (values[row].isValid())
            rows.push_back(int(row));
    }
    ranks.assign(values.size(), std::numeric_limits<int>::max());

    switch (kind) {
    case Kind::Integer: {
        std::vector<qint64> keys(values.size());
        for (const int row : rows)
            keys[size_t(row)] = values[size_t(row)].toLongLong();
        values = {};
        rankRows(rows, ranks, [&](int a, int b) { return keys[size_t(a)] < keys[size_t(b)]; });
        break;
    }
    case Kind::Real: {
        std::vector<double> keys(values.size());
        for (const int row : rows) {
            keys[size_t(row)] = values[size_t(row)].toDouble();
            if (std::isnan(keys[size_t(row)]))
                return false;
        }
        values = {};
        rankRows(rows, ranks, [&](int a, int b) { return keys[size_t(a)] < keys[size_t(b)]; });
        break;
    }
    case Kind::Text: {
        // Every text once, side by side in one buffer, and each row's first code units
        // packed into numbers next to its length: most comparisons end there.
        QString texts;
        std::vector<TextKey> keys;
        keys.reserve(rows.size());
        for (const int row : rows)
            keys.push_back(textKey(values[size_t(row)].toString(), cs, texts, row));
        values = {};
        const QStringView all(texts);
        const auto less = [all, cs](const TextKey& left, const TextKey& right) {
            if (left.packed && right.packed) {
                if (left.prefix != right.prefix)
                    return left.prefix < right.prefix;
                if (left.length <= kPrefixLength && right.length <= kPrefixLength)
                    return left.length < right.length;
            }
            const Qt::CaseSensitivity compared = left.folded && right.folded ? Qt::CaseSensitive : cs;
            return all.mid(left.offset, left.length).compare(all.mid(right.offset, right.length), compared) < 0;
        };
        std::sort(keys.begin(), keys.end(), less);
        int rank = -1;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (i == 0 || less(keys[i - 1], keys[i]))
                ++rank;
            ranks[size_t(keys[i].row)] = rank;
        }
        break;
    }
    case Kind::Missing:
    case Kind::Unranked:
        break;
    }
    return true;
}

SortKeys::~SortKeys()
{
    watch(nullptr);
}

void SortKeys::watch(const QAbstractItemModel* source)
{
    for (const QMetaObject::Connection& connection : std::as_const(m_connections))
        QObject::disconnect(connection);
    m_connections.clear();
    dropAll();
    m_source = source;
    m_standard = qobject_cast<const QStandardItemModel*>(source) != nullptr;
    if (!source)
        return;

    // Only top-level rows are ranked: changes below them leave the ranks as they are.
    m_connections = TopLevelRowChanges{
        [this](const QList<int>& roles) { drop(roles); },
        [this](int, int) { dropAll(); },
        [this] { dropAll(); },
        [this] { watch(nullptr); },
    }.connect(source);
}

bool SortKeys::use(int role, Qt::CaseSensitivity cs)
{
    const QAbstractItemModel* source = m_source;
    return use(role, cs == Qt::CaseSensitive ? 1 : 0,
               [source, role, cs](std::vector<int>& ranks) { return rankValues(source, role, cs, ranks); });
}

bool SortKeys::use(int role, int kind, const Ranker& ranker)
{
    m_active = nullptr;
    if (!m_source)
        return false;
    auto it = std::find_if(m_tables.begin(), m_tables.end(),
                           [&](const Table& table) { return table.role == role && table.kind == kind; });
    if (it == m_tables.end()) {
        if (m_tables.size() >= kKeptTables)
            m_tables.erase(m_tables.begin());
        Table table{role, kind, false, {}};
        table.ranked = ranker(table.ranks);
        if (!table.ranked)
            table.ranks = {};
        m_tables.push_back(std::move(table));
    } else {
        std::rotate(it, it + 1, m_tables.end());
    }
    const Table& table = m_tables.back();
    if (!table.ranked)
        return false;
    m_active = &table;
    // Every top-level index of a QStandardItemModel carries the same pointer, to where
    // their parent's rows are kept; other rows carry their own parent's.
    m_topLevel = m_standard && m_source->rowCount() > 0 ? m_source->index(0, 0).internalPointer() : nullptr;
    return true;
}

void SortKeys::dropAll()
{
    m_active = nullptr;
    m_tables.clear();
}

void SortKeys::drop(const QList<int>& roles)
{
    if (roles.isEmpty()) {
        dropAll();
        return;
    }
    m_active = nullptr;
    m_tables.erase(std::remove_if(m_tables.begin(), m_tables.end(),
                                  [&](const Table& table) { return roles.contains(table.role); }),
                   m_tables.end());
}
