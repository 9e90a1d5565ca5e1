// Linux reads and sends a whole batch in one system call each: recvmmsg and sendmmsg.
#include "snmp/agent/datagramsocket_p.h"

#include <QUdpSocket>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

void describe(msghdr &header, sockaddr_storage *address, socklen_t length, iovec *vector)
{
    header = {};
    header.msg_name = address;
    header.msg_namelen = length;
    header.msg_iov = vector;
    header.msg_iovlen = 1;
}

} // namespace

struct DatagramSocket::SystemCalls
{
    int descriptor = -1;
    sockaddr_storage from[Batch]{};
    iovec vectors[Batch]{};
    mmsghdr headers[Batch]{};
};

DatagramSocket::SystemCallsPointer DatagramSocket::openSystemCalls(QUdpSocket &bound)
{
    // A descriptor of our own on the same socket, read without Qt's notifier in between.
    const int descriptor = ::fcntl(int(bound.socketDescriptor()), F_DUPFD_CLOEXEC, 0);
    if (descriptor < 0)
        return nullptr;
    SystemCallsPointer calls(new SystemCalls);
    calls->descriptor = descriptor;
    return calls;
}

void DatagramSocket::CloseSystemCalls::operator()(SystemCalls *calls) const
{
    ::close(calls->descriptor);
    delete calls;
}

int DatagramSocket::descriptorOf(const SystemCalls &calls)
{
    return calls.descriptor;
}

int DatagramSocket::receiveBySystem()
{
    Batches &b = *m_batches;
    SystemCalls &s = *m_system;
    for (int i = 0; i < Batch; ++i) {
        s.vectors[i] = {b.slot(i), size_t(SlotSize)};
        describe(s.headers[i].msg_hdr, &s.from[i], sizeof s.from[i], &s.vectors[i]);
    }
    const int count = ::recvmmsg(s.descriptor, s.headers, Batch, MSG_DONTWAIT, nullptr);
    for (int i = 0; i < count; ++i)
        b.sizes[i] = s.headers[i].msg_hdr.msg_flags & MSG_TRUNC ? -1 : s.headers[i].msg_len;
    return qMax(count, 0);
}

QList<Failure> DatagramSocket::flushBySystem(int queued)
{
    Batches &b = *m_batches;
    SystemCalls &s = *m_system;
    QList<Failure> failures;
    mmsghdr headers[Batch]{};
    iovec vectors[Batch]{};
    for (int k = 0; k < queued; ++k) {
        const int i = b.replyTo[k];
        vectors[k] = {b.out[k].data(), size_t(b.out[k].size())};
        describe(headers[k].msg_hdr, &s.from[i], s.headers[i].msg_hdr.msg_namelen, &vectors[k]);
    }
    for (int sent = 0; sent < queued;) {
        const int count = ::sendmmsg(s.descriptor, headers + sent, unsigned(queued - sent), 0);
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
