#include "tcpservices.h"

#include "common/appservices.h"
#include "tcpservicepage.h"
#include "trace/debugtrace.h"

TcpServices::TcpServices(TcpServicePage &page, DebugTrace &trace, const AppServices &services,
                         QObject *parent)
    : QObject(parent), m_page(page), m_trace(trace), m_services(services)
{
}

void TcpServices::cmdTcpControl_Click(int) {}
