#include "support/testrows.h"

#include "snmp/answers/countermotion.h"
#include "snmp/codec/snmptypes.h"
#include "snmp/recording/recordedtree.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QString Uptime = QStringLiteral("1.3.6.1.2.1.1.3.0");
const QString IfEntry = QStringLiteral("1.3.6.1.2.1.2.2.1.");
const QString IfXEntry = QStringLiteral("1.3.6.1.2.1.31.1.1.1.");

// Interface 1 at 1 Gbit/s; interface 2 at 100 Gbit/s through ifHighSpeed, its twins recorded
// with low halves that disagree; counters no table describes, one close to 2^64; a gauge.
const QByteArray Recording = ".1.3.6.1.2.1.2.2.1.5.1 = Gauge32: 1000000000\n"
                             ".1.3.6.1.2.1.2.2.1.5.2 = Gauge32: 4294967295\n"
                             ".1.3.6.1.2.1.2.2.1.10.1 = Counter32: 1234\n"
                             ".1.3.6.1.2.1.2.2.1.10.2 = Counter32: 5\n"
                             ".1.3.6.1.2.1.2.2.1.11.1 = Counter32: 99\n"
                             ".1.3.6.1.2.1.2.2.1.14.1 = Counter32: 3\n"
                             ".1.3.6.1.2.1.2.2.1.16.2 = Counter32: 4294967290\n"
                             ".1.3.6.1.2.1.31.1.1.1.6.1 = Counter64: 12884903122\n"
                             ".1.3.6.1.2.1.31.1.1.1.6.2 = Counter64: 77777777777777\n"
                             ".1.3.6.1.2.1.31.1.1.1.15.2 = Gauge32: 100000\n"
                             ".1.3.6.1.4.1.99999.1.1 = Counter32: 7\n"
                             ".1.3.6.1.4.1.99999.1.2 = Counter64: 18446744073709551000\n"
                             ".1.3.6.1.4.1.99999.1.3 = Gauge32: 42\n";

// Values by identifier in net-snmp's numeric output (a walk or a tool's answer); Timeticks by
// their hundredths.
QMap<QString, quint64> valuesOf(const QString &text)
{
    static const QRegularExpression line(QStringLiteral("^\\.([0-9.]+) = \\w+: \\(?(\\d+)"),
                                         QRegularExpression::MultilineOption);
    QMap<QString, quint64> values;
    for (const QRegularExpressionMatch &m : line.globalMatch(text))
        values.insert(m.captured(1), m.captured(2).toULongLong());
    return values;
}

struct RowCase
{
    const char *name;
    bool advance;
    int factor;
};
const RowCase Rows[] = {{"still", false, 1}, {"x1", true, 1}, {"x1000", true, 1000}};

} // namespace

// Rows serving one recording still, at ×1 and at ×1000, read by net-snmp's tools as a monitoring
// system reads them: counter and sysUpTime.0 in one request, twice, a second or more apart.
class TstAdvancingCounters : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void risesByTheRateOverSysUpTime_data();
    void risesByTheRateOverSysUpTime();
    void v1NeverSeesCounter64();

private:
    QMap<QString, quint64> poll(int row)
    {
        const ToolRun got = m_rows.run(row, "snmpget", {"-v2c", "-c", "kettle"},
                                       QStringList{Uptime} + m_recorded.keys());
        if (got.exitCode != 0)
            qWarning("%s", qPrintable(got.err));
        return valuesOf(got.out);
    }
    quint64 predicted(int row, const QString &oid, qint64 ticks) const
    {
        const RecordedTree &tree = *m_rows.agents.servedRecording(row).tree;
        const QByteArray content = ber::encodeOid(oid).value();
        const QByteArrayView element = tree.valueElement(tree.find(content));
        const CounterMotion motion = m_rows.agents.counterMotion(row);
        if (!CounterMotion::isCounter(element))
            return m_recorded[oid];
        const quint64 value = counterValueAt(motion.baseOf(content, element),
                                             motion.rateOf(content), Rows[row].factor, ticks);
        return quint8(element[0]) == SnmpTag::Counter64 ? value : value & 0xffffffffu;
    }

    TestRows m_rows;
    QTemporaryDir m_folder;
    QMap<QString, quint64> m_recorded;
    QMap<QString, quint64> m_first[std::size(Rows)], m_second[std::size(Rows)];
};

