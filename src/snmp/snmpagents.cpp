#include "snmpagents.h"

#include "common/appservices.h"
#include "snmpagentpage.h"
#include "trace/debugtrace.h"

SnmpAgents::SnmpAgents(SnmpAgentPage &page, DebugTrace &trace, const AppServices &services,
                       QObject *parent)
    : QObject(parent), m_page(page), m_trace(trace), m_services(services)
{
}

void SnmpAgents::cmdSnmpControl_Click(int) {}
