#include "notificationchannel.h"

#include <QSocketNotifier>

#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Datagrams read per wake-up: a flood of answers cannot hold the event loop.
constexpr int ReadsPerWake = 64;
constexpr int LargestDatagram = 65535;

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

void NotificationChannel::readWaiting()
{
    m_buffer.resize(LargestDatagram);
    for (int read = 0; read < ReadsPerWake && m_descriptor >= 0; ++read) {
        const ssize_t size = ::recv(m_descriptor, m_buffer.data(), size_t(m_buffer.size()),
                                    MSG_DONTWAIT | MSG_TRUNC);
        if (size < 0) {
            if (errno == EINTR)
                continue;
            if (takeRefusal(errno))
                continue;
            return;
        }
        if (size <= m_buffer.size())
            emit received(QByteArrayView(m_buffer.constData(), size));
    }
}
