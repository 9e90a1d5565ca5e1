#include "tcpserver.h"

#include "common/listenaddress.h"
#include "common/reservedport.h"

#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstring>

namespace {
// Bounds what one connection can make us hold: received bytes not yet handed on, and replies
// not yet taken by a peer that sends but does not read. Past the reply limit the connection
// is not read until the peer has caught up.
constexpr qint64 ReadChunkBytes = 64 * 1024;
constexpr qint64 ReplyBacklogBytes = 1024 * 1024;
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
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    default:
        return TcpServer::InvalidArgument;
    }
}

// A reply goes straight to the kernel when nothing is queued before it: the socket's own
// buffered write would cost a posted event and an extra turn of the event loop per reply.
// Returns the bytes taken (what is left is for the socket to queue), or -1 on a broken
// connection.
qint64 sendDirectly(QTcpSocket &socket, const QByteArray &bytes)
{
#if defined(Q_OS_UNIX) && defined(MSG_NOSIGNAL)
    if (socket.bytesToWrite() > 0)
        return 0;
    const ssize_t sent = ::send(int(socket.socketDescriptor()), bytes.constData(),
                                size_t(bytes.size()), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent >= 0)
        return sent;
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return 0;
    return -1;
#else
    Q_UNUSED(socket);
    Q_UNUSED(bytes);
    return 0;
#endif
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
    connect(m_server, &QTcpServer::newConnection, this, &TcpServer::acceptPending);
    // One retry pending at a time: a timer per refusal would multiply the retries.
    m_acceptRetry->setSingleShot(true);
    m_acceptRetry->setInterval(AcceptRetryMs);
    connect(m_server, &QTcpServer::acceptError, this, [this] {
        if (!m_acceptRetry->isActive())
            m_acceptRetry->start();
    });
    connect(m_acceptRetry, &QTimer::timeout, this, [this] {
        if (m_acceptNotifier)
            m_acceptNotifier->setEnabled(true);
        else if (m_server->isListening())
            m_server->resumeAccepting();
    });
}

TcpServer::~TcpServer()
{
    delete m_acceptNotifier; // before the listener's descriptor goes
    for (Connection &c : m_connections) {
        if (c.socket) {
            c.socket->disconnect(this);
            delete c.socket;
        }
    }
}

bool TcpServer::listening() const { return m_server->isListening(); }

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
    if (id < 1 || id >= int(m_connections.size()) || !m_connections[id].socket)
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
    return c ? c->socket->bytesToWrite() : 0;
}

Status TcpServer::sendText(int id, const QString &text)
{
    const Connection *c = connection(id);
    if (!c || c->socket->state() != QAbstractSocket::ConnectedState)
        return notOpen(id);
    const QByteArray bytes = wireBytes(text);
    if (bytes.isEmpty())
        return {};
    QTcpSocket *socket = c->socket;
    const qint64 sentNow = sendDirectly(*socket, bytes);
    if (sentNow < 0)
        return failure(QString::fromLocal8Bit(std::strerror(errno)), 10054);
    if (sentNow == bytes.size())
        return {};
    if (socket->write(bytes.constData() + sentNow, bytes.size() - sentNow)
        != bytes.size() - sentNow)
        return failure(socket->errorString(), errorNumber(socket->error()));
    return {};
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
        if (!m_connections[m_lastId].socket)
            return m_lastId;
    }
}

void TcpServer::acceptByItself()
{
#ifdef Q_OS_LINUX
    // Qt's accept keeps the first error it meets: once it has seen an empty queue it takes
    // running out of descriptors for an empty queue and retries at once, without end.
    m_server->pauseAccepting();
    m_acceptNotifier =
        new QSocketNotifier(m_server->socketDescriptor(), QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &TcpServer::acceptWaiting);
#endif
}

void TcpServer::acceptWaiting()
{
#ifdef Q_OS_LINUX
    // A handler of the Connected event may stop or restart the row.
    for (int i = 0; i < AcceptBatch && m_acceptNotifier; ++i) {
        const int descriptor =
            ::accept4(int(m_server->socketDescriptor()), nullptr, nullptr, SOCK_CLOEXEC);
        if (descriptor < 0 && (errno == EINTR || errno == ECONNABORTED))
            continue;
        if (descriptor < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                m_acceptNotifier->setEnabled(false);
                m_acceptRetry->start();
            }
            return;
        }
        auto *socket = new QTcpSocket(this);
        if (socket->setSocketDescriptor(descriptor)) {
            adopt(socket);
        } else {
            ::close(descriptor);
            delete socket;
        }
    }
#endif
}

void TcpServer::acceptPending()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection())
        adopt(socket);
}

void TcpServer::adopt(QTcpSocket *socket)
{
    const int id = takeFreeId();
    if (id == 0) {
        // Every id is taken: a further connection could not be told apart, so refuse it.
        socket->abort();
        socket->deleteLater();
        return;
    }
    socket->setParent(this);
    socket->setReadBufferSize(ReadChunkBytes);
    // So that a peer that vanished without a word is found out and its id freed.
    socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
    Connection &c = m_connections[id];
    c.socket = socket;
    c.peerAddress = addressText(socket->peerAddress());
    c.peerPort = socket->peerPort();
    c.serial = ++m_lastSerial;
    ++m_openConnections;
    const quint64 serial = c.serial;
    connect(socket, &QTcpSocket::readyRead, this, [this, id] { deliverData(id); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, id] { deliverData(id); });
    connect(socket, &QTcpSocket::disconnected, this,
            [this, id, serial] { connectionEnded(id, serial); });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [this, id, serial](QAbstractSocket::SocketError error) {
                // A peer's orderly close lets our pending replies go out first.
                if (error != QAbstractSocket::RemoteHostClosedError)
                    connectionEnded(id, serial);
            });
    emit Connected(m_index, qint16(id), c.peerAddress, c.peerPort);
}

void TcpServer::deliverData(int id)
{
    const Connection *c = connection(id);
    if (!c)
        return;
    QTcpSocket *socket = c->socket;
    if (socket->bytesAvailable() == 0 || socket->bytesToWrite() > ReplyBacklogBytes)
        return;
    const QByteArray bytes = socket->readAll();
    emit DataIn(m_index, qint16(id), QString::fromLatin1(bytes), int(bytes.size()));
}

void TcpServer::connectionEnded(int id, quint64 serial)
{
    // The socket may be deep inside its own call (a failed send within a handler): finish
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
    c.socket->disconnect(this);
    if (c.socket->state() != QAbstractSocket::UnconnectedState)
        c.socket->abort();
    c.socket->deleteLater();
    emit Disconnected(m_index, qint16(id), c.peerAddress, c.peerPort);
}
