#include "snmptesthelpers.h"
#include "support/testwindow.h"

#include "app/helppage.h"
#include "snmp/agent/recordingloader.h"
#include "snmp/ui/agentrowmenu.h"
#include "snmp/ui/snmpagenttab.h"
#include "snmp/agent/snmpagent.h"
#include "snmp/codec/snmpv3message.h"
#include "snmp/usm/usmengine.h"
#include "snmp/ui/v3usersdialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QNetworkDatagram>
#include <QtTest>

#include <sys/mman.h>

#include <cstring>

#ifdef __GLIBC__
#include <malloc.h>
#endif

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

// How often `needle` stands in this process's writable memory, freed blocks included, besides
// where the needle itself is. Read through a mapping of its own, which it skips, so the scan
// leaves no copies to find.
qsizetype occurrencesInMemory(QByteArrayView needle)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    QFile memory(QStringLiteral("/proc/self/mem"));
    if (!maps.open(QIODevice::ReadOnly) || !memory.open(QIODevice::Unbuffered | QIODevice::ReadOnly))
        return -1;
    constexpr qint64 Window = 1 << 20;
    void *mapped = mmap(nullptr, Window, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return -1;
    char *const window = static_cast<char *>(mapped);
    const QByteArray regions = maps.readAll();
    qsizetype found = 0;
    for (const QByteArray &line : regions.split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        // Heap and anonymous mappings; files and the stack hold no freed blocks.
        if (fields.size() < 5 || !fields[1].startsWith("rw") ||
            (fields.size() > 5 && fields[5] != "[heap]"))
            continue;
        const QList<QByteArray> range = fields[0].split('-');
        const qint64 start = range[0].toLongLong(nullptr, 16);
        const qint64 end = range[1].toLongLong(nullptr, 16);
        if (start == qint64(quintptr(window)))
            continue;
        // Windows overlap by the needle's length, so nothing is missed at their seams.
        for (qint64 at = start; at < end; at += Window - needle.size()) {
            const qint64 size = qMin(Window, end - at);
            if (!memory.seek(at) || memory.read(window, size) != size)
                break;
            const QByteArrayView bytes(window, size);
            for (qsizetype i = bytes.indexOf(needle); i >= 0; i = bytes.indexOf(needle, i + 1))
                found += quintptr(at + i) != quintptr(needle.data());
            if (at + size == end)
                break;
        }
    }
    std::memset(window, 0, Window);
    munmap(mapped, Window);
    return found;
}

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
    void usersDialogAddsUsers();
    void passphrasesLeaveNoTrace();

private:
    ToolRun run(const QString &tool, const QStringList &options, const QString &operands,
                quint16 port = 0)
    {
        const QString agent = "127.0.0.1:" + QString::number(port ? port : m_port);
        return runTool(tool, options + QStringList{agent} + operands.split(' '));
    }
    // A plain (noAuthNoPriv) request as a manager that knows the engine sends it.
    std::optional<QByteArray> exchangePlain(const SnmpMessage &pdu, qint32 maxSize)
    {
        SnmpV3Message message;
        message.messageId = 77;
        message.maxSize = maxSize;
        message.flags = SnmpV3Flag::Reportable;
        message.usm.engineId = m_window->snmpAgents->snmpAgent(0).usm().engineId();
        message.usm.userName = "open";
        message.contextEngineId = message.usm.engineId;
        message.pdu = encodePdu(pdu).value();
        const QByteArray datagram = encodeV3Message(message, 0).bytes;
        m_manager.writeDatagram(datagram, QHostAddress::LocalHost, m_port);
        if (!QTest::qWaitFor([this] { return m_manager.hasPendingDatagrams(); }, 2000))
            return std::nullopt;
        return m_manager.receiveDatagram().data();
    }

    TestWindow m_test;
    FrmMain *m_window = nullptr;
    quint16 m_port = 0;
    QUdpSocket m_manager;
};

