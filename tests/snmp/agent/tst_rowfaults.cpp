#include "support/testrows.h"

#include "snmp/agent/snmpagent.h"
#include "snmp/codec/snmptypes.h"
#include "snmp/usm/usmengine.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QtTest>

#include <cmath>

namespace {

const QString SysName = QStringLiteral("1.3.6.1.2.1.1.5.0");
const QString SysLocation = QStringLiteral("1.3.6.1.2.1.1.6.0");
const QString IfSpeed = QStringLiteral("1.3.6.1.2.1.2.2.1.5.1"); // a Gauge32 in the recording
const QStringList V2c{"-v2c", "-c", "kettle"};

enum Row { Plain = 0, Device = 1 };

QByteArray get(const QStringList &oids, qint32 id = 1234)
{
    return encodeMessage(makeRequest(SnmpPdu::V2cBase, oids, "kettle", id)).value();
}

// The message, or the PDU of an SNMPv3 one; an empty one for bytes that are neither.
SnmpMessage decoded(const QByteArray &datagram, bool secured)
{
    const Result<SnmpMessage> message = decodeMessage(datagram);
    return secured ? pduOf(datagram) : message ? message.value() : SnmpMessage();
}

} // namespace

// Faults set on a running row: held, lost, muted, spoiled and wrong answers, and the counts.
// Row 0 is plain; row 1 a device serving a recording and an SNMPv3 user without security.
class TstRowFaults : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void latencyHoldsEachAnswer();
    void heldAnswersWaitOnTheirOwn();
    void lossDropsItsShare();
    void muteAnswersNothingButCounts();
    void malformedAnswersAreRejected_data();
    void malformedAnswersAreRejected();
    void injectedErrorsReachTheManager();

private:
    // Sends `count` Gets of sysName.0 in rounds the row keeps up with (its receive buffer holds
    // a few hundred), then waits up to `ms` for all it answered: each one's delay in ms.
    QList<qint64> flood(Row row, int count, int ms);
    // The datagrams that come back for `request` until `expected` have, or `ms` have passed.
    QList<QByteArray> answersTo(Row row, const QByteArray &request, int expected = 1,
                                int ms = 1000);
    RowCounts counts(Row row) const { return m_rows.agents.rowCounts(row); }

    TestRows m_rows;
    QTemporaryDir m_folder;
};

void TstRowFaults::initTestCase()
{
    if (QStandardPaths::findExecutable("snmpget").isEmpty())
        QSKIP("net-snmp tools are not installed (./scripts/test installs them)");
    m_rows.manager.socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4 << 20);
    writeFile(m_folder.filePath("device.txt"), IfSpeed.toLatin1() + "|66|1000000000\n");
    QVERIFY(m_rows.serve(Device, m_folder.filePath("device.txt")));
    QVERIFY(m_rows.agents.addV3User(Device, "open", usm::Auth::None, {}));
}

void TstRowFaults::init()
{
    for (const Row row : {Plain, Device}) {
        m_rows.agents.setBehaviour(row, {});
        QVERIFY(m_rows.agents.isRunning(row) || m_rows.start(row));
    }
    m_rows.trace.setDebugMode(false);
    while (m_rows.manager.socket.hasPendingDatagrams())
        m_rows.manager.socket.receiveDatagram();
}

QList<qint64> TstRowFaults::flood(Row row, int count, int ms)
{
    QUdpSocket &socket = m_rows.manager.socket;
    const RowCounts before = counts(row);
    QElapsedTimer clock;
    clock.start();
    QList<qint64> sentAt;
    QList<qint64> delays;
    const auto caughtUp = [&](bool answered) {
        while (socket.hasPendingDatagrams()) {
            const Result<SnmpMessage> answer = decodeMessage(socket.receiveDatagram().data());
            const quint32 id = answer ? quint32(answer.value().MessageNumber) : quint32(-1);
            if (id < quint32(sentAt.size()))
                delays.append(clock.elapsed() - sentAt[id]);
        }
        const RowCounts now = counts(row);
        return now.received - before.received == quint64(sentAt.size()) &&
               (!answered ||
                (now.waiting == 0 && now.answered - before.answered == quint64(delays.size())));
    };
    while (sentAt.size() < count) {
        sentAt.append(clock.elapsed());
        socket.writeDatagram(get({SysName}, sentAt.size() - 1), QHostAddress::LocalHost,
                             m_rows.port(row));
        if (sentAt.size() % 50 == 0 && !waitFor([&] { return caughtUp(false); }, 5000))
            break; // the row stopped reading: what it did is for the caller to judge
    }
    waitFor([&] { return caughtUp(false); }, 5000);
    waitFor([&] { return caughtUp(true); }, ms);
    return delays;
}

