#include "app/helppage.h"
#include "loopbackclient.h"
#include "support/testwindow.h"
#include "tcp/tcpserver.h"
#include "tcp/tcpservicepage.h"
#include "tcp/tcpservices.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <sys/socket.h>

class TstTcpServices : public QObject
{
    Q_OBJECT
private slots:
    void startAndStopShowTheRowsState();
    void refusedStartLeavesRowStopped_data();
    void refusedStartLeavesRowStopped();
    void secondRowOnSamePortGetsTheComponentsMessage();
    void everyPieceOfDataGetsTheReplyBoxAsItIsNow();
    void clientThatStopsSendingStillGetsItsReply();
    void emptyReplyBoxNeverAnswersButTraces();
    void debugRecordsInTheirFormat();
    void clientClosingWithoutDataLeavesConnectAndDisconnect();
    void binaryBytesAreTracedAsTheyCame();
    void missingTraceFolderStopsTheReply();
};

namespace {
// Starts a row on 127.0.0.1 and the given port through its button.
void clickRow(FrmMain &window, int row, int port)
{
    window.tcpService->txtTcpIpAddr[row]->setText(QStringLiteral("127.0.0.1"));
    window.tcpService->txtTcpPort[row]->setText(QString::number(port));
    window.tcpService->cmdTcpControl[row]->click();
}

void debugModeOn(FrmMain &window)
{
    window.help->chkDebugMode->setChecked(true);
    window.chkDebugMode_Click();
}

QString traceOf(TestWindow &test, int port)
{
    return test.traceFolder() + QStringLiteral("/Tcp_127.0.0.1_%1.txt").arg(port);
}

const char *const Stamp = "[0-2][0-9]:[0-5][0-9]:[0-5][0-9]";

// The trace as a pattern: each record's stamp is matched, the rest taken literally.
bool traceMatches(const QByteArray &trace, const QStringList &records)
{
    QString pattern = QStringLiteral("^");
    for (const QString &record : records)
        pattern += QLatin1String(Stamp) + QRegularExpression::escape(record);
    pattern += QLatin1Char('$');
    const QRegularExpression re(pattern, QRegularExpression::DotMatchesEverythingOption);
    return re.match(QString::fromLatin1(trace)).hasMatch();
}
} // namespace

void TstTcpServices::startAndStopShowTheRowsState()
{
    TestWindow test;
    FrmMain &window = test.open();
    TcpServicePage &page = *window.tcpService;
    const int port = freePort();
    clickRow(window, 0, port);
    QCOMPARE(page.txtTcpStatus[0]->text(), QStringLiteral("Started"));
    QCOMPARE(page.cmdTcpControl[0]->text(), QStringLiteral("Stop"));
    QVERIFY(page.cmdTcpControl[0]->isEnabled());
    QVERIFY(test.messages.texts.isEmpty());

    QTcpSocket client;
    QVERIFY(connectClient(client, port));
    client.write("GET /");
    QCOMPARE(readBytes(client, 12), QByteArray("HTTP/1.1 200"));

    page.cmdTcpControl[0]->click();
    QCOMPARE(page.txtTcpStatus[0]->text(), QStringLiteral("Stopped"));
    QCOMPARE(page.cmdTcpControl[0]->text(), QStringLiteral("Start"));
    QVERIFY(!window.tcpServices->tcpServer[0]->listening());
    QTcpSocket late;
    QVERIFY(!connectClient(late, port));
    // Stopping ends listening only; the open connection is still answered.
    client.write("again");
    QCOMPARE(readBytes(client, 12), QByteArray("HTTP/1.1 200"));

    // A stopped row starts again on the same port.
    page.cmdTcpControl[0]->click();
    QCOMPARE(page.cmdTcpControl[0]->text(), QStringLiteral("Stop"));
    QVERIFY(connectClient(late, port));
    QVERIFY(test.messages.texts.isEmpty());
}

void TstTcpServices::refusedStartLeavesRowStopped_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("message");
    const QString notValid = QStringLiteral("TCP Server IP Address is not valid");
    QTest::newRow("not this machine") << "10.99.99.99" << "" << notValid;
    QTest::newRow("not an address") << "127.0.0.x" << "" << notValid;
    QTest::newRow("letters in port") << "127.0.0.1" << "http" << "Type mismatch";
    QTest::newRow("port out of range")
        << "127.0.0.1" << "70000" << "Port 70000 is out of range (1 to 65535)";
}

