#include "support/testrows.h"

#include "snmp/recording/recordedtree.h"

#include <QtTest>

namespace {

const QString Uptime = QStringLiteral(".1.3.6.1.2.1.1.3.0 = ");
const QString PastTheEnd =
    QStringLiteral("No more variables left in this MIB View (It is past the end of the MIB tree)");

// The SNMP group's counters a device row serves live, over what the recording says.
bool isLive(const QString &object)
{
    static const QRegularExpression live(QStringLiteral("^\\.1\\.3\\.6\\.1\\.2\\.1\\.11\\."
                                                        "(1|3|4|5|6|30|31|32)\\.0 = "));
    return live.match(object).hasMatch();
}

// Whole objects of walk output: a value may go on over lines.
QStringList objectsOf(const QString &walk)
{
    QStringList objects;
    for (const QString &line : walk.split('\n', Qt::SkipEmptyParts)) {
        if (line == QLatin1String("End of MIB"))
            continue;
        if (line.startsWith('.') || objects.isEmpty())
            objects.append(line);
        else
            objects.last() += '\n' + line;
    }
    return objects;
}

QString oidOf(const QString &object)
{
    return object.section(QStringLiteral(" = "), 0, 0);
}

// One hand-made object of every type and tricky form: its OID|TAG|VALUE line, its walk form
// and what snmpget prints for it.
const std::tuple<const char *, const char *, const char *> Samples[] = {
    {"2|-2147483648", "INTEGER: -2147483648", "INTEGER: -2147483648"},
    {"2|2147483647", "INTEGER: up(2147483647)", "INTEGER: 2147483647"},
    {"4|", "\"\"", "\"\""},
    {"4|say \"hi\" \\ ok", "STRING: \"say \\\"hi\\\" \\\\ ok\"",
     "STRING: \"say \\\"hi\\\" \\\\ ok\""},
    {"4x|6f6e650a74776f", "STRING: \"one\ntwo\"", "STRING: \"one\ntwo\""},
    {"4x|000102030405060708090a0b0c0d0e0fff10",
     "Hex-STRING: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \nFF 10 ",
     "Hex-STRING: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \nFF 10 "},
    {"4x|8040", "BITS: 80 40 a(0) b(9)", "Hex-STRING: 80 40 "},
    {"5|", "NULL", "NULL"},
    {"6|1.3.6.1.4.1.4294967295", "OID: .1.3.6.1.4.1.4294967295", "OID: .1.3.6.1.4.1.4294967295"},
    {"64|255.255.255.255", "IpAddress: 255.255.255.255", "IpAddress: 255.255.255.255"},
    {"64x|c0000201", "Network Address: C0:00:02:01", "IpAddress: 192.0.2.1"},
    {"65|4294967295", "Counter32: 4294967295", "Counter32: 4294967295"},
    {"66|0", "Gauge32: 0 seconds", "Gauge32: 0"},
    {"67|4294967295", "Timeticks: (4294967295) 497 days, 2:27:52.95",
     "Timeticks: (4294967295) 497 days, 2:27:52.95"},
    {"67|100", "100", "Timeticks: (100) 0:00:01.00"}, // as -Ot prints it
    {"68x|9f78043fc00000", "Opaque: Float: 1.5", "Opaque: Float: 1.500000"},
    {"70|18446744073709551615", "Counter64: 18446744073709551615",
     "Counter64: 18446744073709551615"},
};
const QString SampleBase = QStringLiteral("1.3.6.1.4.1.99999.4294967295.");

} // namespace

// Row 0 serves a walk of snmpd's own tree; rows 1 and 2 hand-made recordings.
class TstRecordedRows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init() { m_rows.messages.texts.clear(); }
    void replaysTheRecordedWalk_data();
    void replaysTheRecordedWalk();
    void everyTypeInBothFormats();
    void getBulkEdges_data();
    void getBulkEdges();
    void getBulkIsCutToOneDatagram();
    void typedObjectUptimeAndCounter64();

private:
    ToolRun atRow(int row, const QString &tool, const QStringList &options,
                  const QStringList &operands = {}, bool mibs = false)
    {
        return m_rows.run(row, tool, options + QStringList{"-c", "kettle"}, operands, mibs);
    }

    TestRows m_rows;
    QTemporaryDir m_folder;
    QProcess m_snmpd;
    QStringList m_recorded;  // the walk's objects, sysUpTime.0 left out
    QStringList m_walkSnmpd; // snmpwalk's arguments for snmpd
};

