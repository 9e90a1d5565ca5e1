#include "snmptesthelpers.h"
#include "support/testwindow.h"

#include "snmp/snmpagent.h"
#include "snmp/snmpvalue.h"

#include <QComboBox>
#include <QDir>
#include <QRegularExpression>
#include <QtTest>

class TstSnmpAgentRows : public QObject
{
    Q_OBJECT
private slots:
    void startAnswersAndStopSilences();
    void startFailuresLeaveTheRowStopped_data();
    void startFailuresLeaveTheRowStopped();
    void secondRowOnAStartedPortIsRefused();
    void restartResetsUptime();
    void responsesKeepTheRequestsVersion_data();
    void responsesKeepTheRequestsVersion();
    void setIsRefused_data();
    void setIsRefused();
    void bulkWalksMakeProgress();
    void nonRequestsAreNeverAnswered_data();
    void nonRequestsAreNeverAnswered();
    void wrongCommunityIsEchoedAndOnlyTheResponseTraced();
    void traceRecordsOfGetAndGetNext();
    void missingTraceFolderSendsNothing();
    void valueThatDoesNotFitIsReportedAndAnswered();
};

static const QString SysName = QStringLiteral("1.3.6.1.2.1.1.5.0");

void TstSnmpAgentRows::startAnswersAndStopSilences()
{
    TestWindow test;
    FrmMain &window = test.open();
    SnmpAgentPage &page = *window.snmpAgent;
    const quint16 port = freeUdpPort();
    QVERIFY(startRow(window, 3, port));
    QCOMPARE(page.txtSnmpStatus[3]->text(), QStringLiteral("Started"));
    QCOMPARE(page.cmdSnmpControl[3]->text(), QStringLiteral("Stop"));
    QVERIFY(page.cmdSnmpControl[3]->isEnabled());
    const AgentTableRow &row = window.snmpAgents->agentTable()[3];
    QCOMPARE(row.SysDescr, "IP=127.0.0.1,Port=" + QString::number(port));
    QCOMPARE(row.SysObjectID, QStringLiteral("1.3.6.1.4.1.7394.1.99.4"));
    QCOMPARE(row.SysContact, QStringLiteral("Ola Nordmann"));
    QCOMPARE(row.SysName, QStringLiteral("Agent 4"));
    QCOMPARE(row.SysLocation, QStringLiteral("Lab 4"));
    QCOMPARE(row.SysServices, qint16(76));

    // Edited boxes change nothing until the next start.
    page.txtSnmpPort[3]->setText("9");
    TestManager manager;
    const auto answer = manager.exchange(port, makeRequest(32, {SysName, "1.3.6.1.2.1.1.1.0"}));
    QVERIFY(answer);
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 4"));
    QCOMPARE(answer->Variables[1].Value(), "IP=127.0.0.1,Port=" + QString::number(port));
    QVERIFY(test.messages.texts.isEmpty());

    page.cmdSnmpControl[3]->click();
    QCOMPARE(page.txtSnmpStatus[3]->text(), QStringLiteral("Stopped"));
    QCOMPARE(page.cmdSnmpControl[3]->text(), QStringLiteral("Start"));
    QVERIFY(!row.AgentRunning);
    QCOMPARE(row.SysName, QStringLiteral("Agent 4")); // values stay until the next start
    manager.send(port, makeRequest(32, {SysName}));
    QVERIFY(!manager.receive(300));
}

void TstSnmpAgentRows::startFailuresLeaveTheRowStopped_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port"); // "busy": a free port that another socket then takes
    QTest::addColumn<QString>("message");
    QTest::newRow("port in use") << "127.0.0.1"
                                 << "busy"
                                 << "SNMP Agent Port was in use";
    QTest::newRow("letters in the port box") << "127.0.0.1"
                                             << "abc"
                                             << "Type mismatch";
    QTest::newRow("empty port box") << "127.0.0.1"
                                    << ""
                                    << "Type mismatch";
    QTest::newRow("port beyond 32 bits") << "127.0.0.1"
                                         << "99999999999"
                                         << "Overflow";
    QTest::newRow("form default address") << "255.255.255.255"
                                          << "free"
                                          << "SNMP Agent IP Address is not valid";
    QTest::newRow("address text") << "localhost"
                                  << "free"
                                  << "SNMP Agent IP Address is not valid";
    QTest::newRow("address of no adapter here") << "192.0.2.77"
                                                << "free"
                                                << "SNMP Agent IP Address is not valid";
}

