#include "app/helppage.h"
#include "common/core/openfilelimit.h"
#include "snmp/ui/snmpagentpage.h"
#include "support/testwindow.h"
#include "tcp/tcpconnection.h"
#include "tcp/tcpserver.h"
#include "tcp/tcpservicepage.h"
#include "tcp/tcpservices.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QNetworkInterface>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

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
    void thousandConnectionsPastTheDescriptorLimitAnsweredNoneLeft();
};

namespace {
int freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost) ? probe.serverPort() : 0;
}

// The kernel completes the handshake; the listener accepts once the event loop runs.
bool connectTo(QTcpSocket &client, int port)
{
    client.connectToHost(QHostAddress::LocalHost, quint16(port));
    return client.waitForConnected(3000);
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

void startRow(QLineEdit *addressBox, QLineEdit *portBox, QPushButton *button,
              const QString &address, const QString &port)
{
    addressBox->setText(address);
    portBox->setText(port);
    button->click();
}

qint16 idOf(const QList<QVariant> &event)
{
    return event.at(1).value<qint16>();
}
} // namespace

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
    QCOMPARE(tcp.txtTcpStatus[0]->text() + tcp.cmdTcpControl[0]->text(),
             messages.isEmpty() ? "StartedStop" : "StoppedStart");
    QCOMPARE(window.tcpServices->tcpServer[0]->listening(), messages.isEmpty());
}

// A client through a row's stop and start, answered from the reply box of the moment, every
// event traced; then a trace that refuses records.
void TstTcpServices::oneClientThroughARowsStopAndStartAnsweredAndTraced()
{
    TestWindow test;
    FrmMain &window = test.open();
    TcpServicePage &page = *window.tcpService;
    QLineEdit &replyBox = *page.txtTcpReply[0];
    const int port = freePort();
    const QString trace = test.traceFolder() + "/Tcp_127.0.0.1_" + QString::number(port) + ".txt";
    window.help->chkDebugMode->setChecked(true);
    window.chkDebugMode_Click();
    startRow(page.txtTcpIpAddr[0], page.txtTcpPort[0], page.cmdTcpControl[0], "127.0.0.1",
             QString::number(port));
    QCOMPARE(page.txtTcpStatus[0]->text() + page.cmdTcpControl[0]->text(), "StartedStop");
    QTcpSocket client, late;
    QVERIFY(connectTo(client, port));
    const int peer = client.localPort();
    QCOMPARE(exchange(client, "GET /", 12), QByteArray("HTTP/1.1 200"));
    page.cmdTcpControl[0]->click();
    QCOMPARE(page.txtTcpStatus[0]->text() + page.cmdTcpControl[0]->text(), "StoppedStart");
    QVERIFY(!connectTo(late, port));
    // Stopping ends listening only; the open connection is still answered.
    QCOMPARE(exchange(client, "GET /a", 12), QByteArray("HTTP/1.1 200"));
    page.cmdTcpControl[0]->click();
    QCOMPARE(page.txtTcpStatus[0]->text() + page.cmdTcpControl[0]->text(), "StartedStop");
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
    QCOMPARE(::shutdown(int(client.socketDescriptor()), SHUT_WR), 0);
    QCOMPARE(exchange(client, {}, 7), QByteArray("221 Bye"));
    // Each record's stamp replaced by '@'.
    static const QRegularExpression stamp(QStringLiteral("(^|\r\n)[0-2]\\d:[0-5]\\d:[0-5]\\d"));
    const QString data = QStringLiteral("@ <-- 127.0.0.1:%1 ").arg(peer);
    const QString ok = QStringLiteral("\r\n@ --> HTTP/1.1 200\r\n");
    QTRY_COMPARE(QString::fromLatin1(readFile(trace)).replace(stamp, QStringLiteral("\\1@")),
                 QStringLiteral("@ --- Connected with 127.0.0.1 on port %1\r\n").arg(peer) + data +
                     "GET /" + ok + data + "GET /a" + ok + data + QString::fromLatin1(all) +
                     "\r\n@ --> " + QString::fromLatin1(utf8) // the bytes as sent
                     + "\r\n" + data + "anyone there?\r\n" + data +
                     "QUIT\r\n@ --> 221 Bye\r\n@ --- Disconnected\r\n\r\n");

    // Each record the disk refuses ends its handler with a message; the data gets no reply.
    QVERIFY(QFile::remove(trace) && QFile::link(QStringLiteral("/dev/full"), trace));
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
    server.setLocalAddress(QStringLiteral("127.0.0.1"));
    server.setLocalPort(freePort());
    QVERIFY(server.setListening(true));
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
    FrmMain &window = test.open();
    const int port = freePort();
    TcpServicePage &page = *window.tcpService;
    startRow(page.txtTcpIpAddr[0], page.txtTcpPort[0], page.cmdTcpControl[0], "127.0.0.1",
             QString::number(port));
    const TcpServer &server = *window.tcpServices->tcpServer[0];
    const auto descriptors = [] {
        return QDir(QStringLiteral("/proc/self/fd"))
            .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    };
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
    const linger reset{1, 0};
    for (int i = 0; i < Clients; i += 2)
        setsockopt(int(clients[i].socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    clients.clear();
    first.close();
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 0, 10000);
    QTRY_COMPARE(descriptors().size(), descriptorsIdle);
}

QTEST_MAIN(TstTcpServices)
#include "tst_tcpservices.moc"
