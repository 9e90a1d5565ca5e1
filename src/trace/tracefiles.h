#pragma once

#include <QString>

QString traceFolder(const QString &programFolder);

// Deletes files named Snmp* and Tcp* (any letter case) in the trace folder. Sub-folders and
// hidden files are left alone; a file that cannot be deleted is skipped.
void DeleteTraceFiles(const QString &programFolder);
