#pragma once

#include <string>
#include <thread>

// The smallest reply server epoll allows, on a thread of its own: every read on a connection
// is answered with a fixed text. The yardstick for the listener rows.
class EpollReplyServer
{
public:
    explicit EpollReplyServer(std::string reply) : m_reply(std::move(reply)) {}
    ~EpollReplyServer() { stop(); }

    // Listens on 127.0.0.1; returns the port, or 0 on failure.
    int start();
    void stop();

private:
    void run();

    std::string m_reply;
    int m_listener = -1;
    int m_epoll = -1;
    int m_wake = -1;
    std::thread m_thread;
};
