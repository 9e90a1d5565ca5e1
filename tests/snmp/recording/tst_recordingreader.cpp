#include "support/testfiles.h"

#include "snmp/codec/bercodec.h"
#include "snmp/codec/oidorder.h"
#include "snmp/recording/largeallocator.h"
#include "snmp/recording/recordingreader.h"

#include <QtTest>

class TstRecordingReader : public QObject
{
    Q_OBJECT
private slots:
    void valuesAreEncoded_data();
    void valuesAreEncoded();
    void badFilesSayWhereAndWhat_data();
    void badFilesSayWhereAndWhat();
    void treeIsInArcOrder();
    void largeBlocksAreWhole();
    void unreadableAndCancelledReadings();
    void mutatedFilesAreReadOrRefused();

private:
    QTemporaryDir m_folder;
};

namespace {

Result<RecordedTree> readBytes(const QTemporaryDir &folder, const QByteArray &bytes,
                               const RecordingProgress &progress = {})
{
    writeFile(folder.filePath("device.snmpwalk"), bytes);
    return readRecording(folder.filePath("device.snmpwalk"), progress);
}

QString dotted(QByteArrayView element)
{
    return ber::decodeOid(ber::contentOf(element)).value();
}

} // namespace

void TstRecordingReader::valuesAreEncoded_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("element"); // hex of the value element of the one object

    const auto row = [](const char *name, const char *text, const char *element) {
        QTest::newRow(name) << QByteArray(text) << QByteArray(element);
    };
    // Forms whose printed values a real snmpget already compares are left to that test; these
    // are the edge encodings and the forms it never sees.
    row("string over lines", ".1.3.6 = STRING: \"one\r\ntwo\nthree\"\n",
        "040e6f6e650d0a74776f0a7468726565");
    row("hex over lines", ".1.3.6 = Hex-STRING: 00 FF 0a \n10 20 \n.1.3.7 = \"\"\n",
        "040500ff0a1020");
    row("integer limits", ".1.3.6 = INTEGER: -2147483648\n", "020480000000");
    row("units", ".1.3.6 = Gauge32: 4294967295 milliseconds\n", "420500ffffffff");
    row("counter64 max", ".1.3.6 = Counter64: 18446744073709551615\n", "460900ffffffffffffffff");
    row("hinted address", ".1.3.6 = STRING: 0:c:29:ab:cd:ef\n", "0406000c29abcdef");
    row("hinted date", ".1.3.6 = STRING: 2026-12-7,13:30:15.5,+1:0\n",
        "040b07ea0c070d1e0f052b0100");
    row("hinted text over lines", ".1.3.6 = STRING: a \r\nb\n.1.3.7 = \"\"\n", "040561200d0a62");
    row("wrong type", ".1.3.6 = Wrong Type (should be INTEGER): Gauge32: 7\n", "420107");
    row("skipped lines",
        ".1.3.5 = No Such Object available on this agent at this OID\r\n"
        ".1.3.6 = Counter32: 1\r\nEnd of MIB\r\n",
        "410101");
    row("lone CR ends lines", ".1.3.6 = Counter32: 2\r.1.3.5 = No Such Instance\r", "410102");
    row("pipe string", "1.3.6|4|a|b \n", "0404617c6220");
    row("pipe hex", ".1.3.6|4x|00ff 10\n", "040300ff10");
    row("pipe counter64", "1.3.6|70|4294967296\n", "46050100000000");
}

void TstRecordingReader::valuesAreEncoded()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, element);
    const Result<RecordedTree> tree = readBytes(m_folder, text);
    QVERIFY2(tree.ok(), qPrintable(tree ? QString() : tree.failure().description));
    const qsizetype at = tree.value().find(QByteArray::fromHex("2b06"));
    QVERIFY(at >= 0);
    QCOMPARE(tree.value().valueElement(at).toByteArray().toHex(), element);
}

