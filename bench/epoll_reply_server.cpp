#include "epoll_reply_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

int EpollReplyServer::start()
{
    m_listener = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    if (m_listener < 0 || bind(m_listener, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0 ||
        listen(m_listener, 1024) != 0 ||
        getsockname(m_listener, reinterpret_cast<sockaddr *>(&at), &length) != 0)
        return 0;
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    m_wake = eventfd(0, EFD_CLOEXEC);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = m_listener;
    epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_listener, &event);
    event.data.fd = m_wake;
    epoll_ctl(m_epoll, EPOLL_CTL_ADD, m_wake, &event);
    m_thread = std::thread([this] { run(); });
    return ntohs(at.sin_port);
}

void EpollReplyServer::stop()
{
    if (!m_thread.joinable())
        return;
    const std::uint64_t one = 1;
    (void)write(m_wake, &one, sizeof one);
    m_thread.join();
    close(m_listener);
    close(m_epoll);
    close(m_wake);
}

void EpollReplyServer::run()
{
    epoll_event events[256];
    char buffer[64 * 1024];
    for (;;) {
        const int count = epoll_wait(m_epoll, events, 256, -1);
        for (int i = 0; i < count; ++i) {
            const int fd = events[i].data.fd;
            if (fd == m_wake)
                return;
            if (fd == m_listener) {
                int client;
                while ((client = accept4(m_listener, nullptr, nullptr,
                                         SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
                    epoll_event event{};
                    event.events = EPOLLIN;
                    event.data.fd = client;
                    epoll_ctl(m_epoll, EPOLL_CTL_ADD, client, &event);
                }
                continue;
            }
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n > 0) {
                (void)send(fd, m_reply.data(), m_reply.size(), MSG_NOSIGNAL);
            } else if (n == 0 || errno != EAGAIN) {
                close(fd); // closing also takes it out of the epoll set
            }
        }
    }
}
