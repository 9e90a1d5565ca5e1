#include "support/testrows.h"

#include "snmp/agent/rownotifier.h"
#include "snmp/agent/snmpagent.h"
#include "snmp/codec/snmpv3message.h"
#include "snmp/usm/usmcipher.h"
#include "snmp/usm/usmengine.h"

#include <QStandardPaths>
#include <QtTest>

using usm::Auth;
using usm::Priv;

namespace {

const QString IfOperStatus2 = QStringLiteral("1.3.6.1.2.1.2.2.1.8.2");
const QString IfLastChange2 = QStringLiteral("1.3.6.1.2.1.2.2.1.9.2");
const QString HcInOctets2 = QStringLiteral("1.3.6.1.2.1.31.1.1.1.6.2");
const QString EnterpriseTrap = QStringLiteral("1.3.6.1.4.1.7394.0.9");

// A device: interface 2 up since the recording's start, with a Counter64 of its own.
const QByteArray Recording = "1.3.6.1.2.1.2.2.1.1.2|2|2\n1.3.6.1.2.1.2.2.1.7.2|2|1\n"
                             "1.3.6.1.2.1.2.2.1.8.2|2|1\n1.3.6.1.2.1.2.2.1.9.2|67|0\n"
                             "1.3.6.1.2.1.31.1.1.1.6.2|70|18446744073709551000\n";

enum Row { Device = 0, Users = 1, Plain = 2 };

// snmptrapd on a free loopback port with a state folder of its own, printing what it takes.
class TrapReceiver
{
public:
    explicit TrapReceiver(const QStringList &config)
    {
        port = freeUdpPort();
        writeFile(m_state.filePath("receiver.conf"),
                  (QStringList{"authCommunity log kettle"} + config).join('\n').toUtf8());
        start();
    }
    ~TrapReceiver() { stop(); }
    // Started again on its state, its engine booted once more.
    void restart()
    {
        stop();
        start();
    }
    void start()
    {
        output.clear();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("SNMP_PERSISTENT_DIR", m_state.path());
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start("snmptrapd", {"-f", "-Lo", "-C", "-On", "-m", "", "-c",
                                      m_state.filePath("receiver.conf"), "-p",
                                      m_state.filePath("pid"), "--persistentDir=" + m_state.path(),
                                      QString("udp:127.0.0.1:%1").arg(port)});
        ready = waits("NET-SNMP version");
    }
    void stop()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
    }
    // Whether the output matches `pattern` within `ms`.
    bool waits(const QString &pattern, int ms = 5000)
    {
        const QRegularExpression expression(pattern,
                                            QRegularExpression::DotMatchesEverythingOption);
        return waitFor(
            [&] {
                output += QString::fromUtf8(m_process.readAll());
                return output.contains(expression);
            },
            ms);
    }
    NotificationDestination destination(NotificationVersion version,
                                        NotificationKind kind = NotificationKind::Trap) const
    {
        NotificationDestination destination;
        destination.address = "127.0.0.1";
        destination.port = port;
        destination.version = version;
        destination.kind = kind;
        if (version == NotificationVersion::V3) {
            destination.user = "notifier";
            destination.level = SecurityLevel::AuthPriv;
        }
        return destination;
    }

    quint16 port = 0;
    bool ready = false;
    QString output;

private:
    QTemporaryDir m_state;
    QProcess m_process;
};

const QString V3UserKeys = QStringLiteral("notifier SHA-256 auth-pass-1 AES priv-pass-1");

} // namespace

// Rows send to snmptrapd, which must take and print what they send. Row 0 serves a recording,
// row 1 has the SNMPv3 user "notifier", row 2 is plain.
class TstNotifications : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void coldStartInEveryVersion_data();
    void coldStartInEveryVersion();
    void linkDownAgreesWithAPoll();
    void authenticationFailureOncePerSecond_data();
    void authenticationFailureOncePerSecond();
    void informsAreAcknowledged_data();
    void informsAreAcknowledged();
    void informFollowsARebootedReceiversClock_data();
    void informFollowsARebootedReceiversClock();
    void unansweredInformsRunOutOfRetries_data();
    void unansweredInformsRunOutOfRetries();
    void informsOfOneTurnAreAllAcknowledged();
    void counter64HasNoV1Form();
    void refusedSettingsKeepNothing_data();
    void refusedSettingsKeepNothing();
    void stormStopsWithTheRowAndLeavesItAnswering();
    void stormBehindGivesWayToRequests();
    void burstIdsWrittenInPlace_data();
    void burstIdsWrittenInPlace();

