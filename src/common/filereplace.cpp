#include "filereplace.h"

#include <QFileInfo>
#include <QSaveFile>

bool isWriteProtected(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !(info.permissions() & QFileDevice::WriteOwner);
}

Status openReplacement(QSaveFile &file)
{
    if (isWriteProtected(file.fileName()))
        return failure(QStringLiteral("the file is read-only"));
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString());
    return {};
}
