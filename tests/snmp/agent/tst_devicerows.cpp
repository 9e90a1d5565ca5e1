#include "support/testrows.h"

#include "snmp/agent/snmpagent.h"
#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmpv3message.h"
#include "snmp/codec/snmpvalue.h"
#include "snmp/usm/usmengine.h"

#include <QStandardPaths>
#include <QtTest>

using usm::Auth;
using usm::Priv;

namespace {

const QString SysName = QStringLiteral("1.3.6.1.2.1.1.5.0");
const QString SysUpTime = QStringLiteral("1.3.6.1.2.1.1.3.0");
const QString InBadCommunityNames = QStringLiteral("1.3.6.1.2.1.11.4.0");
const QString InAsnParseErrs = QStringLiteral("1.3.6.1.2.1.11.6.0");
const QString UnknownUserNames = QStringLiteral("1.3.6.1.6.3.15.1.1.3.0");
const QString UnknownPduHandlers = QStringLiteral("1.3.6.1.6.3.11.2.1.3.0");
const QString PastTheEnd = QStringLiteral("No more variables left in this MIB View");
// Objects of about a kilobyte each, one after the other in the recording.
const QString BigBase = QStringLiteral("1.3.6.1.4.1.99999.1.");
constexpr int BigObjects = 70;

enum Row { Recording = 0, Users = 1, Plain = 2 };

// An SNMPv3 message in plain text as a manager that knows the engine sends it.
QByteArray plainV3(const QByteArray &engineId, const QByteArray &user, const SnmpMessage &pdu,
                   quint8 flags = SnmpV3Flag::Reportable, const QByteArray &contextEngine = {})
{
    SnmpV3Message message = v3Message(pdu, 21, flags, user, engineId);
    if (!contextEngine.isNull())
        message.contextEngineId = contextEngine;
    return encodeV3Message(message, 0).bytes;
}

} // namespace

// Row 0 serves a small recording and row 1 has SNMPv3 users: both are devices and answer as
// real agents do. Row 2 stays plain, and must answer as the window's agents always have.
class TstDeviceRows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { m_rows.messages.texts.clear(); }
    void usersAreServedAtTheirLevelOnly_data();
    void usersAreServedAtTheirLevelOnly();
    void reportsOnlyOnRequestsToThisEngine();
    void ownObjectsCountLive();
    void missingObjectsAsRealAgentsAnswer();
    void refusedSetsNameTheObject_data();
    void refusedSetsNameTheObject();
    void impossibleIdentifiersAreParseErrors();
    void getBulkSendsWhatFits();
    void uptimeWrapsOnEveryPath();

private:
    UsmEngine &engine() { return m_rows.agents.snmpAgent(Users).usm(); }
    // What the row sent back for `datagram`.
    QList<QByteArray> answersTo(Row row, const QByteArray &datagram)
    {
        const Manager::Answers answers = m_rows.manager.answersTo(m_rows.port(row), {datagram});
        if (!answers.probed)
            qWarning("the probe was not answered");
        return answers.datagrams;
    }
    std::optional<SnmpMessage> exchange(Row row, const SnmpMessage &request);
    // A counter of the row's own, read with a v2c Get.
    quint32 counter(Row row, const QString &oid);

    TestRows m_rows;
    QTemporaryDir m_folder;
};

std::optional<SnmpMessage> TstDeviceRows::exchange(Row row, const SnmpMessage &request)
{
    const QList<QByteArray> answers = answersTo(row, encodeMessage(request).value());
    if (answers.size() != 1)
        return std::nullopt;
    const Result<SnmpMessage> message = decodeMessage(answers[0]);
    return message ? std::optional(message.value()) : std::nullopt;
}

quint32 TstDeviceRows::counter(Row row, const QString &oid)
{
    const std::optional<SnmpMessage> got = exchange(row, makeRequest(SnmpPdu::V2cBase, {oid}));
    if (!got || got->Variables.size() != 1 || got->Variables[0].Type() != SnmpType::Counter32) {
        qWarning("no counter %s", qPrintable(oid));
        return 0;
    }
    return got->Variables[0].Value().toUInt();
}

