#include "support/testrows.h"

#include "snmp/agent/snmpagent.h"
#include "snmp/codec/snmpv3message.h"
#include "snmp/usm/usmengine.h"

#include <QStandardPaths>
#include <QtTest>

using usm::Auth;
using usm::Priv;

namespace {

const QString SysName = QStringLiteral("1.3.6.1.2.1.1.5.0");

// The authPriv user's options, its privacy passphrase left for the caller.
QStringList secretWithout()
{
    return v3("authPriv", "secret") +
           QStringList{"-a", "SHA", "-A", "auth-pass-1", "-x", "AES", "-X"};
}

struct Cipher
{
    const char *user;
    Auth auth;
    Priv priv;
};
const Cipher Ciphers[] = {{"MD5 AES-192", Auth::Md5, Priv::Aes192},
                          {"SHA-224 AES-192", Auth::Sha224, Priv::Aes192},
                          {"SHA-256 AES", Auth::Sha256, Priv::Aes128},
                          {"SHA-384 DES", Auth::Sha384, Priv::Des},
                          {"SHA-512 AES-256", Auth::Sha512, Priv::Aes256},
                          {"SHA AES-256", Auth::Sha1, Priv::Aes256}};

} // namespace

// Row 0 runs with three users, one per security level. Rows without users dropping SNMPv3 is
// the robustness test's, in the agent rows' tests.
class TstSnmpV3Rows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void netSnmpTools_data();
    void netSnmpTools();
    void walksMatchTheCommunityOnes();
    void sizeLimit();
    void tracesUserNotSecrets();
    void survivesBrokenV3();

private:
    ToolRun run(const QString &tool, const QStringList &options, const QString &operands)
    {
        return m_rows.run(0, tool, options, operands.split(' '));
    }
    // A plain (noAuthNoPriv) request as a manager that knows the engine sends it.
    QByteArray exchangePlain(const SnmpMessage &pdu, qint32 maxSize)
    {
        const QByteArray engineId = m_rows.agents.snmpAgent(0).usm().engineId();
        SnmpV3Message message = v3Message(pdu, 77, SnmpV3Flag::Reportable, "open", engineId);
        message.maxSize = maxSize;
        const QByteArray datagram = encodeV3Message(message, 0).bytes;
        return m_rows.manager.exchange(m_rows.port(0), datagram).value_or(QByteArray());
    }

    TestRows m_rows;
};

void TstSnmpV3Rows::initTestCase()
{
    if (QStandardPaths::findExecutable("snmpget").isEmpty())
        QSKIP("net-snmp tools are not installed (./scripts/test installs them)");
    SnmpAgents &agents = m_rows.agents;
    QVERIFY(agents.addV3User(0, "open", Auth::None, {}));
    QVERIFY(agents.addV3User(0, "signer", Auth::Sha256, "sign-pass-1"));
    QVERIFY(agents.addV3User(0, "secret", Auth::Sha1, "auth-pass-1", Priv::Aes128, "priv-pass-1"));
    // One user per hash and cipher: key localization, digest lengths, the AES key extension
    // for short hashes, the DES pre-IV and padding, each checked by the real manager.
    for (const auto &[name, auth, priv] : Ciphers)
        QVERIFY(agents.addV3User(0, name, auth, "auth-pass-1", priv, "priv-pass-1"));
    QVERIFY(agents.addV3User(0, "gone", Auth::Md5, "12345678")); // eight is enough
    QVERIFY(agents.removeV3User(0, "gone"));
    QCOMPARE(agents.v3Users(0).mid(0, 3), (QList<QByteArray>{"open", "signer", "secret"}));
    QCOMPARE(agents.v3Users(0).size(), 3 + qsizetype(std::size(Ciphers)));
    QVERIFY(!agents.addV3User(0, "short", Auth::Sha1, "1234567"));
    QVERIFY(m_rows.start(0));
}