private:
    // Applies `settings` to the row and starts it.
    void startWith(Row row, const NotificationSettings &settings)
    {
        QVERIFY(m_rows.agents.setNotifications(row, settings));
        QVERIFY(m_rows.start(row));
    }
    NotificationSettings quiet(const QList<NotificationDestination> &destinations)
    {
        NotificationSettings settings;
        settings.destinations = destinations;
        settings.coldStart = false;
        return settings;
    }
    QByteArray engineId() { return m_rows.agents.snmpAgent(Users).usm().engineId(); }

    TestRows m_rows;
    QTemporaryDir m_folder;
};

void TstNotifications::initTestCase()
{
    if (QStandardPaths::findExecutable("snmptrapd").isEmpty())
        QSKIP("snmptrapd is not installed (./scripts/test installs it)");
    QVERIFY(m_rows.agents.addV3User(Users, "notifier", Auth::Sha256, "auth-pass-1", Priv::Aes128,
                                    "priv-pass-1"));
    QVERIFY(m_rows.agents.addV3User(Users, "signer", Auth::Sha1, "auth-pass-1"));
    writeFile(m_folder.filePath("device.txt"), Recording);
    QVERIFY(m_rows.serve(Device, m_folder.filePath("device.txt")));
}

void TstNotifications::cleanup()
{
    for (int row : {Device, Users, Plain}) {
        if (m_rows.agents.isRunning(row))
            m_rows.agents.StopSnmpAgent(row);
        m_rows.agents.setNotifications(row, {});
    }
    m_rows.trace.setDebugMode(false);
}

void TstNotifications::coldStartInEveryVersion_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("expected");
    QTest::newRow("v1") << int(NotificationVersion::V1)
                        << "TRAP, SNMP v1, community kettle.*Cold Start Trap \\(0\\)";
    QTest::newRow("v2c") << int(NotificationVersion::V2c)
                         << "\\.1\\.3\\.6\\.1\\.6\\.3\\.1\\.1\\.4\\.1\\.0 = OID: "
                            "\\.1\\.3\\.6\\.1\\.6\\.3\\.1\\.1\\.5\\.1\\b";
    // snmptrapd knows the user only at the row's engine: the trap speaks for that engine.
    QTest::newRow("v3 authPriv SHA-256/AES")
        << int(NotificationVersion::V3) << "OID: \\.1\\.3\\.6\\.1\\.6\\.3\\.1\\.1\\.5\\.1\\b";
}

void TstNotifications::coldStartInEveryVersion()
{
    QFETCH(int, version);
    QFETCH(QString, expected);
    TrapReceiver receiver(
        {"createUser -e 0x" + engineId().toHex() + ' ' + V3UserKeys, "authUser log notifier"});
    QVERIFY(receiver.ready);
    NotificationSettings settings;
    settings.destinations = {receiver.destination(NotificationVersion(version))};
    startWith(Users, settings);
    QVERIFY2(receiver.waits(expected), qPrintable(receiver.output));
    QCOMPARE(m_rows.agents.notificationCounts(Users).sent, 1u);
}

