#pragma once

#include <QObject>

struct AppServices;
class DebugTrace;
class TcpServicePage;

// The four listener rows: start and stop, connections, data and replies.
class TcpServices : public QObject
{
    Q_OBJECT
public:
    TcpServices(TcpServicePage &page, DebugTrace &trace, const AppServices &services,
                QObject *parent = nullptr);

    void cmdTcpControl_Click(int index);

private:
    TcpServicePage &m_page;
    DebugTrace &m_trace;
    const AppServices &m_services;
};
