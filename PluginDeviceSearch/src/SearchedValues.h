#pragma once

#include <QModelIndex>
#include <QString>
#include <QStringList>

#include <algorithm>

// The values of a row that the filter words are searched in, in the order they are
// searched, each read from the row the first time a word needs it and kept for the
// next words: a row's values lie scattered over the heap, so reading each once,
// however many words look at it, is what a filter change on a large site costs.
//
// Fields says which values a view searches: Fields::count of them, the i-th read by
// Fields::read(index, i).
template<typename Fields>
class SearchedValues
{
public:
    explicit SearchedValues(const QModelIndex& index)
        : m_index(index)
    {
    }

    // Whether any searched value contains word.
    bool contain(const QString& word, Qt::CaseSensitivity cs)
    {
        for (int i = 0; i < Fields::count; ++i) {
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
    static void appendAll(const QModelIndex& index, QString& texts)
    {
        for (int i = 0; i < Fields::count; ++i) {
            texts.append(Fields::read(index, i));
            texts.append(QLatin1Char(' '));
        }
    }

private:
    static_assert(Fields::count <= 32, "one bit per value");

    const QString& value(int i)
    {
        if (!(m_read & (1u << i))) {
            m_values[i] = Fields::read(m_index, i);
            m_read |= 1u << i;
        }
        return m_values[i];
    }

    const QModelIndex& m_index;
    QString m_values[Fields::count];
    unsigned m_read = 0;
};

// Whether a filter pass with these words reads the searched values of the rows.
inline bool searchesValues(const QStringList& words)
{
    return std::any_of(words.cbegin(), words.cend(), [](const QString& word) { return !word.isEmpty(); });
}