QList<QByteArray> TstRowFaults::answersTo(Row row, const QByteArray &request, int expected, int ms)
{
    QList<QByteArray> answers;
    m_rows.manager.socket.writeDatagram(request, QHostAddress::LocalHost, m_rows.port(row));
    waitFor(
        [&] {
            while (m_rows.manager.socket.hasPendingDatagrams())
                answers.append(m_rows.manager.socket.receiveDatagram().data());
            return answers.size() >= expected;
        },
        ms);
    return answers;
}

// Under 1 s of latency, give or take 200 ms, snmpget must give up at 0.5 s and get its answer
// when it waits 2 s. A thousand answers held at once must each wait their own time (one after
// another, the last would wait a thousand times as long): never early, late by no more than a
// shared machine takes, and spread by the jitter.
void TstRowFaults::latencyHoldsEachAnswer()
{
    m_rows.agents.setBehaviour(Plain, {.latencyMs = 1000, .jitterMs = 200});
    const ToolRun hasty =
        m_rows.run(Plain, "snmpget", V2c + QStringList{"-t", "0.5", "-r", "0"}, {SysName});
    QVERIFY2(hasty.exitCode != 0 && hasty.err.contains("Timeout"), qPrintable(hasty.out));
    const ToolRun patient =
        m_rows.run(Plain, "snmpget", V2c + QStringList{"-t", "2", "-r", "0"}, {SysName});
    QVERIFY2(patient.exitCode == 0 && patient.out.contains("Agent 1"), qPrintable(patient.err));
    QList<qint64> delays = flood(Plain, 1000, 5000);
    QCOMPARE(delays.size(), 1000);
    std::sort(delays.begin(), delays.end());
    QVERIFY2(delays.first() >= 800 && delays.first() < 900 && delays.last() > 1100 &&
                 delays.last() <= 1200 + 250,
             qPrintable(QStringLiteral("%1 to %2 ms").arg(delays.first()).arg(delays.last())));
}

// A setting applies at once, an answer due sooner overtakes those held longer, and stopping
// the row drops what still waits: neither it nor the row started again sends them later.
void TstRowFaults::heldAnswersWaitOnTheirOwn()
{
    m_rows.agents.setBehaviour(Plain, {.latencyMs = 1500});
    const RowCounts before = counts(Plain);
    QVERIFY(flood(Plain, 20, 0).isEmpty());
    m_rows.agents.setBehaviour(Plain, {.latencyMs = 100});
    const QList<QByteArray> answers = answersTo(Plain, get({SysName}, 99));
    QVERIFY(answers.size() == 1 && decodeMessage(answers[0]).value().MessageNumber == 99);
    QCOMPARE(counts(Plain).waiting, 20u);
    m_rows.agents.StopSnmpAgent(Plain);
    const RowCounts after = counts(Plain);
    QCOMPARE(after.waiting, 0u);
    QCOMPARE(after.droppedOther - before.droppedOther, 20u);
    QCOMPARE(after.answered - before.answered, 1u);
    QVERIFY(m_rows.start(Plain));
    QCOMPARE(counts(Plain).received, 0u);
    QVERIFY(!waitFor([&] { return m_rows.manager.socket.hasPendingDatagrams(); }, 1300));
}

