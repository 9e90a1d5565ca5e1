#include "importsview.h"

#include "common/core/appservices.h"
#include "common/core/codepage.h"
#include "common/core/editorlauncher.h"
#include "common/core/messagepresenter.h"
#include "common/core/mibheader.h"
#include "common/core/textlines.h"
#include "filebrowser.h"
#include "mibfixpage.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>

namespace {

QString currentName(const QListWidget &list)
{
    const QListWidgetItem *item = list.currentItem();
    return item ? item->text() : QString();
}

} // namespace

ImportsView::ImportsView(MibFixPage &page, FileBrowser &browser, const AppServices &services,
                         QObject *parent)
    : QObject(parent), m_page(page), m_browser(browser), m_services(services)
{
    connect(m_page.lbxFile, &QListWidget::itemDoubleClicked, this, &ImportsView::lbxFile_DblClick);
    connect(m_page.lbxLoadOrder, &QListWidget::itemDoubleClicked, this,
            &ImportsView::lbxLoadOrder_DblClick);
    connect(m_page.lbxResult, &QListWidget::itemDoubleClicked, this,
            &ImportsView::lbxResult_DblClick);
    connect(&m_page, &MibFixPage::lbxFile_MouseDown, this, &ImportsView::lbxFile_MouseDown);
    connect(&m_page, &MibFixPage::lbxLoadOrder_MouseDown, this,
            &ImportsView::lbxLoadOrder_MouseDown);
    connect(m_page.mnuViewImports, &QAction::triggered, this, &ImportsView::mnuViewImports_Click);
}

void ImportsView::openCurrentInEditor(const QListWidget &list)
{
    const QString name = currentName(list);
    if (!name.isEmpty())
        m_services.editor.openInEditor(m_browser.FullFilePath(name));
}

void ImportsView::lbxFile_DblClick()
{
    openCurrentInEditor(*m_page.lbxFile);
}
void ImportsView::lbxLoadOrder_DblClick()
{
    openCurrentInEditor(*m_page.lbxLoadOrder);
}
void ImportsView::lbxResult_DblClick()
{
    openCurrentInEditor(*m_page.lbxResult);
}

void ImportsView::popUpViewMenu(bool fromLoadOrder, int button, QPoint position)
{
    if (button != 2)
        return;
    ImportsFromLoadOrder = fromLoadOrder;
    m_page.mnuView->popup(position);
}

void ImportsView::lbxFile_MouseDown(int button, Qt::KeyboardModifiers, QPoint position)
{
    popUpViewMenu(false, button, position);
}

void ImportsView::lbxLoadOrder_MouseDown(int button, Qt::KeyboardModifiers, QPoint position)
{
    popUpViewMenu(true, button, position);
}

void ImportsView::mnuViewImports_Click()
{
    const QString name = currentName(ImportsFromLoadOrder ? *m_page.lbxLoadOrder : *m_page.lbxFile);
    if (name.isEmpty())
        return;
    const QString path = m_browser.FullFilePath(name);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_services.messages.showMessage(QStringLiteral("The file could not be read: ") +
                                        QDir::toNativeSeparators(path) + QStringLiteral(" (") +
                                        file.errorString() + QLatin1Char(')'));
        return;
    }
    LineReader reader(file);
    const QList<QByteArray> lines = scanImportsClause(reader);
    file.close();
    m_page.lblImports->setText(QStringLiteral("IMPORTS section from ") + name);
    m_page.txtImports->setPlainText(fromCodePage(lines.join("\r\n")));
}
