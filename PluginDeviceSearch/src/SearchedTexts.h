#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QMetaObject>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

// The texts a view's filter words are searched in, for every top-level source row,
// kept side by side in one buffer between filter changes: a row's values lie
// scattered over the heap, and reading them is most of what a filter change on a
// large site costs. A row's texts are joined by spaces; a filter word never holds a
// space, so it is found in the joined texts exactly where it is found in one of them.
//
// Rows appended at the end are added as they arrive, while they are fresh. A row whose
// searched values are written is searched in the row itself until the next filter
// change reads it again; any other change of the rows drops the texts. All of it
// follows the source's own signals, connected before the proxy's, so texts are never
// read stale. Dropped texts are read again by the next filter change that asks for
// them.
class SearchedTexts
{
public:
    // Appends the searched texts of a row to a buffer, each followed by a space, and
    // returns the length of the last one.
    using Reader = int (*)(const QModelIndex& index, QString& texts);

    // When the texts start to be kept: from the first filter change that asks for
    // them, or from the first row, whenever the source has no rows, so that a site's
    // rows are read as its search brings them and the first filter change reads none.
    enum class Keeping { FromFirstFilter, FromFirstRow };

    SearchedTexts(Reader reader, QList<int> roles, Keeping keeping);
    ~SearchedTexts();
    SearchedTexts(const SearchedTexts&) = delete;
    SearchedTexts& operator=(const SearchedTexts&) = delete;

    // Follows a new source; the texts of the previous one are dropped.
    void watch(const QAbstractItemModel* source);
    // Reads every row's texts that are not kept.
    void prepare();
    // Whether the row's texts are kept.
    bool covers(const QModelIndex& sourceIndex) const
    {
        const size_t row = size_t(sourceIndex.row());
        return m_kept && sourceIndex.model() == m_source && row < m_rows.size() && !m_rows[row].stale
            && !sourceIndex.parent().isValid();
    }
    QStringView textsOf(const QModelIndex& sourceIndex) const
    {
        const Span& span = m_rows[size_t(sourceIndex.row())];
        return QStringView(m_texts).mid(span.begin, span.size);
    }
    // Whether every word is contained in the row's texts (empty words match anything)
    // and, unless lastValue is empty, the row's last text is lastValue, case and all.
    bool containAll(const QModelIndex& sourceIndex, const QStringList& words, Qt::CaseSensitivity cs,
                    const QString& lastValue = QString()) const;

    // Asks containAll of every kept row at once, the rows in the order their texts lie
    // in the buffer, for the filter pass that follows: Qt asks a sorted view about its
    // shown rows in the view's order, which on a large site would read the buffer out
    // of order. containAll answers from it for these arguments until forgetMatches().
    void matchAll(const QStringList& words, Qt::CaseSensitivity cs, const QString& lastValue = QString());
    void forgetMatches() { m_matches = {}; }

private:
    // Where a row's texts lie in the buffer.
    struct Span
    {
        qsizetype begin = 0;
        int size = 0;
        // The length of the last text, which ends one unit before the span does.
        int lastSize = 0;
        // Its searched values were written since they were read.
        bool stale = false;
    };

    bool matches(const Span& span, const QStringList& words, Qt::CaseSensitivity cs, const QString& lastValue) const;
    void drop();
    void append(int first, int last);
    void markStale(int first, int last);
    void readStaleRows();
    Span read(int row);

    Reader m_reader;
    QList<int> m_roles;
    Keeping m_keeping;
    const QAbstractItemModel* m_source = nullptr;
    QList<QMetaObject::Connection> m_connections;
    bool m_kept = false;
    QString m_texts;
    std::vector<Span> m_rows;
    std::vector<int> m_staleRows;
    // Units of the buffer no row points to any more.
    qsizetype m_unused = 0;
    // Which rows matchAll found to match m_matchWords and m_matchLastValue.
    std::vector<bool> m_matches;
    QStringList m_matchWords;
    Qt::CaseSensitivity m_matchCs = Qt::CaseSensitive;
    QString m_matchLastValue;
};
