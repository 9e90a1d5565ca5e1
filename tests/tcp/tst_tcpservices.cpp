#include "app/helppage.h"
#include "common/core/openfilelimit.h"
#include "snmp/ui/snmpagentpage.h"
#include "support/testwindow.h"
#include "tcp/tcpconnection.h"
#include "tcp/tcpserver.h"
#include "tcp/tcpservicepage.h"
#include "tcp/tcpservices.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

class TstTcpServices : public QObject
{
    Q_OBJECT
private slots:
    void rowsRefuseWhereNoClientReachesThem_data();
    void rowsRefuseWhereNoClientReachesThem();
    void oneClientThroughARowsStopAndStartAnsweredAndTraced();
    void idsAndAPeerThatDoesNotRead();
    void everyReplyWholeAndInOrder_data();
    void everyReplyWholeAndInOrder();
    void aRowTracesTheDisconnectionAfterTheLastReply();
    void noDataInsideAHandlersNestedLoop();
    void thousandConnectionsPastTheDescriptorLimitAnsweredNoneLeft();
};

namespace {
constexpr int Requests = 100;
constexpr int RequestSize = 8;
constexpr int ReplySize = 32000;
// The kernel's buffers on both ends hold a few replies at most, the program's queue the rest.
constexpr int SmallBuffer = 64 * 1024;

int freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

bool listenOnLoopback(TcpServer &server)
{
    server.setLocalAddress(QStringLiteral("127.0.0.1"));
    server.setLocalPort(freePort());
    return server.setListening(true).ok();
}

// The kernel completes the handshake; the listener accepts once the event loop runs.
bool connectTo(QTcpSocket &client, int port)
{
    client.connectToHost(QHostAddress::LocalHost, quint16(port));
    return client.waitForConnected(3000);
}

bool send(QTcpSocket &client, const QByteArray &bytes)
{
    return client.write(bytes) == bytes.size() && client.flush();
}

// Appends what has arrived; true once the server has ended the connection.
bool take(QTcpSocket &client, QByteArray &received)
{
    received += client.readAll();
    return client.state() == QAbstractSocket::UnconnectedState;
}

// Ends the client's sending alone, as a half-close does.
bool endSending(const QTcpSocket &client)
{
    return ::shutdown(int(client.socketDescriptor()), SHUT_WR) == 0;
}

// The client's next close sends a reset instead of an orderly end.
void resetOnClose(const QTcpSocket &client)
{
    const linger now{1, 0};
    setsockopt(int(client.socketDescriptor()), SOL_SOCKET, SO_LINGER, &now, sizeof now);
}

// Sends the piece, if any, and returns what arrives until size bytes came or the time is up.
QByteArray exchange(QTcpSocket &client, const QByteArray &piece, qsizetype size)
{
    client.write(piece);
    QByteArray bytes;
    const auto arrived = [&] { return (bytes += client.readAll()).size() >= qMax(size, 1); };
    (void)QTest::qWaitFor(arrived, size ? 3000 : 200);
    return bytes;
}

QStringList descriptors()
{
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
}

// Little room on both ends of a connection, whatever this machine's buffer tuning: the client
// keeps little of what it does not read, and the server's end, found among this process's
// descriptors, holds few replies in the kernel. The program's own queue holds the rest.
bool shrinkBuffers(QTcpSocket &client)
{
    client.setReadBufferSize(SmallBuffer);
    client.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, SmallBuffer);
    for (const QString &name : descriptors()) {
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        if (::getpeername(name.toInt(), reinterpret_cast<sockaddr *>(&peer), &size) == 0 &&
            peer.sin_family == AF_INET && ntohs(peer.sin_port) == client.localPort())
            return setsockopt(name.toInt(), SOL_SOCKET, SO_SNDBUF, &SmallBuffer,
                              sizeof SmallBuffer) == 0;
    }
    return false;
}

void startRow(QLineEdit *addressBox, QLineEdit *portBox, QPushButton *button,
              const QString &address, const QString &port)
{
    addressBox->setText(address);
    portBox->setText(port);
    button->click();
}

