#include "adapterinfo.h"

AdapterInfo::AdapterInfo(AdapterSnapshot snapshot) : m_adapters(std::move(snapshot.adapters))
{
    setCurrentAdapter(snapshot.currentIndex);
}

AdapterInfo::AdapterInfo(AdapterReader reader) : AdapterInfo(reader ? reader() : AdapterSnapshot())
{
    m_reader = std::move(reader);
}

void AdapterInfo::refresh()
{
    if (!m_reader)
        return;
    const QString currentName = m_current >= 0 ? m_adapters.at(m_current).name : QString();
    m_adapters = m_reader().adapters;
    m_current = -1;
    for (int i = 0; i < m_adapters.size() && !currentName.isEmpty(); ++i) {
        if (m_adapters.at(i).name == currentName) {
            m_current = i;
            break;
        }
    }
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
