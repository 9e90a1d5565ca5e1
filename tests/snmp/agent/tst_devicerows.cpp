#include "support/testrows.h"

#include "snmp/agent/snmpagent.h"
#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmpv3message.h"
#include "snmp/codec/snmpvalue.h"
#include "snmp/usm/usmengine.h"

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
const QStringList Community{"-v2c", "-c", "kettle"};
const QStringList Vauth = v3("authNoPriv", "vauth") + QStringList{"-a", "SHA", "-A", "auth-pass-1"};
// The secured row's authPriv user, its privacy passphrase left for the caller.
const QStringList Secret =
    v3("authPriv", "secret") + QStringList{"-a", "SHA", "-A", "auth-pass-1", "-x", "AES", "-X"};

enum Row { Recording = 0, Users = 1, Plain = 2 };

// A user per hash and cipher, named by its protocols.
const std::tuple<const char *, Auth, Priv> Ciphers[] = {
    {"MD5 AES-192", Auth::Md5, Priv::Aes192},
    {"SHA-224 AES-192", Auth::Sha224, Priv::Aes192},
    {"SHA-256 AES", Auth::Sha256, Priv::Aes128},
    {"SHA-384 DES", Auth::Sha384, Priv::Des},
    {"SHA-512 AES-256", Auth::Sha512, Priv::Aes256},
    {"SHA AES-256", Auth::Sha1, Priv::Aes256}};

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
// real agents do. Row 2 stays plain, and must answer as the window's agents always have. Row 0
// of a second set of rows, the secured row, has users of every level, hash and cipher.
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
    void securedRow_data();
    void securedRow();
    void securedSizeLimitAndTrace();

private:
    UsmEngine &engine(TestRows &rows, int row) { return rows.agents.snmpAgent(row).usm(); }
    // What the row sent back for `datagram`.
    QList<QByteArray> answersTo(Row row, const QByteArray &datagram)
    {
        const Manager::Answers answers = m_rows.manager.answersTo(m_rows.port(row), {datagram});
        if (!answers.probed)
            qWarning("the probe was not answered");
        return answers.datagrams;
    }
    std::optional<SnmpMessage> exchange(Row row, const SnmpMessage &request)
    {
        const QList<QByteArray> answers = answersTo(row, encodeMessage(request).value());
        const Result<SnmpMessage> message = decodeMessage(answers.value(0));
        return answers.size() == 1 && message ? std::optional(message.value()) : std::nullopt;
    }
    // A counter of the row's own, read with a v2c Get; 0 and a warning where there is none.
    quint32 counter(Row row, const QString &oid)
    {
        const auto got = exchange(row, makeRequest(SnmpPdu::V2cBase, {oid}));
        if (got && got->Variables.size() == 1 && got->Variables[0].Type() == SnmpType::Counter32)
            return got->Variables[0].Value().toUInt();
        qWarning("no counter %s", qPrintable(oid));
        return 0;
    }
    ToolRun secured(const QString &tool, const QStringList &options, const QString &operands)
    {
        return m_secured.run(0, tool, options, operands.split(' '));
    }

    TestRows m_rows;
    TestRows m_secured;
    QTemporaryDir m_folder;
};

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
    writeFile(m_folder.filePath("device.txt"), recording);
    QVERIFY(m_rows.serve(Recording, m_folder.filePath("device.txt")));
    QVERIFY(agents.servedRecording(Recording).tree);

    SnmpAgents &secured = m_secured.agents;
    QVERIFY(secured.addV3User(0, "open", Auth::None, {}));
    QVERIFY(secured.addV3User(0, "signer", Auth::Sha256, "sign-pass-1"));
    QVERIFY(secured.addV3User(0, "secret", Auth::Sha1, "auth-pass-1", Priv::Aes128, "priv-pass-1"));
    // Key localization, digest lengths, the AES key extension for short hashes, the DES pre-IV
    // and padding, each checked by the real manager.
    for (const auto &[name, auth, priv] : Ciphers)
        QVERIFY(secured.addV3User(0, name, auth, "auth-pass-1", priv, "priv-pass-1"));
    QVERIFY(secured.addV3User(0, "eight", Auth::Md5, "12345678"));
    QVERIFY(!secured.addV3User(0, "short", Auth::Sha1, "1234567"));
    QVERIFY(m_secured.start(0));
}

void TstDeviceRows::usersAreServedAtTheirLevelOnly_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("served");
    const QStringList sha256{"-a", "SHA-256", "-A", "auth-pass-1"};
    const QStringList aes{"-x", "AES", "-X", "priv-pass-1"};
    QTest::newRow("authPriv user, noAuthNoPriv") << v3("noAuthNoPriv", "vsha256") << false;
    QTest::newRow("authPriv user, authNoPriv") << v3("authNoPriv", "vsha256") + sha256 << false;
    QTest::newRow("authPriv user, authPriv") << v3("authPriv", "vsha256") + sha256 + aes << true;
    QTest::newRow("authNoPriv user, authNoPriv") << Vauth << true;
}

