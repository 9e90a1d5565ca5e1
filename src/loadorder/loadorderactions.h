#pragma once

#include <QObject>

struct AppServices;
class FileBrowser;
class LoadOrderButtons;
class MibFixPage;

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

private:
    MibFixPage &m_page;
    FileBrowser &m_browser;
    LoadOrderButtons &m_buttons;
    const AppServices &m_services;
};
