#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QByteArrayView>

// What both recording formats read their values with.
namespace recording {

constexpr qsizetype MaxValue = 65000; // more never fits an answer

Failure bad(QByteArrayView what, QByteArrayView text);

bool isSpace(char c);

QByteArrayView trimmed(QByteArrayView text);

// The first blank-separated word: units and names that follow a number are not the value.
QByteArrayView firstWord(QByteArrayView text);

bool parseUnsigned(QByteArrayView digits, quint64 max, quint64 &value);

bool parseInteger32(QByteArrayView text, qint64 &value);

int hexDigit(char c);

// Hex digits in pairs; blanks, colons and line ends between pairs are ignored.
bool appendHex(QByteArrayView text, QByteArray &out);

void appendContentElement(QByteArray &out, quint8 tag, QByteArrayView content);

// Without a temporary array: a million lines would make a million of them.
void appendUnsignedElement(QByteArray &out, quint8 tag, quint64 value);

Status unsignedValue(QByteArrayView what, quint8 tag, quint64 max, QByteArrayView text,
                     QByteArray &out);

Status integerValue(QByteArrayView text, QByteArray &out);

Status ipAddressValue(QByteArrayView text, QByteArray &out);

Status hexValue(QByteArrayView what, quint8 tag, QByteArrayView text, QByteArray &out);

Status oidValue(QByteArrayView text, QByteArray &out);

} // namespace recording
