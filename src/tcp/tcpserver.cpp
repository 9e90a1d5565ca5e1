#include "tcpserver.h"

#include "common/core/reservedport.h"
#include "common/net/listenaddress.h"
#include "tcpconnection.h"

#include <QNetworkInterface>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTimer>

#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

namespace {
constexpr int ListenBacklog = 1024;
// After an accept refused for want of descriptors, accepting pauses this long: the waiting
// connections stay queued, and the event loop is not kept busy retrying.
constexpr int AcceptRetryMs = 50;
// Connections taken per turn of the event loop, so a flood cannot keep the window from painting.
constexpr int AcceptBatch = 64;

int errorNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::AddressInUseError:
        return TcpServer::AddressInUse;
    case QAbstractSocket::SocketAddressNotAvailableError:
        return TcpServer::AddressNotAvailable;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    default:
        return TcpServer::InvalidArgument;
    }
}

int acceptNonBlocking(int listener, sockaddr_storage &peer)
{
    socklen_t size = sizeof peer;
    auto *address = reinterpret_cast<sockaddr *>(&peer);
#ifdef Q_OS_LINUX
    return ::accept4(listener, address, &size, SOCK_CLOEXEC | SOCK_NONBLOCK);
#else
    const int descriptor = ::accept(listener, address, &size);
    if (descriptor >= 0) {
        ::fcntl(descriptor, F_SETFD, FD_CLOEXEC);
        ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) | O_NONBLOCK);
    }
    return descriptor;
#endif
}

std::pair<QHostAddress, int> addressAndPort(const sockaddr_storage &peer)
{
    if (peer.ss_family == AF_INET6) {
        sockaddr_in6 v6;
        std::memcpy(&v6, &peer, sizeof v6);
        QHostAddress address(v6.sin6_addr.s6_addr);
        if (v6.sin6_scope_id != 0)
            address.setScopeId(QNetworkInterface::interfaceNameFromIndex(int(v6.sin6_scope_id)));
        return {address, ntohs(v6.sin6_port)};
    }
    sockaddr_in v4;
    std::memcpy(&v4, &peer, sizeof v4);
    return {QHostAddress(ntohl(v4.sin_addr.s_addr)), ntohs(v4.sin_port)};
}

QString addressText(const QHostAddress &address)
{
    // A dual-stack listener sees IPv4 peers as mapped IPv6 addresses; show them as IPv4.
    bool isIpv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIpv4);
    return isIpv4 ? QHostAddress(ipv4).toString() : address.toString();
}
} // namespace

TcpServer::TcpServer(int index, QObject *parent, int maxConnectionId)
    : QObject(parent), m_index(index), m_maxConnectionId(maxConnectionId),
      m_server(new QTcpServer(this)), m_acceptRetry(new QTimer(this))
{
    m_server->setListenBacklogSize(ListenBacklog);
    m_acceptRetry->setSingleShot(true);
    m_acceptRetry->setInterval(AcceptRetryMs);
    connect(m_acceptRetry, &QTimer::timeout, this, [this] {
        if (m_acceptNotifier)
            m_acceptNotifier->setEnabled(true);
    });
}

TcpServer::~TcpServer()
{
    delete m_acceptNotifier; // before the listener's descriptor goes
    for (Connection &c : m_connections) {
        if (c.connection) {
            c.connection->disconnect(this);
            delete c.connection;
        }
    }
}

bool TcpServer::listening() const
{
    return m_server->isListening();
}

Status TcpServer::setListening(bool on)
{
    if (m_acceptNotifier) {
        // Later: a handler may stop the row while this notifier's signal runs.
        m_acceptNotifier->setEnabled(false);
        m_acceptNotifier->deleteLater();
        m_acceptNotifier = nullptr;
    }
    m_server->close();
    if (!on)
        return {};
    const Result<QHostAddress> address = listenAddress(m_localAddress);
    if (!address)
        return address.failure();
    if (m_localPort < 1 || m_localPort > 65535)
        return failure(QStringLiteral("Port %1 is out of range (1 to 65535)").arg(m_localPort),
                       InvalidArgument);
    if (m_server->listen(address.value(), quint16(m_localPort))) {
        acceptByItself();
        return {};
    }
    const QAbstractSocket::SocketError error = m_server->serverError();
    return failure(error == QAbstractSocket::SocketAccessError
                       ? accessRefusedMessage(m_localPort, m_server->errorString())
                       : m_server->errorString(),
                   errorNumber(error));
}

