#include "snmptesthelpers.h"
#include "support/testwindow.h"

#include "app/helppage.h"
#include "snmp/codec/bercodec.h"
#include "snmp/answers/servedobjects.h"
#include "snmp/agent/snmpagent.h"
#include "snmp/codec/snmpvalue.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QtTest>

#include <optional>
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

// One window for all cases; row 0 stays started on m_port.
class TstSnmpAgentRows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { m_test.messages.texts.clear(); }
    void cleanup() // a failed case must not leave tracing on for the next
    {
        if (m_window->trace().debugMode())
            m_window->help->chkDebugMode->click();
    }
    void netSnmpTools_data();
    void netSnmpTools();
    void startStopAndRestart();
    void startFailuresLeaveTheRowStopped_data();
    void startFailuresLeaveTheRowStopped();
    void survivesAHundredThousandBadDatagrams();
    void tracesWhatGoesOut();
    void traceFailureEndsTheEvent();

private:
    // A manager's request from a loopback socket of its own; no answer in time gives nullopt.
    std::optional<SnmpMessage> exchange(quint16 port, const SnmpMessage &request, int ms = 2000)
    {
        m_manager.writeDatagram(encodeMessage(request).value(), QHostAddress::LocalHost, port);
        // The agents live on this thread: waiting keeps the event loop running.
        if (!QTest::qWaitFor([this] { return m_manager.hasPendingDatagrams(); }, ms))
            return std::nullopt;
        Result<SnmpMessage> response = decodeMessage(m_manager.receiveDatagram().data());
        return response ? std::optional(response.value()) : std::nullopt;
    }
    QString traceFile(quint16 port) const
    {
        return m_test.traceFolder() + "/Snmp_127.0.0.1_" + QString::number(port) + ".txt";
    }

    TestWindow m_test;
    FrmMain *m_window = nullptr;
    SnmpAgentPage *m_page = nullptr;
    quint16 m_port = 0;
    QUdpSocket m_manager;
};

void TstSnmpAgentRows::initTestCase()
{
    QVERIFY(m_manager.bind(QHostAddress::LocalHost, 0));
    m_window = &m_test.open();
    m_page = m_window->snmpAgent;
    m_port = freeUdpPort();
    QVERIFY(clickRow(*m_window, 0, QString::number(m_port)));
}

void TstSnmpAgentRows::netSnmpTools_data()
{
    QTest::addColumn<QString>("command"); // tool and options; the agent and operands follow
    QTest::addColumn<QString>("operands");
    QTest::addColumn<QString>("out"); // exact output, or a pattern of the failure's text
    for (const char *v : {"1", "2c"}) {
        const QString options = QStringLiteral(" -v%1 -c kettle").arg(v);
        QTest::addRow("snmpget v%s", v) << "snmpget" + options << SysName + " " + Sys + "7.0"
                                        << Walk[4] + '\n' + Walk[6] + '\n';
        // Nothing is writable: the refusal the version knows, naming the first variable.
        QTest::addRow("snmpset v%s", v)
            << "snmpset" + options << SysName + " s x " + Sys + "6.0 s y"
            << (v[0] == '1' ? "noSuchName" : "notWritable") + QString(".*Failed object: .") +
                   SysName + '\n';
    }
    // Walks from the tools' own default start.
    const QString walk = Walk.join('\n').arg(m_port) + "\n";
    QTest::newRow("snmpwalk v1") << "snmpwalk -v1 -c kettle"
                                 << "1.3.6.1.2.1" << walk;
    // A GetBulk past the group ends the view inside mib-2, which the tool prints.
    QTest::newRow("snmpbulkwalk")
        << "snmpbulkwalk -v2c -c kettle"
        << "1.3.6.1.2.1"
        << walk + "." + Sys +
               "7.0 = No more variables left in this MIB View (It is past the end of the MIB "
               "tree)\n";
    QTest::newRow("wrong community")
        << "snmpget -v2c -c public" << SysName << ".1.3.6.1.2.1.1.5.0 = NULL\n";
}

void TstSnmpAgentRows::netSnmpTools()
{
    if (QStandardPaths::findExecutable("snmpget").isEmpty())
        QSKIP("net-snmp tools are not installed (./scripts/test installs them)");
    QFETCH(QString, command);
    QFETCH(QString, operands);
    QFETCH(QString, out);
    QStringList arguments = command.split(' ');
    const QString tool = arguments.takeFirst();
    arguments += QStringList{"127.0.0.1:" + QString::number(m_port)} + operands.split(' ');
    ToolRun run = runTool(tool, arguments);
    if (out.startsWith('.')) {
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        run.out.remove("End of MIB\n");
        run.out.replace(QRegularExpression("Timeticks: .*"), "Timeticks: T");
        QCOMPARE(run.out, out);
    } else {
        QVERIFY(run.exitCode > 0);
        const QRegularExpression failure(out, QRegularExpression::DotMatchesEverythingOption);
        QVERIFY2(failure.match(run.err).hasMatch(), qPrintable(run.out + run.err));
    }
}

