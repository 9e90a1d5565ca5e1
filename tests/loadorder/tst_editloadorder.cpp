#include "common/textlines.h"
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
#include <QToolBar>
#include <QtTest>

class TstEditLoadOrder : public QObject
{
    Q_OBJECT
private slots:
    void movesSwapEveryMatchingLine();
    void upKeepsEveryLineOfALongFile();
    void addPlacesTheCurrentFile();
    void addRefusesWhatIsThere();
    void removeUpDownInTheWindow();
    void editsWithoutAFileWriteNothing();
    void failedRewriteLeavesTheFileAndSaysSo();
    void readOnlyLoadOrderIsNotChanged();
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

int rowOf(const QListWidget *list, const QString &text)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->text() == text)
            return i;
    }
    return -1;
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
        reload();
    }
    QString path() const { return test.programFolder() + "/LoadOrder.txt"; }
    QByteArray bytes() const { return readFile(path()); }
    // The list shows the file after any edit; an unknown key edits nothing but reloads.
    void reload() { window->loadOrderActions->EditLoadOrder("Reload"); }
    void setCurrentFile(const QString &name)
    {
        page->lbxFile->setCurrentRow(rowOf(page->lbxFile, name));
    }
    void setCurrentEntry(int row) { page->lbxLoadOrder->setCurrentRow(row); }

    TestWindow test;
    FrmMain *window = nullptr;
    MibFixPage *page = nullptr;
};

} // namespace

void TstEditLoadOrder::movesSwapEveryMatchingLine()
{
    const Lines lines = {"A", "b", "C", "B", "D"};
    QCOMPARE(moveMatchesUp(lines, "B"), (Lines{"b", "A", "B", "C", "D"}));
    QCOMPARE(moveMatchesUp(lines, "a"), lines); // a first line never moves up
    QCOMPARE(moveMatchesDown(lines, "b"), (Lines{"A", "C", "b", "D", "B"}));
    QCOMPARE(moveMatchesDown(lines, "D"), lines); // nor a last line down, and it stays once
    QCOMPARE(removeMatches(lines, "B"), (Lines{"A", "C", "D"}));
    QCOMPARE(insertAfterMatches(lines, "b", "N"), (Lines{"A", "b", "N", "C", "B", "N", "D"}));
    // Only letter case is ignored: trailing blanks make another name.
    QCOMPARE(removeMatches({"A.txt ", "a.TXT"}, "A.txt"), Lines{"A.txt "});
    // An empty current entry only matches empty lines; nothing is made up past the end.
    QCOMPARE(moveMatchesUp({"A", "B"}, ""), (Lines{"A", "B"}));
    QCOMPARE(moveMatchesUp({"A", ""}, ""), (Lines{"", "A"}));
}

void TstEditLoadOrder::upKeepsEveryLineOfALongFile()
{
    QByteArray text;
    for (int i = 1; i <= 1200; ++i)
        text += "f" + QByteArray::number(i) + ".txt\r\n";
    EditWindow edit({}, text);
    QCOMPARE(edit.page->lbxLoadOrder->count(), 1200);
    edit.setCurrentEntry(1099);

    edit.window->loadOrderActions->tbrUpDown_ButtonClick("Up");

    const Lines lines = splitLines(edit.bytes());
    QCOMPARE(lines.size(), 1200);
    QCOMPARE(lines.at(1098), QByteArray("f1100.txt"));
    QCOMPARE(lines.at(1099), QByteArray("f1099.txt"));
    QCOMPARE(lines.last(), QByteArray("f1200.txt"));
    QCOMPARE(edit.page->lbxLoadOrder->currentRow(), 1098);
    QCOMPARE(edit.page->lblLoadOrderCounter->text(), QStringLiteral("1200"));
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
    QVERIFY(edit.page->tbrRightLeft->isEnabled());

    // With no current entry the file goes last, with one it goes directly below it.
    edit.setCurrentFile("d.txt");
    edit.setCurrentEntry(-1);
    edit.window->loadOrderActions->tbrRightLeft_ButtonClick("Add");
    edit.setCurrentFile("c.txt");
    edit.setCurrentEntry(0);
    edit.window->loadOrderActions->tbrRightLeft_ButtonClick("Add");
    QCOMPARE(edit.bytes(), QByteArray("b.txt\r\nc.txt\r\nd.txt\r\n"));
    QCOMPARE(edit.page->lbxLoadOrder->currentItem()->text(), QStringLiteral("c.txt"));
    QVERIFY(!QFile::exists(edit.test.programFolder() + "/LoadOrder.tmp"));

    // A last line without CR LF (edited by hand) is not glued to the new one.
    writeFile(edit.path(), "b.txt\r\nc.txt");
    edit.reload();
    edit.setCurrentEntry(-1);
    edit.setCurrentFile("a.txt");
    edit.window->loadOrderActions->EditLoadOrder("Add");
    QCOMPARE(edit.bytes(), QByteArray("b.txt\r\nc.txt\r\na.txt\r\n"));
}

void TstEditLoadOrder::addRefusesWhatIsThere()
{
    EditWindow edit({"A.TXT", "b.txt"}, "a.txt\r\nb.txt\r\n");
    edit.setCurrentEntry(1);
    edit.page->lbxLoadOrder->item(0)->setText("stale"); // proves the list is not reloaded
    edit.setCurrentFile("A.TXT");
    edit.window->loadOrderActions->EditLoadOrder("Add");
    QCOMPARE(edit.bytes(), QByteArray("a.txt\r\nb.txt\r\n"));
    QCOMPARE(edit.page->lbxLoadOrder->item(0)->text(), QStringLiteral("stale"));
    QVERIFY(edit.test.messages.texts.isEmpty());

    // With no current file (the file list was re-read) there is nothing to add.
    edit.page->lbxFile->setCurrentRow(-1);
    edit.window->loadOrderActions->EditLoadOrder("Add");
    QCOMPARE(edit.bytes(), QByteArray("a.txt\r\nb.txt\r\n"));
}

