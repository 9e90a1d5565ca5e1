#include "app/helppage.h"
#include "support/testwindow.h"
#include "tcp/tcpserver.h"
#include "tcp/tcpservicepage.h"
#include "tcp/tcpservices.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <sys/resource.h>
#include <sys/socket.h>

class TstTcpServices : public QObject
{
    Q_OBJECT
private slots:
    void startAndStopShowTheRowsState();
    void refusedStartLeavesRowStopped();
    void clientsAnsweredFromTheReplyBoxAndTraced();
    void idsUniqueReusedOnlyAfterCloseAndRefusedWhenAllTaken();
    void peerThatDoesNotReadIsNoLongerRead();
    void thousandConnectionsAnsweredThenClosedOrResetNoneLeft();
};

namespace {
int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// The kernel completes the handshake; the listener accepts once the event loop runs.
bool connectTo(QTcpSocket &client, int port)
{
    client.connectToHost(QHostAddress::LocalHost, quint16(port));
    return client.waitForConnected(3000);
}

// What arrives until size bytes came or the time is up.
QByteArray readBytes(QTcpSocket &client, qsizetype size, int ms = 3000)
{
    QByteArray bytes;
    (void)QTest::qWaitFor([&] { return (bytes += client.readAll()).size() >= size; }, ms);
    return bytes;
}

void startRow(FrmMain &window, int row, int port, bool debugMode = false)
{
    window.help->chkDebugMode->setChecked(debugMode);
    window.chkDebugMode_Click();
    window.tcpService->txtTcpIpAddr[row]->setText(QStringLiteral("127.0.0.1"));
    window.tcpService->txtTcpPort[row]->setText(QString::number(port));
    window.tcpService->cmdTcpControl[row]->click();
}

int startListening(TcpServer &server)
{
    server.setLocalAddress(QStringLiteral("127.0.0.1"));
    server.setLocalPort(freePort());
    return server.setListening(true) ? server.localPort() : 0;
}

qint16 idOf(const QList<QVariant> &event) { return event.at(1).value<qint16>(); }

QString connectedRecord(int peerPort)
{
    return QStringLiteral(" --- Connected with 127.0.0.1 on port %1\r\n").arg(peerPort);
}

QString dataRecord(int peerPort, const QString &text)
{
    return QStringLiteral(" <-- 127.0.0.1:%1 ").arg(peerPort) + text + "\r\n";
}

// The whole trace file, each record's stamp matched and the rest taken literally.
void compareTrace(TestWindow &test, int port, const QStringList &records)
{
    QString pattern = QStringLiteral("^");
    for (const QString &record : records)
        pattern += "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]" + QRegularExpression::escape(record);
    const QByteArray trace = readFile(test.traceFolder() + "/Tcp_127.0.0.1_"
                                      + QString::number(port) + ".txt");
    const QRegularExpression re(pattern + '$', QRegularExpression::DotMatchesEverythingOption);
    QVERIFY2(re.match(QString::fromLatin1(trace)).hasMatch(), trace.toHex(' '));
}
} // namespace

void TstTcpServices::startAndStopShowTheRowsState()
{
    TestWindow test;
    FrmMain &window = test.open();
    TcpServicePage &page = *window.tcpService;
    const int port = freePort();
    startRow(window, 0, port);
    QCOMPARE(page.txtTcpStatus[0]->text(), QStringLiteral("Started"));
    QCOMPARE(page.cmdTcpControl[0]->text(), QStringLiteral("Stop"));
    QTcpSocket client, late;
    QVERIFY(connectTo(client, port));
    client.write("GET /");
    QCOMPARE(readBytes(client, 12), QByteArray("HTTP/1.1 200"));
    QVERIFY(QDir(test.traceFolder()).isEmpty()); // Debug Mode is off

    page.cmdTcpControl[0]->click();
    QCOMPARE(page.txtTcpStatus[0]->text(), QStringLiteral("Stopped"));
    QCOMPARE(page.cmdTcpControl[0]->text(), QStringLiteral("Start"));
    QVERIFY(!connectTo(late, port));
    // Stopping ends listening only; the open connection is still answered.
    client.write("again");
    QCOMPARE(readBytes(client, 12), QByteArray("HTTP/1.1 200"));
    page.cmdTcpControl[0]->click();
    QCOMPARE(page.cmdTcpControl[0]->text(), QStringLiteral("Stop"));
    QVERIFY(connectTo(late, port));
    QVERIFY(test.messages.texts.isEmpty());
}

