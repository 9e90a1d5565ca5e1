#include "support/testrows.h"

#include "snmp/codec/snmptypes.h"
#include "snmp/usm/usmengine.h"

#include <QStandardPaths>
#include <QtTest>

namespace {

const QString Sys = QStringLiteral("1.3.6.1.2.1.1.");
const QString SysName = Sys + "5.0";
const QString SysLocation = Sys + "6.0";
const QString If = QStringLiteral("1.3.6.1.2.1.2.2.1.");
const QStringList Counters{If + "10.1", "1.3.6.1.2.1.31.1.1.1.6.1"};
const QStringList V1{"-v1", "-c", "kettle"};
const QStringList V2c{"-v2c", "-c", "kettle"};
const QStringList Reader = v3("authNoPriv", "reader") + QStringList{"-a", "SHA", "-A", "pass-word"};

// Row 0 serves a recording and has SNMPv3 users; row 2 is plain; row 5 answers a typed object.
enum Row { Device = 0, Plain = 2, Typed = 5 };

// What a tool printed for its first binding.
QString valueIn(const ToolRun &run)
{
    return run.out.section('\n', 0, 0).section(" = ", 1);
}

} // namespace

// Rows that keep what they are set to.
class TstWritableRows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void eachTypeSticks();
    void refusalsWriteNothing();
    void writtenValuesLastUntilResetOrStop();
    void legacyV2cNamesTheFirstMissing();

private:
    ToolRun set(Row row, const QStringList &options, const QString &bindings)
    {
        const QStringList operands = bindings.split(' ');
        // Counters take their type from the MIB files.
        return m_rows.run(row, "snmpset", options, operands, operands.contains("="));
    }
    QString get(Row row, const QString &oid)
    {
        return valueIn(m_rows.run(row, "snmpget", V2c, {oid}, Counters.contains(oid)));
    }
    void behave(Row row, bool RowBehaviour::*setting, bool on)
    {
        RowBehaviour behaviour = m_rows.agents.behaviour(row);
        behaviour.*setting = on;
        m_rows.agents.setBehaviour(row, behaviour);
    }

    TestRows m_rows;
    QTemporaryDir m_folder;
};

void TstWritableRows::initTestCase()
{
    if (QStandardPaths::findExecutable("snmpset").isEmpty())
        QSKIP("net-snmp tools are not installed (./scripts/test installs them)");
    QVERIFY(m_rows.agents.addV3User(Device, "reader", usm::Auth::Sha1, "pass-word"));
    writeFile(m_folder.filePath("d.txt"),
              "1.3.6.1.2.1.1.4.0|4|contact\n1.3.6.1.2.1.2.2.1.2.1|4|eth0\n"
              "1.3.6.1.2.1.2.2.1.5.1|66|1000\n1.3.6.1.2.1.2.2.1.6.1|4x|001122334455\n"
              "1.3.6.1.2.1.2.2.1.7.1|2|1\n1.3.6.1.2.1.2.2.1.9.1|67|100\n"
              "1.3.6.1.2.1.2.2.1.10.1|65|1000\n1.3.6.1.2.1.2.2.1.22.1|6|0.0\n"
              "1.3.6.1.2.1.4.20.1.1.10.0.0.1|64|10.0.0.1\n1.3.6.1.2.1.31.1.1.1.6.1|70|5000\n");
    QVERIFY(m_rows.serve(Device, m_folder.filePath("d.txt")));
    for (const Row row : {Device, Plain, Typed}) {
        QVERIFY(m_rows.start(row));
        behave(row, &RowBehaviour::acceptSet, true);
    }
}

