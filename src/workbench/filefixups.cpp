#include "filefixups.h"

#include "common/appservices.h"
#include "filebrowser.h"
#include "mibfixpage.h"

FileFixups::FileFixups(MibFixPage &page, FileBrowser &browser, const AppServices &services,
                             QObject *parent)
    : QObject(parent), m_page(page), m_browser(browser), m_services(services)
{
}

void FileFixups::cmdDelete_Click() {}
void FileFixups::cmdRename_Click() {}
void FileFixups::cmdFixCrLf_Click() {}
