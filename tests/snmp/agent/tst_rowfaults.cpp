#include "support/testrows.h"

#include "snmp/agent/deadlinequeue.h"
#include "snmp/agent/snmpagent.h"
#include "snmp/codec/snmptypes.h"
#include "snmp/usm/usmengine.h"

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QtTest>

#include <cmath>

using namespace std::chrono_literals;

namespace {

const QString SysName = QStringLiteral("1.3.6.1.2.1.1.5.0");
const QString SysLocation = QStringLiteral("1.3.6.1.2.1.1.6.0");
const QString IfSpeed = QStringLiteral("1.3.6.1.2.1.2.2.1.5.1"); // a Gauge32 in the recording
const QString InPkts = QStringLiteral("1.3.6.1.2.1.11.1.0");
const QString InBadCommunityNames = QStringLiteral("1.3.6.1.2.1.11.4.0");

enum Row { Plain = 0, Device = 1 };

RowBehaviour delayed(int latencyMs, int jitterMs = 0)
{
    RowBehaviour behaviour;
    behaviour.latencyMs = latencyMs;
    behaviour.jitterMs = jitterMs;
    return behaviour;
}

RowBehaviour malformed(MalformedKind kind)
{
    RowBehaviour behaviour;
    behaviour.malformedPercent = 100;
    behaviour.malformedKind = kind;
    return behaviour;
}

QByteArray get(const QStringList &oids, qint32 id = 1234, int type = SnmpPdu::V2cBase)
{
    return encodeMessage(makeRequest(type, oids, QStringLiteral("kettle"), id)).value();
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
    void heldRepliesLeaveByDeadline();
    void snmpgetWaitsOutTheLatency();
    void answersInFlightWaitTogether_data();
    void answersInFlightWaitTogether();
    void shorterLatencyOvertakesLonger();
    void stoppingDropsWaitingAnswers();
    void lossDropsItsShare();
    void muteAnswersNothingButCounts();
    void malformedAnswersAreRejected_data();
    void malformedAnswersAreRejected();
    void injectedErrorsReachTheManager_data();
    void injectedErrorsReachTheManager();
    void traceMarksMalformedAnswers();

private:
    // Sends `count` Gets of sysName.0 in rounds the row keeps up with, then waits up to `ms`
    // for all it answered: the time from each answered request to its answer, in ms.
    QList<qint64> flood(Row row, int count, int ms);
    // The datagrams that come back for `request` until `expected` have, or `ms` have passed.
    QList<QByteArray> answersTo(Row row, const QByteArray &request, int expected = 1,
                                int ms = 1000);
    RowCounts counts(Row row) const { return m_rows.agents.rowCounts(row); }
    QByteArray v3Get(const QStringList &oids, qint32 id);

    TestRows m_rows;
    QTemporaryDir m_folder;
};

void TstRowFaults::initTestCase()
{
    if (QStandardPaths::findExecutable("snmpget").isEmpty())
        QSKIP("net-snmp tools are not installed (./scripts/test installs them)");
    m_rows.manager.socket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4 << 20);
    const QString path = m_folder.filePath("device.txt");
    writeFile(path, IfSpeed.toLatin1() + "|66|1000000000\n");
    QVERIFY(m_rows.serve(Device, path));
    QVERIFY(m_rows.agents.addV3User(Device, "open", usm::Auth::None, {}));
}

void TstRowFaults::init()
{
    for (const Row row : {Plain, Device}) {
        m_rows.agents.setBehaviour(row, RowBehaviour());
        QVERIFY(m_rows.agents.isRunning(row) || m_rows.start(row));
    }
    m_rows.trace.setDebugMode(false);
    m_rows.messages.texts.clear();
    while (m_rows.manager.socket.hasPendingDatagrams())
        m_rows.manager.socket.receiveDatagram();
}

