#include "loopbackclient.h"
#include "tcp/portnumber.h"
#include "tcp/tcpserver.h"

#include <QSignalSpy>

#include <sys/socket.h>

#include <memory>
#include <vector>

class TstTcpServer : public QObject
{
    Q_OBJECT
private slots:
    void portTextToNumber_data();
    void portTextToNumber();
    void refusedAddressesAndPorts_data();
    void refusedAddressesAndPorts();
    void idsUniqueReusedOnlyAfterCloseAndRefusedWhenAllTaken();
    void bytesBecomeCharactersAndTextGoesOutAsUtf8();
    void stoppingKeepsOpenConnectionsAnswered();
    void ipv6LoopbackWorksToo();
    void resettingPeerIsForgottenWithoutLeak();
    void peerThatDoesNotReadIsNoLongerRead();
};

namespace {
std::unique_ptr<TcpServer> listeningServer(int &port, int maxId = TcpServer::MaxConnectionId)
{
    auto server = std::make_unique<TcpServer>(2, nullptr, maxId);
    port = freePort();
    server->setLocalAddress(QStringLiteral("127.0.0.1"));
    server->setLocalPort(port);
    const Status started = server->setListening(true);
    if (!started)
        qWarning() << started.failure().description;
    return server;
}

qint16 idOf(const QList<QVariant> &event) { return event.at(1).value<qint16>(); }
} // namespace

void TstTcpServer::portTextToNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("failure");
    QTest::newRow("plain") << "8080" << 8080 << "";
    QTest::newRow("blanks") << " 25 " << 25 << "";
    QTest::newRow("signed") << "-1" << -1 << "";
    QTest::newRow("letters") << "abc" << 0 << "Type mismatch";
    QTest::newRow("empty") << "" << 0 << "Type mismatch";
    QTest::newRow("mixed") << "80a" << 0 << "Type mismatch";
    QTest::newRow("beyond 32 bits") << "2147483648" << 0 << "Overflow";
    QTest::newRow("beyond 64 bits") << "99999999999999999999999" << 0 << "Overflow";
}

void TstTcpServer::portTextToNumber()
{
    QFETCH(QString, text);
    QFETCH(int, value);
    QFETCH(QString, failure);
    const Result<int> port = portNumberFromText(text);
    QCOMPARE(port.ok(), failure.isEmpty());
    if (port)
        QCOMPARE(port.value(), value);
    else
        QCOMPARE(port.failure().description, failure);
}

void TstTcpServer::refusedAddressesAndPorts_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("addressError");
    QTest::newRow("not ours") << "10.99.99.99" << 0 << true;
    QTest::newRow("not an address") << "localhost" << 0 << true;
    QTest::newRow("empty") << "" << 0 << true;
    QTest::newRow("octet too big") << "127.0.0.256" << 0 << true;
    QTest::newRow("port zero") << "127.0.0.1" << -1 << false;
    QTest::newRow("port too big") << "127.0.0.1" << 65536 << false;
}

void TstTcpServer::refusedAddressesAndPorts()
{
    QFETCH(QString, address);
    QFETCH(int, port);
    QFETCH(bool, addressError);
    TcpServer server(0);
    server.setLocalAddress(address);
    server.setLocalPort(port == 0 ? freePort() : port == -1 ? 0 : port);
    const Status started = server.setListening(true);
    QVERIFY(!started);
    QCOMPARE(started.failure().number == TcpServer::AddressNotAvailable, addressError);
    QVERIFY(!started.failure().description.isEmpty());
    QVERIFY(!server.listening());
}

void TstTcpServer::idsUniqueReusedOnlyAfterCloseAndRefusedWhenAllTaken()
{
    int port = 0;
    auto server = listeningServer(port, 3);
    QSignalSpy connected(server.get(), &TcpServer::Connected);
    QSignalSpy disconnected(server.get(), &TcpServer::Disconnected);
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < 3; ++i) {
        clients.push_back(std::make_unique<QTcpSocket>());
        QVERIFY(connectClient(*clients.back(), port));
        QTRY_COMPARE(connected.size(), i + 1);
        const qint16 id = idOf(connected.last());
        QCOMPARE(id, qint16(i + 1));
        QCOMPARE(connected.last().at(0).toInt(), 2);
        QCOMPARE(server->peerAddress(id).value(), QStringLiteral("127.0.0.1"));
        QCOMPARE(server->peerPort(id).value(), int(clients.back()->localPort()));
    }

    // A fourth connection would need an id that is in use: it is closed instead.
    QTcpSocket extra;
    connectClient(extra, port);
    QTRY_COMPARE(extra.state(), QAbstractSocket::UnconnectedState);
    QCOMPARE(connected.size(), 3);
    QCOMPARE(server->openConnections(), 3);
    QVERIFY(server->sendText(2, QStringLiteral("still 2")));
    QCOMPARE(readBytes(*clients[1], 7), QByteArray("still 2"));

    clients[1]->close();
    QTRY_COMPARE(disconnected.size(), 1);
    QCOMPARE(idOf(disconnected.last()), qint16(2));
    QVERIFY(!server->peerAddress(2));
    QCOMPARE(server->sendText(2, QStringLiteral("x")).failure().number, TcpServer::NotConnected);

    QTcpSocket again;
    QVERIFY(connectClient(again, port));
    QTRY_COMPARE(connected.size(), 4);
    QCOMPARE(idOf(connected.last()), qint16(2));
    QCOMPARE(server->peerPort(2).value(), int(again.localPort()));
}