void TstRecordingReader::badFilesSayWhereAndWhat_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("message");

    const auto row = [](const char *name, const QByteArray &text, const char *message) {
        QTest::newRow(name) << text << QString::fromLatin1(message);
    };
    row("only skipped", ".1.3 = No Such Object\n", "device.snmpwalk: no objects");
    row("bad integer", ".1.3.6 = INTEGER: 2147483648\n",
        "device.snmpwalk, line 1: bad INTEGER value \" 2147483648\"");
    row("bad pipe tag", "1.3.6|3|1\n", "device.snmpwalk, line 1: unknown type \"3\"");
    row("bad pipe value", "1.3.6|64|1.2.3\n",
        "device.snmpwalk, line 1: bad IpAddress value \"1.2.3\"");
    row("bad identifier", ".1.3.x = INTEGER: 1\n",
        "device.snmpwalk, line 1: bad identifier value \"1.3.x\"");
    row("duplicate", "1.3.6|2|1\n1.3.5|2|1\n1.3.6|2|2\n",
        "device.snmpwalk, line 3: duplicate identifier .1.3.6 (also on line 1)");
    // Adjacent duplicates leave a file in order: sorting is not what may find them. The line is
    // where the object starts, also after a value over several lines.
    row("adjacent duplicate", "1.3.5|2|1\n1.3.6|2|1\n.1.3.6|2|2\n1.3.7|2|1\n",
        "device.snmpwalk, line 3: duplicate identifier .1.3.6 (also on line 2)");
    row("last two lines alike", ".1.3.5 = STRING: \"a\nb\"\n.1.3.6 = \"\"\n\n.1.3.6 = INTEGER: 1\n",
        "device.snmpwalk, line 5: duplicate identifier .1.3.6 (also on line 3)");
    row("symbolic", "SNMPv2-MIB::sysDescr.0 = STRING: x\n",
        "device.snmpwalk, line 1: symbolic identifier \"SNMPv2-MIB::sysDescr.0\"; record the "
        "walk with numeric identifiers (snmpwalk -On)");
    row("binary", QByteArray::fromHex("7f454c4602010000"),
        "device.snmpwalk, line 1: not text (binary data)");
    row("unclosed", ".1.3.6 = STRING: \"open\n",
        "device.snmpwalk, line 1: a string that is never closed");
    row("huge line", ".1.3.6 = STRING: \"" + QByteArray(3 << 20, 'a') + "\"\n",
        "device.snmpwalk, line 1: a line longer than 1048576 bytes");
}

void TstRecordingReader::badFilesSayWhereAndWhat()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, message);
    const Result<RecordedTree> tree = readBytes(m_folder, text);
    QVERIFY(!tree.ok());
    QCOMPARE(tree.failure().description, message);
}

// Bytes alone misorder arcs of different lengths (2^14 takes three bytes, 256 two), and long
// shared prefixes put the first difference anywhere: a few thousand identifiers in random order
// must come out, and be searched, as their arcs order.
void TstRecordingReader::treeIsInArcOrder()
{
    QRandomGenerator random(5);
    const quint32 arcs[] = {0, 1, 5, 127, 128, 256, 16383, 16384, 4294967295u};
    const auto pick = [&] {
        QString oid = QStringLiteral("1.3.6.1.4.1.9.9");
        for (int n = random.bounded(1, 5); n > 0; --n)
            oid += QLatin1Char('.') + QString::number(arcs[random.bounded(9)]);
        return oid;
    };
    const auto arcsOf = [](const QString &oid) {
        QList<quint64> list;
        for (const QString &arc : oid.split(QLatin1Char('.')))
            list.append(arc.toULongLong());
        return list;
    };
    QMap<QList<quint64>, QString> expected;
    QByteArray text;
    while (expected.size() < 3000) {
        const QString oid = pick();
        if (!expected.contains(arcsOf(oid)))
            text += oid.toLatin1() + "|2|1\n";
        expected.insert(arcsOf(oid), oid);
    }
    const Result<RecordedTree> read = readBytes(m_folder, text);
    QVERIFY(read.ok());
    const RecordedTree &tree = read.value();
    QCOMPARE(tree.size(), expected.size());
    const QStringList order = expected.values();
    for (qsizetype i = 0; i < tree.size(); ++i)
        QCOMPARE(dotted(tree.oidElement(i)), order[i]);
    for (int probe = 0; probe < 3000; ++probe) {
        const QString oid = pick();
        const QByteArray content = ber::encodeOid(oid).value();
        const auto after = expected.upperBound(arcsOf(oid));
        QCOMPARE(tree.upperBound(content), std::distance(expected.begin(), after));
        QCOMPARE(tree.find(content), expected.contains(arcsOf(oid))
                                         ? std::distance(expected.begin(), after) - 1
                                         : RecordedTree::NotFound);
    }
}

