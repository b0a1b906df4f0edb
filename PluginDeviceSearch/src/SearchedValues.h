#pragma once

#include <QAbstractItemModel>
#include <QModelIndex>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <array>
#include <charconv>
#include <utility>

// The values of a row that the filter words are searched in, in the order they are
// searched, each read from the row the first time a word needs it and kept for the
// next words: a row's values lie scattered over the heap, so reading each once,
// however many words look at it, is what a filter change on a large site costs.
//
// Fields says which values a view searches: Fields::roles, the i-th searched as text,
// or as the number it holds, written in decimal, where bit i of Fields::numbers is set.
template<typename Fields>
class SearchedValues
{
public:
    explicit SearchedValues(const QModelIndex& index)
        : m_index(index)
    {
    }

    static constexpr int count = int(Fields::roles.size());

    // The roles searched: a write to any of them changes what a row is searched in.
    static QList<int> roles() { return QList<int>(Fields::roles.cbegin(), Fields::roles.cend()); }

    // Whether any searched value contains word.
    bool contain(const QString& word, Qt::CaseSensitivity cs)
    {
        for (int i = 0; i < count; ++i) {
            if (value(i).contains(word, cs))
                return true;
        }
        return false;
    }

    // Whether every word is contained in some searched value. Empty words match
    // anything: the filter text is split at every single space.
    bool containAll(const QStringList& words, Qt::CaseSensitivity cs)
    {
        for (const QString& word : words) {
            if (!word.isEmpty() && !contain(word, cs))
                return false;
        }
        return true;
    }

    // Appends every searched value of the row to texts, each followed by a space: the
    // row's share of the texts a view keeps between filter changes (SearchedTexts).
    // The row's values are asked for in one call, and appended without copies of
    // their own: a search's rows are read this way as they arrive. Returns the length
    // of the last value, so that it can be told apart from the others.
    static int appendAll(const QModelIndex& index, QString& texts)
    {
        auto values = roleData(std::make_index_sequence<count>());
        index.multiData(values);
        qsizetype lastBegin = texts.size();
        for (int i = 0; i < count; ++i) {
            lastBegin = texts.size();
            const QVariant& value = values[size_t(i)].data();
            if (isNumber(i)) {
                char digits[16];
                const auto end = std::to_chars(digits, digits + sizeof digits, value.toInt()).ptr;
                texts.append(QLatin1String(digits, end - digits));
            } else if (value.metaType().id() == QMetaType::QString) {
                texts.append(*static_cast<const QString*>(value.constData()));
            } else {
                texts.append(value.toString());
            }
            texts.append(QLatin1Char(' '));
        }
        return int(texts.size() - lastBegin - 1);
    }

private:
    static_assert(count <= 32, "one bit per value");

    static constexpr bool isNumber(int i) { return (Fields::numbers >> i) & 1u; }

    template <size_t... I>
    static std::array<QModelRoleData, count> roleData(std::index_sequence<I...>)
    {
        return {QModelRoleData(Fields::roles[I])...};
    }

    const QString& value(int i)
    {
        if (!(m_read & (1u << i))) {
            const QVariant value = m_index.data(Fields::roles[size_t(i)]);
            m_values[i] = isNumber(i) ? QString::number(value.toInt()) : value.toString();
            m_read |= 1u << i;
        }
        return m_values[i];
    }

    const QModelIndex& m_index;
    QString m_values[count];
    unsigned m_read = 0;
};

// Whether a filter pass with these words reads the searched values of the rows.
inline bool searchesValues(const QStringList& words)
{
    return std::any_of(words.cbegin(), words.cend(), [](const QString& word) { return !word.isEmpty(); });
}
