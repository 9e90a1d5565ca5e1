#pragma once

#include <QByteArray>
#include <QString>

// Text that looks like MIB modules: object definitions, comments, IMPORTS clauses. Every
// wordEvery-th line carries "quandix" in changing letter case (0: never).
QByteArray mibLikeText(qsizetype bytes, const QByteArray &lineEnd, int wordEvery);

bool writeBytes(const QString &path, const QByteArray &bytes);

// Runs a program and returns its wall time in seconds (negative on failure); stdout is kept.
double timeProgram(const QString &program, const QStringList &arguments,
                   QByteArray *output = nullptr);
