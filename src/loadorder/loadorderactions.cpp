#include "loadorderactions.h"

#include "common/core/appservices.h"
#include "common/core/messagepresenter.h"
#include "loadorderbuttons.h"
#include "loadordercreation.h"
#include "loadorderedit.h"
#include "loadorderfile.h"
#include "workbench/filebrowser.h"
#include "workbench/mibfixpage.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QToolBar>

namespace {

QString tooManyFilesMessage()
{
    return QStringLiteral("Too many files selected: at most %1 files can be ordered at a time")
        .arg(MaxLoadOrderEntries);
}

} // namespace

LoadOrderActions::LoadOrderActions(MibFixPage &page, FileBrowser &browser,
                                   LoadOrderButtons &buttons, const AppServices &services,
                                   QObject *parent)
    : QObject(parent), m_page(page), m_browser(browser), m_buttons(buttons), m_services(services)
{
    connect(m_page.cmdCreateLoadOrder, &QPushButton::clicked, this,
            &LoadOrderActions::cmdCreateLoadOrder_Click);
    connect(m_page.tbrRightLeft, &QToolBar::actionTriggered, this,
            [this](QAction *action) { tbrRightLeft_ButtonClick(action->data().toString()); });
    connect(m_page.tbrUpDown, &QToolBar::actionTriggered, this,
            [this](QAction *action) { tbrUpDown_ButtonClick(action->data().toString()); });
}

void LoadOrderActions::setSelectionButtonsEnabled(bool enabled)
{
    for (QPushButton *button : {m_page.cmdSelectAll, m_page.cmdUnSelectAll, m_page.cmdRename,
                                m_page.cmdDelete, m_page.cmdFixCrLf, m_page.cmdCreateLoadOrder})
        button->setEnabled(enabled);
}

void LoadOrderActions::showCounter()
{
    m_page.lblLoadOrderCounter->setText(QString::number(m_page.lbxLoadOrder->count()));
}

void LoadOrderActions::cmdCreateLoadOrder_Click()
{
    const Status created = createLoadOrder(m_browser.selectedFileNames());
    if (!created) {
        m_services.messages.showMessage(created.failure().description);
        // The list shows what the failure left of LoadOrder.txt; an unreadable one shows as
        // empty, the failure above being the one to report.
        reloadLoadOrder(QString());
    }
    showCounter();
    m_buttons.UpdateLoadOrderButtons();
    setSelectionButtonsEnabled(true);
}

Status LoadOrderActions::createLoadOrder(const QStringList &names)
{
    for (const QString &name : names) {
        const Status usable = checkLoadOrderEntry(name);
        if (!usable)
            return usable;
    }
    m_page.lbxLoadOrder->clear();
    const Status removed = removeLoadOrder(m_services.programFolder, ReadOnlyFile::Keep);
    if (!removed)
        return removed;
    if (names.size() > MaxLoadOrderEntries)
        return failure(tooManyFilesMessage());
    QList<SelectionEntry> entries;
    entries.reserve(names.size());
    for (const QString &name : names)
        entries.append(SelectionEntry{name, m_browser.FullFilePath(name), {}, {}});
    // Nothing selected still ends in an empty LoadOrder.txt.
    if (entries.isEmpty())
        m_services.messages.showMessage(QStringLiteral("Please select one or more files to order"));

    setSelectionButtonsEnabled(false);
    const Status scanned = scanSelection(entries);
    if (!scanned)
        return scanned;
    const QList<int> order = placeInPasses(findDependencies(entries));
    QStringList placed;
    QList<QByteArray> lines;
    placed.reserve(order.size());
    lines.reserve(order.size());
    for (int k : order) {
        placed.append(entries.at(k).fileName);
        lines.append(loadOrderEntry(entries.at(k).fileName));
    }
    QListWidget *list = m_page.lbxLoadOrder;
    list->addItems(placed);
    if (order.size() != entries.size()) {
        // What could be placed stays listed, but no LoadOrder.txt claims a complete order.
        m_services.messages.showMessage(
            QStringLiteral("A problem occurred when creating LoadOrder.txt"));
        return {};
    }
    const Status written = replaceLoadOrder(m_services.programFolder, lines);
    if (!written)
        return written;
    list->setCurrentRow(list->count() - 1);
    return {};
}

void LoadOrderActions::toolBarClick(QToolBar *toolBar, const QString &key, const QString &first,
                                    const QString &second)
{
    toolBar->setEnabled(false);
    if (key == first || key == second)
        EditLoadOrder(key);
    toolBar->setEnabled(true);
}

void LoadOrderActions::tbrRightLeft_ButtonClick(const QString &key)
{
    toolBarClick(m_page.tbrRightLeft, key, QStringLiteral("Add"), QStringLiteral("Remove"));
}

void LoadOrderActions::tbrUpDown_ButtonClick(const QString &key)
{
    toolBarClick(m_page.tbrUpDown, key, QStringLiteral("Up"), QStringLiteral("Down"));
}

void LoadOrderActions::EditLoadOrder(const QString &key)
{
    const QListWidgetItem *currentItem = m_page.lbxLoadOrder->currentItem();
    const QString current = currentItem ? currentItem->text() : QString();
    const EditOutcome outcome =
        editLoadOrderFile(m_services.programFolder, key, m_browser.currentFileName(), current);
    if (!outcome.reload)
        return;
    // After a failed edit the list shows the file as it still is, with the user's entry current.
    const Status reloaded = reloadLoadOrder(outcome.status ? outcome.keptName : current);
    const Status &shown = outcome.status ? reloaded : outcome.status;
    if (!shown)
        m_services.messages.showMessage(shown.failure().description);
    showCounter();
    m_buttons.UpdateLoadOrderButtons();
}

Status LoadOrderActions::reloadLoadOrder(const QString &keptName)
{
    QListWidget *list = m_page.lbxLoadOrder;
    list->clear();
    const Result<QList<QByteArray>> lines = readLoadOrder(m_services.programFolder);
    if (!lines)
        return lines.failure();
    QStringList names;
    names.reserve(lines.value().size());
    for (const QByteArray &line : lines.value())
        names.append(loadOrderEntryName(line));
    list->addItems(names);
    if (keptName.isEmpty())
        return {};
    for (int row = 0; row < list->count(); ++row) {
        if (list->item(row)->text() == keptName) {
            list->setCurrentRow(row);
            list->setFocus();
            break;
        }
    }
    return {};
}
