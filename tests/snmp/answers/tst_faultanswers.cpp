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
    void injectedErrorsAsEachVersionHasThem_data();
    void injectedErrorsAsEachVersionHasThem();
};

void TstFaultAnswers::sharesAndSpreadsStayInBounds()
{
    // All or nothing must hold at the draws' very ends, and NaN must lose nothing.
    QVERIFY(happens(100, 0xffffffff));
    QVERIFY(!happens(0, 0));
    QVERIFY(!happens(qQNaN(), 0));
    QVERIFY(happens(50, 0x7fffffff));
    QVERIFY(!happens(50, 0x80000000));
    // latency, jitter, draw: the spread reaches both ends, and a delay is never negative.
    QCOMPARE(answerDelayMs(100, 20, 0), 80);
    QCOMPARE(answerDelayMs(100, 20, 0xffffffff), 120);
    QCOMPARE(answerDelayMs(100, 20, 0x80000000), 100);
    QCOMPARE(answerDelayMs(10, 50, 0), 0);
    QCOMPARE(answerDelayMs(20000, 0, 0), RowBehaviour::MaxDelayMs);
}

void TstFaultAnswers::injectedErrorsAsEachVersionHasThem_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("sent");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("bindings");
    const int v1 = SnmpPdu::V1Base;
    const int v2 = SnmpPdu::V2cBase;
    // RFC 2576 section 4.4: every SNMPv2 status has the SNMPv1 form listed there.
    const int v1Forms[19] = {0, 1, 2, 3, 4, 5, 2, 3, 3, 3, 3, 2, 3, 5, 5, 5, 2, 2, 2};
    for (int status = 0; status <= 18; ++status) {
        const bool named = v1Forms[status] >= 2;
        QTest::addRow("v1 %d", status) << v1 << status << v1Forms[status] << int(named) << 2;
    }
    // SNMPv2: the status as set; the index names the first binding unless the status names none.
    QTest::newRow("v2c genErr") << v2 << 5 << 5 << 1 << 2;
    QTest::newRow("v2c noAccess") << v2 << 6 << 6 << 1 << 2;
    QTest::newRow("v2c resourceUnavailable") << v2 << 13 << 13 << 1 << 2;
    QTest::newRow("v2c commitFailed") << v2 << 14 << 14 << 0 << 2;
    QTest::newRow("v2c authorizationError") << v2 << 16 << 16 << 0 << 2;
    QTest::newRow("v2c noError") << v2 << 0 << 0 << 0 << 2;
    QTest::newRow("v2c tooBig drops the bindings") << v2 << 1 << 1 << 0 << 0;
    QTest::newRow("out of range") << v2 << 99 << 18 << 1 << 2;
}

void TstFaultAnswers::injectedErrorsAsEachVersionHasThem()
{
    QFETCH(int, type);
    QFETCH(int, status);
    QFETCH(int, sent);
    QFETCH(int, index);
    QFETCH(int, bindings);
    const QStringList oids{"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.6.0"};
    SnmpMessage message = makeRequest(type, oids);
    injectError(message, status);
    QCOMPARE(message.ErrorStatus, sent);
    QCOMPARE(message.ErrorIndex, index);
    QCOMPARE(message.Variables.size(), bindings);
    for (const SnmpVariable &variable : message.Variables)
        QCOMPARE(variable.Type(), SnmpType::Null); // the request's own bindings
}

QTEST_GUILESS_MAIN(TstFaultAnswers)
#include "tst_faultanswers.moc"
