#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

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

// A decoded value: its type code and its text.
struct SnmpValue
{
    int type = SnmpType::Null;
    QString text;
};

// The encoded element (tag, length, content) of a value given as text, or why the text does not
// fit the type.
Result<QByteArray> encodeValue(int type, const QString &text);
// The element of an uptime; a clock past 32 bits starts over.
QByteArray encodeTimeTicks(quint64 ticks);
// Type and text of an encoded value's tag and content.
Result<SnmpValue> decodeValue(quint8 tag, QByteArrayView content);
// The type code decodeValue gives for a tag, without making the text; 0 for an unknown tag.
int typeOfTag(quint8 tag);
