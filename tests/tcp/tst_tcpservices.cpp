#include "app/helppage.h"
#include "snmp/ui/snmpagentpage.h"
#include "support/testwindow.h"
#include "tcp/tcpconnection.h"
#include "tcp/tcpserver.h"
#include "tcp/tcpservicepage.h"
#include "tcp/tcpservices.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <sys/socket.h>

class TstTcpServices : public QObject
{
    Q_OBJECT
private slots:
    void rowsRefuseWhereNoClientReachesThem_data();
    void rowsRefuseWhereNoClientReachesThem();
    void oneClientThroughARowsStopAndStartAnsweredAndTraced();
    void idsUniqueAndReusedOnlyAfterAClose();
    void everyReplyWholeAndInOrder_data();
    void everyReplyWholeAndInOrder();
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

enum class Client { StaysOpen, HalfClosesThenReads, HalfClosesThenResets };
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
    QTcpServer occupant;
    if (port == "used" && occupant.listen(QHostAddress::LocalHost))
        port = QString::number(occupant.serverPort());
    TestWindow test;
    FrmMain &window = test.open();
    const SnmpAgentPage &snmp = *window.snmpAgent;
    TcpServicePage &tcp = *window.tcpService;
    if (messages.size() != 1) // an SNMP row too
        startRow(snmp.txtSnmpIpAddr[0], snmp.txtSnmpPort[0], snmp.cmdSnmpControl[0], address, port);
    startRow(tcp.txtTcpIpAddr[0], tcp.txtTcpPort[0], tcp.cmdTcpControl[0], address, port);
    QCOMPARE(test.messages.texts, messages);
    QCOMPARE(rowState(tcp), "StoppedStart");
    QVERIFY(!window.tcpServices->tcpServer[0]->listening());
}

// A client through a row's stop and start, answered from the reply box of the moment, every
// event traced.
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
}

// Ids are unique, reused only after a close, and a connection is refused while all are taken.
// A peer that sends but does not read is no longer read, and loses nothing once it reads.
void TstTcpServices::idsUniqueAndReusedOnlyAfterAClose()
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

    const bool reading = client == Client::StaysOpen;
    QTcpSocket peer;
    QVERIFY(connectTo(peer, server.localPort()));
    QTRY_COMPARE(server.openConnections(), 1);
    QVERIFY(shrinkBuffers(peer));
    for (int k = 0; k < Requests; ++k, QTest::qWait(2)) {
        QVERIFY(send(peer, 'R' + QByteArray::number(k).rightJustified(RequestSize - 1, '0')));
        if (reading && k % 10 == 9)
            take(peer, received);
    }
    if (!reading) {
        // Replies still waiting in this process when the peer ends its sending go out too.
        QTRY_VERIFY(server.pendingBytes(1) > 0);
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
        return received.size() >= expected.size() && (reading || ended);
    };
    QVERIFY2(QTest::qWaitFor(arrived, 10000), QByteArray::number(received.size()));
    QVERIFY(received == expected);
    if (reading) {
        QTest::qWait(50);
        QVERIFY(!take(peer, received));
        QCOMPARE(disconnected.size(), 0);
        peer.close();
    }
    QTRY_COMPARE(disconnected.size(), 1);
    QCOMPARE(server.openConnections(), 0);
}

QTEST_MAIN(TstTcpServices)
#include "tst_tcpservices.moc"