void TstSnmpAgentRows::startFailuresLeaveTheRowStopped()
{
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(QString, message);
    TestWindow test;
    FrmMain &window = test.open();
    QUdpSocket occupant;
    if (port == "busy" || port == "free") {
        const quint16 number = freeUdpPort();
        if (port == "busy")
            QVERIFY(occupant.bind(QHostAddress::LocalHost, number));
        port = QString::number(number);
    }
    clickRow(window, 2, address, port);
    QCOMPARE(test.messages.texts, QStringList{message});
    const SnmpAgentPage &page = *window.snmpAgent;
    QCOMPARE(page.txtSnmpStatus[2]->text(), QStringLiteral("Stopped"));
    QCOMPARE(page.cmdSnmpControl[2]->text(), QStringLiteral("Start"));
    QVERIFY(page.cmdSnmpControl[2]->isEnabled());
    QVERIFY(!window.snmpAgents->agentTable()[2].AgentRunning);
    QVERIFY(window.snmpAgents->agentTable()[2].SysName.isEmpty());
    QVERIFY(!window.snmpAgents->snmpAgent(2).isListening());
}

void TstSnmpAgentRows::secondRowOnAStartedPortIsRefused()
{
    TestWindow test;
    FrmMain &window = test.open();
    const quint16 port = freeUdpPort();
    QVERIFY(startRow(window, 0, port));
    QVERIFY(!startRow(window, 1, port));
    QCOMPARE(test.messages.texts, QStringList{"SNMP Agent Port was in use"});
    TestManager manager;
    const auto answer = manager.exchange(port, makeRequest(32, {SysName}));
    QVERIFY(answer);
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 1"));
}

void TstSnmpAgentRows::restartResetsUptime()
{
    TestWindow test;
    FrmMain &window = test.open();
    const quint16 port = freeUdpPort();
    QVERIFY(startRow(window, 0, port));
    AgentTableRow &row = window.snmpAgents->agentTable()[0];
    row.AgentStartTime = row.AgentStartTime.addSecs(-90);
    TestManager manager;
    auto answer = manager.exchange(port, makeRequest(64, {"1.3.6.1.2.1.1.3.0"}));
    QVERIFY(answer);
    QCOMPARE(answer->Variables[0].Type(), SnmpType::TimeTicks);
    QVERIFY(answer->Variables[0].Value().toInt() >= 9000);

    window.snmpAgent->cmdSnmpControl[0]->click();
    window.snmpAgent->cmdSnmpControl[0]->click();
    answer = manager.exchange(port, makeRequest(64, {"1.3.6.1.2.1.1.3.0"}));
    QVERIFY(answer);
    const QString uptime = answer->Variables[0].Value();
    QVERIFY2(uptime.toInt() <= 100, qPrintable(uptime));
}

void TstSnmpAgentRows::responsesKeepTheRequestsVersion_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("oid");
    QTest::newRow("v1 Get") << 32 << 0 << SysName;
    QTest::newRow("v2c Get") << 64 << 1 << SysName;
    // Written as 66 like every other answer, yet a v1 manager must get a v1 response.
    QTest::newRow("v1 GetNext") << 33 << 0 << "1.3.6.1.2.1.1.5.0";
    QTest::newRow("v2c GetNext") << 65 << 1 << "1.3.6.1.2.1.1.5.0";
}

void TstSnmpAgentRows::responsesKeepTheRequestsVersion()
{
    QFETCH(int, type);
    QFETCH(int, version);
    QFETCH(QString, oid);
    TestWindow test;
    FrmMain &window = test.open();
    const quint16 port = freeUdpPort();
    QVERIFY(startRow(window, 1, port));
    TestManager manager;
    const auto answer = manager.exchange(port, makeRequest(type, {oid}, "kettle", -77));
    QVERIFY(answer);
    QCOMPARE(answer->version, version);
    QCOMPARE(answer->Type, version == 0 ? 34 : 66);
    QCOMPARE(answer->MessageNumber, -77);
    QCOMPARE(answer->ErrorStatus, 0);
    QCOMPARE(answer->Variables[0].Value(),
             type % 32 == 0 ? QStringLiteral("Agent 2") : QStringLiteral("Lab 2"));
}

void TstSnmpAgentRows::setIsRefused_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("status");
    QTest::newRow("v1") << 35 << 2;
    QTest::newRow("v2c") << 67 << 17;
}

