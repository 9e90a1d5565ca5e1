#pragma once

#include <QObject>

struct AppServices;
class FileBrowser;
class MibFixPage;

// Opening listed files in the editor and showing a file's IMPORTS clause.
class ImportsView : public QObject
{
    Q_OBJECT
public:
    ImportsView(MibFixPage &page, FileBrowser &browser, const AppServices &services,
                QObject *parent = nullptr);

    void lbxFile_DblClick();
    void lbxLoadOrder_DblClick();
    void lbxResult_DblClick();
    void mnuViewImports_Click();

private:
    MibFixPage &m_page;
    FileBrowser &m_browser;
    const AppServices &m_services;
};
