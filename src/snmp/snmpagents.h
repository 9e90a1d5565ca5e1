#pragma once

#include <QObject>

struct AppServices;
class DebugTrace;
class SnmpAgentPage;

// The seven agent rows: start and stop, request dispatch and the answers.
class SnmpAgents : public QObject
{
    Q_OBJECT
public:
    SnmpAgents(SnmpAgentPage &page, DebugTrace &trace, const AppServices &services,
               QObject *parent = nullptr);

    void cmdSnmpControl_Click(int index);

private:
    SnmpAgentPage &m_page;
    DebugTrace &m_trace;
    const AppServices &m_services;
};
