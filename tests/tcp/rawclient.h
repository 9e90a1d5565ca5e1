#pragma once

#include <QByteArray>
#include <QDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

// A loopback client on a plain descriptor: nothing is read unless the test reads, and it can
// end its sending alone (a half-close) or reset the connection.
class RawClient
{
public:
    // A small receive buffer keeps what the client does not read waiting on the server's side.
    explicit RawClient(int port, int receiveBuffer = 0)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_fd >= 0 && receiveBuffer > 0)
            ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(quint16(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (m_fd >= 0 && ::connect(m_fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0)
            close();
    }
    ~RawClient() { close(); }
    RawClient(const RawClient &) = delete;
    RawClient &operator=(const RawClient &) = delete;

    bool connected() const { return m_fd >= 0; }
    int localPort() const
    {
        sockaddr_in own{};
        socklen_t size = sizeof own;
        ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&own), &size);
        return ntohs(own.sin_port);
    }
    // Small pieces only: they must fit the socket's buffer at once.
    bool send(const QByteArray &bytes)
    {
        return ::send(m_fd, bytes.constData(), size_t(bytes.size()), MSG_DONTWAIT | MSG_NOSIGNAL) ==
               bytes.size();
    }
    bool endSending() { return ::shutdown(m_fd, SHUT_WR) == 0; }
    void reset()
    {
        const linger now{1, 0};
        ::setsockopt(m_fd, SOL_SOCKET, SO_LINGER, &now, sizeof now);
        close();
    }
    // Appends what has arrived to received; notes the server's end of the connection.
    void take()
    {
        char buffer[64 * 1024];
        while (m_fd >= 0 && !ended) {
            const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got > 0)
                received.append(buffer, got);
            else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR))
                ended = true;
            else if (errno != EINTR)
                return;
        }
    }
    // Server and client are in this process: finds the server's end of this connection
    // among its descriptors and makes its send buffer small. The kernel then holds few
    // replies, and the program's own queue the rest, whatever this machine's buffer tuning.
    bool shrinkServerSendBuffer(int bytes) const
    {
        const QStringList descriptors =
            QDir(QStringLiteral("/proc/self/fd"))
                .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
        for (const QString &name : descriptors) {
            const int fd = name.toInt();
            sockaddr_in peer{};
            socklen_t size = sizeof peer;
            if (fd != m_fd && ::getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &size) == 0 &&
                peer.sin_family == AF_INET && ntohs(peer.sin_port) == localPort())
                return ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bytes, sizeof bytes) == 0;
        }
        return false;
    }
    void close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    QByteArray received;
    bool ended = false;

private:
    int m_fd = -1;
};
