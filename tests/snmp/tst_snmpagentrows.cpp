#include "snmpmutations.h"
#include "snmptesthelpers.h"
#include "support/testwindow.h"

#include "snmp/snmpagent.h"
#include "snmp/snmpagentpage.h"
#include "snmp/snmpagents.h"
#include "snmp/snmpvalue.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUdpSocket>
#include <QtTest>

#include <optional>

namespace {

// The agents live on this thread, so waiting must keep the event loop running.
template <typename Condition> bool waitFor(Condition condition, int milliseconds)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

quint16 freeUdpPort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress);
    return probe.localPort();
}

void clickRow(FrmMain &window, int row, const QString &address, const QString &port)
{
    window.snmpAgent->txtSnmpIpAddr[row]->setText(address);
    window.snmpAgent->txtSnmpPort[row]->setText(port);
    window.snmpAgent->cmdSnmpControl[row]->click();
}

bool startRow(FrmMain &window, int row, quint16 port)
{
    clickRow(window, row, QStringLiteral("127.0.0.1"), QString::number(port));
    return window.snmpAgents->agentTable()[row].AgentRunning;
}

// A manager on a loopback socket of its own; no answer within the time gives nullopt.
struct TestManager
{
    TestManager() { socket.bind(QHostAddress::LocalHost, 0); }

    std::optional<SnmpMessage> exchange(quint16 port, const SnmpMessage &request, int ms = 2000)
    {
        socket.writeDatagram(encodeMessage(request).value(), QHostAddress::LocalHost, port);
        if (!waitFor([this] { return socket.hasPendingDatagrams(); }, ms))
            return std::nullopt;
        Result<SnmpMessage> response = decodeMessage(socket.receiveDatagram().data());
        if (!response)
            return std::nullopt;
        return response.value();
    }

    QUdpSocket socket;
};

const QString Sys = QStringLiteral("1.3.6.1.2.1.1.");
const QString SysName = Sys + "5.0";

const QStringList Walk = {
    QStringLiteral(".1.3.6.1.2.1.1.1.0 = STRING: \"IP=127.0.0.1,Port=%1\""),
    QStringLiteral(".1.3.6.1.2.1.1.2.0 = OID: .1.3.6.1.4.1.7394.1.99.1"),
    QStringLiteral(".1.3.6.1.2.1.1.3.0 = Timeticks: T"),
    QStringLiteral(".1.3.6.1.2.1.1.4.0 = STRING: \"Ola Nordmann\""),
    QStringLiteral(".1.3.6.1.2.1.1.5.0 = STRING: \"Agent 1\""),
    QStringLiteral(".1.3.6.1.2.1.1.6.0 = STRING: \"Lab 1\""),
    QStringLiteral(".1.3.6.1.2.1.1.7.0 = INTEGER: 76"),
};

} // namespace

// One window for all cases; row 0 stays started on m_port.
class TstSnmpAgentRows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { m_test.messages.texts.clear(); }
    void netSnmpTools_data();
    void netSnmpTools();
    void startStopAndRestart();
    void startFailuresLeaveTheRowStopped_data();
    void startFailuresLeaveTheRowStopped();
    void survivesAHundredThousandBadDatagrams();
    void valueThatDoesNotFitIsReportedAndAnswered();
    void debugModeTracesRequestsAndResponses();

private:
    struct Run
    {
        int exitCode = -1;
        QString out, err;
    };
    Run run(const QString &tool, const QStringList &options, const QStringList &operands);

    TestWindow m_test;
    FrmMain *m_window = nullptr;
    SnmpAgentPage *m_page = nullptr;
    quint16 m_port = 0;
    TestManager m_manager;
    QTemporaryDir m_persistent;
};

void TstSnmpAgentRows::initTestCase()
{
    m_window = &m_test.open();
    m_page = m_window->snmpAgent;
    m_port = freeUdpPort();
    QVERIFY(startRow(*m_window, 0, m_port));
}