// 10 000 requests at 30 % loss: the answers must lie within five standard deviations of the
// binomial mean, 7000 +- 229, and every request is either answered or counted lost.
void TstRowFaults::lossDropsItsShare()
{
    m_rows.agents.setBehaviour(Plain, {.lossPercent = 30});
    const RowCounts before = counts(Plain);
    const QList<qint64> answers = flood(Plain, 10000, 3000);
    const RowCounts after = counts(Plain);
    const qsizetype answered = answers.size();
    QVERIFY2(std::abs(answered - 7000) <= 5 * std::sqrt(10000 * 0.3 * 0.7),
             qPrintable(QString::number(answered)));
    QCOMPARE(after.answered - before.answered, quint64(answered));
    QCOMPARE(after.droppedByLoss - before.droppedByLoss, quint64(10000 - answered));
    QCOMPARE(after.received - before.received, 10000u);
}

// A mute row processes everything as usual, Reports included, and answers nothing.
void TstRowFaults::muteAnswersNothingButCounts()
{
    m_rows.agents.setBehaviour(Device, {.mute = true});
    const RowCounts before = counts(Device);
    QVERIFY(flood(Device, 10, 0).isEmpty());
    const SnmpMessage probe = makeRequest(SnmpPdu::V2cBase, {});
    const QByteArray discovery =
        encodeV3Message(v3Message(probe, 7, SnmpV3Flag::Reportable, {}, {}), 0).bytes;
    QVERIFY(answersTo(Device, discovery, 1, 300).isEmpty());
    const RowCounts after = counts(Device);
    QCOMPARE(after.received - before.received, 11u);
    QCOMPARE(after.droppedByMute - before.droppedByMute, 11u); // the Gets and the Report
    QCOMPARE(after.answered, before.answered);

    m_rows.agents.setBehaviour(Device, {});
    // snmpInPkts counts what `received` counts, the request that reads it included.
    const Result<SnmpMessage> inPkts =
        decodeMessage(answersTo(Device, get({"1.3.6.1.2.1.11.1.0"})).value(0));
    QVERIFY(inPkts && inPkts.value().Variables.size() == 1);
    QCOMPARE(inPkts.value().Variables[0].Value().toULongLong(),
             counts(Device).received % (quint64(1) << 32));
}

void TstRowFaults::malformedAnswersAreRejected_data()
{
    QTest::addColumn<MalformedKind>("kind");
    QTest::addColumn<bool>("secured");
    QTest::addColumn<QStringList>("oids");
    using K = MalformedKind;
    QTest::newRow("wrong request-id") << K::WrongRequestId << false << QStringList{SysName};
    QTest::newRow("string as a number") << K::WrongValueType << false << QStringList{SysName};
    QTest::newRow("gauge as a string") << K::WrongValueType << false << QStringList{IfSpeed};
    QTest::newRow("cut short") << K::CutShort << false << QStringList{SysName};
    QTest::newRow("length past the end") << K::LengthPastEnd << false << QStringList{SysName};
    QTest::newRow("last variable missing")
        << K::MissingLastVariable << false << QStringList{SysName, SysLocation};
    QTest::newRow("two answers") << K::TwoAnswers << false << QStringList{SysName};
    QTest::newRow("v3 wrong request-id") << K::WrongRequestId << true << QStringList{SysName};
    QTest::newRow("v3 cut short") << K::CutShort << true << QStringList{SysName};
}

