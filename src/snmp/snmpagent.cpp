#include "snmpagent.h"

#include "common/listenaddress.h"
#include "common/reservedport.h"

#include <QUdpSocket>

#include <utility>

namespace {

// The largest payload one UDP datagram carries over IPv4.
constexpr qsizetype MaxDatagram = 65507;
// The enterprise number in the engine IDs the rows make.
constexpr quint32 Enterprise = 7394;
constexpr char UnknownContexts[] = "1.3.6.1.6.3.12.1.5.0";

// Datagrams handled per wake-up, so a flood cannot keep the window from repainting.
constexpr int BatchSize = 64;

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

SnmpAgent::SnmpAgent(int index, QObject *parent) : QObject(parent), m_index(index)
{
    m_buffer.resize(MaxDatagram + 1);
}

SnmpAgent::~SnmpAgent() = default;

Status SnmpAgent::Listen(qint32 port, const QString &address)
{
    const Result<QHostAddress> local = listenAddress(address);
    if (!local)
        return local.failure();
    const QHostAddress host = local.value();
    if (port < 1 || port > 65535)
        return Failure{10022, QStringLiteral("The port is out of range: %1").arg(port)};

    auto *socket = new QUdpSocket(this);
    // Without SO_REUSEADDR a second agent on the same address and port fails instead of
    // sharing it.
    if (!socket->bind(host, quint16(port), QAbstractSocket::DontShareAddress)) {
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
    m_socket = socket;
    connect(m_socket, &QUdpSocket::readyRead, this, &SnmpAgent::readDatagrams);
    return {};
}

void SnmpAgent::Close()
{
    if (!m_socket)
        return;
    m_socket->close();
    m_socket->deleteLater();
    m_socket = nullptr;
}

bool SnmpAgent::isListening() const
{
    return m_socket && m_socket->state() == QAbstractSocket::BoundState;
}

quint16 SnmpAgent::localPort() const
{
    return m_socket ? m_socket->localPort() : 0;
}

void SnmpAgent::readDatagrams()
{
    // A handler that lets events run must not bring us back here in the middle of a message.
    if (m_reading)
        return;
    m_reading = true;
    for (int i = 0; i < BatchSize && m_socket; ++i) {
        // Read until the socket says it has nothing more: asking first would cost a system call
        // per datagram.
        quint16 senderPort = 0;
        const qint64 size =
            m_socket->readDatagram(m_buffer.data(), m_buffer.size(), &m_from, &senderPort);
        if (size < 0 && m_socket->error() == QAbstractSocket::TemporaryError)
            break;
        if (size < 0 || size > MaxDatagram) {
            ++m_dropped;
            continue;
        }
        const QByteArrayView datagram(m_buffer.constData(), size);
        Result<SnmpMessage> message = decodeMessage(datagram, &m_current);
        if (!message) {
            if (!takeV3(datagram, senderPort))
                ++m_dropped;
            continue;
        }
        if (!isRequest(message.value())) {
            ++m_dropped;
            continue;
        }
        m_v3.reset();
        m_current = std::move(message.value());
        // Swapped, not copied: the next read then fills an address nothing else shares.
        std::swap(m_sender, m_from);
        m_senderPort = senderPort;
        m_requestSize = size;
        emit Request(m_index);
    }
    m_reading = false;
}

UsmEngine &SnmpAgent::usm()
{
    if (!m_usm)
        m_usm = std::make_unique<UsmEngine>(Enterprise);
    return *m_usm;
}

qsizetype SnmpAgent::responseLimit() const
{
    return m_v3 ? qBound(qsizetype(484), qsizetype(m_v3->message.maxSize), MaxDatagram)
                : MaxDatagram;
}

bool SnmpAgent::sendTo(const QByteArray &datagram, const QHostAddress &to, quint16 port)
{
    return !datagram.isEmpty() && m_socket && m_socket->writeDatagram(datagram, to, port) >= 0;
}

bool SnmpAgent::takeV3(QByteArrayView datagram, quint16 senderPort)
{
    if (!m_usm || m_usm->users().isEmpty())
        return false;
    UsmEngine::Outcome outcome = m_usm->receive(datagram);
    if (!outcome.request)
        return sendTo(outcome.report, m_from, senderPort);
    UsmEngine::Request &request = *outcome.request;
    if (!isRequest(request.pdu))
        return false;
    // One context only, the default: nameless, of this engine (or left for it to fill in).
    const QByteArray &contextEngine = request.message.contextEngineId;
    if (!request.message.contextName.isEmpty()
        || (!contextEngine.isEmpty() && contextEngine != m_usm->engineId())) {
        ++m_unknownContexts;
        if (!(request.message.flags & SnmpV3Flag::Reportable))
            return false;
        const Result<QByteArray> report =
            m_usm->reportOn(request, QLatin1String(UnknownContexts), m_unknownContexts);
        return report && sendTo(report.value(), m_from, senderPort);
    }
    m_current = std::move(request.pdu);
    m_current.version = SnmpVersion::V2c;
    m_current.Community = QString::fromLatin1(request.user.name);
    m_v3 = std::move(request);
    std::swap(m_sender, m_from);
    m_senderPort = senderPort;
    m_requestSize = datagram.size();
    emit Request(m_index);
    return true;
}

Status SnmpAgent::prepareResponse()
{
    if (m_v3)
        return prepareV3Response();
    const Status encoded = encodeMessage(m_current, m_response);
    if (!encoded || m_response.size() <= MaxDatagram)
        return encoded;
    // Too big for one datagram: tooBig, with the request's bindings in SNMPv1 and none in v2c.
    m_current.ErrorStatus = SnmpError::TooBig;
    m_current.ErrorIndex = 0;
    m_current.Variables.clear();
    if (m_current.version == SnmpVersion::V1) {
        Result<SnmpMessage> request =
            decodeMessage(QByteArrayView(m_buffer.constData(), m_requestSize));
        if (request)
            m_current.Variables = std::move(request.value().Variables);
    }
    return encodeMessage(m_current, m_response);
}

Status SnmpAgent::SendResponse()
{
    if (!m_socket)
        return failure(QStringLiteral("The agent is not listening"), 10057);
    const qint64 sent = m_socket->writeDatagram(m_response, m_sender, m_senderPort);
    if (sent < 0)
        return Failure{10000 + int(m_socket->error()), m_socket->errorString()};
    return {};
}

Status SnmpAgent::prepareV3Response()
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
    m_response = std::move(secured.value());
    return {};
}
