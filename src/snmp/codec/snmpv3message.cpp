#include "snmpv3message.h"

#include "snmp/codec/bercodec.h"

#include <algorithm>

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
    const Result<ber::Element> sequence =
        ber::readWhole(encoded, ber::Sequence, "security parameters");
    if (!sequence)
        return sequence.failure();
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

qsizetype integerSize(qint64 value)
{
    return 2 + ber::integerSize(value);
}

qsizetype octetsSize(QByteArrayView content)
{
    return ber::headerSize(content.size()) + content.size();
}

char *writeOctets(char *at, QByteArrayView content)
{
    at = ber::writeHeader(at, ber::OctetString, content.size());
    return std::copy(content.begin(), content.end(), at);
}

qsizetype scopedContentSize(const SnmpV3Message &message, qsizetype pduSize)
{
    return octetsSize(message.contextEngineId) + octetsSize(message.contextName) + pduSize;
}

} // namespace

Result<SnmpV3Message> decodeV3Message(QByteArrayView datagram)
{
    const Result<ber::Element> whole = ber::readWhole(datagram, ber::Sequence, "message");
    if (!whole)
        return whole.failure();
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
        return failure(QStringLiteral("security model %1 not supported").arg(model.value()),
                       MessageFault::UnknownSecurityModel);
    message.messageId = qint32(id.value());
    message.maxSize = qint32(maxSize.value());
    message.flags = quint8(flags.value().content[0]);
    if ((message.flags & SnmpV3Flag::Priv) && !(message.flags & SnmpV3Flag::Auth))
        return failure(QStringLiteral("Malformed SNMPv3 message: privacy without authentication"),
                       MessageFault::InvalidFlags);

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

qsizetype scopedPduSize(const SnmpV3Message &message, qsizetype pduSize)
{
    const qsizetype content = scopedContentSize(message, pduSize);
    return ber::headerSize(content) + content;
}

char *writeScopedPduHead(char *at, const SnmpV3Message &message, qsizetype pduSize)
{
    at = ber::writeHeader(at, ber::Sequence, scopedContentSize(message, pduSize));
    at = writeOctets(at, message.contextEngineId);
    return writeOctets(at, message.contextName);
}

QByteArray encodeScopedPdu(const SnmpV3Message &message)
{
    QByteArray out(scopedPduSize(message, message.pdu.size()), Qt::Uninitialized);
    char *at = writeScopedPduHead(out.data(), message, message.pdu.size());
    std::copy(message.pdu.cbegin(), message.pdu.cend(), at);
    return out;
}

EncodedV3 layoutV3Message(const SnmpV3Message &message, int digestLength, qsizetype dataSize)
{
    const UsmParameters &usm = message.usm;
    const bool encrypted = message.flags & SnmpV3Flag::Priv;
    const qsizetype globalSize = integerSize(message.messageId) + integerSize(message.maxSize) + 3 +
                                 integerSize(UserSecurityModel);
    const qsizetype usmSize = octetsSize(usm.engineId) + integerSize(usm.boots) +
                              integerSize(usm.time) + octetsSize(usm.userName) +
                              ber::headerSize(digestLength) + digestLength +
                              octetsSize(usm.privacy);
    const qsizetype usmSequenceSize = ber::headerSize(usmSize) + usmSize;
    const qsizetype data = encrypted ? ber::headerSize(dataSize) + dataSize : dataSize;
    const qsizetype total = integerSize(3) + ber::headerSize(globalSize) + globalSize +
                            ber::headerSize(usmSequenceSize) + usmSequenceSize + data;

    EncodedV3 out;
    out.bytes.resize(ber::headerSize(total) + total);
    char *const begin = out.bytes.data();
    char *at = ber::writeHeader(begin, ber::Sequence, total);
    at = ber::writeInteger(at, 3);
    at = ber::writeHeader(at, ber::Sequence, globalSize);
    at = ber::writeInteger(at, message.messageId);
    at = ber::writeInteger(at, message.maxSize);
    at = ber::writeHeader(at, ber::OctetString, 1);
    *at++ = char(message.flags);
    at = ber::writeInteger(at, UserSecurityModel);
    at = ber::writeHeader(at, ber::OctetString, usmSequenceSize);
    at = ber::writeHeader(at, ber::Sequence, usmSize);
    at = writeOctets(at, usm.engineId);
    at = ber::writeInteger(at, usm.boots);
    at = ber::writeInteger(at, usm.time);
    at = writeOctets(at, usm.userName);
    at = ber::writeHeader(at, ber::OctetString, digestLength);
    out.authenticationOffset = at - begin;
    at = std::fill_n(at, digestLength, '\0');
    at = writeOctets(at, usm.privacy);
    out.privacyOffset = at - begin - usm.privacy.size();
    if (encrypted)
        at = ber::writeHeader(at, EncryptedPdu, dataSize);
    out.dataOffset = at - begin;
    Q_ASSERT(out.dataOffset + dataSize == out.bytes.size());
    return out;
}

EncodedV3 encodeV3Message(const SnmpV3Message &message, int digestLength)
{
    if (message.flags & SnmpV3Flag::Priv) {
        EncodedV3 out = layoutV3Message(message, digestLength, message.encryptedPdu.size());
        std::copy(message.encryptedPdu.cbegin(), message.encryptedPdu.cend(),
                  out.bytes.data() + out.dataOffset);
        return out;
    }
    const qsizetype pduSize = message.pdu.size();
    EncodedV3 out = layoutV3Message(message, digestLength, scopedPduSize(message, pduSize));
    char *at = writeScopedPduHead(out.bytes.data() + out.dataOffset, message, pduSize);
    std::copy(message.pdu.cbegin(), message.pdu.cend(), at);
    return out;
}
