#pragma once

#include <QObject>

struct AppServices;
class MibFixPage;

// The availability of the four load-order toolbar buttons, and Open and Delete of LoadOrder.txt.
class LoadOrderButtons : public QObject
{
    Q_OBJECT
public:
    LoadOrderButtons(MibFixPage &page, const AppServices &services, QObject *parent = nullptr);

    void UpdateLoadOrderButtons();
    void cmdOpenLoadOrder_Click();
    void cmdDeleteLoadOrder_Click();

private:
    MibFixPage &m_page;
    const AppServices &m_services;
};
