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

// Sends every datagram the headers describe; one the system refuses is reported and skipped.
QList<Failure> sendAll(int descriptor, mmsghdr *headers, int count)
{
    QList<Failure> failures;
    for (int sent = 0; sent < count;) {
        const int done = ::sendmmsg(descriptor, headers + sent, unsigned(count - sent), 0);
        if (done > 0) {
            sent += done;
            continue;
        }
        if (done < 0 && errno == EINTR)
            continue;
        const int error = done < 0 ? errno : EIO;
        failures.append(Failure{10000 + error, QString::fromLocal8Bit(std::strerror(error))});
        ++sent;
    }
    return failures;
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
    mmsghdr headers[Batch]{};
    iovec vectors[Batch]{};
    for (int k = 0; k < queued; ++k) {
        const int i = b.replyTo[k];
        vectors[k] = {b.out[k].data(), size_t(b.out[k].size())};
        describe(headers[k].msg_hdr, &s.from[i], s.headers[i].msg_hdr.msg_namelen, &vectors[k]);
    }
    return sendAll(s.descriptor, headers, queued);
}

DatagramSocket::SystemReply DatagramSocket::heldBySystem(int i, QByteArrayView bytes,
                                                         int copies) const
{
    static_assert(sizeof(sockaddr_storage) <= sizeof(SystemReply::to) &&
                  alignof(sockaddr_storage) <= alignof(SystemReply));
    const SystemCalls &s = *m_system;
    SystemReply reply;
    reply.toLength = s.headers[i].msg_hdr.msg_namelen;
    std::memcpy(reply.to, &s.from[i], reply.toLength);
    reply.bytes = bytes.toByteArray();
    reply.copies = copies;
    return reply;
}

QList<Failure> DatagramSocket::sendBySystem(std::span<const SystemReply> replies)
{
    // Room for every reply sent twice.
    mmsghdr headers[2 * Batch]{};
    iovec vectors[2 * Batch]{};
    int count = 0;
    for (const SystemReply &reply : replies) {
        for (int copy = 0; copy < reply.copies && count < 2 * Batch; ++copy, ++count) {
            vectors[count] = {const_cast<char *>(reply.bytes.constData()),
                              size_t(reply.bytes.size())};
            describe(headers[count].msg_hdr,
                     reinterpret_cast<sockaddr_storage *>(const_cast<char *>(reply.to)),
                     reply.toLength, &vectors[count]);
        }
    }
    return sendAll(m_system->descriptor, headers, count);
}
