#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QList>
#include <QString>

QString loadOrderFilePath(const QString &programFolder); // LoadOrder.txt beside the program

// An entry of LoadOrder.txt is the bare file name as the file system spells it.
QByteArray loadOrderEntry(const QString &fileName);
QString loadOrderEntryName(const QByteArray &entry);
// A name holding CR or LF would stand as several lines: refused, with the name in the message.
Status checkLoadOrderEntry(const QString &fileName);

// Deletes LoadOrder.txt if it exists. The Delete button removes a read-only file, as the user
// asked; Create, which would replace it, keeps it.
enum class ReadOnlyFile { Remove, Keep };
Status removeLoadOrder(const QString &programFolder, ReadOnlyFile readOnly);

// The lines of LoadOrder.txt; none when the file does not exist.
Result<QList<QByteArray>> readLoadOrder(const QString &programFolder);

// Writes the lines to a replacement of LoadOrder.txt (see openReplacement) that takes its place
// in one step. On failure LoadOrder.txt is as it was; the failure says which step failed.
Status replaceLoadOrder(const QString &programFolder, const QList<QByteArray> &lines);