void TstDeviceRows::initTestCase()
{
    if (QStandardPaths::findExecutable("snmpget").isEmpty())
        QSKIP("net-snmp tools are not installed (./scripts/test installs them)");
    SnmpAgents &agents = m_rows.agents;
    QVERIFY(agents.addV3User(Users, "vsha256", Auth::Sha256, "auth-pass-1", Priv::Aes128,
                             "priv-pass-1"));
    QVERIFY(agents.addV3User(Users, "vauth", Auth::Sha1, "auth-pass-1"));
    QVERIFY(agents.addV3User(Users, "open", Auth::None, {}));
    for (int row = 0; row < 3; ++row)
        QVERIFY(m_rows.start(row));

    // A counter of the agent's own, recorded: the live value stands in for it.
    QByteArray recording = "1.3.6.1.2.1.2.2.1.2.1|4|eth0\n1.3.6.1.2.1.2.2.1.5.1|66|1000000000\n"
                           "1.3.6.1.2.1.11.1.0|65|424242\n";
    for (int i = 1; i <= BigObjects; ++i)
        recording +=
            BigBase.toLatin1() + QByteArray::number(i) + "|4|" + QByteArray(1000, 'x') + '\n';
    const QString path = m_folder.filePath("device.txt");
    writeFile(path, recording);
    QVERIFY(m_rows.serve(Recording, path));
    QVERIFY(agents.servedRecording(Recording).tree);
}

void TstDeviceRows::usersAreServedAtTheirLevelOnly_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("served");
    const QStringList sha256{"-a", "SHA-256", "-A", "auth-pass-1"};
    const QStringList aes{"-x", "AES", "-X", "priv-pass-1"};
    const QStringList sha{"-a", "SHA", "-A", "auth-pass-1"};
    QTest::newRow("authPriv user, noAuthNoPriv") << v3("noAuthNoPriv", "vsha256") << false;
    QTest::newRow("authPriv user, authNoPriv") << v3("authNoPriv", "vsha256") + sha256 << false;
    QTest::newRow("authPriv user, authPriv") << v3("authPriv", "vsha256") + sha256 + aes << true;
    QTest::newRow("authNoPriv user, noAuthNoPriv") << v3("noAuthNoPriv", "vauth") << false;
    QTest::newRow("authNoPriv user, authNoPriv") << v3("authNoPriv", "vauth") + sha << true;
}

// A user name alone must not open a row: below the user's level no value goes out, whatever
// the operation (snmpd answers the same authorizationError).
void TstDeviceRows::usersAreServedAtTheirLevelOnly()
{
    QFETCH(QStringList, options);
    QFETCH(bool, served);
    const QStringList objects{SysName, "1.3.6.1.2.1.1"};
    const struct
    {
        const char *tool;
        QStringList operands;
    } requests[] = {{"snmpget", {SysName}},
                    {"snmpgetnext", {"1.3.6.1.2.1.1.4.0"}},
                    {"snmpbulkget", {"-Cn1", "-Cr3", "1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.4.0"}},
                    {"snmpwalk", {"1.3.6.1.2.1.1"}},
                    {"snmpset", {SysName, "s", "x"}}};
    for (const auto &[tool, operands] : requests) {
        const ToolRun got = m_rows.run(Users, tool, options, operands);
        const QString output = got.out + got.err;
        const bool refused = output.contains("authorizationError");
        const bool set = QLatin1String(tool) == QLatin1String("snmpset");
        QVERIFY2(refused != served, qPrintable(QString(tool) + ": " + output));
        if (served)
            QVERIFY2(set ? output.contains("notWritable") : output.contains("Agent 2"),
                     qPrintable(output));
        else
            QVERIFY2(!output.contains(" = "), qPrintable(output));
    }
}

