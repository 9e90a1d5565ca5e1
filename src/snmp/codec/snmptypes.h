#pragma once

#include <QString>
#include <QStringList>

// Variable type codes. The first nine are the ones the answers write; the rest describe what a
// request may carry.
namespace SnmpType {
constexpr int Integer32 = 1;
constexpr int OctetString = 2;
constexpr int ObjectIdentifier = 3;
constexpr int IpAddress = 4;
constexpr int Counter32 = 5;
constexpr int Gauge32 = 6;
constexpr int TimeTicks = 7;
constexpr int Unsigned32 = 10;
constexpr int Counter64 = 11;
constexpr int Null = 20;
constexpr int NoSuchObject = 21;
constexpr int NoSuchInstance = 22;
constexpr int EndOfMibView = 23;
constexpr int Opaque = 24;
} // namespace SnmpType

// The BER tags of the application types and of the exceptions.
namespace SnmpTag {
constexpr quint8 IpAddress = 0x40;
constexpr quint8 Counter32 = 0x41;
constexpr quint8 Gauge32 = 0x42; // Unsigned32 too
constexpr quint8 TimeTicks = 0x43;
constexpr quint8 Opaque = 0x44;
constexpr quint8 Counter64 = 0x46;
constexpr quint8 NoSuchObject = 0x80;
constexpr quint8 NoSuchInstance = 0x81;
constexpr quint8 EndOfMibView = 0x82;
} // namespace SnmpTag

// The names a typed object's type is chosen by, in the order they are offered.
QStringList typedObjectTypeNames();
// Code of such a name; 0 for text that names no type.
int typeCodeOfName(const QString &name);
// The name of a type code, for messages.
QString typeName(int type);
// The tag a type is encoded with, and the type code a tag is decoded as (0 for an unknown one).
quint8 tagOfType(int type);
int typeOfTag(quint8 tag);