void TstSnmpAgentRows::startStopAndRestart()
{
    const quint16 port = freeUdpPort();
    QVERIFY(clickRow(*m_window, 3, QString::number(port)));
    QCOMPARE(m_page->cmdSnmpControl[3]->text(), QStringLiteral("Stop"));
    AgentTableRow &row = m_window->snmpAgents->agentTable()[3];
    row.AgentStartTime = row.AgentStartTime.addSecs(-90);

    // Edited boxes change nothing until the next start.
    m_page->txtSnmpPort[3]->setText("9");
    const SnmpMessage request = makeRequest(32, {SysName, Sys + "1.0", Sys + "3.0"}, "kettle", -77);
    auto answer = exchange(port, request);
    QVERIFY(answer);
    QCOMPARE(answer->MessageNumber, -77);
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 4"));
    QCOMPARE(answer->Variables[1].Value(), "IP=127.0.0.1,Port=" + QString::number(port));
    QVERIFY(answer->Variables[2].Value().toInt() >= 9000);

    m_page->cmdSnmpControl[3]->click();
    QCOMPARE(m_page->txtSnmpStatus[3]->text(), QStringLiteral("Stopped"));
    QCOMPARE(m_page->cmdSnmpControl[3]->text(), QStringLiteral("Start"));
    QVERIFY(!exchange(port, request, 300));

    // The agent keeps its encoded answers: a restart must not answer from the earlier start's.
    const quint16 again = freeUdpPort();
    QVERIFY(clickRow(*m_window, 3, QString::number(again)));
    answer = exchange(again, request);
    QVERIFY(answer);
    QCOMPARE(answer->Variables[1].Value(), "IP=127.0.0.1,Port=" + QString::number(again));
    const QString uptime = answer->Variables[2].Value();
    QVERIFY2(uptime.toInt() <= 100, qPrintable(uptime));

    // Over IPv6 the answer goes back to the sender's longer address.
    m_page->cmdSnmpControl[3]->click();
    QUdpSocket manager6;
    if (!manager6.bind(QHostAddress::LocalHostIPv6, 0))
        QSKIP("this system has no IPv6 loopback");
    const quint16 six = freeUdpPort();
    QVERIFY(clickRow(*m_window, 3, QString::number(six), QStringLiteral("::1")));
    manager6.writeDatagram(encodeMessage(request).value(), QHostAddress::LocalHostIPv6, six);
    QVERIFY(QTest::qWaitFor([&] { return manager6.hasPendingDatagrams(); }, 2000));
    const Result<SnmpMessage> over6 = decodeMessage(manager6.receiveDatagram().data());
    QVERIFY(over6);
    QCOMPARE(over6.value().Variables[0].Value(), QStringLiteral("Agent 4"));
    m_page->cmdSnmpControl[3]->click();
    QVERIFY(m_test.messages.texts.isEmpty());
}

void TstSnmpAgentRows::startFailuresLeaveTheRowStopped_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port"); // "busy": taken by another socket; "row 0": row 0's
    QTest::addColumn<QString>("message");
    const QString loopback = QStringLiteral("127.0.0.1");
    const QString inUse = QStringLiteral("SNMP Agent Port was in use");
    const QString notValid = QStringLiteral("SNMP Agent IP Address is not valid");
    QTest::newRow("port in use") << loopback << "busy" << inUse;
    QTest::newRow("row 0's port") << loopback << "row 0" << inUse;
    QTest::newRow("letters in the port box") << loopback << "abc"
                                             << "Type mismatch";
    QTest::newRow("port beyond 32 bits") << loopback << "99999999999"
                                         << "Overflow";
    QTest::newRow("form default address") << "255.255.255.255"
                                          << "free" << notValid;
    QTest::newRow("address of no adapter here") << "192.0.2.77"
                                                << "free" << notValid;
}

void TstSnmpAgentRows::startFailuresLeaveTheRowStopped()
{
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(QString, message);
    QUdpSocket occupant;
    if (port == "busy" || port == "free") {
        const quint16 number = freeUdpPort();
        if (port == "busy")
            QVERIFY(occupant.bind(QHostAddress::LocalHost, number));
        port = QString::number(number);
    } else if (port == "row 0") {
        port = QString::number(m_port);
    }
    QVERIFY(!clickRow(*m_window, 2, port, address));
    QCOMPARE(m_test.messages.texts, QStringList{message});
    QCOMPARE(m_page->txtSnmpStatus[2]->text(), QStringLiteral("Stopped"));
    QVERIFY(m_page->cmdSnmpControl[2]->isEnabled());
    QVERIFY(!m_window->snmpAgents->snmpAgent(2).isListening());
    const auto answer = exchange(m_port, makeRequest(32, {SysName}));
    QVERIFY(answer);
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 1"));
}

