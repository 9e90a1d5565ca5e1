#include "snmptesthelpers.h"

#include "snmp/agentanswers.h"
#include "snmp/snmpvalue.h"
#include "snmp/systemanswers.h"

#include <QtTest>

class TstAgentAnswers : public QObject
{
    Q_OBJECT
private slots:
    void uptimeCountsWholeSecondsAndWraps();
    void getAnswersWhatTheRowHas();
    void getNextWalksTheGroup_data();
    void getNextWalksTheGroup();
    void setIsRefusedInTheVersionsTerms();
    void preparedAnswersFollowTheRow();
};

namespace {

const QString Sys = QStringLiteral("1.3.6.1.2.1.1.");
const QDateTime Start(QDate(2026, 3, 1), QTime(12, 0, 0));
const ControlledObject Object1{"1.3.6.1.2.1.2.2.1.8.1", "Integer32", "1"};
const ControlledObject Object2{"1.3.6.1.2.1.11.2.0", "Integer32", "100"};

AgentTableRow rowOf(int index)
{
    const QString number = QString::number(index + 1);
    AgentTableRow row;
    row.AgentRunning = true;
    row.AgentStartTime = Start;
    row.SysDescr = "IP=127.0.0.1,Port=" + QString::number(171 + index);
    row.SysObjectID = "1.3.6.1.4.1.7394.1.99." + number;
    row.SysContact = "Ola Nordmann";
    row.SysName = "Agent " + number;
    row.SysLocation = "Lab " + number;
    row.SysServices = 76;
    return row;
}

SnmpMessage get(int index, const QStringList &oids, const ControlledObject &o1 = Object1,
                const ControlledObject &o2 = Object2, const QDateTime &now = Start)
{
    SnmpMessage message = makeRequest(32, oids);
    const Status answered = answerGetRequest(message, index, rowOf(index), o1, o2, now);
    if (!answered)
        qWarning() << answered.failure().description;
    return message;
}

} // namespace

