#include "adapterinfo.h"

AdapterInfo::AdapterInfo(AdapterSnapshot snapshot) : m_adapters(std::move(snapshot.adapters))
{
    setCurrentAdapter(snapshot.currentIndex);
}

void AdapterInfo::setCurrentAdapter(int index)
{
    m_current = (index >= 0 && index < m_adapters.size()) ? index : -1;
}

const AdapterRecord &AdapterInfo::current() const
{
    return m_current >= 0 ? m_adapters.at(m_current) : m_none;
}

QString AdapterInfo::ipv4Address() const
{
    const QString address = current().ipv4Address;
    return address.isEmpty() ? QStringLiteral("127.0.0.1") : address;
}
