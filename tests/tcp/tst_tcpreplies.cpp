#include "app/helppage.h"
#include "rawclient.h"
#include "support/testwindow.h"
#include "tcp/tcpserver.h"
#include "tcp/tcpservicepage.h"
#include "tcp/tcpservices.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>

// Replies far larger than the socket buffers, to clients that read late or end their sending
// before the last reply went out, and to a handler that waits in a nested event loop.
class TstTcpReplies : public QObject
{
    Q_OBJECT
private slots:
    void everyReplyWholeAndInOrder_data();
    void everyReplyWholeAndInOrder();
    void aRowTracesTheDisconnectionAfterTheLastReply();
    void noDataInsideAHandlersNestedLoop();
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

QByteArray howMuchArrived(const QByteArray &got, const QByteArray &expected)
{
    return QByteArray::number(got.size()) + " of " + QByteArray::number(expected.size()) +
           " bytes, from byte " + QByteArray::number(got.size() - 16) + ": " + got.right(16);
}
} // namespace

enum class Client { StaysOpen, HalfClosesWhileReading, HalfClosesThenReads, HalfClosesThenResets };
Q_DECLARE_METATYPE(Client)

void TstTcpReplies::everyReplyWholeAndInOrder_data()
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
void TstTcpReplies::everyReplyWholeAndInOrder()
{
    QFETCH(Client, client);
    TcpServer server(0);
    QVERIFY(listenOnLoopback(server));
    QSignalSpy disconnected(&server, &TcpServer::Disconnected);
    QByteArray unanswered;
    connect(&server, &TcpServer::DataIn, &server, [&](int, qint16 id, const QString &text, int) {
        QVERIFY(disconnected.isEmpty());
        for (unanswered += text.toLatin1(); unanswered.size() >= RequestSize;
             unanswered.remove(0, RequestSize)) {
            const int k = unanswered.mid(1, RequestSize - 1).toInt();
            QVERIFY(server.sendText(id, QString::fromLatin1(reply(k))));
        }
    });
    QByteArray expected;
    for (int k = 0; k < Requests; ++k)
        expected += reply(k);

    const bool reading = client == Client::StaysOpen || client == Client::HalfClosesWhileReading;
    RawClient peer(server.localPort(), SmallBuffer);
    QVERIFY(peer.connected());
    QTRY_COMPARE(server.openConnections(), 1);
    QVERIFY(peer.shrinkServerSendBuffer(SmallBuffer));
    for (int k = 0; k < Requests; ++k, QTest::qWait(2)) {
        QVERIFY(peer.send('R' + QByteArray::number(k).rightJustified(RequestSize - 1, '0')));
        if (reading && k % 10 == 9)
            peer.take();
    }
    if (client != Client::StaysOpen) {
        // Replies still waiting in this process when the peer ends its sending go out too.
        QTRY_VERIFY(reading || server.pendingBytes(1) > 0);
        QVERIFY(peer.endSending());
    }
    if (client == Client::HalfClosesThenResets) {
        peer.reset();
        QTRY_COMPARE(disconnected.size(), 1);
        QCOMPARE(server.openConnections(), 0);
        return;
    }
    const auto arrived = [&] {
        peer.take();
        return peer.received.size() >= expected.size() &&
               (client == Client::StaysOpen || peer.ended);
    };
    QVERIFY2(QTest::qWaitFor(arrived, 10000), howMuchArrived(peer.received, expected));
    QVERIFY(peer.received == expected);
    if (client == Client::StaysOpen) {
        QTest::qWait(50);
        QVERIFY((peer.take(), !peer.ended));
        QCOMPARE(disconnected.size(), 0);
        peer.close();
    }
    QTRY_COMPARE(disconnected.size(), 1);
    QCOMPARE(server.openConnections(), 0);
}

// A row answers each data event with its 32,000-byte reply box. A client sends until replies
// wait in this process, and some requests more that wait unread, then ends its sending: it
// gets every reply, and the trace has each request and reply, then the disconnection.
void TstTcpReplies::aRowTracesTheDisconnectionAfterTheLastReply()
{
    TestWindow test;
    FrmMain &window = test.open();
    TcpServicePage &page = *window.tcpService;
    const int port = freePort();
    window.help->chkDebugMode->setChecked(true);
    window.chkDebugMode_Click();
    page.txtTcpIpAddr[0]->setText(QStringLiteral("127.0.0.1"));
    page.txtTcpPort[0]->setText(QString::number(port));
    page.txtTcpReply[0]->setText(QString::fromLatin1(reply(7).replace("\r\n", " |")));
    const QString text = page.txtTcpReply[0]->text();
    page.cmdTcpControl[0]->click();
    const TcpServer &server = *window.tcpServices->tcpServer[0];
    QSignalSpy dataIn(&server, &TcpServer::DataIn);
    QSignalSpy disconnected(&server, &TcpServer::Disconnected);
    RawClient peer(port, SmallBuffer);
    QTRY_COMPARE(server.openConnections(), 1);
    QVERIFY(peer.shrinkServerSendBuffer(SmallBuffer));
    QByteArray sent;
    for (int beyond = 0; sent.size() < 2000 && beyond < 20; QTest::qWait(5)) {
        QVERIFY(peer.send("GET /"));
        sent += "GET /";
        beyond += server.pendingBytes(1) > 0;
    }
    QVERIFY(server.pendingBytes(1) > 0);
    QVERIFY(peer.endSending());
    QVERIFY(QTest::qWaitFor([&] { return peer.take(), peer.ended; }, 10000));
    QCOMPARE(peer.received, text.toLatin1().repeated(dataIn.size()));
    QTRY_COMPARE(disconnected.size(), 1);

    static const QRegularExpression stamp(QStringLiteral("(^|\r\n)[0-2]\\d:[0-5]\\d:[0-5]\\d"));
    const QString trace = QString::fromLatin1(readFile(test.traceFolder() + "/Tcp_127.0.0.1_" +
                                                       QString::number(port) + ".txt"))
                              .replace(stamp, "\\1@");
    static const QRegularExpression received(QStringLiteral("@ <-- 127\\.0\\.0\\.1:\\d+ (.*)\r\n"));
    QByteArray traced;
    for (const QRegularExpressionMatch &match : received.globalMatch(trace))
        traced += match.captured(1).toLatin1();
    QCOMPARE(traced, sent);
    QCOMPARE(trace.count(QStringLiteral("@ --> ")), dataIn.size());
    QVERIFY(trace.endsWith("@ --> " + text + "\r\n@ --- Disconnected\r\n\r\n"));
}

// A handler may wait in a nested event loop, as a message box does. Data that arrives
// meanwhile must wait for it, or its reply would go out after the later one.
void TstTcpReplies::noDataInsideAHandlersNestedLoop()
{
    TcpServer server(0);
    QVERIFY(listenOnLoopback(server));
    RawClient peer(server.localPort());
    QVERIFY(peer.connected());
    int depth = 0, deepest = 0;
    connect(&server, &TcpServer::DataIn, &server, [&](int, qint16 id, const QString &text, int) {
        deepest = std::max(deepest, ++depth);
        if (text == QLatin1String("A")) {
            QVERIFY(peer.send("B"));
            QTest::qWait(100);
        }
        QVERIFY(server.sendText(id, text));
        --depth;
    });
    QVERIFY(peer.send("A"));
    QTRY_COMPARE((peer.take(), peer.received), QByteArray("AB"));
    QCOMPARE(deepest, 1);
}

QTEST_MAIN(TstTcpReplies)
#include "tst_tcpreplies.moc"
