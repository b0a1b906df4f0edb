#include "SearchedTexts.h"

#include "TopLevelRowChanges.h"

#include <QStringList>

#include <algorithm>
#include <utility>

SearchedTexts::SearchedTexts(Reader reader, QList<int> roles, Keeping keeping)
    : m_reader(reader)
    , m_roles(std::move(roles))
    , m_keeping(keeping)
{
}

SearchedTexts::~SearchedTexts()
{
    watch(nullptr);
}

void SearchedTexts::watch(const QAbstractItemModel* source)
{
    for (const QMetaObject::Connection& connection : std::as_const(m_connections))
        QObject::disconnect(connection);
    m_connections.clear();
    // Let go of the previous source first: it may be in its destructor.
    m_source = nullptr;
    drop();
    m_source = source;
    if (!source)
        return;

    // Only top-level rows are kept: changes below them leave the texts as they are.
    m_connections = TopLevelRowChanges{
        [this](int first, int last, const QList<int>& roles) {
            if (!m_kept)
                return;
            bool searched = roles.isEmpty();
            for (const int role : roles)
                searched = searched || m_roles.contains(role);
            if (searched)
                markStale(first, last);
        },
        [this](int first, int last) {
            // Rows appended at the end, as a search's answers are, are read now, while
            // they are fresh.
            if (m_kept && size_t(first) == m_rows.size())
                append(first, last);
            else
                drop();
        },
        [this] { drop(); },
        [this] { watch(nullptr); },
    }.connect(source);
    // Starts keeping at once where the source has no rows yet.
    drop();
}

void SearchedTexts::prepare()
{
    if (!m_source)
        return;
    if (m_kept) {
        readStaleRows();
        return;
    }
    m_kept = true;
    append(0, m_source->rowCount() - 1);
}

SearchedTexts::Span SearchedTexts::read(int row)
{
    const qsizetype begin = m_texts.size();
    const int lastSize = m_reader(m_source->index(row, 0), m_texts);
    return {begin, int(m_texts.size() - begin), lastSize, false};
}

void SearchedTexts::append(int first, int last)
{
    if (last < first || m_source->columnCount() < 1)
        return;
    // Room for many rows at once, but grown geometrically: rows that come one at a
    // time must not move the whole table each time.
    if (m_rows.capacity() < size_t(last) + 1)
        m_rows.reserve(std::max(size_t(last) + 1, 2 * m_rows.capacity()));
    for (int row = first; row <= last; ++row)
        m_rows.push_back(read(row));
}

void SearchedTexts::markStale(int first, int last)
{
    // A camera found again by another protocol has its brand written while the rest
    // of the site is still arriving, a login writes a camera's model and MAC: only
    // those rows are read again, the texts of the others stay.
    for (int row = qMax(0, first); row <= last && size_t(row) < m_rows.size(); ++row) {
        if (!m_rows[size_t(row)].stale) {
            m_rows[size_t(row)].stale = true;
            m_staleRows.push_back(row);
        }
    }
}

void SearchedTexts::readStaleRows()
{
    if (m_staleRows.empty())
        return;
    // Read again at the end of the buffer; once most of the buffer is texts no row
    // points to, every row is read anew into a buffer of their size.
    for (const int row : m_staleRows)
        m_unused += m_rows[size_t(row)].size;
    if (m_unused > m_texts.size() / 2) {
        drop();
        prepare();
        return;
    }
    for (const int row : m_staleRows)
        m_rows[size_t(row)] = read(row);
    m_staleRows.clear();
}

void SearchedTexts::drop()
{
    m_kept = false;
    m_texts = QString();
    m_rows = {};
    m_staleRows = {};
    m_unused = 0;
    m_matches = {};
    if (m_keeping == Keeping::FromFirstRow && m_source && m_source->rowCount() == 0)
        prepare();
}

bool SearchedTexts::containAll(const QModelIndex& sourceIndex, const QStringList& words, Qt::CaseSensitivity cs,
                               const QString& lastValue) const
{
    const size_t row = size_t(sourceIndex.row());
    if (row < m_matches.size() && cs == m_matchCs && words == m_matchWords && lastValue == m_matchLastValue)
        return m_matches[row];
    return matches(m_rows[row], words, cs, lastValue);
}

bool SearchedTexts::matches(const Span& span, const QStringList& words, Qt::CaseSensitivity cs,
                            const QString& lastValue) const
{
    const QStringView texts = QStringView(m_texts).mid(span.begin, span.size);
    if (!lastValue.isEmpty() && texts.mid(span.size - 1 - span.lastSize, span.lastSize) != lastValue)
        return false;
    return std::all_of(words.cbegin(), words.cend(),
                       [&](const QString& word) { return word.isEmpty() || texts.contains(word, cs); });
}

void SearchedTexts::matchAll(const QStringList& words, Qt::CaseSensitivity cs, const QString& lastValue)
{
    m_matches = {};
    if (!m_kept)
        return;
    std::vector<bool> matches(m_rows.size());
    for (size_t row = 0; row < m_rows.size(); ++row)
        matches[row] = this->matches(m_rows[row], words, cs, lastValue);
    m_matches = std::move(matches);
    m_matchWords = words;
    m_matchCs = cs;
    m_matchLastValue = lastValue;
}