// Reports answer requests only, and only for this engine's default context; what has no
// handler is counted as message processing counts it.
void TstDeviceRows::reportsOnlyOnRequestsToThisEngine()
{
    const QByteArray id = engine().engineId();
    const UsmStats &usm = engine().stats();
    const MpdStats &mpd = engine().mpdStats();
    SnmpMessage get = makeRequest(SnmpPdu::V2cBase + SnmpPdu::GetRequest, {SysName}, {}, 8);
    SnmpMessage response = get;
    response.Type = SnmpPdu::V2cBase + SnmpPdu::Response;

    // An unknown user's request is reported on; its response PDU, which asks nothing, is not.
    quint32 unknown = usm.unknownUserNames;
    QList<QByteArray> answers = answersTo(Users, plainV3(id, "nobody", get));
    QCOMPARE(answers.size(), 1);
    QCOMPARE(pduOf(answers[0]).Variables.value(0).Oid(), UnknownUserNames);
    answers = answersTo(Users, plainV3(id, "nobody", response));
    QVERIFY(answers.isEmpty());
    QCOMPARE(usm.unknownUserNames, unknown + 2);

    // Privacy without authentication is no valid message at all.
    const quint32 invalid = mpd.invalidMsgs;
    QVERIFY(answersTo(Users, plainV3(id, "open", get, SnmpV3Flag::Reportable | SnmpV3Flag::Priv))
                .isEmpty());
    QCOMPARE(mpd.invalidMsgs, invalid + 1);

    // Another engine's context, and notifications, find no handler here (snmpd answers the
    // first as its own; RFC 3412 4.2.2.1 reports it). An Inform asks for the report, a Trap not.
    const quint32 handlers = mpd.unknownPduHandlers;
    answers = answersTo(Users, plainV3(id, "open", get, SnmpV3Flag::Reportable,
                                       QByteArray::fromHex("8000000001020304")));
    QCOMPARE(answers.size(), 1);
    SnmpMessage report = pduOf(answers[0]);
    QCOMPARE(report.pdu(), SnmpPdu::Report);
    QCOMPARE(report.MessageNumber, 8);
    QCOMPARE(report.Variables.value(0).Oid(), UnknownPduHandlers);
    QCOMPARE(report.Variables.value(0).Value(), QString::number(handlers + 1));
    SnmpMessage inform = get;
    inform.Type = SnmpPdu::V2cBase + SnmpPdu::InformRequest;
    answers = answersTo(Users, plainV3(id, "open", inform));
    QCOMPARE(answers.size(), 1);
    QCOMPARE(pduOf(answers[0]).Variables.value(0).Oid(), UnknownPduHandlers);
    SnmpMessage trap = get;
    trap.Type = SnmpPdu::V2cBase + SnmpPdu::V2Trap;
    QVERIFY(answersTo(Users, plainV3(id, "open", trap)).isEmpty());
    QCOMPARE(mpd.unknownPduHandlers, handlers + 3);

    // The same request in this engine's context is answered.
    answers = answersTo(Users, plainV3(id, "open", get));
    QCOMPARE(answers.size(), 1);
    QCOMPARE(pduOf(answers[0]).Variables.value(0).Value(), "Agent 2");
}

