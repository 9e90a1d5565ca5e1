#include "recordingvalues.h"

#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmptypes.h"

#include <QString>

#include <bit>
#include <limits>

namespace recording {
namespace {

constexpr qsizetype MaxValue = 65000; // more never fits an answer

Failure bad(QByteArrayView what, QByteArrayView text)
{
    QString shown = QString::fromLatin1(text.first(qMin<qsizetype>(text.size(), 60)));
    if (text.size() > 60)
        shown += QStringLiteral("...");
    return failure(QStringLiteral("bad %1 value \"%2\"").arg(QLatin1String(what), shown));
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && isSpace(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && (isSpace(text.back()) || text.back() == '\r' || text.back() == '\n'))
        text.chop(1);
    return text;
}

// The first blank-separated word: units and names that follow a number are not the value.
QByteArrayView firstWord(QByteArrayView text)
{
    text = trimmed(text);
    qsizetype end = 0;
    while (end < text.size() && !isSpace(text[end]))
        ++end;
    return text.first(end);
}

bool parseUnsigned(QByteArrayView digits, quint64 max, quint64 &value)
{
    if (digits.isEmpty() || digits.size() > 20)
        return false;
    value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return false;
        const quint64 digit = quint64(c - '0');
        if (value > (max - digit) / 10)
            return false;
        value = value * 10 + digit;
    }
    return true;
}

bool parseInteger32(QByteArrayView text, qint64 &value)
{
    const bool negative = text.startsWith('-');
    quint64 magnitude = 0;
    if (!parseUnsigned(negative ? text.sliced(1) : text, negative ? 2147483648u : 2147483647u,
                       magnitude))
        return false;
    value = negative ? -qint64(magnitude) : qint64(magnitude);
    return true;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Hex digits in pairs; blanks, colons and line ends between pairs are ignored.
bool appendHex(QByteArrayView text, QByteArray &out)
{
    int high = -1;
    for (char c : text) {
        if (isSpace(c) || c == ':' || c == '\r' || c == '\n') {
            if (high >= 0)
                return false;
            continue;
        }
        const int digit = hexDigit(c);
        if (digit < 0)
            return false;
        if (high < 0) {
            high = digit;
        } else {
            out.append(char(high << 4 | digit));
            high = -1;
        }
    }
    return high < 0;
}

void appendContentElement(QByteArray &out, quint8 tag, QByteArrayView content)
{
    ber::appendElement(out, tag, content);
}

// Without a temporary array: a million lines would make a million of them.
void appendUnsignedElement(QByteArray &out, quint8 tag, quint64 value)
{
    char bytes[11] = {char(tag)};
    int length = 1;
    while (length < 8 && (value >> (8 * length)) != 0)
        ++length;
    // A set top bit needs a leading zero to stay non-negative.
    const bool pad = (value >> (8 * length - 1)) & 1;
    bytes[1] = char(length + (pad ? 1 : 0));
    char *at = bytes + 2;
    if (pad)
        *at++ = 0;
    for (int i = length - 1; i >= 0; --i)
        *at++ = char(value >> (8 * i));
    out.append(QByteArrayView(bytes, at - bytes));
}

Status unsignedValue(QByteArrayView what, quint8 tag, quint64 max, QByteArrayView text,
                     QByteArray &out)
{
    quint64 value = 0;
    if (!parseUnsigned(firstWord(text), max, value))
        return bad(what, text);
    appendUnsignedElement(out, tag, value);
    return {};
}

Status integerValue(QByteArrayView text, QByteArray &out)
{
    QByteArrayView word = firstWord(text);
    // An enumeration shows as name(number).
    if (word.endsWith(')')) {
        const qsizetype open = word.lastIndexOf('(');
        if (open > 0)
            word = word.sliced(open + 1, word.size() - open - 2);
    }
    qint64 value = 0;
    if (!parseInteger32(word, value))
        return bad("INTEGER", text);
    char element[12];
    out.append(QByteArrayView(element, ber::writeInteger(element, value) - element));
    return {};
}

Status ipAddressValue(QByteArrayView text, QByteArray &out)
{
    const QByteArrayView address = firstWord(text);
    char bytes[4];
    int count = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= address.size(); ++i) {
        if (i < address.size() && address[i] != '.')
            continue;
        quint64 part = 0;
        if (count == 4 || !parseUnsigned(address.sliced(start, i - start), 255, part))
            return bad("IpAddress", text);
        bytes[count++] = char(part);
        start = i + 1;
    }
    if (count != 4)
        return bad("IpAddress", text);
    appendContentElement(out, SnmpTag::IpAddress, QByteArrayView(bytes, 4));
    return {};
}

Status hexValue(QByteArrayView what, quint8 tag, QByteArrayView text, QByteArray &out)
{
    QByteArray content;
    if (!appendHex(trimmed(text), content) || content.size() > MaxValue ||
        (tag == SnmpTag::IpAddress && content.size() != 4))
        return bad(what, text);
    appendContentElement(out, tag, content);
    return {};
}

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

Status oidValue(QByteArrayView text, QByteArray &out)
{
    QByteArray content;
    if (!oidContent(firstWord(text), content))
        return bad("OID", text);
    appendContentElement(out, ber::ObjectIdentifier, content);
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

Status oidContent(QByteArrayView dotted, QByteArray &out)
{
    out.resize(0); // keeps the storage for the next line
    if (dotted.startsWith('.'))
        dotted = dotted.sliced(1);
    quint64 first = 0;
    int arcs = 0;
    qsizetype start = 0;
    char content[1000];
    qsizetype size = 0;
    for (qsizetype i = 0; i <= dotted.size(); ++i) {
        if (i < dotted.size() && dotted[i] != '.')
            continue;
        quint64 arc = 0;
        if (!parseUnsigned(dotted.sliced(start, i - start), std::numeric_limits<quint64>::max(),
                           arc))
            return bad("identifier", dotted);
        start = i + 1;
        if (arcs == 0) {
            if (arc > 2)
                return bad("identifier", dotted);
            first = arc;
            ++arcs;
            continue;
        }
        if (arcs == 1) {
            if ((first < 2 && arc > 39) || arc > std::numeric_limits<quint64>::max() - 80)
                return bad("identifier", dotted);
            arc += first * 40;
        }
        char bytes[10];
        int count = 0;
        for (quint64 rest = arc;; rest >>= 7) {
            bytes[count++] = char(rest & 0x7f);
            if (rest < 0x80)
                break;
        }
        if (size + count > qsizetype(sizeof content))
            return bad("identifier", dotted);
        for (int b = count - 1; b >= 0; --b)
            content[size++] = char(bytes[b] | (b > 0 ? 0x80 : 0));
        ++arcs;
    }
    if (arcs < 2)
        return bad("identifier", dotted);
    out.append(QByteArrayView(content, size));
    return {};
}

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
        return unsignedValue(type, SnmpTag::Counter64, std::numeric_limits<quint64>::max(), value, out);
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
