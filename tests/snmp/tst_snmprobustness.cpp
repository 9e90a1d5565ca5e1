#include "snmpmutations.h"
#include "snmptesthelpers.h"
#include "support/testwindow.h"

#include "snmp/snmpagent.h"

#include <QtTest>

// A started row fed a long stream of broken and foreign datagrams must neither crash, nor block,
// nor answer what is no request, and must still answer the next valid request.
class TstSnmpRobustness : public QObject
{
    Q_OBJECT
private slots:
    void survivesAHundredThousandBadDatagrams();
};

void TstSnmpRobustness::survivesAHundredThousandBadDatagrams()
{
    TestWindow test;
    FrmMain &window = test.open();
    const quint16 port = freeUdpPort();
    QVERIFY(startRow(window, 0, port));
    const SnmpAgent &agent = window.snmpAgents->snmpAgent(0);

    SnmpMutations mutations(20261206);
    TestManager manager;
    manager.socket().setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 1 << 20);
    constexpr int Total = 100'000;
    constexpr int Batch = 50; // well inside the agent socket's receive buffer
    qint64 expectedDropped = 0;
    qint64 expectedAnswers = 0;
    qint64 answers = 0;
    QByteArray reply(65536, '\0');
    for (int sent = 0; sent < Total;) {
        for (int i = 0; i < Batch; ++i, ++sent) {
            const QByteArray datagram = mutations.next();
            const Result<SnmpMessage> decoded = decodeMessage(datagram);
            const int pdu = decoded ? decoded.value().pdu() : -1;
            const bool request = pdu == SnmpPdu::GetRequest || pdu == SnmpPdu::GetNextRequest ||
                                 pdu == SnmpPdu::SetRequest || pdu == SnmpPdu::GetBulkRequest;
            ++(request ? expectedAnswers : expectedDropped);
            manager.send(port, datagram);
        }
        const bool caughtUp = waitFor(
            [&] {
                while (manager.socket().hasPendingDatagrams()) {
                    manager.socket().readDatagram(reply.data(), reply.size());
                    ++answers;
                }
                return qint64(agent.droppedCount()) == expectedDropped &&
                       answers == expectedAnswers;
            },
            5000);
        QVERIFY2(caughtUp,
                 qPrintable(QStringLiteral("after %1: dropped %2 of %3, answered %4 of %5")
                                .arg(sent)
                                .arg(agent.droppedCount())
                                .arg(expectedDropped)
                                .arg(answers)
                                .arg(expectedAnswers)));
    }
    qInfo("%lld dropped, %lld answered", expectedDropped, expectedAnswers);
    QVERIFY(expectedDropped > Total / 2);

    const auto answer = manager.exchange(port, makeRequest(32, {"1.3.6.1.2.1.1.5.0"}));
    QVERIFY(answer);
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 1"));
    QCOMPARE(window.snmpAgent->txtSnmpStatus[0]->text(), QStringLiteral("Started"));
    QVERIFY2(test.messages.texts.isEmpty(), qPrintable(test.messages.texts.join('\n')));
}

QTEST_MAIN(TstSnmpRobustness)
#include "tst_snmprobustness.moc"
