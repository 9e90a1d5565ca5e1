#pragma once

#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmpmessage.h"
#include "snmp/codec/snmpv3message.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>

// A request as a manager sends it: each identifier bound to Null.
inline SnmpMessage makeRequest(int type, const QStringList &oids,
                               const QString &community = QStringLiteral("kettle"),
                               qint32 number = 1234)
{
    SnmpMessage message;
    message.version = type < SnmpPdu::V2cBase ? SnmpVersion::V1 : SnmpVersion::V2c;
    message.Type = type;
    message.Community = community;
    message.MessageNumber = number;
    for (const QString &oid : oids)
        message.Variables.append(SnmpVariable::make(oid).value());
    return message;
}

// `pdu` in an SNMPv3 message from `user` to `engineId`'s default context, not yet secured.
inline SnmpV3Message v3Message(const SnmpMessage &pdu, qint32 messageId, quint8 flags,
                               const QByteArray &user, const QByteArray &engineId,
                               quint32 boots = 0, quint32 time = 0)
{
    SnmpV3Message message;
    message.messageId = messageId;
    message.flags = flags;
    message.usm = {engineId, boots, time, user, {}, {}};
    message.contextEngineId = engineId;
    message.pdu = encodePdu(pdu).value();
    return message;
}

// The PDU of an SNMPv3 answer in plain text; an empty one when there is none.
inline SnmpMessage pduOf(const QByteArray &datagram)
{
    const Result<SnmpV3Message> message = decodeV3Message(datagram);
    return message ? decodePdu(message.value().pdu).value() : SnmpMessage{};
}

// A seed as it is, or truncated, flipped, re-lengthed, nested, one byte up or replaced by noise.
inline QByteArray mutated(QByteArray bytes, QRandomGenerator &random)
{
    const auto any = [&](qsizetype below) { return int(random.bounded(int(below))); };
    switch (any(7)) {
    case 0:
        bytes.truncate(any(bytes.size()));
        break;
    case 1:
        for (int i = any(4); i >= 0; --i)
            bytes[any(bytes.size())] = char(any(256));
        break;
    case 2: // noise
        bytes = QByteArray(any(300), 0);
        for (char &byte : bytes)
            byte = char(any(256));
        break;
    case 3: { // a length made long, indefinite or huge
        static const char *const lengths[] = {"80", "84ffffffff",   "847fffffff", "8201",
                                              "ff", "850000000001", "81",         "84"};
        bytes.replace(1 + any(bytes.size() - 1), 1, QByteArray::fromHex(lengths[any(8)]));
        break;
    }
    case 4: // far deeper than any message
        for (int depth = any(300); depth >= 0; --depth)
            bytes = ber::element(ber::Sequence, bytes);
        break;
    case 5: // a length off by one
        ++bytes[1 + any(bytes.size() - 1)];
        break;
    }
    return bytes;
}
