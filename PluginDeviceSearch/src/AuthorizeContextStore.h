#pragma once

#include "AuthorizeContext.h"

#include <QHash>

#include <memory>
#include <unordered_map>

// Owns every AuthorizeContext whose command went to the host. The command carries a
// user data value that stands for its context, and the host gives it back with each
// answer. The value is a number this store never hands out twice, not the context's
// address: the heap reuses the memory of a settled context for the next one, and a
// late or repeated answer to the settled command would then be taken for the newer
// command. Only a value the store still holds leads to a context, so late, repeated
// or foreign answers cannot reach freed memory either.
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

    // A new context, held until it is settled or the store goes; returns the user data
    // its command carries.
    void* create(const QString& username, const QString& password, const QStringList& uidList);

    // The live context behind a command's user data, or null.
    AuthorizeContext* find(const void* userData) const;

    // Forgets the context at once: its command never went out, or one answer covered
    // all of it.
    void release(const void* userData);

    // Counts an answer for one uid of the context and settles the context when it was
    // the last one awaited.
    void answeredOne(const void* userData, const QString& uid);

    // Whether the context is live and no answer has been counted for it yet.
    bool isUnanswered(const void* userData) const;
    // How many answers for uid the context still awaits; 0 once it is settled.
    qsizetype awaiting(const void* userData, const QString& uid) const;

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
    quintptr m_lastUserData = 0;
};
