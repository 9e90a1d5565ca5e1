#pragma once

#include "common/core/result.h"
#include "snmp/answers/ownobjects.h"
#include "snmp/answers/rowbehaviour.h"
#include "snmp/answers/snmpstatistics.h"
#include "snmp/codec/snmpmessage.h"
#include "snmp/usm/usmengine.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QRandomGenerator>

#include <functional>
#include <memory>
#include <optional>
#include <span>

class DatagramSocket;

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
    // The same on a port the system chooses; localPort() tells which.
    Status listenOnAnyPort(const QString &address);
    void Close();
    bool isListening() const;
    quint16 localPort() const;

    SnmpMessage &CurrentMessage() { return m_current; }
    // Puts back the bindings of the request as they came, for an error response of the form
    // SNMPv1 asks for.
    void restoreRequestBindings();
    // Encodes CurrentMessage for sending. One too big for a datagram becomes a tooBig response,
    // and CurrentMessage then shows that message as it will go out. False when even that does
    // not fit: nothing is to be sent, and the drop is counted.
    Result<bool> prepareResponse();
    // Sends what prepareResponse made to the request's sender.
    Status SendResponse();

    // Latency, loss, mute, injected errors and malformed answers; applies from the next
    // datagram on. With none of them set, the row answers as if they did not exist.
    void setBehaviour(const RowBehaviour &behaviour);
    bool hasFaults() const { return m_faulty; }
    // Whether the request being answered is to carry the behaviour's error status instead of
    // its answer; asked once per request, just before it would be answered.
    bool drawInjectedError();
    // Whether the answer prepareResponse made is spoiled on purpose.
    bool answerMalformed() const { return m_draw.malformed; }
    // Whether what is sent reaches anyone: not while the row is mute.
    bool answersGoOut() const { return !(m_faulty && m_behaviour.mute); }
    // What became of the datagrams received since the row started listening.
    RowCounts counts() const;

    // Datagrams that were no request (or no message at all): never answered, only counted.
    quint64 droppedCount() const { return m_dropped; }
    SnmpStatistics &statistics() { return m_stats; }
    const SnmpStatistics &statistics() const { return m_stats; }

    // The row's SNMPv3 engine, made when first asked for: version 3 requests are answered
    // only while it has users, and dropped like any other stranger otherwise.
    UsmEngine &usm();
    const UsmEngine *usmIfAny() const { return m_usm.get(); }
    // What the row's own objects read of its engine; none while it has no users.
    std::optional<EngineFacts> engineFacts() const;
    // The secured request being answered; none while CurrentMessage came by community.
    const UsmEngine::Request *v3Request() const { return m_v3 ? &*m_v3 : nullptr; }
    // Called with each batch of datagrams before they are answered one by one.
    using BatchWarmer = std::function<void(std::span<const QByteArrayView> datagrams)>;
    void setBatchWarmer(BatchWarmer warmer) { m_warmer = std::move(warmer); }

    // How many bytes the response may take: the datagram's, or less if the manager said so.
    qsizetype responseLimit() const;

signals:
    void Request(int index);
    // A response the system would not send; replies go out together after each batch read.
    void sendFailed(int index, const Failure &failure);
    // An SNMPv3 request named a user the row lacks, or carried a wrong digest.
    void authenticationFailed(int index);

private:
    Status bind(const QHostAddress &host, quint16 port);
    void readDatagrams();
    void takeDatagram(QByteArrayView datagram);
    // Whether the datagram just received survives the row's loss; a lost one is counted.
    bool survivesLoss();
    // Draws whether the answer in CurrentMessage is to be malformed, and spoils it if its kind
    // changes the message.
    void drawMalformed();
    void replyWithFaults(const QByteArray &datagram);
    // Counts a datagram the community decoder refused for `fault`; true when it was taken up
    // as a version 3 message: answered, reported on or raised as a Request.
    bool takeRefused(int fault, QByteArrayView datagram);
    bool takeV3(QByteArrayView datagram);
    Result<bool> prepareV3Response();
    // Queues a reply to the sender of the datagram being read.
    bool reply(const QByteArray &datagram);

    int m_index;
    DatagramSocket *m_socket = nullptr;
    SnmpMessage m_current;
    int m_datagram = -1; // the one of the socket's batch being read
    QByteArrayView m_request;
    QByteArray m_response; // kept between answers for its storage
    quint64 m_dropped = 0;
    SnmpStatistics m_stats;
    std::unique_ptr<UsmEngine> m_usm;
    std::optional<UsmEngine::Request> m_v3;
    bool m_reading = false;
    BatchWarmer m_warmer;

    RowBehaviour m_behaviour;
    bool m_faulty = false;
    // What was drawn for the datagram being answered.
    struct Draw
    {
        bool error = false;
        bool malformed = false;
    };
    Draw m_draw;
    QRandomGenerator m_random{QRandomGenerator::global()->generate()};
    RowCounts m_counts;
    bool m_replied = false; // the datagram being read got its answer, or would have
};
