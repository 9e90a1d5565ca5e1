#include "searchinfiles.h"

#include "common/appservices.h"
#include "filebrowser.h"
#include "mibfixpage.h"

SearchInFiles::SearchInFiles(MibFixPage &page, FileBrowser &browser, const AppServices &services,
                             QObject *parent)
    : QObject(parent), m_page(page), m_browser(browser), m_services(services)
{
}

void SearchInFiles::cmdSearch_Click() {}
