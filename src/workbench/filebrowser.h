#pragma once

#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>

class MibFixPage;

// The drive, directory and file lists of the MIB Fix tab, the file selection and the rule that
// turns a listed name into a full path.
class FileBrowser : public QObject
{
    Q_OBJECT
public:
    FileBrowser(MibFixPage &page, const QString &startDirectory, QObject *parent = nullptr);

    void lbxDrive_Change();
    void lbxDir_Change();
    void cmdRefresh_Click();
    void lbxFile_Click();
    void cmdSelectAll_Click();
    void cmdUnSelectAll_Click();

    void UpdateFileCounter();
    // The highlighted directory joined with the bare name; the separator is never doubled.
    QString FullFilePath(const QString &name) const;

    QStringList selectedFileNames() const; // in list order
    QString currentFileName() const;       // empty when the list has no current entry
    QString openDirectory() const { return m_dirPath; }
    QString highlightedDirectory() const;

    // Opens a directory as a double-click in the directory list would.
    void openDirectory(const QString &path);
    // Re-reads the file list's directory with its pattern; clears the selection.
    void rereadFileList();

private:
    void fillDrives(const QString &startDirectory);
    void setDirectoryPath(const QString &path);
    QString driveOf(const QString &path) const;

    MibFixPage &m_page;
    QString m_dirPath;                        // the directory list's open directory
    QString m_filePath;                       // the directory the file list shows
    QString m_filePattern;                    // the pattern the file list applies
    QHash<QString, QString> m_driveDirectory; // current directory per drive root
    QString m_drive;
};
