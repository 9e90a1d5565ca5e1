#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

// Basic Encoding Rules as SNMP uses them: one-byte tags, definite lengths of at most four bytes.
namespace ber {

enum Tag : quint8 {
    Integer = 0x02,
    OctetString = 0x04,
    Null = 0x05,
    ObjectIdentifier = 0x06,
    Sequence = 0x30,
};

// One element: its tag and a view of its content inside the buffer being read.
struct Element
{
    quint8 tag = 0;
    QByteArrayView content;
    QByteArrayView encoded; // tag, length and content as they stand in the buffer
};

// Reads elements one after the other from a buffer it never reads past. Every length is checked
// against what is left before anything is taken; no recursion, so nesting costs the caller
// one reader per level it chooses to enter.
class Reader
{
public:
    explicit Reader(QByteArrayView data) : m_data(data) {}

    bool atEnd() const { return m_pos >= m_data.size(); }
    // Reads the next element; on failure the reader stays where it was.
    Result<Element> read();
    // Reads the next element and fails unless it carries the tag.
    Result<Element> read(quint8 expectedTag, const char *what);

private:
    QByteArrayView m_data;
    qsizetype m_pos = 0;
};

// Reads the one element `data` holds, which must carry the tag: bytes after it are an error.
Result<Element> readWhole(QByteArrayView data, quint8 expectedTag, const char *what);

// Two's complement content of 1 to 8 bytes.
Result<qint64> decodeInteger(QByteArrayView content);
// Non-negative content of up to 8 value bytes plus one leading zero byte.
Result<quint64> decodeUnsigned(QByteArrayView content);
// Dotted text of the identifier; arcs up to 64 bits.
Result<QString> decodeOid(QByteArrayView content);
// Fails where decodeOid would, and for what no object can be named by: more than 128 arcs, or
// an arc (the first two together, as encoded) beyond 32 bits. Makes no text.
Status checkObjectName(QByteArrayView content);
// The content of a whole element this codec read or wrote.
QByteArrayView contentOf(QByteArrayView element);

QByteArray encodeInteger(qint64 value);
QByteArray encodeUnsigned(quint64 value);
// Appends the content of a dotted identifier: two or more decimal arcs of up to 64 bits, the
// first 0, 1 or 2 and the second below 40 under the first two. False, with `out` as it was, for
// anything else. The one parser of dotted identifiers.
bool appendOid(QByteArrayView dotted, QByteArray &out);
// The same as a new content, or why the text is none.
Result<QByteArray> encodeOid(const QString &dotted);

int headerSize(qsizetype contentLength);
void appendHeader(QByteArray &out, quint8 tag, qsizetype contentLength);
void appendElement(QByteArray &out, quint8 tag, QByteArrayView content);
QByteArray element(quint8 tag, QByteArrayView content);
// Writers into a buffer the caller sized with headerSize and integerSize: each returns the
// position after what it wrote.
char *writeHeader(char *out, quint8 tag, qsizetype contentLength);
// A whole Integer element of the value.
char *writeInteger(char *out, qint64 value);
// Content bytes of encodeInteger(value).
int integerSize(qint64 value);

// element(tag, encodeUnsigned(value)) in one allocation.
QByteArray unsignedElement(quint8 tag, quint64 value);
// The same into a buffer of UnsignedElementSize bytes; returns the position after it.
constexpr int UnsignedElementSize = 11;
char *writeUnsignedElement(char *out, quint8 tag, quint64 value);

} // namespace ber