void TstDeviceRows::ownObjectsCountLive()
{
    // A wrong community, a parse error and a stranger's version each count once.
    quint32 before = counter(Recording, InBadCommunityNames);
    QVERIFY(
        m_rows.run(Recording, "snmpget", {"-v2c", "-c", "public", "-r0", "-t", "0.3"}, {SysName})
            .out.isEmpty());
    QCOMPARE(counter(Recording, InBadCommunityNames), before + 1);
    before = counter(Recording, InAsnParseErrs);
    QVERIFY(answersTo(Recording, QByteArray::fromHex("3003020100")).isEmpty());
    QCOMPARE(counter(Recording, InAsnParseErrs), before + 1);
    const QString inBadVersions = QStringLiteral("1.3.6.1.2.1.11.3.0");
    before = counter(Recording, inBadVersions);
    QVERIFY(answersTo(Recording, plainV3(engine().engineId(), "open",
                                         makeRequest(SnmpPdu::V2cBase, {SysName})))
                .isEmpty()); // a row without users speaks no version 3
    QByteArray version2 = encodeMessage(makeRequest(SnmpPdu::V2cBase, {SysName})).value();
    version2[4] = 2; // the version's one content byte
    QVERIFY(answersTo(Recording, version2).isEmpty());
    QCOMPARE(counter(Recording, inBadVersions), before + 2);

    // Live over the recorded value, for Get and GetNext alike; every datagram counts.
    const QString inPkts = QStringLiteral("1.3.6.1.2.1.11.1.0");
    const quint32 packets = counter(Recording, inPkts);
    QVERIFY(packets > 10 && packets < 424242);
    QCOMPARE(counter(Recording, inPkts), packets + 2); // this Get and the probe behind it
    const std::optional<SnmpMessage> next = exchange(
        Recording, makeRequest(SnmpPdu::V2cBase + SnmpPdu::GetNextRequest, {"1.3.6.1.2.1.11"}));
    QVERIFY(next);
    QCOMPARE(next->Variables.value(0).Oid(), inPkts);
    QCOMPARE(next->Variables.value(0).Value(), QString::number(packets + 4));

    before = counter(Users, UnknownUserNames);
    const ToolRun unknown = m_rows.run(Users, "snmpget", v3("noAuthNoPriv", "nobody"), {SysName});
    QVERIFY2(unknown.err.contains("Unknown user name"), qPrintable(unknown.err));
    QCOMPARE(counter(Users, UnknownUserNames), before + 1);

    // The engine ID a manager reads is the row's (which its users dialog shows).
    const ToolRun id = m_rows.run(
        Users, "snmpget", v3("authNoPriv", "vauth") + QStringList{"-a", "SHA", "-A", "auth-pass-1"},
        {"1.3.6.1.6.3.10.2.1.1.0"});
    QString hex = id.out.section("Hex-STRING: ", 1).remove(' ').remove('\n').toLower();
    QCOMPARE(hex, engine().engineId().toHex());

    // Each in its place in a walk, SNMPv1 included; the engine's only where there are users.
    const ToolRun group =
        m_rows.run(Users, "snmpwalk", {"-v1", "-c", "kettle"}, {"1.3.6.1.2.1.11"});
    QCOMPARE(group.out.count(" = "), 8);
    QVERIFY(group.out.contains(".1.3.6.1.2.1.11.30.0 = INTEGER: 2\n"));
    const ToolRun v3objects =
        m_rows.run(Users, "snmpwalk", {"-v1", "-c", "kettle"}, {"1.3.6.1.6.3"});
    QCOMPARE(v3objects.out.count(" = "), 4 + 3 + 1 + 6);
    QVERIFY(v3objects.out.contains(".1.3.6.1.6.3.10.2.1.4.0 = INTEGER: 65507\n"));
    QVERIFY(m_rows.run(Recording, "snmpget", {"-v2c", "-c", "kettle"}, {"1.3.6.1.6.3.10.2.1.1.0"})
                .out.contains("No Such Object"));
    // A plain row serves none of them.
    const ToolRun plain = m_rows.run(Plain, "snmpget", {"-v2c", "-c", "kettle"}, {InAsnParseErrs});
    QVERIFY2(plain.err.contains("noSuchName"), qPrintable(plain.out + plain.err));
}