// Opens the window and starts its first TCP row on loopback, traced if asked.
TcpServicePage &startRow(TestWindow &test, int port, bool traced = false)
{
    FrmMain &window = test.open();
    if (traced) {
        window.help->chkDebugMode->setChecked(true);
        window.chkDebugMode_Click();
    }
    TcpServicePage &page = *window.tcpService;
    startRow(page.txtTcpIpAddr[0], page.txtTcpPort[0], page.cmdTcpControl[0], "127.0.0.1",
             QString::number(port));
    return page;
}

QString tracePath(const TestWindow &test, int port)
{
    return test.traceFolder() + "/Tcp_127.0.0.1_" + QString::number(port) + ".txt";
}

// Each record's stamp replaced by '@'.
QString traceOf(const TestWindow &test, int port)
{
    static const QRegularExpression stamp(QStringLiteral("(^|\r\n)[0-2]\\d:[0-5]\\d:[0-5]\\d"));
    return QString::fromLatin1(readFile(tracePath(test, port))).replace(stamp, "\\1@");
}

QString rowState(const TcpServicePage &page)
{
    return page.txtTcpStatus[0]->text() + page.cmdTcpControl[0]->text();
}

qint16 idOf(const QList<QVariant> &event)
{
    return event.at(1).value<qint16>();
}

// Every 16 bytes name the reply and their own offset in it, so a lost, cut, repeated or
// reordered piece shows where it happened.
QByteArray reply(int k)
{
    QByteArray bytes;
    for (int at = 0; at < ReplySize; at += 16)
        bytes += QByteArray::number(k).rightJustified(5, '0') + '.' +
                 QByteArray::number(at).rightJustified(8, '0') + "\r\n";
    return bytes;
}
} // namespace

enum class Client { StaysOpen, HalfClosesWhileReading, HalfClosesThenReads, HalfClosesThenResets };
Q_DECLARE_METATYPE(Client)

void TstTcpServices::rowsRefuseWhereNoClientReachesThem_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port");         // "used": one a test socket holds
    QTest::addColumn<QStringList>("messages"); // of an SNMP row, then of the TCP row
    const QStringList notValid = {"SNMP Agent IP Address is not valid",
                                  "TCP Server IP Address is not valid"};
    const QString free = QString::number(freePort());
    for (const char *address : {"255.255.255.255", "224.0.0.1", "127.0.0.x", "::ffff:127.0.0.1"})
        QTest::newRow(address) << QString(address) << free << notValid;
    QHostAddress linkLocal; // of this machine, if it has one
    for (const QHostAddress &address : QNetworkInterface::allAddresses())
        if (address.protocol() == QAbstractSocket::IPv6Protocol && address.isLinkLocal())
            linkLocal = address;
    QTest::newRow("link-local") << linkLocal.toString() << free << QStringList();
    linkLocal.setScopeId({}); // equal to our own address, but bind refuses it
    QTest::newRow("link-local, no interface") << linkLocal.toString() << free << notValid;
    const QString advice = "Port 80 was refused: the system reserves ports below 1024 for "
                           "privileged programs. Choose a port from 1024 up, or allow this "
                           "program those ports with:\nsudo setcap cap_net_bind_service=+ep " +
                           QCoreApplication::applicationFilePath();
    QTest::newRow("port below 1024") << "127.0.0.1"
                                     << "80" << QStringList{advice, advice};
    // Failures the TCP row alone meets.
    for (const auto &[port, message] : {std::pair{"used", "The bound address is already in use"},
                                        {"http", "Type mismatch"},
                                        {"70000", "Port 70000 is out of range (1 to 65535)"}})
        QTest::newRow(port) << "127.0.0.1" << QString(port) << QStringList{message};
}

