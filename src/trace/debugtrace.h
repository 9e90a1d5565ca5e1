#pragma once

#include "common/core/result.h"

#include <QString>
#include <QStringList>
#include <QTime>

enum class TraceKind { Snmp, Tcp };

// "HH:MM:SS" on the 24-hour clock: hour, minute, second.
QString TraceStamp();
QString traceStampAt(const QTime &time);

// The Debug Mode flag and the writer of trace records into Debug/ beside the program.
class DebugTrace
{
public:
    explicit DebugTrace(QString programFolder) : m_programFolder(std::move(programFolder)) {}

    bool debugMode() const { return m_debugMode; }
    void setDebugMode(bool on) { m_debugMode = on; }
    const QString &programFolder() const { return m_programFolder; }

    // Address and port are the row's box texts as they stand now: not trimmed, not checked.
    QString traceFilePath(TraceKind kind, const QString &address, const QString &port) const;

    // One record: the stamp, the first line, the further lines, each line ended by CR LF,
    // written in one open-append-close cycle. Does nothing while Debug Mode is off.
    Status AppendTraceRecord(TraceKind kind, const QString &address, const QString &port,
                             const QStringList &lines) const;

private:
    QString m_programFolder;
    bool m_debugMode = false;
};