void TstNotifications::linkDownAgreesWithAPoll()
{
    TrapReceiver receiver({});
    QVERIFY(receiver.ready);
    startWith(Device, quiet({receiver.destination(NotificationVersion::V2c)}));
    SnmpAgents &agents = m_rows.agents;
    QVERIFY(!agents.sendNotification(Device, {StandardTrap::LinkDown, 7, {}}));
    // Without objects before and after: each with the uptime of its own moment.
    QVERIFY(agents.sendNotification(Device, {StandardTrap::WarmStart, 0, {}}));
    QTest::qWait(1100); // an uptime past zero, so the change's time tells
    QVERIFY(agents.sendNotification(Device, {StandardTrap::LinkDown, 2, {}}));
    QVERIFY(agents.sendNotification(Device, {StandardTrap::WarmStart, 0, {}}));
    QVERIFY2(receiver.waits("OID: \\.1\\.3\\.6\\.1\\.6\\.3\\.1\\.1\\.5\\.3\\s+"
                            "\\.1\\.3\\.6\\.1\\.2\\.1\\.2\\.2\\.1\\.1\\.2 = INTEGER: 2\\s+"
                            "\\.1\\.3\\.6\\.1\\.2\\.1\\.2\\.2\\.1\\.7\\.2 = INTEGER: 1\\s+"
                            "\\.1\\.3\\.6\\.1\\.2\\.1\\.2\\.2\\.1\\.8\\.2 = INTEGER: 2"),
             qPrintable(receiver.output));
    QVERIFY(receiver.waits("5\\.3\\b.*5\\.2\\b"));
    QVERIFY(agents.isInterfaceDown(Device, 2));
    QList<int> uptimes; // of the first warmStart, linkDown and the second warmStart
    for (const QRegularExpressionMatch &match :
         QRegularExpression("Timeticks: \\((\\d+)\\)").globalMatch(receiver.output))
        uptimes.append(match.captured(1).toInt());
    QCOMPARE(uptimes.size(), 3);
    QVERIFY(uptimes[2] - uptimes[0] >= 100 && uptimes[2] - uptimes[1] <= 100);
    const auto poll =
        m_rows.exchange(Device, makeRequest(SnmpPdu::V2cBase, {IfOperStatus2, IfLastChange2}));
    QVERIFY(poll && poll->Variables.size() == 2);
    QCOMPARE(poll->Variables[0].Value(), "2");
    // Both read the row's uptime in the same instant, to the second.
    QVERIFY(poll->Variables[1].Value().toUInt() >= 100);
    QVERIFY(qAbs(poll->Variables[1].Value().toInt() - uptimes[1]) <= 100);

    QVERIFY(agents.sendNotification(Device, {StandardTrap::LinkUp, 2, {}}));
    QVERIFY(receiver.waits("5\\.4\\s+.*8\\.2 = INTEGER: 1"));
    QVERIFY(!agents.isInterfaceDown(Device, 2));
    const auto after = m_rows.exchange(Device, makeRequest(SnmpPdu::V2cBase, {IfOperStatus2}));
    QVERIFY(after && after->Variables.size() == 1);
    QCOMPARE(after->Variables[0].Value(), "1");
}

void TstNotifications::authenticationFailureOncePerSecond_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("refused"); // a net-snmp tool's options the row refuses
    QTest::newRow("wrong community on a device") << int(Device) << QStringList{"-v2c", "-c", "x"};
    QTest::newRow("unknown user") << int(Users) << v3("noAuthNoPriv", "nobody");
    QTest::newRow("wrong digest") << int(Users)
                                  << v3("authNoPriv", "signer") +
                                         QStringList{"-a", "SHA", "-A", "wrong-pass-1"};
}

void TstNotifications::authenticationFailureOncePerSecond()
{
    QFETCH(int, row);
    QFETCH(QStringList, refused);
    TrapReceiver receiver({});
    QVERIFY(receiver.ready);
    NotificationSettings settings = quiet({receiver.destination(NotificationVersion::V2c)});
    settings.authenticationFailure = true;
    startWith(Row(row), settings);
    // Two refusals within the second: one trap, one held back.
    for (int run = 0; run < 2; ++run)
        m_rows.run(row, "snmpget", refused + QStringList{"-t", "0.2", "-r", "0"},
                   {"1.3.6.1.2.1.1.5.0"});
    QVERIFY2(receiver.waits("OID: \\.1\\.3\\.6\\.1\\.6\\.3\\.1\\.1\\.5\\.5\\b"),
             qPrintable(receiver.output));
    const NotificationCounts &counts = m_rows.agents.notificationCounts(row);
    QCOMPARE(counts.sent, 1u);
    QCOMPARE(counts.heldBack, 1u);
}

