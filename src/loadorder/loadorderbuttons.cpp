#include "loadorderbuttons.h"

#include "common/core/appservices.h"
#include "common/core/editorlauncher.h"
#include "common/core/messagepresenter.h"
#include "loadorderfile.h"
#include "workbench/mibfixpage.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

LoadOrderButtons::LoadOrderButtons(MibFixPage &page, const AppServices &services, QObject *parent)
    : QObject(parent), m_page(page), m_services(services)
{
    connect(m_page.cmdOpenLoadOrder, &QPushButton::clicked, this,
            &LoadOrderButtons::cmdOpenLoadOrder_Click);
    connect(m_page.cmdDeleteLoadOrder, &QPushButton::clicked, this,
            &LoadOrderButtons::cmdDeleteLoadOrder_Click);
}

void LoadOrderButtons::UpdateLoadOrderButtons()
{
    const QListWidget *files = m_page.lbxFile;
    const QListWidget *order = m_page.lbxLoadOrder;
    const int orderRow = order->currentRow();
    const bool orderCurrent = orderRow != -1 && order->count() >= 1;
    m_page.tbrAdd->setEnabled(files->currentRow() != -1 && files->count() >= 1);
    m_page.tbrRemove->setEnabled(orderCurrent);
    m_page.tbrUp->setEnabled(orderCurrent && orderRow > 0);
    m_page.tbrDown->setEnabled(orderCurrent && orderRow + 1 < order->count());
}

void LoadOrderButtons::cmdOpenLoadOrder_Click()
{
    const QString path = loadOrderFilePath(m_services.programFolder);
    if (QFile::exists(path))
        m_services.editor.openInEditor(path);
}

void LoadOrderButtons::cmdDeleteLoadOrder_Click()
{
    if (QFile::exists(loadOrderFilePath(m_services.programFolder))) {
        // A file that stays keeps its entries listed.
        const Status removed = removeLoadOrder(m_services.programFolder, ReadOnlyFile::Remove);
        if (removed)
            m_page.lbxLoadOrder->clear();
        else
            m_services.messages.showMessage(removed.failure().description);
    }
    m_page.lblLoadOrderCounter->setText(QString::number(m_page.lbxLoadOrder->count()));
    UpdateLoadOrderButtons();
}
