#include "interfacecounters.h"

#include <cstring>

namespace {

// 1.3.6.1.2.1.2.2.1 and 1.3.6.1.2.1.31.1.1.1 as encoded; every column below 128 is one byte.
constexpr char IfEntry[] = {0x2b, 6, 1, 2, 1, 2, 2, 1};
constexpr char IfXEntry[] = {0x2b, 6, 1, 2, 1, 0x1f, 1, 1, 1};
constexpr qsizetype MibTwo = 5; // 1.3.6.1.2.1, which both begin with
constexpr char IfSpeed = 5;
constexpr char IfHighSpeed = 15;
constexpr char FirstWide = 6; // ifHCInOctets; the twins follow in pair order

struct Column
{
    char column;
    InterfaceCount count;
    bool out;
    int pair;
};

using enum InterfaceCount;
constexpr Column IfEntryColumns[] = {
    {10, Octets, false, 0},    {11, UnicastPackets, false, 1}, {12, NonUnicastPackets, false, -1},
    {13, Troubles, false, -1}, {14, Troubles, false, -1},      {15, Troubles, false, -1},
    {16, Octets, true, 4},     {17, UnicastPackets, true, 5},  {18, NonUnicastPackets, true, -1},
    {19, Troubles, true, -1},  {20, Troubles, true, -1},
};
constexpr Column IfXEntryNarrow[] = {
    {2, MulticastPackets, false, 2},
    {3, BroadcastPackets, false, 3},
    {4, MulticastPackets, true, 6},
    {5, BroadcastPackets, true, 7},
};
// The 64-bit columns, in pair order from FirstWide.
constexpr InterfaceCount WideCounts[] = {Octets,           UnicastPackets,  MulticastPackets,
                                         BroadcastPackets, Octets,          UnicastPackets,
                                         MulticastPackets, BroadcastPackets};

constexpr QByteArrayView IfEntryPrefix(IfEntry, sizeof IfEntry);
constexpr QByteArrayView IfXEntryPrefix(IfXEntry, sizeof IfXEntry);

template <std::size_t N>
std::optional<InterfaceCounter> inColumns(const Column (&columns)[N], char column,
                                          QByteArrayView index)
{
    for (const Column &c : columns) {
        if (c.column == column)
            return InterfaceCounter{c.count, c.out, c.pair, false, index};
    }
    return std::nullopt;
}

OidContent columnOf(QByteArrayView prefix, char column, QByteArrayView index)
{
    OidContent content;
    content.append(prefix.data(), prefix.size());
    content.append(column);
    content.append(index.data(), index.size());
    return content;
}

} // namespace

std::optional<InterfaceCounter> interfaceCounter(QByteArrayView oidContent)
{
    // Asked of every counter served: fixed-size compares the compiler inlines.
    const auto columnAfter = [&](QByteArrayView prefix) -> int {
        // A column without an index names no object.
        if (oidContent.size() < prefix.size() + 2 ||
            std::memcmp(oidContent.data(), prefix.data(), size_t(prefix.size())) != 0)
            return -1;
        return quint8(oidContent[prefix.size()]);
    };
    if (oidContent.size() < MibTwo || std::memcmp(oidContent.data(), IfEntry, size_t(MibTwo)) != 0)
        return std::nullopt;
    if (const int column = columnAfter(IfEntryPrefix); column >= 0)
        return inColumns(IfEntryColumns, char(column), oidContent.sliced(IfEntryPrefix.size() + 1));
    const int column = columnAfter(IfXEntryPrefix);
    if (column < 0)
        return std::nullopt;
    const QByteArrayView index = oidContent.sliced(IfXEntryPrefix.size() + 1);
    const int pair = column - FirstWide;
    if (pair >= 0 && pair < int(std::size(WideCounts)))
        return InterfaceCounter{WideCounts[pair], pair >= 4, pair, true, index};
    return inColumns(IfXEntryNarrow, char(column), index);
}

OidContent wideTwinOf(int pair, QByteArrayView index)
{
    return columnOf(IfXEntryPrefix, char(FirstWide + pair), index);
}

OidContent ifSpeedOf(QByteArrayView index)
{
    return columnOf(IfEntryPrefix, IfSpeed, index);
}

OidContent ifHighSpeedOf(QByteArrayView index)
{
    return columnOf(IfXEntryPrefix, IfHighSpeed, index);
}
