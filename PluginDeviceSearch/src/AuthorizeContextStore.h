#pragma once

#include "AuthorizeContext.h"

#include <QHash>

#include <memory>
#include <unordered_map>

// Owns every AuthorizeContext handed to the host. The host gives the pointer back
// with each answer; only a pointer this store still holds is ever dereferenced, so
// late, repeated or foreign answers cannot reach freed memory.
//
// A context is settled, and forgotten, once its command can bring nothing more: when
// every uid that went out with it has had its answer, when one answer covered the
// whole command, or when the command never went out. An answer settles only what it
// answers: one for a uid that did not go out with the command, or one more for a uid
// than went out, counts for nothing.
class AuthorizeContextStore
{
public:
    AuthorizeContextStore() = default;
    AuthorizeContextStore(const AuthorizeContextStore&) = delete;
    AuthorizeContextStore& operator=(const AuthorizeContextStore&) = delete;
    ~AuthorizeContextStore();

    // A new context, held until it is settled or the store goes.
    AuthorizeContext* create(const QString& username, const QString& password, const QStringList& uidList);

    // The live context behind a user-data pointer, or null.
    AuthorizeContext* find(const void* userData) const;

    // Forgets the context at once: its command never went out, or one answer covered
    // all of it.
    void release(AuthorizeContext* context);

    // Counts an answer for one uid of the context and settles the context when it was
    // the last one awaited.
    void answeredOne(AuthorizeContext* context, const QString& uid);

    // Whether the context is live and no answer has been counted for it yet.
    bool isUnanswered(const AuthorizeContext* context) const;
    // How many answers for uid the context still awaits; 0 once it is settled.
    qsizetype awaiting(const AuthorizeContext* context, const QString& uid) const;

    // Forgets the credentials of a context, overwriting a password buffer that no one
    // else shares.
    static void wipe(AuthorizeContext* context);

private:
    struct Entry
    {
        std::unique_ptr<AuthorizeContext> context;
        qsizetype answersLeft = 0;
        // Answers still awaited per uid, made at the first answer rather than when the
        // command goes out: a large list should not pay for it on the way out.
        QHash<QString, qsizetype> awaitingByUid;
    };
    std::unordered_map<const void*, Entry> m_contexts;
};
