#include "support/testrows.h"

#include "snmp/agent/snmpagent.h"
#include "snmp/answers/servedobjects.h"
#include "snmp/codec/snmpvalue.h"

#include <QtTest>

#include <tuple>

namespace {

const QString Sys = QStringLiteral("1.3.6.1.2.1.1.");
const QString SysName = Sys + "5.0";

// What the tools print for row 0, numerically; %1 is its port.
const QStringList Walk = QStringLiteral(".1.3.6.1.2.1.1.1.0 = STRING: \"IP=127.0.0.1,Port=%1\"\n"
                                        ".1.3.6.1.2.1.1.2.0 = OID: .1.3.6.1.4.1.7394.1.99.1\n"
                                        ".1.3.6.1.2.1.1.3.0 = Timeticks: T\n"
                                        ".1.3.6.1.2.1.1.4.0 = STRING: \"Ola Nordmann\"\n"
                                        ".1.3.6.1.2.1.1.5.0 = STRING: \"Agent 1\"\n"
                                        ".1.3.6.1.2.1.1.6.0 = STRING: \"Lab 1\"\n"
                                        ".1.3.6.1.2.1.1.7.0 = INTEGER: 76")
                             .split('\n');

} // namespace

// Row 0 stays started.
class TstSnmpAgentRows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_rows.start(0)); }
    void init() { m_rows.messages.texts.clear(); }
    // A failed case must not leave tracing on for the next.
    void cleanup() { m_rows.trace.setDebugMode(false); }
    void netSnmpTools_data();
    void netSnmpTools();
    void startStopAndRestart();
    void typedObjectsAsTheBoxesRead();
    void survivesAHundredThousandBadDatagrams();
    void tracesWhatGoesOut();
    void traceFailureEndsTheEvent();

private:
    TestRows m_rows;
};

void TstSnmpAgentRows::netSnmpTools_data()
{
    QTest::addColumn<QString>("command"); // tool and options; the agent and operands follow
    QTest::addColumn<QString>("operands");
    QTest::addColumn<QString>("out");
    for (const char *v : {"1", "2c"}) {
        QTest::addRow("snmpget v%s", v)
            << QStringLiteral("snmpget -v%1 -c kettle").arg(v) << SysName + " " + Sys + "7.0"
            << Walk[4] + '\n' + Walk[6] + '\n';
    }
    // Walks from the tools' own default start.
    const QString walk = Walk.join('\n').arg(m_rows.port(0)) + "\n";
    QTest::newRow("snmpwalk v1") << "snmpwalk -v1 -c kettle"
                                 << "1.3.6.1.2.1" << walk;
    // A GetBulk past the group ends the view inside mib-2, which the tool prints.
    QTest::newRow("snmpbulkwalk")
        << "snmpbulkwalk -v2c -c kettle"
        << "1.3.6.1.2.1"
        << walk + "." + Sys +
               "7.0 = No more variables left in this MIB View (It is past the end of the MIB "
               "tree)\n";
}

// Refused sets are the device rows' test, for plain rows too.
void TstSnmpAgentRows::netSnmpTools()
{
    if (QStandardPaths::findExecutable("snmpget").isEmpty())
        QSKIP("net-snmp tools are not installed (./scripts/test installs them)");
    QFETCH(QString, command);
    QFETCH(QString, operands);
    QFETCH(QString, out);
    QStringList arguments = command.split(' ');
    const QString tool = arguments.takeFirst();
    ToolRun run = m_rows.run(0, tool, arguments, operands.split(' '));
    QVERIFY2(run.exitCode == 0, qPrintable(run.err));
    run.out.remove("End of MIB\n");
    run.out.replace(QRegularExpression("Timeticks: .*"), "Timeticks: T");
    QCOMPARE(run.out, out);
}

