#include "snmpv3message.h"

#include "bercodec.h"

namespace {

constexpr int UserSecurityModel = 3;
constexpr quint8 EncryptedPdu = ber::OctetString;

Failure malformed(const QString &why)
{
    return failure(QStringLiteral("Malformed SNMPv3 message: %1").arg(why));
}

Result<qint64> readInteger(ber::Reader &reader, const char *what, qint64 low, qint64 high)
{
    const Result<ber::Element> element = reader.read(ber::Integer, what);
    if (!element)
        return element.failure();
    const Result<qint64> value = ber::decodeInteger(element.value().content);
    if (!value)
        return value;
    if (value.value() < low || value.value() > high)
        return malformed(QStringLiteral("%1 out of range").arg(QLatin1String(what)));
    return value;
}

Result<QByteArray> readOctets(ber::Reader &reader, const char *what, qsizetype maxSize)
{
    const Result<ber::Element> element = reader.read(ber::OctetString, what);
    if (!element)
        return element.failure();
    if (element.value().content.size() > maxSize)
        return malformed(QStringLiteral("%1 too long").arg(QLatin1String(what)));
    return element.value().content.toByteArray();
}

Status decodeUsm(QByteArrayView datagram, QByteArrayView encoded, SnmpV3Message &message)
{
    ber::Reader outer(encoded);
    const Result<ber::Element> sequence = outer.read(ber::Sequence, "security parameters");
    if (!sequence)
        return sequence.failure();
    if (!outer.atEnd())
        return malformed(QStringLiteral("data after the security parameters"));
    ber::Reader fields(sequence.value().content);
    UsmParameters &usm = message.usm;
    Result<QByteArray> engine = readOctets(fields, "authoritative engine id", 32);
    if (!engine)
        return engine.failure();
    usm.engineId = engine.value();
    const Result<qint64> boots = readInteger(fields, "engine boots", 0, 0x7fffffff);
    if (!boots)
        return boots.failure();
    const Result<qint64> time = readInteger(fields, "engine time", 0, 0x7fffffff);
    if (!time)
        return time.failure();
    usm.boots = quint32(boots.value());
    usm.time = quint32(time.value());
    const Result<QByteArray> user = readOctets(fields, "user name", 32);
    if (!user)
        return user.failure();
    usm.userName = user.value();
    const Result<ber::Element> auth = fields.read(ber::OctetString, "authentication parameters");
    if (!auth)
        return auth.failure();
    if (auth.value().content.size() > 64)
        return malformed(QStringLiteral("authentication parameters too long"));
    usm.authentication = auth.value().content.toByteArray();
    message.authenticationOffset = auth.value().content.data() - datagram.data();
    const Result<QByteArray> privacy = readOctets(fields, "privacy parameters", 32);
    if (!privacy)
        return privacy.failure();
    usm.privacy = privacy.value();
    if (!fields.atEnd())
        return malformed(QStringLiteral("data after the privacy parameters"));
    return {};
}

void appendInteger(QByteArray &out, qint64 value)
{
    ber::appendElement(out, ber::Integer, ber::encodeInteger(value));
}

} // namespace

Result<SnmpV3Message> decodeV3Message(QByteArrayView datagram)
{
    ber::Reader outer(datagram);
    const Result<ber::Element> whole = outer.read(ber::Sequence, "message");
    if (!whole)
        return whole.failure();
    if (!outer.atEnd())
        return malformed(QStringLiteral("data after the message"));
    ber::Reader fields(whole.value().content);
    const Result<qint64> version = readInteger(fields, "version", 3, 3);
    if (!version)
        return version.failure();

    SnmpV3Message message;
    const Result<ber::Element> global = fields.read(ber::Sequence, "global data");
    if (!global)
        return global.failure();
    ber::Reader header(global.value().content);
    const Result<qint64> id = readInteger(header, "message id", 0, 0x7fffffff);
    if (!id)
        return id.failure();
    const Result<qint64> maxSize = readInteger(header, "maximum size", 484, 0x7fffffff);
    if (!maxSize)
        return maxSize.failure();
    const Result<ber::Element> flags = header.read(ber::OctetString, "flags");
    if (!flags)
        return flags.failure();
    if (flags.value().content.size() != 1)
        return malformed(QStringLiteral("flags are not one byte"));
    const Result<qint64> model = readInteger(header, "security model", 1, 0x7fffffff);
    if (!model)
        return model.failure();
    if (!header.atEnd())
        return malformed(QStringLiteral("data after the global data"));
    if (model.value() != UserSecurityModel)
        return failure(QStringLiteral("security model %1 not supported").arg(model.value()));
    message.messageId = qint32(id.value());
    message.maxSize = qint32(maxSize.value());
    message.flags = quint8(flags.value().content[0]);
    if ((message.flags & SnmpV3Flag::Priv) && !(message.flags & SnmpV3Flag::Auth))
        return malformed(QStringLiteral("privacy without authentication"));

    const Result<ber::Element> security = fields.read(ber::OctetString, "security parameters");
    if (!security)
        return security.failure();
    const Status usm = decodeUsm(datagram, security.value().content, message);
    if (!usm)
        return usm.failure();

    const Result<ber::Element> data = fields.read();
    if (!data)
        return data.failure();
    if (!fields.atEnd())
        return malformed(QStringLiteral("data after the scoped PDU"));
    if (message.flags & SnmpV3Flag::Priv) {
        if (data.value().tag != EncryptedPdu)
            return malformed(QStringLiteral("privacy flag set but the PDU is not encrypted"));
        message.encryptedPdu = data.value().content.toByteArray();
        return message;
    }
    const Status scoped = decodeScopedPdu(data.value().encoded, message);
    if (!scoped)
        return scoped.failure();
    return message;
}

