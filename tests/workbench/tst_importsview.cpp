#include "support/testwindow.h"
#include "workbench/filebrowser.h"
#include "workbench/importsview.h"
#include "workbench/mibfixpage.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QtTest>

namespace {

QListWidgetItem *item(QListWidget *list, const QString &name)
{
    return list->findItems(name, Qt::MatchExactly).value(0);
}

void rightClick(QListWidget *list, int row)
{
    const QRect rect = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::RightButton, {}, rect.center());
}

// The IMPORTS box as lines; the box shows the CR LF joins as line breaks.
QStringList shownLines(const MibFixPage &page)
{
    QString text = page.txtImports->toPlainText();
    text.replace("\r\n", "\n");
    return text.isEmpty() ? QStringList() : text.split('\n');
}

} // namespace

class TstImportsView : public QObject
{
    Q_OBJECT
private slots:
    void doubleClickOpensTheHighlightedDirectorysFile();
    void viewImportsOfTheRightClickedList();
    void clauseBoundaries();
    void noCurrentEntryDoesNothing();
};

void TstImportsView::doubleClickOpensTheHighlightedDirectorysFile()
{
    TestWindow test;
    const QString blanks = test.startDirectory() + "/MIB Files";
    writeFile(blanks + "/IF MIB.txt", "x");
    FrmMain &window = test.open();
    MibFixPage &page = *window.mibFix;
    window.fileBrowser->openDirectory(blanks);
    // A double-click makes the entry current, then the list reports it.
    page.lbxFile->setCurrentRow(0);
    emit page.lbxFile->itemDoubleClicked(page.lbxFile->item(0));
    QCOMPARE(test.editor.paths, QStringList{QDir::toNativeSeparators(blanks + "/IF MIB.txt")});

    // Load-order and result names resolve in the directory highlighted now: the parent.
    page.lbxDir->setCurrentRow(page.lbxDir->currentRow() - 1);
    const QString parent = test.startDirectory();
    page.lbxLoadOrder->addItem("SNMPv2-SMI.txt");
    page.lbxResult->addItem("FOUND.mib");
    page.lbxLoadOrder->setCurrentRow(0);
    window.importsView->lbxLoadOrder_DblClick();
    page.lbxResult->setCurrentRow(0);
    window.importsView->lbxResult_DblClick();
    QCOMPARE(test.editor.paths.mid(1),
             QStringList({QDir::toNativeSeparators(parent + "/SNMPv2-SMI.txt"),
                          QDir::toNativeSeparators(parent + "/FOUND.mib")}));
}

void TstImportsView::viewImportsOfTheRightClickedList()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/A-MIB.txt",
              "A-MIB DEFINITIONS ::= BEGIN\r\nIMPORTS\r\n    ifIndex\r\n        FROM IF-MIB\r\n"
              "    mib-2 FROM SNMPv2-SMI;\r\n\r\nEND\r\n");
    writeFile(test.startDirectory() + "/B-MIB.txt",
              "B-MIB DEFINITIONS ::= BEGIN\rIMPORTS x FROM A-MIB;\r\r-- no more\r");
    FrmMain &window = test.open();
    MibFixPage &page = *window.mibFix;
    page.lbxFile->setCurrentItem(item(page.lbxFile, "A-MIB.txt"));
    page.lbxLoadOrder->addItems({"B-MIB.txt", "A-MIB.txt"});
    page.lbxLoadOrder->setCurrentRow(0);

    // Right-clicking another entry pops the menu up but keeps the current entry.
    rightClick(page.lbxFile, 1);
    QVERIFY(page.mnuView->isVisible());
    QCOMPARE(page.lbxFile->currentItem()->text(), QStringLiteral("A-MIB.txt"));
    page.mnuView->hide();
    page.mnuViewImports->trigger();
    QCOMPARE(page.lblImports->text(), QStringLiteral("IMPORTS section from A-MIB.txt"));
    QCOMPARE(shownLines(page), QStringList({"IMPORTS", "    ifIndex", "        FROM IF-MIB",
                                            "    mib-2 FROM SNMPv2-SMI;"}));

    rightClick(page.lbxLoadOrder, 1);
    page.mnuView->hide();
    QVERIFY(window.importsView->importsFromLoadOrder());
    page.mnuViewImports->trigger();
    QCOMPARE(page.lblImports->text(), QStringLiteral("IMPORTS section from B-MIB.txt"));
    // A one-line clause still takes the lines up to the next ";" (here: to the end).
    QCOMPARE(shownLines(page), QStringList({"IMPORTS x FROM A-MIB;", "", "-- no more"}));

    // A left button does not switch lists; a right-click on the file list does.
    window.importsView->lbxFile_MouseDown(1, {}, QPoint());
    QVERIFY(window.importsView->importsFromLoadOrder());
    window.importsView->lbxFile_MouseDown(2, {}, QPoint());
    page.mnuView->hide();
    QVERIFY(!window.importsView->importsFromLoadOrder());
}

void TstImportsView::clauseBoundaries()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/NONE.txt", "NONE DEFINITIONS ::= BEGIN\r\nimports x;\r\n");
    writeFile(test.startDirectory() + "/LF.txt", "-- IMPORTS are below\nIMPORTS\n a;\n");
    writeFile(test.startDirectory() + "/TWO.txt", "-- uses IMPORTS\r\n a,\r\n b;\r\nIMPORTS\r\n");
    FrmMain &window = test.open();
    MibFixPage &page = *window.mibFix;
    page.txtImports->setPlainText("old");

    page.lbxFile->setCurrentItem(item(page.lbxFile, "NONE.txt"));
    window.importsView->mnuViewImports_Click();
    QCOMPARE(page.txtImports->toPlainText(), QString());
    QCOMPARE(page.lblImports->text(), QStringLiteral("IMPORTS section from NONE.txt"));

    // LF-only lines are one line; a comment naming IMPORTS starts the section.
    page.lbxFile->setCurrentItem(item(page.lbxFile, "LF.txt"));
    window.importsView->mnuViewImports_Click();
    QCOMPARE(page.txtImports->toPlainText().toLatin1(),
             QByteArray("-- IMPORTS are below\nIMPORTS\n a;\n"));

    page.lbxFile->setCurrentItem(item(page.lbxFile, "TWO.txt"));
    window.importsView->mnuViewImports_Click();
    QCOMPARE(shownLines(page), QStringList({"-- uses IMPORTS", " a,", " b;"}));
    QVERIFY(test.messages.texts.isEmpty());
}

void TstImportsView::noCurrentEntryDoesNothing()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/A.txt", "IMPORTS a;\r\n");
    FrmMain &window = test.open();
    MibFixPage &page = *window.mibFix;
    window.importsView->lbxFile_DblClick();
    window.importsView->lbxLoadOrder_DblClick();
    window.importsView->lbxResult_DblClick();
    window.importsView->mnuViewImports_Click();
    window.importsView->lbxLoadOrder_MouseDown(2, {}, QPoint());
    page.mnuView->hide();
    window.importsView->mnuViewImports_Click();
    QVERIFY(test.editor.paths.isEmpty());
    QCOMPARE(page.lblImports->text(), QStringLiteral("IMPORTS section"));
    QVERIFY(test.messages.texts.isEmpty());
}

QTEST_MAIN(TstImportsView)
#include "tst_importsview.moc"
