#include "filefixups.h"

#include "common/core/appservices.h"
#include "common/core/messagepresenter.h"
#include "crlffix.h"
#include "filebrowser.h"
#include "mibfixpage.h"
#include "renametarget.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>

namespace {

QString entry(const QString &path, const QString &reason)
{
    return QDir::toNativeSeparators(path) + QStringLiteral(" (") + reason + QLatin1Char(')');
}

} // namespace

FileFixups::FileFixups(MibFixPage &page, FileBrowser &browser, const AppServices &services,
                       QObject *parent)
    : QObject(parent), m_page(page), m_browser(browser), m_services(services)
{
    connect(m_page.cmdDelete, &QPushButton::clicked, this, &FileFixups::cmdDelete_Click);
    connect(m_page.cmdRename, &QPushButton::clicked, this, &FileFixups::cmdRename_Click);
    connect(m_page.cmdFixCrLf, &QPushButton::clicked, this, &FileFixups::cmdFixCrLf_Click);
}

QStringList FileFixups::collectSelection(const QString &emptyMessage)
{
    QStringList paths;
    for (const QString &name : m_browser.selectedFileNames())
        paths.append(m_browser.FullFilePath(name));
    if (paths.isEmpty())
        m_services.messages.showMessage(emptyMessage);
    return paths;
}

void FileFixups::reportSkipped(const QString &heading, const QStringList &entries)
{
    if (!entries.isEmpty())
        m_services.messages.showMessage(heading + QLatin1Char('\n') +
                                        entries.join(QLatin1Char('\n')));
}

void FileFixups::cmdDelete_Click()
{
    const QStringList paths =
        collectSelection(QStringLiteral("Please select one or more files to delete"));
    QStringList failed;
    for (const QString &path : paths) {
        QFile file(path);
        if (!file.remove())
            failed.append(entry(path, file.errorString()));
    }
    m_browser.rereadFileList();
    m_browser.UpdateFileCounter();
    reportSkipped(QStringLiteral("These files could not be deleted:"), failed);
}

void FileFixups::cmdRename_Click()
{
    const QStringList paths =
        collectSelection(QStringLiteral("Please select one or more files to rename"));
    QStringList notRenamed;
    for (const QString &path : paths) {
        const QString target = mibRenameTarget(path);
        if (target == path)
            continue;
        // QFile::rename never replaces an existing file; the check only gives the clearer reason.
        // A target that is the file itself (a case-only change on some file systems) may go on.
        const QFileInfo existing(target);
        if (existing.exists() &&
            existing.canonicalFilePath() != QFileInfo(path).canonicalFilePath()) {
            notRenamed.append(entry(path, existing.fileName() + QStringLiteral(" exists already")));
            continue;
        }
        QFile file(path);
        if (!file.rename(target))
            notRenamed.append(entry(path, file.errorString()));
    }
    m_browser.rereadFileList();
    m_browser.UpdateFileCounter();
    reportSkipped(QStringLiteral("These files were not renamed:"), notRenamed);
}

void FileFixups::setFixLocks(bool enabled)
{
    for (QPushButton *button : {m_page.cmdSelectAll, m_page.cmdUnSelectAll, m_page.cmdRename,
                                m_page.cmdDelete, m_page.cmdFixCrLf, m_page.cmdCreateLoadOrder})
        button->setEnabled(enabled);
}

void FileFixups::cmdFixCrLf_Click()
{
    const QStringList paths =
        collectSelection(QStringLiteral("Please select one or more files to fix"));
    setFixLocks(false);
    QStringList notText;
    bool completed = true;
    for (const QString &path : paths) {
        const FixCrLfOutcome outcome = fixCrLfFile(path);
        if (outcome == FixCrLfOutcome::NotText) {
            notText.append(entry(path, QStringLiteral("not a text file")));
        } else if (outcome == FixCrLfOutcome::Failed) {
            m_services.messages.showMessage(QStringLiteral("An Error Occured in ") + path);
            completed = false;
            break;
        }
    }
    if (completed)
        m_browser.UpdateFileCounter();
    reportSkipped(QStringLiteral("These files were not fixed:"), notText);
    setFixLocks(true);
}
