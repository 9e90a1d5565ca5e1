#include "snmpagent.h"

#include "common/core/reservedport.h"
#include "common/net/listenaddress.h"
#include "snmp/agent/datagramsocket.h"

#include <QUdpSocket>

#include <utility>

namespace {

// The largest payload one UDP datagram carries over IPv4.
constexpr qsizetype MaxDatagram = 65507;
// The enterprise number in the engine IDs the rows make.
constexpr quint32 Enterprise = 7394;

bool isRequest(const SnmpMessage &message)
{
    switch (message.pdu()) {
    case SnmpPdu::GetRequest:
    case SnmpPdu::GetNextRequest:
    case SnmpPdu::SetRequest:
    case SnmpPdu::GetBulkRequest:
        return true;
    default:
        return false;
    }
}

} // namespace

SnmpAgent::SnmpAgent(int index, QObject *parent) : QObject(parent), m_index(index) {}

SnmpAgent::~SnmpAgent() = default;

Status SnmpAgent::Listen(qint32 port, const QString &address)
{
    const Result<QHostAddress> local = listenAddress(address);
    if (!local)
        return local.failure();
    if (port < 1 || port > 65535)
        return Failure{10022, QStringLiteral("The port is out of range: %1").arg(port)};
    return bind(local.value(), quint16(port));
}

Status SnmpAgent::listenOnAnyPort(const QString &address)
{
    const Result<QHostAddress> local = listenAddress(address);
    if (!local)
        return local.failure();
    return bind(local.value(), 0);
}

Status SnmpAgent::bind(const QHostAddress &host, quint16 port)
{
    auto *socket = new QUdpSocket(this);
    // Without SO_REUSEADDR a second agent on the same address and port fails instead of
    // sharing it.
    if (!socket->bind(host, port, QAbstractSocket::DontShareAddress)) {
        const QAbstractSocket::SocketError error = socket->error();
        const QString description = socket->errorString();
        delete socket;
        switch (error) {
        case QAbstractSocket::AddressInUseError:
            return Failure{PortInUse, description};
        case QAbstractSocket::SocketAddressNotAvailableError:
            return Failure{AddressNotValid, description};
        case QAbstractSocket::SocketAccessError:
            return Failure{10013, accessRefusedMessage(port, description)};
        default:
            return Failure{10000 + int(error), description};
        }
    }
    Close();
    // Counted since the row started, as an agent that restarts counts.
    m_stats = {};
    m_counts = {};
    m_socket = new DatagramSocket(socket, this);
    connect(m_socket, &DatagramSocket::readyRead, this, &SnmpAgent::readDatagrams);
    connect(m_socket, &DatagramSocket::heldSent, this,
            [this](int replies, const QList<Failure> &failures) {
                m_counts.answered += quint64(replies);
                for (const Failure &failure : failures)
                    emit sendFailed(m_index, failure);
            });
    return {};
}

void SnmpAgent::Close()
{
    if (!m_socket)
        return;
    m_counts.droppedOther += quint64(m_socket->dropHeld());
    m_socket->deleteLater();
    m_socket = nullptr;
}

bool SnmpAgent::isListening() const
{
    return m_socket != nullptr;
}

quint16 SnmpAgent::localPort() const
{
    return m_socket ? m_socket->localPort() : 0;
}

void SnmpAgent::readDatagrams()
{
    // A handler that lets events run must not bring us back here in the middle of a batch.
    if (m_reading || !m_socket)
        return;
    m_reading = true;
    // One batch per wake-up, so a flood cannot keep the window from repainting.
    DatagramSocket *socket = m_socket;
    const int count = socket->receive();
    // A lone datagram has nothing to overlap with.
    if (m_warmer && count > 1) {
        QByteArrayView datagrams[DatagramSocket::Batch];
        for (int i = 0; i < count; ++i)
            datagrams[i] = socket->datagram(i);
        m_warmer(std::span<const QByteArrayView>(datagrams, size_t(count)));
    }
    for (m_datagram = 0; m_datagram < count && m_socket == socket; ++m_datagram) {
        ++m_stats.inPkts;
        ++m_counts.received;
        if (m_faulty && !survivesLoss())
            continue;
        m_replied = false;
        takeDatagram(socket->datagram(m_datagram));
        if (!m_replied)
            ++m_counts.droppedOther;
    }
    m_datagram = -1;
    m_request = {};
    if (m_socket == socket) {
        for (const Failure &failure : socket->flush())
            emit sendFailed(m_index, failure);
    }
    m_reading = false;
}

void SnmpAgent::takeDatagram(QByteArrayView datagram)
{
    if (datagram.isEmpty() || datagram.size() > MaxDatagram) {
        ++m_stats.inAsnParseErrs;
        ++m_dropped;
        return;
    }
    Result<SnmpMessage> message = decodeMessage(datagram, &m_current);
    if (!message) {
        if (!takeRefused(message.failure().number, datagram))
            ++m_dropped;
        return;
    }
    if (!isRequest(message.value())) {
        ++m_dropped;
        return;
    }
    m_v3.reset();
    m_current = std::move(message.value());
    m_request = datagram;
    emit Request(m_index);
}

