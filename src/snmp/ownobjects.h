#pragma once

#include <QByteArray>
#include <QByteArrayView>

struct SnmpStatistics;
class UsmEngine;

// The agent's own objects a device row serves, read live: the SNMP group, and on a row with
// SNMPv3 users its engine and the message processing and USM statistics. All are scalars of
// 32 bits, so SNMPv1 sees them too.
class OwnObjects
{
public:
    // Without an engine, or one without users, only the SNMP group.
    OwnObjects(const SnmpStatistics &statistics, const UsmEngine *engine);

    // Position of the object with this identifier, or -1.
    int find(QByteArrayView oidContent) const;
    // Position of the first object after the identifier, or -1.
    int next(QByteArrayView oidContent) const;
    QByteArrayView oidElement(int position) const;
    QByteArrayView oidContent(int position) const;
    // The value as it stands now.
    QByteArray valueElement(int position) const;

private:
    // Position of the first object after the identifier; the count when none is.
    int upperBound(QByteArrayView oidContent) const;

    const SnmpStatistics *m_statistics;
    const UsmEngine *m_engine;
    int m_count;
};
