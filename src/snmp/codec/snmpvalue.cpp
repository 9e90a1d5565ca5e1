#include "snmpvalue.h"

#include "snmp/codec/bercodec.h"

#include <QList>

namespace {

Failure mismatch(int type, const QString &text, const QString &why = QString())
{
    const QString name = typeName(type);
    const bool vowel = QStringLiteral("AEIOU").contains(name.front());
    QString description = QStringLiteral("Type mismatch: \"%1\" is not %2 %3 value")
                              .arg(text, vowel ? QStringLiteral("an") : QStringLiteral("a"), name);
    if (!why.isEmpty())
        description += QStringLiteral(" (%1)").arg(why);
    return failure(description);
}

// Plain decimal digits with an optional leading minus: no blanks, no plus, no other bases.
bool isDecimal(const QString &text, bool allowMinus)
{
    qsizetype start = (allowMinus && text.startsWith(QLatin1Char('-'))) ? 1 : 0;
    if (text.size() <= start)
        return false;
    for (qsizetype i = start; i < text.size(); ++i)
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            return false;
    return true;
}

Result<QByteArray> encodeUnsigned32(quint8 tag, int type, const QString &text)
{
    if (!isDecimal(text, false))
        return mismatch(type, text);
    bool ok = false;
    const quint64 value = text.toULongLong(&ok);
    if (!ok)
        return mismatch(type, text, QStringLiteral("beyond 64 bits"));
    if (value > 0xffffffffu)
        return mismatch(type, text, QStringLiteral("beyond 4294967295"));
    return ber::unsignedElement(tag, value);
}

Result<QByteArray> encodeIpAddress(const QString &text)
{
    const QList<QStringView> parts = QStringView(text).split(QLatin1Char('.'));
    if (parts.size() != 4)
        return mismatch(SnmpType::IpAddress, text);
    QByteArray bytes;
    for (QStringView part : parts) {
        bool ok = part.size() <= 3 && isDecimal(part.toString(), false);
        const uint value = ok ? part.toUInt(&ok) : 0;
        if (!ok || value > 255)
            return mismatch(SnmpType::IpAddress, text);
        bytes.append(char(value));
    }
    return ber::element(SnmpTag::IpAddress, bytes);
}

Result<SnmpValue> unsignedValue(int type, QByteArrayView content, quint64 limit)
{
    const Result<quint64> value = ber::decodeUnsigned(content);
    if (!value)
        return value.failure();
    if (value.value() > limit)
        return failure(QStringLiteral("Malformed SNMP message: value out of range"));
    return SnmpValue{type, QString::number(value.value())};
}

SnmpValue emptyValue(int type, QByteArrayView content)
{
    return SnmpValue{type, content.isEmpty()
                               ? QString()
                               : QString::fromLatin1(content.toByteArray().toHex(' '))};
}

} // namespace

Result<QByteArray> encodeValue(int type, const QString &text)
{
    // Null and the exceptions carry no value: a text would be traced but never sent.
    if (type >= SnmpType::Null && type <= SnmpType::EndOfMibView && !text.isEmpty())
        return mismatch(type, text);
    switch (type) {
    case SnmpType::Integer32: {
        bool ok = isDecimal(text, true);
        const int value = ok ? text.toInt(&ok) : 0;
        if (!ok)
            return mismatch(type, text);
        return ber::element(ber::Integer, ber::encodeInteger(value));
    }
    case SnmpType::OctetString:
        return ber::element(ber::OctetString, text.toUtf8());
    case SnmpType::ObjectIdentifier: {
        const Result<QByteArray> oid = ber::encodeOid(text);
        if (!oid)
            return mismatch(type, text);
        return ber::element(ber::ObjectIdentifier, oid.value());
    }
    case SnmpType::IpAddress:
        return encodeIpAddress(text);
    case SnmpType::Counter32:
        return encodeUnsigned32(SnmpTag::Counter32, type, text);
    case SnmpType::Gauge32:
    case SnmpType::Unsigned32:
        return encodeUnsigned32(SnmpTag::Gauge32, type, text);
    case SnmpType::TimeTicks:
        return encodeUnsigned32(SnmpTag::TimeTicks, type, text);
    case SnmpType::Counter64: {
        bool ok = isDecimal(text, false);
        const quint64 value = ok ? text.toULongLong(&ok) : 0;
        if (!ok)
            return mismatch(type, text);
        return ber::unsignedElement(SnmpTag::Counter64, value);
    }
    case SnmpType::Null:
        return ber::element(ber::Null, {});
    case SnmpType::NoSuchObject:
        return ber::element(SnmpTag::NoSuchObject, {});
    case SnmpType::NoSuchInstance:
        return ber::element(SnmpTag::NoSuchInstance, {});
    case SnmpType::EndOfMibView:
        return ber::element(SnmpTag::EndOfMibView, {});
    default:
        return failure(QStringLiteral("Type mismatch: %1 is not a variable type").arg(type));
    }
}

QByteArray encodeTimeTicks(quint64 ticks)
{
    return ber::unsignedElement(SnmpTag::TimeTicks, ticks & 0xffffffffu);
}

Result<SnmpValue> decodeValue(quint8 tag, QByteArrayView content)
{
    switch (tag) {
    case ber::Integer: {
        const Result<qint64> value = ber::decodeInteger(content);
        if (!value)
            return value.failure();
        if (value.value() < INT32_MIN || value.value() > INT32_MAX)
            return failure(QStringLiteral("Malformed SNMP message: Integer32 out of range"));
        return SnmpValue{SnmpType::Integer32, QString::number(value.value())};
    }
    case ber::OctetString:
        return SnmpValue{SnmpType::OctetString, QString::fromUtf8(content)};
    case ber::ObjectIdentifier: {
        const Result<QString> oid = ber::decodeOid(content);
        if (!oid)
            return oid.failure();
        return SnmpValue{SnmpType::ObjectIdentifier, oid.value()};
    }
    case SnmpTag::IpAddress: {
        if (content.size() != 4)
            return failure(QStringLiteral("Malformed SNMP message: IpAddress of %1 bytes")
                               .arg(content.size()));
        const auto *b = reinterpret_cast<const quint8 *>(content.data());
        return SnmpValue{SnmpType::IpAddress,
                         QStringLiteral("%1.%2.%3.%4").arg(b[0]).arg(b[1]).arg(b[2]).arg(b[3])};
    }
    case SnmpTag::Counter32:
        return unsignedValue(SnmpType::Counter32, content, 0xffffffffu);
    case SnmpTag::Gauge32:
        return unsignedValue(SnmpType::Gauge32, content, 0xffffffffu);
    case SnmpTag::TimeTicks:
        return unsignedValue(SnmpType::TimeTicks, content, 0xffffffffu);
    case SnmpTag::Counter64:
        return unsignedValue(SnmpType::Counter64, content, ~quint64(0));
    case SnmpTag::Opaque:
        return emptyValue(SnmpType::Opaque, content);
    case ber::Null:
    case SnmpTag::NoSuchObject:
    case SnmpTag::NoSuchInstance:
    case SnmpTag::EndOfMibView: {
        if (!content.isEmpty())
            return failure(QStringLiteral("Malformed SNMP message: null value with content"));
        return SnmpValue{typeOfTag(tag), QString()};
    }
    default:
        return failure(QStringLiteral("Malformed SNMP message: unknown value tag 0x%1")
                           .arg(tag, 2, 16, QLatin1Char('0')));
    }
}