void TstRecordedRows::initTestCase()
{
    const QString snmpd = QStandardPaths::findExecutable("snmpd", {"/usr/sbin"});
    if (snmpd.isEmpty() || QStandardPaths::findExecutable("snmpwalk").isEmpty())
        QSKIP("net-snmp is not installed (./scripts/test installs it)");
    for (int row = 0; row < SnmpAgents::RowCount; ++row)
        QVERIFY(m_rows.start(row));

    // snmpd with its standard tree, all seven system objects set, read-only on loopback; it
    // cannot bind port 0 and tell us.
    const QString conf = m_folder.filePath("snmpd.conf");
    writeFile(conf, "rocommunity public 127.0.0.1\nsysServices 72\n");
    const quint16 port = freeUdpPort();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SNMP_PERSISTENT_DIR", m_folder.path());
    environment.insert("MIBS", "");
    m_snmpd.setProcessEnvironment(environment);
    m_snmpd.setStandardOutputFile(QProcess::nullDevice());
    m_snmpd.setStandardErrorFile(QProcess::nullDevice());
    m_snmpd.start(snmpd, {"-f", "-Lo", "-C", "-c", conf, "udp:127.0.0.1:" + QString::number(port)});
    const QStringList walk{"-v2c", "-c", "public", "127.0.0.1:" + QString::number(port)};
    ToolRun recorded;
    QVERIFY(QTest::qWaitFor([&] { return (recorded = runTool("snmpwalk", walk)).exitCode == 0; },
                            15000));
    const QString path = m_folder.filePath("snmpd.walk");
    writeFile(path, recorded.out.toUtf8());
    QVERIFY2(m_rows.serve(0, path), "the walk never loaded");
    QVERIFY2(m_rows.messages.texts.isEmpty(), qPrintable(m_rows.messages.texts.join('\n')));
    for (const QString &object : objectsOf(recorded.out))
        if (!object.startsWith(Uptime))
            m_recorded.append(object);
    QVERIFY(m_recorded.size() > 500);
    m_walkSnmpd = walk;
}

void TstRecordedRows::cleanupTestCase()
{
    m_snmpd.kill();
    m_snmpd.waitForFinished();
}

void TstRecordedRows::replaysTheRecordedWalk_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("mibs"); // recorded anew through the real MIB files
    QTest::newRow("snmpwalk v2c") << "snmpwalk" << QStringList{"-v2c"} << false;
    QTest::newRow("snmpbulkwalk") << "snmpbulkwalk" << QStringList{"-v2c"} << false;
    QTest::newRow("snmpwalk v1 sees no Counter64") << "snmpwalk" << QStringList{"-v1"} << false;
    // Where hints, enumerations and units shape the output.
    QTest::newRow("MIBs") << "snmpwalk" << QStringList{"-v2c"} << true;
    QTest::newRow("MIBs -Oe -OU -Ot -Ob")
        << "snmpwalk" << QStringList{"-v2c", "-Oe", "-OU", "-Ot", "-Ob"} << true;
}

void TstRecordedRows::replaysTheRecordedWalk()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, options);
    QFETCH(bool, mibs);
    QStringList expected = m_recorded;
    if (mibs) {
        const ToolRun recorded = runTool("snmpwalk", options.mid(1) + m_walkSnmpd, true);
        QVERIFY2(recorded.exitCode == 0, qPrintable(recorded.err));
        writeFile(m_folder.filePath("snmpd-mibs.walk"), recorded.out.toUtf8());
        QVERIFY(m_rows.serve(4, m_folder.filePath("snmpd-mibs.walk")));
        QVERIFY2(m_rows.messages.texts.isEmpty(), qPrintable(m_rows.messages.texts.join('\n')));
        expected = objectsOf(recorded.out);
        expected.removeIf(
            [](const QString &o) { return o.startsWith(Uptime) || o.endsWith(PastTheEnd); });
    }
    const ToolRun replay = atRow(mibs ? 4 : 0, tool, options, {}, mibs);
    QVERIFY2(replay.exitCode == 0, qPrintable(replay.err));
    QStringList objects;
    for (const QString &object : objectsOf(replay.out))
        if (!object.startsWith(Uptime) && !object.endsWith(PastTheEnd))
            objects.append(object);
    if (options[0] == "-v1")
        expected.removeIf([](const QString &o) { return o.contains(" = Counter64: "); });
    // The live counters stand in their place whether the recording has them or not.
    QCOMPARE(std::count_if(objects.begin(), objects.end(), isLive), 8);
    objects.removeIf(isLive);
    expected.removeIf(isLive);
    QCOMPARE(objects.size(), expected.size());
    for (qsizetype i = 0; i < objects.size(); ++i)
        QCOMPARE(objects[i], expected[i]);
}

