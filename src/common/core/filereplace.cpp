#include "filereplace.h"

#include <QFileInfo>
#include <QSaveFile>

Status checkChangeable(const QString &path)
{
    const QFileInfo info(path);
    if (info.exists() && !(info.permissions() & QFileDevice::WriteOwner))
        return failure(QStringLiteral("the file is read-only"));
    return {};
}

Status openReplacement(QSaveFile &file)
{
    const Status changeable = checkChangeable(file.fileName());
    if (!changeable)
        return changeable;
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString());
    return {};
}