void TstTcpServices::refusedStartLeavesRowStopped()
{
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(QString, message);
    TestWindow test;
    FrmMain &window = test.open();
    TcpServicePage &page = *window.tcpService;
    page.txtTcpIpAddr[2]->setText(address);
    page.txtTcpPort[2]->setText(port.isEmpty() ? QString::number(freePort()) : port);
    page.cmdTcpControl[2]->click();
    QCOMPARE(test.messages.texts, QStringList{message});
    QCOMPARE(page.txtTcpStatus[2]->text(), QStringLiteral("Stopped"));
    QCOMPARE(page.cmdTcpControl[2]->text(), QStringLiteral("Start"));
    QVERIFY(page.cmdTcpControl[2]->isEnabled());
    QVERIFY(!window.tcpServices->tcpServer[2]->listening());
}

void TstTcpServices::secondRowOnSamePortGetsTheComponentsMessage()
{
    TestWindow test;
    FrmMain &window = test.open();
    const int port = freePort();
    clickRow(window, 0, port);
    clickRow(window, 1, port);
    QCOMPARE(test.messages.texts.size(), 1);
    QVERIFY2(test.messages.texts.first().contains(QStringLiteral("in use")),
             qPrintable(test.messages.texts.first()));
    QCOMPARE(window.tcpService->txtTcpStatus[1]->text(), QStringLiteral("Stopped"));
    QCOMPARE(window.tcpService->txtTcpStatus[0]->text(), QStringLiteral("Started"));
}

void TstTcpServices::everyPieceOfDataGetsTheReplyBoxAsItIsNow()
{
    TestWindow test;
    FrmMain &window = test.open();
    const int port = freePort();
    clickRow(window, 1, port);
    QTcpSocket client;
    QVERIFY(connectClient(client, port));
    for (const char *piece : {"HELO a", "MAIL FROM:<b>", "QUIT"}) {
        client.write(piece);
        QCOMPARE(readBytes(client, 3), QByteArray("220"));
        QTest::qWait(50);
    }
    QCOMPARE(readFor(client, 50), QByteArray());

    // The reply box is read when data comes, also while the client stays connected.
    window.tcpService->txtTcpReply[1]->setText(QStringLiteral("250 OK"));
    client.write("NOOP\r\n");
    QCOMPARE(readBytes(client, 6), QByteArray("250 OK"));
    QCOMPARE(readFor(client, 50), QByteArray());
    QVERIFY(test.messages.texts.isEmpty());
}

void TstTcpServices::clientThatStopsSendingStillGetsItsReply()
{
    TestWindow test;
    FrmMain &window = test.open();
    const int port = freePort();
    clickRow(window, 2, port);
    QSignalSpy disconnected(window.tcpServices->tcpServer[2], &TcpServer::Disconnected);
    QTcpSocket client;
    QVERIFY(connectClient(client, port));
    client.write("USER anonymous\r\n");
    client.flush();
    // Request and end of sending arrive together, as from a client that half-closes.
    QCOMPARE(::shutdown(int(client.socketDescriptor()), SHUT_WR), 0);
    QCOMPARE(readBytes(client, 3), QByteArray("230"));
    QTRY_COMPARE(disconnected.size(), 1);
    QCOMPARE(window.tcpServices->tcpServer[2]->openConnections(), 0);
}

void TstTcpServices::emptyReplyBoxNeverAnswersButTraces()
{
    TestWindow test;
    FrmMain &window = test.open();
    debugModeOn(window);
    const int port = freePort();
    clickRow(window, 3, port);
    QTcpSocket client;
    QVERIFY(connectClient(client, port));
    client.write("anyone there?");
    QCOMPARE(readFor(client, 200), QByteArray());
    const QByteArray trace = readFile(traceOf(test, port));
    QVERIFY2(trace.contains(" <-- 127.0.0.1:" + QByteArray::number(client.localPort())
                            + " anyone there?\r\n"),
             trace);
    QVERIFY(!trace.contains(" --> "));
    QVERIFY(test.messages.texts.isEmpty());
}