// A user name alone must not open a row: below the user's level no value goes out, whatever
// the operation (snmpd answers the same authorizationError).
void TstDeviceRows::usersAreServedAtTheirLevelOnly()
{
    QFETCH(QStringList, options);
    QFETCH(bool, served);
    const std::pair<const char *, QStringList> requests[] = {
        {"snmpget", {SysName}},
        {"snmpgetnext", {"1.3.6.1.2.1.1.4.0"}},
        {"snmpbulkget", {"-Cn1", "-Cr3", "1.3.6.1.2.1.1.1.0", "1.3.6.1.2.1.1.4.0"}},
        {"snmpset", {SysName, "s", "x"}}};
    for (const auto &[tool, operands] : requests) {
        const ToolRun got = m_rows.run(Users, tool, options, operands);
        const QString output = got.out + got.err;
        QVERIFY2(output.contains("authorizationError") != served,
                 qPrintable(QString(tool) + ": " + output));
        const bool set = QLatin1String(tool) == QLatin1String("snmpset");
        if (served)
            QVERIFY2(output.contains(set ? "notWritable" : "Agent 2"), qPrintable(output));
        else
            QVERIFY2(!output.contains(" = "), qPrintable(output));
    }
}

// Reports answer requests only, and only for this engine's default context; what has no
// handler is counted as message processing counts it.
void TstDeviceRows::reportsOnlyOnRequestsToThisEngine()
{
    const QByteArray id = engine(m_rows, Users).engineId();
    const UsmStats &usm = engine(m_rows, Users).stats();
    const MpdStats &mpd = engine(m_rows, Users).mpdStats();
    const SnmpMessage get = makeRequest(SnmpPdu::V2cBase + SnmpPdu::GetRequest, {SysName}, {}, 8);
    const auto as = [&get](int type) {
        SnmpMessage message = get;
        message.Type = SnmpPdu::V2cBase + type;
        return message;
    };
    // The one answer's first binding.
    const auto first = [](const QList<QByteArray> &answers) {
        return answers.size() == 1 ? pduOf(answers[0]).Variables.value(0) : SnmpVariable();
    };

    // An unknown user's request is reported on; its response PDU, which asks nothing, is not.
    const quint32 unknown = usm.unknownUserNames;
    QCOMPARE(first(answersTo(Users, plainV3(id, "nobody", get))).Oid(), UnknownUserNames);
    QVERIFY(answersTo(Users, plainV3(id, "nobody", as(SnmpPdu::Response))).isEmpty());
    QCOMPARE(usm.unknownUserNames, unknown + 2);

    // Another engine's context, and notifications, find no handler here (snmpd answers the
    // first as its own; RFC 3412 4.2.2.1 reports it). An Inform asks for the report, a Trap not.
    const quint32 handlers = mpd.unknownPduHandlers;
    const QList<QByteArray> answers =
        answersTo(Users, plainV3(id, "open", get, SnmpV3Flag::Reportable,
                                 QByteArray::fromHex("8000000001020304")));
    QCOMPARE(answers.size(), 1);
    const SnmpMessage report = pduOf(answers[0]);
    QCOMPARE(report.pdu(), SnmpPdu::Report);
    QCOMPARE(report.MessageNumber, 8);
    QCOMPARE(report.Variables.value(0).Oid(), UnknownPduHandlers);
    QCOMPARE(report.Variables.value(0).Value(), QString::number(handlers + 1));
    QCOMPARE(first(answersTo(Users, plainV3(id, "open", as(SnmpPdu::InformRequest)))).Oid(),
             UnknownPduHandlers);
    QVERIFY(answersTo(Users, plainV3(id, "open", as(SnmpPdu::V2Trap))).isEmpty());
    QCOMPARE(mpd.unknownPduHandlers, handlers + 3);
    // The same request in this engine's context is answered.
    QCOMPARE(first(answersTo(Users, plainV3(id, "open", get))).Value(), "Agent 2");
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
    const SnmpMessage get = makeRequest(SnmpPdu::V2cBase, {SysName});
    QVERIFY(answersTo(Recording, plainV3(engine(m_rows, Users).engineId(), "open", get))
                .isEmpty()); // a row without users speaks no version 3
    QByteArray version2 = encodeMessage(get).value();
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
    const ToolRun id = m_rows.run(Users, "snmpget", Vauth, {"1.3.6.1.6.3.10.2.1.1.0"});
    QCOMPARE(id.out.section("Hex-STRING: ", 1).remove(' ').remove('\n').toLower(),
             engine(m_rows, Users).engineId().toHex());

    // Each in its place in a walk, SNMPv1 included; the engine's only where there are users.
    const QStringList v1{"-v1", "-c", "kettle"};
    const ToolRun group = m_rows.run(Users, "snmpwalk", v1, {"1.3.6.1.2.1.11"});
    QCOMPARE(group.out.count(" = "), 8);
    QVERIFY(group.out.contains(".1.3.6.1.2.1.11.30.0 = INTEGER: 2\n"));
    const ToolRun v3objects = m_rows.run(Users, "snmpwalk", v1, {"1.3.6.1.6.3"});
    QCOMPARE(v3objects.out.count(" = "), 4 + 3 + 1 + 6);
    QVERIFY(v3objects.out.contains(".1.3.6.1.6.3.10.2.1.4.0 = INTEGER: 65507\n"));
    QVERIFY(m_rows.run(Recording, "snmpget", Community, {"1.3.6.1.6.3.10.2.1.1.0"})
                .out.contains("No Such Object"));
    // A plain row serves none of them.
    const ToolRun plain = m_rows.run(Plain, "snmpget", Community, {InAsnParseErrs});
    QVERIFY2(plain.err.contains("noSuchName"), qPrintable(plain.out + plain.err));
}

