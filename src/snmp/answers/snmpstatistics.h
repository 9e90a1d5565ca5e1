#pragma once

#include <QtGlobal>

// What an agent counts of the messages it receives, as the SNMP group names it; 32-bit
// counters that wrap.
struct SnmpStatistics
{
    quint32 inPkts = 0;
    quint32 inBadVersions = 0;
    quint32 inBadCommunityNames = 0;
    quint32 inBadCommunityUses = 0;
    quint32 inAsnParseErrs = 0;
    quint32 silentDrops = 0;
    quint32 proxyDrops = 0;
};