void TstSnmpV3Rows::initTestCase()
{
    if (QStandardPaths::findExecutable("snmpget").isEmpty())
        QSKIP("net-snmp tools are not installed (./scripts/test installs them)");
    QVERIFY(m_manager.bind(QHostAddress::LocalHost, 0));
    m_window = &m_test.open();
    SnmpAgents &agents = *m_window->snmpAgents;
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
    m_port = freeUdpPort();
    QVERIFY(clickRow(*m_window, 0, QString::number(m_port)));
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
        QTest::newRow(cipher.user) << "snmpget"
                                   << v3("authPriv", cipher.user) +
                                          QStringList{"-a", protocols[0], "-A", "auth-pass-1",
                                                      "-x", protocols[1], "-X", "priv-pass-1"}
                                   << SysName << agent1;
    }
    // Told the engine ID, the tool skips discovery and sends boots and time 0, outside the
    // window: it must get the authenticated report, take the engine's clock from it and succeed.
    const QByteArray engineId = m_window->snmpAgents->snmpAgent(0).usm().engineId();
    QTest::newRow("stale engine clock") << "snmpget" << secret + QStringList{"priv-pass-1", "-e",
                                                                              engineId.toHex()}
                                        << SysName << agent1;
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
    const UsmStats &stats = m_window->snmpAgents->snmpAgent(0).usm().stats();
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
    const auto pduOf = [](const std::optional<QByteArray> &reply) {
        const Result<SnmpV3Message> message = decodeV3Message(reply.value_or(QByteArray()));
        return message ? decodePdu(message.value().pdu).value() : SnmpMessage{};
    };
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
    m_window->help->chkDebugMode->click();
    run("snmpget", secretWithout() + QStringList{"priv-pass-1"}, SysName);
    m_window->help->chkDebugMode->click();
    const QString trace = QString::fromLatin1(
        readFile(m_test.traceFolder() + "/Snmp_127.0.0.1_" + QString::number(m_port) + ".txt"));
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
    UsmEngine &engine = m_window->snmpAgents->snmpAgent(0).usm();
    SnmpV3Message plain;
    plain.flags = SnmpV3Flag::Reportable;
    plain.usm.engineId = engine.engineId();
    plain.usm.userName = "open";
    plain.contextEngineId = engine.engineId();
    plain.pdu = encodePdu(makeRequest(65, {"1.3.6.1.2.1"}, {}, 3)).value();
    // The same request authenticated and encrypted by a manager that knows the keys.
    UsmEngine::Request asSecret;
    asSecret.message = plain;
    asSecret.message.flags |= SnmpV3Flag::Auth | SnmpV3Flag::Priv;
    asSecret.user = engine.users()[2]; // "secret", as the start of the test checks
    const QList<QByteArray> seeds = {encodeV3Message(plain, 0).bytes,
                                     engine.respond(asSecret, makeRequest(69, {}, {}, 4)).value()};
    QRandomGenerator random(20261207);
    SnmpMessage probe = makeRequest(64, {SysName});
    for (int batch = 0; batch < 2000; ++batch) {
        for (int i = 0; i < 50; ++i) {
            m_manager.writeDatagram(mutated(seeds[random.bounded(seeds.size())], random),
                                    QHostAddress::LocalHost, m_port);
        }
        // Datagrams are taken in order: the probe's answer comes after the batch was handled.
        probe.MessageNumber = 100000 + batch;
        m_manager.writeDatagram(encodeMessage(probe).value(), QHostAddress::LocalHost, m_port);
        const bool answered = QTest::qWaitFor(
            [&] {
                while (m_manager.hasPendingDatagrams()) {
                    const Result<SnmpMessage> reply =
                        decodeMessage(m_manager.receiveDatagram().data());
                    if (reply && reply.value().MessageNumber == probe.MessageNumber)
                        return true;
                }
                return false;
            },
            5000);
        QVERIFY2(answered, qPrintable(QStringLiteral("stuck in batch %1").arg(batch)));
    }
    QVERIFY(engine.stats().wrongDigests > 0); // the checks were reached
    QVERIFY2(m_test.messages.texts.isEmpty(), qPrintable(m_test.messages.texts.join('\n')));
}

