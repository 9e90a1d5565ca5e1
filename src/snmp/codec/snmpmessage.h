#pragma once

#include "common/core/result.h"
#include "snmp/codec/snmpvariable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

// Message type codes: the protocol version's base plus the PDU's number (Get 0, GetNext 1,
// Response 2, Set 3, v1 Trap 4, GetBulk 5, Inform 6, v2 Trap 7, Report 8).
namespace SnmpPdu {
constexpr int V1Base = 32;
constexpr int V2cBase = 64;
constexpr int GetRequest = 0;
constexpr int GetNextRequest = 1;
constexpr int Response = 2;
constexpr int SetRequest = 3;
constexpr int GetBulkRequest = 5;
constexpr int InformRequest = 6;
constexpr int V2Trap = 7;
constexpr int Report = 8;
} // namespace SnmpPdu

namespace SnmpVersion {
constexpr int V1 = 0;
constexpr int V2c = 1;
} // namespace SnmpVersion

// Why a message was refused, as its failure's number: an agent counts each kind apart.
namespace MessageFault {
constexpr int Malformed = 0;            // not BER, or not an SNMP message
constexpr int Version3 = 1;             // for the SNMPv3 decoder
constexpr int BadVersion = 2;           // a version no agent speaks
constexpr int Unhandled = 3;            // a well-formed PDU no agent takes (an SNMPv1 trap)
constexpr int UnknownSecurityModel = 4; // SNMPv3 with a model other than the user-based one
constexpr int InvalidFlags = 5;         // SNMPv3 asking privacy without authentication
} // namespace MessageFault

namespace SnmpError {
constexpr int TooBig = 1;
constexpr int NoSuchName = 2;
constexpr int BadValue = 3;
constexpr int GenErr = 5;
constexpr int NoAccess = 6;
constexpr int WrongType = 7;
constexpr int WrongLength = 8;
constexpr int WrongEncoding = 9;
constexpr int WrongValue = 10;
constexpr int NoCreation = 11;
constexpr int InconsistentValue = 12;
constexpr int ResourceUnavailable = 13;
constexpr int CommitFailed = 14;
constexpr int UndoFailed = 15;
constexpr int AuthorizationError = 16;
constexpr int NotWritable = 17;
constexpr int InconsistentName = 18;
constexpr int Last = InconsistentName;
} // namespace SnmpError

struct SnmpMessage
{
    int version = SnmpVersion::V1;
    QString Community;        // Latin-1, so every byte survives the round trip
    int Type = 0;             // SnmpPdu base + PDU number
    qint32 MessageNumber = 0; // the request id
    int ErrorStatus = 0;
    int ErrorIndex = 0;
    // A GetBulk's fields in place of error status and index; the response does not carry them.
    int nonRepeaters = 0;
    int maxRepetitions = 0;
    QList<SnmpVariable> Variables;

    int pdu() const { return Type & 0x1f; }
};

// Decodes one datagram; fails for anything that is not a complete v1 or v2c message. The
// community and identifiers share the buffers of `previous` where the bytes are the same, and
// its variables' other buffers are taken over: an agent answering request after request then
// copies and allocates little. `previous` is to be replaced, as it may be left emptied.
Result<SnmpMessage> decodeMessage(QByteArrayView datagram, SnmpMessage *previous = nullptr);
// The content of the first variable's identifier in a v1 or v2c message, read without decoding
// the message; empty when the datagram holds none.
QByteArrayView firstOidContent(QByteArrayView datagram);
// Encodes with the message's version whatever base its type code names.
Result<QByteArray> encodeMessage(const SnmpMessage &message);
// The same into `out`, reusing its storage.
Status encodeMessage(const SnmpMessage &message, QByteArray &out);

// The PDU element alone, for messages that wrap it otherwise: decoded as SNMPv2 reads it,
// encoded whatever base its type code names, or measured first, then written into a buffer
// sized for it (the return is the end written).
Result<SnmpMessage> decodePdu(QByteArrayView element);
Result<QByteArray> encodePdu(const SnmpMessage &message);
struct PduSize
{
    qsizetype list = 0;    // the variable bindings' content
    qsizetype content = 0; // the PDU's content
    qsizetype element() const;
};
Result<PduSize> measurePdu(const SnmpMessage &message);
char *writePdu(char *at, const SnmpMessage &message, const PduSize &size);
