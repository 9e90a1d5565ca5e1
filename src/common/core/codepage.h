#pragma once

#include <QByteArray>
#include <QString>

// Files are 8-bit text: one byte is one character, so any byte sequence survives a round trip.
inline QString fromCodePage(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes);
}
QByteArray toCodePage(const QString &text);
