#include "importsview.h"

#include "common/appservices.h"
#include "filebrowser.h"
#include "mibfixpage.h"

ImportsView::ImportsView(MibFixPage &page, FileBrowser &browser, const AppServices &services,
                             QObject *parent)
    : QObject(parent), m_page(page), m_browser(browser), m_services(services)
{
}

void ImportsView::lbxFile_DblClick() {}
void ImportsView::lbxLoadOrder_DblClick() {}
void ImportsView::lbxResult_DblClick() {}
void ImportsView::mnuViewImports_Click() {}
