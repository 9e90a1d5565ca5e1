#include "codepage.h"

QByteArray toCodePage(const QString &text)
{
    // Characters beyond one byte cannot be represented; they become '?' like any 8-bit writer does.
    QByteArray bytes;
    bytes.resize(text.size());
    char *out = bytes.data();
    for (QChar ch : text)
        *out++ = ch.unicode() < 0x100 ? char(ch.unicode()) : '?';
    return bytes;
}
