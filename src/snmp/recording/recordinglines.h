#pragma once

#include <QByteArray>
#include <QByteArrayView>

class QIODevice;

// Lines of a recording read in chunks, so a file of any size costs one buffer. LF, CR LF and a
// lone CR all end a line: recordings come from tools on every platform.
class RecordingLines
{
public:
    enum Outcome { Line, End, TooLong, ReadError };
    static constexpr qsizetype MaxLine = 1 << 20;

    explicit RecordingLines(QIODevice &device);

    // The next line and its terminator (empty on the last line without one), valid until the
    // next call. TooLong skips nothing: the reading ends there.
    Outcome next();
    // Makes next() hand out the same line again.
    void putBack() { m_repeat = true; }

    QByteArrayView line() const { return m_line; }
    QByteArrayView terminator() const { return m_terminator; }
    qint64 lineNumber() const { return m_number; }
    qint64 bytesRead() const { return m_consumed; }

private:
    bool fill();

    QIODevice &m_device;
    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_eof = false;
    bool m_repeat = false;
    QByteArrayView m_line;
    QByteArrayView m_terminator;
    qint64 m_number = 0;
    qint64 m_consumed = 0;
};