void TstDeviceRows::missingObjectsAsRealAgentsAnswer()
{
    const QString missing = QStringLiteral("1.3.6.1.2.1.1.5.1");
    // v2c answers as v3 does, where a plain row keeps error status 2.
    ToolRun got = m_rows.run(Recording, "snmpget", Community, {SysName, missing});
    QCOMPARE(got.out, ".1.3.6.1.2.1.1.5.0 = STRING: \"Agent 1\"\n.1.3.6.1.2.1.1.5.1 = No Such "
                      "Instance currently exists at this OID\n");
    got = m_rows.run(Recording, "snmpgetnext", Community, {"1.3.6.1.6.3.99"});
    QVERIFY2(got.out.contains(PastTheEnd), qPrintable(got.out + got.err));
    got = m_rows.run(Plain, "snmpget", Community, {SysName, missing});
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
    const SnmpMessage stranger = makeRequest(SnmpPdu::V2cBase, {SysName}, "public", 77);
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
    for (const Row row : {Recording, Users, Plain}) {
        QTest::addRow("v1, row %d", row)
            << int(row) << QStringList{"-v1", "-c", "kettle"} << "noSuchName";
        QTest::addRow("v2c, row %d", row) << int(row) << Community << "notWritable";
    }
    QTest::newRow("v3") << int(Users) << Vauth << "notWritable";
}

// Nothing is writable: the refusal names the first object of the request.
void TstDeviceRows::refusedSetsNameTheObject()
{
    QFETCH(int, row);
    QFETCH(QStringList, options);
    QFETCH(QString, error);
    const ToolRun got = m_rows.run(Row(row), "snmpset", options,
                                   {SysName, "s", "x", "1.3.6.1.2.1.1.6.0", "s", "y"});
    QVERIFY(got.exitCode > 0);
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
    const ToolRun got = m_rows.run(Recording, "snmpbulkget", Community, operands);
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
    const std::tuple<Row, const char *, QStringList, QString> paths[] = {
        {Plain, "snmpget", Community, SysUpTime},
        {Plain, "snmpgetnext", Community, "1.3.6.1.2.1.1.2.0"},
        {Plain, "snmpbulkget", Community + QStringList{"-Cr1"}, "1.3.6.1.2.1.1.2.0"},
        {Recording, "snmpget", Community, SysUpTime},
        {Users, "snmpget", Vauth, SysUpTime}};
    static const QRegularExpression timeticks("Timeticks: \\((\\d+)\\)");
    for (const auto &[row, tool, options, operand] : paths) {
        const auto shown = timeticks.match(m_rows.run(row, tool, options, {operand}).out);
        const qint64 ticks = shown.hasMatch() ? shown.captured(1).toLongLong() : -1;
        QVERIFY2(ticks >= 400 && ticks < 1000, qPrintable(QString::number(ticks)));
    }
    // The trace shows what went out.
    m_rows.trace.setDebugMode(true);
    m_rows.run(Plain, "snmpget", Community, {SysUpTime});
    m_rows.trace.setDebugMode(false);
    const QString trace = QString::fromLatin1(readFile(m_rows.traceFile(Plain)));
    const QRegularExpressionMatch traced =
        QRegularExpression("\t\t1\\.3\\.6\\.1\\.2\\.1\\.1\\.3\\.0\t\t7\t(\\d+)\r\n").match(trace);
    QVERIFY2(traced.hasMatch() && traced.captured(1).toLongLong() < 1000, qPrintable(trace));
}

