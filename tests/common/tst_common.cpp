#include "common/core/apptitle.h"
#include "common/core/mibheader.h"
#include "common/core/textlines.h"
#include "common/widgets/messageboxes.h"
#include "workbench/crlffix.h"

#include <QApplication>
#include <QMessageBox>
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
    void boxHasOkOnlyNoIconAndTheTitle();
};

using Lines = QList<QByteArray>;

void TstCommon::lineEnds_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<Lines>("lines");
    QTest::newRow("empty") << QByteArray() << Lines{};
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << Lines{"a", "b"};
    QTest::newRow("lone cr") << QByteArray("a\rb") << Lines{"a", "b"};
    QTest::newRow("lf stays inside") << QByteArray("a\nb\n") << Lines{"a\nb\n"};
    QTest::newRow("empty lines") << QByteArray("\r\n\r\r\n") << Lines{"", "", ""};
    QTest::newRow("lone lf at the end") << QByteArray("\r\r\n\n") << Lines{"", "", "\n"};
    QTest::newRow("lf then cr") << QByteArray("a\n\rb") << Lines{"a\n", "b"};
    QTest::newRow("8-bit") << QByteArray("\xE4\xFF\n") << Lines{"\xE4\xFF\n"};
    QTest::newRow("lf after crlf") << QByteArray("a\r\n\nb") << Lines{"a", "\nb"};
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
    QTest::newRow("lf only is one line")
        << QByteArray("D DEFINITIONS ::= BEGIN\nIMPORTS x FROM Y;\nEND\n") << QByteArray("D")
        << Lines{"D DEFINITIONS ::= BEGIN\nIMPORTS x FROM Y;\nEND\n"};
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

void TstCommon::boxHasOkOnlyNoIconAndTheTitle()
{
    QueuedMessageBoxes boxes;
    boxes.showMessage("hello");
    // showMessage returned at once although the box is up: the event loop keeps running.
    QMessageBox *box = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *candidate = qobject_cast<QMessageBox *>(widget);
            candidate && candidate->isVisible())
            box = candidate;
    }
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), applicationTitle());
    QCOMPARE(box->icon(), QMessageBox::NoIcon);
    QCOMPARE(box->standardButtons(), QMessageBox::StandardButtons(QMessageBox::Ok));
    boxes.acceptCurrent();
}

QTEST_MAIN(TstCommon)
#include "tst_common.moc"
