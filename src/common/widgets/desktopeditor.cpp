#include "desktopeditor.h"

#include "common/core/messagepresenter.h"

#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QUrl>

void DesktopEditorLauncher::openInEditor(const QString &path)
{
#ifdef Q_OS_WIN
    const bool started = QProcess::startDetached(QStringLiteral("notepad.exe"), {path});
#else
    const bool started = QDesktopServices::openUrl(QUrl::fromLocalFile(path));
#endif
    if (!started)
        m_messages.showMessage(QStringLiteral("The text editor could not be started for ") +
                               QDir::toNativeSeparators(path));
}
