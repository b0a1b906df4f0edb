#include "PendingAuthorizations.h"

void PendingAuthorizations::removeOne(const QString& uid)
{
    const auto it = m_counts.find(uid);
    if (it == m_counts.end())
        return;
    --m_size;
    if (--it.value() == 0)
        m_counts.erase(it);
}

void PendingAuthorizations::removeAll(const QString& uid)
{
    const auto it = m_counts.find(uid);
    if (it == m_counts.end())
        return;
    m_size -= it.value();
    m_counts.erase(it);
}
