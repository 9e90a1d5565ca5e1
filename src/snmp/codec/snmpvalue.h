#pragma once

#include "common/core/result.h"
#include "snmp/codec/snmptypes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

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
