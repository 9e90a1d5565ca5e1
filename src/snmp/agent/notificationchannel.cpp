#include "notificationchannel.h"

#include <QScopedValueRollback>
#include <QSocketNotifier>

#include <memory>

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Datagrams read per wake-up: a flood of answers cannot hold the event loop.
constexpr int ReadsPerWake = 64;
constexpr int LargestDatagram = 65535;
#ifdef __linux__
// Datagrams read per system call.
constexpr int ReadBatch = 16;
constexpr size_t SlotSize = 65536;
#endif

socklen_t toSockaddr(const QHostAddress &address, quint16 port, sockaddr_storage &out)
{
    out = {};
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&out);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::copy(std::begin(bytes.c), std::end(bytes.c), in6->sin6_addr.s6_addr);
        in6->sin6_scope_id = address.scopeId().toUInt();
        return sizeof(sockaddr_in6);
    }
    auto *in4 = reinterpret_cast<sockaddr_in *>(&out);
    in4->sin_family = AF_INET;
    in4->sin_port = htons(port);
    in4->sin_addr.s_addr = htonl(address.toIPv4Address());
    return sizeof(sockaddr_in);
}

Failure systemFailure(const char *what)
{
    return Failure{
        10000 + errno,
        QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno)))};
}

} // namespace

NotificationChannel::NotificationChannel(QObject *parent) : QObject(parent) {}

NotificationChannel::~NotificationChannel()
{
    close();
}