void TstTcpServices::rowsRefuseWhereNoClientReachesThem()
{
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(QStringList, messages);
    QFile lowest(QStringLiteral("/proc/sys/net/ipv4/ip_unprivileged_port_start"));
    const bool open80 = lowest.open(QFile::ReadOnly) && lowest.readAll().toInt() <= 80;
    if (address.isEmpty() || (port == "80" && open80))
        QSKIP("no IPv6 link-local address, or port 80 open to every program");
    QTcpServer occupant;
    if (port == "used" && occupant.listen(QHostAddress::LocalHost))
        port = QString::number(occupant.serverPort());
    TestWindow test;
    FrmMain &window = test.open();
    const SnmpAgentPage &snmp = *window.snmpAgent;
    TcpServicePage &tcp = *window.tcpService;
    syscall(SYS_setresuid, -1, 65534, -1); // this thread binds as a normal user would
    if (messages.size() != 1)              // an SNMP row too
        startRow(snmp.txtSnmpIpAddr[0], snmp.txtSnmpPort[0], snmp.cmdSnmpControl[0], address, port);
    startRow(tcp.txtTcpIpAddr[0], tcp.txtTcpPort[0], tcp.cmdTcpControl[0], address, port);
    syscall(SYS_setresuid, -1, 0, -1);
    QCOMPARE(test.messages.texts, messages);
    QCOMPARE(rowState(tcp), messages.isEmpty() ? "StartedStop" : "StoppedStart");
    QCOMPARE(window.tcpServices->tcpServer[0]->listening(), messages.isEmpty());
}

// A client through a row's stop and start, answered from the reply box of the moment, every
// event traced; then a trace that refuses records.
void TstTcpServices::oneClientThroughARowsStopAndStartAnsweredAndTraced()
{
    TestWindow test;
    const int port = freePort();
    TcpServicePage &page = startRow(test, port, true);
    QLineEdit &replyBox = *page.txtTcpReply[0];
    QCOMPARE(rowState(page), "StartedStop");
    QTcpSocket client, late;
    QVERIFY(connectTo(client, port));
    const int peer = client.localPort();
    QCOMPARE(exchange(client, "GET /", 12), QByteArray("HTTP/1.1 200"));
    page.cmdTcpControl[0]->click();
    QCOMPARE(rowState(page), "StoppedStart");
    QVERIFY(!connectTo(late, port));
    // Stopping ends listening only; the open connection is still answered.
    QCOMPARE(exchange(client, "GET /a", 12), QByteArray("HTTP/1.1 200"));
    page.cmdTcpControl[0]->click();
    QCOMPARE(rowState(page), "StartedStop");
    const QByteArray utf8 = QStringLiteral("Grüße €").toUtf8();
    replyBox.setText(QString::fromUtf8(utf8));
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    QCOMPARE(exchange(client, all, utf8.size()), utf8);
    replyBox.clear();
    QCOMPARE(exchange(client, "anyone there?", 0), QByteArray());
    // Last request and end of sending arrive together, as from a client that half-closes.
    replyBox.setText(QStringLiteral("221 Bye"));
    client.write("QUIT");
    client.flush();
    QVERIFY(endSending(client));
    QCOMPARE(exchange(client, {}, 7), QByteArray("221 Bye"));
    const QString data = QStringLiteral("@ <-- 127.0.0.1:%1 ").arg(peer);
    const QString ok = QStringLiteral("\r\n@ --> HTTP/1.1 200\r\n");
    QTRY_COMPARE(traceOf(test, port),
                 QStringLiteral("@ --- Connected with 127.0.0.1 on port %1\r\n").arg(peer) + data +
                     "GET /" + ok + data + "GET /a" + ok + data + QString::fromLatin1(all) +
                     "\r\n@ --> " + QString::fromLatin1(utf8) // the bytes as sent
                     + "\r\n" + data + "anyone there?\r\n" + data +
                     "QUIT\r\n@ --> 221 Bye\r\n@ --- Disconnected\r\n\r\n");

    // Each record the disk refuses ends its handler with a message; the data gets no reply.
    QVERIFY(QFile::remove(tracePath(test, port)) &&
            QFile::link("/dev/full", tracePath(test, port)));
    QVERIFY(connectTo(late, port));
    QCOMPARE(exchange(late, "QUIT", 0), QByteArray());
    late.close();
    QTRY_COMPARE(test.messages.texts.size(), 3);
    for (const char *handler : {"Connected", "DataIn", "Disconnected"})
        QVERIFY(test.messages.takeFirst().startsWith(
            QStringLiteral("Modul: tcpServer_%1, Err: ").arg(handler)));
}