void TstSnmpAgentRows::startStopAndRestart()
{
    QVERIFY(m_rows.start(3));
    const quint16 port = m_rows.port(3);
    AgentTableRow &row = m_rows.agents.agentTable()[3];
    row.AgentStartTime = row.AgentStartTime.addSecs(-90);

    // Edited settings change nothing until the next start.
    m_rows.agents.setPort(3, "9");
    const SnmpMessage request = makeRequest(32, {SysName, Sys + "1.0", Sys + "3.0"}, "kettle", -77);
    auto answer = m_rows.manager.exchange(port, request);
    QVERIFY(answer);
    QCOMPARE(answer->MessageNumber, -77);
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 4"));
    QCOMPARE(answer->Variables[1].Value(), "IP=127.0.0.1,Port=" + QString::number(port));
    QVERIFY(answer->Variables[2].Value().toInt() >= 9000);

    m_rows.agents.StopSnmpAgent(3);
    QVERIFY(!m_rows.manager.exchange(port, request, 300));

    // The agent keeps its encoded answers: a restart must not answer from the earlier start's.
    QVERIFY(m_rows.start(3));
    answer = m_rows.exchange(3, request);
    QVERIFY(answer);
    QCOMPARE(answer->Variables[1].Value(), "IP=127.0.0.1,Port=" + m_rows.agents.port(3));
    const QString uptime = answer->Variables[2].Value();
    QVERIFY2(uptime.toInt() <= 100, qPrintable(uptime));

    // Over IPv6 the answer goes back to the sender's longer address.
    m_rows.agents.StopSnmpAgent(3);
    Manager manager6(QHostAddress::LocalHostIPv6);
    if (manager6.socket.state() != QAbstractSocket::BoundState)
        QSKIP("this system has no IPv6 loopback");
    QVERIFY(m_rows.start(3, QStringLiteral("::1")));
    const auto over6 = manager6.exchange(m_rows.port(3), request);
    QVERIFY(over6);
    QCOMPARE(over6->Variables[0].Value(), QStringLiteral("Agent 4"));
    m_rows.agents.StopSnmpAgent(3);
    QVERIFY(m_rows.messages.texts.isEmpty());
}

// A plain row compares the typed identifier's text with the request's, the first boxes first:
// with both boxes alike only row 5 answers, and a text no request reads as matches nothing. A
// device answers its own boxes' object whatever the first boxes hold.
void TstSnmpAgentRows::typedObjectsAsTheBoxesRead()
{
    const auto restore = qScopeGuard([this] {
        for (int row : {5, 6}) {
            m_rows.agents.removeV3User(row, "owner");
            m_rows.agents.StopSnmpAgent(row);
        }
        m_rows.agents.setTypedObject(0, TypedObjects[0]);
        m_rows.agents.setTypedObject(1, TypedObjects[1]);
    });
    QVERIFY(m_rows.start(5) && m_rows.start(6));
    const QString oid = QStringLiteral("1.3.6.1.4.1.7394.9.1");
    m_rows.agents.setTypedObject(0, {oid, "Integer32", "5"});
    m_rows.agents.setTypedObject(1, {oid, "Integer32", "6"});
    const auto value = [&](int row) {
        const auto answer = m_rows.exchange(row, makeRequest(64, {oid}));
        return answer && answer->ErrorStatus == 0 ? answer->Variables[0].Value() : QString();
    };
    QCOMPARE(value(5), QStringLiteral("5"));
    QCOMPARE(value(6), QString());
    QVERIFY(m_rows.agents.addV3User(6, "owner", usm::Auth::None, {}));
    QCOMPARE(value(6), QStringLiteral("6"));
    QVERIFY(m_rows.agents.removeV3User(6, "owner"));
    m_rows.agents.setTypedObject(0, {"1.3.6.01.4.1.7394.9.1", "Integer32", "5"});
    QCOMPARE(value(5), QString());
    QCOMPARE(value(6), QStringLiteral("6"));
}

