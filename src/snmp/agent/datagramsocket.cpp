#include "datagramsocket.h"

#include <QSocketNotifier>
#include <QUdpSocket>

#include <cerrno>
#include <cstring>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {
// Room for the largest datagram there is, so none is cut short.
constexpr qsizetype SlotSize = 65536;

#ifdef Q_OS_LINUX
void describe(msghdr &header, sockaddr_storage *address, socklen_t length, iovec *vector)
{
    header = {};
    header.msg_name = address;
    header.msg_namelen = length;
    header.msg_iov = vector;
    header.msg_iovlen = 1;
}
#endif
} // namespace

struct DatagramSocket::Batches
{
    // Not zeroed: a slot's pages are touched only as far as datagrams fill them.
    std::unique_ptr<char[]> in{new char[size_t(Batch) * SlotSize]};
    qsizetype sizes[Batch]{};
    int received = 0;
    QByteArray out[Batch];
    int replyTo[Batch]{};
    int queued = 0;
    QList<Failure> failures;
    // The path through Qt.
    QHostAddress senders[Batch];
    quint16 senderPorts[Batch]{};
#ifdef Q_OS_LINUX
    sockaddr_storage from[Batch]{};
    iovec vectors[Batch]{};
    mmsghdr headers[Batch]{};
#endif
};

DatagramSocket::DatagramSocket(QUdpSocket *bound, QObject *parent)
    : QObject(parent), m_batches(std::make_unique<Batches>()), m_localPort(bound->localPort())
{
#ifdef Q_OS_LINUX
    // A descriptor of our own on the same socket, read without Qt's notifier in between.
    m_descriptor = ::fcntl(int(bound->socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    if (m_descriptor >= 0) {
        delete bound;
        m_notifier = new QSocketNotifier(m_descriptor, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &DatagramSocket::readyRead);
        return;
    }
#endif
    m_socket = bound;
    m_socket->setParent(this);
    connect(m_socket, &QUdpSocket::readyRead, this, &DatagramSocket::readyRead);
}

DatagramSocket::~DatagramSocket()
{
    delete m_notifier; // before its descriptor goes
#ifdef Q_OS_LINUX
    if (m_descriptor >= 0)
        ::close(m_descriptor);
#endif
}

int DatagramSocket::receive()
{
    Batches &b = *m_batches;
    b.received = 0;
#ifdef Q_OS_LINUX
    if (m_descriptor >= 0) {
        for (int i = 0; i < Batch; ++i) {
            b.vectors[i] = {b.in.get() + i * SlotSize, size_t(SlotSize)};
            describe(b.headers[i].msg_hdr, &b.from[i], sizeof b.from[i], &b.vectors[i]);
        }
        const int count = ::recvmmsg(m_descriptor, b.headers, Batch, MSG_DONTWAIT, nullptr);
        for (int i = 0; i < count; ++i)
            b.sizes[i] = b.headers[i].msg_hdr.msg_flags & MSG_TRUNC ? -1 : b.headers[i].msg_len;
        b.received = qMax(count, 0);
        return b.received;
    }
#endif
    while (b.received < Batch && m_socket) {
        // Read until the socket says it has nothing more: asking first would cost a system
        // call per datagram.
        const int i = b.received;
        const qint64 size = m_socket->readDatagram(b.in.get() + i * SlotSize, SlotSize,
                                                   &b.senders[i], &b.senderPorts[i]);
        if (size < 0 && m_socket->error() == QAbstractSocket::TemporaryError)
            break;
        b.sizes[i] = size;
        ++b.received;
    }
    return b.received;
}

QByteArrayView DatagramSocket::datagram(int i) const
{
    const Batches &b = *m_batches;
    if (i < 0 || i >= b.received || b.sizes[i] < 0)
        return {};
    return QByteArrayView(b.in.get() + i * SlotSize, b.sizes[i]);
}

void DatagramSocket::reply(int i, QByteArrayView bytes)
{
    Batches &b = *m_batches;
    if (b.queued == Batch)
        b.failures += flush();
    b.out[b.queued].resize(bytes.size());
    std::memcpy(b.out[b.queued].data(), bytes.data(), size_t(bytes.size()));
    b.replyTo[b.queued] = i;
    ++b.queued;
}

QList<Failure> DatagramSocket::flush()
{
    Batches &b = *m_batches;
    QList<Failure> failures = std::exchange(b.failures, {});
    const int queued = std::exchange(b.queued, 0);
#ifdef Q_OS_LINUX
    if (m_descriptor >= 0) {
        mmsghdr headers[Batch]{};
        iovec vectors[Batch]{};
        for (int k = 0; k < queued; ++k) {
            const int i = b.replyTo[k];
            vectors[k] = {b.out[k].data(), size_t(b.out[k].size())};
            describe(headers[k].msg_hdr, &b.from[i], b.headers[i].msg_hdr.msg_namelen, &vectors[k]);
        }
        for (int sent = 0; sent < queued;) {
            const int count = ::sendmmsg(m_descriptor, headers + sent, unsigned(queued - sent), 0);
            if (count > 0) {
                sent += count;
                continue;
            }
            if (count < 0 && errno == EINTR)
                continue;
            // The first of those left was refused: report it and go on with the others.
            const int error = count < 0 ? errno : EIO;
            failures.append(Failure{10000 + error, QString::fromLocal8Bit(std::strerror(error))});
            ++sent;
        }
        return failures;
    }
#endif
    for (int k = 0; k < queued && m_socket; ++k) {
        const int i = b.replyTo[k];
        if (m_socket->writeDatagram(b.out[k], b.senders[i], b.senderPorts[i]) < 0)
            failures.append(Failure{10000 + int(m_socket->error()), m_socket->errorString()});
    }
    return failures;
}
