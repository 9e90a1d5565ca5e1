#pragma once

#include <QObject>
#include <QStringList>

struct AppServices;
class FileBrowser;
class MibFixPage;
class QPushButton;

// Delete, rename to .mib and line-ending repair of the selected files.
class FileFixups : public QObject
{
    Q_OBJECT
public:
    FileFixups(MibFixPage &page, FileBrowser &browser, const AppServices &services,
               QObject *parent = nullptr);

    void cmdDelete_Click();
    void cmdRename_Click();
    void cmdFixCrLf_Click();

private:
    // Full paths of the selected files in list order; shows the message when there are none.
    QStringList collectSelection(const QString &emptyMessage);
    void setFixLocks(bool enabled);
    // One box for all files an operation left alone, one "path (reason)" line each.
    void reportSkipped(const QString &heading, const QStringList &entries);

    MibFixPage &m_page;
    FileBrowser &m_browser;
    const AppServices &m_services;
};