void TstNotifications::informsAreAcknowledged_data()
{
    QTest::addColumn<int>("version");
    QTest::newRow("v2c") << int(NotificationVersion::V2c);
    QTest::newRow("v3 authPriv SHA-256/AES") << int(NotificationVersion::V3);
}

void TstNotifications::informsAreAcknowledged()
{
    QFETCH(int, version);
    // A plain createUser: the receiver is the INFORM's authoritative engine, found by discovery.
    TrapReceiver receiver(
        {"engineID notifications", "createUser " + V3UserKeys, "authUser log notifier"});
    QVERIFY(receiver.ready);
    m_rows.trace.setDebugMode(true);
    startWith(Users, quiet({receiver.destination(NotificationVersion(version),
                                                 NotificationKind::Inform)}));
    SnmpAgents &agents = m_rows.agents;
    QVERIFY(agents.sendNotification(Users, {StandardTrap::WarmStart, 0, {}}));
    QVERIFY(agents.sendNotification(Users, {EnterpriseTrap, 0, {}}));
    QVERIFY(waitFor([&] { return agents.notificationCounts(Users).acknowledged == 2; }, 5000));
    QVERIFY(receiver.waits("5\\.2\\b.*7394\\.0\\.9"));
    QCOMPARE(agents.notificationCounts(Users).unacknowledged, 0u);
    // Keys for the receiver's engine are made once, not per message.
    QCOMPARE(agents.notifier(Users).localizations(),
             NotificationVersion(version) == NotificationVersion::V3 ? 1 : 0);
    const QString trace = QString::fromLatin1(readFile(m_rows.traceFile(Users)));
    QCOMPARE(trace.count(" --> InformRequest\t"), 2);
    QVERIFY2(trace.count(" <-- Response\t") == 2, qPrintable(trace));

    // Restarted, the receiver is the same engine: acknowledged again, with the same keys.
    receiver.restart();
    QVERIFY(receiver.ready);
    QVERIFY(agents.sendNotification(Users, {StandardTrap::WarmStart, 0, {}}));
    QVERIFY2(waitFor([&] { return agents.notificationCounts(Users).acknowledged == 3; }, 5000),
             qPrintable(receiver.output));
    QCOMPARE(agents.notifier(Users).localizations(),
             NotificationVersion(version) == NotificationVersion::V3 ? 1 : 0);
}

void TstNotifications::informFollowsARebootedReceiversClock_data()
{
    QTest::addColumn<bool>("forged"); // an unsigned report with other boots comes first
    QTest::newRow("signed report") << false;
    QTest::newRow("after an unsigned one") << true;
}