TstSnmpAgentRows::Run TstSnmpAgentRows::run(const QString &tool, const QStringList &options,
                                            const QStringList &operands)
{
    // Numeric names and no MIB files: the output does not depend on what is installed.
    const QStringList arguments = QStringList{"-On", "-m", "", "-t", "2", "-r", "1"} + options +
                                  QStringList{"127.0.0.1:" + QString::number(m_port)} + operands;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SNMP_PERSISTENT_DIR", m_persistent.path());
    environment.insert("SNMPCONFPATH", m_persistent.path());
    process.setProcessEnvironment(environment);
    process.start(tool, arguments);
    const bool ended = waitFor([&] { return process.state() == QProcess::NotRunning; }, 15000);
    if (!ended) {
        process.kill();
        process.waitForFinished();
    }
    return Run{ended ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
               QString::fromUtf8(process.readAllStandardError())};
}

void TstSnmpAgentRows::netSnmpTools_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("operands");
    QTest::addColumn<QString>("out"); // exact output, or what the failure's text names
    const QStringList sysName{SysName};
    for (const QString version : {"1", "2c"}) {
        const QStringList options{"-v" + version, "-c", "kettle"};
        const QByteArray v = version.toLatin1();
        QTest::addRow("snmpget v%s", v.data())
            << "snmpget" << options << sysName + QStringList{Sys + "7.0"}
            << Walk[4] + "\n" + Walk[6] + "\n";
        QTest::addRow("snmpgetnext v%s", v.data())
            << "snmpgetnext" << options << sysName << Walk[5] + "\n";
        QTest::addRow("snmpset v%s", v.data())
            << "snmpset" << options << sysName + QStringList{"s", "x"}
            << (version == "1" ? "noSuchName" : "notWritable");
    }
    // Walks from the tools' own default start (mib-2) or from the group.
    const QString walk = Walk.join('\n').arg(m_port) + "\n";
    const QStringList mib2{"1.3.6.1.2.1"};
    const QStringList v1{"-v1", "-c", "kettle"};
    const QStringList v2c{"-v2c", "-c", "kettle"};
    QTest::newRow("snmpwalk v1") << "snmpwalk" << v1 << mib2 << walk;
    QTest::newRow("snmpwalk v2c system")
        << "snmpwalk" << v2c << QStringList{Sys.chopped(1)} << walk;
    // A GetBulk past the group ends the view inside mib-2, which the tool prints.
    QTest::newRow("snmpbulkwalk")
        << "snmpbulkwalk" << v2c << mib2
        << walk + "." + Sys +
               "7.0 = No more variables left in this MIB View (It is past the end of the MIB "
               "tree)\n";
    QTest::newRow("wrong community") << "snmpget" << QStringList{"-v2c", "-c", "public"}
                                     << sysName << ".1.3.6.1.2.1.1.5.0 = NULL\n";
}

void TstSnmpAgentRows::netSnmpTools()
{
    if (QStandardPaths::findExecutable("snmpget").isEmpty())
        QSKIP("net-snmp tools are not installed (./scripts/test installs them)");
    QFETCH(QString, tool);
    QFETCH(QStringList, options);
    QFETCH(QStringList, operands);
    QFETCH(QString, out);
    Run result = run(tool, options, operands);
    if (out.endsWith('\n')) {
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        result.out.remove("End of MIB\n");
        result.out.replace(QRegularExpression("Timeticks: .*"), "Timeticks: T");
        QCOMPARE(result.out, out);
    } else {
        QVERIFY(result.exitCode != 0);
        QVERIFY2(result.err.contains(out), qPrintable(result.out + result.err));
    }
}

