#pragma once

#include "common/result.h"

#include <QByteArray>
#include <QList>
#include <QString>

QString loadOrderFilePath(const QString &programFolder); // LoadOrder.txt beside the program
QString loadOrderTempPath(const QString &programFolder); // LoadOrder.tmp beside the program

// An entry of LoadOrder.txt is the bare file name as the file system spells it.
QByteArray loadOrderEntry(const QString &fileName);
QString loadOrderEntryName(const QByteArray &entry);

// A LoadOrder.txt whose owner may not write it is left alone, also by a privileged user.
bool loadOrderIsReadOnly(const QString &programFolder);

// Deletes LoadOrder.txt if it exists; a read-only one stays and is a failure.
Status removeLoadOrder(const QString &programFolder);

// The lines of LoadOrder.txt; none when the file does not exist.
Result<QList<QByteArray>> readLoadOrder(const QString &programFolder);

// Writes the lines to LoadOrder.tmp and renames it over LoadOrder.txt in one step. On failure
// LoadOrder.tmp is gone and LoadOrder.txt is as it was; the failure says which step failed.
Status replaceLoadOrder(const QString &programFolder, const QList<QByteArray> &lines);
