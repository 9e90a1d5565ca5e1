#pragma once

#include <QByteArrayView>
#include <QVarLengthArray>

#include <optional>

// What an interface counter counts, as ifTable and ifXTable name it.
enum class InterfaceCount {
    Octets,
    UnicastPackets,
    MulticastPackets,
    BroadcastPackets,
    NonUnicastPackets, // the old ifTable columns, multicast and broadcast together
    Troubles,          // errors, discards and unknown protocols
};

// A counter column of the interface tables, read from an identifier.
struct InterfaceCounter
{
    InterfaceCount count = InterfaceCount::Octets;
    bool out = false;
    // The 32-bit counter and its 64-bit twin share a pair, 0 to 7; -1 for a counter without one.
    int pair = -1;
    bool wide = false;    // the 64-bit twin
    QByteArrayView index; // the identifier's content after the column: the interface
};

// The interface counter the identifier's content names; nullopt for any other identifier.
std::optional<InterfaceCounter> interfaceCounter(QByteArrayView oidContent);

// Identifier contents made on the stack: looked up while a request is answered.
using OidContent = QVarLengthArray<char, 48>;
OidContent wideTwinOf(int pair, QByteArrayView index);
OidContent ifSpeedOf(QByteArrayView index);     // bit/s, 4294967295 when it is more
OidContent ifHighSpeedOf(QByteArrayView index); // Mbit/s