void TstTcpServices::refusedStartLeavesRowStopped()
{
    TestWindow test;
    FrmMain &window = test.open();
    TcpServicePage &page = *window.tcpService;
    const QString used = QString::number(freePort());
    startRow(window, 0, used.toInt());
    const QString notValid = QStringLiteral("^TCP Server IP Address is not valid$");
    const QString cases[][3] = {
        {"203.0.113.99", used, notValid},
        {"127.0.0.x", used, notValid},
        {"127.0.0.1", used, "in use"}, // by row 0
        {"127.0.0.1", "http", "^Type mismatch$"},
        {"127.0.0.1", "70000", "^Port 70000 is out of range \\(1 to 65535\\)$"},
        {"127.0.0.1", "4294967376", "^Overflow$"}, // cut to 32 bits it would be port 80
    };
    for (const auto &[address, port, message] : cases) {
        page.txtTcpIpAddr[2]->setText(address);
        page.txtTcpPort[2]->setText(port);
        page.cmdTcpControl[2]->click();
        const QStringList shown = std::exchange(test.messages.texts, {});
        QVERIFY2(shown.size() == 1 && QRegularExpression(message).match(shown[0]).hasMatch(),
                 qPrintable(address + ' ' + port + ": " + shown.join('|')));
        QCOMPARE(page.txtTcpStatus[2]->text(), QStringLiteral("Stopped"));
        QCOMPARE(page.cmdTcpControl[2]->text(), QStringLiteral("Start"));
        QVERIFY(page.cmdTcpControl[2]->isEnabled());
        QVERIFY(!window.tcpServices->tcpServer[2]->listening());
    }
    QCOMPARE(page.txtTcpStatus[0]->text(), QStringLiteral("Started"));
}

void TstTcpServices::clientsAnsweredFromTheReplyBoxAndTraced()
{
    TestWindow test;
    FrmMain &window = test.open();
    const int port = freePort();
    startRow(window, 0, port, true);
    QLineEdit &replyBox = *window.tcpService->txtTcpReply[0];
    QSignalSpy disconnected(window.tcpServices->tcpServer[0], &TcpServer::Disconnected);
    QTcpSocket client, quiet, binary;
    QVERIFY(connectTo(client, port));
    const int peer = client.localPort();
    for (const char *piece : {"GET /", "GET /a", "GET /b"}) {
        client.write(piece);
        QCOMPARE(readBytes(client, 12), QByteArray("HTTP/1.1 200"));
        QTest::qWait(50);
    }
    // The box is read as each piece comes; an empty one never answers.
    replyBox.setText(QStringLiteral("250 OK"));
    client.write("NOOP");
    QCOMPARE(readBytes(client, 6), QByteArray("250 OK"));
    replyBox.clear();
    client.write("anyone there?");
    QCOMPARE(readBytes(client, 1, 200), QByteArray());
    // Last request and end of sending arrive together, as from a client that half-closes.
    replyBox.setText(QStringLiteral("221 Bye"));
    client.write("QUIT");
    client.flush();
    QCOMPARE(::shutdown(int(client.socketDescriptor()), SHUT_WR), 0);
    QCOMPARE(readBytes(client, 7), QByteArray("221 Bye"));
    QTRY_COMPARE(disconnected.size(), 1);

    QVERIFY(connectTo(quiet, port));
    const int quietPeer = quiet.localPort();
    quiet.close();
    QTRY_COMPARE(disconnected.size(), 2);
    QCOMPARE(window.tcpServices->tcpServer[0]->openConnections(), 0);

    replyBox.setText(QStringLiteral("Grüße"));
    QVERIFY(connectTo(binary, port));
    const int binaryPeer = binary.localPort();
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    binary.write(all);
    // The reply goes out in UTF-8; the trace, an 8-bit file, holds it in Latin-1.
    QCOMPARE(readBytes(binary, 7), QStringLiteral("Grüße").toUtf8());
    const QString reply = QStringLiteral(" --> HTTP/1.1 200\r\n");
    const QString disconnectedRecord = QStringLiteral(" --- Disconnected\r\n\r\n");
    compareTrace(test, port,
                 {connectedRecord(peer), dataRecord(peer, "GET /"), reply,
                  dataRecord(peer, "GET /a"), reply, dataRecord(peer, "GET /b"), reply,
                  dataRecord(peer, "NOOP"), " --> 250 OK\r\n",
                  dataRecord(peer, "anyone there?"), dataRecord(peer, "QUIT"),
                  " --> 221 Bye\r\n", disconnectedRecord, connectedRecord(quietPeer),
                  disconnectedRecord, connectedRecord(binaryPeer),
                  dataRecord(binaryPeer, QString::fromLatin1(all)), " --> Gr\u00fc\u00dfe\r\n"});
    QVERIFY(test.messages.texts.isEmpty());
}

