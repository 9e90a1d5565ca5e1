#include "snmp/agentanswers.h"
#include "snmp/snmpvalue.h"

#include <QtTest>

class TstAgentAnswers : public QObject
{
    Q_OBJECT
private slots:
    void getAnswersTheSystemObjects_data();
    void getAnswersTheSystemObjects();
    void uptimeCountsWholeSecondsAndWraps();
    void controlledObjectsBelongToTheirRow_data();
    void controlledObjectsBelongToTheirRow();
    void controlledTypeCodes_data();
    void controlledTypeCodes();
    void sameIdentifierInBothBoxesIsRowFivesOnly();
    void lastUnmatchedVariableIsNamed();
    void valueThatDoesNotFitStopsTheAnswers();
    void unknownTypeNameKeepsTheRequestsType();
    void getNextWalksTheGroup_data();
    void getNextWalksTheGroup();
    void getNextKeepsUnmatchedVariables();
    void setIsRefusedInTheVersionsTerms();
};

namespace {

const QString Sys = QStringLiteral("1.3.6.1.2.1.1.");
const QDateTime Start(QDate(2026, 3, 1), QTime(12, 0, 0));

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

const ControlledObject Object1{"1.3.6.1.2.1.2.2.1.8.1", "Integer32", "1"};
const ControlledObject Object2{"1.3.6.1.2.1.11.2.0", "Integer32", "100"};

SnmpMessage request(int type, const QStringList &oids, const QString &community = "kettle")
{
    SnmpMessage message;
    message.version = type < 64 ? 0 : 1;
    message.Type = type;
    message.Community = community;
    message.MessageNumber = 1234;
    for (const QString &oid : oids) {
        Result<SnmpVariable> variable = SnmpVariable::make(oid);
        message.Variables.append(variable.ok() ? variable.value() : SnmpVariable());
    }
    return message;
}

SnmpMessage get(int index, const QStringList &oids, const ControlledObject &o1 = Object1,
                const ControlledObject &o2 = Object2, const QDateTime &now = Start)
{
    SnmpMessage message = request(32, oids);
    const Status answered = answerGetRequest(message, index, rowOf(index), o1, o2, now);
    if (!answered)
        qWarning() << answered.failure().description;
    return message;
}

} // namespace

void TstAgentAnswers::getAnswersTheSystemObjects_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("oid");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("value");
    QTest::newRow("sysName without .0") << 2 << Sys + "5" << Sys + "5.0" << 2 << "Agent 3";
    QTest::newRow("sysObjectID")
        << 6 << Sys + "2" << Sys + "2.0" << 3 << "1.3.6.1.4.1.7394.1.99.7";
    QTest::newRow("sysServices") << 4 << Sys + "7.0" << Sys + "7.0" << 1 << "76";
}

void TstAgentAnswers::getAnswersTheSystemObjects()
{
    QFETCH(int, row);
    QFETCH(QString, asked);
    QFETCH(QString, oid);
    QFETCH(int, type);
    QFETCH(QString, value);
    const SnmpMessage answer = get(row, {asked});
    QCOMPARE(answer.ErrorStatus, 0);
    QCOMPARE(answer.Variables[0].Oid(), oid);
    QCOMPARE(answer.Variables[0].Type(), type);
    QCOMPARE(answer.Variables[0].Value(), value);
}

