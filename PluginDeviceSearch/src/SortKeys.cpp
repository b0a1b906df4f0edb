#include "SortKeys.h"

#include <QVariant>

#include <algorithm>
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

constexpr qsizetype kPrefixLength = 4;

struct TextKey
{
    // The first kPrefixLength code units, the first one highest, zeros after the end;
    // ordered like the texts themselves wherever they differ. Case-blind, they are
    // packed only when all of them are ASCII, whose folding is plain lower case.
    quint64 prefix = 0;
    bool packed = false;
    qsizetype offset = 0;
    qsizetype length = 0;
    int row = 0;
};

TextKey textKey(const QString& text, Qt::CaseSensitivity cs, qsizetype offset, int row)
{
    TextKey key;
    key.offset = offset;
    key.length = text.size();
    key.row = row;
    key.packed = true;
    for (qsizetype i = 0; i < kPrefixLength; ++i) {
        char16_t unit = i < text.size() ? text.at(i).unicode() : 0;
        if (cs == Qt::CaseInsensitive) {
            if (unit >= 0x80) {
                key.packed = false;
                break;
            }
            if (unit >= 'A' && unit <= 'Z')
                unit = char16_t(unit + ('a' - 'A'));
        }
        key.prefix = (key.prefix << 16) | unit;
    }
    return key;
}

} // namespace

bool SortKeys::rank(const QAbstractItemModel* source, int role, Qt::CaseSensitivity cs)
{
    clear();
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
    m_ranks.assign(values.size(), std::numeric_limits<int>::max());

    switch (kind) {
    case Kind::Integer: {
        std::vector<qint64> keys(values.size());
        for (const int row : rows)
            keys[size_t(row)] = values[size_t(row)].toLongLong();
        values = {};
        rankRows(rows, m_ranks, [&](int a, int b) { return keys[size_t(a)] < keys[size_t(b)]; });
        break;
    }
    case Kind::Real: {
        std::vector<double> keys(values.size());
        for (const int row : rows) {
            keys[size_t(row)] = values[size_t(row)].toDouble();
            if (std::isnan(keys[size_t(row)])) {
                m_ranks = {};
                return false;
            }
        }
        values = {};
        rankRows(rows, m_ranks, [&](int a, int b) { return keys[size_t(a)] < keys[size_t(b)]; });
        break;
    }
    case Kind::Text: {
        // Every text once, side by side in one buffer, and each row's first code units
        // packed into one number next to its length: most comparisons end there.
        QString texts;
        std::vector<TextKey> keys;
        keys.reserve(rows.size());
        for (const int row : rows) {
            const QString text = values[size_t(row)].toString();
            keys.push_back(textKey(text, cs, texts.size(), row));
            texts.append(text);
        }
        values = {};
        const QStringView all(texts);
        const auto less = [all, cs](const TextKey& left, const TextKey& right) {
            if (left.packed && right.packed) {
                if (left.prefix != right.prefix)
                    return left.prefix < right.prefix;
                if (left.length <= kPrefixLength && right.length <= kPrefixLength)
                    return left.length < right.length;
            }
            return all.mid(left.offset, left.length).compare(all.mid(right.offset, right.length), cs) < 0;
        };
        std::sort(keys.begin(), keys.end(), less);
        int rank = -1;
        for (size_t i = 0; i < keys.size(); ++i) {
            if (i == 0 || less(keys[i - 1], keys[i]))
                ++rank;
            m_ranks[size_t(keys[i].row)] = rank;
        }
        break;
    }
    case Kind::Missing:
    case Kind::Unranked:
        break;
    }
    m_source = source;
    m_role = role;
    return true;
}

void SortKeys::clear()
{
    m_source = nullptr;
    m_ranks = {};
}
