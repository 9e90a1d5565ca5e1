#include "loopbackclient.h"
#include "support/testwindow.h"
#include "tcp/tcpserver.h"
#include "tcp/tcpservicepage.h"
#include "tcp/tcpservices.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

class TstTcpLoad : public QObject
{
    Q_OBJECT
private slots:
    void thousandConcurrentConnectionsAllAnsweredNoneLeft();
};

namespace {
constexpr int Clients = 1000;
using Clock = std::chrono::steady_clock;

int openDescriptors() { return int(QDir(QStringLiteral("/proc/self/fd")).count()); }

// Blocking clients on their own thread: all connect, all send, all read their reply, and
// only then, once told to, all close.
struct ClientCrowd
{
    int port = 0;
    std::atomic<int> connected{0};
    std::atomic<int> answered{0};
    std::atomic<bool> allOpen{false};
    std::atomic<bool> release{false};
    std::atomic<bool> done{false};
    std::thread thread;

    void run()
    {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        std::vector<int> fds;
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(quint16(port));
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        for (int i = 0; i < Clients; ++i) {
            const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            if (fd < 0)
                break;
            fds.push_back(fd);
            if (::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0)
                break;
            ++connected;
        }
        for (int fd : fds)
            (void)::send(fd, "GET /", 5, MSG_NOSIGNAL);
        for (int fd : fds) {
            QByteArray reply;
            while (reply.size() < 12 && Clock::now() < deadline) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, 100) <= 0)
                    continue;
                char buffer[64];
                const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                reply.append(buffer, n);
            }
            if (reply == "HTTP/1.1 200")
                ++answered;
        }
        allOpen = true;
        while (!release && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        for (int fd : fds)
            ::close(fd);
        done = true;
    }

    ~ClientCrowd()
    {
        release = true;
        if (thread.joinable())
            thread.join();
    }
};
} // namespace

void TstTcpLoad::thousandConcurrentConnectionsAllAnsweredNoneLeft()
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    if (limit.rlim_cur < 2 * Clients + 100)
        QSKIP("too few file descriptors allowed for a thousand connections");

    TestWindow test;
    FrmMain &window = test.open();
    TcpServicePage &page = *window.tcpService;
    ClientCrowd crowd;
    crowd.port = freePort();
    page.txtTcpIpAddr[0]->setText(QStringLiteral("127.0.0.1"));
    page.txtTcpPort[0]->setText(QString::number(crowd.port));
    page.cmdTcpControl[0]->click();
    QCOMPARE(page.txtTcpStatus[0]->text(), QStringLiteral("Started"));
    TcpServer &server = *window.tcpServices->tcpServer[0];
    QSignalSpy connectedEvents(&server, &TcpServer::Connected);
    QSignalSpy dataEvents(&server, &TcpServer::DataIn);
    QSignalSpy disconnectedEvents(&server, &TcpServer::Disconnected);
    const int descriptorsIdle = openDescriptors();

    crowd.thread = std::thread([&crowd] { crowd.run(); });
    QTRY_VERIFY_WITH_TIMEOUT(crowd.allOpen, 25000);
    QCOMPARE(crowd.connected.load(), Clients);
    QCOMPARE(crowd.answered.load(), Clients);
    QCOMPARE(server.openConnections(), Clients);
    QCOMPARE(dataEvents.size(), Clients);

    crowd.release = true;
    QTRY_VERIFY_WITH_TIMEOUT(crowd.done, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 0, 10000);
    QCOMPARE(connectedEvents.size(), Clients);
    QCOMPARE(disconnectedEvents.size(), Clients);
    QTRY_COMPARE(openDescriptors(), descriptorsIdle);
    QVERIFY(test.messages.texts.isEmpty());
}

QTEST_MAIN(TstTcpLoad)
#include "tst_tcpload.moc"
