#pragma once

#include "common/core/result.h"
#include "snmp/codec/snmpmessage.h"

#include <QByteArray>
#include <QByteArrayView>

namespace SnmpV3Flag {
constexpr quint8 Auth = 0x01;
constexpr quint8 Priv = 0x02;
constexpr quint8 Reportable = 0x04;
} // namespace SnmpV3Flag

// What the user-based security model carries in msgSecurityParameters.
struct UsmParameters
{
    QByteArray engineId;
    quint32 boots = 0;
    quint32 time = 0;
    QByteArray userName;
    QByteArray authentication; // the digest, or nothing
    QByteArray privacy;        // the salt, or nothing
};

struct SnmpV3Message
{
    qint32 messageId = 0;
    qint32 maxSize = 65507;
    quint8 flags = 0;
    UsmParameters usm;
    // The scoped PDU: plain when the privacy flag is clear, otherwise found after decryption.
    QByteArray contextEngineId;
    QByteArray contextName;
    QByteArray pdu; // the whole PDU element
    QByteArray encryptedPdu;
    // Where the digest's bytes stand in the datagram this was decoded from.
    qsizetype authenticationOffset = -1;
};

// Decodes a version 3 message with the user-based security model. Bounded: every length is
// checked before it is used, so hostile datagrams fail instead of reading past their end.
Result<SnmpV3Message> decodeV3Message(QByteArrayView datagram);
// Fills the scoped PDU's fields from its encoding (a decrypted encryptedPDU).
Status decodeScopedPdu(QByteArrayView scoped, SnmpV3Message &message);
QByteArray encodeScopedPdu(const SnmpV3Message &message);
// The scoped PDU around a PDU element of `pduSize` bytes, and its head (the sequence's header
// and the context), after which the PDU is written.
qsizetype scopedPduSize(const SnmpV3Message &message, qsizetype pduSize);
char *writeScopedPduHead(char *at, const SnmpV3Message &message, qsizetype pduSize);

// The whole message with `digestLength` zero bytes in place of the digest, and where they
// stand. The encryptedPdu goes out when the privacy flag is set, the scoped PDU otherwise.
struct EncodedV3
{
    QByteArray bytes;
    qsizetype authenticationOffset = -1;
    qsizetype privacyOffset = -1; // the salt's place
    qsizetype dataOffset = -1;    // the scoped PDU's, or the encrypted PDU's content's
};
EncodedV3 encodeV3Message(const SnmpV3Message &message, int digestLength);
// The same in one buffer with its last `dataSize` bytes left for the caller to write the
// scoped PDU (or, with the privacy flag, the encrypted PDU's content) in place.
EncodedV3 layoutV3Message(const SnmpV3Message &message, int digestLength, qsizetype dataSize);