// Blocks around the huge-page size are trimmed out of a larger mapping: every byte asked for
// must be there, and nothing of a neighbour.
void TstRecordingReader::largeBlocksAreWhole()
{
    const std::size_t huge = std::size_t(2) << 20;
    std::vector<std::vector<char, LargeAllocator<char>>> blocks;
    for (const std::size_t size : {huge - 1, huge, huge + 1, 5 * huge + 3, std::size_t(100)})
        blocks.emplace_back(size, char(size % 251));
    for (const auto &block : blocks) {
        QVERIFY(std::all_of(block.begin(), block.end(),
                            [&](char c) { return c == char(block.size() % 251); }));
    }
}

void TstRecordingReader::unreadableAndCancelledReadings()
{
    // A folder opens on some systems and fails at the first read: either way it is refused.
    const Result<RecordedTree> folder = readRecording(m_folder.path());
    QVERIFY(!folder.ok());
    QVERIFY2(folder.failure().description.startsWith(QFileInfo(m_folder.path()).fileName()),
             qPrintable(folder.failure().description));

    QByteArray text;
    for (int i = 1; i <= 20000; ++i)
        text += "1.3.6." + QByteArray::number(i) + "|2|1\n";
    int calls = 0;
    const Result<RecordedTree> tree = readBytes(
        m_folder, text, [&](qint64 done, qint64 total) { return ++calls < 2 && done <= total; });
    QVERIFY(!tree.ok());
    QCOMPARE(tree.failure().number, RecordingFailure::Cancelled);
}

// Every read of the line buffer is bounded: damaged files give a tree or a message, never a
// read past the end (run under the sanitizers to see one).
void TstRecordingReader::mutatedFilesAreReadOrRefused()
{
    const QByteArray valid[] = {
        ".1.3.6.1 = STRING: \"a\\\"b\nc\"\r\n.1.3.6.2 = Hex-STRING: 00 0A \nFF \n"
        ".1.3.6.3 = Timeticks: (5) 0:00:00.05\r.1.3.6.4 = OID: .1.3\n",
        "1.3.6.5|4x|00ff\n1.3.6.6|70|1\r\n1.3.6.7|4|a|b\n"};
    const char alphabet[] = "\r\n\" .|:\\(0123456789xAF";
    QRandomGenerator random(5);
    int read = 0;
    for (int round = 0; round < 400; ++round) {
        QByteArray text = valid[round % 2];
        for (int cut = random.bounded(1, 4); cut > 0; --cut) {
            const int at = random.bounded(int(text.size()));
            if (random.bounded(2))
                text[at] = alphabet[random.bounded(int(sizeof alphabet - 1))];
            else
                text.remove(at, random.bounded(1, 8));
        }
        const Result<RecordedTree> tree = readBytes(m_folder, text);
        read += tree.ok();
        QVERIFY(tree.ok() || tree.failure().description.startsWith("device.snmpwalk"));
    }
    QVERIFY(read > 0); // some damage leaves a valid file
}

QTEST_GUILESS_MAIN(TstRecordingReader)
#include "tst_recordingreader.moc"
