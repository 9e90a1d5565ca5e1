#include "countermotion.h"

#include "snmp/answers/interfacecounters.h"
#include "snmp/codec/snmptypes.h"
#include "snmp/recording/recordedtree.h"

#include <QtGlobal>

namespace {

constexpr quint64 GaugeMax = 4294967295u; // ifSpeed's "more than this, ask ifHighSpeed"

// FNV-1a: the same bytes give the same rate in every process, unlike a seeded hash.
quint64 fnv1a(quint64 hash, QByteArrayView bytes)
{
    for (const char byte : bytes) {
        hash ^= quint8(byte);
        hash *= 0x100000001b3u;
    }
    return hash;
}

// Spreads FNV's weak low bits over the whole word before they are cut into ranges.
quint64 mixed(quint64 hash)
{
    hash ^= hash >> 33;
    hash *= 0xff51afd7ed558ccdu;
    hash ^= hash >> 33;
    return hash;
}

quint64 within(quint64 hash, quint64 low, quint64 high)
{
    return low + hash % (high - low + 1);
}

} // namespace

quint64 counterValueAt(quint64 base, CounterRate rate, int speedFactor, qint64 uptimeTicks)
{
    if (uptimeTicks <= 0 || rate.count == 0 || rate.seconds == 0)
        return base;
    const quint64 factor = quint64(qBound(1, speedFactor, CounterMotion::MaxSpeedFactor));
    const quint64 hundredths = rate.seconds * 100;
    quint64 product = 0;
    if (!__builtin_mul_overflow(rate.count * factor, quint64(uptimeTicks), &product))
        return base + product / hundredths; // the wrap at 2^64 is the counter's own
    // A fast line at ×1000 over months passes 64 bits before the division.
    using Wide = unsigned __int128;
    return base + quint64(Wide(rate.count * factor) * Wide(uptimeTicks) / hundredths);
}

bool CounterMotion::isCounter(QByteArrayView valueElement)
{
    if (valueElement.isEmpty())
        return false;
    const quint8 tag = quint8(valueElement[0]);
    return tag == SnmpTag::Counter32 || tag == SnmpTag::Counter64;
}

quint64 CounterMotion::hashOf(char purpose, QByteArrayView key, bool out) const
{
    const char seed[] = {char(m_seed),       char(m_seed >> 8), char(m_seed >> 16),
                         char(m_seed >> 24), purpose,           char(out)};
    return mixed(fnv1a(fnv1a(0xcbf29ce484222325u, QByteArrayView(seed, sizeof seed)), key));
}

bool CounterMotion::recorded(QByteArrayView oidContent, quint8 tag, quint64 &value) const
{
    if (!m_tree)
        return false;
    const RecordedTree::Place at = m_tree->placeOf(oidContent);
    if (at.index == RecordedTree::NotFound)
        return false;
    const QByteArrayView element = m_tree->valueElementAt(at.offset);
    if (quint8(element[0]) != tag)
        return false;
    const Result<quint64> decoded = ber::decodeUnsigned(ber::contentOf(element));
    if (!decoded)
        return false;
    value = decoded.value();
    return true;
}

quint64 CounterMotion::interfaceSpeed(QByteArrayView index) const
{
    quint64 speed = 0;
    const bool hasSpeed = recorded(ifSpeedOf(index), SnmpTag::Gauge32, speed);
    if (hasSpeed && speed < GaugeMax)
        return speed;
    quint64 megabits = 0;
    if (recorded(ifHighSpeedOf(index), SnmpTag::Gauge32, megabits))
        return megabits * 1'000'000;
    return hasSpeed ? speed : DefaultSpeed;
}

CounterRate CounterMotion::interfaceRate(const InterfaceCounter &c, QByteArrayView oidContent) const
{
    if (c.count == InterfaceCount::Troubles) {
        // Each its own: a third never move, the rest one every minute to hour.
        const quint64 hash = hashOf('t', oidContent);
        return hash % 3 == 0 ? CounterRate{0, 1} : CounterRate{1, within(hash >> 8, 60, 3600)};
    }
    // Each direction carries its own steady share of the line, 0.5 to 30 %: a manager's
    // utilisation never passes 100 %. What an interface's state does to its counters (a down
    // one stops) belongs here, beside its speed.
    const quint64 permille = within(hashOf('o', c.index, c.out), 5, 300);
    const quint64 octets = interfaceSpeed(c.index) * permille / 8000;
    if (c.count == InterfaceCount::Octets)
        return {octets, 1};
    // Packets follow from the octets through an average frame, so they are always slower, and
    // the rarer kinds follow from those.
    const quint64 frame = within(hashOf('f', c.index, c.out), 200, 1400);
    switch (c.count) {
    case InterfaceCount::MulticastPackets:
        return {octets, frame * within(hashOf('m', c.index, c.out), 20, 80)};
    case InterfaceCount::BroadcastPackets:
        return {octets, frame * within(hashOf('b', c.index, c.out), 40, 160)};
    case InterfaceCount::NonUnicastPackets:
        return {octets, frame * within(hashOf('n', c.index, c.out), 15, 50)};
    default:
        return {octets, frame};
    }
}

CounterRate CounterMotion::rateOf(QByteArrayView oidContent,
                                  const std::optional<InterfaceCounter> &c) const
{
    if (c)
        return interfaceRate(*c, oidContent);
    return {within(hashOf('g', oidContent), 1, 1000), 1};
}

CounterRate CounterMotion::rateOf(QByteArrayView oidContent) const
{
    return rateOf(oidContent, interfaceCounter(oidContent));
}

quint64 CounterMotion::baseOf(const std::optional<InterfaceCounter> &c,
                              QByteArrayView valueElement) const
{
    quint64 base = 0;
    if (c && c->pair >= 0 && !c->wide &&
        recorded(wideTwinOf(c->pair, c->index), SnmpTag::Counter64, base))
        return base;
    const Result<quint64> own = ber::decodeUnsigned(ber::contentOf(valueElement));
    return own ? own.value() : 0;
}

quint64 CounterMotion::baseOf(QByteArrayView oidContent, QByteArrayView valueElement) const
{
    return baseOf(interfaceCounter(oidContent), valueElement);
}

CounterElement CounterMotion::advanced(QByteArrayView oidContent, QByteArrayView valueElement,
                                       qint64 uptimeTicks, int speedFactor) const
{
    CounterElement element;
    if (!isCounter(valueElement))
        return element;
    const std::optional<InterfaceCounter> c = interfaceCounter(oidContent);
    quint64 value =
        counterValueAt(baseOf(c, valueElement), rateOf(oidContent, c), speedFactor, uptimeTicks);
    if (quint8(valueElement[0]) == SnmpTag::Counter32)
        value &= 0xffffffffu;
    element.size =
        ber::writeUnsignedElement(element.bytes, quint8(valueElement[0]), value) - element.bytes;
    return element;
}
