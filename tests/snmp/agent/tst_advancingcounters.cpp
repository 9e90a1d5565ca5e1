#include "support/testrows.h"

#include "snmp/answers/countermotion.h"
#include "snmp/answers/notificationcontent.h"
#include "snmp/codec/snmptypes.h"
#include "snmp/recording/recordedtree.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

namespace {

const QString Uptime = QStringLiteral("1.3.6.1.2.1.1.3.0");
const QString If = QStringLiteral("1.3.6.1.2.1.2.2.1."),
              IfX = QStringLiteral("1.3.6.1.2.1.31.1.1.1.");
const int Factors[] = {1, 1000}; // rows 0 and 1
// The 32-bit member of each twin pair, in pair order: the 64-bit one is IfX + (6 + pair).
const QStringList Narrow{If + "10", If + "11", IfX + "2", IfX + "3",
                         If + "16", If + "17", IfX + "4", IfX + "5"};
// What interfaces 1 to 6 say of their speed, and the bit/s a manager takes from that.
const QByteArray Speeds = ".1.3.6.1.2.1.2.2.1.5.1 = Gauge32: 1000000000\n"
                          ".1.3.6.1.2.1.2.2.1.5.2 = Gauge32: 4294967295\n"
                          ".1.3.6.1.2.1.31.1.1.1.15.2 = Gauge32: 100000\n"
                          ".1.3.6.1.2.1.2.2.1.5.3 = Gauge32: 4294967295\n"
                          ".1.3.6.1.2.1.31.1.1.1.15.4 = Gauge32: 25000\n"
                          ".1.3.6.1.2.1.2.2.1.5.6 = Gauge32: 0\n";
const double Speed[] = {1e9, 1e11, 4294967295.0, 2.5e10, 1e9, 0};

// Interfaces 1 and 2 in ifIndex; interface 1 with every twin pair, each 64-bit low half its own;
// interface 2's octets on a fast line; an error counter; counters no table describes, one close to
// 2^64; a gauge.
QByteArray recording()
{
    QByteArray walk = ".1.3.6.1.2.1.2.2.1.1.1 = INTEGER: 1\n"
                      ".1.3.6.1.2.1.2.2.1.1.2 = INTEGER: 2\n" +
                      Speeds +
                      ".1.3.6.1.2.1.2.2.1.10.2 = Counter32: 5\n"
                      ".1.3.6.1.2.1.31.1.1.1.6.2 = Counter64: 77777777777777\n"
                      ".1.3.6.1.2.1.2.2.1.14.1 = Counter32: 3\n"
                      ".1.3.6.1.4.1.99999.1.1 = Counter32: 7\n"
                      ".1.3.6.1.4.1.99999.1.2 = Counter64: 18446744073709551000\n"
                      ".1.3.6.1.4.1.99999.1.3 = Gauge32: 42\n";
    for (int p = 0; p < 8; ++p)
        walk += QString::asprintf(".%s.1 = Counter32: %d\n.%s%d.1 = Counter64: %llu\n",
                                  qPrintable(Narrow[p]), p, qPrintable(IfX), 6 + p,
                                  (quint64(p + 1) << 32) + 4294967000u - p)
                    .toLatin1();
    return walk;
}

// Values by identifier in net-snmp's numeric output; Timeticks by their hundredths.
QMap<QString, quint64> valuesOf(const QString &text)
{
    static const QRegularExpression line(QStringLiteral("^\\.([0-9.]+) = \\w+: \\(?(\\d+)"),
                                         QRegularExpression::MultilineOption);
    QMap<QString, quint64> values;
    for (const QRegularExpressionMatch &m : line.globalMatch(text))
        values.insert(m.captured(1), m.captured(2).toULongLong());
    return values;
}

} // namespace

// One recording on rows at ×1 and ×1000, read as a monitoring system reads it:
// counters and sysUpTime.0 in one snmpget, twice, more than a second apart.
class TstAdvancingCounters : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void risesByTheRateOverSysUpTime();
    void ratesFitWhatTheyCount();
    void v1NeverSeesCounter64();
    void aDownInterfaceStops();

private:
    QMap<QString, quint64> poll(int row)
    {
        const QStringList oids = QStringList{Uptime} + m_recorded.keys();
        return valuesOf(m_rows.run(row, "snmpget", {"-v2c", "-c", "kettle"}, oids).out);
    }
    // What the row's motion says the object reads at that uptime.
    quint64 predicted(int row, const QString &oid, quint64 ticks) const
    {
        const RecordedTree &tree = *m_rows.agents.servedRecording(row).tree;
        const QByteArray content = ber::encodeOid(oid).value();
        const QByteArrayView element = tree.valueElement(tree.find(content));
        const CounterMotion motion = m_rows.agents.counterMotion(row);
        if (!CounterMotion::isCounter(element))
            return m_recorded[oid];
        const quint64 value = counterValueAt(motion.baseOf(content, element),
                                             motion.rateOf(content), Factors[row], qint64(ticks));
        return quint8(element[0]) == SnmpTag::Counter64 ? value : value & 0xffffffffu;
    }

    TestRows m_rows;
    QTemporaryDir m_folder;
    QMap<QString, quint64> m_recorded;
};

void TstAdvancingCounters::initTestCase()
{
    if (QStandardPaths::findExecutable("snmpget").isEmpty())
        QSKIP("net-snmp is not installed (./scripts/test installs it)");
    writeFile(m_folder.filePath("device.walk"), recording());
    m_recorded = valuesOf(QString::fromLatin1(recording()));
    for (const int row : {0, 1}) {
        QVERIFY(m_rows.start(row));
        QVERIFY(m_rows.serve(row, m_folder.filePath("device.walk")));
        m_rows.agents.setBehaviour(row, {.countersAdvance = true, .speedFactor = Factors[row]});
    }
}

