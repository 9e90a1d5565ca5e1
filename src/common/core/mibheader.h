#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QList>
#include <QString>

class LineReader;

// What the head of a MIB module file says about the module.
struct MibHeader
{
    // The text before "DEFINITIONS" on the first line that holds it, without leading and
    // trailing blanks (tabs stay); empty when no line holds it.
    QByteArray moduleName;
    // The first line that holds "IMPORTS" (anywhere, also in a comment) and the lines after it
    // up to and including the next one that holds ";" outside a comment (or to the end of the
    // file). The IMPORTS line itself is not tested for ";". Empty when no line holds "IMPORTS".
    QList<QByteArray> importsLines;
};

// Reads lines only until both parts are complete.
MibHeader scanMibHeader(LineReader &reader);
Result<MibHeader> readMibHeader(const QString &path);
// Reads only the IMPORTS clause, stopping as soon as it is complete.
QList<QByteArray> scanImportsClause(LineReader &reader);
// The line with each comment, from "--" to the next "--" or the line's end, made one blank.
// A LF inside the line ends a comment too: a file not yet fixed to CR LF is one long line.
QByteArray withoutComments(QByteArrayView line);
