#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

class QIODevice;

// Reads 8-bit text line by line: CR LF or a lone CR ends a line, a lone LF stays inside the line,
// and a last line without terminator is still a line. An empty input has no lines.
class LineReader
{
public:
    explicit LineReader(QIODevice &device, qsizetype chunkSize = 1 << 16);

    // False at the end of the input or after a read error (see failed()).
    bool readLine(QByteArray &line);
    // The same without a copy: the view stays valid until the next call.
    bool readLine(QByteArrayView &line);
    bool failed() const { return m_failed; }
    QString errorString() const;

private:
    bool fill();

    QIODevice &m_device;
    qsizetype m_chunkSize;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_scanned = 0; // bytes from m_pos already known to hold no CR
    bool m_atEnd = false;
    bool m_failed = false;
};

QList<QByteArray> splitLines(const QByteArray &text);
Result<QList<QByteArray>> readLinesFromFile(const QString &path);

// Writes the line followed by CR LF.
bool writeLine(QIODevice &device, const QByteArray &line);
