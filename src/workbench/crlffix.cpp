#include "crlffix.h"

#include "common/core/filereplace.h"

#include <QFile>
#include <QSaveFile>

#include <cstring>

namespace {

constexpr qint64 ChunkSize = 1 << 20;

const char *findOrEnd(const char *from, const char *end, char wanted)
{
    const void *hit = std::memchr(from, wanted, size_t(end - from));
    return hit ? static_cast<const char *>(hit) : end;
}

bool writeAll(QSaveFile &file, const QByteArray &bytes)
{
    return bytes.isEmpty() || file.write(bytes) == bytes.size();
}

} // namespace

void CrLfConverter::convert(QByteArrayView chunk, QByteArray &out)
{
    const char *p = chunk.data();
    const char *const end = p + chunk.size();
    if (p == end)
        return;
    if (m_afterCr && *p == '\n')
        ++p; // the CR before it already wrote the whole line end
    m_afterCr = false;

    const qsizetype oldSize = out.size();
    out.resize(oldSize + 2 * (end - p)); // every byte at most doubles
    char *o = out.data() + oldSize;

    // The next CR and the next LF are each searched once and remembered until passed.
    const char *cr = findOrEnd(p, end, '\r');
    const char *lf = findOrEnd(p, end, '\n');
    for (;;) {
        const char *stop = cr < lf ? cr : lf;
        if (stop > p) {
            std::memcpy(o, p, size_t(stop - p));
            o += stop - p;
            m_lineOpen = true;
        }
        if (stop == end)
            break;
        *o++ = '\r';
        *o++ = '\n';
        if (*stop == '\r') {
            p = stop + 1;
            if (p == end)
                m_afterCr = true;
            else if (*p == '\n')
                ++p;
            m_lineOpen = false;
        } else {
            p = stop + 1; // a lone LF stays inside its line
            m_lineOpen = true;
        }
        if (cr < p)
            cr = findOrEnd(p, end, '\r');
        if (lf < p)
            lf = findOrEnd(p, end, '\n');
    }
    out.resize(o - out.constData());
}

void CrLfConverter::finish(QByteArray &out)
{
    if (m_lineOpen)
        out.append("\r\n", 2);
    m_lineOpen = false;
    m_afterCr = false;
}

QByteArray fixCrLf(QByteArrayView text)
{
    CrLfConverter converter;
    QByteArray out;
    converter.convert(text, out);
    converter.finish(out);
    return out;
}

FixCrLfOutcome fixCrLfFile(const QString &path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return FixCrLfOutcome::Failed;
    QSaveFile out(path);
    if (!openReplacement(out))
        return FixCrLfOutcome::Failed;

    CrLfConverter converter;
    QByteArray chunk(ChunkSize, Qt::Uninitialized);
    QByteArray converted;
    for (;;) {
        const qint64 got = in.read(chunk.data(), ChunkSize);
        if (got < 0)
            return FixCrLfOutcome::Failed;
        if (got == 0)
            break;
        if (std::memchr(chunk.constData(), '\0', size_t(got)))
            return FixCrLfOutcome::NotText;
        converted.resize(0); // keeps the buffer
        converter.convert(QByteArrayView(chunk.constData(), got), converted);
        if (!writeAll(out, converted))
            return FixCrLfOutcome::Failed;
    }
    converted.resize(0);
    converter.finish(converted);
    if (!writeAll(out, converted))
        return FixCrLfOutcome::Failed;
    return out.commit() ? FixCrLfOutcome::Fixed : FixCrLfOutcome::Failed;
}