void TstSnmpAgentRows::setIsRefused()
{
    QFETCH(int, type);
    QFETCH(int, status);
    TestWindow test;
    FrmMain &window = test.open();
    const quint16 port = freeUdpPort();
    QVERIFY(startRow(window, 0, port));
    SnmpMessage set = makeRequest(type, {SysName});
    set.Variables[0] = SnmpVariable::make(SysName, SnmpType::OctetString, "hijacked").value();
    TestManager manager;
    const auto answer = manager.exchange(port, set);
    QVERIFY(answer);
    QCOMPARE(answer->ErrorStatus, status);
    QCOMPARE(answer->ErrorIndex, 1);
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("hijacked"));
    const auto after = manager.exchange(port, makeRequest(32, {SysName}));
    QCOMPARE(after->Variables[0].Value(), QStringLiteral("Agent 1"));
}

void TstSnmpAgentRows::bulkWalksMakeProgress()
{
    TestWindow test;
    FrmMain &window = test.open();
    const quint16 port = freeUdpPort();
    QVERIFY(startRow(window, 0, port));
    SnmpMessage bulk = makeRequest(69, {"1.3.6.1.2.1", "1.3.6.1.2.1.1.6.0"});
    bulk.maxRepetitions = 10;
    TestManager manager;
    const auto answer = manager.exchange(port, bulk);
    QVERIFY(answer);
    QCOMPARE(answer->Type, 66);
    QCOMPARE(answer->ErrorStatus, 0);
    QCOMPARE(answer->ErrorIndex, 0);
    QCOMPARE(answer->Variables.size(), 2);
    QCOMPARE(answer->Variables[0].Oid(), QStringLiteral("1.3.6.1.2.1.1.1.0"));
    QCOMPARE(answer->Variables[1].Oid(), QStringLiteral("1.3.6.1.2.1.1.7.0"));
}

void TstSnmpAgentRows::nonRequestsAreNeverAnswered_data()
{
    QTest::addColumn<QByteArray>("datagram");
    SnmpMessage response = makeRequest(66, {SysName});
    QTest::newRow("v2c response") << encodeMessage(response).value();
    response.version = 0;
    QTest::newRow("v1 response") << encodeMessage(response).value();
    QTest::newRow("v2 trap") << encodeMessage(makeRequest(71, {SysName})).value();
    QTest::newRow("inform") << encodeMessage(makeRequest(70, {SysName})).value();
    QTest::newRow("report") << encodeMessage(makeRequest(72, {SysName})).value();
    QTest::newRow("v1 trap") << QByteArray::fromHex("302202010004067075626c6963a41506022b0640"
                                                    "04000000000201000201004301003000");
    QTest::newRow("SNMPv3") << QByteArray::fromHex("3027020103300d020101020203e8040104020103040"
                                                   "0301104000400a00b0201010201000201003000");
    QTest::newRow("garbage") << QByteArray("GET / HTTP/1.0\r\n\r\n");
    QTest::newRow("empty") << QByteArray();
}

void TstSnmpAgentRows::nonRequestsAreNeverAnswered()
{
    QFETCH(QByteArray, datagram);
    TestWindow test;
    FrmMain &window = test.open();
    const quint16 port = freeUdpPort();
    QVERIFY(startRow(window, 0, port));
    TestManager manager;
    manager.send(port, datagram);
    QVERIFY(waitFor([&] { return window.snmpAgents->snmpAgent(0).droppedCount() == 1; }, 2000));
    const auto answer = manager.exchange(port, makeRequest(32, {SysName}));
    QVERIFY(answer); // the first answer is the request's, not one for the dropped datagram
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 1"));
    QVERIFY(!manager.receive(50));
    QVERIFY(test.messages.texts.isEmpty());
}

void TstSnmpAgentRows::wrongCommunityIsEchoedAndOnlyTheResponseTraced()
{
    TestWindow test;
    FrmMain &window = test.open();
    const quint16 port = freeUdpPort();
    QVERIFY(startRow(window, 0, port));
    window.trace().setDebugMode(true);
    TestManager manager;
    for (int type : {32, 65}) {
        const auto answer = manager.exchange(port, makeRequest(type, {SysName}, "Kettle"));
        QVERIFY(answer);
        QCOMPARE(answer->Community, QStringLiteral("Kettle"));
        QCOMPARE(answer->ErrorStatus, 0);
        QCOMPARE(answer->Variables[0].Oid(), SysName);
        QCOMPARE(answer->Variables[0].Type(), SnmpType::Null);
    }
    const QString trace = QString::fromLatin1(
        readFile(test.traceFolder() + "/Snmp_127.0.0.1_" + QString::number(port) + ".txt"));
    QVERIFY2(!trace.contains("<--"), qPrintable(trace));
    QCOMPARE(trace.count(" --> Response\t1234\r\n\t\t1.3.6.1.2.1.1.5.0\t\t20\t\r\n\r\n"), 2);
}