void TstTcpServer::bytesBecomeCharactersAndTextGoesOutAsUtf8()
{
    int port = 0;
    auto server = listeningServer(port);
    QSignalSpy data(server.get(), &TcpServer::DataIn);
    QTcpSocket client;
    QVERIFY(connectClient(client, port));
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    client.write(all);
    QString received;
    QTRY_VERIFY((received.clear(), std::for_each(data.cbegin(), data.cend(), [&](const auto &e) {
                     received += e.at(2).toString();
                 }),
                 received.size() >= 256));
    QCOMPARE(received.size(), 256);
    for (int b = 0; b < 256; ++b)
        QCOMPARE(received.at(b).unicode(), ushort(b));

    const qint16 id = idOf(data.first());
    QVERIFY(server->sendText(id, QStringLiteral("Grüße ✓")));
    QCOMPARE(readBytes(client, 12), QStringLiteral("Grüße ✓").toUtf8());
}

void TstTcpServer::stoppingKeepsOpenConnectionsAnswered()
{
    int port = 0;
    auto server = listeningServer(port);
    QSignalSpy data(server.get(), &TcpServer::DataIn);
    QTcpSocket client;
    QVERIFY(connectClient(client, port));
    QVERIFY(server->setListening(false));
    QVERIFY(!server->listening());

    client.write("after stop");
    QTRY_COMPARE(data.size(), 1);
    QVERIFY(server->sendText(idOf(data.first()), QStringLiteral("ok")));
    QCOMPARE(readBytes(client, 2), QByteArray("ok"));

    QTcpSocket late;
    QVERIFY(!connectClient(late, port));
}

void TstTcpServer::ipv6LoopbackWorksToo()
{
    TcpServer server(1);
    server.setLocalAddress(QStringLiteral("::1"));
    server.setLocalPort(freePort());
    if (!server.setListening(true))
        QSKIP("no IPv6 loopback here");
    QSignalSpy connected(&server, &TcpServer::Connected);
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHostIPv6, quint16(server.localPort()));
    QTRY_COMPARE(connected.size(), 1);
    QCOMPARE(server.peerAddress(idOf(connected.first())).value(), QStringLiteral("::1"));
}

void TstTcpServer::resettingPeerIsForgottenWithoutLeak()
{
    int port = 0;
    auto server = listeningServer(port);
    QSignalSpy connected(server.get(), &TcpServer::Connected);
    QSignalSpy disconnected(server.get(), &TcpServer::Disconnected);
    for (int i = 0; i < 20; ++i) {
        QTcpSocket client;
        QVERIFY(connectClient(client, port));
        client.write("data then reset");
        client.flush();
        // Linger with zero time turns the close into a reset.
        const linger reset{1, 0};
        setsockopt(int(client.socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        client.abort();
    }
    QTRY_COMPARE(disconnected.size(), 20);
    QCOMPARE(connected.size(), 20);
    QCOMPARE(server->openConnections(), 0);
    // Sending on an id whose peer is gone fails instead of crashing.
    QVERIFY(!server->sendText(idOf(connected.last()), QStringLiteral("late")));
    QTest::qWait(50);
    QCOMPARE(disconnected.size(), 20);
}

void TstTcpServer::peerThatDoesNotReadIsNoLongerRead()
{
    int port = 0;
    auto server = listeningServer(port);
    const QString bigReply(256 * 1024, QLatin1Char('r'));
    qint64 mostPending = 0;
    qint64 delivered = 0;
    int answered = 0;
    connect(server.get(), &TcpServer::DataIn, server.get(),
            [&](int, qint16 id, const QString &, int byteCount) {
                delivered += byteCount;
                if (server->sendText(id, bigReply))
                    ++answered;
                mostPending = std::max(mostPending, server->pendingBytes(id));
            });
    QTcpSocket client;
    client.setReadBufferSize(1); // takes nothing off the network while we do not read
    QVERIFY(connectClient(client, port));
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
                                  && received == qint64(answered) * bigReply.size()),
                             15000);
}

QTEST_GUILESS_MAIN(TstTcpServer)
#include "tst_tcpserver.moc"
