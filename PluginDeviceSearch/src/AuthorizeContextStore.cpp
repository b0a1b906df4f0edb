#include "AuthorizeContextStore.h"

AuthorizeContextStore::~AuthorizeContextStore()
{
    for (auto& [key, entry] : m_contexts)
        wipe(entry.context.get());
}

void* AuthorizeContextStore::create(const QString& username, const QString& password, const QStringList& uidList)
{
    auto context = std::make_unique<AuthorizeContext>(AuthorizeContext{username, password, uidList});
    void* userData = reinterpret_cast<void*>(++m_lastUserData);
    m_contexts.emplace(userData, Entry{std::move(context), uidList.size(), {}});
    return userData;
}

AuthorizeContext* AuthorizeContextStore::find(const void* userData) const
{
    const auto it = m_contexts.find(userData);
    return it == m_contexts.end() ? nullptr : it->second.context.get();
}

void AuthorizeContextStore::release(const void* userData)
{
    const auto it = m_contexts.find(userData);
    if (it == m_contexts.end())
        return;
    wipe(it->second.context.get());
    m_contexts.erase(it);
}

void AuthorizeContextStore::answeredOne(const void* userData, const QString& uid)
{
    const auto it = m_contexts.find(userData);
    if (it == m_contexts.end())
        return;
    Entry& entry = it->second;
    if (entry.awaitingByUid.isEmpty()) {
        entry.awaitingByUid.reserve(entry.context->uidList.size());
        for (const QString& sent : std::as_const(entry.context->uidList))
            ++entry.awaitingByUid[sent];
    }
    const auto awaited = entry.awaitingByUid.find(uid);
    if (awaited == entry.awaitingByUid.end() || awaited.value() == 0)
        return;
    --awaited.value();
    if (--entry.answersLeft == 0)
        release(userData);
}

bool AuthorizeContextStore::isUnanswered(const void* userData) const
{
    const auto it = m_contexts.find(userData);
    return it != m_contexts.end() && it->second.answersLeft == it->second.context->uidList.size();
}

qsizetype AuthorizeContextStore::awaiting(const void* userData, const QString& uid) const
{
    const auto it = m_contexts.find(userData);
    if (it == m_contexts.end())
        return 0;
    const Entry& entry = it->second;
    if (entry.awaitingByUid.isEmpty())
        return entry.context->uidList.count(uid);
    return entry.awaitingByUid.value(uid);
}

void AuthorizeContextStore::wipe(AuthorizeContext* context)
{
    // Overwrite the characters in place before the memory goes back to the heap;
    // a shared buffer belongs to someone else as well and is only let go.
    if (context->password.isDetached())
        context->password.fill(QChar(u'\0'));
    context->password.clear();
    context->username.clear();
}
