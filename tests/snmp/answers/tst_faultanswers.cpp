#include "support/requests.h"

#include "snmp/answers/faultchances.h"
#include "snmp/answers/injectederror.h"
#include "snmp/answers/rowbehaviour.h"
#include "snmp/codec/snmptypes.h"

#include <QtTest>

// The pure parts of a row's faults: what a share and a spread mean, and the error an answer
// carries in each version.
class TstFaultAnswers : public QObject
{
    Q_OBJECT
private slots:
    void sharesAndSpreadsStayInBounds();
    void injectedErrorsAsEachVersionHasThem();
};

void TstFaultAnswers::sharesAndSpreadsStayInBounds()
{
    // All or nothing must hold at the draws' very ends, and NaN must lose nothing.
    QVERIFY(happens(100, 0xffffffff) && !happens(0, 0) && !happens(qQNaN(), 0));
    QVERIFY(happens(50, 0x7fffffff) && !happens(50, 0x80000000));
    // latency, jitter, draw: the spread reaches both ends, and a delay is never negative.
    QCOMPARE(answerDelayMs(100, 20, 0), 80);
    QCOMPARE(answerDelayMs(100, 20, 0xffffffff), 120);
    QCOMPARE(answerDelayMs(100, 20, 0x80000000), 100);
    QCOMPARE(answerDelayMs(10, 50, 0), 0);
    QCOMPARE(answerDelayMs(20000, 0, 0), RowBehaviour::MaxDelayMs);
}

void TstFaultAnswers::injectedErrorsAsEachVersionHasThem()
{
    // RFC 2576 section 4.4: every SNMPv2 status takes the SNMPv1 form listed there.
    const int v1Forms[19] = {0, 1, 2, 3, 4, 5, 2, 3, 3, 3, 3, 2, 3, 5, 5, 5, 2, 2, 2};
    struct Case
    {
        int type, status, sent, index, bindings;
    };
    QList<Case> cases{// SNMPv2: the index names the first binding unless the status names none.
                      {SnmpPdu::V2cBase, 5, 5, 1, 2},
                      {SnmpPdu::V2cBase, 14, 14, 0, 2},
                      {SnmpPdu::V2cBase, 16, 16, 0, 2},
                      {SnmpPdu::V2cBase, 1, 1, 0, 0}}; // tooBig drops the bindings
    for (int status = 0; status <= 18; ++status)
        cases.append({SnmpPdu::V1Base, status, v1Forms[status], v1Forms[status] >= 2, 2});
    for (const Case &c : cases) {
        SnmpMessage message = makeRequest(c.type, {"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.6.0"});
        injectError(message, c.status);
        const QList<int> got{message.ErrorStatus, message.ErrorIndex, int(message.Variables.size()),
                             message.Variables.value(0).Type()};
        // The request's own bindings go back, Null as they came.
        const QList<int> expected{c.sent, c.index, c.bindings, SnmpType::Null};
        QVERIFY2(got == expected,
                 qPrintable(QStringLiteral("type %1, status %2").arg(c.type).arg(c.status)));
    }
}

QTEST_GUILESS_MAIN(TstFaultAnswers)
#include "tst_faultanswers.moc"
