#pragma once

#include <QByteArrayView>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cstddef>
#include <vector>

// The benchmarks' own receivers read datagrams the way a fast manager does: a batch per system
// call, each datagram in a slot of its own with its sender, ready to be sent back as it stands.
class BatchedReceive
{
public:
    static constexpr int Batch = 64;
    static constexpr std::size_t SlotSize = 2048;

    BatchedReceive() : m_buffers(Batch * SlotSize) {}

    // Waits up to `ms` for datagrams and reads what one call takes; 0 when none came. Each
    // slot's length is then its datagram's.
    int read(int fd, int ms)
    {
        pollfd poller{fd, POLLIN, 0};
        if (::poll(&poller, 1, ms) <= 0)
            return 0;
        for (int i = 0; i < Batch; ++i) {
            vectors[i] = {m_buffers.data() + std::size_t(i) * SlotSize, SlotSize};
            headers[i] = {};
            headers[i].msg_hdr.msg_name = &m_from[i];
            headers[i].msg_hdr.msg_namelen = sizeof m_from[i];
            headers[i].msg_hdr.msg_iov = &vectors[i];
            headers[i].msg_hdr.msg_iovlen = 1;
        }
        const int received = ::recvmmsg(fd, headers, Batch, MSG_DONTWAIT, nullptr);
        for (int i = 0; i < received; ++i)
            vectors[i].iov_len = headers[i].msg_len;
        return received > 0 ? received : 0;
    }

    QByteArrayView datagram(int i) const
    {
        return QByteArrayView(static_cast<const char *>(vectors[i].iov_base),
                              qsizetype(vectors[i].iov_len));
    }

    // Addressed to their senders: sendmmsg takes the first `count` back as they are.
    mmsghdr headers[Batch];
    iovec vectors[Batch];

private:
    std::vector<char> m_buffers;
    sockaddr_in m_from[Batch];
};