// Broken and foreign datagrams must neither crash nor block the row, nor be answered.
void TstSnmpAgentRows::survivesAHundredThousandBadDatagrams()
{
    const SnmpAgent &agent = m_rows.agents.snmpAgent(0);
    const auto seed = [](int type, const QStringList &oids, const char *community = "kettle") {
        return encodeMessage(makeRequest(type, oids, community, 0x7fff1234)).value();
    };
    // Requests, then what may not be answered: responses, inform, traps, report, SNMPv3.
    const QList<QByteArray> seeds = {
        seed(32, {SysName}),
        seed(65, {Sys + "1", Sys + "3.0", "1.3.6.1.2.1.2.2.1.8.1"}),
        seed(69, {"1.3.6.1.2.1"}),
        seed(67, {Sys + "4.0"}),
        seed(64, {Sys + "7", "1.3.6.1.4.1.18446744073709551615"}, "public"),
        seed(66, {SysName}),
        seed(34, {SysName}),
        seed(70, {Sys + "3.0"}),
        seed(71, {Sys + "3.0"}),
        seed(72, {Sys + "3.0"}),
        QByteArray::fromHex("302202010004067075626c6963a41506022b0640040000000002010002010043"
                            "01003000"),
        QByteArray::fromHex("3027020103300d020101020203e80401040201030400301104000400a00b02"
                            "01010201000201003000")};
    QRandomGenerator random(20261206);
    m_rows.manager.socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 1 << 20);
    constexpr int Total = 100'000;
    // More than the agent reads in one go, yet well inside its receive buffer.
    constexpr int Batch = 150;
    quint64 expectedDropped = agent.droppedCount();
    quint64 expectedAnswers = 0;
    quint64 answers = 0;
    for (int sent = 0; sent < Total;) {
        for (int i = 0; i < Batch; ++i, ++sent) {
            const QByteArray datagram = mutated(seeds[random.bounded(seeds.size())], random);
            const Result<SnmpMessage> decoded = decodeMessage(datagram);
            const int pdu = decoded ? decoded.value().pdu() : -1;
            // The quick look a recorded row takes at each datagram finds what decoding finds.
            const QByteArrayView first = firstOidContent(datagram);
            if (decoded && !decoded.value().Variables.isEmpty())
                QCOMPARE(first, oidContentOf(decoded.value().Variables[0]));
            const bool request = pdu == SnmpPdu::GetRequest || pdu == SnmpPdu::GetNextRequest ||
                                 pdu == SnmpPdu::SetRequest || pdu == SnmpPdu::GetBulkRequest;
            ++(request ? expectedAnswers : expectedDropped);
            m_rows.manager.socket.writeDatagram(datagram, QHostAddress::LocalHost, m_rows.port(0));
        }
        // Events run without the pauses qWaitFor takes: the agent needs several turns a round.
        const QDeadlineTimer deadline(5000);
        bool caughtUp = false;
        while (!caughtUp && !deadline.hasExpired()) {
            QCoreApplication::processEvents();
            while (m_rows.manager.socket.hasPendingDatagrams() &&
                   m_rows.manager.socket.receiveDatagram().isValid())
                ++answers;
            caughtUp = agent.droppedCount() == expectedDropped && answers == expectedAnswers;
        }
        QVERIFY2(caughtUp, qPrintable(QStringLiteral("stuck after %1 datagrams").arg(sent)));
    }
    QVERIFY(expectedDropped > Total / 2);
    const auto answer = m_rows.exchange(0, makeRequest(32, {SysName}));
    QVERIFY(answer);
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 1"));
    QVERIFY2(m_rows.messages.texts.isEmpty(), qPrintable(m_rows.messages.texts.join('\n')));
}