void TstSnmpAgentRows::traceRecordsOfGetAndGetNext()
{
    TestWindow test;
    FrmMain &window = test.open();
    const quint16 port = freeUdpPort();
    QVERIFY(startRow(window, 1, port));
    window.trace().setDebugMode(true);
    TestManager manager;
    QVERIFY(manager.exchange(port, makeRequest(32, {"1.3.6.1.2.1.1.5"}, "kettle", 1234)));
    QVERIFY(manager.exchange(port, makeRequest(33, {"1.3.6.1.2.1.1.7.0"}, "kettle", 99)));
    const QString trace = QString::fromLatin1(
        readFile(test.traceFolder() + "/Snmp_127.0.0.1_" + QString::number(port) + ".txt"));
    const QString stamp = QStringLiteral("\\d\\d:\\d\\d:\\d\\d");
    const QRegularExpression expected(
        "^" + stamp + " <-- GetRequest\t1234\r\n\t\t1\\.3\\.6\\.1\\.2\\.1\\.1\\.5\r\n" + stamp +
        " --> Response\t1234\r\n\t\t1\\.3\\.6\\.1\\.2\\.1\\.1\\.5\\.0\t\t2\tAgent 2\r\n\r\n" +
        stamp + " <-- GetNextRequest\t99\r\n\t\t1\\.3\\.6\\.1\\.2\\.1\\.1\\.7\\.0\r\n" + stamp +
        " --> Response\t99\r\n\t\t1\\.3\\.6\\.1\\.2\\.1\\.1\\.7\\.0\t\t20\t\r\n\r\n$");
    QVERIFY2(expected.match(trace).hasMatch(), qPrintable(trace));
}

void TstSnmpAgentRows::missingTraceFolderSendsNothing()
{
    TestWindow test;
    FrmMain &window = test.open();
    const quint16 port = freeUdpPort();
    QVERIFY(startRow(window, 0, port));
    QVERIFY(QDir(test.traceFolder()).removeRecursively());
    window.trace().setDebugMode(true);
    TestManager manager;
    manager.send(port, makeRequest(64, {SysName}));
    QVERIFY(waitFor([&] { return test.messages.texts.size() == 2; }, 2000));
    QVERIFY(test.messages.texts[0].startsWith("Modul: SnmpGetRequest, Err: "));
    QVERIFY(test.messages.texts[1].startsWith("Modul: snmpAgent_Request, Err: "));
    QVERIFY(!manager.receive(100));
    QVERIFY(!QDir(test.traceFolder()).exists());
}

void TstSnmpAgentRows::valueThatDoesNotFitIsReportedAndAnswered()
{
    TestWindow test;
    FrmMain &window = test.open();
    const quint16 port = freeUdpPort();
    QVERIFY(startRow(window, 5, port));
    window.snmpAgent->txtValue1->setText("abc");
    TestManager manager;
    const auto answer =
        manager.exchange(port, makeRequest(64, {SysName, window.snmpAgent->txtOid1->text()}));
    QVERIFY(answer);
    QCOMPARE(test.messages.texts.size(), 1);
    QVERIFY2(test.messages.texts[0].startsWith("Modul: SnmpGetRequest, Err: Type mismatch"),
             qPrintable(test.messages.texts[0]));
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 6"));
    QCOMPARE(answer->Variables[1].Type(), SnmpType::Null);

    window.snmpAgent->cboType1->setCurrentText("OctetString");
    const QString controlled = window.snmpAgent->txtOid1->text();
    const auto typed = manager.exchange(port, makeRequest(64, {controlled}));
    QCOMPARE(typed->Variables[0].Type(), SnmpType::OctetString);
    QCOMPARE(typed->Variables[0].Value(), QStringLiteral("abc"));
}

QTEST_MAIN(TstSnmpAgentRows)
#include "tst_snmpagentrows.moc"
