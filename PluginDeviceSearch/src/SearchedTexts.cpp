#include "SearchedTexts.h"

#include "TopLevelRowChanges.h"

#include <QStringList>

#include <utility>

SearchedTexts::SearchedTexts(Reader reader, QList<int> roles)
    : m_reader(reader)
    , m_roles(std::move(roles))
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
    drop();
    m_source = source;
    if (!source)
        return;

    // Only top-level rows are kept: changes below them leave the texts as they are.
    m_connections = TopLevelRowChanges{
        [this](const QList<int>& roles) {
            if (!m_kept)
                return;
            bool searched = roles.isEmpty();
            for (const int role : roles)
                searched = searched || m_roles.contains(role);
            if (searched)
                drop();
        },
        [this](int first, int last) {
            // Rows appended at the end, as a search's answers are, are read now, while
            // they are fresh.
            if (m_kept && size_t(first) + 1 == m_offsets.size())
                append(first, last);
            else
                drop();
        },
        [this] { drop(); },
        [this] { watch(nullptr); },
    }.connect(source);
}

void SearchedTexts::prepare()
{
    if (m_kept || !m_source)
        return;
    m_offsets = {0};
    m_kept = true;
    append(0, m_source->rowCount() - 1);
}

void SearchedTexts::append(int first, int last)
{
    if (last < first || m_source->columnCount() < 1)
        return;
    m_offsets.reserve(size_t(last) + 2);
    for (int row = first; row <= last; ++row) {
        m_reader(m_source->index(row, 0), m_texts);
        m_offsets.push_back(m_texts.size());
    }
}

void SearchedTexts::drop()
{
    m_kept = false;
    m_texts = QString();
    m_offsets = {};
}

bool SearchedTexts::containAll(const QModelIndex& sourceIndex, const QStringList& words,
                               Qt::CaseSensitivity cs) const
{
    const QStringView texts = textsOf(sourceIndex);
    for (const QString& word : words) {
        if (!word.isEmpty() && !texts.contains(word, cs))
            return false;
    }
    return true;
}