// The row menu's dialog: short passphrases are refused with a message, a user added there is
// named in the row's tooltip and answered at once.
void TstSnmpV3Rows::usersDialogAddsUsers()
{
    AgentRowMenu &recordings = *m_window->snmpAgentTab->rowMenu;
    QCOMPARE(recordings.mnuAgentRow->actions().last(), recordings.mnuV3Users);
    recordings.mnuV3Users_Click(2);
    auto *dialog = m_window->snmpAgent->findChild<V3UsersDialog *>("dlgV3Users");
    QVERIFY(dialog);
    QVERIFY(dialog->lblEngineId->text().contains(
        m_window->snmpAgents->snmpAgent(2).usm().engineId().toHex()));
    dialog->txtName->setText("viewer");
    dialog->cboLevel->setCurrentText("authPriv");
    dialog->cboAuth->setCurrentText("SHA-512");
    dialog->txtAuthPass->setText("viewer-pass");
    dialog->cboPriv->setCurrentText("AES-256");
    dialog->txtPrivPass->setText("short");
    dialog->cmdAdd->click();
    QCOMPARE(m_test.messages.texts.size(), 1);
    QVERIFY(m_test.messages.texts[0].contains("at least 8"));
    QVERIFY(m_window->snmpAgents->v3Users(2).isEmpty());
    dialog->txtPrivPass->setText("viewer-priv");
    dialog->cmdAdd->click();
    // Selected, the user's settings come back without passphrases, to be changed and applied.
    dialog->lstUsers->setCurrentRow(0);
    QCOMPARE(dialog->txtName->text() + dialog->cboLevel->currentText() +
                 dialog->cboAuth->currentText() + dialog->cboPriv->currentText() +
                 dialog->txtAuthPass->text() + dialog->cmdAdd->text(),
             "viewerauthPrivSHA-512AES-256Apply");
    dialog->cboLevel->setCurrentText("authNoPriv");
    dialog->cboAuth->setCurrentText("SHA-224");
    dialog->txtAuthPass->setText("viewer-pass-2");
    dialog->cmdAdd->click();
    QCOMPARE(m_window->snmpAgent->cmdSnmpControl[2]->toolTip(),
             QStringLiteral("SNMPv3 users: viewer"));
    dialog->close();
    const quint16 port = freeUdpPort();
    QVERIFY(clickRow(*m_window, 2, QString::number(port)));
    const ToolRun result =
        run("snmpget", v3("authNoPriv", "viewer") + QStringList{"-a", "SHA-224", "-A",
                                                                "viewer-pass-2"},
            SysName, port);
    QVERIFY2(result.out.contains("Agent 3"), qPrintable(result.out + result.err));
}

// Typed into the dialog and used, a passphrase must not survive in memory: not in the boxes,
// not in the form, not in the megabyte it is stretched over, nor in freed blocks.
void TstSnmpV3Rows::passphrasesLeaveNoTrace()
{
#ifdef __GLIBC__
    // Freed blocks stay in the heap, large ones too, where they would be unmapped or trimmed
    // at random: what was left in them is then seen every time.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    m_test.messages.texts.clear();
    AgentRowMenu &recordings = *m_window->snmpAgentTab->rowMenu;
    recordings.mnuV3Users_Click(3);
    auto *dialog = m_window->snmpAgent->findChild<V3UsersDialog *>("dlgV3Users");
    QVERIFY(dialog);
    // Made at run time, so no copy stands in the program's own data.
    const auto secret = [](int which) {
        return QStringLiteral("qz") + QString::number(7000 + which) + QStringLiteral("wx-unseen");
    };
    // Twice: the second stretching then takes freed memory instead of a fresh mapping.
    for (const char *level : {"authPriv", "authPriv"}) {
        dialog->txtName->setText("wiped");
        dialog->cboLevel->setCurrentText(level);
        dialog->cboAuth->setCurrentText("SHA-256");
        dialog->cboPriv->setCurrentText("DES");
        dialog->txtAuthPass->setText(secret(1));
        dialog->txtPrivPass->setText(secret(2));
        // Shares the box's buffer, which must be wiped where it stands, not only let go.
        const QString held = dialog->txtPrivPass->text();
        dialog->cmdAdd->click();
        QCOMPARE(held, QString(held.size(), QChar(0)));
    }
    dialog->close();
    QVERIFY(m_test.messages.texts.isEmpty());
    QCOMPARE(m_window->snmpAgents->v3Users(3), QList<QByteArray>{"wiped"});
    for (int which : {1, 2}) {
        const QString text = secret(which); // one buffer: the needle in UTF-16 ...
        QCOMPARE(occurrencesInMemory(QByteArrayView(reinterpret_cast<const char *>(text.utf16()),
                                                    text.size() * 2)),
                 0);
        // ... and in UTF-8, made without a second full copy.
        const QByteArray eight = "qz" + QByteArray::number(7000 + which) + "wx-unseen";
        QCOMPARE(occurrencesInMemory(eight), 0);
    }
}

QTEST_MAIN(TstSnmpV3Rows)
#include "tst_snmpv3rows.moc"
