#include "recordingvalues.h"

#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmptypes.h"
#include "snmp/recording/valuetexts.h"

#include <QString>

#include <limits>

// The values of OID|TAG|VALUE lines: the tag's number, "x" after it for hex.
namespace recording {

Status pipeValue(QByteArrayView tag, QByteArrayView value, QByteArray &out)
{
    out.resize(0); // keeps the storage for the next line
    const bool hex = tag.endsWith('x');
    const QByteArrayView number = hex ? tag.first(tag.size() - 1) : tag;
    quint64 code = 0;
    if (!parseUnsigned(number, 255, code))
        return failure(QStringLiteral("unknown type \"%1\"").arg(QString::fromLatin1(tag)));
    const auto octets = [&](quint8 berTag) -> Status {
        if (hex)
            return hexValue(tag, berTag, value, out);
        if (value.size() > MaxValue)
            return bad(tag, value);
        appendContentElement(out, berTag, value);
        return {};
    };
    const auto numeric = [&](quint8 berTag, quint64 max) -> Status {
        quint64 parsed = 0;
        const bool ok = hex ? !value.isEmpty() && value.size() <= 16 &&
                                  [&] {
                                      bool good = false;
                                      parsed = value.toByteArray().toULongLong(&good, 16);
                                      return good && parsed <= max;
                                  }()
                            : parseUnsigned(trimmed(value), max, parsed);
        if (!ok)
            return bad(tag, value);
        appendUnsignedElement(out, berTag, parsed);
        return {};
    };
    switch (code) {
    case 2:
        return hex ? bad(tag, value) : integerValue(value, out);
    case 4:
        return octets(ber::OctetString);
    case 5:
        appendContentElement(out, ber::Null, {});
        return {};
    case 6:
        return oidValue(value, out);
    case 64:
        return hex ? hexValue(tag, SnmpTag::IpAddress, value, out) : ipAddressValue(value, out);
    case 65:
        return numeric(SnmpTag::Counter32, 0xffffffffu);
    case 66:
        return numeric(SnmpTag::Gauge32, 0xffffffffu);
    case 67:
        return numeric(SnmpTag::TimeTicks, 0xffffffffu);
    case 68:
        return octets(SnmpTag::Opaque);
    case 70:
        return numeric(SnmpTag::Counter64, std::numeric_limits<quint64>::max());
    default:
        return failure(QStringLiteral("unknown type \"%1\"").arg(QString::fromLatin1(tag)));
    }
}

} // namespace recording
