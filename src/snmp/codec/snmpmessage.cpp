#include "snmpmessage.h"

#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmpvalue.h"

#include <algorithm>

namespace {

constexpr quint8 PduTagBase = 0xa0;
constexpr int V3Version = 3; // as SNMPv3 messages carry it

Failure malformed(const QString &why)
{
    return failure(QStringLiteral("Malformed SNMP message: ") + why);
}

Result<qint32> readInt32(ber::Reader &reader, const char *what)
{
    const Result<ber::Element> element = reader.read(ber::Integer, what);
    if (!element)
        return element.failure();
    const Result<qint64> value = ber::decodeInteger(element.value().content);
    if (!value)
        return value.failure();
    if (value.value() < INT32_MIN || value.value() > INT32_MAX)
        return malformed(QStringLiteral("%1 out of range").arg(QLatin1String(what)));
    return qint32(value.value());
}

Result<QList<SnmpVariable>> readVariables(QByteArrayView list, SnmpMessage *previous)
{
    // Counted first, so the list is allocated once.
    qsizetype count = 0;
    for (ber::Reader counter(list); !counter.atEnd() && counter.read(); ++count) {
    }
    QList<SnmpVariable> variables;
    variables.reserve(count);
    ber::Reader reader(list);
    while (!reader.atEnd()) {
        const Result<ber::Element> binding = reader.read(ber::Sequence, "variable binding");
        if (!binding)
            return binding.failure();
        ber::Reader fields(binding.value().content);
        const Result<ber::Element> oid = fields.read(ber::ObjectIdentifier, "variable name");
        if (!oid)
            return oid.failure();
        const Result<ber::Element> value = fields.read();
        if (!value)
            return value.failure();
        if (!fields.atEnd())
            return malformed(QStringLiteral("extra data in a variable binding"));
        const qsizetype at = variables.size();
        SnmpVariable *like =
            previous && at < previous->Variables.size() ? &previous->Variables[at] : nullptr;
        Result<SnmpVariable> variable = SnmpVariable::decode(oid.value(), value.value(), like);
        if (!variable)
            return variable.failure();
        variables.append(std::move(variable.value()));
    }
    return variables;
}

// Copies into the array's own storage when it has room: answers fill the request's variables,
// whose arrays then need no new allocation.
} // namespace

namespace {

// The PDU of a message whose version is known already.
Status readPdu(const ber::Element &pdu, SnmpMessage &message, SnmpMessage *previous)
{
    const quint8 tag = pdu.tag;
    if (tag < PduTagBase || tag > PduTagBase + 8)
        return malformed(QStringLiteral("unknown PDU tag 0x%1").arg(tag, 2, 16, QLatin1Char('0')));
    const int number = tag - PduTagBase;
    if (number == 4)
        return failure(QStringLiteral("SNMPv1 traps are not handled"), MessageFault::Unhandled);
    if (message.version == SnmpVersion::V1 && number > 4)
        return malformed(QStringLiteral("SNMPv2 PDU in an SNMPv1 message"));
    message.Type =
        (message.version == SnmpVersion::V1 ? SnmpPdu::V1Base : SnmpPdu::V2cBase) + number;

    ber::Reader body(pdu.content);
    const Result<qint32> requestId = readInt32(body, "request id");
    if (!requestId)
        return requestId.failure();
    const Result<qint32> status = readInt32(body, "error status");
    if (!status)
        return status.failure();
    const Result<qint32> index = readInt32(body, "error index");
    if (!index)
        return index.failure();
    message.MessageNumber = requestId.value();
    if (number == SnmpPdu::GetBulkRequest) {
        message.nonRepeaters = status.value();
        message.maxRepetitions = index.value();
    } else {
        message.ErrorStatus = status.value();
        message.ErrorIndex = index.value();
    }
    const Result<ber::Element> list = body.read(ber::Sequence, "variable list");
    if (!list)
        return list.failure();
    if (!body.atEnd())
        return malformed(QStringLiteral("data after the variable list"));
    Result<QList<SnmpVariable>> variables = readVariables(list.value().content, previous);
    if (!variables)
        return variables.failure();
    message.Variables = std::move(variables.value());
    return {};
}

} // namespace

Result<SnmpMessage> decodeMessage(QByteArrayView datagram, SnmpMessage *previous)
{
    const Result<ber::Element> whole = ber::readWhole(datagram, ber::Sequence, "message");
    if (!whole)
        return whole.failure();

    ber::Reader fields(whole.value().content);
    SnmpMessage message;
    const Result<qint32> version = readInt32(fields, "version");
    if (!version)
        return version.failure();
    // Every SNMPv3 request is tried here first, so its refusal costs no formatting.
    if (version.value() == V3Version)
        return failure(QStringLiteral("SNMP version 3 not supported"), MessageFault::Version3);
    if (version.value() != SnmpVersion::V1 && version.value() != SnmpVersion::V2c)
        return failure(QStringLiteral("SNMP version %1 not supported").arg(version.value()),
                       MessageFault::BadVersion);
    message.version = version.value();

    const Result<ber::Element> community = fields.read(ber::OctetString, "community");
    if (!community)
        return community.failure();
    const QLatin1String communityText(community.value().content);
    message.Community = previous && previous->Community == communityText ? previous->Community
                                                                         : QString(communityText);

    const Result<ber::Element> pdu = fields.read();
    if (!pdu)
        return pdu.failure();
    if (!fields.atEnd())
        return malformed(QStringLiteral("data after the PDU"));
    const Status read = readPdu(pdu.value(), message, previous);
    if (!read)
        return read.failure();
    return message;
}