void TstDeviceRows::securedRow_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("operands");
    QTest::addColumn<QString>("expected"); // a pattern of stdout and stderr together
    const QStringList signer = v3("authNoPriv", "signer") + QStringList{"-a", "SHA-256", "-A"};
    const QString agent1 = QStringLiteral("STRING: \"Agent 1\"");
    QTest::newRow("noAuthNoPriv") << "snmpget" << v3("noAuthNoPriv", "open") << SysName << agent1;
    QTest::newRow("authNoPriv") << "snmpget" << signer + QStringList{"sign-pass-1"} << SysName
                                << agent1;
    for (const auto &[user, auth, priv] : Ciphers) {
        const QStringList protocols = QString(user).split(' ');
        QTest::newRow(user) << "snmpget"
                            << v3("authPriv", user) +
                                   QStringList{"-a", protocols[0], "-A", "auth-pass-1",
                                               "-x", protocols[1], "-X", "priv-pass-1"}
                            << SysName << agent1;
    }
    // Told the engine ID, the tool skips discovery and sends boots and time 0, outside the
    // window: it must get the authenticated report, take the engine's clock from it and succeed.
    const QByteArray engineId = engine(m_secured, 0).engineId();
    QTest::newRow("stale engine clock")
        << "snmpget" << Secret + QStringList{"priv-pass-1", "-e", engineId.toHex()} << SysName
        << agent1;
    QTest::newRow("wrong passphrase")
        << "snmpget" << signer + QStringList{"sign-pass-2"} << SysName << "Authentication failure";
    QTest::newRow("level the user lacks")
        << "snmpget" << v3("authNoPriv", "open") + QStringList{"-a", "SHA", "-A", "open-pass-1"}
        << SysName << "Unsupported security level";
    QTest::newRow("other context")
        << "snmpget" << v3("noAuthNoPriv", "open") + QStringList{"-n", "other"} << SysName
        << "Bad context specified";
}

void TstDeviceRows::securedRow()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, options);
    QFETCH(QString, operands);
    QFETCH(QString, expected);
    const UsmStats &stats = engine(m_secured, 0).stats();
    const quint32 staleBefore = stats.notInTimeWindows;
    const ToolRun result = secured(tool, options, operands);
    QCOMPARE(stats.notInTimeWindows - staleBefore, options.contains("-e") ? 1u : 0u);
    const QRegularExpression pattern(expected, QRegularExpression::DotMatchesEverythingOption);
    QVERIFY2((result.out + result.err).contains(pattern), qPrintable(result.out + result.err));
}

// The whole answer fits the datagram but not what the manager said it takes; the trace names
// the user but holds no passphrase.
void TstDeviceRows::securedSizeLimitAndTrace()
{
    const SnmpMessage get = makeRequest(SnmpPdu::V2cBase + SnmpPdu::GetRequest,
                                        QStringList(40, "1.3.6.1.2.1.1.1.0"), {}, 5);
    const auto answerTo = [&](qint32 maxSize) {
        SnmpV3Message message =
            v3Message(get, 77, SnmpV3Flag::Reportable, "open", engine(m_secured, 0).engineId());
        message.maxSize = maxSize;
        const QByteArray datagram = encodeV3Message(message, 0).bytes;
        return pduOf(m_secured.manager.exchange(m_secured.port(0), datagram).value_or(""));
    };
    SnmpMessage answer = answerTo(484);
    QCOMPARE(answer.pdu(), SnmpPdu::Response);
    QCOMPARE(answer.ErrorStatus, SnmpError::TooBig);
    QVERIFY(answer.Variables.isEmpty());
    answer = answerTo(65000);
    QCOMPARE(answer.ErrorStatus, 0);
    QCOMPARE(answer.Variables.size(), 40);

    m_secured.trace.setDebugMode(true);
    secured("snmpget", Secret + QStringList{"priv-pass-1"}, SysName);
    m_secured.trace.setDebugMode(false);
    const QString trace = QString::fromLatin1(readFile(m_secured.traceFile(0)));
    QVERIFY2(trace.contains(QRegularExpression(" <-- GetRequest\t\\d+\tsecret\r?\n\t\t" +
                                               QRegularExpression::escape(SysName))),
             qPrintable(trace));
    QVERIFY2(trace.contains(QRegularExpression(" --> Response\t\\d+\tsecret\r?\n\t\t")),
             qPrintable(trace));
    QVERIFY(!trace.contains("pass"));
}

QTEST_GUILESS_MAIN(TstDeviceRows)
#include "tst_devicerows.moc"
