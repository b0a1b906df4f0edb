#pragma once

#include <QAbstractItemModel>
#include <QList>
#include <QMetaObject>
#include <QString>
#include <QStringView>

#include <vector>

// The texts a view's filter words are searched in, for every top-level source row,
// kept side by side in one buffer between filter changes: a row's values lie
// scattered over the heap, and reading them is most of what a filter change on a
// large site costs. A row's texts are joined by spaces; a filter word never holds a
// space, so it is found in the joined texts exactly where it is found in one of them.
//
// Built by the first filter pass that asks for them. Rows appended later are added;
// any other change of the rows, or a write to a searched role, drops them, from the
// source's own signals, connected before the proxy's, so they are never read stale.
class SearchedTexts
{
public:
    // Appends the searched texts of a row to a buffer, each followed by a space.
    using Reader = void (*)(const QModelIndex& index, QString& texts);

    SearchedTexts(Reader reader, QList<int> roles);
    ~SearchedTexts();
    SearchedTexts(const SearchedTexts&) = delete;
    SearchedTexts& operator=(const SearchedTexts&) = delete;

    // Follows a new source; the texts of the previous one are dropped.
    void watch(const QAbstractItemModel* source);
    // Reads every row's texts unless they are kept.
    void prepare();
    // Whether the row's texts are kept.
    bool covers(const QModelIndex& sourceIndex) const
    {
        return m_kept && sourceIndex.model() == m_source && size_t(sourceIndex.row()) + 1 < m_offsets.size()
            && !sourceIndex.parent().isValid();
    }
    QStringView textsOf(const QModelIndex& sourceIndex) const
    {
        const size_t row = size_t(sourceIndex.row());
        return QStringView(m_texts).mid(m_offsets[row], m_offsets[row + 1] - m_offsets[row]);
    }
    // Whether every word is contained in the row's texts; empty words match anything.
    bool containAll(const QModelIndex& sourceIndex, const QStringList& words, Qt::CaseSensitivity cs) const;

private:
    void drop();
    void append(int first, int last);

    Reader m_reader;
    QList<int> m_roles;
    const QAbstractItemModel* m_source = nullptr;
    QList<QMetaObject::Connection> m_connections;
    bool m_kept = false;
    QString m_texts;
    // Where each row's texts start, and one more entry for the end of the last.
    std::vector<qsizetype> m_offsets;
};
