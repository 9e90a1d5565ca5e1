#pragma once

#include <QObject>
#include <QString>

#include <array>

struct AppServices;
class DebugTrace;
class TcpServer;
class TcpServicePage;

// The four listener rows: start and stop, connections, data and replies.
class TcpServices : public QObject
{
    Q_OBJECT
public:
    static constexpr int RowCount = 4;

    TcpServices(TcpServicePage &page, DebugTrace &trace, const AppServices &services,
                QObject *parent = nullptr);

    void cmdTcpControl_Click(int index);
    void StartTcpServer(int index);
    void StopTcpServer(int index);

    void tcpServer_Connected(int index, qint16 id, const QString &, int);
    void tcpServer_DataIn(int index, qint16 id, const QString &text, int);
    void tcpServer_Disconnected(int index, qint16, const QString &, int);

    std::array<TcpServer *, RowCount> tcpServer{};

private:
    // The peer as the trace records name it: address and port of an open connection.
    bool peerOf(int index, int id, QString &address, QString &port, const QString &handler);
    bool appendTrace(int index, const QStringList &lines, const QString &handler);
    void reportFailure(const QString &handler, const QString &description);

    TcpServicePage &m_page;
    DebugTrace &m_trace;
    const AppServices &m_services;
};
