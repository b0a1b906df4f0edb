#pragma once

#include <QHash>
#include <QString>

// The outstanding authorization requests: one entry per camera per request, so a
// uid occurs as often as it has requests in flight. Entries of one uid are
// indistinguishable, so a count per uid answers every question the list is asked,
// each in constant time.
class PendingAuthorizations
{
public:
    void append(const QString& uid) { ++m_counts[uid]; ++m_size; }
    // Room for this many more uids, so a long request list does not regrow the table
    // again and again.
    void reserveMore(qsizetype count) { m_counts.reserve(m_counts.size() + count); }
    int count(const QString& uid) const { return m_counts.value(uid); }
    qsizetype size() const { return m_size; }
    bool isEmpty() const { return m_size == 0; }

    // Forgets one entry of uid; nothing when there is none.
    void removeOne(const QString& uid);
    // Forgets every entry of uid.
    void removeAll(const QString& uid);

private:
    QHash<QString, int> m_counts;
    qsizetype m_size = 0;
};
