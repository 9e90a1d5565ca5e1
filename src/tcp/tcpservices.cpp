#include "tcpservices.h"

#include "common/core/appservices.h"
#include "common/core/messagepresenter.h"
#include "common/core/pause.h"
#include "common/core/portnumber.h"
#include "tcpserver.h"
#include "tcpservicepage.h"
#include "trace/debugtrace.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>

namespace {
constexpr int StartStopPauseMs = 200;
}

TcpServices::TcpServices(TcpServicePage &page, DebugTrace &trace, const AppServices &services,
                         QObject *parent)
    : QObject(parent), m_page(page), m_trace(trace), m_services(services)
{
    for (int i = 0; i < RowCount; ++i) {
        tcpServer[i] = new TcpServer(i, this);
        tcpServer[i]->setObjectName(QStringLiteral("tcpServer_%1").arg(i));
        connect(tcpServer[i], &TcpServer::Connected, this, &TcpServices::tcpServer_Connected);
        connect(tcpServer[i], &TcpServer::DataIn, this, &TcpServices::tcpServer_DataIn);
        connect(tcpServer[i], &TcpServer::Disconnected, this, &TcpServices::tcpServer_Disconnected);
        connect(m_page.cmdTcpControl[i], &QPushButton::clicked, this,
                [this, i] { cmdTcpControl_Click(i); });
    }
}

void TcpServices::cmdTcpControl_Click(int index)
{
    QPushButton *button = m_page.cmdTcpControl[index];
    button->setEnabled(false);
    if (tcpServer[index]->listening())
        StopTcpServer(index);
    else
        StartTcpServer(index);
    button->setEnabled(true);
}

void TcpServices::StartTcpServer(int index)
{
    TcpServer &server = *tcpServer[index];
    server.setListening(false);
    server.setLocalAddress(m_page.txtTcpIpAddr[index]->text());
    const Result<qint32> port = portNumber(m_page.txtTcpPort[index]->text());
    if (!port) {
        m_services.messages.showMessage(port.failure().description);
        return;
    }
    server.setLocalPort(port.value());
    const Status started = server.setListening(true);
    if (!started) {
        m_services.messages.showMessage(started.failure().number == TcpServer::AddressNotAvailable
                                            ? QStringLiteral("TCP Server IP Address is not valid")
                                            : started.failure().description);
        return;
    }
    Pause(StartStopPauseMs);
    m_page.txtTcpStatus[index]->setText(QStringLiteral("Started"));
    m_page.cmdTcpControl[index]->setText(QStringLiteral("Stop"));
}

void TcpServices::StopTcpServer(int index)
{
    TcpServer &server = *tcpServer[index];
    if (server.listening()) {
        server.setListening(false);
        QCoreApplication::processEvents();
    }
    Pause(StartStopPauseMs);
    m_page.txtTcpStatus[index]->setText(QStringLiteral("Stopped"));
    m_page.cmdTcpControl[index]->setText(QStringLiteral("Start"));
}

void TcpServices::reportFailure(const QString &handler, const QString &description)
{
    m_services.messages.showMessage(QStringLiteral("Modul: ") + handler +
                                    QStringLiteral(", Err: ") + description);
}

bool TcpServices::appendTrace(int index, const QStringList &lines, const QString &handler)
{
    const Status written =
        m_trace.AppendTraceRecord(TraceKind::Tcp, m_page.txtTcpIpAddr[index]->text(),
                                  m_page.txtTcpPort[index]->text(), lines);
    if (!written)
        reportFailure(handler, written.failure().description);
    return written.ok();
}

bool TcpServices::peerOf(int index, int id, QString &address, QString &port, const QString &handler)
{
    const Result<QString> peerAddress = tcpServer[index]->peerAddress(id);
    if (!peerAddress) {
        reportFailure(handler, peerAddress.failure().description);
        return false;
    }
    const Result<int> peerPort = tcpServer[index]->peerPort(id);
    if (!peerPort) {
        reportFailure(handler, peerPort.failure().description);
        return false;
    }
    address = peerAddress.value();
    port = QString::number(peerPort.value());
    return true;
}

void TcpServices::tcpServer_Connected(int index, qint16 id, const QString &, int)
{
    static const QString handler = QStringLiteral("tcpServer_Connected");
    if (!m_trace.debugMode())
        return;
    QString address, port;
    if (!peerOf(index, id, address, port, handler))
        return;
    appendTrace(
        index,
        {QStringLiteral(" --- Connected with ") + address + QStringLiteral(" on port ") + port},
        handler);
}

void TcpServices::tcpServer_DataIn(int index, qint16 id, const QString &text, int)
{
    static const QString handler = QStringLiteral("tcpServer_DataIn");
    if (m_trace.debugMode()) {
        QString address, port;
        if (!peerOf(index, id, address, port, handler))
            return;
        const QString record =
            QStringLiteral(" <-- ") + address + QLatin1Char(':') + port + QLatin1Char(' ') + text;
        if (!appendTrace(index, {record}, handler))
            return;
    }
    const QString reply = m_page.txtTcpReply[index]->text();
    if (reply.isEmpty())
        return;
    if (m_trace.debugMode()) {
        // The record shows the bytes as they go out, one character per byte like received data.
        const QString wire = QString::fromLatin1(TcpServer::wireBytes(reply));
        if (!appendTrace(index, {QStringLiteral(" --> ") + wire}, handler))
            return;
    }
    const Status sent = tcpServer[index]->sendText(id, reply);
    if (!sent)
        reportFailure(handler, sent.failure().description);
}

void TcpServices::tcpServer_Disconnected(int index, qint16, const QString &, int)
{
    if (m_trace.debugMode())
        appendTrace(index, {QStringLiteral(" --- Disconnected"), QString()},
                    QStringLiteral("tcpServer_Disconnected"));
}