// RFC 3414 §4: a receiver that booted again since it was discovered refuses the INFORM with a
// signed notInTimeWindow report; the INFORM goes again at once on its clock, keys unchanged.
// Only a signed report moves the clock (§3.2 step 7b).
void TstNotifications::informFollowsARebootedReceiversClock()
{
    QFETCH(bool, forged);
    UsmEngine engine(7394, 2);
    QVERIFY(engine.addUser("notifier", Auth::Sha256, "auth-pass-1", Priv::Aes128, "priv-pass-1"));
    QUdpSocket receiver;
    QVERIFY(receiver.bind(QHostAddress::LocalHost, 0));
    QObject::connect(&receiver, &QUdpSocket::readyRead, [&] {
        const QNetworkDatagram datagram = receiver.receiveDatagram();
        Result<SnmpV3Message> in = decodeV3Message(datagram.data());
        const UsmEngine::Outcome out = engine.receive(datagram.data());
        QByteArray answer = out.report;
        if (in && in.value().usm.userName.isEmpty()) {
            // Discovered with the boots it had before.
            Result<SnmpV3Message> report = decodeV3Message(out.report);
            report.value().usm.boots = engine.boots() - 1;
            answer = encodeV3Message(report.value(), 0).bytes;
        } else if (in && in.value().usm.boots == engine.boots()) {
            // In its time window: acknowledged (the engine itself handles no INFORM).
            SnmpV3Message &message = in.value();
            const UsmUser &user = engine.users().first();
            QByteArray plain;
            if (!user.cipher->decrypt(message.usm.boots, message.usm.time, message.usm.privacy,
                                      message.encryptedPdu, plain) ||
                !decodeScopedPdu(plain, message))
                return;
            const SnmpMessage inform = decodePdu(message.pdu).value();
            SnmpMessage response = inform;
            response.Type = SnmpPdu::V2cBase + SnmpPdu::Response;
            answer = engine.respond({message, inform, user}, response).value();
        } else if (in && forged) {
            Result<SnmpV3Message> report = decodeV3Message(out.report);
            report.value().flags &= ~SnmpV3Flag::Auth;
            report.value().usm.boots = 999;
            report.value().usm.authentication.clear();
            receiver.writeDatagram(encodeV3Message(report.value(), 0).bytes,
                                   datagram.senderAddress(), datagram.senderPort());
        }
        receiver.writeDatagram(answer, datagram.senderAddress(), datagram.senderPort());
    });
    NotificationDestination destination;
    destination.address = "127.0.0.1";
    destination.port = receiver.localPort();
    destination.version = NotificationVersion::V3;
    destination.user = "notifier";
    destination.level = SecurityLevel::AuthPriv;
    destination.kind = NotificationKind::Inform;
    startWith(Users, quiet({destination}));
    SnmpAgents &agents = m_rows.agents;
    QElapsedTimer clock;
    clock.start();
    QVERIFY(agents.sendNotification(Users, {StandardTrap::WarmStart, 0, {}}));
    QVERIFY(waitFor([&] { return agents.notificationCounts(Users).acknowledged == 1; }, 5000));
    // On the report, not on the retry a second later.
    QVERIFY(clock.elapsed() < NotificationLink::RetryMs);
    QCOMPARE(engine.stats().notInTimeWindows, 1u);
    QCOMPARE(agents.notificationCounts(Users).sent, 1u);
    QCOMPARE(agents.notifier(Users).localizations(), 1);
}

void TstNotifications::unansweredInformsRunOutOfRetries_data()
{
    QTest::addColumn<bool>("listening"); // a socket that never answers, or nothing at all
    QTest::newRow("silent manager") << true;
    QTest::newRow("port unreachable") << false;
}

void TstNotifications::unansweredInformsRunOutOfRetries()
{
    QFETCH(bool, listening);
    QUdpSocket silent;
    QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
    NotificationDestination destination;
    destination.address = "127.0.0.1";
    destination.port = silent.localPort();
    destination.kind = NotificationKind::Inform;
    if (!listening)
        silent.close();
    startWith(Plain, quiet({destination}));
    SnmpAgents &agents = m_rows.agents;
    QVERIFY(agents.sendNotification(Plain, {StandardTrap::WarmStart, 0, {}}));
    const bool ended =
        waitFor([&] { return agents.notificationCounts(Plain).unacknowledged == 1; }, 7000);
    const NotificationCounts &counts = agents.notificationCounts(Plain);
    QVERIFY(ended);
    QCOMPARE(counts.sent, 1u);
    if (listening) {
        // The first try and three retries, all with the same request id.
        QSet<qint32> ids;
        int received = 0;
        for (; silent.hasPendingDatagrams(); ++received)
            ids.insert(decodeMessage(silent.receiveDatagram().data()).value().MessageNumber);
        QCOMPARE(received, 1 + NotificationLink::Retries);
        QCOMPARE(ids.size(), 1);
    } else {
        QVERIFY(counts.failedAttempts >= 1);
    }
    // The row answers on, and sends again.
    QVERIFY(m_rows.exchange(Plain, makeRequest(SnmpPdu::V2cBase, {"1.3.6.1.2.1.1.5.0"})));
    QVERIFY(agents.sendNotification(Plain, {StandardTrap::WarmStart, 0, {}}));
    QCOMPARE(agents.notificationCounts(Plain).sent, 2u);
}

