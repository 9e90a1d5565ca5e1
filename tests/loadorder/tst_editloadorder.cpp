#include "loadorder/loadorderactions.h"
#include "loadorder/loadorderedit.h"
#include "loadorder/loadorderfile.h"
#include "support/testwindow.h"
#include "workbench/mibfixpage.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QtTest>

class TstEditLoadOrder : public QObject
{
    Q_OBJECT
private slots:
    void movesKeepEveryLine();
    void addPlacesTheCurrentFile();
    void removeUpDownInTheWindow();
    void failedRewriteLeavesTheFileAndSaysSo();
};

namespace {

using Lines = QList<QByteArray>;

QStringList items(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

// A window whose file list holds the given files and whose LoadOrder.txt holds the given bytes.
struct EditWindow
{
    EditWindow(const QStringList &files, const QByteArray &loadOrder)
    {
        for (const QString &file : files)
            writeFile(test.startDirectory() + "/" + file, "x\r\n");
        window = &test.open();
        page = window->mibFix;
        writeFile(path(), loadOrder);
        edit("Reload"); // no edit, but the list shows the file
    }
    QString path() const { return test.programFolder() + "/LoadOrder.txt"; }
    QByteArray bytes() const { return readFile(path()); }
    void edit(const QString &key) { window->loadOrderActions->EditLoadOrder(key); }
    void setCurrentFile(const QString &name)
    {
        page->lbxFile->setCurrentRow(items(page->lbxFile).indexOf(name));
    }

    TestWindow test;
    FrmMain *window = nullptr;
    MibFixPage *page = nullptr;
};

} // namespace

void TstEditLoadOrder::movesKeepEveryLine()
{
    // No line beyond the 999th is lost.
    Lines many;
    for (int i = 1; i <= 1200; ++i)
        many.append("f" + QByteArray::number(i));
    const Lines moved = moveMatchesUp(many, "F1100");
    QCOMPARE(moved.size(), 1200);
    QCOMPARE(moved.mid(1098, 2), (Lines{"f1100", "f1099"}));
    QCOMPARE(moved.last(), QByteArray("f1200"));
    // An empty current entry only matches empty lines; nothing is made up past the end.
    QCOMPARE(moveMatchesUp({"A", "B"}, ""), (Lines{"A", "B"}));
    // Only letter case is ignored: trailing blanks make another name.
    QCOMPARE(removeMatches({"A.txt ", "a.TXT"}, "A.txt"), Lines{"A.txt "});
}

void TstEditLoadOrder::addPlacesTheCurrentFile()
{
    EditWindow edit({"a.txt", "b.txt", "c.txt", "d.txt"}, {});
    QFile::remove(edit.path());
    edit.setCurrentFile("b.txt");
    edit.window->loadOrderActions->tbrRightLeft_ButtonClick("Add");
    QCOMPARE(edit.bytes(), QByteArray("b.txt\r\n"));
    QCOMPARE(edit.page->lbxLoadOrder->currentRow(), 0);
    QCOMPARE(edit.page->lblLoadOrderCounter->text(), QStringLiteral("1"));
    QVERIFY(edit.page->tbrRemove->isEnabled());

    // With no current entry the file goes last, with one it goes directly below it.
    edit.setCurrentFile("d.txt");
    edit.page->lbxLoadOrder->setCurrentRow(-1);
    edit.edit("Add");
    edit.setCurrentFile("c.txt");
    edit.page->lbxLoadOrder->setCurrentRow(0);
    edit.edit("Add");
    QCOMPARE(edit.bytes(), QByteArray("b.txt\r\nc.txt\r\nd.txt\r\n"));
    QCOMPARE(edit.page->lbxLoadOrder->currentItem()->text(), QStringLiteral("c.txt"));

    // A name already there in another letter case is refused silently, without a reload.
    edit.page->lbxLoadOrder->item(0)->setText("stale");
    edit.setCurrentFile("d.txt");
    writeFile(edit.path(), "b.txt\r\nD.TXT"); // a last line without CR LF, edited by hand
    edit.edit("Add");
    QCOMPARE(edit.page->lbxLoadOrder->item(0)->text(), QStringLiteral("stale"));
    // A new name is not glued to such a last line; no current file adds nothing.
    edit.setCurrentFile("a.txt");
    edit.page->lbxLoadOrder->setCurrentRow(-1);
    edit.edit("Add");
    edit.page->lbxFile->setCurrentRow(-1);
    edit.edit("Add");
    QCOMPARE(edit.bytes(), QByteArray("b.txt\r\nD.TXT\r\na.txt\r\n"));
    QVERIFY(edit.test.messages.texts.isEmpty());
    QVERIFY(!QFile::exists(edit.test.programFolder() + "/LoadOrder.tmp"));
}

void TstEditLoadOrder::removeUpDownInTheWindow()
{
    EditWindow edit({}, "a.txt\r\nB.txt\r\nc.txt\r\nb.TXT\r\nd.txt\r\n");
    edit.page->lbxLoadOrder->setCurrentRow(1);
    edit.window->loadOrderActions->tbrUpDown_ButtonClick("Down");
    QCOMPARE(edit.bytes(), QByteArray("a.txt\r\nc.txt\r\nB.txt\r\nd.txt\r\nb.TXT\r\n"));
    QCOMPARE(edit.page->lbxLoadOrder->currentRow(), 2);

    edit.page->lbxLoadOrder->setCurrentRow(1); // c.txt; the buttons still follow the last edit
    edit.page->tbrUp->trigger();
    QCOMPARE(edit.bytes(), QByteArray("c.txt\r\na.txt\r\nB.txt\r\nd.txt\r\nb.TXT\r\n"));
    QCOMPARE(edit.page->lbxLoadOrder->currentRow(), 0);
    QVERIFY(!edit.page->tbrUp->isEnabled());

    // The first line never moves up; keys are exact: another toolbar's key or a differently
    // spelt one does nothing.
    edit.edit("Up");
    edit.window->loadOrderActions->tbrUpDown_ButtonClick("Remove");
    edit.window->loadOrderActions->tbrUpDown_ButtonClick("up");
    QCOMPARE(edit.bytes(), QByteArray("c.txt\r\na.txt\r\nB.txt\r\nd.txt\r\nb.TXT\r\n"));

    edit.page->lbxLoadOrder->setCurrentRow(2);
    edit.page->tbrRemove->trigger();
    QCOMPARE(edit.bytes(), QByteArray("c.txt\r\na.txt\r\nd.txt\r\n"));
    QCOMPARE(edit.page->lbxLoadOrder->currentRow(), -1);
    QCOMPARE(edit.page->lblLoadOrderCounter->text(), QStringLiteral("3"));
    QVERIFY(!edit.page->tbrRemove->isEnabled());
    edit.page->lbxLoadOrder->setCurrentRow(2);
    edit.edit("Down"); // the last line stays, written once
    QCOMPARE(edit.bytes(), QByteArray("c.txt\r\na.txt\r\nd.txt\r\n"));

    // Without LoadOrder.txt nothing is written and the list empties.
    QFile::remove(edit.path());
    edit.page->lbxLoadOrder->setCurrentRow(0);
    for (const char *key : {"Remove", "Up", "Down"}) {
        edit.edit(key);
        QVERIFY(!QFile::exists(edit.path()));
        QCOMPARE(edit.page->lblLoadOrderCounter->text(), QStringLiteral("0"));
    }
    QVERIFY(edit.test.messages.texts.isEmpty());
}

void TstEditLoadOrder::failedRewriteLeavesTheFileAndSaysSo()
{
    const QByteArray before = "a.txt\r\nb.txt\r\nc.txt\r\n";
    EditWindow edit({"d.txt"}, before);
    // Something in LoadOrder.tmp's way stops the rewrite, for any user.
    const QString temp = edit.test.programFolder() + "/LoadOrder.tmp";
    QVERIFY(QDir().mkpath(temp + "/inside"));
    edit.page->lbxLoadOrder->item(0)->setText("stale");
    edit.page->lbxLoadOrder->setCurrentRow(2);
    edit.edit("Up");
    QCOMPARE(edit.bytes(), before);
    QCOMPARE(items(edit.page->lbxLoadOrder), (QStringList{"a.txt", "b.txt", "c.txt"}));
    QCOMPARE(edit.page->lbxLoadOrder->currentRow(), 2);
    QCOMPARE(edit.test.messages.texts.size(), 1);
    QVERIFY(edit.test.messages.texts.first().contains("LoadOrder.tmp"));
    QDir(temp).removeRecursively();

    // A read-only LoadOrder.txt is left alone, also by a privileged user.
    QFile::setPermissions(edit.path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    edit.setCurrentFile("d.txt");
    edit.edit("Add");
    edit.edit("Down");
    QCOMPARE(edit.bytes(), before);
    QCOMPARE(edit.page->lbxLoadOrder->currentRow(), 2);
    QCOMPARE(edit.page->lblLoadOrderCounter->text(), QStringLiteral("3"));
    QCOMPARE(edit.test.messages.texts.size(), 3);
    QVERIFY(edit.test.messages.texts.last().contains("read-only"));
    QVERIFY(!QFile::exists(temp));

    // A program folder that cannot hold files fails the same way.
    QTemporaryDir dir;
    writeFile(dir.filePath("program"), "a file, not a folder");
    QVERIFY(!replaceLoadOrder(dir.filePath("program"), {"a.txt"}).ok());

    // An unreadable LoadOrder.txt is reported, not taken as empty.
    QFile::remove(edit.path());
    QVERIFY(QDir().mkpath(edit.path()));
    edit.edit("Add");
    QCOMPARE(edit.test.messages.texts.size(), 4);
    QCOMPARE(edit.page->lbxLoadOrder->count(), 0);
}

QTEST_MAIN(TstEditLoadOrder)
#include "tst_editloadorder.moc"
