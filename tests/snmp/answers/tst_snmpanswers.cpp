#include "support/requests.h"

#include "snmp/answers/bulkanswers.h"
#include "snmp/answers/countermotion.h"
#include "snmp/answers/requestanswers.h"
#include "snmp/answers/rowbehaviour.h"
#include "snmp/answers/servedobjects.h"
#include "snmp/answers/systemanswers.h"
#include "snmp/codec/snmpvalue.h"

#include <QtTest>

// The answer routines on a row's objects, without sockets.
class TstSnmpAnswers : public QObject
{
    Q_OBJECT
private slots:
    void uptimeIsUnsignedAndWraps();
    void getAnswersWhatTheRowHas();
    void getNextWalksTheGroup_data();
    void getNextWalksTheGroup();
    void getBulkOfTheSystemGroup_data();
    void getBulkOfTheSystemGroup();
    void behaviourSummaryNamesWhatIsOn();
    void counterValueWrapsAndStepsExactly();
};

namespace {

const QString Sys = QStringLiteral("1.3.6.1.2.1.1.");
const QDateTime Start(QDate(2026, 3, 1), QTime(12, 0, 0));
const ControlledObject Object1{"1.3.6.1.2.1.2.2.1.8.1", "Integer32", "1"};
const ControlledObject Object2{"1.3.6.1.2.1.11.2.0", "Integer32", "100"};

AgentTableRow rowOf(int index)
{
    const QString n = QString::number(index + 1);
    return {true,
            Start,
            "IP=127.0.0.1,Port=" + QString::number(171 + index),
            "1.3.6.1.4.1.7394.1.99." + n,
            "Ola Nordmann",
            "Agent " + n,
            "Lab " + n,
            76};
}

// As the agent receives it: decoded from bytes, with error fields an answer must not echo.
SnmpMessage received(int type, const QStringList &oids)
{
    SnmpMessage message = makeRequest(type, oids);
    message.ErrorStatus = 5;
    message.ErrorIndex = 9;
    return decodeMessage(encodeMessage(message).value()).value();
}

// Answers as plain row `index` does: rows 5 and 6 the first and second typed object.
Status answer(SnmpMessage &message, int index, const ControlledObject &o1 = Object1,
              const ControlledObject &o2 = Object2, const QDateTime &now = Start)
{
    const AgentTableRow row = rowOf(index);
    SystemAnswers prepared;
    ServedObjects objects(nullptr, row, prepared, now, message.version == SnmpVersion::V1,
                          RowKind::Plain);
    if (index == 5)
        objects.setTypedObject(o1);
    else if (index == 6)
        objects.setTypedObject(o2);
    return answerRequest(message, objects, 65507);
}

SnmpMessage get(int index, const QStringList &oids, const ControlledObject &o1 = Object1,
                const ControlledObject &o2 = Object2, const QDateTime &now = Start)
{
    SnmpMessage message = received(32, oids);
    answer(message, index, o1, o2, now);
    return message;
}

} // namespace