// Sent together at the turn's end and answered together: every answer read counts once.
void TstNotifications::informsOfOneTurnAreAllAcknowledged()
{
    constexpr int Informs = 200;
    QUdpSocket responder;
    QVERIFY(responder.bind(QHostAddress::LocalHost, 0));
    int received = 0;
    QObject::connect(&responder, &QUdpSocket::readyRead, [&] {
        while (responder.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = responder.receiveDatagram();
            Result<SnmpMessage> inform = decodeMessage(datagram.data());
            if (!inform)
                continue;
            ++received;
            inform.value().Type = SnmpPdu::V2cBase + SnmpPdu::Response;
            responder.writeDatagram(encodeMessage(inform.value()).value(), datagram.senderAddress(),
                                    datagram.senderPort());
        }
    });
    NotificationDestination destination;
    destination.address = "127.0.0.1";
    destination.port = responder.localPort();
    destination.kind = NotificationKind::Inform;
    startWith(Plain, quiet({destination}));
    SnmpAgents &agents = m_rows.agents;
    for (int i = 0; i < Informs; ++i)
        QVERIFY(agents.sendNotification(Plain, {StandardTrap::WarmStart, 0, {}}));
    const NotificationCounts &counts = agents.notificationCounts(Plain);
    QVERIFY2(waitFor([&] { return counts.acknowledged == Informs; }, 5000),
             qPrintable(QString::number(counts.acknowledged)));
    // Each went once: none needed a retry.
    QCOMPARE(received, Informs);
    QCOMPARE(counts.failedAttempts, 0u);
}

// RFC 3584 §3.2: a notification with a Counter64 is not translated to SNMPv1; one without is
// an enterprise-specific trap under the identifier's enterprise.
void TstNotifications::counter64HasNoV1Form()
{
    TrapReceiver receiver({});
    QVERIFY(receiver.ready);
    const NotificationDestination v1 = receiver.destination(NotificationVersion::V1);
    startWith(Device, quiet({v1, receiver.destination(NotificationVersion::V2c)}));
    SnmpAgents &agents = m_rows.agents;
    QVERIFY(agents.sendNotification(Device, {EnterpriseTrap, 0, {HcInOctets2}}));
    QVERIFY2(receiver.waits("7394\\.0\\.9.*31\\.1\\.1\\.1\\.6\\.2 = Counter64: "
                            "18446744073709551000"),
             qPrintable(receiver.output));
    QCOMPARE(agents.notificationCounts(Device).notSentFor(NotSent::NoV1Form), 1u);
    QVERIFY(agents.sendNotification(Device, {EnterpriseTrap, 0, {IfOperStatus2}}));
    QVERIFY2(receiver.waits("SNMP v1.*\\.1\\.3\\.6\\.1\\.4\\.1\\.7394 Enterprise Specific Trap "
                            "\\(9\\).*8\\.2 = INTEGER: 1"),
             qPrintable(receiver.output));
    QCOMPARE(agents.notificationCounts(Device).sent, 3u);
}

