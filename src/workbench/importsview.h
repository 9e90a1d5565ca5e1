#pragma once

#include <QObject>
#include <QPoint>

struct AppServices;
class FileBrowser;
class MibFixPage;
class QListWidget;

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
    void lbxFile_MouseDown(int button, Qt::KeyboardModifiers shift, QPoint position);
    void lbxLoadOrder_MouseDown(int button, Qt::KeyboardModifiers shift, QPoint position);
    void mnuViewImports_Click();

    bool importsFromLoadOrder() const { return ImportsFromLoadOrder; }

private:
    void openCurrentInEditor(const QListWidget &list);
    void popUpViewMenu(bool fromLoadOrder, int button, QPoint position);

    MibFixPage &m_page;
    FileBrowser &m_browser;
    const AppServices &m_services;
    bool ImportsFromLoadOrder = false; // which list the last right-click was on
};
