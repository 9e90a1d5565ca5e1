#include "bercodec.h"

#include <QList>
#include <QVarLengthArray>

#include <charconv>
#include <limits>

namespace ber {

namespace {

Failure malformed(const QString &why)
{
    return failure(QStringLiteral("Malformed SNMP message: ") + why);
}

} // namespace

Result<Element> Reader::read()
{
    const qsizetype left = m_data.size() - m_pos;
    if (left < 2)
        return malformed(QStringLiteral("element truncated"));
    const auto *bytes = reinterpret_cast<const quint8 *>(m_data.data()) + m_pos;
    const quint8 tag = bytes[0];
    if ((tag & 0x1f) == 0x1f)
        return malformed(QStringLiteral("multi-byte tag"));
    qsizetype header = 2;
    quint64 length = bytes[1];
    if (length & 0x80) {
        const int count = int(length & 0x7f);
        if (count == 0)
            return malformed(QStringLiteral("indefinite length"));
        if (count > 4)
            return malformed(QStringLiteral("length field too long"));
        if (left < 2 + count)
            return malformed(QStringLiteral("length truncated"));
        length = 0;
        for (int i = 0; i < count; ++i)
            length = (length << 8) | bytes[2 + i];
        header += count;
    }
    if (length > quint64(left - header))
        return malformed(QStringLiteral("length beyond the end of the data"));
    Element element{tag, m_data.sliced(m_pos + header, qsizetype(length)),
                    m_data.sliced(m_pos, header + qsizetype(length))};
    m_pos += header + qsizetype(length);
    return element;
}

Result<Element> Reader::read(quint8 expectedTag, const char *what)
{
    const qsizetype start = m_pos;
    Result<Element> result = read();
    if (!result)
        return result;
    if (result.value().tag != expectedTag) {
        m_pos = start;
        return malformed(QStringLiteral("unexpected tag 0x%1 for the %2")
                             .arg(result.value().tag, 2, 16, QLatin1Char('0'))
                             .arg(QLatin1String(what)));
    }
    return result;
}

Result<Element> readWhole(QByteArrayView data, quint8 expectedTag, const char *what)
{
    Reader reader(data);
    Result<Element> element = reader.read(expectedTag, what);
    if (element && !reader.atEnd())
        return malformed(QStringLiteral("data after the %1").arg(QLatin1String(what)));
    return element;
}

Result<qint64> decodeInteger(QByteArrayView content)
{
    if (content.isEmpty() || content.size() > 8)
        return malformed(QStringLiteral("integer of %1 bytes").arg(content.size()));
    const auto *bytes = reinterpret_cast<const quint8 *>(content.data());
    quint64 value = (bytes[0] & 0x80) ? ~quint64(0) : 0;
    for (qsizetype i = 0; i < content.size(); ++i)
        value = (value << 8) | bytes[i];
    return qint64(value);
}

Result<quint64> decodeUnsigned(QByteArrayView content)
{
    const auto *bytes = reinterpret_cast<const quint8 *>(content.data());
    if (content.size() == 9 && bytes[0] == 0)
        content = content.sliced(1);
    else if (!content.isEmpty() && (bytes[0] & 0x80))
        return malformed(QStringLiteral("negative unsigned value"));
    if (content.isEmpty() || content.size() > 8)
        return malformed(QStringLiteral("unsigned value of %1 bytes").arg(content.size()));
    bytes = reinterpret_cast<const quint8 *>(content.data());
    quint64 value = 0;
    for (qsizetype i = 0; i < content.size(); ++i)
        value = (value << 8) | bytes[i];
    return value;
}

namespace {

// Calls onArc(value) for each arc of the identifier's content, the first two split as the
// dotted form writes them; fails as decodeOid does, or past `maxArc` and `maxArcs`.
template <typename OnArc>
Status walkOid(QByteArrayView content, OnArc onArc, quint64 maxArc = ~quint64(0),
               qsizetype maxArcs = std::numeric_limits<qsizetype>::max())
{
    if (content.isEmpty())
        return malformed(QStringLiteral("empty object identifier"));
    const auto *bytes = reinterpret_cast<const quint8 *>(content.data());
    quint64 arc = 0;
    qsizetype arcs = 1; // the first sub-identifier holds two
    bool first = true;
    bool atStart = true;
    for (qsizetype i = 0; i < content.size(); ++i) {
        if (atStart && bytes[i] == 0x80)
            return malformed(QStringLiteral("padded identifier arc"));
        if (arc > (maxArc >> 7))
            return malformed(QStringLiteral("identifier arc too large"));
        arc = (arc << 7) | (bytes[i] & 0x7f);
        atStart = false;
        if (bytes[i] & 0x80)
            continue;
        if (arc > maxArc)
            return malformed(QStringLiteral("identifier arc too large"));
        if (++arcs > maxArcs)
            return malformed(QStringLiteral("identifier with too many arcs"));
        if (first) {
            const quint64 top = arc < 40 ? 0 : arc < 80 ? 1 : 2;
            onArc(top);
            onArc(arc - top * 40);
            first = false;
        } else {
            onArc(arc);
        }
        arc = 0;
        atStart = true;
    }
    if (!atStart)
        return malformed(QStringLiteral("identifier ends inside an arc"));
    return {};
}

} // namespace

Result<QString> decodeOid(QByteArrayView content)
{
    // Digits go to a byte buffer first: one allocation for the text instead of one per arc.
    QVarLengthArray<char, 256> text;
    const Status walked = walkOid(content, [&text](quint64 arc) {
        char digits[24];
        digits[0] = '.';
        const auto end = std::to_chars(digits + 1, digits + sizeof digits, arc).ptr;
        const qsizetype skip = text.isEmpty() ? 1 : 0;
        text.append(digits + skip, end - digits - skip);
    });
    if (!walked)
        return walked.failure();
    return QString::fromLatin1(text.constData(), text.size());
}

Status checkObjectName(QByteArrayView content)
{
    // An object's name has at most 128 sub-identifiers of 32 bits each; the first sub-identifier
    // as encoded, which holds two arcs, is no exception.
    return walkOid(
        content, [](quint64) {}, 0xffffffff, 128);
}

QByteArrayView contentOf(QByteArrayView element)
{
    if (element.size() < 2)
        return {};
    const auto *bytes = reinterpret_cast<const quint8 *>(element.data());
    const qsizetype header = 2 + ((bytes[1] & 0x80) ? (bytes[1] & 0x7f) : 0);
    return header <= element.size() ? element.sliced(header) : QByteArrayView();
}

int integerSize(qint64 value)
{
    int bytes = 8;
    // Drop leading bytes that only repeat the sign.
    while (bytes > 1) {
        const qint64 top = value >> ((bytes - 1) * 8 - 1);
        if (top != 0 && top != -1)
            break;
        --bytes;
    }
    return bytes;
}

namespace {

char *writeIntegerContent(char *out, qint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        *out++ = char(quint8(quint64(value) >> ((bytes - 1 - i) * 8)));
    return out;
}

} // namespace

QByteArray encodeInteger(qint64 value)
{
    char out[8];
    return QByteArray(out, writeIntegerContent(out, value, integerSize(value)) - out);
}

char *writeInteger(char *out, qint64 value)
{
    const int bytes = integerSize(value);
    *out++ = char(Integer);
    *out++ = char(bytes);
    return writeIntegerContent(out, value, bytes);
}

namespace {

// Writes the content of encodeUnsigned(value) to `out`, which holds nine bytes; returns its size.
int writeUnsigned(char *out, quint64 value)
{
    int bytes = 1;
    while (bytes < 8 && (value >> (bytes * 8)) != 0)
        ++bytes;
    int length = 0;
    if ((value >> ((bytes - 1) * 8)) & 0x80)
        out[length++] = '\0'; // keeps the value positive
    for (int i = bytes - 1; i >= 0; --i)
        out[length++] = char(quint8(value >> (i * 8)));
    return length;
}

} // namespace

QByteArray encodeUnsigned(quint64 value)
{
    char out[9];
    return QByteArray(out, writeUnsigned(out, value));
}

char *writeUnsignedElement(char *out, quint8 tag, quint64 value)
{
    out[0] = char(tag);
    const int length = writeUnsigned(out + 2, value);
    out[1] = char(length);
    return out + 2 + length;
}

QByteArray unsignedElement(quint8 tag, quint64 value)
{
    char out[UnsignedElementSize];
    return QByteArray(out, writeUnsignedElement(out, tag, value) - out);
}

namespace {

void appendArc(QByteArray &out, quint64 arc)
{
    char groups[10];
    int count = 0;
    do {
        groups[count++] = char(arc & 0x7f);
        arc >>= 7;
    } while (arc != 0);
    char bytes[10];
    for (int i = 0; i < count; ++i)
        bytes[i] = char(groups[count - 1 - i] | (i < count - 1 ? 0x80 : 0));
    out.append(QByteArrayView(bytes, count));
}

} // namespace

bool appendOid(QByteArrayView dotted, QByteArray &out)
{
    const qsizetype kept = out.size();
    quint64 first = 0;
    int arcs = 0;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= dotted.size(); ++i) {
        if (i < dotted.size() && dotted[i] != '.')
            continue;
        const QByteArrayView digits = dotted.sliced(start, i - start);
        start = i + 1;
        quint64 arc = 0;
        bool ok = !digits.isEmpty() && digits.size() <= 20;
        for (char c : digits) {
            const quint64 digit = quint64(c - '0');
            ok = ok && c >= '0' && c <= '9' && arc <= (~quint64(0) - digit) / 10;
            arc = arc * 10 + digit;
        }
        if (ok && arcs == 0) {
            ok = arc <= 2;
            first = arc;
            ++arcs;
            if (ok)
                continue;
        }
        if (ok && arcs == 1) {
            ok = (first == 2 || arc <= 39) && arc <= ~quint64(0) - 80;
            arc += first * 40;
        }
        if (!ok) {
            out.truncate(kept);
            return false;
        }
        appendArc(out, arc);
        ++arcs;
    }
    if (arcs >= 2)
        return true;
    out.truncate(kept);
    return false;
}

