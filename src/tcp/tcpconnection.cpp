#include "tcpconnection.h"

#include <QPointer>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {
#ifdef MSG_NOSIGNAL
constexpr int SendFlags = MSG_NOSIGNAL;
#else
constexpr int SendFlags = 0; // SO_NOSIGPIPE on the descriptor instead
#endif

bool wouldBlock()
{
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}
} // namespace

TcpConnection::TcpConnection(int descriptor, QObject *parent)
    : QObject(parent), m_descriptor(descriptor),
      m_readNotifier(new QSocketNotifier(descriptor, QSocketNotifier::Read, this)),
      m_writeNotifier(new QSocketNotifier(descriptor, QSocketNotifier::Write, this))
{
#if !defined(MSG_NOSIGNAL) && defined(SO_NOSIGPIPE)
    const int one = 1;
    ::setsockopt(descriptor, SOL_SOCKET, SO_NOSIGPIPE, &one, sizeof one);
#endif
    m_writeNotifier->setEnabled(false);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &TcpConnection::readSome);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &TcpConnection::writeSome);
}

TcpConnection::~TcpConnection()
{
    closeDescriptor();
}

Status TcpConnection::send(const QByteArray &bytes)
{
    if (!isOpen())
        return failure(QString::fromLocal8Bit(std::strerror(ENOTCONN)), 10057);
    if (bytes.isEmpty())
        return {};
    m_queue.push_back(bytes);
    m_pending += bytes.size();
    // Straight to the kernel when nothing waits before it: waiting for the write notifier
    // would cost a turn of the event loop per reply.
    if (m_queue.size() == 1) {
        if (const int error = flush()) {
            end();
            return failure(QString::fromLocal8Bit(std::strerror(error)), 10054);
        }
    }
    updateNotifiers();
    return {};
}

int TcpConnection::flush()
{
    while (!m_queue.empty()) {
        const QByteArray &front = m_queue.front();
        const ssize_t sent = ::send(m_descriptor, front.constData() + m_frontSent,
                                    size_t(front.size() - m_frontSent), SendFlags);
        if (sent < 0)
            return wouldBlock() ? 0 : errno;
        m_frontSent += sent;
        m_pending -= sent;
        if (m_frontSent == front.size()) {
            m_queue.pop_front();
            m_frontSent = 0;
        }
    }
    return 0;
}

void TcpConnection::readSome()
{
    // A handler that runs a nested event loop (a message box) must not get this connection's
    // next data inside it, ahead of its own reply.
    if (m_delivering) {
        m_readNotifier->setEnabled(false);
        return;
    }
    static char buffer[ReadChunkBytes]; // copied out before any handler runs
    const ssize_t got = ::recv(m_descriptor, buffer, sizeof buffer, 0);
    if (got < 0) {
        if (!wouldBlock())
            end(); // reset by the peer
        return;
    }
    if (got == 0) {
        // The peer sends no more but may still read: what is queued for it goes out first.
        m_peerDone = true;
        if (m_queue.empty())
            end();
        else
            updateNotifiers();
        return;
    }
    m_delivering = true;
    const QPointer<TcpConnection> alive(this);
    emit received(QByteArray(buffer, got));
    if (!alive)
        return;
    m_delivering = false;
    updateNotifiers();
}

void TcpConnection::writeSome()
{
    if (flush() != 0 || (m_queue.empty() && m_peerDone))
        end();
    else
        updateNotifiers();
}

void TcpConnection::updateNotifiers()
{
    if (!isOpen())
        return;
    m_readNotifier->setEnabled(!m_peerDone && !m_delivering && m_pending <= ReplyBacklogBytes);
    m_writeNotifier->setEnabled(!m_queue.empty());
}

void TcpConnection::closeDescriptor()
{
    if (!isOpen())
        return;
    // Notifiers go quiet before their descriptor closes and its number can be reused.
    m_readNotifier->setEnabled(false);
    m_writeNotifier->setEnabled(false);
    ::close(m_descriptor);
    m_descriptor = -1;
    m_queue.clear();
    m_frontSent = 0;
    m_pending = 0;
}

void TcpConnection::end()
{
    if (!isOpen())
        return;
    closeDescriptor();
    emit ended();
}
