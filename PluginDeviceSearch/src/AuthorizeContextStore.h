#pragma once

#include "AuthorizeContext.h"

#include <memory>
#include <unordered_map>

// Owns every AuthorizeContext handed to the host. The host gives the pointer back
// with each answer; only a pointer this store still holds is ever dereferenced, so
// late, repeated or foreign answers cannot reach freed memory.
class AuthorizeContextStore
{
public:
    AuthorizeContextStore() = default;
    AuthorizeContextStore(const AuthorizeContextStore&) = delete;
    AuthorizeContextStore& operator=(const AuthorizeContextStore&) = delete;
    ~AuthorizeContextStore();

    // A new context, held until its answers settle it or the store goes.
    AuthorizeContext* create(const QString& username, const QString& password, const QStringList& uidList);

    // The live context behind a user-data pointer, or null.
    AuthorizeContext* find(void* userData) const;

    // Releases the context at once (its command never went out).
    void release(AuthorizeContext* context);

    // Counts one applied answer. An answer for the whole list (perDevice false)
    // settles the context; per-device answers settle it once every uid was answered.
    void answered(AuthorizeContext* context, bool perDevice);

    // Forgets the credentials of a context, overwriting a password buffer that no one
    // else shares.
    static void wipe(AuthorizeContext* context);

private:
    struct Entry
    {
        std::unique_ptr<AuthorizeContext> context;
        qsizetype answersLeft = 0;
    };
    std::unordered_map<const void*, Entry> m_contexts;
};