QList<qint64> TstRowFaults::flood(Row row, int count, int ms)
{
    QUdpSocket &socket = m_rows.manager.socket;
    const RowCounts before = counts(row);
    QElapsedTimer clock;
    clock.start();
    QList<qint64> sentAt(count);
    QList<qint64> delays;
    const auto drain = [&] {
        while (socket.hasPendingDatagrams()) {
            const Result<SnmpMessage> answer = decodeMessage(socket.receiveDatagram().data());
            const qint32 id = answer ? answer.value().MessageNumber : -1;
            if (id >= 0 && id < count)
                delays.append(clock.elapsed() - sentAt[id]);
        }
    };
    for (int id = 0; id < count; ++id) {
        sentAt[id] = clock.elapsed();
        socket.writeDatagram(get({SysName}, id), QHostAddress::LocalHost, m_rows.port(row));
        // The row's receive buffer holds a few hundred requests: it reads each round first.
        if (id % 50 == 49 || id + 1 == count) {
            const bool read = waitFor(
                [&] {
                    drain();
                    return counts(row).received - before.received > quint64(id);
                },
                5000);
            if (!read)
                qWarning("the row fell behind at %d", id);
        }
    }
    waitFor(
        [&] {
            drain();
            const RowCounts now = counts(row);
            return now.waiting == 0 && now.answered - before.answered == quint64(delays.size());
        },
        ms);
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

QByteArray TstRowFaults::v3Get(const QStringList &oids, qint32 id)
{
    const QByteArray engine = m_rows.agents.snmpAgent(Device).usm().engineId();
    const SnmpMessage pdu = makeRequest(SnmpPdu::V2cBase, oids, {}, id);
    return encodeV3Message(v3Message(pdu, id, SnmpV3Flag::Reportable, "open", engine), 0).bytes;
}

void TstRowFaults::heldRepliesLeaveByDeadline()
{
    DeadlineQueue<int> queue;
    const auto start = DeadlineQueue<int>::Clock::now();
    const std::chrono::milliseconds dues[] = {30ms, 10ms, 20ms, 10ms, 0ms};
    for (int i = 0; i < 5; ++i)
        queue.push(start + dues[i], i);
    QVERIFY(!queue.takeDue(start - 1ms));
    QList<int> order;
    while (const std::optional<int> item = queue.takeDue(start + 30ms))
        order.append(*item);
    // Earliest first; the two due together in the order they came.
    QCOMPARE(order, (QList<int>{4, 1, 3, 2, 0}));
}

void TstRowFaults::snmpgetWaitsOutTheLatency()
{
    m_rows.agents.setBehaviour(Plain, delayed(1000));
    const QStringList v2c{"-v2c", "-c", "kettle", "-r", "0", "-t"};
    const ToolRun hasty = m_rows.run(Plain, "snmpget", v2c + QStringList{"0.5"}, {SysName});
    QVERIFY2(hasty.exitCode != 0 && hasty.err.contains("Timeout"), qPrintable(hasty.out));
    const ToolRun patient = m_rows.run(Plain, "snmpget", v2c + QStringList{"2"}, {SysName});
    QVERIFY2(patient.exitCode == 0 && patient.out.contains("Agent 1"), qPrintable(patient.err));
}

void TstRowFaults::answersInFlightWaitTogether_data()
{
    QTest::addColumn<int>("latency");
    QTest::addColumn<int>("jitter");
    QTest::newRow("1 s") << 1000 << 0;
    QTest::newRow("300 ms, jitter 200 ms") << 300 << 200;
}

// A thousand answers held at once must each wait their own time: one after another, the last
// would wait a thousand times as long.
void TstRowFaults::answersInFlightWaitTogether()
{
    QFETCH(int, latency);
    QFETCH(int, jitter);
    constexpr int Requests = 1000;
    constexpr int Slack = 250; // the machine is shared
    m_rows.agents.setBehaviour(Plain, delayed(latency, jitter));
    QList<qint64> delays = flood(Plain, Requests, latency + jitter + 3000);
    QCOMPARE(delays.size(), Requests);
    std::sort(delays.begin(), delays.end());
    const QString spread = QStringLiteral("%1 to %2 ms").arg(delays.first()).arg(delays.last());
    QVERIFY2(delays.first() >= latency - jitter, qPrintable(spread));
    QVERIFY2(delays.last() <= latency + jitter + Slack, qPrintable(spread));
    // The jitter spreads them: some near each end.
    if (jitter > 0)
        QVERIFY2(delays.first() < latency - jitter / 2 && delays.last() > latency + jitter / 2,
                 qPrintable(spread));
    QCOMPARE(counts(Plain).waiting, 0u);
}

// A setting applies at once, and an answer due sooner does not wait for one held longer.
void TstRowFaults::shorterLatencyOvertakesLonger()
{
    m_rows.agents.setBehaviour(Plain, delayed(2000));
    QVERIFY(flood(Plain, 1, 0).isEmpty());
    m_rows.agents.setBehaviour(Plain, delayed(100));
    QElapsedTimer clock;
    clock.start();
    const QList<QByteArray> first = answersTo(Plain, get({SysName}, 99));
    QCOMPARE(first.size(), 1);
    QCOMPARE(decodeMessage(first[0]).value().MessageNumber, 99);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    m_rows.agents.StopSnmpAgent(Plain); // the longer one must not reach the tests after
}

void TstRowFaults::stoppingDropsWaitingAnswers()
{
    m_rows.agents.setBehaviour(Plain, delayed(1000));
    const RowCounts before = counts(Plain);
    QVERIFY(flood(Plain, 20, 0).isEmpty());
    QCOMPARE(counts(Plain).waiting, 20u);
    m_rows.agents.StopSnmpAgent(Plain);
    const RowCounts after = counts(Plain);
    QCOMPARE(after.waiting, 0u);
    QCOMPARE(after.droppedOther - before.droppedOther, 20u);
    QCOMPARE(after.answered, before.answered);
    // Neither the stopped row nor the same row started again sends them later.
    QVERIFY(m_rows.start(Plain));
    QCOMPARE(counts(Plain).received, 0u);
    QVERIFY(!waitFor([&] { return m_rows.manager.socket.hasPendingDatagrams(); }, 1300));
}

// 10 000 requests at 30 % loss: the answers must lie within five standard deviations of the
// binomial mean, 7000 +- 229, and every request must be either answered or counted lost.
void TstRowFaults::lossDropsItsShare()
{
    constexpr int Requests = 10000;
    constexpr double Loss = 30;
    RowBehaviour behaviour;
    behaviour.lossPercent = Loss;
    m_rows.agents.setBehaviour(Plain, behaviour);
    const RowCounts before = counts(Plain);
    const QList<qint64> answers = flood(Plain, Requests, 3000);
    const RowCounts after = counts(Plain);
    const double mean = Requests * (1 - Loss / 100);
    const double sigma = std::sqrt(Requests * Loss / 100 * (1 - Loss / 100));
    QVERIFY2(std::abs(answers.size() - mean) <= 5 * sigma,
             qPrintable(QString::number(answers.size())));
    QCOMPARE(after.answered - before.answered, quint64(answers.size()));
    QCOMPARE(after.droppedByLoss - before.droppedByLoss, quint64(Requests - answers.size()));
    QCOMPARE(after.received - before.received, quint64(Requests));
}

// A mute row processes everything as usual, Reports included, and answers nothing.
void TstRowFaults::muteAnswersNothingButCounts()
{
    const auto read = [&](const QString &oid) {
        const QList<QByteArray> answers = answersTo(Device, get({oid}));
        const Result<SnmpMessage> answer = decodeMessage(answers.value(0));
        return answer ? answer.value().Variables.value(0).Value().toULongLong() : 0;
    };
    const quint64 strangers = read(InBadCommunityNames);
    RowBehaviour behaviour;
    behaviour.mute = true;
    m_rows.agents.setBehaviour(Device, behaviour);
    const RowCounts before = counts(Device);
    QVERIFY(flood(Device, 10, 0).isEmpty());
    const QByteArray discovery =
        encodeV3Message(
            v3Message(makeRequest(SnmpPdu::V2cBase, {}), 7, SnmpV3Flag::Reportable, {}, {}), 0)
            .bytes;
    const QByteArray stranger =
        encodeMessage(makeRequest(SnmpPdu::V2cBase, {SysName}, "public")).value();
    QVERIFY(answersTo(Device, discovery, 1, 300).isEmpty());
    QVERIFY(answersTo(Device, stranger, 1, 300).isEmpty());
    const RowCounts after = counts(Device);
    QCOMPARE(after.received - before.received, 12u);
    QCOMPARE(after.droppedByMute - before.droppedByMute, 11u); // the Gets and the Report
    QCOMPARE(after.droppedOther - before.droppedOther, 1u);    // a device drops strangers
    QCOMPARE(after.answered, before.answered);

    m_rows.agents.setBehaviour(Device, RowBehaviour());
    QCOMPARE(read(InBadCommunityNames), strangers + 1);
    // snmpInPkts counts what `received` counts, the request that reads it included.
    const quint64 inPkts = read(InPkts);
    QCOMPARE(inPkts, counts(Device).received % (quint64(1) << 32));
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
    const QByteArray request = secured ? v3Get(oids, 77) : get(oids, 77);
    const QList<QByteArray> good = answersTo(Device, request);
    QCOMPARE(good.size(), 1);
    m_rows.agents.setBehaviour(Device, malformed(kind));
    const quint64 before = counts(Device).malformedSent;
    const int copies = kind == MalformedKind::TwoAnswers ? 2 : 1;
    const QList<QByteArray> bad = answersTo(Device, request, copies);
    QCOMPARE(bad.size(), copies);
    QCOMPARE(counts(Device).malformedSent - before, 1u);

    const Result<SnmpMessage> goodMessage = decodeMessage(good[0]);
    const Result<SnmpMessage> badMessage = decodeMessage(bad[0]);
    switch (kind) {
    case MalformedKind::WrongRequestId: {
        // In SNMPv3 the PDU is spoiled before it is secured: the message itself is sound.
        const SnmpMessage pdu = secured ? pduOf(bad[0]) : badMessage.value();
        QVERIFY(pdu.MessageNumber != 77 && !pdu.Variables.isEmpty());
        break;
    }
    case MalformedKind::WrongValueType: {
        const int was = goodMessage.value().Variables[0].Type();
        QCOMPARE(badMessage.value().Variables[0].Type(),
                 was == SnmpType::OctetString ? SnmpType::Integer32 : SnmpType::OctetString);
        break;
    }
    case MalformedKind::CutShort:
        QVERIFY(secured ? !decodeV3Message(bad[0]) : !badMessage);
        QVERIFY(bad[0].size() < good[0].size());
        if (!secured)
            QVERIFY(good[0].startsWith(bad[0]));
        break;
    case MalformedKind::LengthPastEnd:
        QVERIFY(!badMessage);
        QCOMPARE(quint8(bad[0][1]), quint8(good[0][1]) + 1);
        QCOMPARE(bad[0].mid(2), good[0].mid(2));
        break;
    case MalformedKind::MissingLastVariable:
        QCOMPARE(badMessage.value().Variables.size(), oids.size() - 1);
        break;
    case MalformedKind::TwoAnswers:
        QCOMPARE(bad, (QList<QByteArray>{good[0], good[0]}));
        break;
    }

    const QStringList options =
        secured ? v3("noAuthNoPriv", "open") : QStringList{"-v2c", "-c", "kettle"};
    const ToolRun run =
        m_rows.run(Device, "snmpget", options + QStringList{"-t", "1", "-r", "0"}, oids, true);
    const bool refused = run.exitCode != 0 || run.out.contains("Wrong Type");
    const QString said = run.out + run.err;
    if (kind == MalformedKind::TwoAnswers) {
        QVERIFY2(!refused && said.count(" = ") == 1, qPrintable(said));
    } else if (kind == MalformedKind::MissingLastVariable) {
        // RFC 3416 4.2.1 has a Response bind every variable asked for; net-snmp's snmpget does
        // not check, and prints what came: the object left out must not show.
        QVERIFY2(said.count(" = ") == 1 && !said.contains(SysLocation), qPrintable(said));
    } else {
        QVERIFY2(refused, qPrintable(said));
    }
}

void TstRowFaults::injectedErrorsReachTheManager_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("reason");
    const QStringList v2c{"-v2c", "-c", "kettle"};
    QTest::newRow("v2c genErr") << 5 << "snmpget" << v2c << "genError";
    QTest::newRow("v2c tooBig") << 1 << "snmpget" << v2c << "tooBig";
    // RFC 2576 section 4.4: SNMPv1 has no noAccess, and names the object noSuchName.
    QTest::newRow("v1 noAccess") << 6 << "snmpget" << QStringList{"-v1", "-c", "kettle"}
                                 << "noSuchName";
    QTest::newRow("v3 resourceUnavailable")
        << 13 << "snmpget" << v3("noAuthNoPriv", "open") << "resourceUnavailable";
    // In place of the refusal a Set otherwise gets.
    QTest::newRow("v2c Set, authorizationError") << 16 << "snmpset" << v2c << "authorizationError";
}

