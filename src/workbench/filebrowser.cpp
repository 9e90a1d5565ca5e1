#include "filebrowser.h"

#include "filepattern.h"
#include "mibfixpage.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStorageInfo>

namespace {

constexpr int PathRole = Qt::UserRole;

QString cleanDirectory(const QString &path)
{
    return QDir::cleanPath(QDir(path).absolutePath());
}

QString entryCaption(const QString &path, int depth)
{
    const QString name =
        QDir(path).isRoot() ? QDir::toNativeSeparators(path) : QFileInfo(path).fileName();
    return QString(depth * 2, QLatin1Char(' ')) + name;
}

} // namespace

FileBrowser::FileBrowser(MibFixPage &page, const QString &startDirectory, QObject *parent)
    : QObject(parent), m_page(page)
{
    fillDrives(startDirectory);
    m_filePattern = m_page.txtPattern->text();
    setDirectoryPath(cleanDirectory(startDirectory));
    m_filePath = m_dirPath;
    rereadFileList();

    connect(m_page.lbxDrive, &QComboBox::activated, this, &FileBrowser::lbxDrive_Change);
    connect(m_page.lbxDir, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { openDirectory(item->data(PathRole).toString()); });
    connect(m_page.lbxFile, &QListWidget::itemSelectionChanged, this, &FileBrowser::lbxFile_Click);
    connect(m_page.cmdRefresh, &QPushButton::clicked, this, &FileBrowser::cmdRefresh_Click);
    connect(m_page.cmdSelectAll, &QPushButton::clicked, this, &FileBrowser::cmdSelectAll_Click);
    connect(m_page.cmdUnSelectAll, &QPushButton::clicked, this, &FileBrowser::cmdUnSelectAll_Click);
}

void FileBrowser::fillDrives(const QString &startDirectory)
{
    QStringList roots;
    for (const QStorageInfo &volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady())
            roots.append(cleanDirectory(volume.rootPath()));
    }
    roots.removeDuplicates();
    roots.sort(Qt::CaseInsensitive);
    const QString systemRoot = QDir::rootPath();
    roots.removeAll(systemRoot);
    roots.prepend(systemRoot); // the root of the whole tree comes first
    {
        const QSignalBlocker blocker(m_page.lbxDrive);
        for (const QString &root : roots)
            m_page.lbxDrive->addItem(QDir::toNativeSeparators(root), root);
    }
    m_drive = driveOf(cleanDirectory(startDirectory));
    m_page.lbxDrive->setCurrentIndex(m_page.lbxDrive->findData(m_drive));
}

QString FileBrowser::driveOf(const QString &path) const
{
    // The drive is the longest mount point that holds the path.
    QString best = QDir::rootPath();
    for (int i = 0; i < m_page.lbxDrive->count(); ++i) {
        const QString root = m_page.lbxDrive->itemData(i).toString();
        const QString withSlash = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
        if ((path == root || path.startsWith(withSlash)) && root.size() > best.size())
            best = root;
    }
    return best;
}

void FileBrowser::lbxDrive_Change()
{
    const QString drive = m_page.lbxDrive->currentData().toString();
    if (drive.isEmpty())
        return;
    m_driveDirectory.insert(m_drive, m_dirPath);
    m_drive = drive;
    openDirectory(m_driveDirectory.value(drive, drive));
}

void FileBrowser::openDirectory(const QString &path)
{
    setDirectoryPath(cleanDirectory(path));
    lbxDir_Change();
}

void FileBrowser::setDirectoryPath(const QString &path)
{
    m_dirPath = path;
    QListWidget *list = m_page.lbxDir;
    const QSignalBlocker blocker(list);
    list->clear();

    QStringList ancestors;
    for (QDir dir(path);;) {
        ancestors.prepend(dir.absolutePath());
        if (dir.isRoot() || !dir.cdUp())
            break;
    }
    int depth = 0;
    QListWidgetItem *open = nullptr;
    for (const QString &ancestor : ancestors) {
        auto *item = new QListWidgetItem(entryCaption(ancestor, depth++), list);
        item->setData(PathRole, ancestor);
        open = item;
    }
    const QStringList children =
        QDir(path).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &child : children) {
        const QString childPath = QDir(path).filePath(child);
        auto *item = new QListWidgetItem(entryCaption(childPath, depth), list);
        item->setData(PathRole, childPath);
    }
    list->setCurrentItem(open);
}

void FileBrowser::lbxDir_Change()
{
    m_filePattern = m_page.txtPattern->text();
    m_filePath = m_dirPath;
    rereadFileList();
    UpdateFileCounter();
}

void FileBrowser::cmdRefresh_Click()
{
    m_filePattern = m_page.txtPattern->text();
    m_filePath = m_dirPath;
    rereadFileList();
    UpdateFileCounter();
}

void FileBrowser::rereadFileList()
{
    const FilePattern pattern(m_filePattern);
    const QFileInfoList entries =
        QDir(m_filePath)
            .entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    QListWidget *list = m_page.lbxFile;
    const QSignalBlocker blocker(list);
    list->clear();
    for (const QFileInfo &entry : entries) {
        if (!entry.isHidden() && pattern.matches(entry.fileName()))
            list->addItem(entry.fileName());
    }
    list->setCurrentRow(-1, QItemSelectionModel::NoUpdate);
}

void FileBrowser::lbxFile_Click()
{
    UpdateFileCounter();
}

void FileBrowser::cmdSelectAll_Click()
{
    {
        const QSignalBlocker blocker(m_page.lbxFile);
        m_page.lbxFile->selectAll();
    }
    UpdateFileCounter();
}

void FileBrowser::cmdUnSelectAll_Click()
{
    {
        const QSignalBlocker blocker(m_page.lbxFile);
        m_page.lbxFile->clearSelection();
    }
    UpdateFileCounter();
}

void FileBrowser::UpdateFileCounter()
{
    const QListWidget *list = m_page.lbxFile;
    int selected = 0;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected())
            ++selected;
    }
    m_page.lblFileCounter->setText(QString::number(list->count()) + QStringLiteral(" (") +
                                   QString::number(selected) + QLatin1Char(')'));
}

QString FileBrowser::highlightedDirectory() const
{
    const QListWidgetItem *item = m_page.lbxDir->currentItem();
    return item ? item->data(PathRole).toString() : m_dirPath;
}

QString FileBrowser::FullFilePath(const QString &name) const
{
    const QString directory = QDir::toNativeSeparators(highlightedDirectory());
    if (directory.endsWith(QDir::separator()))
        return directory + name;
    return directory + QDir::separator() + name;
}

QStringList FileBrowser::selectedFileNames() const
{
    QStringList names;
    const QListWidget *list = m_page.lbxFile;
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->isSelected())
            names.append(list->item(i)->text());
    }
    return names;
}

QString FileBrowser::currentFileName() const
{
    const QListWidgetItem *item = m_page.lbxFile->currentItem();
    return item ? item->text() : QString();
}