// The Set answers the binding as set, and a later Get the same.
void TstWritableRows::eachTypeSticks()
{
    const std::tuple<Row, QString, const char *> sets[] = {
        {Device, If + "7.1 i 2", "INTEGER: 2"},
        {Device, If + "2.1 s up9", "STRING: \"up9\""},
        // Binary, so no DisplayString bound to 255 octets.
        {Device, If + "6.1 x " + QString(600, 'e'), "Hex-STRING: EE EE"},
        {Device, If + "22.1 o 1.3.6.1.4.1.7394.5", "OID: .1.3.6.1.4.1.7394.5"},
        {Device, "1.3.6.1.2.1.4.20.1.1.10.0.0.1 a 10.9.8.7", "IpAddress: 10.9.8.7"},
        {Device, Counters[0] + " = 4242", "Counter32: 4242"},
        {Device, If + "5.1 u 42", "Gauge32: 42"},
        {Device, If + "9.1 t 12345", "Timeticks: (12345) 0:02:03.45"},
        {Device, Counters[1] + " = 123456789012", "Counter64: 123456789012"},
        {Device, SysName + " s core-1", "STRING: \"core-1\""},
        {Plain, SysLocation + " s " + QString(255, 'a'), "STRING: \"aaaa"},
        {Typed, If + "8.1 i 2", "INTEGER: 2"},
    };
    for (const auto &[row, binding, printed] : sets) {
        const ToolRun done = set(row, V2c, binding);
        QVERIFY2(valueIn(done).startsWith(printed), qPrintable(binding + ": " + done.err));
        QCOMPARE(get(row, binding.section(' ', 0, 0)), valueIn(done));
    }
}

// The second binding fails: it is named, and the first is not written either.
void TstWritableRows::refusalsWriteNothing()
{
    const auto refused = [this](Row row, const QStringList &options, const QString &binding,
                                const QString &error) {
        const QString before = get(row, SysLocation);
        // Without a binding of its own, the whole request is refused: the first is named.
        const QString err = set(row, options, (SysLocation + " s moved " + binding).trimmed()).err;
        const QString failed =
            "Failed object: ." + (binding.isEmpty() ? SysLocation : binding.section(' ', 0, 0));
        return err.contains(QRegularExpression("Reason: \\(?" + error + ".*\n" + failed + '\n')) &&
                       get(row, SysLocation) == before
                   ? QString()
                   : binding.left(40) + ' ' + error + ": " + err;
    };
    const QString text256(256, 'a');
    const std::tuple<Row, QString, const char *, const char *> cases[] = {
        // v2c, v1
        {Device, If + "7.1 s up", "wrongType", "badValue"},
        {Plain, SysName + " i 5", "wrongType", "badValue"},
        {Device, If + "2.1 s " + text256, "wrongLength", "badValue"},
        {Device, Sys + "4.0 s " + text256, "wrongLength", "badValue"}, // recorded sysContact
        {Plain, SysName + " s " + text256, "wrongLength", "badValue"},
        // RFC 3416 4.2.5 (7): ifDescr.1 is writable, .2 never made (snmpd: notWritable).
        {Device, If + "2.2 s x", "noCreation", "noSuchName"},
        {Plain, Sys + "5 s x", "noCreation", "noSuchName"}, // a plain row reads it for sysName.0
        {Plain, Sys + "3.0 t 5", "notWritable", "noSuchName"},
        // Before the type: no value at all would be taken.
        {Device, "1.3.6.1.2.1.11.1.0 i 5", "notWritable", "noSuchName"},
        {Device, "1.3.6.1.6.3.10.2.1.2.0 i 5", "notWritable", "noSuchName"},
    };
    for (const auto &[row, binding, v2, v1] : cases) {
        QCOMPARE(refused(row, V2c, binding, v2), QString());
        QCOMPARE(refused(row, V1, binding, v1), QString());
    }
    // Only marked users write, and only the row's community.
    QCOMPARE(refused(Device, Reader, {}, "noAccess"), QString());
    QCOMPARE(refused(Plain, {"-v2c", "-c", "public"}, {}, "notWritable"), QString());
    behave(Device, &RowBehaviour::countersAdvance, true);
    for (const QString &counter : Counters)
        QCOMPARE(refused(Device, V2c, counter + " = 7", "notWritable"), QString());
    behave(Device, &RowBehaviour::countersAdvance, false);
    // Off, Sets are refused as they always were, whoever sends them.
    behave(Device, &RowBehaviour::acceptSet, false);
    QCOMPARE(refused(Device, Reader, {}, "notWritable"), QString());
    behave(Device, &RowBehaviour::acceptSet, true);
}