void TstRecordedRows::everyTypeInBothFormats()
{
    QByteArray pipe, walk;
    QStringList oids;
    QString printed;
    for (const auto &[asPipe, asWalk, asPrinted] : Samples) {
        const QString oid = SampleBase + QString::number(oids.size() + 1);
        oids.append(oid);
        pipe += oid.toLatin1() + '|' + asPipe + "\r\n";
        walk += '.' + oid.toLatin1() + " = " + asWalk + '\n';
        printed += '.' + oid + " = " + asPrinted + '\n';
    }
    // Listed backwards: a recording need not be in order.
    QByteArrayList reversed = pipe.split('\n');
    std::reverse(reversed.begin(), reversed.end());
    writeFile(m_folder.filePath("device.txt"), reversed.join('\n'));
    writeFile(m_folder.filePath("device.walk"), walk);
    QVERIFY(m_rows.serve(1, m_folder.filePath("device.txt")));
    QVERIFY(m_rows.serve(2, m_folder.filePath("device.walk")));
    QVERIFY2(m_rows.messages.texts.isEmpty(), qPrintable(m_rows.messages.texts.join('\n')));
    QCOMPARE(m_rows.agents.servedRecording(1).tree->size(), 17);
    for (int row : {1, 2}) {
        const ToolRun got = atRow(row, "snmpget", {"-v2c"}, oids);
        QCOMPARE(got.out, printed);
    }
}

void TstRecordedRows::getBulkEdges_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QList<int>>("from");    // positions in the recording
    QTest::addColumn<QList<int>>("answers"); // positions answered; -1 past the end
    const int last = 0;                      // stands for the recording's last object
    QTest::newRow("one of each") << QStringList{"-Cn1", "-Cr2"} << QList<int>{10, 20}
                                 << QList<int>{11, 21, 22};
    QTest::newRow("past the end") << QStringList{"-Cn0", "-Cr3"} << QList<int>{last}
                                  << QList<int>{-1};
}

void TstRecordedRows::getBulkEdges()
{
    QFETCH(QStringList, options);
    QFETCH(QList<int>, from);
    QFETCH(QList<int>, answers);
    const auto at = [this](int position) {
        return position == 0 ? m_recorded.last() : m_recorded[position];
    };
    QStringList operands;
    for (int position : from)
        operands.append(oidOf(at(position)));
    QString expected;
    for (int position : answers)
        expected +=
            (position < 0 ? oidOf(m_recorded.last()) + " = " + PastTheEnd : at(position)) + '\n';
    const ToolRun got = atRow(0, "snmpbulkget", QStringList{"-v2c"} + options, operands);
    QCOMPARE(got.out, expected);
}

void TstRecordedRows::getBulkIsCutToOneDatagram()
{
    const ToolRun got =
        atRow(0, "snmpbulkget", {"-v2c", "-Cn0", "-Cr5000"}, {oidOf(m_recorded[0])});
    QStringList objects = objectsOf(got.out);
    objects.removeIf([](const QString &o) { return o.startsWith(Uptime); });
    QVERIFY2(objects.size() > 200 && objects.size() < 5000, qPrintable(got.err));
    objects.removeIf(isLive);
    QStringList recorded = m_recorded.mid(1);
    recorded.removeIf(isLive);
    QCOMPARE(objects, recorded.mid(0, objects.size()));
}

void TstRecordedRows::typedObjectUptimeAndCounter64()
{
    // Row 5's typed object is recorded too; the typed value wins for Get and GetNext.
    const QString typed = TypedObjects[0].oid;
    m_rows.agents.setTypedObject(0, {typed, "Integer32", "2"});
    writeFile(m_folder.filePath("switch.txt"),
              "1.3.6.1.2.1.1.3.0|67|4294967200\n1.3.6.1.2.1.2.2.1.7.1|2|1\n" + typed.toLatin1() +
                  "|2|1\n1.3.6.1.2.1.31.1.1.1.6.1|70|5\n");
    QVERIFY(m_rows.serve(5, m_folder.filePath("switch.txt")));
    QCOMPARE(atRow(5, "snmpget", {"-v2c"}, {typed}).out, "." + typed + " = INTEGER: 2\n");
    QCOMPARE(atRow(5, "snmpgetnext", {"-v2c"}, {"1.3.6.1.2.1.2.2.1.7.1"}).out,
             "." + typed + " = INTEGER: 2\n");

    // The recorded clock runs on from its value and wraps at 32 bits.
    const qint64 since =
        m_rows.agents.agentTable()[5].AgentStartTime.secsTo(QDateTime::currentDateTimeUtc());
    const QString uptime = atRow(5, "snmpget", {"-v2c", "-Ot"}, {"1.3.6.1.2.1.1.3.0"}).out;
    const qint64 ticks = uptime.section(" = ", 1).trimmed().toLongLong();
    QVERIFY2(ticks == (4294967200 + since * 100) % 4294967296 ||
                 ticks == (4294967200 + (since + 1) * 100) % 4294967296,
             qPrintable(uptime));

    // SNMPv1 cannot get a Counter64 (the v1 replay shows that walks skip them).
    const ToolRun get = atRow(5, "snmpget", {"-v1"}, {"1.3.6.1.2.1.31.1.1.1.6.1"});
    QVERIFY2(get.err.contains("noSuchName"), qPrintable(get.out + get.err));
}

QTEST_GUILESS_MAIN(TstRecordedRows)
#include "tst_recordedrows.moc"