// Each kind as our decoder reads it next to the good answer, then as snmpget takes it: refused
// (an error, or a time-out as it waits for an answer it can use), except the copy of a good
// answer, which a manager that took the first drops unseen.
void TstRowFaults::malformedAnswersAreRejected()
{
    QFETCH(MalformedKind, kind);
    QFETCH(bool, secured);
    QFETCH(QStringList, oids);
    const QByteArray engine = m_rows.agents.snmpAgent(Device).usm().engineId();
    const SnmpMessage pdu = makeRequest(SnmpPdu::V2cBase, oids, {}, 77);
    const QByteArray request =
        secured
            ? encodeV3Message(v3Message(pdu, 77, SnmpV3Flag::Reportable, "open", engine), 0).bytes
            : get(oids, 77);
    m_rows.trace.setDebugMode(true);
    const QList<QByteArray> good = answersTo(Device, request);
    QCOMPARE(good.size(), 1);
    m_rows.agents.setBehaviour(Device, {.malformedPercent = 100, .malformedKind = kind});
    const quint64 before = counts(Device).malformedSent;
    const int copies = kind == MalformedKind::TwoAnswers ? 2 : 1;
    const QList<QByteArray> bad = answersTo(Device, request, copies);
    QCOMPARE(bad.size(), copies);
    QCOMPARE(counts(Device).malformedSent - before, 1u);

    // In SNMPv3 the message kinds spoil the PDU before it is secured, the bytes kinds after.
    const SnmpMessage was = decoded(good[0], secured);
    const SnmpMessage is = decoded(bad[0], secured);
    switch (kind) {
    case MalformedKind::WrongRequestId:
        QVERIFY(is.MessageNumber != 77 && is.Variables.size() == 1);
        break;
    case MalformedKind::WrongValueType:
        QCOMPARE(is.Variables[0].Type(), was.Variables[0].Type() == SnmpType::OctetString
                                             ? SnmpType::Integer32
                                             : SnmpType::OctetString);
        break;
    case MalformedKind::CutShort:
        QVERIFY(secured ? !decodeV3Message(bad[0]) : !decodeMessage(bad[0]));
        QVERIFY(bad[0].size() < good[0].size() && (secured || good[0].startsWith(bad[0])));
        break;
    case MalformedKind::LengthPastEnd:
        QVERIFY(!decodeMessage(bad[0]));
        QCOMPARE(bad[0], good[0].left(1) + char(good[0][1] + 1) + good[0].mid(2));
        break;
    case MalformedKind::MissingLastVariable:
        QCOMPARE(is.Variables.size(), oids.size() - 1);
        break;
    case MalformedKind::TwoAnswers:
        QCOMPARE(bad, (QList<QByteArray>{good[0], good[0]}));
        break;
    }

    // The trace shows the answer as it went (a wrong id, say), marked, after the good one.
    QList<QByteArray> records = readFile(m_rows.traceFile(Device)).split('\n');
    records.removeIf([](const QByteArray &line) { return !line.contains("--> Response"); });
    const QByteArray id = QByteArray::number(kind == MalformedKind::WrongRequestId ? ~77 : 77);
    QVERIFY(records.size() >= 2 && !records[records.size() - 2].contains("malformed"));
    QVERIFY2(records.last().contains("\t" + id + " (deliberately malformed)"), records.last());

    const QStringList options = secured ? v3("noAuthNoPriv", "open") : V2c;
    const ToolRun run =
        m_rows.run(Device, "snmpget", options + QStringList{"-t", "1", "-r", "0"}, oids, true);
    const QString said = run.out + run.err;
    const bool refused = run.exitCode != 0 || said.contains("Wrong Type");
    if (kind == MalformedKind::TwoAnswers)
        QVERIFY2(!refused && said.count(" = ") == 1, qPrintable(said));
    // RFC 3416 4.2.1 has a Response bind every variable asked for; net-snmp's snmpget does not
    // check, and prints what came: the object left out must not show.
    else if (kind == MalformedKind::MissingLastVariable)
        QVERIFY2(said.count(" = ") == 1 && !said.contains(SysLocation), qPrintable(said));
    else
        QVERIFY2(refused, qPrintable(said));
}

void TstRowFaults::injectedErrorsReachTheManager()
{
    const struct
    {
        int status;
        QString tool;
        QStringList options;
        QString reason;
    } cases[] = {// RFC 2576 section 4.4: SNMPv1 has no noAccess, and names the object noSuchName.
                 {6, "snmpget", {"-v1", "-c", "kettle"}, "noSuchName"},
                 {13, "snmpget", v3("noAuthNoPriv", "open"), "resourceUnavailable"},
                 // In place of the refusal a Set otherwise gets.
                 {16, "snmpset", V2c, "authorizationError"}};
    for (const auto &c : cases) {
        m_rows.agents.setBehaviour(Device, {.errorPercent = 100, .errorStatus = c.status});
        const quint64 before = counts(Device).errorsInjected;
        const QStringList set{SysName, "s", "x"};
        const ToolRun run =
            m_rows.run(Device, c.tool, c.options, c.tool == "snmpset" ? set : QStringList{SysName});
        QVERIFY2((run.out + run.err).contains(c.reason), qPrintable(run.out + run.err));
        QCOMPARE(counts(Device).errorsInjected - before, 1u);
    }
}

QTEST_GUILESS_MAIN(TstRowFaults)
#include "tst_rowfaults.moc"