Status decodeScopedPdu(QByteArrayView scoped, SnmpV3Message &message)
{
    // Decrypted block ciphers leave padding after the sequence; it is not part of the PDU.
    ber::Reader outer(scoped);
    const Result<ber::Element> sequence = outer.read(ber::Sequence, "scoped PDU");
    if (!sequence)
        return sequence.failure();
    ber::Reader fields(sequence.value().content);
    const Result<QByteArray> engine = readOctets(fields, "context engine id", 32);
    if (!engine)
        return engine.failure();
    const Result<QByteArray> name = readOctets(fields, "context name", 255);
    if (!name)
        return name.failure();
    const Result<ber::Element> pdu = fields.read();
    if (!pdu)
        return pdu.failure();
    if (!fields.atEnd())
        return malformed(QStringLiteral("data after the PDU"));
    message.contextEngineId = engine.value();
    message.contextName = name.value();
    message.pdu = pdu.value().encoded.toByteArray();
    return {};
}

QByteArray encodeScopedPdu(const SnmpV3Message &message)
{
    QByteArray content;
    ber::appendElement(content, ber::OctetString, message.contextEngineId);
    ber::appendElement(content, ber::OctetString, message.contextName);
    content += message.pdu;
    return ber::element(ber::Sequence, content);
}

EncodedV3 encodeV3Message(const SnmpV3Message &message, int digestLength)
{
    const UsmParameters &usm = message.usm;
    QByteArray usmBefore; // up to the digest's content
    ber::appendElement(usmBefore, ber::OctetString, usm.engineId);
    appendInteger(usmBefore, usm.boots);
    appendInteger(usmBefore, usm.time);
    ber::appendElement(usmBefore, ber::OctetString, usm.userName);
    ber::appendHeader(usmBefore, ber::OctetString, digestLength);
    QByteArray usmAfter(digestLength, '\0');
    ber::appendElement(usmAfter, ber::OctetString, usm.privacy);

    QByteArray global;
    appendInteger(global, message.messageId);
    appendInteger(global, message.maxSize);
    ber::appendElement(global, ber::OctetString, QByteArray(1, char(message.flags)));
    appendInteger(global, UserSecurityModel);

    const QByteArray data = (message.flags & SnmpV3Flag::Priv)
                                ? ber::element(EncryptedPdu, message.encryptedPdu)
                                : encodeScopedPdu(message);
    const qsizetype usmSize = usmBefore.size() + usmAfter.size();
    const qsizetype usmSequenceSize = ber::headerSize(usmSize) + usmSize;

    QByteArray head;
    appendInteger(head, 3);
    ber::appendElement(head, ber::Sequence, global);
    ber::appendHeader(head, ber::OctetString, usmSequenceSize);
    ber::appendHeader(head, ber::Sequence, usmSize);
    head += usmBefore;
    const qsizetype total = head.size() + usmAfter.size() + data.size();

    EncodedV3 out;
    ber::appendHeader(out.bytes, ber::Sequence, total);
    out.authenticationOffset = out.bytes.size() + head.size();
    out.bytes += head;
    out.bytes += usmAfter;
    out.bytes += data;
    return out;
}

Result<SnmpMessage> decodePdu(QByteArrayView pdu)
{
    QByteArray wrapped;
    appendInteger(wrapped, SnmpVersion::V2c);
    ber::appendElement(wrapped, ber::OctetString, {});
    wrapped += pdu;
    return decodeMessage(ber::element(ber::Sequence, wrapped));
}

Result<QByteArray> encodePdu(const SnmpMessage &message)
{
    SnmpMessage v2 = message;
    v2.version = SnmpVersion::V2c;
    v2.Type = SnmpPdu::V2cBase + message.pdu();
    v2.Community.clear();
    const Result<QByteArray> whole = encodeMessage(v2);
    if (!whole)
        return whole;
    // Past the sequence, the version and the empty community lies the PDU.
    ber::Reader outer(whole.value());
    ber::Reader fields(outer.read().value().content);
    fields.read();
    fields.read();
    return fields.read().value().encoded.toByteArray();
}