// Ids are unique, reused only after a close, and a connection is refused while all are taken.
// A peer that sends but does not read is no longer read, and loses nothing once it reads.
void TstTcpServices::idsAndAPeerThatDoesNotRead()
{
    TcpServer server(2, nullptr, 3);
    QVERIFY(listenOnLoopback(server));
    const int port = server.localPort();
    QSignalSpy connected(&server, &TcpServer::Connected);
    QSignalSpy disconnected(&server, &TcpServer::Disconnected);
    const QString bigReply(256 * 1024, QLatin1Char('r'));
    qint64 mostPending = 0, delivered = 0, answered = 0;
    connect(&server, &TcpServer::DataIn, &server, [&](int, qint16 id, const QString &, int n) {
        delivered += n;
        answered += server.sendText(id, bigReply).ok();
        mostPending = std::max(mostPending, server.pendingBytes(id));
    });
    QTcpSocket clients[4];
    clients[0].setReadBufferSize(1); // takes nothing off the network while we do not read
    for (QTcpSocket &client : clients)
        QVERIFY(connectTo(client, port));
    QTRY_COMPARE(clients[3].state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(connected.size(), 3);
    for (int id = 1; id <= 3; ++id)
        QCOMPARE(idOf(connected[id - 1]), qint16(id));
    clients[1].close();
    QTRY_COMPARE(disconnected.size(), 1);
    QCOMPARE(server.sendText(2, QStringLiteral("x")).failure().number, TcpServer::NotConnected);
    QVERIFY(connectTo(clients[3], port));
    QTRY_COMPARE(connected.size(), 4);
    QCOMPARE(idOf(connected.last()), qint16(2));
    QCOMPARE(server.peerPort(2).value(), int(clients[3].localPort()));

    for (int ping = 0; ping < 200; ++ping, QTest::qWait(1))
        clients[0].write("ping");
    QTest::qWait(100);
    // Without the pause every ping would queue another quarter megabyte in our process.
    QVERIFY2(mostPending <= TcpConnection::ReplyBacklogBytes + bigReply.size(),
             QByteArray::number(mostPending));
    clients[0].setReadBufferSize(0);
    qint64 received = 0;
    QTRY_VERIFY_WITH_TIMEOUT((received += clients[0].readAll().size(),
                              delivered == 800 && received == answered * bigReply.size()),
                             15000);
}

void TstTcpServices::everyReplyWholeAndInOrder_data()
{
    QTest::addColumn<Client>("client");
    QTest::newRow("stays open") << Client::StaysOpen;
    QTest::newRow("half-closes after its last request, reading all along")
        << Client::HalfClosesWhileReading;
    QTest::newRow("half-closes before reading anything") << Client::HalfClosesThenReads;
    QTest::newRow("half-closes, then resets") << Client::HalfClosesThenResets;
}

// Each request is answered with its own numbered reply, however the requests are split into
// data events, so every client must receive exactly the same stream.
void TstTcpServices::everyReplyWholeAndInOrder()
{
    QFETCH(Client, client);
    TcpServer server(0);
    QVERIFY(listenOnLoopback(server));
    QSignalSpy disconnected(&server, &TcpServer::Disconnected);
    QByteArray unanswered, expected, received;
    connect(&server, &TcpServer::DataIn, &server, [&](int, qint16 id, const QString &text, int) {
        QVERIFY(disconnected.isEmpty());
        for (unanswered += text.toLatin1(); unanswered.size() >= RequestSize;
             unanswered.remove(0, RequestSize)) {
            const int k = unanswered.mid(1, RequestSize - 1).toInt();
            QVERIFY(server.sendText(id, QString::fromLatin1(reply(k))));
        }
    });
    for (int k = 0; k < Requests; ++k)
        expected += reply(k);

    const bool reading = client == Client::StaysOpen || client == Client::HalfClosesWhileReading;
    QTcpSocket peer;
    QVERIFY(connectTo(peer, server.localPort()));
    QTRY_COMPARE(server.openConnections(), 1);
    QVERIFY(shrinkBuffers(peer));
    for (int k = 0; k < Requests; ++k, QTest::qWait(2)) {
        QVERIFY(send(peer, 'R' + QByteArray::number(k).rightJustified(RequestSize - 1, '0')));
        if (reading && k % 10 == 9)
            take(peer, received);
    }
    if (client != Client::StaysOpen) {
        // Replies still waiting in this process when the peer ends its sending go out too.
        QTRY_VERIFY(reading || server.pendingBytes(1) > 0);
        QVERIFY(endSending(peer));
    }
    if (client == Client::HalfClosesThenResets) {
        resetOnClose(peer);
        peer.abort();
        QTRY_COMPARE(disconnected.size(), 1);
        QCOMPARE(server.openConnections(), 0);
        return;
    }
    const auto arrived = [&] {
        const bool ended = take(peer, received);
        return received.size() >= expected.size() && (client == Client::StaysOpen || ended);
    };
    QVERIFY2(QTest::qWaitFor(arrived, 10000),
             QByteArray::number(received.size()) + " of " + QByteArray::number(expected.size()) +
                 " bytes, from byte " + QByteArray::number(received.size() - 16) + ": " +
                 received.right(16));
    QVERIFY(received == expected);
    if (client == Client::StaysOpen) {
        QTest::qWait(50);
        QVERIFY(!take(peer, received));
        QCOMPARE(disconnected.size(), 0);
        peer.close();
    }
    QTRY_COMPARE(disconnected.size(), 1);
    QCOMPARE(server.openConnections(), 0);
}

// A row answers each data event with its 32,000-byte reply box. A client sends until replies
// wait in this process, and some requests more that wait unread, then ends its sending: it
// gets every reply, and the trace has each request and reply, then the disconnection.
void TstTcpServices::aRowTracesTheDisconnectionAfterTheLastReply()
{
    TestWindow test;
    const int port = freePort();
    TcpServicePage &page = startRow(test, port, true);
    page.txtTcpReply[0]->setText(QString::fromLatin1(reply(7).replace("\r\n", " |")));
    const QString text = page.txtTcpReply[0]->text();
    const TcpServer &server = *test.window().tcpServices->tcpServer[0];
    QSignalSpy dataIn(&server, &TcpServer::DataIn);
    QSignalSpy disconnected(&server, &TcpServer::Disconnected);
    QTcpSocket peer;
    QVERIFY(connectTo(peer, port));
    QTRY_COMPARE(server.openConnections(), 1);
    QVERIFY(shrinkBuffers(peer));
    QByteArray sent, received;
    for (int beyond = 0; sent.size() < 2000 && beyond < 20; QTest::qWait(5)) {
        QVERIFY(send(peer, "GET /"));
        sent += "GET /";
        beyond += server.pendingBytes(1) > 0;
    }
    QVERIFY(server.pendingBytes(1) > 0);
    QVERIFY(endSending(peer));
    QVERIFY(QTest::qWaitFor([&] { return take(peer, received); }, 10000));
    QCOMPARE(received, text.toLatin1().repeated(dataIn.size()));
    QTRY_COMPARE(disconnected.size(), 1);

    const QString trace = traceOf(test, port);
    static const QRegularExpression data(QStringLiteral("@ <-- 127\\.0\\.0\\.1:\\d+ (.*)\r\n"));
    QByteArray traced;
    for (const QRegularExpressionMatch &match : data.globalMatch(trace))
        traced += match.captured(1).toLatin1();
    QCOMPARE(traced, sent);
    QCOMPARE(trace.count(QStringLiteral("@ --> ")), dataIn.size());
    QVERIFY(trace.endsWith("@ --> " + text + "\r\n@ --- Disconnected\r\n\r\n"));
}

// A handler may wait in a nested event loop, as a message box does. Data that arrives
// meanwhile must wait for it, or its reply would go out after the later one.
void TstTcpServices::noDataInsideAHandlersNestedLoop()
{
    TcpServer server(0);
    QVERIFY(listenOnLoopback(server));
    QTcpSocket peer;
    QVERIFY(connectTo(peer, server.localPort()));
    int depth = 0, deepest = 0;
    connect(&server, &TcpServer::DataIn, &server, [&](int, qint16 id, const QString &text, int) {
        deepest = std::max(deepest, ++depth);
        if (text == QLatin1String("A")) {
            QVERIFY(send(peer, "B"));
            QTest::qWait(100);
        }
        QVERIFY(server.sendText(id, text));
        --depth;
    });
    QVERIFY(send(peer, "A"));
    QByteArray received;
    QTRY_COMPARE((take(peer, received), received), QByteArray("AB"));
    QCOMPARE(deepest, 1);
}

// Both ends of every connection are in this process. With descriptors for only half of the
// row's ends, the row serves those it took, waits without spinning and takes the rest once
// descriptors are free again.
void TstTcpServices::thousandConnectionsPastTheDescriptorLimitAnsweredNoneLeft()
{
    constexpr int Clients = 1000;
    raiseOpenFileLimit();
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    QCOMPARE(limit.rlim_cur, limit.rlim_max);
    if (limit.rlim_cur < 2 * Clients + 100)
        QSKIP("too few file descriptors allowed for a thousand connections");
    TestWindow test;
    const int port = freePort();
    startRow(test, port);
    const TcpServer &server = *test.window().tcpServices->tcpServer[0];
    const auto descriptorsIdle = descriptors().size();
    const auto cpuMs = [] {
        rusage use{};
        getrusage(RUSAGE_SELF, &use);
        return (use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1000 +
               (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1000;
    };
    QTcpSocket first; // its accept finds the queue empty afterwards, as in any row's life
    QVERIFY(connectTo(first, port));
    QTRY_COMPARE(server.openConnections(), 1);

    // All connect and send at once; the requests wait in each socket until it is connected.
    std::vector<QTcpSocket> clients(Clients);
    for (QTcpSocket &client : clients) {
        client.connectToHost(QHostAddress::LocalHost, quint16(port));
        client.write("GET /");
    }
    const auto answered = [&] {
        const auto full = [](const QTcpSocket &c) { return c.bytesAvailable() >= 12; };
        return int(std::ranges::count_if(clients, full));
    };
    rlimit half = {0, limit.rlim_max}; // room for half of the row's ends above the rest
    for (const QString &fd : descriptors())
        half.rlim_cur = std::max(half.rlim_cur, rlim_t(fd.toULong() + 1 + Clients / 2));
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &half), 0);
    QTRY_VERIFY(server.openConnections() >= Clients / 2);
    const auto cpuBefore = cpuMs();
    QTest::qWait(300);
    QVERIFY2(cpuMs() - cpuBefore < 100, "busy while no descriptor is free");
    QVERIFY(server.openConnections() < Clients);
    QTRY_COMPARE(answered() + 1, server.openConnections()); // and the first
    QCOMPARE(setrlimit(RLIMIT_NOFILE, &limit), 0);
    QTRY_COMPARE_WITH_TIMEOUT(answered(), Clients, 20000);

    // Every other client goes away with a reset instead of an orderly close.
    for (int i = 0; i < Clients; i += 2)
        resetOnClose(clients[i]);
    clients.clear();
    first.close();
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 0, 10000);
    QTRY_COMPARE(descriptors().size(), descriptorsIdle);
}

QTEST_MAIN(TstTcpServices)
#include "tst_tcpservices.moc"