Status NotificationChannel::open(const QHostAddress &local, const QHostAddress &destination,
                                 quint16 port)
{
    close();
    const bool v6 = destination.protocol() == QAbstractSocket::IPv6Protocol;
    const int descriptor =
        ::socket(v6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (descriptor < 0)
        return systemFailure("socket");
    sockaddr_storage address;
    // From the row's own address, so the manager sees the notification come from the agent.
    if (local.protocol() == destination.protocol() && !local.isNull() &&
        local != QHostAddress::AnyIPv4 && local != QHostAddress::AnyIPv6) {
        const socklen_t length = toSockaddr(local, 0, address);
        if (::bind(descriptor, reinterpret_cast<sockaddr *>(&address), length) < 0) {
            const Failure failed = systemFailure("bind");
            ::close(descriptor);
            return failed;
        }
    }
    const socklen_t length = toSockaddr(destination, port, address);
    if (::connect(descriptor, reinterpret_cast<sockaddr *>(&address), length) < 0) {
        const Failure failed = systemFailure("connect");
        ::close(descriptor);
        return failed;
    }
    m_descriptor = descriptor;
    m_notifier = new QSocketNotifier(descriptor, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &NotificationChannel::readWaiting);
    return {};
}

void NotificationChannel::close()
{
    if (m_descriptor < 0)
        return;
    flush();           // what was counted as sent goes
    delete m_notifier; // before its descriptor goes
    m_notifier = nullptr;
    ::close(m_descriptor);
    m_descriptor = -1;
}

bool NotificationChannel::takeRefusal(int error)
{
    if (error != ECONNREFUSED)
        return false;
    emit refused();
    return true;
}

bool NotificationChannel::send(QByteArrayView datagram)
{
    if (m_descriptor < 0)
        return false;
    for (int tries = 0; tries < 2; ++tries) {
        if (::send(m_descriptor, datagram.data(), size_t(datagram.size()), MSG_DONTWAIT) >= 0)
            return true;
        // A refusal of an earlier datagram surfaces here: this one may still go.
        if (!takeRefusal(errno))
            return false;
    }
    return false;
}

int NotificationChannel::send(std::span<const QByteArray> datagrams)
{
    if (m_descriptor < 0)
        return 0;
#ifdef __linux__
    constexpr size_t Batch = 256;
    mmsghdr headers[Batch];
    iovec vectors[Batch];
    int sent = 0;
    int interruptions = 0;
    while (size_t(sent) < datagrams.size()) {
        const size_t count = std::min(Batch, datagrams.size() - size_t(sent));
        for (size_t i = 0; i < count; ++i) {
            const QByteArray &datagram = datagrams[size_t(sent) + i];
            vectors[i] = {const_cast<char *>(datagram.constData()), size_t(datagram.size())};
            headers[i] = {};
            headers[i].msg_hdr.msg_iov = &vectors[i];
            headers[i].msg_hdr.msg_iovlen = 1;
        }
        const int went = ::sendmmsg(m_descriptor, headers, unsigned(count), MSG_DONTWAIT);
        if (went > 0) {
            sent += went;
            continue;
        }
        // A refusal of an earlier datagram surfaces here once; the batch may still go.
        if (went < 0 && ++interruptions <= 2 && (errno == EINTR || takeRefusal(errno)))
            continue;
        break;
    }
    return sent;
#else
    int sent = 0;
    for (const QByteArray &datagram : datagrams) {
        if (!send(datagram))
            break;
        ++sent;
    }
    return sent;
#endif
}

void NotificationChannel::queue(const QByteArray &datagram)
{
    if (m_queued.isEmpty())
        QMetaObject::invokeMethod(this, &NotificationChannel::flush, Qt::QueuedConnection);
    m_queued.append(datagram);
}

void NotificationChannel::flush()
{
    const QList<QByteArray> queued = std::exchange(m_queued, {});
    const int sent = send(queued);
    if (sent < queued.size())
        emit notSent(int(queued.size()) - sent);
}

void NotificationChannel::readWaiting()
{
#ifdef __linux__
    // The thread's channels share the slots; a handler running events that brings one here
    // again finds them in use and reads one datagram at a time.
    thread_local bool spaceInUse = false;
    if (!spaceInUse) {
        const QScopedValueRollback inUse(spaceInUse, true);
        readBatches();
        return;
    }
#endif
    QByteArray buffer(LargestDatagram, Qt::Uninitialized);
    for (int read = 0; read < ReadsPerWake && m_descriptor >= 0; ++read) {
        const ssize_t size =
            ::recv(m_descriptor, buffer.data(), size_t(buffer.size()), MSG_DONTWAIT | MSG_TRUNC);
        if (size < 0) {
            if (errno == EINTR || takeRefusal(errno))
                continue;
            return;
        }
        if (size <= buffer.size())
            emit received(QByteArrayView(buffer.constData(), size));
    }
}

#ifdef __linux__
void NotificationChannel::readBatches()
{
    // Each slot holds the largest datagram; the pages the system writes nothing into stay
    // untouched.
    thread_local const std::unique_ptr<char[]> space(new char[size_t(ReadBatch) * SlotSize]);
    iovec vectors[ReadBatch];
    mmsghdr headers[ReadBatch];
    for (int read = 0; read < ReadsPerWake && m_descriptor >= 0;) {
        for (int i = 0; i < ReadBatch; ++i) {
            vectors[i] = {space.get() + size_t(i) * SlotSize, SlotSize};
            headers[i] = {};
            headers[i].msg_hdr.msg_iov = &vectors[i];
            headers[i].msg_hdr.msg_iovlen = 1;
        }
        const int count = ::recvmmsg(m_descriptor, headers, ReadBatch, MSG_DONTWAIT, nullptr);
        if (count < 0) {
            if (errno == EINTR || takeRefusal(errno)) {
                ++read;
                continue;
            }
            return;
        }
        for (int i = 0; i < count && m_descriptor >= 0; ++i) {
            if (!(headers[i].msg_hdr.msg_flags & MSG_TRUNC))
                emit received(QByteArrayView(space.get() + size_t(i) * SlotSize,
                                             qsizetype(headers[i].msg_len)));
        }
        read += count;
        // Fewer than asked for: nothing is left.
        if (count < ReadBatch)
            return;
    }
}
#endif
