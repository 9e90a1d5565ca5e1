#include "oidorder.h"

#include <QtEndian>

#include <bit>
#include <cstring>

namespace {

// Where the two first differ, within their common length; searched eight bytes at a time.
qsizetype firstDifference(QByteArrayView a, QByteArrayView b, qsizetype common)
{
    qsizetype i = 0;
    for (; i + 8 <= common; i += 8) {
        quint64 x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y)
            return i + std::countr_zero(qToLittleEndian(x) ^ qToLittleEndian(y)) / 8;
    }
    while (i < common && a[i] == b[i])
        ++i;
    return i;
}

// Bytes of the arc that starts at `at`: up to and including the first without the high bit.
qsizetype arcLength(QByteArrayView content, qsizetype at)
{
    qsizetype end = at;
    while (end < content.size() && (quint8(content[end]) & 0x80))
        ++end;
    return end - at + (end < content.size() ? 1 : 0);
}

} // namespace

int compareOidContents(QByteArrayView a, QByteArrayView b)
{
    const qsizetype common = qMin(a.size(), b.size());
    const qsizetype i = firstDifference(a, b, common);
    if (i < common) {
        // Equal bytes so far end arcs at the same places, so only the arcs from here differ.
        const qsizetype start = [&] {
            qsizetype s = i;
            while (s > 0 && (quint8(a[s - 1]) & 0x80))
                --s;
            return s;
        }();
        const qsizetype lengthA = arcLength(a, start);
        const qsizetype lengthB = arcLength(b, start);
        if (lengthA != lengthB)
            return lengthA < lengthB ? -1 : 1;
        return quint8(a[i]) < quint8(b[i]) ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}
