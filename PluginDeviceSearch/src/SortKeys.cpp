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
template <typename Key, typename Less>
void rankKeys(std::vector<Key>& keys, std::vector<int>& ranks, Less less)
{
    std::sort(keys.begin(), keys.end(), less);
    int rank = -1;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (i == 0 || less(keys[i - 1], keys[i]))
            ++rank;
        ranks[size_t(keys[i].row)] = rank;
    }
}

template <typename Number>
struct NumberKey
{
    Number value;
    int row;
};

// Ranks of a few roles are kept: the columns a user goes back and forth between.
constexpr size_t kKeptTables = 8;

// A text's first code units packed into three numbers, the first unit highest, zeros
// after the end: ordered like the texts themselves wherever they differ. Where every
// packed text is ASCII a unit takes 8 bits, so 24 of them fit, enough for a MAC or an
// IPv4 address to compare without leaving the key; otherwise 16 bits, 12 units.
constexpr size_t kPrefixWords = 3;

struct TextKey
{
    std::array<quint64, kPrefixWords> prefix{};
    qsizetype offset = 0;
    qsizetype length = 0;
    int row = 0;
    // Whether prefix holds the text's start. Case-blind, only texts that are all ASCII
    // are packed: their folding is plain lower case.
    bool packed = false;
    // Case-blind: the text is ASCII and lies lower-cased in the buffer, so two such
    // texts compare as they are, unit by unit.
    bool folded = false;
};

// The values of a role, each read once, in one pass over the rows: a row's value is
// taken apart while it is in the cache (a number kept as a number, a text appended to
// one buffer), not read again from the row, which on a large site is a few cache
// misses a row.
class ValueReader
{
public:
    ValueReader(Qt::CaseSensitivity cs, int rows)
        : m_cs(cs)
        , m_rows(size_t(rows))
    {
    }

    // False once the values cannot be ranked: their comparison is no order.
    bool add(const QVariant& value, int row)
    {
        const Kind kind = kindOf(value);
        if (kind == Kind::Missing)
            return true;
        if (kind == Kind::Unranked || (m_kind != Kind::Missing && m_kind != kind))
            return false;
        if (m_kind == Kind::Missing)
            reserve(kind);
        m_kind = kind;
        switch (kind) {
        case Kind::Integer:
        case Kind::Real:
            // A number is read as the type of the number it is compared with: only
            // numbers of one type compare the same from both sides.
            if (m_numberType != QMetaType::UnknownType && m_numberType != value.metaType().id())
                return false;
            m_numberType = value.metaType().id();
            if (kind == Kind::Integer) {
                m_integers.push_back({value.toLongLong(), row});
                return true;
            }
            m_reals.push_back({value.toDouble(), row});
            return !std::isnan(m_reals.back().value);
        default:
            if (value.metaType().id() == QMetaType::QString)
                addText(*static_cast<const QString*>(value.constData()), row);
            else
                addText(value.toString(), row);
            return true;
        }
    }

    // Every row that has a value gets a rank; ranks of the others are left as they are.
    void rank(std::vector<int>& ranks)
    {
        switch (m_kind) {
        case Kind::Integer:
            rankKeys(m_integers, ranks, [](const auto& a, const auto& b) { return a.value < b.value; });
            break;
        case Kind::Real:
            rankKeys(m_reals, ranks, [](const auto& a, const auto& b) { return a.value < b.value; });
            break;
        case Kind::Text:
            rankTexts(ranks);
            break;
        default:
            break;
        }
    }

private:
    void reserve(Kind kind)
    {
        if (kind == Kind::Integer)
            m_integers.reserve(m_rows);
        else if (kind == Kind::Real)
            m_reals.reserve(m_rows);
        else
            m_keys.reserve(m_rows);
    }

    void addText(QStringView text, int row)
    {
        TextKey key;
        key.offset = m_texts.size();
        key.length = text.size();
        key.row = row;
        m_texts.append(text);
        char16_t* units = reinterpret_cast<char16_t*>(m_texts.data()) + key.offset;
        char16_t seen = 0;
        for (qsizetype i = 0; i < key.length; ++i)
            seen |= units[i];
        const bool ascii = seen < 0x80;
        if (m_cs == Qt::CaseInsensitive) {
            key.folded = key.packed = ascii;
            for (qsizetype i = 0; ascii && i < key.length; ++i) {
                if (units[i] >= 'A' && units[i] <= 'Z')
                    units[i] = char16_t(units[i] + ('a' - 'A'));
            }
        } else {
            key.packed = true;
            m_wide = m_wide || !ascii;
        }
        m_keys.push_back(key);
    }

    void rankTexts(std::vector<int>& ranks)
    {
        const int bits = m_wide ? 16 : 8;
        const qsizetype unitsPerWord = 64 / bits;
        const qsizetype prefixLength = qsizetype(kPrefixWords) * unitsPerWord;
        const char16_t* units = reinterpret_cast<const char16_t*>(m_texts.constData());
        for (TextKey& key : m_keys) {
            if (!key.packed)
                continue;
            for (qsizetype i = 0; i < prefixLength; ++i) {
                quint64& word = key.prefix[size_t(i / unitsPerWord)];
                word = (word << bits) | (i < key.length ? units[key.offset + i] : 0u);
            }
        }
        const QStringView all(m_texts);
        const Qt::CaseSensitivity cs = m_cs;
        rankKeys(m_keys, ranks, [all, cs, prefixLength](const TextKey& left, const TextKey& right) {
            if (left.packed && right.packed) {
                if (left.prefix != right.prefix)
                    return left.prefix < right.prefix;
                if (left.length <= prefixLength && right.length <= prefixLength)
                    return left.length < right.length;
            }
            const Qt::CaseSensitivity compared = left.folded && right.folded ? Qt::CaseSensitive : cs;
            return all.mid(left.offset, left.length).compare(all.mid(right.offset, right.length), compared) < 0;
        });
    }

    const Qt::CaseSensitivity m_cs;
    const size_t m_rows;
    Kind m_kind = Kind::Missing;
    int m_numberType = QMetaType::UnknownType;
    std::vector<NumberKey<qint64>> m_integers;
    std::vector<NumberKey<double>> m_reals;
    // Every text once, side by side.
    QString m_texts;
    std::vector<TextKey> m_keys;
    // Whether a packed text is not ASCII, so units are packed 16 bits each.
    bool m_wide = false;
};

} // namespace

bool SortKeys::rankValues(const QAbstractItemModel* source, int role, Qt::CaseSensitivity cs,
                          std::vector<int>& ranks)
{
    const int rowCount = qMax(0, source->rowCount());
    ValueReader reader(cs, rowCount);
    for (int row = 0; row < rowCount; ++row) {
        if (!reader.add(source->index(row, 0).data(role), row))
            return false;
    }
    ranks.assign(size_t(rowCount), std::numeric_limits<int>::max());
    reader.rank(ranks);
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
        [this](int, int, const QList<int>& roles) { drop(roles); },
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