void TstTcpServices::debugRecordsInTheirFormat()
{
    TestWindow test;
    FrmMain &window = test.open();
    const int port = freePort();
    clickRow(window, 0, port);
    QTcpSocket quiet;
    QVERIFY(connectClient(quiet, port));
    quiet.write("not traced");
    QCOMPARE(readBytes(quiet, 12), QByteArray("HTTP/1.1 200"));
    QVERIFY(QDir(test.traceFolder()).isEmpty());

    debugModeOn(window);
    QTcpSocket client;
    QVERIFY(connectClient(client, port));
    const QString peer = QString::number(client.localPort());
    client.write("GET /");
    QCOMPARE(readBytes(client, 12), QByteArray("HTTP/1.1 200"));
    client.close();
    const QString path = traceOf(test, port);
    QTRY_VERIFY(readFile(path).endsWith("Disconnected\r\n\r\n"));
    const QByteArray trace = readFile(path);
    QVERIFY2(traceMatches(trace, {" --- Connected with 127.0.0.1 on port " + peer + "\r\n",
                                  " <-- 127.0.0.1:" + peer + " GET /\r\n",
                                  " --> HTTP/1.1 200\r\n", " --- Disconnected\r\n\r\n"}),
             trace);
}

void TstTcpServices::clientClosingWithoutDataLeavesConnectAndDisconnect()
{
    TestWindow test;
    FrmMain &window = test.open();
    debugModeOn(window);
    const int port = freePort();
    clickRow(window, 2, port);
    QSignalSpy disconnected(window.tcpServices->tcpServer[2], &TcpServer::Disconnected);
    QTcpSocket client;
    QVERIFY(connectClient(client, port));
    const QString peer = QString::number(client.localPort());
    client.close();
    QTRY_COMPARE(disconnected.size(), 1);
    const QByteArray trace = readFile(traceOf(test, port));
    QVERIFY2(traceMatches(trace, {" --- Connected with 127.0.0.1 on port " + peer + "\r\n",
                                  " --- Disconnected\r\n\r\n"}),
             trace);
    QCOMPARE(window.tcpServices->tcpServer[2]->openConnections(), 0);
}

void TstTcpServices::binaryBytesAreTracedAsTheyCame()
{
    TestWindow test;
    FrmMain &window = test.open();
    debugModeOn(window);
    const int port = freePort();
    window.tcpService->txtTcpReply[0]->setText(QStringLiteral("Grüße"));
    clickRow(window, 0, port);
    QTcpSocket client;
    QVERIFY(connectClient(client, port));
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    client.write(all);
    // The reply goes out in UTF-8; the trace, an 8-bit file, holds it in Latin-1.
    QCOMPARE(readBytes(client, 7), QStringLiteral("Grüße").toUtf8());
    const QString peer = QString::number(client.localPort());
    const QByteArray trace = readFile(traceOf(test, port));
    QVERIFY2(traceMatches(trace, {" --- Connected with 127.0.0.1 on port " + peer + "\r\n",
                                  " <-- 127.0.0.1:" + peer + ' ' + QString::fromLatin1(all)
                                      + "\r\n",
                                  QStringLiteral(" --> Gr\u00fc\u00dfe\r\n")}),
             trace.toHex());
}

void TstTcpServices::missingTraceFolderStopsTheReply()
{
    TestWindow test;
    FrmMain &window = test.open();
    const int port = freePort();
    clickRow(window, 0, port);
    debugModeOn(window);
    QVERIFY(QDir(test.traceFolder()).removeRecursively());
    QTcpSocket client;
    QVERIFY(connectClient(client, port));
    client.write("GET /");
    QTRY_COMPARE(test.messages.texts.size(), 2);
    QVERIFY(test.messages.texts.at(0).startsWith("Modul: tcpServer_Connected, Err: "));
    QVERIFY(test.messages.texts.at(1).startsWith("Modul: tcpServer_DataIn, Err: "));
    QVERIFY(test.messages.texts.at(1).size() > 32);
    QCOMPARE(readFor(client, 100), QByteArray());
    QVERIFY(!QDir(test.traceFolder()).exists());
}

QTEST_MAIN(TstTcpServices)
#include "tst_tcpservices.moc"
