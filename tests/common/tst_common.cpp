#include "common/core/mibheader.h"
#include "common/core/textlines.h"
#include "common/widgets/messageboxes.h"
#include "workbench/crlffix.h"

#include <QtTest>

class TstCommon : public QObject
{
    Q_OBJECT
private slots:
    void lineEnds_data();
    void lineEnds();
    void mibHeader_data();
    void mibHeader();
    void oneBoxAtATimeInOrder();
};

using Lines = QList<QByteArray>;

void TstCommon::lineEnds_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<Lines>("lines");
    QTest::newRow("empty") << QByteArray() << Lines{};
    QTest::newRow("lone cr") << QByteArray("a\rb") << Lines{"a", "b"};
    QTest::newRow("lf stays inside") << QByteArray("a\nb\n") << Lines{"a\nb\n"};
    QTest::newRow("empty lines") << QByteArray("\r\n\r\r\n") << Lines{"", "", ""};
    QTest::newRow("lf then cr") << QByteArray("a\n\rb") << Lines{"a\n", "b"};
    QTest::newRow("crlf at every offset")
        << QByteArray("abc\r\ndef\r\rg\r\n") << Lines{"abc", "def", "", "g"};
    QTest::newRow("nul bytes kept") << QByteArray("a\0b\r", 4) << Lines{QByteArray("a\0b", 3)};
}

void TstCommon::lineEnds()
{
    QFETCH(QByteArray, input);
    QFETCH(Lines, lines);
    QCOMPARE(splitLines(input), lines);
    // Small reads give the same lines: a CR LF may be split between two of them.
    for (int chunk = 2; chunk < 8; ++chunk) {
        QBuffer buffer(&input);
        buffer.open(QIODevice::ReadOnly);
        LineReader reader(buffer, chunk);
        Lines read;
        QByteArray line;
        while (reader.readLine(line))
            read.append(line);
        QCOMPARE(read, lines);
    }
    // Fix CRLF writes each line with its LFs made CR LF and a CR LF after it, also when the
    // text comes in pieces.
    QByteArray fixed;
    for (QByteArray line : lines)
        fixed += line.replace("\n", "\r\n") + "\r\n";
    QCOMPARE(fixCrLf(input), fixed);
    for (qsizetype size : {1, 2, 3}) {
        CrLfConverter converter;
        QByteArray out;
        for (qsizetype at = 0; at < input.size(); at += size)
            converter.convert(input.mid(at, size), out);
        converter.finish(out);
        QCOMPARE(out, fixed);
    }
}

void TstCommon::mibHeader_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("module");
    QTest::addColumn<Lines>("imports");
    // The IMPORTS line itself is not tested for ";": the clause runs to the next line with one.
    QTest::newRow("one-line clause")
        << QByteArray("A DEFINITIONS ::= BEGIN\rIMPORTS x FROM Y;\rz\rw;\rq;\r") << QByteArray("A")
        << Lines{"IMPORTS x FROM Y;", "z", "w;"};
    // A ";" in a comment does not end the clause; one after a comment closed by "--" does.
    QTest::newRow("comments in the clause")
        << QByteArray("IMPORTS\r\n  -- a FROM B; old\r\n  c -- was d -- FROM E;\r\nf;\r\n")
        << QByteArray() << Lines{"IMPORTS", "  -- a FROM B; old", "  c -- was d -- FROM E;"};
    QTest::newRow("comment mentions IMPORTS")
        << QByteArray("-- no IMPORTS here\r\nB DEFINITIONS ::= BEGIN\r\nIMPORTS c;\r\n")
        << QByteArray("B") << Lines{"-- no IMPORTS here", "B DEFINITIONS ::= BEGIN", "IMPORTS c;"};
    QTest::newRow("blanks trimmed, tabs kept")
        << QByteArray("  \tC\t DEFINITIONS\r\n") << QByteArray("\tC\t") << Lines{};
    QTest::newRow("blank lines in the clause")
        << QByteArray("IMPORTS\r\n\r\n  a FROM B\r\n\r\n  c FROM D;\r\nE\r\n") << QByteArray()
        << Lines{"IMPORTS", "", "  a FROM B", "", "  c FROM D;"};
    QTest::newRow("clause to end of file")
        << QByteArray("IMPORTS\r\na\r\nb") << QByteArray() << Lines{"IMPORTS", "a", "b"};
}

void TstCommon::mibHeader()
{
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, module);
    QFETCH(Lines, imports);
    QBuffer buffer(&text);
    buffer.open(QIODevice::ReadOnly);
    LineReader reader(buffer);
    const MibHeader header = scanMibHeader(reader);
    QCOMPARE(header.moduleName, module);
    QCOMPARE(header.importsLines, imports);
}

void TstCommon::oneBoxAtATimeInOrder()
{
    QueuedMessageBoxes boxes;
    boxes.showMessage("first");
    boxes.showMessage("second");
    boxes.showMessage("second"); // already waiting: not queued again
    boxes.showMessage("first");  // on screen, not waiting: queued
    QCOMPARE(boxes.textOnScreen(), QStringLiteral("first"));
    QCOMPARE(boxes.waitingTexts(), (QStringList{"second", "first"}));

    boxes.acceptCurrent();
    QTRY_COMPARE(boxes.textOnScreen(), QStringLiteral("second"));
    boxes.acceptCurrent();
    QTRY_COMPARE(boxes.textOnScreen(), QStringLiteral("first"));
    boxes.acceptCurrent();
    QTRY_VERIFY(boxes.waitingTexts().isEmpty());
    QTRY_COMPARE(boxes.textOnScreen(), QString());
}

QTEST_MAIN(TstCommon)
#include "tst_common.moc"
