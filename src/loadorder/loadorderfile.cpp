#include "loadorderfile.h"

#include <QDir>

QString loadOrderFilePath(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("LoadOrder.txt"));
}

QString loadOrderTempPath(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("LoadOrder.tmp"));
}
