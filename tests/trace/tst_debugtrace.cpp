#include "support/testwindow.h"

#include "app/helppage.h"
#include "trace/debugtrace.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

// Failing writes are tested through the agent rows, whose handlers must report them.
class TstDebugTrace : public QObject
{
    Q_OBJECT
private slots:
    void stampHasMinutesInTheMiddle();
    void recordFormatAndFileName();
    void tickingDeletesOldTraces();
};

void TstDebugTrace::stampHasMinutesInTheMiddle()
{
    QCOMPARE(traceStampAt(QTime(9, 7, 41)), QStringLiteral("09:07:41"));
    QCOMPARE(traceStampAt(QTime(23, 59, 7)), QStringLiteral("23:59:07"));
    QVERIFY(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d$").match(TraceStamp()).hasMatch());
}

void TstDebugTrace::recordFormatAndFileName()
{
    QTemporaryDir folder;
    QDir(folder.path()).mkdir("Debug");
    DebugTrace trace(folder.path());
    // Box texts are used as they stand, empty or with blanks.
    QCOMPARE(trace.traceFilePath(TraceKind::Tcp, "", "80 "), folder.path() + "/Debug/Tcp__80 .txt");
    const QString file = folder.path() + "/Debug/Snmp_127.0.0.1_171.txt";
    const QStringList record{QString::fromLatin1(" <-- x\xe9"), "\t\t1.3", ""};
    QVERIFY(trace.AppendTraceRecord(TraceKind::Snmp, "127.0.0.1", "171", record));
    QVERIFY(!QFile::exists(file)); // Debug Mode is off
    trace.setDebugMode(true);
    QVERIFY(trace.AppendTraceRecord(TraceKind::Snmp, "127.0.0.1", "171", record));
    QVERIFY(trace.AppendTraceRecord(TraceKind::Snmp, "127.0.0.1", "171", record));
    // One byte per character; what SNMP records hold is the agent rows' test.
    const QByteArray bytes = readFile(file);
    const QRegularExpression shape(
        QString::fromLatin1("^(\\d\\d:\\d\\d:\\d\\d <-- x\xe9\r\n\t\t1.3\r\n\r\n){2}$"));
    QVERIFY2(shape.match(QString::fromLatin1(bytes)).hasMatch(), bytes.constData());
}

// Which files match is start-up's test; here: when the switch deletes them.
void TstDebugTrace::tickingDeletesOldTraces()
{
    TestWindow test;
    FrmMain &window = test.open();
    const QString file = test.traceFolder() + "/Tcp_127.0.0.1_80.txt";
    writeFile(file, "x");
    window.help->chkDebugMode->click();
    QVERIFY(window.trace().debugMode());
    QVERIFY(!QFile::exists(file));
    // Unticking keeps what the first period wrote; ticking again deletes it.
    QVERIFY(window.trace().AppendTraceRecord(TraceKind::Tcp, "127.0.0.1", "80", {" x"}));
    window.help->chkDebugMode->click();
    QVERIFY(!window.trace().debugMode());
    QVERIFY(QFile::exists(file));
    window.help->chkDebugMode->click();
    QVERIFY(!QFile::exists(file));
}

QTEST_MAIN(TstDebugTrace)
#include "tst_debugtrace.moc"
