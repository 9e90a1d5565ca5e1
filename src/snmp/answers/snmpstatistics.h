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

// What a row did with what it received, for its behaviour dialog. `received` is snmpInPkts
// without the wrap; every datagram received ends in exactly one of answered, droppedByLoss,
// droppedByMute and droppedOther, or is still `waiting`: its answer held back by latency.
// errorsInjected and malformedSent count answers of those, when they were made.
struct RowCounts
{
    quint64 received = 0;
    quint64 answered = 0;
    quint64 droppedByLoss = 0;
    quint64 droppedByMute = 0;
    quint64 droppedOther = 0; // not a request, a stranger's, too big, or stopped while waiting
    quint64 errorsInjected = 0;
    quint64 malformedSent = 0;
    quint64 waiting = 0;
};
