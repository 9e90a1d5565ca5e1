#include "snmpmessage.h"

#include "bercodec.h"
#include "snmpvalue.h"

namespace {

constexpr quint8 PduTagBase = 0xa0;

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

Result<QList<SnmpVariable>> readVariables(QByteArrayView list)
{
    QList<SnmpVariable> variables;
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
        Result<SnmpVariable> variable = SnmpVariable::decode(oid.value(), value.value());
        if (!variable)
            return variable.failure();
        variables.append(std::move(variable.value()));
    }
    return variables;
}

} // namespace

Result<SnmpVariable> SnmpVariable::make(const QString &oid, int type, const QString &value)
{
    SnmpVariable variable;
    variable.m_type = type;
    variable.m_value = value;
    const Result<QByteArray> element = encodeValue(type, value);
    if (!element)
        return element.failure();
    variable.m_valueElement = element.value();
    const Status named = variable.setOid(oid);
    if (!named)
        return named.failure();
    return variable;
}

Result<SnmpVariable> SnmpVariable::decode(const ber::Element &oidElement,
                                          const ber::Element &valueElement)
{
    const Result<QString> oid = ber::decodeOid(oidElement.content);
    if (!oid)
        return oid.failure();
    const Result<SnmpValue> value = decodeValue(valueElement.tag, valueElement.content);
    if (!value)
        return value.failure();
    SnmpVariable variable;
    variable.m_oid = oid.value();
    variable.m_oidElement = oidElement.encoded.toByteArray();
    variable.m_type = value.value().type;
    variable.m_value = value.value().text;
    variable.m_valueElement = valueElement.encoded.toByteArray();
    return variable;
}

void SnmpVariable::setValue(const QString &text)
{
    m_value = text;
    const Result<QByteArray> element = encodeValue(m_type, text);
    if (element)
        m_valueElement = element.value();
}

Status SnmpVariable::setType(int type)
{
    const Result<QByteArray> element = encodeValue(type, m_value);
    if (!element)
        return element.failure();
    m_type = type;
    m_valueElement = element.value();
    return {};
}

Status SnmpVariable::setValueAndType(const QString &text, int type)
{
    Result<QByteArray> element = encodeValue(type, text);
    if (!element) {
        setValue(text);
        return element.failure();
    }
    m_value = text;
    m_type = type;
    m_valueElement = std::move(element.value());
    return {};
}

Status SnmpVariable::setOid(const QString &dotted)
{
    if (dotted == m_oid && !m_oidElement.isEmpty())
        return {};
    const Result<QByteArray> content = ber::encodeOid(dotted);
    if (!content)
        return content.failure();
    m_oid = dotted;
    m_oidElement = ber::element(ber::ObjectIdentifier, content.value());
    return {};
}

Result<SnmpMessage> decodeMessage(QByteArrayView datagram)
{
    ber::Reader outer(datagram);
    const Result<ber::Element> whole = outer.read(ber::Sequence, "message");
    if (!whole)
        return whole.failure();
    if (!outer.atEnd())
        return malformed(QStringLiteral("data after the message"));

    ber::Reader fields(whole.value().content);
    SnmpMessage message;
    const Result<qint32> version = readInt32(fields, "version");
    if (!version)
        return version.failure();
    if (version.value() != SnmpVersion::V1 && version.value() != SnmpVersion::V2c)
        return failure(QStringLiteral("SNMP version %1 not supported").arg(version.value()));
    message.version = version.value();

    const Result<ber::Element> community = fields.read(ber::OctetString, "community");
    if (!community)
        return community.failure();
    message.Community = QString::fromLatin1(community.value().content);

    const Result<ber::Element> pdu = fields.read();
    if (!pdu)
        return pdu.failure();
    if (!fields.atEnd())
        return malformed(QStringLiteral("data after the PDU"));
    const quint8 tag = pdu.value().tag;
    if (tag < PduTagBase || tag > PduTagBase + 8)
        return malformed(QStringLiteral("unknown PDU tag 0x%1").arg(tag, 2, 16, QLatin1Char('0')));
    const int number = tag - PduTagBase;
    if (number == 4)
        return failure(QStringLiteral("SNMPv1 traps are not handled"));
    if (message.version == SnmpVersion::V1 && number > 4)
        return malformed(QStringLiteral("SNMPv2 PDU in an SNMPv1 message"));
    message.Type =
        (message.version == SnmpVersion::V1 ? SnmpPdu::V1Base : SnmpPdu::V2cBase) + number;

    ber::Reader body(pdu.value().content);
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
    Result<QList<SnmpVariable>> variables = readVariables(list.value().content);
    if (!variables)
        return variables.failure();
    message.Variables = std::move(variables.value());
    return message;
}

Result<QByteArray> encodeMessage(const SnmpMessage &message)
{
    const int number = message.pdu();
    if ((message.Type & ~0x1f) != SnmpPdu::V1Base && (message.Type & ~0x1f) != SnmpPdu::V2cBase)
        return failure(QStringLiteral("Message type %1 cannot be sent").arg(message.Type));
    if (number > 8)
        return failure(QStringLiteral("Message type %1 cannot be sent").arg(message.Type));

    // Sizes first, so the message is written into one buffer front to back.
    qsizetype listLength = 0;
    for (const SnmpVariable &variable : message.Variables) {
        const qsizetype binding = variable.oidElement().size() + variable.valueElement().size();
        listLength += ber::headerSize(binding) + binding;
    }
    const QByteArray requestId = ber::encodeInteger(message.MessageNumber);
    const QByteArray status = ber::encodeInteger(message.ErrorStatus);
    const QByteArray index = ber::encodeInteger(message.ErrorIndex);
    const qsizetype pduLength = 2 + requestId.size() + 2 + status.size() + 2 + index.size() +
                                ber::headerSize(listLength) + listLength;
    const QByteArray version = ber::encodeInteger(message.version);
    const QByteArray community = message.Community.toLatin1();
    const qsizetype messageLength = 2 + version.size() + ber::headerSize(community.size()) +
                                    community.size() + ber::headerSize(pduLength) + pduLength;

    QByteArray out;
    out.reserve(ber::headerSize(messageLength) + messageLength);
    ber::appendHeader(out, ber::Sequence, messageLength);
    ber::appendElement(out, ber::Integer, version);
    ber::appendElement(out, ber::OctetString, community);
    ber::appendHeader(out, quint8(PduTagBase + number), pduLength);
    ber::appendElement(out, ber::Integer, requestId);
    ber::appendElement(out, ber::Integer, status);
    ber::appendElement(out, ber::Integer, index);
    ber::appendHeader(out, ber::Sequence, listLength);
    for (const SnmpVariable &variable : message.Variables) {
        ber::appendHeader(out, ber::Sequence,
                          variable.oidElement().size() + variable.valueElement().size());
        out.append(variable.oidElement());
        out.append(variable.valueElement());
    }
    return out;
}
