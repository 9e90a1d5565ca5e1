#include "debugtrace.h"

#include "common/core/codepage.h"
#include "tracefiles.h"

#include <QDir>
#include <QFile>

QString TraceStamp()
{
    return traceStampAt(QTime::currentTime());
}

QString traceStampAt(const QTime &time)
{
    return time.toString(QStringLiteral("HH:mm:ss"));
}

QString DebugTrace::traceFilePath(TraceKind kind, const QString &address, const QString &port) const
{
    const QString prefix =
        kind == TraceKind::Snmp ? QStringLiteral("Snmp_") : QStringLiteral("Tcp_");
    return traceFolder(m_programFolder) + QLatin1Char('/') + prefix + address + QLatin1Char('_') +
           port + QStringLiteral(".txt");
}

Status DebugTrace::AppendTraceRecord(TraceKind kind, const QString &address, const QString &port,
                                     const QStringList &lines) const
{
    if (!m_debugMode)
        return {};
    QFile file(traceFilePath(kind, address, port));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return failure(file.errorString());
    QByteArray record;
    const QString stamp = TraceStamp();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        record += toCodePage(i == 0 ? stamp + lines.at(i) : lines.at(i));
        record += "\r\n";
    }
    if (lines.isEmpty())
        record = toCodePage(stamp) + "\r\n";
    // The write is buffered: a full disk shows only at flush or close, so all three are checked.
    if (file.write(record) != record.size() || !file.flush())
        return failure(file.errorString());
    file.close();
    if (file.error() != QFileDevice::NoError)
        return failure(file.errorString());
    return {};
}