// Broken and foreign datagrams must neither crash nor block the row, nor be answered; what
// decodes must encode to bytes that decode to the same message again.
void TstSnmpAgentRows::survivesAHundredThousandBadDatagrams()
{
    const SnmpAgent &agent = m_window->snmpAgents->snmpAgent(0);
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
    m_manager.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 1 << 20);
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
            if (decoded) {
                const Result<QByteArray> encoded = encodeMessage(decoded.value());
                QVERIFY(encoded && decodeMessage(encoded.value()));
                QCOMPARE(encodeMessage(decodeMessage(encoded.value()).value()).value(),
                         encoded.value());
            }
            const bool request = pdu == SnmpPdu::GetRequest || pdu == SnmpPdu::GetNextRequest ||
                                 pdu == SnmpPdu::SetRequest || pdu == SnmpPdu::GetBulkRequest;
            ++(request ? expectedAnswers : expectedDropped);
            m_manager.writeDatagram(datagram, QHostAddress::LocalHost, m_port);
        }
        // Events run without the pauses qWaitFor takes: the agent needs several turns a round.
        const QDeadlineTimer deadline(5000);
        bool caughtUp = false;
        while (!caughtUp && !deadline.hasExpired()) {
            QCoreApplication::processEvents();
            while (m_manager.hasPendingDatagrams() && m_manager.receiveDatagram().isValid())
                ++answers;
            caughtUp = agent.droppedCount() == expectedDropped && answers == expectedAnswers;
        }
        QVERIFY2(caughtUp, qPrintable(QStringLiteral("stuck after %1 datagrams").arg(sent)));
    }
    QVERIFY(expectedDropped > Total / 2);
    const auto answer = exchange(m_port, makeRequest(32, {SysName}));
    QVERIFY(answer);
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 1"));
    QVERIFY2(m_test.messages.texts.isEmpty(), qPrintable(m_test.messages.texts.join('\n')));
}

void TstSnmpAgentRows::tracesWhatGoesOut()
{
    const quint16 port = freeUdpPort();
    QVERIFY(clickRow(*m_window, 5, QString::number(port)));
    m_window->help->chkDebugMode->click();
    const QString controlled = m_page->txtOid1->text();
    m_page->txtValue1->setText("abc");
    auto answer = exchange(port, makeRequest(64, {Sys + "5", controlled}, "kettle", 8));
    QVERIFY(answer);
    QCOMPARE(m_test.messages.texts, QStringList{"Modul: SnmpGetRequest, Err: Type mismatch: "
                                                "\"abc\" is not an Integer32 value"});
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 6"));
    QCOMPARE(answer->Variables[1].Type(), SnmpType::Null);
    const QString utf8 = QStringLiteral("Gr\u00fc\u00dfe \u20ac");
    m_page->cboType1->setCurrentText("OctetString");
    m_page->txtValue1->setText(utf8);
    answer = exchange(port, makeRequest(64, {controlled}, "kettle", 9));
    QCOMPARE(answer.value().Variables[0].Value(), utf8);
    QVERIFY(exchange(port, makeRequest(33, {Sys + "7.0"}, "kettle", 99)));
    // A wrong community is echoed but for its error fields; only the response is traced.
    SnmpMessage wrong = makeRequest(65, {SysName}, "Kettle", 7);
    wrong.ErrorStatus = 5;
    answer = exchange(port, wrong);
    QCOMPARE(answer.value().Community, QStringLiteral("Kettle"));
    QCOMPARE(answer.value().ErrorStatus, 0);
    QString trace = QString::fromLatin1(readFile(traceFile(port)));
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
        answer = exchange(port, makeRequest(sent ? 32 : 64, oids));
        QVERIFY(answer);
        QCOMPARE(answer->ErrorStatus, 1);
        QCOMPARE(answer->ErrorIndex, 0);
        QCOMPARE(answer->Variables.size(), sent);
        const QByteArray bytes = readFile(traceFile(port));
        QCOMPARE(bytes.sliced(bytes.lastIndexOf("--> Response")).count("\r\n\t\t"), sent);
    }
}

// A record that cannot be written ends the event: one message naming the handler, no answer.
void TstSnmpAgentRows::traceFailureEndsTheEvent()
{
    m_window->help->chkDebugMode->click();
    using Event = std::tuple<int, const char *, const char *>; // type, community, handler
    const Event events[] = {{32, "kettle", "SnmpGetRequest"},
                            {65, "kettle", "SnmpGetNextRequest"},
                            {64, "public", "snmpAgent_Request"}}; // traces the response only
    // A device that refuses every write, then no trace folder at all.
    QVERIFY(QFile::link("/dev/full", traceFile(m_port)));
    for (const bool folder : {true, false}) {
        if (!folder)
            QVERIFY(QDir(m_test.traceFolder()).removeRecursively());
        for (const auto &[type, community, handler] : events) {
            m_test.messages.texts.clear();
            QVERIFY(!exchange(m_port, makeRequest(type, {SysName}, community), 300));
            QTRY_COMPARE(m_test.messages.texts.size(), 1); // the handler may come late
            QVERIFY2(m_test.messages.texts[0].startsWith(
                         QStringLiteral("Modul: %1, Err: ").arg(handler)),
                     qPrintable(m_test.messages.texts[0]));
        }
    }
    QVERIFY(!QDir(m_test.traceFolder()).exists());
}

QTEST_MAIN(TstSnmpAgentRows)
#include "tst_snmpagentrows.moc"