// Written values answer every version and request, until reset or until the row stops.
void TstWritableRows::writtenValuesLastUntilResetOrStop()
{
    QVERIFY(m_rows.agents.setV3UserMayWrite(Device, "reader", true));
    QCOMPARE(set(Device, Reader, SysName + " s core-1").exitCode, 0);
    QVERIFY(m_rows.agents.setV3UserMayWrite(Device, "reader", false));
    const QString written = QStringLiteral("STRING: \"core-1\"");
    QCOMPARE(valueIn(m_rows.run(Device, "snmpgetnext", V1, {Sys + "4.0"})), written);
    QCOMPARE(
        valueIn(m_rows.run(Device, "snmpbulkget", Reader + QStringList{"-Cr1"}, {Sys + "4.0"})),
        written);
    m_rows.agents.resetWrittenValues(Device);
    QCOMPARE(get(Device, SysName), "STRING: \"Agent 1\"");
    set(Device, V2c, SysName + " s core-1");
    m_rows.agents.StopSnmpAgent(Device);
    QVERIFY(m_rows.start(Device));
    QCOMPARE(get(Device, SysName), "STRING: \"Agent 1\"");
}

// Where exceptions belong, the first missing object is named by noSuchName and the request's
// bindings come back; SNMPv3 still gets exceptions, and a plain row's Get names the last as ever.
void TstWritableRows::legacyV2cNamesTheFirstMissing()
{
    const QString end = QStringLiteral("1.3.6.1.6.3.99");
    const SnmpMessage get = makeRequest(SnmpPdu::V2cBase, {SysName, Sys + "5.1", Sys + "5.2"});
    SnmpMessage bulk =
        makeRequest(SnmpPdu::V2cBase + SnmpPdu::GetBulkRequest, {Sys + "1.0", Sys + "1.0", end});
    bulk.ErrorStatus = 1; // non-repeaters and max-repetitions, as a request encodes them
    bulk.ErrorIndex = 3;
    const std::tuple<Row, SnmpMessage, int> cases[] = {
        {Device, get, 2},
        {Device, makeRequest(SnmpPdu::V2cBase + 1, {SysName, end, end}), 2},
        {Device, bulk, 3},
        {Plain, bulk, 3}};
    for (const Row row : {Device, Plain})
        behave(row, &RowBehaviour::legacyV2c, true);
    for (const auto &[row, request, index] : cases) {
        const SnmpMessage got = m_rows.exchange(row, request).value_or(SnmpMessage());
        QCOMPARE(QList({got.ErrorStatus, got.ErrorIndex, int(got.Variables.size())}),
                 QList({SnmpError::NoSuchName, index, 3}));
        QCOMPARE(got.Variables.first().Type(), SnmpType::Null); // the request's, unanswered
    }
    const SnmpMessage plain = m_rows.exchange(Plain, get).value_or(SnmpMessage());
    QCOMPARE(plain.ErrorIndex, 3); // the last missing, as ever, and what it has answered
    QCOMPARE(plain.Variables.value(0).Value(), "Agent 3");
    const QString v3 = m_rows.run(Device, "snmpget", Reader, {Sys + "5.1"}).out;
    for (const Row row : {Device, Plain})
        behave(row, &RowBehaviour::legacyV2c, false);
    QVERIFY2(v3.contains("No Such Instance"), qPrintable(v3));
}

QTEST_GUILESS_MAIN(TstWritableRows)
#include "tst_writablerows.moc"