const TcpServer::Connection *TcpServer::connection(int id) const
{
    if (id < 1 || id >= int(m_connections.size()) || !m_connections[id].connection)
        return nullptr;
    return &m_connections[id];
}

static Failure notOpen(int id)
{
    return failure(QStringLiteral("Connection %1 is not open").arg(id), TcpServer::NotConnected);
}

Result<QString> TcpServer::peerAddress(int id) const
{
    const Connection *c = connection(id);
    if (!c)
        return notOpen(id);
    return c->peerAddress;
}

Result<int> TcpServer::peerPort(int id) const
{
    const Connection *c = connection(id);
    if (!c)
        return notOpen(id);
    return c->peerPort;
}

qint64 TcpServer::pendingBytes(int id) const
{
    const Connection *c = connection(id);
    return c ? c->connection->pendingBytes() : 0;
}

Status TcpServer::sendText(int id, const QString &text)
{
    const Connection *c = connection(id);
    if (!c || !c->connection->isOpen())
        return notOpen(id);
    return c->connection->send(wireBytes(text));
}

int TcpServer::takeFreeId()
{
    if (m_openConnections >= m_maxConnectionId)
        return 0;
    for (;;) {
        // Going round rather than taking the lowest free id keeps a just-closed id unused
        // for as long as possible.
        m_lastId = m_lastId % m_maxConnectionId + 1;
        if (m_lastId >= int(m_connections.size()))
            m_connections.resize(m_lastId + 1);
        if (!m_connections[m_lastId].connection)
            return m_lastId;
    }
}

void TcpServer::acceptByItself()
{
    // Each connection lives on a descriptor of its own (TcpConnection). Qt's accept would
    // also take running out of descriptors for an empty queue and retry at once, without end.
    m_server->pauseAccepting();
    m_acceptNotifier =
        new QSocketNotifier(m_server->socketDescriptor(), QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &TcpServer::acceptWaiting);
}

void TcpServer::acceptWaiting()
{
    // A handler of the Connected event may stop or restart the row.
    for (int i = 0; i < AcceptBatch && m_acceptNotifier; ++i) {
        sockaddr_storage peer{};
        const int descriptor = acceptNonBlocking(int(m_server->socketDescriptor()), peer);
        if (descriptor < 0 && (errno == EINTR || errno == ECONNABORTED))
            continue;
        if (descriptor < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                m_acceptNotifier->setEnabled(false);
                m_acceptRetry->start();
            }
            return;
        }
        adopt(descriptor, peer);
    }
}

void TcpServer::adopt(int descriptor, const sockaddr_storage &peer)
{
    const int id = takeFreeId();
    if (id == 0) {
        // Every id is taken: a further connection could not be told apart, so refuse it.
        ::close(descriptor);
        return;
    }
    // So that a peer that vanished without a word is found out and its id freed.
    const int one = 1;
    ::setsockopt(descriptor, SOL_SOCKET, SO_KEEPALIVE, &one, sizeof one);
    const auto [address, port] = addressAndPort(peer);
    Connection &c = m_connections[id];
    c.connection = new TcpConnection(descriptor, this);
    c.peerAddress = addressText(address);
    c.peerPort = port;
    c.serial = ++m_lastSerial;
    ++m_openConnections;
    const quint64 serial = c.serial;
    connect(c.connection, &TcpConnection::received, this, [this, id](const QByteArray &bytes) {
        emit DataIn(m_index, qint16(id), QString::fromLatin1(bytes), int(bytes.size()));
    });
    connect(c.connection, &TcpConnection::ended, this,
            [this, id, serial] { connectionEnded(id, serial); });
    emit Connected(m_index, qint16(id), c.peerAddress, c.peerPort);
}

void TcpServer::connectionEnded(int id, quint64 serial)
{
    // The connection may be deep inside its own call (a failed send within a handler): finish
    // it from the event loop.
    QMetaObject::invokeMethod(
        this, [this, id, serial] { finishConnection(id, serial); }, Qt::QueuedConnection);
}

void TcpServer::finishConnection(int id, quint64 serial)
{
    if (!connection(id) || m_connections[id].serial != serial)
        return;
    Connection c = std::move(m_connections[id]);
    m_connections[id] = Connection{};
    --m_openConnections;
    c.connection->disconnect(this);
    c.connection->deleteLater(); // its descriptor is closed already
    emit Disconnected(m_index, qint16(id), c.peerAddress, c.peerPort);
}
