#include "loadorderfile.h"

#include "common/filereplace.h"
#include "common/textlines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

Failure stepFailure(const QString &what, const QString &path, const QString &reason)
{
    return failure(what + QStringLiteral(" ") + QDir::toNativeSeparators(path) +
                   QStringLiteral(": ") + reason);
}

Status writeTemp(const QString &path, const QList<QByteArray> &lines)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return stepFailure(QStringLiteral("Cannot create"), path, file.errorString());
    for (const QByteArray &line : lines) {
        if (!writeLine(file, line))
            return stepFailure(QStringLiteral("Cannot write"), path, file.errorString());
    }
    if (!file.flush())
        return stepFailure(QStringLiteral("Cannot write"), path, file.errorString());
    file.close();
    if (file.error() != QFileDevice::NoError)
        return stepFailure(QStringLiteral("Cannot write"), path, file.errorString());
    return {};
}

} // namespace

QString loadOrderFilePath(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("LoadOrder.txt"));
}

QString loadOrderTempPath(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("LoadOrder.tmp"));
}

QByteArray loadOrderEntry(const QString &fileName)
{
    return QFile::encodeName(fileName);
}

QString loadOrderEntryName(const QByteArray &entry)
{
    return QFile::decodeName(entry);
}

bool loadOrderIsReadOnly(const QString &programFolder)
{
    const QFileInfo info(loadOrderFilePath(programFolder));
    return info.exists() && info.isFile() && !(info.permissions() & QFileDevice::WriteOwner);
}

Status removeLoadOrder(const QString &programFolder)
{
    const QString path = loadOrderFilePath(programFolder);
    if (!QFile::exists(path))
        return {};
    if (loadOrderIsReadOnly(programFolder))
        return stepFailure(QStringLiteral("Cannot delete"), path,
                           QStringLiteral("the file is read-only"));
    QFile file(path);
    if (!file.remove())
        return stepFailure(QStringLiteral("Cannot delete"), path, file.errorString());
    return {};
}

Result<QList<QByteArray>> readLoadOrder(const QString &programFolder)
{
    const QString path = loadOrderFilePath(programFolder);
    if (!QFile::exists(path))
        return QList<QByteArray>();
    Result<QList<QByteArray>> lines = readLinesFromFile(path);
    if (!lines)
        return stepFailure(QStringLiteral("Cannot read"), path, lines.failure().description);
    return lines;
}

Status replaceLoadOrder(const QString &programFolder, const QList<QByteArray> &lines)
{
    const QString target = loadOrderFilePath(programFolder);
    if (loadOrderIsReadOnly(programFolder))
        return stepFailure(QStringLiteral("Cannot replace"), target,
                           QStringLiteral("the file is read-only"));
    const QString temp = loadOrderTempPath(programFolder);
    Status written = writeTemp(temp, lines);
    if (!written) {
        if (QFileInfo(temp).isFile())
            QFile::remove(temp);
        return written;
    }
    const Status renamed = renameOver(temp, target);
    if (!renamed) {
        QFile::remove(temp);
        return stepFailure(QStringLiteral("Cannot rename LoadOrder.tmp to"), target,
                           renamed.failure().description);
    }
    return {};
}