void TstSnmpV3Rows::netSnmpTools_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("operands");
    QTest::addColumn<QString>("expected"); // a pattern of stdout and stderr together
    const QStringList signer = v3("authNoPriv", "signer") + QStringList{"-a", "SHA-256", "-A"};
    const QStringList secret = secretWithout();
    const QString agent1 = QStringLiteral("STRING: \"Agent 1\"");
    QTest::newRow("noAuthNoPriv") << "snmpget" << v3("noAuthNoPriv", "open") << SysName << agent1;
    QTest::newRow("authNoPriv") << "snmpget" << signer + QStringList{"sign-pass-1"} << SysName
                                << agent1;
    for (const Cipher &cipher : Ciphers) {
        const QStringList protocols = QString(cipher.user).split(' ');
        QTest::newRow(cipher.user)
            << "snmpget"
            << v3("authPriv", cipher.user) + QStringList{"-a", protocols[0], "-A", "auth-pass-1",
                                                         "-x", protocols[1], "-X", "priv-pass-1"}
            << SysName << agent1;
    }
    // Told the engine ID, the tool skips discovery and sends boots and time 0, outside the
    // window: it must get the authenticated report, take the engine's clock from it and succeed.
    const QByteArray engineId = m_rows.agents.snmpAgent(0).usm().engineId();
    QTest::newRow("stale engine clock")
        << "snmpget" << secret + QStringList{"priv-pass-1", "-e", engineId.toHex()} << SysName
        << agent1;
    // Bindings the row lacks get exception values; the others in the request are still answered.
    QTest::newRow("missing objects") << "snmpget" << secret + QStringList{"priv-pass-1"}
                                     << "1.3.6.1.2.1.1.5.1 1.3.6.1.2.1.99.0 1.3.6.1.2.1.1.7.0"
                                     << "No Such Instance.*No Such Object.*INTEGER: 76";
    QTest::newRow("set refused") << "snmpset" << signer + QStringList{"sign-pass-1"}
                                 << SysName + " s x"
                                 << "notWritable";
    QTest::newRow("wrong passphrase")
        << "snmpget" << signer + QStringList{"sign-pass-2"} << SysName << "Authentication failure";
    QTest::newRow("unknown user") << "snmpget" << v3("noAuthNoPriv", "nobody") << SysName
                                  << "Unknown user name";
    QTest::newRow("level the user lacks")
        << "snmpget" << v3("authNoPriv", "open") + QStringList{"-a", "SHA", "-A", "open-pass-1"}
        << SysName << "Unsupported security level";
    QTest::newRow("other context")
        << "snmpget" << v3("noAuthNoPriv", "open") + QStringList{"-n", "other"} << SysName
        << "Bad context specified";
}

void TstSnmpV3Rows::netSnmpTools()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, options);
    QFETCH(QString, operands);
    QFETCH(QString, expected);
    const UsmStats &stats = m_rows.agents.snmpAgent(0).usm().stats();
    const quint32 staleBefore = stats.notInTimeWindows;
    const ToolRun result = run(tool, options, operands);
    const QString output = result.out + result.err;
    QCOMPARE(stats.notInTimeWindows - staleBefore, options.contains("-e") ? 1u : 0u);
    const QRegularExpression pattern(expected, QRegularExpression::DotMatchesEverythingOption);
    QVERIFY2(output.contains(pattern), qPrintable(output));
}

void TstSnmpV3Rows::walksMatchTheCommunityOnes()
{
    const QStringList secret = secretWithout() + QStringList{"priv-pass-1"};
    const QStringList community{"-v2c", "-c", "kettle"};
    // Uptime and the row's own counters move between the runs.
    const auto lines = [](const ToolRun &run) {
        QStringList out = run.out.split('\n');
        for (QString &line : out) {
            line.replace(QRegularExpression("Timeticks: .*"), "Timeticks");
            line.replace(QRegularExpression("Counter32: .*"), "Counter32");
        }
        return out;
    };
    const ToolRun bulk = run("snmpbulkwalk", community, "1.3.6.1.2.1");
    QCOMPARE(lines(run("snmpbulkwalk", secret, "1.3.6.1.2.1")), lines(bulk));
    // GetNext past the last object ends the view as GetBulk does.
    const ToolRun walk = run("snmpwalk", secret, "1.3.6.1.2.1");
    QCOMPARE(walk.out.count('\n'), 7 + 8); // the system and SNMP groups; what follows is outside
    QCOMPARE(lines(walk), lines(bulk));
}

