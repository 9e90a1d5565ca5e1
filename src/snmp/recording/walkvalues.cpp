#include "recordingvalues.h"

#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmptypes.h"
#include "snmp/recording/valuetexts.h"

#include <QString>

#include <bit>
#include <limits>

// The values of a numeric walk, as snmpwalk prints them.
namespace recording {
namespace {

// Leading hex pairs, then the names of the set bits, which say nothing new.
Status bitsValue(QByteArrayView text, QByteArray &out)
{
    QByteArray content;
    text = trimmed(text);
    while (!text.isEmpty()) {
        const QByteArrayView word = firstWord(text);
        if (word.size() != 2 || hexDigit(word[0]) < 0 || hexDigit(word[1]) < 0)
            break;
        content.append(char(hexDigit(word[0]) << 4 | hexDigit(word[1])));
        text = trimmed(text.sliced(word.size()));
    }
    if (content.isEmpty())
        return bad("BITS", text);
    appendContentElement(out, ber::OctetString, content);
    return {};
}

// A quoted string: backslash escapes a quote or a backslash; line ends inside stay as read.
Status quotedValue(QByteArrayView text, QByteArray &out)
{
    text = trimmed(text);
    if (!text.startsWith('"'))
        return failure({});
    const qsizetype close = closingQuote(text.sliced(1));
    if (close < 0 || !trimmed(text.sliced(close + 2)).isEmpty())
        return bad("STRING", text);
    QByteArray content;
    const QByteArrayView inside = text.sliced(1, close);
    content.reserve(inside.size());
    for (qsizetype i = 0; i < inside.size(); ++i) {
        if (inside[i] == '\\' && i + 1 < inside.size() &&
            (inside[i + 1] == '"' || inside[i + 1] == '\\'))
            ++i;
        content.append(inside[i]);
    }
    if (content.size() > MaxValue)
        return bad("STRING", text);
    appendContentElement(out, ber::OctetString, content);
    return {};
}

// The octets of a DateAndTime as its display hint writes it: "2026-12-7,13:30:15.5" with an
// optional ",+1:0"; false for anything else.
bool dateAndTime(QByteArrayView shown, QByteArray &content)
{
    qsizetype at = 0;
    const auto number = [&](quint64 max, quint64 &value) {
        qsizetype end = at;
        while (end < shown.size() && shown[end] >= '0' && shown[end] <= '9')
            ++end;
        const bool ok = parseUnsigned(shown.sliced(at, end - at), max, value);
        at = end;
        return ok;
    };
    const auto expect = [&](char c) { return at < shown.size() && shown[at++] == c; };
    quint64 year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, deci = 0;
    if (!(number(65535, year) && expect('-') && number(12, month) && expect('-') &&
          number(31, day) && expect(',') && number(23, hour) && expect(':') && number(59, minute) &&
          expect(':') && number(60, second) && expect('.') && number(9, deci)))
        return false;
    const char fields[] = {char(year >> 8), char(year),   char(month),  char(day),
                           char(hour),      char(minute), char(second), char(deci)};
    content = QByteArray(fields, sizeof fields);
    if (at == shown.size())
        return true;
    quint64 hours = 0, minutes = 0;
    if (!expect(',') || at >= shown.size())
        return false;
    const char direction = shown[at++];
    if ((direction != '+' && direction != '-') || !number(13, hours) || !expect(':') ||
        !number(59, minutes) || at != shown.size())
        return false;
    content.append(direction).append(char(hours)).append(char(minutes));
    return true;
}

Status stringValue(QByteArrayView text, QByteArray &out)
{
    if (trimmed(text).startsWith('"'))
        return quotedValue(text, out);
    // Unquoted means a display hint wrote it. Addresses ("0:c:29:a:b:c") and dates give their
    // octets back; other renderings are kept as text, blanks at the end included.
    const QByteArrayView shown = text.startsWith(' ') ? text.sliced(1) : text;
    QByteArray content;
    bool octets = shown.contains(':');
    for (qsizetype start = 0; octets && start <= shown.size();) {
        qsizetype end = shown.indexOf(':', start);
        if (end < 0)
            end = shown.size();
        const QByteArrayView part = shown.sliced(start, end - start);
        octets = (part.size() == 1 || part.size() == 2) && hexDigit(part[0]) >= 0 &&
                 hexDigit(part.back()) >= 0;
        if (octets)
            content.append(char(part.size() == 1 ? hexDigit(part[0])
                                                 : hexDigit(part[0]) << 4 | hexDigit(part[1])));
        start = end + 1;
    }
    if (!octets) {
        content.clear();
        if (!dateAndTime(shown, content))
            content = shown.toByteArray();
    }
    if (content.size() > MaxValue)
        return bad("STRING", text);
    appendContentElement(out, ber::OctetString, content);
    return {};
}

Status timeTicksValue(QByteArrayView text, QByteArray &out)
{
    QByteArrayView word = firstWord(text);
    // "(12345) 0:02:03.45" carries the number in parentheses.
    if (word.startsWith('(') && word.endsWith(')'))
        word = word.sliced(1, word.size() - 2);
    quint64 value = 0;
    if (!parseUnsigned(word, 0xffffffffu, value))
        return bad("Timeticks", text);
    appendUnsignedElement(out, SnmpTag::TimeTicks, value);
    return {};
}

// Opaque wraps a float or double in its own tags, or shows raw bytes in hex.
Status opaqueValue(QByteArrayView text, QByteArray &out)
{
    text = trimmed(text);
    const bool isFloat = text.startsWith("Float:");
    const bool isDouble = text.startsWith("Double:");
    if (!isFloat && !isDouble)
        return hexValue("Opaque", SnmpTag::Opaque, text, out);
    const QByteArray number = firstWord(text.sliced(isFloat ? 6 : 7)).toByteArray();
    bool ok = false;
    const double value = number.toDouble(&ok);
    if (!ok)
        return bad("Opaque", text);
    QByteArray inner;
    inner.append(char(0x9f));
    if (isFloat) {
        inner.append(char(0x78)).append(char(4));
        const quint32 bits = std::bit_cast<quint32>(float(value));
        for (int shift = 24; shift >= 0; shift -= 8)
            inner.append(char(bits >> shift));
    } else {
        inner.append(char(0x79)).append(char(8));
        const quint64 bits = std::bit_cast<quint64>(value);
        for (int shift = 56; shift >= 0; shift -= 8)
            inner.append(char(bits >> shift));
    }
    appendContentElement(out, SnmpTag::Opaque, inner);
    return {};
}

} // namespace

qsizetype closingQuote(QByteArrayView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\\')
            ++i;
        else if (text[i] == '"')
            return i;
    }
    return -1;
}

