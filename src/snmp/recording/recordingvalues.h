#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QByteArrayView>

// Turns the texts of a recording into encodings. Each writes into `out` (cleared first) and
// fails with what is wrong, without the line: the reader adds where.
namespace recording {

// Content of a dotted identifier; a leading dot is allowed.
Status oidContent(QByteArrayView dotted, QByteArray &out);
// Value element of a numeric walk's "TYPE: value" text, or of its bare forms ("" and NULL).
Status walkValue(QByteArrayView text, QByteArray &out);
// Value element of an OID|TAG|VALUE line's tag ("4", "4x", ...) and value.
Status pipeValue(QByteArrayView tag, QByteArrayView value, QByteArray &out);

// Where the closing quote of a quoted walk string is (`text` starts after the opening one);
// -1 while the string goes on past this text.
qsizetype closingQuote(QByteArrayView text);
// Whether a line holds nothing but hex byte pairs: the continuation of a Hex-STRING.
bool isHexContinuation(QByteArrayView line);

} // namespace recording
