#pragma once

#include "app/frmmain.h"
#include "snmp/agentanswers.h"
#include "snmp/snmpagentpage.h"
#include "snmp/snmpagents.h"
#include "snmp/snmpmessage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QUdpSocket>

#include <optional>

// Lets events run until the condition holds or the time is up; the agents live on this thread,
// so a blocking wait would never see an answer.
template <typename Condition> bool waitFor(Condition condition, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// A loopback port that was free a moment ago.
inline quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress);
    return probe.localPort();
}

// Types the row's boxes and clicks its button, as a user starting a row on loopback would.
inline void clickRow(FrmMain &window, int row, const QString &address, const QString &port)
{
    window.snmpAgent->txtSnmpIpAddr[row]->setText(address);
    window.snmpAgent->txtSnmpPort[row]->setText(port);
    window.snmpAgent->cmdSnmpControl[row]->click();
}

inline bool startRow(FrmMain &window, int row, quint16 port)
{
    clickRow(window, row, QStringLiteral("127.0.0.1"), QString::number(port));
    return window.snmpAgents->agentTable()[row].AgentRunning;
}

inline SnmpMessage makeRequest(int type, const QStringList &oids,
                               const QString &community = QStringLiteral("kettle"),
                               qint32 number = 1234)
{
    SnmpMessage message;
    message.version = type < SnmpPdu::V2cBase ? SnmpVersion::V1 : SnmpVersion::V2c;
    message.Type = type;
    message.Community = community;
    message.MessageNumber = number;
    for (const QString &oid : oids)
        message.Variables.append(SnmpVariable::make(oid).value());
    return message;
}

// A manager on a loopback socket of its own.
class TestManager
{
public:
    TestManager() { m_socket.bind(QHostAddress::LocalHost, 0); }

    void send(quint16 port, const QByteArray &datagram)
    {
        m_socket.writeDatagram(datagram, QHostAddress::LocalHost, port);
    }
    void send(quint16 port, const SnmpMessage &message)
    {
        send(port, encodeMessage(message).value());
    }

    std::optional<QByteArray> receive(int milliseconds = 2000)
    {
        if (!waitFor([this] { return m_socket.hasPendingDatagrams(); }, milliseconds))
            return std::nullopt;
        QByteArray datagram(int(m_socket.pendingDatagramSize()), '\0');
        m_socket.readDatagram(datagram.data(), datagram.size());
        return datagram;
    }

    std::optional<SnmpMessage> exchange(quint16 port, const SnmpMessage &request)
    {
        send(port, request);
        const std::optional<QByteArray> datagram = receive();
        if (!datagram)
            return std::nullopt;
        Result<SnmpMessage> response = decodeMessage(*datagram);
        if (!response)
            return std::nullopt;
        return response.value();
    }

    QUdpSocket &socket() { return m_socket; }

private:
    QUdpSocket m_socket;
};
