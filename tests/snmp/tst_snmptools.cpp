#include "snmptesthelpers.h"
#include "support/testwindow.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Real managers against started rows: what a user tries first.
class TstSnmpTools : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void getInBothVersions_data();
    void getInBothVersions();
    void getNextInBothVersions_data();
    void getNextInBothVersions();
    void walksFromTheirDefaultStart_data();
    void walksFromTheirDefaultStart();
    void setIsRefused();
    void controlledObject();
    void wrongCommunityGetsNoValues();

private:
    struct Run
    {
        int exitCode = -1;
        QString out;
        QString err;
    };
    // Options, then the row's address, then the operands.
    Run run(const QString &tool, const QStringList &options, const QStringList &operands,
            int row = 0);

    TestWindow m_test;
    QTemporaryDir m_persistent;
    std::array<quint16, 7> m_ports{};
};

static const QStringList Walk = {
    QStringLiteral(".1.3.6.1.2.1.1.1.0 = STRING: \"IP=127.0.0.1,Port=%1\""),
    QStringLiteral(".1.3.6.1.2.1.1.2.0 = OID: .1.3.6.1.4.1.7394.1.99.1"),
    QStringLiteral(".1.3.6.1.2.1.1.3.0 = Timeticks: "),
    QStringLiteral(".1.3.6.1.2.1.1.4.0 = STRING: \"Ola Nordmann\""),
    QStringLiteral(".1.3.6.1.2.1.1.5.0 = STRING: \"Agent 1\""),
    QStringLiteral(".1.3.6.1.2.1.1.6.0 = STRING: \"Lab 1\""),
    QStringLiteral(".1.3.6.1.2.1.1.7.0 = INTEGER: 76"),
};

void TstSnmpTools::initTestCase()
{
    if (QStandardPaths::findExecutable("snmpget").isEmpty())
        QSKIP("net-snmp tools are not installed (./scripts/test installs them)");
    FrmMain &window = m_test.open();
    for (int row : {0, 5}) {
        m_ports[row] = freeUdpPort();
        QVERIFY(startRow(window, row, m_ports[row]));
    }
}

TstSnmpTools::Run TstSnmpTools::run(const QString &tool, const QStringList &options,
                                    const QStringList &operands, int row)
{
    // Numeric names and no MIB files: the output does not depend on what is installed.
    const QStringList arguments = QStringList{"-On", "-m", "", "-t", "2", "-r", "1"} + options +
                                  QStringList{"127.0.0.1:" + QString::number(m_ports[row])} +
                                  operands;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("SNMP_PERSISTENT_DIR", m_persistent.path());
    environment.insert("SNMPCONFPATH", m_persistent.path());
    process.setProcessEnvironment(environment);
    process.start(tool, arguments);
    // The agent answers on this thread, so wait with the event loop running.
    const bool ended = waitFor([&] { return process.state() == QProcess::NotRunning; }, 15000);
    if (!ended) {
        process.kill();
        process.waitForFinished();
    }
    return Run{ended ? process.exitCode() : -1, QString::fromUtf8(process.readAllStandardOutput()),
               QString::fromUtf8(process.readAllStandardError())};
}

void TstSnmpTools::getInBothVersions_data()
{
    QTest::addColumn<QString>("version");
    QTest::newRow("v1") << "1";
    QTest::newRow("v2c") << "2c";
}

void TstSnmpTools::getInBothVersions()
{
    QFETCH(QString, version);
    const Run result = run("snmpget", {"-v" + version, "-c", "kettle"},
                           {"1.3.6.1.2.1.1.5.0", "1.3.6.1.2.1.1.7.0"});
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    QCOMPARE(result.out, Walk[4] + "\n" + Walk[6] + "\n");
}

void TstSnmpTools::getNextInBothVersions_data()
{
    getInBothVersions_data();
}

void TstSnmpTools::getNextInBothVersions()
{
    QFETCH(QString, version);
    const Run result = run("snmpgetnext", {"-v" + version, "-c", "kettle"}, {"1.3.6.1.2.1.1.5.0"});
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    QCOMPARE(result.out, Walk[5] + "\n");
}

void TstSnmpTools::walksFromTheirDefaultStart_data()
{
    QTest::addColumn<QString>("tool");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("start");
    const QString mib2 = "1.3.6.1.2.1"; // the tools' own default, written out
    QTest::newRow("snmpwalk v1 mib-2") << "snmpwalk" << QStringList{"-v1"} << mib2;
    QTest::newRow("snmpwalk v2c mib-2") << "snmpwalk" << QStringList{"-v2c"} << mib2;
    QTest::newRow("snmpwalk v2c system") << "snmpwalk" << QStringList{"-v2c"} << "1.3.6.1.2.1.1";
    QTest::newRow("snmpbulkwalk") << "snmpbulkwalk" << QStringList{"-v2c"} << mib2;
    QTest::newRow("snmpbulkwalk one by one")
        << "snmpbulkwalk" << QStringList{"-v2c", "-Cr1"} << mib2;
}

void TstSnmpTools::walksFromTheirDefaultStart()
{
    QFETCH(QString, tool);
    QFETCH(QStringList, options);
    QFETCH(QString, start);
    const Run result = run(tool, options + QStringList{"-c", "kettle"}, {start});
    QVERIFY2(result.exitCode == 0, qPrintable(result.out + result.err));
    QStringList lines = result.out.split('\n', Qt::SkipEmptyParts);
    lines.removeAll("End of MIB");
    QCOMPARE(lines.size(), 7);
    for (int i = 0; i < 7; ++i)
        QVERIFY2(lines[i].startsWith(i == 0 ? Walk[0].arg(m_ports[0]) : Walk[i]),
                 qPrintable(lines[i]));
}

void TstSnmpTools::setIsRefused()
{
    const Run result = run("snmpset", {"-v2c", "-c", "kettle"}, {"1.3.6.1.2.1.1.5.0", "s", "x"});
    QVERIFY(result.exitCode != 0);
    QVERIFY2(result.err.contains("notWritable"), qPrintable(result.out + result.err));
    const Run v1 = run("snmpset", {"-v1", "-c", "kettle"}, {"1.3.6.1.2.1.1.5.0", "s", "x"});
    QVERIFY(v1.exitCode != 0);
    QVERIFY2(v1.err.contains("noSuchName"), qPrintable(v1.out + v1.err));
    QCOMPARE(run("snmpget", {"-v2c", "-c", "kettle"}, {"1.3.6.1.2.1.1.5.0"}).out, Walk[4] + "\n");
}

void TstSnmpTools::controlledObject()
{
    const Run result = run("snmpget", {"-v2c", "-c", "kettle"}, {"1.3.6.1.2.1.2.2.1.8.1"}, 5);
    QVERIFY2(result.exitCode == 0, qPrintable(result.err));
    QCOMPARE(result.out, QStringLiteral(".1.3.6.1.2.1.2.2.1.8.1 = INTEGER: 1\n"));
    const Run elsewhere = run("snmpget", {"-v1", "-c", "kettle"}, {"1.3.6.1.2.1.2.2.1.8.1"});
    QVERIFY(elsewhere.exitCode != 0);
    QVERIFY2(elsewhere.err.contains("noSuchName"), qPrintable(elsewhere.err));
}

void TstSnmpTools::wrongCommunityGetsNoValues()
{
    const Run result = run("snmpget", {"-v2c", "-c", "public"}, {"1.3.6.1.2.1.1.5.0"});
    QVERIFY2(!result.out.contains("Agent"), qPrintable(result.out));
}

QTEST_MAIN(TstSnmpTools)
#include "tst_snmptools.moc"
