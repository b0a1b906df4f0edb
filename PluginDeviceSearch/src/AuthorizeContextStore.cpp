#include "AuthorizeContextStore.h"

AuthorizeContextStore::~AuthorizeContextStore()
{
    for (auto& [key, entry] : m_contexts)
        wipe(entry.context.get());
}

AuthorizeContext* AuthorizeContextStore::create(const QString& username, const QString& password,
                                                const QStringList& uidList)
{
    auto context = std::make_unique<AuthorizeContext>(AuthorizeContext{username, password, uidList});
    AuthorizeContext* raw = context.get();
    m_contexts.emplace(raw, Entry{std::move(context), uidList.size()});
    return raw;
}

AuthorizeContext* AuthorizeContextStore::find(void* userData) const
{
    const auto it = m_contexts.find(userData);
    return it == m_contexts.end() ? nullptr : it->second.context.get();
}

void AuthorizeContextStore::release(AuthorizeContext* context)
{
    const auto it = m_contexts.find(context);
    if (it == m_contexts.end())
        return;
    wipe(it->second.context.get());
    m_contexts.erase(it);
}

void AuthorizeContextStore::answered(AuthorizeContext* context, bool perDevice)
{
    const auto it = m_contexts.find(context);
    if (it == m_contexts.end())
        return;
    if (perDevice && --it->second.answersLeft > 0)
        return;
    release(context);
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