void TstEditLoadOrder::removeUpDownInTheWindow()
{
    EditWindow edit({}, "a.txt\r\nB.txt\r\nc.txt\r\nb.TXT\r\nd.txt\r\n");
    edit.setCurrentEntry(1);
    edit.window->loadOrderActions->tbrUpDown_ButtonClick("Down");
    QCOMPARE(edit.bytes(), QByteArray("a.txt\r\nc.txt\r\nB.txt\r\nd.txt\r\nb.TXT\r\n"));
    QCOMPARE(edit.page->lbxLoadOrder->currentRow(), 2);
    QVERIFY(edit.page->tbrUp->isEnabled() && edit.page->tbrDown->isEnabled());

    edit.setCurrentEntry(1); // c.txt; the buttons still follow the last edit
    edit.page->tbrUp->trigger();
    QCOMPARE(edit.bytes(), QByteArray("c.txt\r\na.txt\r\nB.txt\r\nd.txt\r\nb.TXT\r\n"));
    QCOMPARE(edit.page->lbxLoadOrder->currentRow(), 0);
    QVERIFY(!edit.page->tbrUp->isEnabled());

    // Keys are exact: another toolbar's key or a differently spelt one does nothing.
    edit.window->loadOrderActions->tbrUpDown_ButtonClick("Remove");
    edit.window->loadOrderActions->tbrUpDown_ButtonClick("up");
    QCOMPARE(edit.bytes(), QByteArray("c.txt\r\na.txt\r\nB.txt\r\nd.txt\r\nb.TXT\r\n"));

    edit.setCurrentEntry(2);
    edit.page->tbrRemove->trigger();
    QCOMPARE(edit.bytes(), QByteArray("c.txt\r\na.txt\r\nd.txt\r\n"));
    QCOMPARE(edit.page->lbxLoadOrder->currentRow(), -1);
    QCOMPARE(edit.page->lblLoadOrderCounter->text(), QStringLiteral("3"));
    QVERIFY(!edit.page->tbrRemove->isEnabled());
    QVERIFY(edit.test.messages.texts.isEmpty());
}

void TstEditLoadOrder::editsWithoutAFileWriteNothing()
{
    EditWindow edit({}, "a.txt\r\n");
    edit.setCurrentEntry(0);
    QFile::remove(edit.path());
    for (const char *key : {"Remove", "Up", "Down"}) {
        edit.window->loadOrderActions->EditLoadOrder(key);
        QVERIFY(!QFile::exists(edit.path()));
        QCOMPARE(edit.page->lbxLoadOrder->count(), 0);
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
    edit.setCurrentEntry(2);

    edit.window->loadOrderActions->tbrUpDown_ButtonClick("Up");

    QCOMPARE(edit.bytes(), before);
    QCOMPARE(items(edit.page->lbxLoadOrder), (QStringList{"a.txt", "b.txt", "c.txt"}));
    QCOMPARE(edit.page->lbxLoadOrder->currentRow(), 2);
    QCOMPARE(edit.test.messages.texts.size(), 1);
    QVERIFY(edit.test.messages.texts.first().contains("LoadOrder.tmp"));
    QVERIFY(QFileInfo(temp).isDir());

    // A program folder that cannot hold files fails the same way.
    QTemporaryDir dir;
    const QString notAFolder = dir.filePath("program");
    writeFile(notAFolder, "a file, not a folder");
    QVERIFY(!replaceLoadOrder(notAFolder, {"a.txt"}).ok());
    QCOMPARE(readFile(notAFolder), QByteArray("a file, not a folder"));

    // An unreadable LoadOrder.txt is reported, not taken as empty.
    QDir().rmdir(temp + "/inside");
    QDir().rmdir(temp);
    QFile::remove(edit.path());
    QVERIFY(QDir().mkpath(edit.path()));
    edit.test.messages.texts.clear();
    edit.setCurrentFile("d.txt");
    edit.window->loadOrderActions->EditLoadOrder("Add");
    QCOMPARE(edit.test.messages.texts.size(), 1);
    QVERIFY(QFileInfo(edit.path()).isDir());
    QCOMPARE(edit.page->lbxLoadOrder->count(), 0);
}

void TstEditLoadOrder::readOnlyLoadOrderIsNotChanged()
{
    const QByteArray before = "a.txt\r\nb.txt\r\n";
    EditWindow edit({"c.txt"}, before);
    QFile::setPermissions(edit.path(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    edit.setCurrentFile("c.txt");
    edit.setCurrentEntry(0);

    edit.window->loadOrderActions->EditLoadOrder("Add");
    edit.window->loadOrderActions->EditLoadOrder("Down");

    QCOMPARE(edit.bytes(), before);
    QCOMPARE(items(edit.page->lbxLoadOrder), (QStringList{"a.txt", "b.txt"}));
    QCOMPARE(edit.page->lbxLoadOrder->currentRow(), 0);
    QCOMPARE(edit.page->lblLoadOrderCounter->text(), QStringLiteral("2"));
    QCOMPARE(edit.test.messages.texts.size(), 2);
    QVERIFY(edit.test.messages.texts.first().contains("read-only"));
    QVERIFY(!QFile::exists(edit.test.programFolder() + "/LoadOrder.tmp"));
}

QTEST_MAIN(TstEditLoadOrder)
#include "tst_editloadorder.moc"
