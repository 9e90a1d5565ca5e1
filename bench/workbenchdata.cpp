#include "workbenchdata.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

QByteArray mibLikeText(qsizetype bytes, const QByteArray &lineEnd, int wordEvery)
{
    static const char *const templates[] = {
        "ifEntry%1 OBJECT-TYPE",
        "    SYNTAX      Integer32 (1..2147483647)",
        "    MAX-ACCESS  read-only",
        "    STATUS      current",
        "    DESCRIPTION",
        "            \"A unique value, greater than zero, for each interface %1. It is",
        "            recommended that values are assigned contiguously starting from 1.\"",
        "    ::= { ifEntry %1 }",
        "",
        "-- the Interfaces table, revision %1",
        "IMPORTS",
        "    MODULE-IDENTITY, OBJECT-TYPE, Counter32, Gauge32, Counter64,",
        "    Integer32, TimeTicks, mib-2, NOTIFICATION-TYPE FROM SNMPv2-SMI",
        "    TEXTUAL-CONVENTION, DisplayString FROM SNMPv2-TC;",
        "ifInOctets%1 OBJECT-TYPE",
        "    SYNTAX      Counter32",
        "            \"The total number of octets received on the interface,\"",
    };
    static const char *const words[] = {"quandix", "QUANDIX", "Quandix", "qUaNdIx"};
    constexpr int templateCount = int(sizeof templates / sizeof templates[0]);
    QByteArray text;
    text.reserve(bytes + 200);
    for (int line = 1; text.size() < bytes; ++line) {
        QByteArray content = QByteArray(templates[line % templateCount])
                                 .replace("%1", QByteArray::number(line % 9973));
        if (wordEvery > 0 && line % wordEvery == 0)
            content += QByteArray("  -- see the ") + words[(line / wordEvery) % 4] + " notes";
        text += content;
        text += lineEnd;
    }
    return text;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

double timeProgram(const QString &program, const QStringList &arguments, QByteArray *output)
{
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (output)
        *output = process.readAllStandardOutput();
    return seconds;
}
