#pragma once

#include "snmp/answers/interfacecounters.h"
#include "snmp/codec/bercodec.h"

#include <QByteArrayView>

#include <optional>

class RecordedTree;

// How fast a counter grows at speed factor ×1: `count` every `seconds`.
struct CounterRate
{
    quint64 count = 0;
    quint64 seconds = 1;
    bool operator==(const CounterRate &) const = default;
};

// A counter's value element, held without an allocation: one is made per counter served.
struct CounterElement
{
    char bytes[ber::UnsignedElementSize];
    qsizetype size = 0;
    QByteArrayView view() const { return QByteArrayView(bytes, size); }
};

// What a counter reads `uptimeTicks` hundredths of a second after the row started: base plus
// rate times uptime, in 64 bits that wrap. A Counter32 reads the low half, so a 32-bit counter and
// its 64-bit twin agree. A clock set back reads as the start.
quint64 counterValueAt(quint64 base, CounterRate rate, int speedFactor, qint64 uptimeTicks);

// The recorded counters of one row, grown with its uptime. Everything here is a pure function of
// the identifier, the row's seed and the recording, so a row's counters move the same way at every
// start and however often they are read.
class CounterMotion
{
public:
    // bit/s of an interface the recording gives no speed for: a common port today.
    static constexpr quint64 DefaultSpeed = 1'000'000'000;
    static constexpr int MaxSpeedFactor = 1000;

    explicit CounterMotion(const RecordedTree *tree = nullptr, quint32 rowSeed = 0)
        : m_tree(tree), m_seed(rowSeed)
    {
    }

    static bool isCounter(QByteArrayView valueElement);
    // The counter's rate. Interface octets stay within the interface's speed and packets follow
    // from them; errors and discards are slow or still; any other counter steady in between.
    CounterRate rateOf(QByteArrayView oidContent) const;
    // Where the counter starts: its recorded value, or for a 32-bit interface counter its 64-bit
    // twin's when the recording has that.
    quint64 baseOf(QByteArrayView oidContent, QByteArrayView valueElement) const;
    // The counter's value element at that uptime; empty when the element is no counter.
    CounterElement advanced(QByteArrayView oidContent, QByteArrayView valueElement,
                            qint64 uptimeTicks, int speedFactor) const;
    // bit/s: ifSpeed, ifHighSpeed where ifSpeed cannot tell, else DefaultSpeed.
    quint64 interfaceSpeed(QByteArrayView index) const;

private:
    // A recorded unsigned value of that type, if the recording has one.
    bool recorded(QByteArrayView oidContent, quint8 tag, quint64 &value) const;
    // The same as the public ones, the identifier read once.
    CounterRate rateOf(QByteArrayView oidContent, const std::optional<InterfaceCounter> &c) const;
    quint64 baseOf(const std::optional<InterfaceCounter> &c, QByteArrayView valueElement) const;
    CounterRate interfaceRate(const InterfaceCounter &c, QByteArrayView oidContent) const;
    quint64 hashOf(char purpose, QByteArrayView key, bool out = false) const;

    const RecordedTree *m_tree;
    quint32 m_seed;
};