Result<QByteArray> encodeOid(const QString &dotted)
{
    QByteArray out;
    out.reserve(dotted.size());
    if (!appendOid(dotted.toLatin1(), out))
        return failure(QStringLiteral("\"%1\" is not an object identifier").arg(dotted));
    return out;
}

int headerSize(qsizetype contentLength)
{
    if (contentLength < 0x80)
        return 2;
    int count = 1;
    while (count < 4 && (quint64(contentLength) >> (count * 8)) != 0)
        ++count;
    return 2 + count;
}

char *writeHeader(char *out, quint8 tag, qsizetype contentLength)
{
    out[0] = char(tag);
    out[1] = char(contentLength);
    const int size = headerSize(contentLength);
    if (size > 2) {
        const int count = size - 2;
        out[1] = char(0x80 | count);
        for (int i = 0; i < count; ++i)
            out[2 + i] = char(quint8(quint64(contentLength) >> ((count - 1 - i) * 8)));
    }
    return out + size;
}

void appendHeader(QByteArray &out, quint8 tag, qsizetype contentLength)
{
    char header[6];
    out.append(QByteArrayView(header, writeHeader(header, tag, contentLength) - header));
}

void appendElement(QByteArray &out, quint8 tag, QByteArrayView content)
{
    appendHeader(out, tag, content.size());
    out.append(content);
}

QByteArray element(quint8 tag, QByteArrayView content)
{
    QByteArray out;
    out.reserve(headerSize(content.size()) + content.size());
    appendElement(out, tag, content);
    return out;
}

} // namespace ber