bool isHexContinuation(QByteArrayView line)
{
    const QByteArrayView text = trimmed(line);
    if (text.isEmpty())
        return false;
    for (qsizetype i = 0; i < text.size(); i += 3) {
        if (i + 2 > text.size() || hexDigit(text[i]) < 0 || hexDigit(text[i + 1]) < 0)
            return false;
        if (i + 2 < text.size() && !isSpace(text[i + 2]))
            return false;
    }
    return true;
}

Status walkValue(QByteArrayView text, QByteArray &out)
{
    out.resize(0); // keeps the storage for the next line
    text = trimmed(text);
    if (text == "\"\"") {
        appendContentElement(out, ber::OctetString, {});
        return {};
    }
    if (text == "NULL") {
        appendContentElement(out, ber::Null, {});
        return {};
    }
    // A value of another type than the MIB expects keeps its own.
    if (text.startsWith("Wrong Type (should be ")) {
        const qsizetype end = text.indexOf("): ");
        if (end < 0)
            return bad("typed", text);
        text = text.sliced(end + 3);
    }
    // Timeticks as -Ot prints them: the number alone.
    if (quint64 ticks = 0; parseUnsigned(text, 0xffffffffu, ticks)) {
        appendUnsignedElement(out, SnmpTag::TimeTicks, ticks);
        return {};
    }
    const qsizetype colon = text.indexOf(':');
    if (colon <= 0)
        return failure(QStringLiteral("no type in \"%1\"")
                           .arg(QString::fromLatin1(text.first(qMin<qsizetype>(text.size(), 60)))));
    const QByteArrayView type = text.first(colon);
    const QByteArrayView value = text.sliced(colon + 1);
    if (type == "STRING")
        return stringValue(value, out);
    if (type == "Hex-STRING")
        return hexValue(type, ber::OctetString, value, out);
    if (type == "INTEGER")
        return integerValue(value, out);
    if (type == "Counter32")
        return unsignedValue(type, SnmpTag::Counter32, 0xffffffffu, value, out);
    if (type == "Gauge32")
        return unsignedValue(type, SnmpTag::Gauge32, 0xffffffffu, value, out);
    if (type == "Counter64")
        return unsignedValue(type, SnmpTag::Counter64, std::numeric_limits<quint64>::max(), value,
                             out);
    if (type == "Timeticks")
        return timeTicksValue(value, out);
    if (type == "OID")
        return oidValue(value, out);
    if (type == "IpAddress")
        return ipAddressValue(value, out);
    if (type == "Network Address")
        return hexValue(type, SnmpTag::IpAddress, value, out);
    if (type == "Opaque" || type == "OPAQUE")
        return opaqueValue(value, out);
    if (type == "BITS")
        return bitsValue(value, out);
    return failure(QStringLiteral("unknown type \"%1\"").arg(QString::fromLatin1(type)));
}

} // namespace recording
