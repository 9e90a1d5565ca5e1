#include "interfacestates.h"

#include "snmp/answers/interfacecounters.h"
#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmptypes.h"
#include "snmp/codec/snmpvariable.h"

namespace {

// ifEntry, 1.3.6.1.2.1.2.2.1, as encoded; its columns 8 (ifOperStatus) and 9 (ifLastChange).
constexpr char IfEntry[] = "\x2b\x06\x01\x02\x01\x02\x02\x01";
constexpr qsizetype IfEntrySize = sizeof IfEntry - 1;
constexpr char OperStatus = 8;
constexpr char LastChange = 9;
constexpr int Up = 1;
constexpr int Down = 2;

// The index after the column: one arc of up to 31 bits, or -1.
int indexAfter(QByteArrayView arcs)
{
    qint64 index = 0;
    for (qsizetype i = 0; i < arcs.size(); ++i) {
        index = (index << 7) | (quint8(arcs[i]) & 0x7f);
        if (index > 0x7fffffff)
            return -1;
        if (!(quint8(arcs[i]) & 0x80))
            return i + 1 == arcs.size() ? int(index) : -1;
    }
    return -1;
}

} // namespace

void InterfaceStates::set(int ifIndex, bool down, quint32 uptime, qint64 counterTicks)
{
    State &state = m_states[ifIndex];
    if (state.down && !down)
        state.downBefore += qMax<qint64>(0, counterTicks - state.changedAt);
    if (state.down != down)
        state.changedAt = counterTicks;
    state.down = down;
    state.lastChange = uptime;
}

qint64 InterfaceStates::countingTicks(QByteArrayView oidContent, qint64 ticks) const
{
    if (m_states.isEmpty())
        return ticks;
    const std::optional<InterfaceCounter> counter = interfaceCounter(oidContent);
    if (!counter)
        return ticks;
    const auto state = m_states.constFind(indexAfter(counter->index));
    if (state == m_states.cend())
        return ticks;
    const qint64 stopped = state->downBefore + (state->down ? ticks - state->changedAt : 0);
    return qMax<qint64>(0, ticks - stopped);
}

bool InterfaceStates::isDown(int ifIndex) const
{
    return m_states.value(ifIndex).down;
}

bool InterfaceStates::answer(QByteArrayView oidContent, SnmpVariable &variable) const
{
    if (m_states.isEmpty() || oidContent.size() < IfEntrySize + 2 ||
        !oidContent.startsWith(QByteArrayView(IfEntry, IfEntrySize)))
        return false;
    const char column = oidContent[IfEntrySize];
    if (column != OperStatus && column != LastChange)
        return false;
    const auto state = m_states.constFind(indexAfter(oidContent.sliced(IfEntrySize + 1)));
    if (state == m_states.cend())
        return false;
    const QByteArray oid = ber::element(ber::ObjectIdentifier, oidContent);
    if (column == OperStatus)
        variable.setEncoded(
            oid, ber::element(ber::Integer, ber::encodeInteger(state->down ? Down : Up)));
    else
        variable.setEncoded(oid, ber::unsignedElement(SnmpTag::TimeTicks, state->lastChange));
    return true;
}