void TstSnmpV3Rows::sizeLimit()
{
    SnmpMessage get = makeRequest(SnmpPdu::V2cBase + SnmpPdu::GetRequest, {}, {}, 5);
    for (int i = 0; i < 40; ++i)
        get.Variables.append(SnmpVariable::make("1.3.6.1.2.1.1.1.0").value());
    // The whole answer fits the datagram but not what the manager said it takes.
    SnmpMessage answer = pduOf(exchangePlain(get, 484));
    QCOMPARE(answer.pdu(), SnmpPdu::Response);
    QCOMPARE(answer.ErrorStatus, SnmpError::TooBig);
    QVERIFY(answer.Variables.isEmpty());
    answer = pduOf(exchangePlain(get, 65000));
    QCOMPARE(answer.ErrorStatus, 0);
    QCOMPARE(answer.Variables.size(), 40);
}

void TstSnmpV3Rows::tracesUserNotSecrets()
{
    m_rows.trace.setDebugMode(true);
    run("snmpget", secretWithout() + QStringList{"priv-pass-1"}, SysName);
    m_rows.trace.setDebugMode(false);
    const QString trace = QString::fromLatin1(readFile(m_rows.traceFile(0)));
    QVERIFY2(trace.contains(QRegularExpression(" <-- GetRequest\t\\d+\tsecret\r?\n\t\t" +
                                               QRegularExpression::escape(SysName))),
             qPrintable(trace));
    QVERIFY2(trace.contains(QRegularExpression(" --> Response\t\\d+\tsecret\r?\n\t\t")),
             qPrintable(trace));
    QVERIFY(!trace.contains("pass"));
}

// Broken secured messages reach the engine's checks and the decoders behind them: the row must
// neither crash nor stall, and report nothing to the user.
void TstSnmpV3Rows::survivesBrokenV3()
{
    UsmEngine &engine = m_rows.agents.snmpAgent(0).usm();
    const SnmpV3Message plain = v3Message(makeRequest(65, {"1.3.6.1.2.1"}, {}, 3), 0,
                                          SnmpV3Flag::Reportable, "open", engine.engineId());
    // The same request authenticated and encrypted by a manager that knows the keys.
    UsmEngine::Request asSecret;
    asSecret.message = plain;
    asSecret.message.flags |= SnmpV3Flag::Auth | SnmpV3Flag::Priv;
    asSecret.user = engine.users()[2]; // "secret", as the start of the test checks
    const QList<QByteArray> seeds = {encodeV3Message(plain, 0).bytes,
                                     engine.respond(asSecret, makeRequest(69, {}, {}, 4)).value()};
    QRandomGenerator random(20261207);
    for (int batch = 0; batch < 2000; ++batch) {
        QList<QByteArray> datagrams;
        for (int i = 0; i < 50; ++i)
            datagrams.append(mutated(seeds[random.bounded(seeds.size())], random));
        // Datagrams are taken in order: the probe's answer comes after the batch was handled.
        QVERIFY2(m_rows.manager.answersTo(m_rows.port(0), datagrams, 5000).probed,
                 qPrintable(QStringLiteral("stuck in batch %1").arg(batch)));
    }
    QVERIFY(engine.stats().wrongDigests > 0); // the checks were reached
    QVERIFY2(m_rows.messages.texts.isEmpty(), qPrintable(m_rows.messages.texts.join('\n')));
}

QTEST_GUILESS_MAIN(TstSnmpV3Rows)
#include "tst_snmpv3rows.moc"
