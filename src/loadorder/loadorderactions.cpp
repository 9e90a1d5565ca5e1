#include "loadorderactions.h"

#include "common/appservices.h"
#include "loadorderbuttons.h"
#include "workbench/filebrowser.h"
#include "workbench/mibfixpage.h"

LoadOrderActions::LoadOrderActions(MibFixPage &page, FileBrowser &browser,
                                   LoadOrderButtons &buttons, const AppServices &services,
                                   QObject *parent)
    : QObject(parent), m_page(page), m_browser(browser), m_buttons(buttons), m_services(services)
{
}

void LoadOrderActions::cmdCreateLoadOrder_Click() {}
void LoadOrderActions::tbrRightLeft_ButtonClick(const QString &) {}
void LoadOrderActions::tbrUpDown_ButtonClick(const QString &) {}
