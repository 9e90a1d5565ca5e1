#include "listhelpers.h"
#include "support/testwindow.h"
#include "workbench/filebrowser.h"
#include "workbench/importsview.h"
#include "workbench/mibfixpage.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

class TstFileBrowser : public QObject
{
    Q_OBJECT
private slots:
    void listingPathsImportsAndEditor();
};

namespace {

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

void TstFileBrowser::listingPathsImportsAndEditor()
{
    TestWindow test;
    for (int i = 10; i < 21; ++i)
        writeFile(test.startDirectory() + QStringLiteral("/M%1.txt").arg(i), "x");
    for (const char *name : {"b.mib", "A.txt", "A.MIB", "SNMPv2-SMI", ".hidden",
                             "MIB Files/one.txt", "MIB Files/two.mib", "MIB Files/IF MIB.txt"})
        writeFile(test.startDirectory() + '/' + name, "x");
    const QString imports = test.startDirectory() + "/imports";
    writeFile(imports + "/A-MIB.txt",
              "A-MIB DEFINITIONS ::= BEGIN\r\nIMPORTS\r\n    ifIndex\r\n        FROM IF-MIB\r\n"
              "    mib-2 FROM SNMPv2-SMI;\r\n\r\nEND\r\n");
    writeFile(imports + "/B-MIB.txt",
              "B-MIB DEFINITIONS ::= BEGIN\rIMPORTS x FROM A-MIB;\r\r-- no more\r");
    writeFile(imports + "/NONE.txt", "NONE DEFINITIONS ::= BEGIN\r\nimports x;\r\n");
    FrmMain &window = test.open();
    FileBrowser &browser = *window.fileBrowser;
    MibFixPage &page = *window.mibFix;
    // "*.*" also lists names without a dot; hidden files and folders are not listed.
    QCOMPARE(entries(page.lbxFile).mid(0, 4), (QStringList{"A.MIB", "A.txt", "b.mib", "M10.txt"}));
    QCOMPARE(entries(page.lbxFile).last(), QStringLiteral("SNMPv2-SMI"));
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("15 (0)"));
    page.cmdSelectAll->click();
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("15 (15)"));
    page.cmdUnSelectAll->click();
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("15 (0)"));
    page.lbxFile->item(2)->setSelected(true);
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("15 (1)"));

    // A typed pattern changes nothing until Refresh; Refresh then clears the selection.
    page.txtPattern->setText("*.mib; M2?.txt");
    QCOMPARE(page.lbxFile->count(), 15);
    page.cmdRefresh->click();
    QCOMPARE(entries(page.lbxFile), (QStringList{"A.MIB", "b.mib", "M20.txt"}));
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("3 (0)"));
    writeFile(test.startDirectory() + "/C.MIB", "x"); // Refresh shows files added since
    page.cmdRefresh->click();
    const QStringList shown = {"A.MIB", "b.mib", "C.MIB", "M20.txt"};
    QCOMPARE(entries(page.lbxFile), shown);

    const QString start = QDir::cleanPath(test.startDirectory());
    QCOMPARE(browser.FullFilePath("A.MIB"), QDir::toNativeSeparators(start + "/A.MIB"));
    // "/" is the first drive; picking the current drive again stays in its directory.
    QCOMPARE(page.lbxDrive->itemData(0).toString(), QDir::rootPath());
    emit page.lbxDrive->activated(page.lbxDrive->currentIndex());
    QCOMPARE(browser.openDirectory(), start);

    // A single click moves the highlight without opening: the list still shows the open folder.
    const QString sub = start + "/MIB Files";
    QListWidget *dirs = page.lbxDir;
    dirs->setCurrentItem(dirs->findItems("MIB Files", Qt::MatchEndsWith).value(0));
    QCOMPARE(browser.FullFilePath("A.MIB"), QDir::toNativeSeparators(sub + "/A.MIB"));
    QCOMPARE(entries(page.lbxFile), shown);

    // Opening applies the typed pattern; the ancestors stay listed to go back up.
    page.lbxFile->item(0)->setSelected(true);
    page.txtPattern->setText("*.txt");
    emit dirs->itemActivated(dirs->currentItem());
    QCOMPARE(browser.openDirectory(), sub);
    QCOMPARE(entries(page.lbxFile), (QStringList{"IF MIB.txt", "one.txt"}));
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("2 (0)"));
    QCOMPARE(dirs->item(dirs->currentRow() - 1)->data(Qt::UserRole).toString(), start);
    QCOMPARE(dirs->item(0)->data(Qt::UserRole).toString(), QDir::rootPath());

    // At the root the separator is not doubled.
    browser.openDirectory(QDir::rootPath());
    QCOMPARE(browser.FullFilePath("A.MIB"), QDir::toNativeSeparators(QDir::rootPath() + "A.MIB"));

    // An unreadable directory shows an empty list.
    browser.openDirectory(start + "/does-not-exist");
    QCOMPARE(page.lbxFile->count(), 0);
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("0 (0)"));

    browser.openDirectory(imports);
    // Nothing current: nothing opens, nothing is shown.
    window.importsView->lbxFile_DblClick();
    window.importsView->lbxLoadOrder_DblClick();
    window.importsView->lbxResult_DblClick();
    window.importsView->mnuViewImports_Click();
    window.importsView->lbxLoadOrder_MouseDown(2, {}, QPoint());
    page.mnuView->hide();
    window.importsView->mnuViewImports_Click();
    QVERIFY(test.editor.paths.isEmpty() && test.messages.texts.isEmpty());
    QCOMPARE(page.lblImports->text(), QStringLiteral("IMPORTS section"));

    page.lbxFile->setCurrentRow(0);
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

    // A left button does not switch lists; a right-click on the file list does. Without an
    // IMPORTS clause the box empties and the label still names the file.
    window.importsView->lbxFile_MouseDown(1, {}, QPoint());
    QVERIFY(window.importsView->importsFromLoadOrder());
    page.lbxFile->setCurrentRow(2);
    rightClick(page.lbxFile, 0);
    page.mnuView->hide();
    page.mnuViewImports->trigger();
    QCOMPARE(page.txtImports->toPlainText(), QString());
    QCOMPARE(page.lblImports->text(), QStringLiteral("IMPORTS section from NONE.txt"));
    QVERIFY(test.messages.texts.isEmpty());

    // Double-clicks open the current entry in the highlighted directory, blanks and all.
    browser.openDirectory(sub);
    page.lbxFile->setCurrentRow(0); // a double-click makes the entry current first
    emit page.lbxFile->itemDoubleClicked(page.lbxFile->item(0));
    page.lbxResult->addItem("FOUND.mib");
    page.lbxResult->setCurrentRow(0);
    window.importsView->lbxLoadOrder_DblClick();
    window.importsView->lbxResult_DblClick();
    QCOMPARE(test.editor.paths, QStringList({QDir::toNativeSeparators(sub + "/IF MIB.txt"),
                                             QDir::toNativeSeparators(sub + "/B-MIB.txt"),
                                             QDir::toNativeSeparators(sub + "/FOUND.mib")}));
}

QTEST_MAIN(TstFileBrowser)
#include "tst_filebrowser.moc"
