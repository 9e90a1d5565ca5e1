#include "mibheader.h"

#include "common/core/textlines.h"

#include <QFile>

namespace {

QByteArray trimBlanks(QByteArray text)
{
    qsizetype begin = 0, end = text.size();
    while (begin < end && text.at(begin) == ' ')
        ++begin;
    while (end > begin && text.at(end - 1) == ' ')
        --end;
    return text.mid(begin, end - begin);
}

enum class Clause { NotStarted, Open, Closed };

// Feeds one line to the IMPORTS collection; returns the new state.
Clause collectImports(Clause state, const QByteArray &line, QList<QByteArray> &lines)
{
    if (state == Clause::NotStarted) {
        if (!line.contains("IMPORTS"))
            return Clause::NotStarted;
        lines.append(line);
        return Clause::Open;
    }
    if (state == Clause::Open) {
        lines.append(line);
        // A commented-out import may hold a ";" of its own; the clause goes on after it.
        return withoutComments(line).contains(';') ? Clause::Closed : Clause::Open;
    }
    return state;
}

} // namespace

MibHeader scanMibHeader(LineReader &reader)
{
    MibHeader header;
    bool haveName = false;
    Clause imports = Clause::NotStarted;
    QByteArray line;
    while ((!haveName || imports != Clause::Closed) && reader.readLine(line)) {
        if (!haveName) {
            const qsizetype at = line.indexOf("DEFINITIONS");
            if (at >= 0) {
                header.moduleName = trimBlanks(line.left(at));
                haveName = true;
            }
        }
        imports = collectImports(imports, line, header.importsLines);
    }
    return header;
}

Result<MibHeader> readMibHeader(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure(file.errorString());
    LineReader reader(file);
    MibHeader header = scanMibHeader(reader);
    if (reader.failed())
        return failure(reader.errorString());
    return header;
}

QList<QByteArray> scanImportsClause(LineReader &reader)
{
    QList<QByteArray> lines;
    Clause imports = Clause::NotStarted;
    QByteArray line;
    while (imports != Clause::Closed && reader.readLine(line))
        imports = collectImports(imports, line, lines);
    return lines;
}

QByteArray withoutComments(QByteArrayView line)
{
    QByteArray code;
    qsizetype at = 0;
    for (;;) {
        const qsizetype open = line.indexOf("--", at);
        if (open < 0)
            return code.append(line.sliced(at));
        code.append(line.sliced(at, open - at)).append(' ');
        at = open + 2;
        while (at < line.size() && line[at] != '\n' && !line.sliced(at).startsWith("--"))
            ++at;
        if (at < line.size() && line[at] == '-')
            at += 2;
    }
}
