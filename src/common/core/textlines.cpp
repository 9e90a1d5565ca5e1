#include "textlines.h"

#include <QBuffer>
#include <QFile>
#include <QIODevice>

#include <cstring>

LineReader::LineReader(QIODevice &device, qsizetype chunkSize)
    : m_device(device), m_chunkSize(chunkSize > 1 ? chunkSize : 2)
{
}

QString LineReader::errorString() const
{
    return m_device.errorString();
}

bool LineReader::fill()
{
    if (m_atEnd)
        return false;
    if (m_pos > 0) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    const qsizetype oldSize = m_buffer.size();
    m_buffer.resize(oldSize + m_chunkSize);
    const qint64 got = m_device.read(m_buffer.data() + oldSize, m_chunkSize);
    if (got < 0) {
        m_failed = true;
        m_atEnd = true;
        m_buffer.resize(oldSize);
        return false;
    }
    m_buffer.resize(oldSize + got);
    if (got == 0)
        m_atEnd = true;
    return got > 0;
}

bool LineReader::readLine(QByteArray &line)
{
    QByteArrayView view;
    if (!readLine(view))
        return false;
    // Reuses the line's own storage when nobody else holds it: no allocation per line.
    line.resize(view.size());
    if (!view.isEmpty())
        std::memcpy(line.data(), view.data(), size_t(view.size()));
    return true;
}

bool LineReader::readLine(QByteArrayView &line)
{
    for (;;) {
        const char *data = m_buffer.constData();
        const qsizetype size = m_buffer.size();
        const qsizetype from = m_pos + m_scanned;
        const void *hit = from < size ? std::memchr(data + from, '\r', size - from) : nullptr;
        if (hit) {
            qsizetype cr = static_cast<const char *>(hit) - data;
            if (cr + 1 == size) {
                m_scanned = cr - m_pos;
                if (fill())
                    continue;           // the byte after the CR decides whether it is CR LF
                cr = m_pos + m_scanned; // fill() may have moved the unread bytes to the front
            }
            line = QByteArrayView(m_buffer.constData() + m_pos, cr - m_pos);
            const qsizetype next = cr + 1;
            m_pos = (next < m_buffer.size() && m_buffer.at(next) == '\n') ? next + 1 : next;
            m_scanned = 0;
            return true;
        }
        m_scanned = size - m_pos;
        if (fill())
            continue;
        if (m_failed || m_pos >= m_buffer.size())
            return false;
        line = QByteArrayView(m_buffer.constData() + m_pos, m_buffer.size() - m_pos);
        m_pos = m_buffer.size();
        m_scanned = 0;
        return true;
    }
}

QList<QByteArray> splitLines(const QByteArray &text)
{
    QByteArray copy = text;
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    LineReader reader(buffer);
    QList<QByteArray> lines;
    QByteArray line;
    while (reader.readLine(line))
        lines.append(line);
    return lines;
}

Result<QList<QByteArray>> readLinesFromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(file.errorString());
    LineReader reader(file);
    QList<QByteArray> lines;
    QByteArray line;
    while (reader.readLine(line))
        lines.append(line);
    if (reader.failed())
        return failure(reader.errorString());
    return lines;
}

bool writeLine(QIODevice &device, const QByteArray &line)
{
    return device.write(line) == line.size() && device.write("\r\n", 2) == 2;
}