void TstAgentAnswers::uptimeCountsWholeSecondsAndWraps()
{
    SnmpMessage answer = get(0, {Sys + "3.0"}, Object1, Object2, Start.addMSecs(90'999));
    QCOMPARE(answer.Variables[0].Type(), SnmpType::TimeTicks);
    QCOMPARE(answer.Variables[0].Value(), QStringLiteral("9000"));

    // 500 days: the text is the exact product, the wire value starts over past 2^32.
    answer = get(0, {Sys + "3"}, Object1, Object2, Start.addDays(500));
    QCOMPARE(answer.Variables[0].Oid(), Sys + "3.0");
    QCOMPARE(answer.Variables[0].Value(), QStringLiteral("4320000000"));
    QCOMPARE(answer.Variables[0].valueElement().toHex(), QByteArray("4304017df800"));
}

void TstAgentAnswers::getAnswersWhatTheRowHas()
{
    for (int row = 0; row < 7; ++row) {
        for (const auto &[object, owner] : {std::pair{Object1, 5}, std::pair{Object2, 6}}) {
            const SnmpMessage answer = get(row, {object.oid});
            QCOMPARE(answer.ErrorStatus, row == owner ? 0 : 2);
            QCOMPARE(answer.Variables[0].Value(), row == owner ? object.value : QString());
        }
    }
    // A system identifier typed into the box stays the system object's.
    const ControlledObject system{Sys + "5.0", "Integer32", "9"};
    QCOMPARE(get(5, {Sys + "5.0"}, system).Variables[0].Value(), QStringLiteral("Agent 6"));

    // The error index names the last variable without an answer.
    const SnmpMessage answer = get(0, {Sys + "5.0", Sys + "9.0", Sys + "8.0"});
    QCOMPARE(answer.Variables[0].Value(), QStringLiteral("Agent 1"));
    QCOMPARE(answer.ErrorStatus, 2);
    QCOMPARE(answer.ErrorIndex, 3);
    QCOMPARE(answer.Variables[2].Type(), SnmpType::Null);
}

void TstAgentAnswers::getNextWalksTheGroup_data()
{
    QTest::addColumn<QString>("asked");
    QTest::addColumn<int>("next"); // 0: none
    for (int n = 1; n <= 7; ++n) {
        QTest::addRow("%d", n) << Sys + QString::number(n) << n;
        QTest::addRow("%d.0", n) << Sys + QString::number(n) + ".0" << (n < 7 ? n + 1 : 0);
    }
    // Managers start walks at the group or at mib-2.
    QTest::newRow("system") << "1.3.6.1.2.1.1" << 1;
    QTest::newRow("mib-2") << "1.3.6.1.2.1" << 1;
    QTest::newRow("between objects") << Sys + "3.0.5" << 4;
    QTest::newRow("past sysServices") << Sys + "7.0.1" << 0;
    QTest::newRow("controlled object") << Object1.oid << 0;
}

void TstAgentAnswers::getNextWalksTheGroup()
{
    QFETCH(QString, asked);
    QFETCH(int, next);
    SnmpMessage message = makeRequest(33, {asked});
    QVERIFY(answerGetNextRequest(message, rowOf(6), Start.addSecs(2)).ok());
    QCOMPARE(message.ErrorStatus, next ? 0 : 2);
    QCOMPARE(message.ErrorIndex, next ? 0 : 1);
    QCOMPARE(message.Variables[0].Oid(), next ? Sys + QString::number(next) + ".0" : asked);
    const QStringList values{"",      "IP=127.0.0.1,Port=177", "1.3.6.1.4.1.7394.1.99.7",
                             "200",   "Ola Nordmann",          "Agent 7",
                             "Lab 7", "76"};
    QCOMPARE(message.Variables[0].Value(), values[next]);
}

void TstAgentAnswers::setIsRefusedInTheVersionsTerms()
{
    for (const auto &[type, status] : {std::pair{35, 2}, std::pair{67, 17}}) {
        SnmpMessage set = makeRequest(type, {Sys + "5.0", Sys + "6.0"});
        refuseSetRequest(set);
        QCOMPARE(set.ErrorStatus, status);
        QCOMPARE(set.ErrorIndex, 1);
        QCOMPARE(set.Variables[1].Type(), SnmpType::Null);
    }
}

void TstAgentAnswers::preparedAnswersFollowTheRow()
{
    // The agent keeps its encoded answers between requests: a restarted row (new texts, new
    // start time) must never be answered from what an earlier start left behind.
    SystemAnswers answers;
    const ControlledObjectsReader noObjects = [] { return ControlledObjects{Object1, Object2}; };
    const QStringList oids = {Sys + "1.0", Sys + "3.0", Sys + "5.0", Sys + "7.0"};
    const auto values = [&](const AgentTableRow &row, const QDateTime &now) {
        SnmpMessage message = makeRequest(32, oids);
        if (!answerGetRequest(message, 0, row, answers, noObjects, now))
            return QStringList();
        QStringList texts;
        for (const SnmpVariable &variable : message.Variables)
            texts.append(variable.Value());
        return texts;
    };
    AgentTableRow row = rowOf(0);
    QCOMPARE(values(row, Start.addSecs(5)),
             (QStringList{"IP=127.0.0.1,Port=171", "500", "Agent 1", "76"}));
    QCOMPARE(values(row, Start.addSecs(5)),
             (QStringList{"IP=127.0.0.1,Port=171", "500", "Agent 1", "76"}));
    row.SysDescr = "IP=127.0.0.1,Port=9171";
    row.SysName = "Agent 9";
    row.SysServices = 72;
    row.AgentStartTime = Start.addSecs(5);
    QCOMPARE(values(row, Start.addSecs(7)),
             (QStringList{"IP=127.0.0.1,Port=9171", "200", "Agent 9", "72"}));
}

QTEST_GUILESS_MAIN(TstAgentAnswers)
#include "tst_agentanswers.moc"