void TstDeviceRows::missingObjectsAsRealAgentsAnswer()
{
    const QString missing = QStringLiteral("1.3.6.1.2.1.1.5.1");
    // v2c answers as v3 does, where a plain row keeps error status 2.
    ToolRun got = m_rows.run(Recording, "snmpget", {"-v2c", "-c", "kettle"}, {SysName, missing});
    QCOMPARE(got.out, ".1.3.6.1.2.1.1.5.0 = STRING: \"Agent 1\"\n.1.3.6.1.2.1.1.5.1 = No Such "
                      "Instance currently exists at this OID\n");
    got = m_rows.run(Recording, "snmpgetnext", {"-v2c", "-c", "kettle"}, {"1.3.6.1.6.3.99"});
    QVERIFY2(got.out.contains(PastTheEnd), qPrintable(got.out + got.err));
    got = m_rows.run(Plain, "snmpget", {"-v2c", "-c", "kettle"}, {SysName, missing});
    QVERIFY2(got.err.contains("noSuchName"), qPrintable(got.out + got.err));

    // SNMPv1: the error response is the request itself on a device, filled in on a plain row.
    for (const int pdu : {SnmpPdu::GetRequest, SnmpPdu::GetNextRequest}) {
        const QStringList oids = pdu == SnmpPdu::GetRequest
                                     ? QStringList{SysName, missing, missing}
                                     : QStringList{SysName, "1.3.6.1.6.3.99", "1.3.6.1.6.3.99"};
        const SnmpMessage request = makeRequest(SnmpPdu::V1Base + pdu, oids);
        const std::optional<SnmpMessage> device = exchange(Recording, request);
        QVERIFY(device);
        QCOMPARE(device->ErrorStatus, SnmpError::NoSuchName);
        QCOMPARE(device->ErrorIndex, 2); // the first in error, as net-snmp names it
        QCOMPARE(device->Variables.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(device->Variables[i].Oid(), oids[i]);
            QCOMPARE(device->Variables[i].Type(), SnmpType::Null);
        }
        const std::optional<SnmpMessage> plain = exchange(Plain, request);
        QVERIFY(plain);
        QCOMPARE(plain->ErrorStatus, SnmpError::NoSuchName);
        QCOMPARE(plain->ErrorIndex, 3);
        QCOMPARE(plain->Variables[0].Type(), SnmpType::OctetString);
    }

    // Another community: dropped and counted by a device, echoed by a plain row.
    const SnmpMessage stranger =
        makeRequest(SnmpPdu::V2cBase, {SysName}, QStringLiteral("public"), 77);
    QVERIFY(answersTo(Users, encodeMessage(stranger).value()).isEmpty());
    const std::optional<SnmpMessage> echo = exchange(Plain, stranger);
    QVERIFY(echo);
    QCOMPARE(echo->Variables.value(0).Type(), SnmpType::Null);
}

void TstDeviceRows::refusedSetsNameTheObject_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("error");
    const QStringList v3auth =
        v3("authNoPriv", "vauth") + QStringList{"-a", "SHA", "-A", "auth-pass-1"};
    for (const Row row : {Recording, Users, Plain}) {
        QTest::addRow("v1, row %d", row)
            << int(row) << QStringList{"-v1", "-c", "kettle"} << "noSuchName";
        QTest::addRow("v2c, row %d", row)
            << int(row) << QStringList{"-v2c", "-c", "kettle"} << "notWritable";
    }
    QTest::newRow("v3") << int(Users) << v3auth << "notWritable";
}

// Nothing is writable: the refusal names the first object of the request.
void TstDeviceRows::refusedSetsNameTheObject()
{
    QFETCH(int, row);
    QFETCH(QStringList, options);
    QFETCH(QString, error);
    const ToolRun got = m_rows.run(Row(row), "snmpset", options,
                                   {SysName, "s", "x", "1.3.6.1.2.1.1.6.0", "s", "y"});
    QVERIFY2(got.err.contains(QRegularExpression("Reason: \\(?" + error +
                                                 ".*\nFailed object: \\.1\\.3\\.6\\.1\\.2\\.1\\.1"
                                                 "\\.5\\.0\n")),
             qPrintable(got.err));
}

// RFC 2578 bounds every name: more than 128 arcs, or an arc past 32 bits, is no identifier.
// Every row drops such a request as a parse error; the largest names that are valid pass.
void TstDeviceRows::impossibleIdentifiersAreParseErrors()
{
    const auto request = [](const QByteArray &oidContent) {
        SnmpMessage message = makeRequest(SnmpPdu::V2cBase + SnmpPdu::GetNextRequest, {SysName});
        message.Variables[0].setEncoded(ber::element(ber::ObjectIdentifier, oidContent),
                                        QByteArray::fromHex("0500"));
        return encodeMessage(message).value();
    };
    const QByteArray arcs128 = QByteArray::fromHex("2b") + QByteArray(126, '\x01');
    const QByteArray invalid[] = {
        arcs128 + '\x01',
        QByteArray::fromHex("2b060102019080808000"), // 1.3.6.1.2.1.4294967296
        QByteArray::fromHex("908080804f01"),         // 2.4294967295.1: the pair overflows
    };
    const QByteArray valid[] = {
        arcs128,
        QByteArray::fromHex("2b060102018fffffff7f"), // 1.3.6.1.2.1.4294967295
        QByteArray::fromHex("8fffffff7f01"),         // 2.4294967215.1
    };
    for (const Row row : {Recording, Plain}) {
        const quint32 before = row == Recording ? counter(row, InAsnParseErrs) : 0;
        for (const QByteArray &content : invalid)
            QVERIFY2(answersTo(row, request(content)).isEmpty(), content.toHex().constData());
        if (row == Recording)
            QCOMPARE(counter(row, InAsnParseErrs), before + 3);
        for (const QByteArray &content : valid)
            QVERIFY2(answersTo(row, request(content)).size() == 1, content.toHex().constData());
    }
}