void TstSnmpAgentRows::startStopAndRestart()
{
    const quint16 port = freeUdpPort();
    QVERIFY(startRow(*m_window, 3, port));
    QCOMPARE(m_page->txtSnmpStatus[3]->text(), QStringLiteral("Started"));
    QCOMPARE(m_page->cmdSnmpControl[3]->text(), QStringLiteral("Stop"));
    AgentTableRow &row = m_window->snmpAgents->agentTable()[3];
    row.AgentStartTime = row.AgentStartTime.addSecs(-90);

    // Edited boxes change nothing until the next start.
    m_page->txtSnmpPort[3]->setText("9");
    const SnmpMessage request =
        makeRequest(32, {SysName, Sys + "1.0", Sys + "3.0"}, "kettle", -77);
    auto answer = m_manager.exchange(port, request);
    QVERIFY(answer);
    QCOMPARE(answer->MessageNumber, -77);
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 4"));
    QCOMPARE(answer->Variables[1].Value(), "IP=127.0.0.1,Port=" + QString::number(port));
    QCOMPARE(answer->Variables[2].Type(), SnmpType::TimeTicks);
    QVERIFY(answer->Variables[2].Value().toInt() >= 9000);

    m_page->cmdSnmpControl[3]->click();
    QCOMPARE(m_page->txtSnmpStatus[3]->text(), QStringLiteral("Stopped"));
    QCOMPARE(m_page->cmdSnmpControl[3]->text(), QStringLiteral("Start"));
    QVERIFY(!row.AgentRunning);
    QVERIFY(!m_manager.exchange(port, request, 300));

    QVERIFY(startRow(*m_window, 3, port));
    answer = m_manager.exchange(port, request);
    QVERIFY(answer);
    const QString uptime = answer->Variables[2].Value();
    QVERIFY2(uptime.toInt() <= 100, qPrintable(uptime));
    QVERIFY(m_test.messages.texts.isEmpty());
}

void TstSnmpAgentRows::startFailuresLeaveTheRowStopped_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port"); // "busy": taken by another socket; "row 0": row 0's
    QTest::addColumn<QString>("message");
    const QString loopback = QStringLiteral("127.0.0.1");
    QTest::newRow("port in use") << loopback << "busy" << "SNMP Agent Port was in use";
    QTest::newRow("row 0's port") << loopback << "row 0" << "SNMP Agent Port was in use";
    QTest::newRow("letters in the port box") << loopback << "abc" << "Type mismatch";
    QTest::newRow("port beyond 32 bits") << loopback << "99999999999" << "Overflow";
    QTest::newRow("form default address")
        << "255.255.255.255" << "free" << "SNMP Agent IP Address is not valid";
    QTest::newRow("address of no adapter here")
        << "192.0.2.77" << "free" << "SNMP Agent IP Address is not valid";
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
    clickRow(*m_window, 2, address, port);
    QCOMPARE(m_test.messages.texts, QStringList{message});
    QCOMPARE(m_page->txtSnmpStatus[2]->text(), QStringLiteral("Stopped"));
    QCOMPARE(m_page->cmdSnmpControl[2]->text(), QStringLiteral("Start"));
    QVERIFY(m_page->cmdSnmpControl[2]->isEnabled());
    QVERIFY(!m_window->snmpAgents->agentTable()[2].AgentRunning);
    QVERIFY(!m_window->snmpAgents->snmpAgent(2).isListening());
    const auto answer = m_manager.exchange(m_port, makeRequest(32, {SysName}));
    QVERIFY(answer);
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 1"));
}

// Broken and foreign datagrams must neither crash nor block the row, nor be answered.
void TstSnmpAgentRows::survivesAHundredThousandBadDatagrams()
{
    const SnmpAgent &agent = m_window->snmpAgents->snmpAgent(0);
    SnmpMutations mutations(20261206);
    QUdpSocket &socket = m_manager.socket;
    socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 1 << 20);
    constexpr int Total = 100'000;
    constexpr int Batch = 50; // well inside the agent's receive buffer
    quint64 expectedDropped = agent.droppedCount();
    quint64 expectedAnswers = 0;
    quint64 answers = 0;
    for (int sent = 0; sent < Total;) {
        for (int i = 0; i < Batch; ++i, ++sent) {
            const QByteArray datagram = mutations.next();
            const Result<SnmpMessage> decoded = decodeMessage(datagram);
            const int pdu = decoded ? decoded.value().pdu() : -1;
            const bool request = pdu == SnmpPdu::GetRequest || pdu == SnmpPdu::GetNextRequest ||
                                 pdu == SnmpPdu::SetRequest || pdu == SnmpPdu::GetBulkRequest;
            ++(request ? expectedAnswers : expectedDropped);
            socket.writeDatagram(datagram, QHostAddress::LocalHost, m_port);
        }
        const bool caughtUp = waitFor(
            [&] {
                while (socket.hasPendingDatagrams() && socket.receiveDatagram().isValid())
                    ++answers;
                return agent.droppedCount() == expectedDropped && answers == expectedAnswers;
            },
            5000);
        QVERIFY2(caughtUp, qPrintable(QStringLiteral("stuck after %1 datagrams").arg(sent)));
    }
    QVERIFY(expectedDropped > Total / 2);
    const auto answer = m_manager.exchange(m_port, makeRequest(32, {SysName}));
    QVERIFY(answer);
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 1"));
    QCOMPARE(m_page->txtSnmpStatus[0]->text(), QStringLiteral("Started"));
    QVERIFY2(m_test.messages.texts.isEmpty(), qPrintable(m_test.messages.texts.join('\n')));
}