void TstAdvancingCounters::initTestCase()
{
    if (QStandardPaths::findExecutable("snmpget").isEmpty())
        QSKIP("net-snmp is not installed (./scripts/test installs it)");
    const QString path = m_folder.filePath("device.walk");
    writeFile(path, Recording);
    m_recorded = valuesOf(QString::fromLatin1(Recording));
    for (int row = 0; row < int(std::size(Rows)); ++row) {
        QVERIFY(m_rows.start(row));
        QVERIFY(m_rows.serve(row, path));
        RowBehaviour behaviour;
        behaviour.countersAdvance = Rows[row].advance;
        behaviour.speedFactor = Rows[row].factor;
        m_rows.agents.setBehaviour(row, behaviour);
    }
    QVERIFY2(m_rows.messages.texts.isEmpty(), qPrintable(m_rows.messages.texts.join('\n')));
    // Every row read twice, more than a second apart, so each sees its uptime move.
    for (int row = 0; row < int(std::size(Rows)); ++row)
        m_first[row] = poll(row);
    QTest::qWait(1100);
    for (int row = 0; row < int(std::size(Rows)); ++row)
        m_second[row] = poll(row);
}

void TstAdvancingCounters::risesByTheRateOverSysUpTime_data()
{
    QTest::addColumn<int>("row");
    for (int row = 0; row < int(std::size(Rows)); ++row)
        QTest::newRow(Rows[row].name) << row;
}

void TstAdvancingCounters::risesByTheRateOverSysUpTime()
{
    QFETCH(int, row);
    const RowCase &c = Rows[row];
    const QMap<QString, quint64> &first = m_first[row], &second = m_second[row];
    QCOMPARE(first.size(), m_recorded.size() + 1);
    QCOMPARE(second.size(), m_recorded.size() + 1);
    const qint64 ticks = qint64(second[Uptime] - first[Uptime]);
    QVERIFY(ticks >= 100);
    for (const QString &oid : m_recorded.keys()) {
        QCOMPARE(first[oid],
                 c.advance ? predicted(row, oid, qint64(first[Uptime])) : m_recorded[oid]);
        QCOMPARE(second[oid],
                 c.advance ? predicted(row, oid, qint64(second[Uptime])) : m_recorded[oid]);
    }
    if (!c.advance)
        return;
    const CounterMotion motion = m_rows.agents.counterMotion(row);
    for (const int n : {1, 2}) {
        const QString octets = IfEntry + "10." + QString::number(n);
        const QString wide = IfXEntry + "6." + QString::number(n);
        // Exactly the rate over the sysUpTime.0 delta, as a manager computes it.
        const CounterRate rate = motion.rateOf(ber::encodeOid(wide).value());
        QCOMPARE(rate.seconds, quint64(1));
        QCOMPARE(second[wide] - first[wide], rate.count * quint64(c.factor) * quint64(ticks) / 100);
        // The twins agree: the 32-bit one from the 64-bit one's recorded value.
        for (const auto *poll : {&first, &second})
            QCOMPARE((*poll)[octets], (*poll)[wide] & 0xffffffffu);
        // Utilisation as a manager computes it from ifSpeed, or from ifHighSpeed past 32 bits.
        const quint64 ifSpeed = m_recorded[IfEntry + "5." + QString::number(n)];
        const double speed = ifSpeed == 4294967295u
                                 ? m_recorded[IfXEntry + "15." + QString::number(n)] * 1e6
                                 : double(ifSpeed);
        const double utilisation = (second[wide] - first[wide]) * 8.0 * 100 / ticks / speed;
        QVERIFY2(utilisation <= c.factor, qPrintable(QString::number(utilisation)));
        if (c.factor == 1000 && n == 2) {
            // A fast line at ×1000: its Counter32 wrapped between the polls, read as predicted.
            QVERIFY(second[wide] >> 32 > first[wide] >> 32);
        }
    }
}

void TstAdvancingCounters::v1NeverSeesCounter64()
{
    const ToolRun walk = m_rows.run(2, "snmpwalk", {"-v1", "-c", "kettle"}, {"1.3.6.1"});
    QVERIFY2(walk.exitCode == 0, qPrintable(walk.err));
    QVERIFY(walk.out.contains(" = Counter32: "));
    QVERIFY(!walk.out.contains(" = Counter64: "));
    const ToolRun get = m_rows.run(2, "snmpget", {"-v1", "-c", "kettle"}, {IfXEntry + "6.1"});
    QVERIFY(!get.out.contains(" = Counter64: "));
}

QTEST_GUILESS_MAIN(TstAdvancingCounters)
#include "tst_advancingcounters.moc"
