#include "tracefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QString traceFolder(const QString &programFolder)
{
    return QDir(programFolder).filePath(QStringLiteral("Debug"));
}

void DeleteTraceFiles(const QString &programFolder)
{
    QDir folder(traceFolder(programFolder));
    if (!folder.exists())
        return;
    for (const QString &pattern : {QStringLiteral("Snmp*"), QStringLiteral("Tcp*")}) {
        const QFileInfoList matches =
            folder.entryInfoList({pattern}, QDir::Files | QDir::NoDotAndDotDot);
        for (const QFileInfo &file : matches) {
            if (file.isHidden() || file.isSymLink() || !file.isFile())
                continue;
            QFile::remove(file.absoluteFilePath());
        }
    }
}