void TstAdvancingCounters::risesByTheRateOverSysUpTime()
{
    const QMap<QString, quint64> first[2] = {poll(0), poll(1)};
    QMap<QString, quint64> second[2];
    QTest::qWait(1100);
    for (const int row : {0, 1}) {
        second[row] = poll(row);
        QCOMPARE(second[row].size(), m_recorded.size() + 1);
        const quint64 ticks = second[row][Uptime] - first[row][Uptime];
        QVERIFY(ticks >= 100);
        for (const QString &oid : m_recorded.keys()) {
            QCOMPARE(first[row][oid], predicted(row, oid, first[row][Uptime]));
            QCOMPARE(second[row][oid], predicted(row, oid, second[row][Uptime]));
        }
        for (int p = 0; p < 8; ++p) // the twins agree
            QCOMPARE(second[row][Narrow[p] + ".1"],
                     second[row][IfX + QString::number(6 + p) + ".1"] & 0xffffffffu);
        for (const auto &[octets, speed] :
             {std::pair{IfX + "6.1", 1e9}, std::pair{IfX + "10.1", 1e9},
              std::pair{IfX + "6.2", 1e11}}) {
            // Utilisation from the sysUpTime.0 delta: within the line at ×1.
            const double rise = double(second[row][octets] - first[row][octets]);
            QVERIFY(rise * 8 * 100 / double(ticks) <= speed * Factors[row]);
            // At ×1000 the fast line's Counter32 wrapped in between.
            QVERIFY(row == 0 || speed < 1e11 || rise > 4294967296.0);
        }
    }
}

void TstAdvancingCounters::ratesFitWhatTheyCount()
{
    QSet<double> others; // counters no table describes: each row its own rate
    for (const int row : {0, 1}) {
        const CounterMotion motion = m_rows.agents.counterMotion(row);
        const auto at = [&](const QString &oid) {
            const CounterRate rate = motion.rateOf(ber::encodeOid(oid).value());
            return double(rate.count) / double(rate.seconds);
        };
        for (int n = 1; n <= 6; ++n) {
            const QString i = '.' + QString::number(n);
            const double speed = Speed[n - 1];
            QCOMPARE(double(motion.interfaceSpeed(QByteArray(1, char(n)))), speed);
            // In, then out: octets within the line, frames of 64 octets or more, rarer kinds rarer.
            for (const QStringList &c :
                 {QStringList{If + "10", If + "11", IfX + "2", IfX + "3", If + "12"},
                  QStringList{If + "16", If + "17", IfX + "4", IfX + "5", If + "18"}}) {
                const double octets = at(c[0] + i), unicast = at(c[1] + i);
                QVERIFY(octets * 8 <= speed && octets * 8 >= speed / 1000);
                QVERIFY(speed == 0 ? unicast == 0 : unicast * 64 < octets);
                for (const QString &rarer : c.mid(2))
                    QVERIFY(speed == 0 ? at(rarer + i) == 0
                                       : at(rarer + i) > 0 && at(rarer + i) < unicast);
            }
        }
        for (int n = 1; n <= 200; ++n) { // errors, discards, unknown protocols: slow or still
            for (const int column : {13, 14, 15, 19, 20})
                QVERIFY(at(If + QString::number(column) + '.' + QString::number(n)) <= 1.0 / 60);
        }
        others.insert(at("1.3.6.1.4.1.99999.1.1"));
    }
    QCOMPARE(others.size(), 2);
}

void TstAdvancingCounters::v1NeverSeesCounter64()
{
    const ToolRun walk = m_rows.run(1, "snmpwalk", {"-v1", "-c", "kettle"}, {"1.3.6.1"});
    QVERIFY2(walk.exitCode == 0 && walk.out.contains(" = Counter32: "), qPrintable(walk.err));
    QVERIFY(!walk.out.contains(" = Counter64: "));
}

void TstAdvancingCounters::aDownInterfaceStops()
{
    SnmpAgents &agents = m_rows.agents;
    const QString octets1 = IfX + "6.1", octets2 = IfX + "6.2";
    QVERIFY(agents.sendNotification(1, {StandardTrap::LinkDown, 1, {}}));
    const QMap<QString, quint64> down = poll(1);
    QTest::qWait(1100);
    const QMap<QString, quint64> later = poll(1);
    for (int p = 0; p < 8; ++p) {
        const QString wide = IfX + QString::number(6 + p) + ".1";
        QCOMPARE(later[wide], down[wide]);
        QCOMPARE(later[Narrow[p] + ".1"], down[Narrow[p] + ".1"]);
    }
    QVERIFY(later[octets2] > down[octets2]);
    // A second linkDown leaves it where the first stopped it.
    QVERIFY(agents.sendNotification(1, {StandardTrap::LinkDown, 1, {}}));
    QCOMPARE(poll(1)[octets1], down[octets1]);

    // Back up, it goes on from where it stopped: a second or more behind its unstopped self.
    QVERIFY(agents.sendNotification(1, {StandardTrap::LinkUp, 1, {}}));
    QTest::qWait(1100);
    const QMap<QString, quint64> up = poll(1);
    QVERIFY(up[octets1] > later[octets1]);
    QVERIFY(up[octets1] <= predicted(1, octets1, up[Uptime] - 100));
    QCOMPARE(up[octets2], predicted(1, octets2, up[Uptime]));
}

QTEST_GUILESS_MAIN(TstAdvancingCounters)
#include "tst_advancingcounters.moc"