// Even the non-repeaters may not fit: the answer is then as many whole bindings as fit,
// never tooBig (RFC 3416 4.2.3).
void TstDeviceRows::getBulkSendsWhatFits()
{
    QStringList operands{"-Cn" + QString::number(BigObjects), "-Cr0"};
    for (int i = 0; i < BigObjects; ++i)
        operands.append(BigBase + QString::number(i));
    const ToolRun got = m_rows.run(Recording, "snmpbulkget", {"-v2c", "-c", "kettle"}, operands);
    QVERIFY2(got.exitCode == 0, qPrintable(got.err));
    const qsizetype answered = got.out.count(" = STRING: ");
    QVERIFY2(answered > 55 && answered < BigObjects, qPrintable(QString::number(answered)));
    QVERIFY(got.out.startsWith("." + BigBase + "1 = STRING: "));
}

// Past 2^32 hundredths of a second the clock starts over, on every path that shows it.
void TstDeviceRows::uptimeWrapsOnEveryPath()
{
    const QDateTime wrapped = QDateTime::currentDateTimeUtc().addSecs(-(4294967296 / 100 + 5));
    for (const Row row : {Recording, Users, Plain})
        m_rows.agents.agentTable()[row].AgentStartTime = wrapped;
    const auto ticksIn = [](const QString &output) {
        const QRegularExpressionMatch match =
            QRegularExpression("Timeticks: \\((\\d+)\\)").match(output);
        return match.hasMatch() ? match.captured(1).toLongLong() : -1;
    };
    const QStringList community{"-v2c", "-c", "kettle"};
    const QStringList secured =
        v3("authNoPriv", "vauth") + QStringList{"-a", "SHA", "-A", "auth-pass-1"};
    const struct
    {
        Row row;
        const char *tool;
        QStringList options;
        QString operand;
    } paths[] = {{Plain, "snmpget", community, SysUpTime},
                 {Plain, "snmpgetnext", community, "1.3.6.1.2.1.1.2.0"},
                 {Plain, "snmpbulkget", community + QStringList{"-Cr1"}, "1.3.6.1.2.1.1.2.0"},
                 {Recording, "snmpget", community, SysUpTime},
                 {Users, "snmpget", secured, SysUpTime}};
    for (const auto &[row, tool, options, operand] : paths) {
        const qint64 ticks = ticksIn(m_rows.run(row, tool, options, {operand}).out);
        QVERIFY2(ticks >= 400 && ticks < 1000, qPrintable(QString::number(ticks)));
    }
    // The trace shows what went out.
    m_rows.trace.setDebugMode(true);
    m_rows.run(Plain, "snmpget", community, {SysUpTime});
    m_rows.trace.setDebugMode(false);
    const QString trace = QString::fromLatin1(readFile(m_rows.traceFile(Plain)));
    const QRegularExpressionMatch traced =
        QRegularExpression("\t\t1\\.3\\.6\\.1\\.2\\.1\\.1\\.3\\.0\t\t7\t(\\d+)\r\n").match(trace);
    QVERIFY2(traced.hasMatch() && traced.captured(1).toLongLong() < 1000, qPrintable(trace));
}

QTEST_GUILESS_MAIN(TstDeviceRows)
#include "tst_devicerows.moc"