void TstSnmpAnswers::uptimeIsUnsignedAndWraps()
{
    // Hundredths of whole seconds; the top bit is no sign, and past 2^32 the clock starts over.
    using Case = std::tuple<qint64, const char *, const char *>; // ms, text, element
    constexpr qint64 Day = 86'400'000;
    for (const auto &[ms, text, element] :
         {Case{90'999, "9000", "43022328"}, Case{300 * Day, "2592000000", "4305009a7ec800"},
          Case{500 * Day, "25032704", "4304017df800"}}) {
        const SnmpMessage answer = get(0, {Sys + "3"}, Object1, Object2, Start.addMSecs(ms));
        QCOMPARE(answer.Variables[0].Oid(), Sys + "3.0");
        QCOMPARE(answer.Variables[0].Value(), QString(text));
        QCOMPARE(answer.Variables[0].valueElement().toHex(), QByteArray(element));
    }
}

void TstSnmpAnswers::getAnswersWhatTheRowHas()
{
    for (int row = 0; row < 7; ++row) {
        for (const auto &[object, owner] : {std::pair{Object1, 5}, std::pair{Object2, 6}}) {
            const SnmpMessage answer = get(row, {object.oid});
            QCOMPARE(answer.ErrorStatus, row == owner ? 0 : 2);
            QCOMPARE(answer.ErrorIndex, row == owner ? 0 : 1);
            QCOMPARE(answer.Variables[0].Value(), row == owner ? object.value : QString());
        }
    }
    // A system identifier typed into the box stays the system object's.
    QCOMPARE(get(5, {Sys + "5.0"}, {Sys + "5.0", "Integer32", "9"}).Variables[0].Value(),
             QStringLiteral("Agent 6"));
    // Only the object and its .0 instance are sysName.
    for (const QString &oid : {Sys + "5.5", Sys + "5.0.0", Sys + "50.0"})
        QCOMPARE(get(0, {oid}).ErrorStatus, 2);

    // The error index names the last variable without an answer.
    const SnmpMessage answer = get(0, {Sys + "5", Sys + "9.0", Sys + "8.0"});
    QCOMPARE(answer.Variables[0].Value(), QStringLiteral("Agent 1"));
    QCOMPARE(answer.ErrorStatus, 2);
    QCOMPARE(answer.ErrorIndex, 3);
    QCOMPARE(answer.Variables[2].Type(), SnmpType::Null);
}

void TstSnmpAnswers::getNextWalksTheGroup_data()
{
    QTest::addColumn<QString>("asked");
    QTest::addColumn<int>("next"); // 0: none
    // Each step of a walk from mib-2 is compared against snmpwalk by the agent row tests.
    for (int n = 1; n <= 7; ++n)
        QTest::addRow("%d", n) << Sys + QString::number(n) << n;
    QTest::newRow("system") << "1.3.6.1.2.1.1" << 1;
    QTest::newRow("between objects") << Sys + "3.0.5" << 4;
    QTest::newRow("past sysServices") << Sys + "7.0.1" << 0;
    QTest::newRow("controlled object") << Object1.oid << 0;
}

void TstSnmpAnswers::getNextWalksTheGroup()
{
    QFETCH(QString, asked);
    QFETCH(int, next);
    SnmpMessage message = received(33, {asked});
    QVERIFY(answer(message, 6, Object1, Object2, Start.addSecs(2)).ok());
    QCOMPARE(message.ErrorStatus, next ? 0 : 2);
    QCOMPARE(message.ErrorIndex, next ? 0 : 1);
    QCOMPARE(message.Variables[0].Oid(), next ? Sys + QString::number(next) + ".0" : asked);
    const QString values = "|IP=127.0.0.1,Port=177|1.3.6.1.4.1.7394.1.99.7|200|Ola Nordmann|"
                           "Agent 7|Lab 7|76";
    QCOMPARE(message.Variables[0].Value(), values.split('|')[next]);
}

// A row without a recording: its seven system objects are the whole view.
void TstSnmpAnswers::getBulkOfTheSystemGroup_data()
{
    QTest::addColumn<int>("nonRepeaters");
    QTest::addColumn<int>("maxRepetitions");
    QTest::addColumn<QStringList>("oids");
    QTest::addColumn<QStringList>("answers"); // identifier, "!" marking endOfMibView

    QTest::newRow("negative counts are 0") << -3 << -1 << QStringList{Sys + "1.0"} << QStringList{};
    QTest::newRow("more non-repeaters than variables")
        << 9 << 4 << QStringList{Sys + "1.0", Sys + "7.0"}
        << QStringList{Sys + "2.0", Sys + "7.0!"};
    QTest::newRow("repeaters interleave and stop when all ended")
        << 1 << 5 << QStringList{"1.3", Sys + "4.0", Sys + "5.0"}
        << QStringList{Sys + "1.0", Sys + "5.0",  Sys + "6.0",  Sys + "6.0", Sys + "7.0",
                       Sys + "7.0", Sys + "7.0!", Sys + "7.0!", Sys + "7.0!"};
}

void TstSnmpAnswers::getBulkOfTheSystemGroup()
{
    QFETCH(int, nonRepeaters);
    QFETCH(int, maxRepetitions);
    QFETCH(QStringList, oids);
    QFETCH(QStringList, answers);
    AgentTableRow row;
    row.AgentStartTime = QDateTime::currentDateTimeUtc();
    row.SysDescr = row.SysObjectID = QStringLiteral("1.3");
    SystemAnswers prepared;
    const ServedObjects objects(nullptr, row, prepared, row.AgentStartTime, false);
    SnmpMessage message = makeRequest(SnmpPdu::V2cBase + SnmpPdu::GetBulkRequest, oids);
    message.nonRepeaters = nonRepeaters;
    message.maxRepetitions = maxRepetitions;
    QVERIFY(answerGetBulkRequest(message, objects));
    QStringList got;
    for (const SnmpVariable &variable : message.Variables)
        got.append(variable.Oid() + (variable.Type() == SnmpType::EndOfMibView ? "!" : ""));
    QCOMPARE(got, answers);
    QCOMPARE(message.ErrorStatus, 0);
}

void TstSnmpAnswers::behaviourSummaryNamesWhatIsOn()
{
    RowBehaviour behaviour;
    QVERIFY(behaviour.isDefault());
    QVERIFY(!behaviour.hasFaults());
    QCOMPARE(behaviourSummary(behaviour), QString());
    behaviour.countersAdvance = true;
    behaviour.speedFactor = 100;
    behaviour.latencyMs = 200;
    behaviour.jitterMs = 50;
    behaviour.lossPercent = 5;
    QVERIFY(behaviour.hasFaults());
    QCOMPARE(behaviourSummary(behaviour),
             QStringLiteral("Counters \u00d7100, latency 200 \u00b1 50 ms, loss 5 %"));
    behaviour = {};
    behaviour.jitterMs = 1;
    QVERIFY(behaviour.hasFaults());
    QCOMPARE(behaviourSummary(behaviour), QStringLiteral("Latency 0 \u00b1 1 ms"));
}

void TstSnmpAnswers::counterValueWrapsAndStepsExactly()
{
    QCOMPARE(counterValueAt(7, {1, 60}, 1, 5900), 7u); // once a minute, not before
    QCOMPARE(counterValueAt(7, {1, 60}, 1000, 6000), 7u + 1000);
    QCOMPARE(counterValueAt(~quint64(0) - 9, {7, 1}, 1, 200), 4u);
    // 100 Gbit/s at ×1000 for ten years passes 64 bits before the division.
    const quint64 fast = 12'500'000'000, seconds = 315'360'000;
    QCOMPARE(counterValueAt(5, {fast, 1}, 1000, qint64(seconds) * 100), 5 + fast * 1000 * seconds);
    QCOMPARE(counterValueAt(9, {fast, 1}, 1000, -500), 9u); // a clock set back
    // A Counter32 reads the low half, however far it ran.
    const QByteArrayView oid("\x2b\x06\x01\x04\x01\x09");
    const QByteArray recorded = ber::unsignedElement(SnmpTag::Counter32, 4294967295u);
    for (qint64 ticks = 100; ticks < (1LL << 50); ticks *= 3) {
        const CounterElement e = CounterMotion().advanced(oid, recorded, ticks, 1000);
        QCOMPARE(ber::decodeUnsigned(ber::contentOf(e.view())).value(),
                 counterValueAt(4294967295u, CounterMotion().rateOf(oid), 1000, ticks) &
                     0xffffffffu);
    }
}

QTEST_GUILESS_MAIN(TstSnmpAnswers)
#include "tst_snmpanswers.moc"
