#pragma once

#include <QString>
#include <QStringList>

// Travels with an authorization command as its user data and comes back with each
// answer, so the answer knows whose credentials were tried on which cameras.
struct AuthorizeContext
{
    QString username;
    QString password;
    QStringList uidList;
};
