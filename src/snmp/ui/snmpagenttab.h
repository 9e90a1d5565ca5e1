#pragma once

#include <QObject>

struct AppServices;
class AgentRowMenu;
class RecordingLoader;
class SnmpAgentPage;
class SnmpAgents;

// The SNMP Agent tab at work: what is typed goes to the rows as it changes, and what the rows
// do shows in each row's status, button and tooltip.
class SnmpAgentTab : public QObject
{
    Q_OBJECT
public:
    SnmpAgentTab(SnmpAgentPage &page, SnmpAgents &agents, RecordingLoader &loader,
                 const AppServices &services, QObject *parent = nullptr);

    void cmdSnmpControl_Click(int index);

    AgentRowMenu *rowMenu = nullptr;

private:
    void pushTypedObjects();
    void showRunning(int index, bool running);
    void showServed(int index);

    SnmpAgentPage &m_page;
    SnmpAgents &m_agents;
};