void TstTcpServices::idsUniqueReusedOnlyAfterCloseAndRefusedWhenAllTaken()
{
    TcpServer server(2, nullptr, 3);
    const int port = startListening(server);
    QVERIFY(port);
    QSignalSpy connected(&server, &TcpServer::Connected);
    QSignalSpy disconnected(&server, &TcpServer::Disconnected);
    QTcpSocket clients[3];
    for (int i = 0; i < 3; ++i) {
        QVERIFY(connectTo(clients[i], port));
        QTRY_COMPARE(connected.size(), i + 1);
        QCOMPARE(idOf(connected.last()), qint16(i + 1));
        QCOMPARE(server.peerPort(i + 1).value(), int(clients[i].localPort()));
    }
    // A fourth connection would need an id that is in use: it is closed instead.
    QTcpSocket extra;
    connectTo(extra, port);
    QTRY_COMPARE(extra.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(connected.size(), 3);
    QCOMPARE(server.openConnections(), 3);
    QVERIFY(server.sendText(2, QStringLiteral("still 2")));
    QCOMPARE(readBytes(clients[1], 7), QByteArray("still 2"));

    clients[1].close();
    QTRY_COMPARE(disconnected.size(), 1);
    QCOMPARE(idOf(disconnected.last()), qint16(2));
    QCOMPARE(server.sendText(2, QStringLiteral("x")).failure().number, TcpServer::NotConnected);
    QTcpSocket again;
    QVERIFY(connectTo(again, port));
    QTRY_COMPARE(connected.size(), 4);
    QCOMPARE(idOf(connected.last()), qint16(2));
    QCOMPARE(server.peerPort(2).value(), int(again.localPort()));
}

void TstTcpServices::peerThatDoesNotReadIsNoLongerRead()
{
    TcpServer server(0);
    const int port = startListening(server);
    QVERIFY(port);
    const QString bigReply(256 * 1024, QLatin1Char('r'));
    qint64 mostPending = 0, delivered = 0, answered = 0;
    connect(&server, &TcpServer::DataIn, &server, [&](int, qint16 id, const QString &, int n) {
        delivered += n;
        answered += server.sendText(id, bigReply).ok();
        mostPending = std::max(mostPending, server.pendingBytes(id));
    });
    QTcpSocket client;
    client.setReadBufferSize(1); // takes nothing off the network while we do not read
    QVERIFY(connectTo(client, port));
    const int pings = 200;
    for (int i = 0; i < pings; ++i) {
        client.write("ping");
        client.flush();
        QTest::qWait(1);
    }
    QTest::qWait(100);
    // Without the pause every ping would queue another quarter megabyte in our process.
    QVERIFY2(mostPending <= 2 * 1024 * 1024, QByteArray::number(mostPending));
    QVERIFY(delivered < 4 * pings);

    // Once the peer reads again, the held-back pings are answered, none lost.
    client.setReadBufferSize(0);
    qint64 received = 0;
    QTRY_VERIFY_WITH_TIMEOUT((received += client.readAll().size(),
                              delivered == 4 * pings
                                  && received == answered * bigReply.size()),
                             15000);
}

void TstTcpServices::thousandConnectionsAnsweredThenClosedOrResetNoneLeft()
{
    constexpr int Clients = 1000;
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max; // both ends of every connection are in this process
    if (setrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur < 2 * Clients + 100)
        QSKIP("too few file descriptors allowed for a thousand connections");
    TestWindow test;
    FrmMain &window = test.open();
    const int port = freePort();
    startRow(window, 0, port);
    TcpServer &server = *window.tcpServices->tcpServer[0];
    QSignalSpy dataEvents(&server, &TcpServer::DataIn);
    QSignalSpy disconnectedEvents(&server, &TcpServer::Disconnected);
    const auto descriptors = [] { return QDir(QStringLiteral("/proc/self/fd")).count(); };
    const auto descriptorsIdle = descriptors();

    // All connect and send at once; the requests wait in each socket until it is connected.
    std::vector<std::unique_ptr<QTcpSocket>> clients(Clients);
    for (auto &client : clients) {
        client = std::make_unique<QTcpSocket>();
        client->connectToHost(QHostAddress::LocalHost, quint16(port));
        client->write("GET /");
    }
    QTRY_VERIFY_WITH_TIMEOUT(std::all_of(clients.begin(), clients.end(),
                                         [](auto &c) { return c->bytesAvailable() >= 12; }),
                             20000);
    for (auto &client : clients)
        QCOMPARE(client->readAll(), QByteArray("HTTP/1.1 200"));
    QCOMPARE(server.openConnections(), Clients);
    QCOMPARE(dataEvents.size(), Clients);

    // Every other client goes away with a reset instead of an orderly close.
    const linger reset{1, 0};
    for (int i = 0; i < Clients; i += 2)
        setsockopt(int(clients[i]->socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset,
                   sizeof reset);
    clients.clear();
    QTRY_COMPARE_WITH_TIMEOUT(server.openConnections(), 0, 10000);
    QTRY_COMPARE(descriptors(), descriptorsIdle);
    QCOMPARE(disconnectedEvents.size(), Clients);
    QVERIFY(test.messages.texts.isEmpty());
}

QTEST_MAIN(TstTcpServices)
#include "tst_tcpservices.moc"