void TstNotifications::refusedSettingsKeepNothing_data()
{
    QTest::addColumn<NotificationSettings>("settings");
    QTest::addColumn<QString>("named");
    NotificationDestination good;
    good.address = "127.0.0.1";
    const auto with = [&](auto change) {
        NotificationSettings settings;
        settings.destinations = {good, good};
        change(settings);
        return settings;
    };
    const auto destination = [&](auto change) {
        return with([&](NotificationSettings &s) { change(s.destinations[1]); });
    };
    QTest::newRow("multicast") << destination([](auto &d) { d.address = "224.0.0.1"; })
                               << "Destination 2: address";
    QTest::newRow("broadcast") << destination([](auto &d) { d.address = "255.255.255.255"; })
                               << "Destination 2: address";
    QTest::newRow("IPv6 multicast")
        << destination([](auto &d) { d.address = "ff02::1"; }) << "Destination 2: address";
    QTest::newRow("no address") << destination([](auto &d) { d.address = "host"; })
                                << "Destination 2: address";
    QTest::newRow("port 0") << destination([](auto &d) { d.port = 0; }) << "port";
    QTest::newRow("port 65536") << destination([](auto &d) { d.port = 65536; }) << "port";
    QTest::newRow("missing user") << destination([](auto &d) {
        d.version = NotificationVersion::V3;
        d.user = "nobody";
    }) << "user \"nobody\"";
    QTest::newRow("level above the user's") << destination([](auto &d) {
        d.version = NotificationVersion::V3;
        d.user = "signer";
        d.level = SecurityLevel::AuthPriv;
    }) << "level";
    QTest::newRow("v1 INFORM") << destination([](auto &d) {
        d.version = NotificationVersion::V1;
        d.kind = NotificationKind::Inform;
    }) << "kind";
    QTest::newRow("nine destinations")
        << with([&](auto &s) { s.destinations = QList<NotificationDestination>(9, good); })
        << "at most 8";
    QTest::newRow("identifier") << with([](auto &s) {
        s.schedule.mode = NotificationSchedule::Periodic;
        s.schedule.notification.oid = "coldStart";
    }) << "not numeric";
    QTest::newRow("interval 0") << with([](auto &s) {
        s.schedule.mode = NotificationSchedule::Periodic;
        s.schedule.intervalSeconds = 0;
    }) << "interval";
    QTest::newRow("interval past a day") << with([](auto &s) {
        s.schedule.mode = NotificationSchedule::Periodic;
        s.schedule.intervalSeconds = 86401;
    }) << "interval";
    QTest::newRow("storm too fast") << with([](auto &s) {
        s.schedule.mode = NotificationSchedule::Storm;
        s.schedule.ratePerSecond = 100001;
    }) << "rate";
}

void TstNotifications::refusedSettingsKeepNothing()
{
    QFETCH(NotificationSettings, settings);
    QFETCH(QString, named);
    SnmpAgents &agents = m_rows.agents;
    NotificationSettings kept;
    kept.destinations = {NotificationDestination{}};
    kept.destinations[0].address = "::1";
    QVERIFY(agents.setNotifications(Users, kept));
    const Status refused = agents.setNotifications(Users, settings);
    QVERIFY(!refused);
    QVERIFY2(refused.failure().description.contains(named),
             qPrintable(refused.failure().description));
    QCOMPARE(agents.notifications(Users), kept);
}

void TstNotifications::stormStopsWithTheRowAndLeavesItAnswering()
{
    QUdpSocket receiver;
    QVERIFY(receiver.bind(QHostAddress::LocalHost, 0));
    receiver.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 8 << 20);
    NotificationDestination destination;
    destination.address = "127.0.0.1";
    destination.port = receiver.localPort();
    NotificationSettings settings = quiet({destination});
    settings.schedule.mode = NotificationSchedule::Storm;
    settings.schedule.ratePerSecond = 20000;
    startWith(Plain, settings);
    int answered = 0;
    QSet<qint32> ids;
    int traps = 0;
    QElapsedTimer storming;
    storming.start();
    while (storming.elapsed() < 1000) {
        answered +=
            m_rows.exchange(Plain, makeRequest(SnmpPdu::V2cBase, {"1.3.6.1.2.1.1.5.0"}), 500)
                .has_value();
        for (; receiver.hasPendingDatagrams() && traps < 2000; ++traps) {
            const Result<SnmpMessage> trap = decodeMessage(receiver.receiveDatagram().data());
            QVERIFY(trap && trap.value().pdu() == SnmpPdu::V2Trap);
            ids.insert(trap.value().MessageNumber);
        }
        while (receiver.hasPendingDatagrams())
            receiver.receiveDatagram();
    }
    QVERIFY2(answered > 50, qPrintable(QString::number(answered)));
    // Each trap of a burst has a request-id of its own.
    QVERIFY(traps > 0);
    QCOMPARE(ids.size(), traps);
    const quint64 sent = m_rows.agents.notificationCounts(Plain).sent;
    QVERIFY2(sent >= 10000 && sent <= 21000, qPrintable(QString::number(sent)));
    // A stalled loop owes 10 000; past the backlog they are held back, not sent in a burst.
    QThread::msleep(500);
    QTest::qWait(20);
    const NotificationCounts &counts = m_rows.agents.notificationCounts(Plain);
    QVERIFY2(counts.heldBack >= 7000, qPrintable(QString::number(counts.heldBack)));
    QVERIFY(counts.sent - sent <= RowNotifier::MaxStormBacklog + 1000);
    m_rows.agents.StopSnmpAgent(Plain);
    const quint64 stopped = counts.sent;
    QTest::qWait(50);
    QCOMPARE(counts.sent, stopped);
}