void TstSnmpAgentRows::tracesWhatGoesOut()
{
    QVERIFY(m_rows.start(5));
    m_rows.trace.setDebugMode(true);
    const QString controlled = TypedObjects[0].oid;
    m_rows.agents.setTypedObject(0, {controlled, "Integer32", "abc"});
    auto answer = m_rows.exchange(5, makeRequest(64, {Sys + "5", controlled}, "kettle", 8));
    QVERIFY(answer);
    QCOMPARE(m_rows.messages.texts, QStringList{"Modul: SnmpGetRequest, Err: Type mismatch: "
                                                "\"abc\" is not an Integer32 value"});
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 6"));
    QCOMPARE(answer->Variables[1].Type(), SnmpType::Null);
    const QString utf8 = QStringLiteral("Gr\u00fc\u00dfe \u20ac");
    m_rows.agents.setTypedObject(0, {controlled, "OctetString", utf8});
    answer = m_rows.exchange(5, makeRequest(64, {controlled}, "kettle", 9));
    QCOMPARE(answer.value().Variables[0].Value(), utf8);
    QVERIFY(m_rows.exchange(5, makeRequest(33, {Sys + "7.0"}, "kettle", 99)));
    // A wrong community is echoed but for its error fields; only the response is traced.
    SnmpMessage wrong = makeRequest(65, {SysName}, "Kettle", 7);
    wrong.ErrorStatus = 5;
    answer = m_rows.exchange(5, wrong);
    QCOMPARE(answer.value().Community, QStringLiteral("Kettle"));
    QCOMPARE(answer.value().ErrorStatus, 0);
    QString trace = QString::fromLatin1(readFile(m_rows.traceFile(5)));
    const QRegularExpression stamp("^\\d\\d:\\d\\d:\\d\\d ", QRegularExpression::MultilineOption);
    trace.replace(stamp, "hh:mm:ss ");
    const QString c = "\t\t" + controlled, s = "\t\t1.3.6.1.2.1.1.";
    QCOMPARE(trace, "hh:mm:ss <-- GetRequest\t8\r\n" + s + "5\r\n" + c + "\r\n" +
                        "hh:mm:ss --> Response\t8\r\n" + s + "5.0\t\t2\tAgent 6\r\n" + c +
                        "\t\t20\t\r\n\r\n" + "hh:mm:ss <-- GetRequest\t9\r\n" + c + "\r\n" +
                        "hh:mm:ss --> Response\t9\r\n" + c + "\t\t2\t" +
                        QString::fromLatin1(utf8.toUtf8()) + "\r\n\r\n" +
                        "hh:mm:ss <-- GetNextRequest\t99\r\n" + s + "7.0\r\n" +
                        "hh:mm:ss --> Response\t99\r\n" + s + "7.0\t\t20\t\r\n\r\n" +
                        "hh:mm:ss --> Response\t7\r\n" + s + "5.0\t\t20\t\r\n\r\n");

    // 3000 sysDescr.0 ask for about 110 kB, more than a datagram holds: tooBig, with the
    // request's bindings in SNMPv1 and none in v2c, and the record lists what was sent.
    for (const int sent : {3000, 0}) {
        const QStringList oids(3000, Sys + "1.0");
        answer = m_rows.exchange(5, makeRequest(sent ? 32 : 64, oids));
        QVERIFY(answer);
        QCOMPARE(answer->ErrorStatus, 1);
        QCOMPARE(answer->ErrorIndex, 0);
        QCOMPARE(answer->Variables.size(), sent);
        const QByteArray bytes = readFile(m_rows.traceFile(5));
        QCOMPARE(bytes.sliced(bytes.lastIndexOf("--> Response")).count("\r\n\t\t"), sent);
    }
}

// A record that cannot be written ends the event: one message naming the handler, no answer.
void TstSnmpAgentRows::traceFailureEndsTheEvent()
{
    m_rows.trace.setDebugMode(true);
    using Event = std::tuple<int, const char *, const char *>; // type, community, handler
    const Event events[] = {{32, "kettle", "SnmpGetRequest"},
                            {65, "kettle", "SnmpGetNextRequest"},
                            {64, "public", "snmpAgent_Request"}}; // traces the response only
    QVERIFY(QFile::link("/dev/full", m_rows.traceFile(0)));       // refuses every write
    for (const auto &[type, community, handler] : events) {
        QStringList &texts = m_rows.messages.texts;
        texts.clear();
        QVERIFY(!m_rows.exchange(0, makeRequest(type, {SysName}, community), 300));
        QTRY_COMPARE(texts.size(), 1); // the handler may come late
        QVERIFY2(texts[0].startsWith(QStringLiteral("Modul: %1, Err: ").arg(handler)),
                 qPrintable(texts[0]));
    }
}

QTEST_GUILESS_MAIN(TstSnmpAgentRows)
#include "tst_snmpagentrows.moc"
