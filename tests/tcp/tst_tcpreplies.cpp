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
    void aRowAnswersAllThenTracesTheDisconnection_data();
    void aRowAnswersAllThenTracesTheDisconnection();
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

QByteArray request(int k)
{
    return 'R' + QByteArray::number(k).rightJustified(RequestSize - 1, '0');
}

// Every 16 bytes name the reply and their own offset in it, so a lost, cut, repeated or
// reordered piece shows where it happened.
QByteArray reply(int k)
{
    QByteArray bytes;
    bytes.reserve(ReplySize);
    for (int at = 0; at < ReplySize; at += 16)
        bytes += QByteArray::number(k).rightJustified(5, '0') + '.' +
                 QByteArray::number(at).rightJustified(8, '0') + "\r\n";
    return bytes;
}

// Where two streams first differ, for the failure message.
QByteArray firstDifference(const QByteArray &got, const QByteArray &expected)
{
    qsizetype at = 0;
    while (at < got.size() && at < expected.size() && got[at] == expected[at])
        ++at;
    return "got " + QByteArray::number(got.size()) + " of " + QByteArray::number(expected.size()) +
           " bytes, first difference at " + QByteArray::number(at) + ": " +
           got.mid(at, 16).toPercentEncoding() + " instead of " +
           expected.mid(at, 16).toPercentEncoding();
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
    server.setLocalAddress(QStringLiteral("127.0.0.1"));
    server.setLocalPort(freePort());
    QVERIFY(server.setListening(true));
    QSignalSpy disconnected(&server, &TcpServer::Disconnected);
    QByteArray unanswered;
    int delivered = 0;
    connect(&server, &TcpServer::DataIn, &server, [&](int, qint16 id, const QString &text, int) {
        unanswered += text.toLatin1();
        for (; unanswered.size() >= RequestSize; unanswered.remove(0, RequestSize)) {
            ++delivered;
            QVERIFY(server.sendText(
                id, QString::fromLatin1(reply(unanswered.mid(1, RequestSize - 1).toInt()))));
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
    for (int k = 0; k < Requests; ++k) {
        QVERIFY(peer.send(request(k)));
        QTest::qWait(2);
        if (reading && k % 10 == 9)
            peer.take();
    }
    if (client != Client::StaysOpen) {
        // Replies still waiting in this process when the peer ends its sending go out too.
        if (!reading)
            QTRY_VERIFY(server.pendingBytes(1) > 0);
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
    QVERIFY2(QTest::qWaitFor(arrived, 10000), firstDifference(peer.received, expected));
    QVERIFY2(peer.received == expected, firstDifference(peer.received, expected));
    QCOMPARE(delivered, Requests);
    if (client == Client::StaysOpen) {
        QTest::qWait(50);
        peer.take();
        QVERIFY(!peer.ended);
        QCOMPARE(disconnected.size(), 0);
        peer.close();
    }
    QTRY_COMPARE(disconnected.size(), 1);
    QCOMPARE(server.openConnections(), 0);
}

void TstTcpReplies::aRowAnswersAllThenTracesTheDisconnection_data()
{
    QTest::addColumn<bool>("reading"); // as it sends, as nc -N does
    QTest::newRow("reads as it sends") << true;
    QTest::newRow("reads only after its half-close") << false;
}

// A row answers each data event with its reply box, one 32,000-byte reply each; the client
// ends its sending after its last request and must still get every reply, and the trace must
// show the disconnection only after the last of them.
void TstTcpReplies::aRowAnswersAllThenTracesTheDisconnection()
{
    QFETCH(bool, reading);
    TestWindow test;
    FrmMain &window = test.open();
    TcpServicePage &page = *window.tcpService;
    const int port = freePort();
    window.help->chkDebugMode->setChecked(true);
    window.chkDebugMode_Click();
    page.txtTcpIpAddr[0]->setText(QStringLiteral("127.0.0.1"));
    page.txtTcpPort[0]->setText(QString::number(port));
    page.cmdTcpControl[0]->click();
    const TcpServer &server = *window.tcpServices->tcpServer[0];
    QVERIFY(server.listening());
    QString text;
    for (int at = 0; at < ReplySize; at += 16)
        text += QString::number(at).rightJustified(15, QLatin1Char('0')) + QLatin1Char('|');
    page.txtTcpReply[0]->setText(text);
    const QByteArray wholeReply = text.toLatin1();
    QSignalSpy dataIn(&server, &TcpServer::DataIn);
    QSignalSpy disconnected(&server, &TcpServer::Disconnected);

    RawClient peer(port, SmallBuffer);
    QVERIFY(peer.connected());
    QTRY_COMPARE(server.openConnections(), 1);
    QVERIFY(peer.shrinkServerSendBuffer(SmallBuffer));
    // A client that does not read sends on until replies wait in this process, not only in
    // the kernel's buffers, and twenty requests more, which may wait unread.
    QByteArray sent;
    for (int k = 0, beyond = 0; k < (reading ? 60 : 400) && beyond < 20; ++k, QTest::qWait(5)) {
        QVERIFY(peer.send("GET /"));
        sent += "GET /";
        if (reading)
            peer.take();
        else
            beyond += server.pendingBytes(1) > 0;
    }
    QVERIFY(reading || server.pendingBytes(1) > 0);
    QVERIFY(peer.endSending());
    QVERIFY(QTest::qWaitFor([&] { return peer.take(), peer.ended; }, 10000));
    const QByteArray expected = wholeReply.repeated(dataIn.size());
    QVERIFY2(peer.received == expected, firstDifference(peer.received, expected));
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
    QCOMPARE(trace.count(QStringLiteral("Disconnected")), 1);
}

// A handler may wait in a nested event loop, as a message box does. Data that arrives
// meanwhile must wait for it, or its reply would go out after the later one.
void TstTcpReplies::noDataInsideAHandlersNestedLoop()
{
    TcpServer server(0);
    server.setLocalAddress(QStringLiteral("127.0.0.1"));
    server.setLocalPort(freePort());
    QVERIFY(server.setListening(true));
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