void TstAgentAnswers::uptimeCountsWholeSecondsAndWraps()
{
    SnmpMessage answer = get(0, {Sys + "3.0"}, Object1, Object2, Start.addMSecs(90'999));
    QCOMPARE(answer.Variables[0].Type(), SnmpType::TimeTicks);
    QCOMPARE(answer.Variables[0].Value(), QStringLiteral("9000"));

    // 500 days: the text is the exact product, the wire value starts over past 2^32.
    const QDateTime later = Start.addDays(500);
    answer = get(0, {Sys + "3"}, Object1, Object2, later);
    QCOMPARE(answer.Variables[0].Value(), QStringLiteral("4320000000"));
    QCOMPARE(answer.Variables[0].valueElement().toHex(), QByteArray("4304017df800"));
}

void TstAgentAnswers::controlledObjectsBelongToTheirRow_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("oid");
    QTest::addColumn<bool>("answered");
    for (int row = 0; row < 7; ++row) {
        QTest::addRow("object 1 on row %d", row) << row << Object1.oid << (row == 5);
        QTest::addRow("object 2 on row %d", row) << row << Object2.oid << (row == 6);
    }
}

void TstAgentAnswers::controlledObjectsBelongToTheirRow()
{
    QFETCH(int, row);
    QFETCH(QString, oid);
    QFETCH(bool, answered);
    const SnmpMessage answer = get(row, {oid});
    QCOMPARE(answer.ErrorStatus, answered ? 0 : 2);
    QCOMPARE(answer.ErrorIndex, answered ? 0 : 1);
    QCOMPARE(answer.Variables[0].Type(), answered ? SnmpType::Integer32 : SnmpType::Null);
    QCOMPARE(answer.Variables[0].Value(), answered ? (row == 5 ? "1" : "100") : "");
}

void TstAgentAnswers::controlledTypeCodes_data()
{
    QTest::addColumn<QString>("typeName");
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("code");
    QTest::newRow("OctetString") << "OctetString"
                                 << "up" << 2;
    QTest::newRow("ObjectIdentifier") << "ObjectIdentifier"
                                      << "1.3.6.1" << 3;
    QTest::newRow("IpAddress") << "IpAddress"
                               << "10.0.0.5" << 4;
    QTest::newRow("Counter32") << "Counter32"
                               << "7" << 5;
    QTest::newRow("Gauge32") << "Gauge32"
                             << "7" << 6;
    QTest::newRow("TimeTicks") << "TimeTicks"
                               << "7" << 7;
    QTest::newRow("Counter64") << "Counter64"
                               << "18446744073709551615" << 11;
    QTest::newRow("Unsigned32") << "Unsigned32"
                                << "7" << 10;
}

void TstAgentAnswers::controlledTypeCodes()
{
    QFETCH(QString, typeName);
    QFETCH(QString, value);
    QFETCH(int, code);
    const SnmpMessage answer = get(5, {Object1.oid}, {Object1.oid, typeName, value});
    QCOMPARE(answer.ErrorStatus, 0);
    QCOMPARE(answer.Variables[0].Type(), code);
    QCOMPARE(answer.Variables[0].Value(), value);
}

void TstAgentAnswers::sameIdentifierInBothBoxesIsRowFivesOnly()
{
    const ControlledObject same{Object1.oid, "Integer32", "5"};
    QCOMPARE(get(6, {Object1.oid}, Object1, same).ErrorStatus, 2);
    QCOMPARE(get(5, {Object1.oid}, Object1, same).Variables[0].Value(), QStringLiteral("1"));
    // A system identifier typed into the box is still the system object's, on every row.
    const ControlledObject system{Sys + "5.0", "Integer32", "9"};
    QCOMPARE(get(5, {Sys + "5.0"}, system).Variables[0].Value(), QStringLiteral("Agent 6"));
    QCOMPARE(get(0, {Sys + "5.0"}, system).ErrorStatus, 0);
}

void TstAgentAnswers::lastUnmatchedVariableIsNamed()
{
    SnmpMessage answer = get(0, {Sys + "5.0", Sys + "9.0", Sys + "8.0"});
    QCOMPARE(answer.Variables[0].Value(), QStringLiteral("Agent 1"));
    QCOMPARE(answer.ErrorStatus, 2);
    QCOMPARE(answer.ErrorIndex, 3);
    QCOMPARE(answer.Variables[2].Oid(), Sys + "8.0");
    QCOMPARE(answer.Variables[2].Type(), SnmpType::Null);
}

void TstAgentAnswers::valueThatDoesNotFitStopsTheAnswers()
{
    SnmpMessage message = request(32, {Sys + "5.0", Object1.oid, Sys + "6.0"});
    const Status answered =
        answerGetRequest(message, 5, rowOf(5), {Object1.oid, "Integer32", "abc"}, Object2, Start);
    QVERIFY(!answered.ok());
    QVERIFY2(answered.failure().description.startsWith("Type mismatch"),
             qPrintable(answered.failure().description));
    QCOMPARE(message.Variables[0].Value(), QStringLiteral("Agent 6"));
    // The failing variable and the ones after it leave as they came.
    QCOMPARE(message.Variables[1].Type(), SnmpType::Null);
    QCOMPARE(message.Variables[1].valueElement(), QByteArray::fromHex("0500"));
    QCOMPARE(message.Variables[2].Value(), QString());
    QCOMPARE(message.Variables[2].Type(), SnmpType::Null);
}

void TstAgentAnswers::unknownTypeNameKeepsTheRequestsType()
{
    const SnmpMessage answer = get(5, {Object1.oid}, {Object1.oid, "Float", "1.5"});
    QCOMPARE(answer.ErrorStatus, 0);
    QCOMPARE(answer.Variables[0].Type(), SnmpType::Null);
    QCOMPARE(answer.Variables[0].Value(), QStringLiteral("1.5"));
}

void TstAgentAnswers::getNextWalksTheGroup_data()
{
    QTest::addColumn<QString>("asked");
    QTest::addColumn<int>("next"); // 0: none
    for (int n = 1; n <= 7; ++n) {
        QTest::addRow("%d", n) << Sys + QString::number(n) << n;
        QTest::addRow("%d.0", n) << Sys + QString::number(n) + ".0" << (n < 7 ? n + 1 : 0);
    }
    // Managers start walks at the group or at mib-2; these used to end the walk at once.
    QTest::newRow("system") << "1.3.6.1.2.1.1" << 1;
    QTest::newRow("mib-2") << "1.3.6.1.2.1" << 1;
    QTest::newRow("iso.org") << "1.3" << 1;
    QTest::newRow("between objects") << Sys + "3.0.5" << 4;
    QTest::newRow("past sysServices") << Sys + "7.0.1" << 0;
    QTest::newRow("sysORTable") << Sys + "9.1.2.1" << 0;
    QTest::newRow("controlled object") << Object1.oid << 0;
}

void TstAgentAnswers::getNextWalksTheGroup()
{
    QFETCH(QString, asked);
    QFETCH(int, next);
    SnmpMessage message = request(33, {asked});
    QVERIFY(answerGetNextRequest(message, rowOf(6), Start.addSecs(2)).ok());
    if (next == 0) {
        QCOMPARE(message.ErrorStatus, 2);
        QCOMPARE(message.ErrorIndex, 1);
        QCOMPARE(message.Variables[0].Oid(), asked);
        return;
    }
    QCOMPARE(message.ErrorStatus, 0);
    QCOMPARE(message.Variables[0].Oid(), Sys + QString::number(next) + ".0");
    const QStringList values{"IP=127.0.0.1,Port=177",
                             "1.3.6.1.4.1.7394.1.99.7",
                             "200",
                             "Ola Nordmann",
                             "Agent 7",
                             "Lab 7",
                             "76"};
    QCOMPARE(message.Variables[0].Value(), values[next - 1]);
}

void TstAgentAnswers::getNextKeepsUnmatchedVariables()
{
    SnmpMessage message = request(65, {Sys + "1.0", Sys + "7.0"});
    QVERIFY(answerGetNextRequest(message, rowOf(0), Start).ok());
    QCOMPARE(message.Variables[0].Oid(), Sys + "2.0");
    QCOMPARE(message.Variables[1].Oid(), Sys + "7.0");
    QCOMPARE(message.Variables[1].Type(), SnmpType::Null);
    QCOMPARE(message.ErrorStatus, 2);
    QCOMPARE(message.ErrorIndex, 2);
}

void TstAgentAnswers::setIsRefusedInTheVersionsTerms()
{
    SnmpMessage v1 = request(35, {Sys + "5.0"});
    refuseSetRequest(v1);
    QCOMPARE(v1.ErrorStatus, 2);
    QCOMPARE(v1.ErrorIndex, 1);
    SnmpMessage v2 = request(67, {Sys + "5.0", Sys + "6.0"});
    refuseSetRequest(v2);
    QCOMPARE(v2.ErrorStatus, 17);
    QCOMPARE(v2.ErrorIndex, 1);
    QCOMPARE(v2.Variables[1].Type(), SnmpType::Null);
}

QTEST_GUILESS_MAIN(TstAgentAnswers)
#include "tst_agentanswers.moc"
