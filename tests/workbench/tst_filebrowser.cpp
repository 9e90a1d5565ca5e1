#include "listhelpers.h"
#include "support/testwindow.h"
#include "workbench/filebrowser.h"
#include "workbench/filepattern.h"
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
    void pattern_data();
    void pattern();
    void counterFollowsSelectionAndRefresh();
    void fullPathFollowsTheHighlightedEntry();
    void rootIsFirstDrive();
    void doubleClickOpensTheHighlightedDirectorysFile();
    void viewImportsOfTheRightClickedList();
};

namespace {

int rowOfPath(const QListWidget *list, const QString &path)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->data(Qt::UserRole).toString() == path)
            return i;
    }
    return -1;
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

void TstFileBrowser::pattern_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("star dot star, no dot") << "*.*" << "SNMPv2-SMI" << true;
    QTest::newRow("extension, any case") << "*.mib" << "IF-MIB.MIB" << true;
    QTest::newRow("question mark needs a char") << "IF-MIB?.txt" << "IF-MIB.txt" << false;
    QTest::newRow("list") << "*.mib; *.txt" << "a.txt" << true;
    QTest::newRow("list none") << "*.mib;*.my" << "a.txt" << false;
    QTest::newRow("empty pattern") << "" << "a.txt" << false;
    QTest::newRow("many stars") << "*a*a*a*a*a*b" << QString(5000, 'a') << false;
}

void TstFileBrowser::pattern()
{
    QFETCH(QString, pattern);
    QFETCH(QString, name);
    QFETCH(bool, matches);
    QCOMPARE(FilePattern(pattern).matches(name), matches);
}

void TstFileBrowser::counterFollowsSelectionAndRefresh()
{
    TestWindow test;
    for (int i = 0; i < 11; ++i)
        writeFile(test.startDirectory() + QStringLiteral("/M%1.txt").arg(i, 2, 10, QChar('0')),
                  "x");
    for (const char *name : {"b.mib", "A.txt", ".hidden", "sub/x.txt"})
        writeFile(test.startDirectory() + '/' + name, "x");
    FrmMain &window = test.open();
    MibFixPage &page = *window.mibFix;
    QCOMPARE(entries(page.lbxFile).mid(0, 3), (QStringList{"A.txt", "b.mib", "M00.txt"}));
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("13 (0)"));
    page.cmdSelectAll->click();
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("13 (13)"));
    page.cmdUnSelectAll->click();
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("13 (0)"));
    page.lbxFile->item(2)->setSelected(true);
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("13 (1)"));

    // A typed pattern changes nothing until Refresh; Refresh then clears the selection.
    page.txtPattern->setText("*.mib");
    QCOMPARE(page.lbxFile->count(), 13);
    page.cmdRefresh->click();
    QCOMPARE(entries(page.lbxFile), QStringList{"b.mib"});
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("1 (0)"));
    writeFile(test.startDirectory() + "/C.MIB", "x"); // Refresh shows files added since
    page.cmdRefresh->click();
    QCOMPARE(entries(page.lbxFile), (QStringList{"b.mib", "C.MIB"}));
}

void TstFileBrowser::fullPathFollowsTheHighlightedEntry()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/MIB Files/one.txt", "x");
    writeFile(test.startDirectory() + "/MIB Files/two.mib", "x");
    writeFile(test.startDirectory() + "/A.MIB", "x");
    FrmMain &window = test.open();
    FileBrowser &browser = *window.fileBrowser;
    MibFixPage &page = *window.mibFix;
    const QString start = QDir::cleanPath(test.startDirectory());
    QCOMPARE(browser.FullFilePath("A.MIB"), QDir::toNativeSeparators(start + "/A.MIB"));

    // A single click moves the highlight without opening: the list still shows the open folder.
    const QString sub = start + "/MIB Files";
    QListWidget *dirs = page.lbxDir;
    dirs->setCurrentRow(rowOfPath(dirs, sub));
    QCOMPARE(browser.FullFilePath("A.MIB"), QDir::toNativeSeparators(sub + "/A.MIB"));
    QCOMPARE(entries(page.lbxFile), QStringList{"A.MIB"});

    // Opening applies the typed pattern; the ancestors stay listed to go back up.
    page.lbxFile->item(0)->setSelected(true);
    page.txtPattern->setText("*.txt");
    emit dirs->itemActivated(dirs->item(rowOfPath(dirs, sub)));
    QCOMPARE(browser.openDirectory(), sub);
    QCOMPARE(entries(page.lbxFile), QStringList{"one.txt"});
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("1 (0)"));
    QVERIFY(rowOfPath(dirs, start) >= 0 && rowOfPath(dirs, QDir::rootPath()) >= 0);

    // At the root the separator is not doubled.
    browser.openDirectory(QDir::rootPath());
    QCOMPARE(browser.FullFilePath("A.MIB"), QDir::toNativeSeparators(QDir::rootPath() + "A.MIB"));

    // An unreadable directory shows an empty list.
    browser.openDirectory(start + "/does-not-exist");
    QCOMPARE(page.lbxFile->count(), 0);
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("0 (0)"));
}

void TstFileBrowser::rootIsFirstDrive()
{
    TestWindow test;
    FrmMain &window = test.open();
    QComboBox *drives = window.mibFix->lbxDrive;
    QCOMPARE(drives->itemData(0).toString(), QDir::rootPath());

    // A drive keeps its current directory: picking it again returns there.
    const QString start = window.fileBrowser->openDirectory();
    emit drives->activated(drives->currentIndex());
    QCOMPARE(window.fileBrowser->openDirectory(), start);
}

void TstFileBrowser::doubleClickOpensTheHighlightedDirectorysFile()
{
    TestWindow test;
    const QString blanks = test.startDirectory() + "/MIB Files";
    writeFile(blanks + "/IF MIB.txt", "x");
    FrmMain &window = test.open();
    MibFixPage &page = *window.mibFix;
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

void TstFileBrowser::viewImportsOfTheRightClickedList()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/A-MIB.txt",
              "A-MIB DEFINITIONS ::= BEGIN\r\nIMPORTS\r\n    ifIndex\r\n        FROM IF-MIB\r\n"
              "    mib-2 FROM SNMPv2-SMI;\r\n\r\nEND\r\n");
    writeFile(test.startDirectory() + "/B-MIB.txt",
              "B-MIB DEFINITIONS ::= BEGIN\rIMPORTS x FROM A-MIB;\r\r-- no more\r");
    writeFile(test.startDirectory() + "/NONE.txt", "NONE DEFINITIONS ::= BEGIN\r\nimports x;\r\n");
    FrmMain &window = test.open();
    MibFixPage &page = *window.mibFix;
    QVERIFY(page.txtImports->isReadOnly());
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

    // A left button does not switch lists; a right-click on the file list does.
    window.importsView->lbxFile_MouseDown(1, {}, QPoint());
    QVERIFY(window.importsView->importsFromLoadOrder());
    window.importsView->lbxFile_MouseDown(2, {}, QPoint());
    page.mnuView->hide();
    QVERIFY(!window.importsView->importsFromLoadOrder());

    // Without an IMPORTS clause the box empties and the label still names the file.
    page.lbxFile->setCurrentRow(2);
    window.importsView->mnuViewImports_Click();
    QCOMPARE(page.txtImports->toPlainText(), QString());
    QCOMPARE(page.lblImports->text(), QStringLiteral("IMPORTS section from NONE.txt"));
    QVERIFY(test.messages.texts.isEmpty());
}

QTEST_MAIN(TstFileBrowser)
#include "tst_filebrowser.moc"
