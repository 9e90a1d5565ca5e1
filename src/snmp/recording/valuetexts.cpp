#include "valuetexts.h"

#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmptypes.h"
#include "snmp/recording/recordingvalues.h"

#include <limits>

namespace recording {

// More than any name has: 128 arcs of five bytes at most.
constexpr qsizetype MaxOidContent = 1000;

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

Status oidValue(QByteArrayView text, QByteArray &out)
{
    QByteArray content;
    if (!oidContent(firstWord(text), content))
        return bad("OID", text);
    appendContentElement(out, ber::ObjectIdentifier, content);
    return {};
}

Status oidContent(QByteArrayView dotted, QByteArray &out)
{
    out.resize(0); // keeps the storage for the next line
    if (dotted.startsWith('.'))
        dotted = dotted.sliced(1);
    if (!ber::appendOid(dotted, out) || out.size() > MaxOidContent)
        return bad("identifier", dotted);
    return {};
}

} // namespace recording
