#include "support/testfiles.h"

#include "snmp/answers/countermotion.h"
#include "snmp/codec/bercodec.h"
#include "snmp/recording/recordingreader.h"

#include <QTemporaryDir>
#include <QtTest>

// Recorded counters grown with uptime, without a row: what each rate may be, twins, wraps.
class TstCounterMotion : public QObject
{
    Q_OBJECT
private slots:
    void ratesFitTheLine_data();
    void ratesFitTheLine();
    void twinsAgreeOnEveryPair();
    void valueFollowsUptimeAlone();
    void otherCountersMoveAndNothingElse();
};

namespace {

const QString IfEntry = QStringLiteral("1.3.6.1.2.1.2.2.1.");
const QString IfXEntry = QStringLiteral("1.3.6.1.2.1.31.1.1.1.");

QByteArray content(const QString &dotted)
{
    return ber::encodeOid(dotted).value();
}

double perSecond(CounterRate rate)
{
    return double(rate.count) / double(rate.seconds);
}

quint64 valueOf(QByteArrayView element)
{
    return ber::decodeUnsigned(ber::contentOf(element)).value();
}

// The recording in walk form, read into a tree as a row reads it.
RecordedTree treeOf(const QByteArray &walk)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("device.walk"));
    writeFile(path, walk);
    Result<RecordedTree> tree = readRecording(path);
    if (!tree)
        qFatal("%s", qPrintable(tree.failure().description));
    return std::move(tree.value());
}

} // namespace