void TstSnmpAgentRows::valueThatDoesNotFitIsReportedAndAnswered()
{
    const quint16 port = freeUdpPort();
    QVERIFY(startRow(*m_window, 5, port));
    m_page->txtValue1->setText("abc");
    const QString controlled = m_page->txtOid1->text();
    const auto answer = m_manager.exchange(port, makeRequest(64, {SysName, controlled}));
    QVERIFY(answer);
    QCOMPARE(m_test.messages.texts.size(), 1);
    QVERIFY2(m_test.messages.texts[0].startsWith("Modul: SnmpGetRequest, Err: Type mismatch"),
             qPrintable(m_test.messages.texts[0]));
    QCOMPARE(answer->Variables[0].Value(), QStringLiteral("Agent 6"));
    QCOMPARE(answer->Variables[1].Type(), SnmpType::Null);

    m_page->cboType1->setCurrentText("OctetString");
    const auto typed = m_manager.exchange(port, makeRequest(64, {controlled}));
    QCOMPARE(typed->Variables[0].Type(), SnmpType::OctetString);
    QCOMPARE(typed->Variables[0].Value(), QStringLiteral("abc"));
}

void TstSnmpAgentRows::debugModeTracesRequestsAndResponses()
{
    m_window->trace().setDebugMode(true);
    QVERIFY(m_manager.exchange(m_port, makeRequest(32, {"1.3.6.1.2.1.1.5"}, "kettle", 1234)));
    QVERIFY(m_manager.exchange(m_port, makeRequest(33, {"1.3.6.1.2.1.1.7.0"}, "kettle", 99)));
    // A wrong community is echoed as it came; only the response is traced.
    const auto echoed = m_manager.exchange(m_port, makeRequest(65, {SysName}, "Kettle"));
    QVERIFY(echoed);
    QCOMPARE(echoed->Community, QStringLiteral("Kettle"));
    const QString traceFile = "/Snmp_127.0.0.1_" + QString::number(m_port) + ".txt";
    QString trace = QString::fromLatin1(readFile(m_test.traceFolder() + traceFile));
    const QRegularExpression stamp("^\\d\\d:\\d\\d:\\d\\d ", QRegularExpression::MultilineOption);
    trace.replace(stamp, "hh:mm:ss ");
    QCOMPARE(trace, "hh:mm:ss <-- GetRequest\t1234\r\n\t\t1.3.6.1.2.1.1.5\r\n"
                    "hh:mm:ss --> Response\t1234\r\n\t\t1.3.6.1.2.1.1.5.0\t\t2\tAgent 1\r\n\r\n"
                    "hh:mm:ss <-- GetNextRequest\t99\r\n\t\t1.3.6.1.2.1.1.7.0\r\n"
                    "hh:mm:ss --> Response\t99\r\n\t\t1.3.6.1.2.1.1.7.0\t\t20\t\r\n\r\n"
                    "hh:mm:ss --> Response\t1234\r\n\t\t1.3.6.1.2.1.1.5.0\t\t20\t\r\n\r\n");

    // Without the trace folder the failure is reported and nothing is sent.
    QVERIFY(QDir(m_test.traceFolder()).removeRecursively());
    QVERIFY(!m_manager.exchange(m_port, makeRequest(64, {SysName}), 300));
    QVERIFY(waitFor([&] { return m_test.messages.texts.size() == 2; }, 2000));
    QVERIFY(m_test.messages.texts[0].startsWith("Modul: SnmpGetRequest, Err: "));
    QVERIFY(m_test.messages.texts[1].startsWith("Modul: snmpAgent_Request, Err: "));
    QVERIFY(!QDir(m_test.traceFolder()).exists());
    m_window->trace().setDebugMode(false);
}

QTEST_MAIN(TstSnmpAgentRows)
#include "tst_snmpagentrows.moc"
