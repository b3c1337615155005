#include "damagelist.h"

void DamageList::add(const DamageList &other, const QString &prefix)
{
    for (const QString &what : other.m_named)
        add([&] { return prefix + what; });
    m_count += other.m_count - other.m_named.size();
}

QStringList DamageList::lines() const
{
    QStringList shown = m_named;
    if (m_count > m_named.size())
        shown << QStringLiteral("%1 more").arg(m_count - m_named.size());
    return shown;
}
