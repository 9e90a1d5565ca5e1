#pragma once

#include "common/result.h"
#include "snmpmessage.h"
#include "usmengine.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

#include <memory>
#include <optional>

class QUdpSocket;

// One SNMP agent on a UDP socket: decodes each datagram, raises Request for the requests it
// carries and sends CurrentMessage back to its sender on SendResponse.
class SnmpAgent : public QObject
{
    Q_OBJECT
public:
    static constexpr int PortInUse = 10048;
    static constexpr int AddressNotValid = 10049;

    explicit SnmpAgent(int index, QObject *parent = nullptr);
    ~SnmpAgent() override;

    int index() const { return m_index; }
    Status Listen(qint32 port, const QString &address);
    void Close();
    bool isListening() const;
    quint16 localPort() const;

    SnmpMessage &CurrentMessage() { return m_current; }
    // Encodes CurrentMessage for sending. One too big for a datagram becomes a tooBig response,
    // and CurrentMessage then shows that message as it will go out.
    Status prepareResponse();
    // Sends what prepareResponse made to the request's sender.
    Status SendResponse();

    // Datagrams that were no request (or no message at all): never answered, only counted.
    quint64 droppedCount() const { return m_dropped; }

    // The row's SNMPv3 engine, made when first asked for: version 3 requests are answered
    // only while it has users, and dropped like any other stranger otherwise.
    UsmEngine &usm();
    const UsmEngine *usmIfAny() const { return m_usm.get(); }
    // The secured request being answered; none while CurrentMessage came by community.
    const UsmEngine::Request *v3Request() const { return m_v3 ? &*m_v3 : nullptr; }
    // How many bytes the response may take: the datagram's, or less if the manager said so.
    qsizetype responseLimit() const;

signals:
    void Request(int index);

private:
    void readDatagrams();
    // True when the datagram was taken up as a version 3 message: answered, reported on or
    // raised as a Request.
    bool takeV3(QByteArrayView datagram, quint16 senderPort);
    Status prepareV3Response();
    bool sendTo(const QByteArray &datagram, const QHostAddress &to, quint16 port);

    int m_index;
    QUdpSocket *m_socket = nullptr;
    SnmpMessage m_current;
    QHostAddress m_sender;
    QHostAddress m_from; // the address of the datagram being read
    quint16 m_senderPort = 0;
    QByteArray m_buffer; // holds the request while it is answered
    qint64 m_requestSize = 0;
    QByteArray m_response; // kept between answers for its storage
    quint64 m_dropped = 0;
    std::unique_ptr<UsmEngine> m_usm;
    std::optional<UsmEngine::Request> m_v3;
    quint32 m_unknownContexts = 0;
    bool m_reading = false;
};
