#include "recordingreader.h"

#include "snmp/codec/bercodec.h"
#include "snmp/recording/recordinglines.h"
#include "snmp/recording/recordingvalues.h"

#include <QFile>
#include <QFileInfo>

namespace {

constexpr qsizetype MaxGathered = 200000; // a multi-line value past this is no SNMP value

bool isNumericStart(QByteArrayView name)
{
    return !name.isEmpty() && (name[0] == '.' || (name[0] >= '0' && name[0] <= '9'));
}

bool startsWithAny(QByteArrayView text, std::initializer_list<const char *> prefixes)
{
    for (const char *prefix : prefixes)
        if (text.startsWith(prefix))
            return true;
    return false;
}

class Reader
{
public:
    Reader(QFile &file, const RecordingProgress &progress)
        : m_file(file), m_name(QFileInfo(file.fileName()).fileName()), m_lines(file),
          m_progress(progress)
    {
    }

    Result<RecordedTree> read();

private:
    enum class Format { Unknown, Walk, Pipe };

    Failure atLine(qint64 line, const QString &what) const
    {
        return failure(QStringLiteral("%1, line %2: %3").arg(m_name).arg(line).arg(what));
    }
    Failure symbolic(qint64 line, QByteArrayView name) const
    {
        return atLine(line, QStringLiteral("symbolic identifier \"%1\"; record the walk with "
                                           "numeric identifiers (snmpwalk -On)")
                                .arg(QString::fromLatin1(name.first(qMin(name.size(), 60)))));
    }
    Status walkLine(QByteArrayView line);
    Status pipeLine(QByteArrayView line);
    Status add(QByteArrayView name, qint64 line);