void TstRowFaults::injectedErrorsReachTheManager()
{
    QFETCH(int, status);
    QFETCH(QString, tool);
    QFETCH(QStringList, options);
    QFETCH(QString, reason);
    RowBehaviour behaviour;
    behaviour.errorPercent = 100;
    behaviour.errorStatus = status;
    m_rows.agents.setBehaviour(Device, behaviour);
    const quint64 before = counts(Device).errorsInjected;
    const QStringList operands =
        tool == "snmpset" ? QStringList{SysName, "s", "x"} : QStringList{SysName};
    const ToolRun run = m_rows.run(Device, tool, options, operands);
    QVERIFY2(run.out.contains(reason) || run.err.contains(reason), qPrintable(run.out + run.err));
    QCOMPARE(counts(Device).errorsInjected - before, 1u);
}

void TstRowFaults::traceMarksMalformedAnswers()
{
    m_rows.trace.setDebugMode(true);
    m_rows.agents.setBehaviour(Plain, malformed(MalformedKind::WrongRequestId));
    QCOMPARE(answersTo(Plain, get({SysName}, 41)).size(), 1);
    RowBehaviour wrong;
    wrong.errorPercent = 100;
    m_rows.agents.setBehaviour(Plain, wrong);
    QCOMPARE(answersTo(Plain, get({SysName}, 42)).size(), 1);
    const QString trace = QString::fromLatin1(readFile(m_rows.traceFile(Plain)));
    // The record shows the answer as it went: its wrong id, then the mark.
    QVERIFY2(
        trace.contains(" --> Response\t" + QString::number(~41) + " (deliberately malformed)\r\n"),
        qPrintable(trace));
    QVERIFY2(trace.contains(" --> Response\t42\r\n"), qPrintable(trace));
}

QTEST_GUILESS_MAIN(TstRowFaults)
#include "tst_rowfaults.moc"
