#include "recordinglines.h"

#include <QIODevice>

namespace {
constexpr qsizetype ChunkSize = 1 << 18;
}

RecordingLines::RecordingLines(QIODevice &device) : m_device(device) {}

bool RecordingLines::fill()
{
    // Keeps the unread rest and appends a chunk after it.
    m_buffer.remove(0, m_pos);
    m_pos = 0;
    const qsizetype kept = m_buffer.size();
    m_buffer.resize(kept + ChunkSize);
    const qint64 got = m_device.read(m_buffer.data() + kept, ChunkSize);
    m_buffer.resize(kept + qMax<qint64>(got, 0));
    if (got <= 0)
        m_eof = true;
    return got >= 0;
}

RecordingLines::Outcome RecordingLines::next()
{
    if (m_repeat) {
        m_repeat = false;
        return Line;
    }
    qsizetype scanned = m_pos;
    for (;;) {
        const char *data = m_buffer.constData();
        qsizetype end = scanned;
        while (end < m_buffer.size() && data[end] != '\n' && data[end] != '\r')
            ++end;
        const bool found = end < m_buffer.size();
        // A CR at the very end of what is read may be the first half of CR LF.
        const bool complete = found && (data[end] == '\n' || end + 1 < m_buffer.size() || m_eof);
        if (complete || (m_eof && m_pos < m_buffer.size())) {
            if (end - m_pos > MaxLine)
                return TooLong;
            qsizetype after = end;
            if (found)
                after +=
                    data[end] == '\r' && end + 1 < m_buffer.size() && data[end + 1] == '\n' ? 2 : 1;
            m_line = QByteArrayView(data + m_pos, end - m_pos);
            m_terminator = QByteArrayView(data + end, after - end);
            m_consumed += after - m_pos;
            m_pos = after;
            ++m_number;
            return Line;
        }
        if (m_eof)
            return End;
        if (end - m_pos > MaxLine)
            return TooLong;
        scanned = end - m_pos; // a CR at the end is looked at again once more is read
        if (!fill())
            return ReadError;
        scanned += m_pos;
    }
}
