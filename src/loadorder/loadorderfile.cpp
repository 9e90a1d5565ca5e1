#include "loadorderfile.h"

#include "common/core/filereplace.h"
#include "common/core/textlines.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace {

Failure stepFailure(const QString &what, const QString &path, const QString &reason)
{
    return failure(what + QStringLiteral(" ") + QDir::toNativeSeparators(path) +
                   QStringLiteral(": ") + reason);
}

} // namespace

QString loadOrderFilePath(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("LoadOrder.txt"));
}

QByteArray loadOrderEntry(const QString &fileName)
{
    return QFile::encodeName(fileName);
}

QString loadOrderEntryName(const QByteArray &entry)
{
    return QFile::decodeName(entry);
}

Status checkLoadOrderEntry(const QString &fileName)
{
    if (!fileName.contains(QLatin1Char('\r')) && !fileName.contains(QLatin1Char('\n')))
        return {};
    // Spelt out: the box would show the break itself as two names.
    QString shown = fileName;
    shown.replace(QLatin1Char('\r'), QStringLiteral("<CR>"));
    shown.replace(QLatin1Char('\n'), QStringLiteral("<LF>"));
    return failure(QStringLiteral("The file name \"%1\" holds a line break and cannot be a line "
                                  "of LoadOrder.txt")
                       .arg(shown));
}

Status removeLoadOrder(const QString &programFolder, ReadOnlyFile readOnly)
{
    const QString path = loadOrderFilePath(programFolder);
    if (!QFile::exists(path))
        return {};
    if (readOnly == ReadOnlyFile::Keep) {
        const Status changeable = checkChangeable(path);
        if (!changeable)
            return stepFailure(QStringLiteral("Cannot delete"), path,
                               changeable.failure().description);
    }
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
    const QString path = loadOrderFilePath(programFolder);
    QSaveFile file(path);
    const Status opened = openReplacement(file);
    if (!opened)
        return stepFailure(QStringLiteral("Cannot replace"), path, opened.failure().description);
    for (const QByteArray &line : lines) {
        if (!writeLine(file, line))
            return stepFailure(QStringLiteral("Cannot write"), path, file.errorString());
    }
    if (!file.commit())
        return stepFailure(QStringLiteral("Cannot write"), path, file.errorString());
    return {};
}
