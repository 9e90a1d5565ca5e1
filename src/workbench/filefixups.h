#pragma once

#include <QObject>

struct AppServices;
class FileBrowser;
class MibFixPage;

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
    MibFixPage &m_page;
    FileBrowser &m_browser;
    const AppServices &m_services;
};