// Every destination at the top rate is more than the row can send; requests still get at least
// half of what they get without, rather than what is left between back-to-back slices.
void TstNotifications::stormBehindGivesWayToRequests()
{
    QUdpSocket sink; // never read: the system drops what overflows
    QVERIFY(sink.bind(QHostAddress::LocalHost, 0));
    NotificationDestination destination;
    destination.address = "127.0.0.1";
    destination.port = sink.localPort();
    NotificationSettings storm =
        quiet(QList<NotificationDestination>(NotificationSettings::MaxDestinations, destination));
    storm.schedule.mode = NotificationSchedule::Storm;
    storm.schedule.ratePerSecond = NotificationSchedule::MaxRate;
    startWith(Plain, quiet({}));
    const QByteArray request =
        encodeMessage(makeRequest(SnmpPdu::V2cBase, {"1.3.6.1.2.1.1.5.0"})).value();
    QUdpSocket client;
    QVERIFY(client.bind(QHostAddress::LocalHost, 0));
    const auto answeredIn = [&](int ms) {
        int answered = 0;
        // One at a time: each waits for whatever the row does before its turn comes.
        client.writeDatagram(request, QHostAddress::LocalHost, m_rows.port(Plain));
        waitFor(
            [&] {
                for (; client.hasPendingDatagrams(); ++answered) {
                    client.receiveDatagram();
                    client.writeDatagram(request, QHostAddress::LocalHost, m_rows.port(Plain));
                }
                return false;
            },
            ms);
        return answered;
    };
    // Quiet and storming in turns, the best of three: a moment's load elsewhere on the machine
    // must not decide it.
    int quietly = 0, storming = 0;
    for (int turn = 0; turn < 3 && (turn == 0 || storming * 2 < quietly); ++turn) {
        QVERIFY(m_rows.agents.setNotifications(Plain, quiet({})));
        quietly = answeredIn(300);
        QVERIFY(m_rows.agents.setNotifications(Plain, storm));
        storming = answeredIn(300);
    }
    QVERIFY2(storming * 2 >= quietly,
             qPrintable(QStringLiteral("%1 against %2").arg(storming).arg(quietly)));
    QVERIFY(m_rows.agents.notificationCounts(Plain).sent > 1000);
}

void TstNotifications::burstIdsWrittenInPlace_data()
{
    QTest::addColumn<qint32>("from");
    QTest::addColumn<qint32>("to");
    QTest::addColumn<bool>("written"); // or left for a fresh encoding
    QTest::newRow("one byte") << 5 << 6 << true;
    QTest::newRow("three bytes") << 0x123456 << 0x123457 << true;
    QTest::newRow("to four bytes") << 0x7fffff << 0x800000 << false;
    QTest::newRow("to one byte") << 0x80 << 0x7f << false;
}

void TstNotifications::burstIdsWrittenInPlace()
{
    QFETCH(qint32, from);
    QFETCH(qint32, to);
    QFETCH(bool, written);
    SnmpMessage trap =
        makeRequest(SnmpPdu::V2cBase + SnmpPdu::V2Trap, {"1.3.6.1.2.1.1.3.0"}, "kettle", from);
    const QByteArray before = encodeMessage(trap).value();
    trap.MessageNumber = to;
    const QByteArray after = NotificationLink::withRequestId(before, to);
    QCOMPARE(after, written ? encodeMessage(trap).value() : QByteArray());
}

QTEST_GUILESS_MAIN(TstNotifications)
#include "tst_notifications.moc"
