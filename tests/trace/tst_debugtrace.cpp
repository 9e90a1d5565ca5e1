#include "support/testwindow.h"

#include "app/helppage.h"
#include "trace/debugtrace.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QtTest>

class TstDebugTrace : public QObject
{
    Q_OBJECT
private slots:
    void stampHasMinutesInTheMiddle();
    void recordFormatAndFileName();
    void nothingIsWrittenWhileOff();
    void unwritableTargetsFail();
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
    trace.setDebugMode(true);
    QCOMPARE(trace.traceFilePath(TraceKind::Tcp, "192.0.2.20", "8080"),
             folder.path() + "/Debug/Tcp_192.0.2.20_8080.txt");
    QCOMPARE(trace.traceFilePath(TraceKind::Tcp, "", "8080"),
             folder.path() + "/Debug/Tcp__8080.txt");
    // Box texts are used as they stand, blanks included.
    QCOMPARE(trace.traceFilePath(TraceKind::Snmp, " a", "171 "),
             folder.path() + "/Debug/Snmp_ a_171 .txt");

    QVERIFY(
        trace.AppendTraceRecord(TraceKind::Snmp, "127.0.0.1", "171",
                                {" --> Response\t7", "\t\t1.3.6.1.2.1.1.5.0\t\t2\tAgent 1", ""}));
    QVERIFY(trace.AppendTraceRecord(TraceKind::Snmp, "127.0.0.1", "171",
                                    {QString::fromLatin1(" <-- x\xe9")}));
    const QByteArray bytes = readFile(folder.path() + "/Debug/Snmp_127.0.0.1_171.txt");
    const QRegularExpression shape(QString::fromLatin1(
        "^\\d\\d:\\d\\d:\\d\\d --> Response\t7\r\n\t\t1.3.6.1.2.1.1.5.0\t\t2\tAgent 1\r\n\r\n"
        "\\d\\d:\\d\\d:\\d\\d <-- x\xe9\r\n$"));
    QVERIFY2(shape.match(QString::fromLatin1(bytes)).hasMatch(), bytes.constData());
    QVERIFY(bytes.contains("x\xe9\r\n")); // one byte per character
}

void TstDebugTrace::nothingIsWrittenWhileOff()
{
    QTemporaryDir folder;
    QDir(folder.path()).mkdir("Debug");
    DebugTrace trace(folder.path());
    QVERIFY(trace.AppendTraceRecord(TraceKind::Tcp, "127.0.0.1", "80", {" --- Disconnected", ""}));
    QVERIFY(QDir(folder.path() + "/Debug").isEmpty());
}

void TstDebugTrace::unwritableTargetsFail()
{
    QTemporaryDir folder;
    DebugTrace trace(folder.path());
    trace.setDebugMode(true);
    const Status status = trace.AppendTraceRecord(TraceKind::Tcp, "127.0.0.1", "80", {" x"});
    QVERIFY(!status.ok());
    QVERIFY(!status.failure().description.isEmpty());
    QVERIFY(!QDir(folder.path() + "/Debug").exists());

    // A full disk surfaces only when the buffered record is flushed.
    QDir(folder.path()).mkdir("Debug");
    QVERIFY(QFile::link("/dev/full", trace.traceFilePath(TraceKind::Tcp, "127.0.0.1", "80")));
    const Status full = trace.AppendTraceRecord(TraceKind::Tcp, "127.0.0.1", "80", {" x"});
    QVERIFY(!full.ok());
    QVERIFY(!full.failure().description.isEmpty());
}

void TstDebugTrace::tickingDeletesOldTraces()
{
    TestWindow test;
    FrmMain &window = test.open();
    writeFile(test.traceFolder() + "/Snmp_192.0.2.1_171.txt", "x");
    writeFile(test.traceFolder() + "/Tcp_192.0.2.1_80.txt", "x");
    writeFile(test.traceFolder() + "/readme.txt", "keep");
    window.help->chkDebugMode->click();
    QVERIFY(window.trace().debugMode());
    QCOMPARE(QDir(test.traceFolder()).entryList(QDir::Files), QStringList{"readme.txt"});

    // Unticking keeps what the first period wrote; ticking again deletes it.
    QVERIFY(window.trace().AppendTraceRecord(TraceKind::Tcp, "127.0.0.1", "80", {" x"}));
    window.help->chkDebugMode->click();
    QVERIFY(!window.trace().debugMode());
    QVERIFY(QFile::exists(test.traceFolder() + "/Tcp_127.0.0.1_80.txt"));
    window.help->chkDebugMode->click();
    QVERIFY(!QFile::exists(test.traceFolder() + "/Tcp_127.0.0.1_80.txt"));
}

QTEST_MAIN(TstDebugTrace)
#include "tst_debugtrace.moc"
