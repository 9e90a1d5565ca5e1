#pragma once

#include "common/core/result.h"

#include <QObject>
#include <QString>
#include <QStringList>

struct AppServices;
class FileBrowser;
class LoadOrderButtons;
class MibFixPage;
class QToolBar;

// Creating LoadOrder.txt from the selected files and editing it with the two toolbars.
class LoadOrderActions : public QObject
{
    Q_OBJECT
public:
    LoadOrderActions(MibFixPage &page, FileBrowser &browser, LoadOrderButtons &buttons,
                     const AppServices &services, QObject *parent = nullptr);

    void cmdCreateLoadOrder_Click();
    void tbrRightLeft_ButtonClick(const QString &key);
    void tbrUpDown_ButtonClick(const QString &key);
    void EditLoadOrder(const QString &key);

private:
    void toolBarClick(QToolBar *toolBar, const QString &key, const QString &first,
                      const QString &second);
    void setSelectionButtonsEnabled(bool enabled);
    // Deletes LoadOrder.txt and builds it anew from the selected files, filling the list; a
    // failure ends the run where it happened. A name that cannot be an entry changes nothing.
    Status createLoadOrder(const QStringList &names);
    // Fills the list from LoadOrder.txt and makes keptName current; an unreadable file leaves
    // the list empty.
    Status reloadLoadOrder(const QString &keptName);
    void showCounter();

    MibFixPage &m_page;
    FileBrowser &m_browser;
    LoadOrderButtons &m_buttons;
    const AppServices &m_services;
};
