#include "filereplace.h"

#include <QFile>

#include <system_error>

std::filesystem::path nativePath(const QString &path)
{
#ifdef Q_OS_WIN
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

Status renameOver(const QString &temporary, const QString &target)
{
    std::error_code error;
    std::filesystem::rename(nativePath(temporary), nativePath(target), error);
    if (error)
        return failure(QString::fromLocal8Bit(error.message()), error.value());
    return {};
}