void TstCounterMotion::ratesFitTheLine_data()
{
    QTest::addColumn<QByteArray>("walk"); // what interface 7 says of its speed
    QTest::addColumn<quint64>("speed");   // bit/s a manager takes from it
    const QByteArray speed = ".1.3.6.1.2.1.2.2.1.5.7 = Gauge32: ";
    const QByteArray high = ".1.3.6.1.2.1.31.1.1.1.15.7 = Gauge32: ";
    QTest::newRow("ifSpeed") << speed + "10000000\n" << quint64(10'000'000);
    QTest::newRow("ifSpeed full, ifHighSpeed") << speed + "4294967295\n" + high + "40000\n"
                                               << quint64(40'000'000'000);
    QTest::newRow("ifSpeed full alone") << speed + "4294967295\n" << quint64(4294967295);
    QTest::newRow("ifHighSpeed alone") << high + "25000\n" << quint64(25'000'000'000);
    QTest::newRow("no speed") << QByteArray() << CounterMotion::DefaultSpeed;
    QTest::newRow("speed 0: nothing moves") << speed + "0\n" << quint64(0);
}

void TstCounterMotion::ratesFitTheLine()
{
    QFETCH(QByteArray, walk);
    QFETCH(quint64, speed);
    const RecordedTree tree = treeOf(walk + ".1.3.6.1.2.1.1.5.0 = STRING: \"switch\"\n");
    QCOMPARE(CounterMotion(&tree).interfaceSpeed(QByteArray(1, 7)), speed);
    // Each row draws its own rates: every draw must fit.
    for (quint32 seed = 0; seed < 16; ++seed) {
        const CounterMotion motion(&tree, seed);
        const auto rate = [&](const QString &column) {
            return perSecond(motion.rateOf(content(column + ".7")));
        };
        for (const auto &[octets, unicast, multicast, broadcast, nonUnicast] :
             {std::tuple{IfEntry + "10", IfEntry + "11", IfXEntry + "2", IfXEntry + "3",
                         IfEntry + "12"},
              std::tuple{IfEntry + "16", IfEntry + "17", IfXEntry + "4", IfXEntry + "5",
                         IfEntry + "18"}}) {
            // A manager's utilisation stays within 100 % of what it reads as the speed.
            QVERIFY(rate(octets) * 8 <= double(speed));
            if (speed == 0) {
                for (const QString &column : {unicast, multicast, broadcast, nonUnicast})
                    QCOMPARE(rate(column), 0.0);
                continue;
            }
            QVERIFY(rate(octets) * 8 >= double(speed) / 1000);
            QVERIFY2(rate(unicast) * 64 < rate(octets), qPrintable(unicast));
            for (const QString &rarer : {multicast, broadcast, nonUnicast})
                QVERIFY2(rate(rarer) > 0 && rate(rarer) < rate(unicast), qPrintable(rarer));
        }
        // Errors, discards and unknown protocols: at most one a minute.
        for (int column : {13, 14, 15, 19, 20})
            QVERIFY(rate(IfEntry + QString::number(column)) <= 1.0 / 60);
    }
}

void TstCounterMotion::twinsAgreeOnEveryPair()
{
    // Interface 3 recorded in both widths, the low halves disagreeing; interface 4 in 32 bits.
    const QStringList narrow{IfEntry + "10", IfEntry + "11", IfXEntry + "2", IfXEntry + "3",
                             IfEntry + "16", IfEntry + "17", IfXEntry + "4", IfXEntry + "5"};
    QByteArray walk;
    for (int pair = 0; pair < 8; ++pair) {
        walk += "." + narrow[pair].toLatin1() + ".3 = Counter32: " + QByteArray::number(pair) +
                "\n." + narrow[pair].toLatin1() + ".4 = Counter32: 4000000" +
                QByteArray::number(pair) + "\n." + IfXEntry.toLatin1() +
                QByteArray::number(6 + pair) + ".3 = Counter64: " +
                QByteArray::number((quint64(pair + 1) << 32) + 4294967000u - pair) + '\n';
    }
    const RecordedTree tree = treeOf(walk);
    const CounterMotion motion(&tree, 5);
    for (int pair = 0; pair < 8; ++pair) {
        const QByteArray wide = content(IfXEntry + QString::number(6 + pair) + ".3");
        const QByteArray thin = content(narrow[pair] + ".3");
        QCOMPARE(motion.rateOf(thin), motion.rateOf(wide));
        const QByteArray alone = content(narrow[pair] + ".4");
        const auto at = [&](const QByteArray &oid, qint64 ticks, int factor) {
            return valueOf(
                motion.advanced(oid, tree.valueElement(tree.find(oid)), ticks, factor).view());
        };
        QCOMPARE(at(alone, 0, 1), 40'000'000u + quint64(pair));
        // The 32-bit one wraps where the 64-bit one passes each 2^32.
        for (const qint64 ticks : {0LL, 100LL, 8'640'000LL, 3'153'600'000LL}) {
            for (const int factor : {1, 1000}) {
                QCOMPARE(at(thin, ticks, factor), at(wide, ticks, factor) & 0xffffffffu);
                QVERIFY(at(alone, ticks, factor) <= 0xffffffffu);
            }
        }
    }
}

void TstCounterMotion::valueFollowsUptimeAlone()
{
    // Every rise is the rate times the uptime between, whatever came before.
    const CounterRate rate{123'456'789, 1};
    for (const int factor : {1, 10, 1000}) {
        for (const qint64 from : {0LL, 100LL, 5'000'000LL}) {
            const quint64 start = counterValueAt(42, rate, factor, from);
            QCOMPARE(counterValueAt(42, rate, factor, from + 300) - start,
                     rate.count * quint64(factor) * 3);
        }
    }
    // A slow counter steps once per period, not before.
    QCOMPARE(counterValueAt(7, {1, 60}, 1, 5900), 7u);
    QCOMPARE(counterValueAt(7, {1, 60}, 1, 6000), 8u);
    QCOMPARE(counterValueAt(7, {1, 60}, 1000, 100), 7u + 16);
    // A 64-bit counter wraps at 2^64, also on products past 64 bits.
    QCOMPARE(counterValueAt(~quint64(0) - 9, {7, 1}, 1, 200), 4u);
    const quint64 fast = 12'500'000'000; // a 100 Gbit/s line, full
    const quint64 tenYears = 315'360'000;
    QCOMPARE(counterValueAt(5, {fast, 1}, 1000, qint64(tenYears) * 100),
             5 + fast * 1000 * tenYears); // unsigned arithmetic: modulo 2^64
    // A clock set back before the start reads as the start.
    QCOMPARE(counterValueAt(9, rate, 1000, -500), 9u);
}

void TstCounterMotion::otherCountersMoveAndNothingElse()
{
    const RecordedTree tree = treeOf(".1.3.6.1.4.1.99999.1.1 = Gauge32: 5\n"
                                     ".1.3.6.1.4.1.99999.1.2 = Timeticks: (5) 0:00:00.05\n"
                                     ".1.3.6.1.4.1.99999.1.3 = INTEGER: 5\n"
                                     ".1.3.6.1.2.1.2.2.1.10.1 = Gauge32: 5\n");
    const CounterMotion motion(&tree, 0);
    for (qsizetype i = 0; i < tree.size(); ++i)
        QVERIFY(motion.advanced(tree.oidContent(i), tree.valueElement(i), 10'000, 1000).size == 0);

    // Counters no table describes: each at its own steady rate, another on another row.
    QSet<quint64> rates;
    int changedWithRow = 0;
    for (int n = 1; n <= 20; ++n) {
        const QByteArray oid = content("1.3.6.1.4.1.99999.2." + QString::number(n));
        const CounterRate rate = motion.rateOf(oid);
        QVERIFY(rate.count >= 1 && rate.count <= 1000 && rate.seconds == 1);
        rates.insert(rate.count);
        changedWithRow += CounterMotion(&tree, 1).rateOf(oid) != rate;
    }
    QVERIFY(rates.size() > 15);
    QVERIFY(changedWithRow > 15);
}

QTEST_GUILESS_MAIN(TstCounterMotion)
#include "tst_countermotion.moc"