Result<SnmpMessage> decodePdu(QByteArrayView element)
{
    ber::Reader outer(element);
    const Result<ber::Element> pdu = outer.read();
    if (!pdu)
        return pdu.failure();
    if (!outer.atEnd())
        return malformed(QStringLiteral("data after the PDU"));
    SnmpMessage message;
    message.version = SnmpVersion::V2c;
    const Status read = readPdu(pdu.value(), message, nullptr);
    if (!read)
        return read.failure();
    return message;
}

Result<QByteArray> encodeMessage(const SnmpMessage &message)
{
    QByteArray out;
    const Status encoded = encodeMessage(message, out);
    if (!encoded)
        return encoded.failure();
    return out;
}

Result<PduSize> measurePdu(const SnmpMessage &message)
{
    const int base = message.Type & ~0x1f;
    if ((base != SnmpPdu::V1Base && base != SnmpPdu::V2cBase) || message.pdu() > 8)
        return failure(QStringLiteral("Message type %1 cannot be sent").arg(message.Type));
    PduSize size;
    for (const SnmpVariable &variable : message.Variables) {
        const qsizetype binding = variable.oidElement().size() + variable.valueElement().size();
        size.list += ber::headerSize(binding) + binding;
    }
    size.content = 2 + ber::integerSize(message.MessageNumber) + 2 +
                   ber::integerSize(message.ErrorStatus) + 2 +
                   ber::integerSize(message.ErrorIndex) + ber::headerSize(size.list) + size.list;
    return size;
}

qsizetype PduSize::element() const
{
    return ber::headerSize(content) + content;
}

char *writePdu(char *at, const SnmpMessage &message, const PduSize &size)
{
    at = ber::writeHeader(at, quint8(PduTagBase + message.pdu()), size.content);
    at = ber::writeInteger(at, message.MessageNumber);
    at = ber::writeInteger(at, message.ErrorStatus);
    at = ber::writeInteger(at, message.ErrorIndex);
    at = ber::writeHeader(at, ber::Sequence, size.list);
    for (const SnmpVariable &variable : message.Variables) {
        const QByteArray &oid = variable.oidElement();
        const QByteArray &value = variable.valueElement();
        at = ber::writeHeader(at, ber::Sequence, oid.size() + value.size());
        at = std::copy(oid.cbegin(), oid.cend(), at);
        at = std::copy(value.cbegin(), value.cend(), at);
    }
    return at;
}

Status encodeMessage(const SnmpMessage &message, QByteArray &out)
{
    const Result<PduSize> pdu = measurePdu(message);
    if (!pdu)
        return pdu.failure();

    // The community as it was decoded is Latin-1 already and is written as it stands; anything
    // else goes through the conversion.
    QByteArray converted;
    const bool latin1 = std::all_of(message.Community.begin(), message.Community.end(),
                                    [](QChar c) { return c.unicode() <= 0xff; });
    if (!latin1)
        converted = message.Community.toLatin1();
    const qsizetype communitySize = latin1 ? message.Community.size() : converted.size();

    // Sizes first, so the message is written into one buffer front to back.
    const qsizetype messageLength = 2 + ber::integerSize(message.version) +
                                    ber::headerSize(communitySize) + communitySize +
                                    pdu.value().element();

    // Reuses the caller's buffer when it is large enough.
    out.resize(ber::headerSize(messageLength) + messageLength);
    char *at = out.data();
    at = ber::writeHeader(at, ber::Sequence, messageLength);
    at = ber::writeInteger(at, message.version);
    at = ber::writeHeader(at, ber::OctetString, communitySize);
    if (latin1) {
        for (QChar c : message.Community)
            *at++ = char(c.unicode());
    } else {
        at = std::copy(converted.cbegin(), converted.cend(), at);
    }
    at = writePdu(at, message, pdu.value());
    Q_ASSERT(at == out.constData() + out.size());
    return {};
}

Result<QByteArray> encodePdu(const SnmpMessage &message)
{
    const Result<PduSize> size = measurePdu(message);
    if (!size)
        return size.failure();
    QByteArray out(size.value().element(), Qt::Uninitialized);
    writePdu(out.data(), message, size.value());
    return out;
}

QByteArrayView firstOidContent(QByteArrayView datagram)
{
    // The message, then its third field (the PDU), then the PDU's fourth (the bindings), then the
    // first binding and its first element.
    const int path[] = {0, 2, 3, 0, 0};
    QByteArrayView inside = datagram;
    ber::Element element;
    for (int skip : path) {
        ber::Reader reader(inside);
        for (int i = 0; i <= skip; ++i) {
            Result<ber::Element> read = reader.read();
            if (!read)
                return {};
            element = read.value();
        }
        inside = element.content;
    }
    return element.tag == ber::ObjectIdentifier ? element.content : QByteArrayView();
}
