#include "support/testwindow.h"
#include "workbench/crlffix.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TstCrLfFix : public QObject
{
    Q_OBJECT
private slots:
    void bytes_data();
    void bytes();
    void fileIsReplacedKeepingItsPermissions();
    void fileWithNulIsLeftAlone();
};

void TstCrLfFix::bytes_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("lf only") << QByteArray("a\nb\n") << QByteArray("a\r\nb\r\n\r\n");
    QTest::newRow("cr only, no final break") << QByteArray("a\rb") << QByteArray("a\r\nb\r\n");
    QTest::newRow("already crlf") << QByteArray("a\r\nb\r\n") << QByteArray("a\r\nb\r\n");
    QTest::newRow("empty") << QByteArray() << QByteArray();
    QTest::newRow("no break at all") << QByteArray("abc") << QByteArray("abc\r\n");
    QTest::newRow("empty lines") << QByteArray("\r\r\n\n") << QByteArray("\r\n\r\n\r\n\r\n");
    QTest::newRow("lf then cr") << QByteArray("a\n\rb") << QByteArray("a\r\n\r\nb\r\n");
    QTest::newRow("ends in cr") << QByteArray("a\r") << QByteArray("a\r\n");
    QTest::newRow("8-bit bytes pass") << QByteArray("\xE4\xFF\n") << QByteArray("\xE4\xFF\r\n\r\n");
}

void TstCrLfFix::bytes()
{
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, expected);
    QCOMPARE(fixCrLf(input), expected);

    // Any split into chunks gives the same bytes (a CR LF may straddle two chunks).
    for (qsizetype size : {1, 2, 3}) {
        CrLfConverter converter;
        QByteArray out;
        for (qsizetype at = 0; at < input.size(); at += size)
            converter.convert(input.mid(at, size), out);
        converter.finish(out);
        QCOMPARE(out, expected);
    }
}

void TstCrLfFix::fileIsReplacedKeepingItsPermissions()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("IF-MIB.txt");
    QByteArray big;
    for (int i = 0; i < 200000; ++i) // several read chunks
        big += "line " + QByteArray::number(i) + (i % 3 ? "\n" : "\r\n");
    writeFile(path, big);
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(path, permissions));

    QCOMPARE(fixCrLfFile(path), FixCrLfOutcome::Fixed);
    QCOMPARE(readFile(path), fixCrLf(big));
    QCOMPARE(QFile::permissions(path) & 0x7077, permissions); // owner, group, others
    QVERIFY(!QFile::exists(path + "_tmp"));
}

void TstCrLfFix::fileWithNulIsLeftAlone()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("picture.bin");
    // The NUL comes after the first read chunk has already been converted and written.
    const QByteArray binary = QByteArray(3 << 20, '\n') + QByteArray("\0\x01\r", 3);
    writeFile(path, binary);
    QCOMPARE(fixCrLfFile(path), FixCrLfOutcome::NotText);
    QCOMPARE(readFile(path), binary);
    QVERIFY(!QFile::exists(path + "_tmp"));
}

QTEST_GUILESS_MAIN(TstCrLfFix)
#include "tst_crlffix.moc"