    QFile &m_file;
    QString m_name;
    RecordingLines m_lines;
    const RecordingProgress &m_progress;
    Format m_format = Format::Unknown;
    RecordedTreeBuilder m_builder;
    QByteArray m_oid;
    QByteArray m_value;
    QByteArray m_gathered;
};

Status Reader::add(QByteArrayView name, qint64 line)
{
    if (!isNumericStart(name))
        return symbolic(line, name);
    const Status oid = recording::oidContent(name, m_oid);
    if (!oid)
        return atLine(line, oid.failure().description);
    if (!m_builder.add(m_oid, m_value, line))
        return atLine(line, QStringLiteral("the recording is too large"));
    return {};
}

Status Reader::walkLine(QByteArrayView line)
{
    const qint64 number = m_lines.lineNumber();
    const qsizetype equals = line.indexOf(" = ");
    if (equals < 0) {
        if (line.startsWith("End of MIB"))
            return {};
        if (!isNumericStart(line))
            return symbolic(number, line);
        return atLine(number, QStringLiteral("no \" = \" between identifier and value"));
    }
    QByteArrayView name = line.first(equals);
    QByteArrayView text = line.sliced(equals + 3);
    // Reading on moves the buffer the line is in.
    QByteArray nameCopy;
    if (text.startsWith("STRING: ") || text.startsWith("Hex-STRING:")) {
        nameCopy = name.toByteArray();
        name = nameCopy;
    }
    if (startsWithAny(text, {"No Such Object", "No Such Instance", "No more variables"}))
        return {};
    if (text.startsWith("STRING: \"") && recording::closingQuote(text.sliced(9)) < 0) {
        // The string goes on over the next lines, with their ends as part of it.
        m_gathered = text.toByteArray();
        do {
            m_gathered.append(m_lines.terminator());
            if (m_lines.next() != RecordingLines::Line)
                return atLine(number, QStringLiteral("a string that is never closed"));
            m_gathered.append(m_lines.line());
            if (m_gathered.size() > MaxGathered)
                return atLine(number, QStringLiteral("a value longer than any answer can be"));
        } while (recording::closingQuote(QByteArrayView(m_gathered).sliced(9)) < 0);
        text = m_gathered;
    } else if (text.startsWith("STRING: ") && !text.startsWith("STRING: \"")) {
        // A hinted string is printed bare and goes on until the next object's line.
        m_gathered = text.toByteArray();
        QByteArray lineEnd = m_lines.terminator().toByteArray();
        while (m_lines.next() == RecordingLines::Line) {
            const QByteArrayView more = m_lines.line();
            if ((more.startsWith('.') && more.contains(" = ")) || more.startsWith("End of MIB")) {
                m_lines.putBack();
                break;
            }
            m_gathered.append(lineEnd).append(more);
            lineEnd = m_lines.terminator().toByteArray();
            if (m_gathered.size() > MaxGathered)
                return atLine(number, QStringLiteral("a value longer than any answer can be"));
        }
        text = m_gathered;
    } else if (text.startsWith("Hex-STRING:")) {
        m_gathered = text.toByteArray();
        while (m_lines.next() == RecordingLines::Line) {
            const QByteArrayView more = m_lines.line();
            if (more.startsWith('.') || !recording::isHexContinuation(more)) {
                m_lines.putBack();
                break;
            }
            m_gathered.append(' ').append(more);
            if (m_gathered.size() > MaxGathered)
                return atLine(number, QStringLiteral("a value longer than any answer can be"));
        }
        text = m_gathered;
    }
    const Status value = recording::walkValue(text, m_value);
    if (!value)
        return atLine(number, value.failure().description);
    return add(name, number);
}

Status Reader::pipeLine(QByteArrayView line)
{
    const qint64 number = m_lines.lineNumber();
    const qsizetype first = line.indexOf('|');
    const qsizetype second = first < 0 ? -1 : line.indexOf('|', first + 1);
    if (second < 0) {
        if (!isNumericStart(line))
            return symbolic(number, line);
        return atLine(number, QStringLiteral("not of the form OID|TAG|VALUE"));
    }
    const Status value = recording::pipeValue(line.sliced(first + 1, second - first - 1),
                                              line.sliced(second + 1), m_value);
    if (!value)
        return atLine(number, value.failure().description);
    return add(line.first(first), number);
}

Result<RecordedTree> Reader::read()
{
    const qint64 total = m_file.size();
    for (;;) {
        const RecordingLines::Outcome outcome = m_lines.next();
        if (outcome == RecordingLines::End)
            break;
        if (outcome == RecordingLines::TooLong)
            return atLine(
                m_lines.lineNumber() + 1,
                QStringLiteral("a line longer than %1 bytes").arg(RecordingLines::MaxLine));
        if (outcome == RecordingLines::ReadError)
            return atLine(m_lines.lineNumber() + 1, m_file.errorString());
        if (m_progress && (m_lines.lineNumber() & 0xfff) == 0 &&
            !m_progress(m_lines.bytesRead(), total))
            return failure(QStringLiteral("Cancelled"), RecordingFailure::Cancelled);
        const QByteArrayView line = m_lines.line();
        if (line.contains('\0'))
            return atLine(m_lines.lineNumber(), QStringLiteral("not text (binary data)"));
        if (line.trimmed().isEmpty())
            continue;
        if (m_format == Format::Unknown) {
            const qsizetype bar = line.indexOf('|');
            const qsizetype equals = line.indexOf(" = ");
            m_format = bar >= 0 && (equals < 0 || bar < equals) ? Format::Pipe : Format::Walk;
        }
        const Status done = m_format == Format::Walk ? walkLine(line) : pipeLine(line);
        if (!done)
            return done.failure();
    }
    if (m_builder.size() == 0)
        return failure(QStringLiteral("%1: no objects").arg(m_name));
    RecordedTreeBuilder::Duplicate duplicate;
    RecordedTree tree = m_builder.finish(duplicate);
    if (duplicate.secondLine != 0)
        return atLine(duplicate.secondLine,
                      QStringLiteral("duplicate identifier .%1 (also on line %2)")
                          .arg(ber::decodeOid(duplicate.oidContent).value())
                          .arg(duplicate.firstLine));
    return tree;
}

} // namespace

Result<RecordedTree> readRecording(const QString &path, const RecordingProgress &progress)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(
            QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), file.errorString()));
    return Reader(file, progress).read();
}