UsmEngine &SnmpAgent::usm()
{
    if (!m_usm)
        m_usm = std::make_unique<UsmEngine>(Enterprise);
    return *m_usm;
}

std::optional<EngineFacts> SnmpAgent::engineFacts() const
{
    if (!m_usm || m_usm->users().isEmpty())
        return std::nullopt;
    const UsmStats &usm = m_usm->stats();
    const MpdStats &mpd = m_usm->mpdStats();
    return EngineFacts{
        m_usm->engineId(),
        m_usm->boots(),
        m_usm->time(),
        {mpd.unknownSecurityModels, mpd.invalidMsgs, mpd.unknownPduHandlers, mpd.unknownContexts},
        {usm.unsupportedSecLevels, usm.notInTimeWindows, usm.unknownUserNames, usm.unknownEngineIds,
         usm.wrongDigests, usm.decryptionErrors}};
}

qsizetype SnmpAgent::responseLimit() const
{
    return m_v3 ? qBound(qsizetype(484), qsizetype(m_v3->message.maxSize), MaxDatagram)
                : MaxDatagram;
}

bool SnmpAgent::reply(const QByteArray &datagram)
{
    if (datagram.isEmpty() || !m_socket || m_datagram < 0)
        return false;
    m_replied = true;
    if (m_faulty) {
        replyWithFaults(datagram);
        return true;
    }
    m_socket->reply(m_datagram, datagram);
    ++m_counts.answered;
    return true;
}

bool SnmpAgent::takeRefused(int fault, QByteArrayView datagram)
{
    switch (fault) {
    case MessageFault::Version3:
        return takeV3(datagram);
    case MessageFault::BadVersion:
        ++m_stats.inBadVersions;
        return false;
    case MessageFault::Malformed:
        ++m_stats.inAsnParseErrs;
        return false;
    default:
        return false;
    }
}

bool SnmpAgent::takeV3(QByteArrayView datagram)
{
    // Without users the row speaks no version 3.
    if (!m_usm || m_usm->users().isEmpty()) {
        ++m_stats.inBadVersions;
        return false;
    }
    UsmEngine::Outcome outcome = m_usm->receive(datagram);
    if (outcome.parseError)
        ++m_stats.inAsnParseErrs;
    if (!outcome.request) {
        if (outcome.authenticationFailure)
            emit authenticationFailed(m_index);
        return reply(outcome.report);
    }
    UsmEngine::Request &request = *outcome.request;
    m_current = std::move(request.pdu);
    m_current.version = SnmpVersion::V2c;
    m_current.Community = QString::fromLatin1(request.user.name);
    m_v3 = std::move(request);
    m_request = datagram;
    emit Request(m_index);
    return true;
}

void SnmpAgent::restoreRequestBindings()
{
    Result<SnmpMessage> request = decodeMessage(m_request);
    if (request)
        m_current.Variables = std::move(request.value().Variables);
}

Result<bool> SnmpAgent::prepareResponse()
{
    // A kind that changes the message does so before it is encoded or secured.
    if (m_faulty)
        drawMalformed();
    if (m_v3)
        return prepareV3Response();
    const Status encoded = encodeMessage(m_current, m_response);
    if (!encoded)
        return encoded.failure();
    if (m_response.size() <= MaxDatagram)
        return true;
    // Too big for one datagram: tooBig, with the request's bindings in SNMPv1 and none in v2c.
    m_current.ErrorStatus = SnmpError::TooBig;
    m_current.ErrorIndex = 0;
    m_current.Variables.clear();
    if (m_current.version == SnmpVersion::V1)
        restoreRequestBindings();
    const Status tooBig = encodeMessage(m_current, m_response);
    if (!tooBig)
        return tooBig.failure();
    if (m_response.size() <= MaxDatagram)
        return true;
    ++m_stats.silentDrops;
    return false;
}

Status SnmpAgent::SendResponse()
{
    if (!reply(m_response))
        return failure(QStringLiteral("The agent is not listening"), 10057);
    return {};
}

Result<bool> SnmpAgent::prepareV3Response()
{
    Result<QByteArray> secured = m_usm->respond(*m_v3, m_current);
    if (secured && secured.value().size() > responseLimit()) {
        // RFC 3416: tooBig, with no bindings at all.
        m_current.ErrorStatus = SnmpError::TooBig;
        m_current.ErrorIndex = 0;
        m_current.Variables.clear();
        secured = m_usm->respond(*m_v3, m_current);
    }
    if (!secured)
        return secured.failure();
    if (secured.value().size() > responseLimit()) {
        ++m_stats.silentDrops;
        return false;
    }
    m_response = std::move(secured.value());
    return true;
}
