#include "support/listhelpers.h"
#include "support/testwindow.h"
#include "workbench/crlffix.h"
#include "workbench/filebrowser.h"
#include "workbench/importsview.h"
#include "workbench/mibfixpage.h"
#include "workbench/patternmatch.h"
#include "workbench/searchinfiles.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

// The MIB Fix tab's file list and what it does to the selected files.
class TstWorkbench : public QObject
{
    Q_OBJECT
private slots:
    void listingPathsImportsAndEditor();
    void fixCrLfRenameAndDeleteChangeOnlyTheSelection();
    void matches_data();
    void matches();
    void progressResultsCaseModesAndRefusals();
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

void TstWorkbench::listingPathsImportsAndEditor()
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
    page.lbxFile->item(2)->setSelected(true);
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("15 (1)"));

    // A typed pattern changes nothing until Refresh; Refresh then clears the selection.
    page.txtPattern->setText("*.mib; M2?.txt");
    QCOMPARE(page.lbxFile->count(), 15);
    page.cmdRefresh->click();
    QCOMPARE(entries(page.lbxFile), (QStringList{"A.MIB", "b.mib", "M20.txt"}));
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("3 (0)"));
    const QStringList shown = entries(page.lbxFile);
    const QString start = QDir::cleanPath(test.startDirectory());

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

void TstWorkbench::fixCrLfRenameAndDeleteChangeOnlyTheSelection()
{
    TestWindow test;
    const QString dir = test.startDirectory();
    QByteArray big; // several read chunks
    for (int i = 0; i < 200000; ++i)
        big += "line " + QByteArray::number(i) + (i % 3 ? "\n" : "\r\n");
    writeFile(dir + "/a.mib", big);
    const auto permissions = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup;
    QVERIFY(QFile::setPermissions(dir + "/a.mib", permissions));
    // The NUL comes after the first read chunk has already been converted and written.
    const QByteArray binary = QByteArray(3 << 20, '\n') + QByteArray("\0\x01\r", 3);
    writeFile(dir + "/b.bin", binary);
    writeFile(dir + "/c.mib", "a\rb");
    // Files that a fixed temporary name would write through: a user's file and a link out.
    const QString victim = test.programFolder() + "/victim.txt";
    writeFile(dir + "/a.mib_tmp", "keep");
    writeFile(victim, "victim");
    QVERIFY(QFile::link(victim, dir + "/c.mib_tmp"));
    // A linked file is fixed where it lies and stays a link.
    const QString target = test.programFolder() + "/linked.mib";
    writeFile(target, "x\ny");
    QVERIFY(QFile::link(target, dir + "/l.mib"));
    writeFile(dir + "/d.mib", "d\n");
    QVERIFY(QFile::setPermissions(dir + "/d.mib", QFile::ReadOwner | QFile::ReadGroup));
    writeFile(dir + "/e.mib", "e\n");
    FrmMain &window = test.open();
    MibFixPage &page = *window.mibFix;
    select(page.lbxFile, {"a.mib", "b.bin", "c.mib", "l.mib"});
    page.lblFileCounter->setText("stale");
    page.cmdFixCrLf->click();

    QCOMPARE(readFile(dir + "/a.mib"), fixCrLf(big));
    QCOMPARE(QFile::permissions(dir + "/a.mib") & 0x7077, permissions); // owner, group, others
    QCOMPARE(readFile(dir + "/b.bin"), binary);
    QCOMPARE(readFile(dir + "/c.mib"), QByteArray("a\r\nb\r\n"));
    QCOMPARE(readFile(target), QByteArray("x\r\ny\r\n"));
    QCOMPARE(QFileInfo(dir + "/l.mib").symLinkTarget(), target);
    QCOMPARE(readFile(dir + "/a.mib_tmp"), QByteArray("keep"));
    QCOMPARE(readFile(victim), QByteArray("victim"));
    QCOMPARE(QFileInfo(dir + "/c.mib_tmp").symLinkTarget(), victim);
    QCOMPARE(test.messages.takeFirst(), "These files were not fixed:\n" +
                                            QDir::toNativeSeparators(dir + "/b.bin") +
                                            " (not a text file)");
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("8 (4)")); // selection stays
    // No temporary file left anywhere.
    const auto all = QDir::Files | QDir::Hidden | QDir::System;
    QCOMPARE(QDir(dir).entryList(all), QStringList({"a.mib", "a.mib_tmp", "b.bin", "c.mib",
                                                    "c.mib_tmp", "d.mib", "e.mib", "l.mib"}));
    QCOMPARE(QDir(test.programFolder()).entryList(all), QStringList({"linked.mib", "victim.txt"}));

    // A file its owner may not write cannot be changed, also by a privileged user: the run stops
    // there and the counter stays as it stands.
    page.cmdUnSelectAll->click();
    select(page.lbxFile, {"c.mib", "d.mib", "e.mib"});
    page.lblFileCounter->setText("stale");
    page.cmdFixCrLf->click();
    QCOMPARE(test.messages.texts,
             QStringList{"An Error Occured in " + QDir::toNativeSeparators(dir + "/d.mib")});
    QCOMPARE(readFile(dir + "/d.mib"), QByteArray("d\n"));
    QCOMPARE(readFile(dir + "/e.mib"), QByteArray("e\n"));
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("stale"));
    for (QPushButton *button : {page.cmdSelectAll, page.cmdUnSelectAll, page.cmdRename,
                                page.cmdDelete, page.cmdFixCrLf, page.cmdCreateLoadOrder})
        QVERIFY(button->isEnabled());

    // Rename cuts at the first dot of the whole path and never replaces a file.
    test.messages.texts.clear();
    const QString folder = dir + "/mibs.v2";
    for (const char *name :
         {"IF-MIB.my.txt", "SNMPv2-SMI", "RFC1213-MIB.txt", "RFC1213-MIB.mib", "HOST.mib"})
        writeFile(folder + '/' + name, name); // each file holds its original name
    window.fileBrowser->openDirectory(folder);
    page.cmdDelete->click();
    page.cmdRename->click();
    page.cmdFixCrLf->click();
    QCOMPARE(test.messages.texts, QStringList({"Please select one or more files to delete",
                                               "Please select one or more files to rename",
                                               "Please select one or more files to fix"}));
    QCOMPARE(readFile(folder + "/SNMPv2-SMI"), QByteArray("SNMPv2-SMI"));
    QVERIFY(page.cmdFixCrLf->isEnabled() && page.cmdDelete->isEnabled());
    test.messages.texts.clear();

    page.cmdSelectAll->click();
    page.cmdRename->click();
    QCOMPARE(entries(page.lbxFile), QStringList({"HOST.mib", "IF-MIB.mib", "RFC1213-MIB.mib",
                                                 "RFC1213-MIB.txt", "SNMPv2-SMI"}));
    QCOMPARE(readFile(folder + "/IF-MIB.mib"), QByteArray("IF-MIB.my.txt"));
    QCOMPARE(readFile(folder + "/RFC1213-MIB.mib"), QByteArray("RFC1213-MIB.mib"));
    QCOMPARE(readFile(folder + "/RFC1213-MIB.txt"), QByteArray("RFC1213-MIB.txt"));
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("5 (0)"));
    QCOMPARE(test.messages.takeFirst(), "These files were not renamed:\n" +
                                            QDir::toNativeSeparators(folder + "/RFC1213-MIB.txt") +
                                            " (RFC1213-MIB.mib exists already)");

    select(page.lbxFile, {"HOST.mib", "IF-MIB.mib", "SNMPv2-SMI"});
    page.cmdDelete->click();
    QCOMPARE(entries(page.lbxFile), QStringList({"RFC1213-MIB.mib", "RFC1213-MIB.txt"}));
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("2 (0)"));
    QCOMPARE(QDir(folder).entryList(QDir::Files), entries(page.lbxFile));
    QVERIFY(test.messages.texts.isEmpty());
}

void TstWorkbench::matches_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("exact");  // modCompareBin
    QTest::addColumn<bool>("folded"); // modCompareText
    const auto row = [](const char *name, const QByteArray &text, const char *pattern, bool exact,
                        bool folded) {
        QTest::newRow(name) << text << QString::fromUtf8(pattern) << exact << folded;
    };
    row("star matches none", "ab", "a*b", true, true);
    row("range case", "M", "[a-z]", false, true);
    row("negation folds first", "A", "[!a]", true, false);
    row("dash at end", "-", "[a-]", true, true);
    row("wildcards literal in list", "*", "[?#*[]", true, true);
    row("empty brackets are empty text", "ab", "a[]b", true, true);
    row("negated empty list: any one", "q", "[!]", true, true);
    row("latin-1 letters fold", "\xC4pfel", "\u00E4pfel", false, true);
    row("multiplication sign does not fold", "\xF7", "\u00D7", false, false);
    row("outside the code page matches nothing", "a\254b", "a\u20ACb", false, false);
    row("prefix and suffix overlap", "aba", "ab*ba", false, false);
    row("middle runs out of order", "xByAz", "*a*b*", false, false);
    row("several false starts", "q qu Quan quandi Quandix", "*quandix*", false, true);
    row("run cut short by line end", "abc quandi", "*quandix*", false, false);
    row("run must leave room for tail", "xquandixy", "*quandix??", false, false);
    row("run before tail", "xquandixyz", "*quandix??", true, true);
    row("wide elements only", "zzxb7-", "*?[a-c]#*", true, true);
    row("consecutive stars", "abc", "a**c", true, true);
    // Long lines that would take a backtracking matcher ages.
    const QByteArray as(100000, 'a'), mixed = QByteArray("abcde").repeated(20000);
    row("stars before a missing end", as, "*a*a*a*a*a*b", false, false);
    row("stars before the end", as + 'b', "*a*a*a*a*a*b", true, true);
    row("long run never found", as, "*aaaaaaaaaaaaaaaaaaaab*", false, false);
    row("lists and digit never found", mixed, "*[a-c]?[!x]*#*", false, false);
}

void TstWorkbench::matches()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, pattern);
    QFETCH(bool, exact);
    QFETCH(bool, folded);
    const Result<CompiledPattern> compiled = CompiledPattern::compile(pattern);
    QVERIFY(compiled.ok());
    QElapsedTimer timer;
    timer.start();
    bool result = !exact;
    modCompareBin::MatchesPattern(text, compiled.value(), result);
    QCOMPARE(result, exact);
    result = !folded;
    modCompareText::MatchesPattern(text, compiled.value(), result);
    QCOMPARE(result, folded);
    QVERIFY(timer.elapsed() < 50); // time grows with the line, not with the pattern's stars
}

void TstWorkbench::progressResultsCaseModesAndRefusals()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/z.mib", "quandix\r\nquandix 2\r\n");
    writeFile(test.startDirectory() + "/b.mib", "  ifIndex\r\n  -- QUANDIX agent\r\n");
    writeFile(test.startDirectory() + "/a.mib", "x quandix\r\n");
    writeFile(test.startDirectory() + "/lf.mib", "IMPORTS\nquandix\nEND\n");
    writeFile(test.startDirectory() + "/gone.mib", "quandix\r\n");
    writeFile(test.startDirectory() + "/m.mib", "quandix\r\n"); // not selected
    FrmMain &window = test.open();
    MibFixPage &page = *window.mibFix;
    page.cmdSearch->click();
    QCOMPARE(test.messages.texts, QStringList{"Please select one or more files to check"});
    QCOMPARE(page.lblSearchCounter->text(), QStringLiteral("Finished!  0 Hits"));
    test.messages.texts.clear();

    select(page.lbxFile, {"z.mib", "b.mib", "a.mib", "lf.mib", "gone.mib"});
    QVERIFY(QFile::remove(test.startDirectory() + "/gone.mib")); // listed, but unreadable
    page.chkCaseSensitive->setChecked(false);
    QStringList captions;
    bool lockedEnabled = false, deleteDisabled = false;
    QTimer watch; // samples the window while the search pauses before each file
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (captions.value(captions.size() - 1) != page.lblSearchCounter->text())
            captions.append(page.lblSearchCounter->text());
        for (QPushButton *button :
             {page.cmdRefresh, page.cmdFixCrLf, page.cmdRename, page.cmdSelectAll,
              page.cmdUnSelectAll, page.cmdSearch, page.cmdOpenLoadOrder, page.cmdDeleteLoadOrder,
              page.cmdCreateLoadOrder})
            lockedEnabled = lockedEnabled || button->isEnabled();
        deleteDisabled = deleteDisabled || !page.cmdDelete->isEnabled();
    });
    watch.start(0);
    page.cmdSearch->click();
    watch.stop();
    QCOMPARE(captions, QStringList({"1 (5)", "2 (5)", "3 (5)", "4 (5)", "5 (5)"}));
    QVERIFY(!lockedEnabled && !deleteDisabled);
    QCOMPARE(entries(page.lbxResult), QStringList({"a.mib", "b.mib", "lf.mib", "z.mib"}));
    QCOMPARE(page.lblSearchCounter->text(), QStringLiteral("Finished!  4 Hits"));

    page.chkCaseSensitive->setChecked(true);
    page.cmdSearch->click();
    QCOMPARE(entries(page.lbxResult), QStringList({"a.mib", "lf.mib", "z.mib"}));
    QCOMPARE(page.lblSearchCounter->text(), QStringLiteral("Finished!  3 Hits"));
    page.txtFind->setText("quandix"); // no stars: the whole line must be the word
    page.cmdSearch->click();
    QCOMPARE(entries(page.lbxResult), QStringList{"z.mib"});

    // A search refused for its word clears the results but keeps the last count.
    page.lblSearchCounter->setText("Finished!  7 Hits");
    page.txtFind->clear();
    page.cmdSearch->click();
    QCOMPARE(test.messages.takeFirst(), QStringLiteral("Please enter a word to lookup"));
    QCOMPARE(page.lbxResult->count(), 0);
    QCOMPARE(page.lblSearchCounter->text(), QStringLiteral("Finished!  7 Hits"));
    QVERIFY(page.cmdSearch->isEnabled() && page.cmdRefresh->isEnabled());
    // A malformed pattern is named in the message, with what is wrong with it.
    const QStringList malformed[] = {{"*[quandix*", "\"[\""}, {"*[z-a]*", "\"z-a\" in desc"}};
    for (const QStringList &pattern : malformed) {
        page.txtFind->setText(pattern[0]);
        page.cmdSearch->click();
        QCOMPARE(test.messages.texts.size(), 1);
        const QString message = test.messages.texts.takeFirst();
        QVERIFY2(message.contains(pattern[0] + "\"") && message.contains(pattern[1]),
                 qPrintable(message));
        QCOMPARE(page.lblSearchCounter->text(), QStringLiteral("Finished!  7 Hits"));
        QVERIFY(page.cmdSearch->isEnabled() && page.cmdFixCrLf->isEnabled());
    }

    // Closing the window ends the search while it pauses before its first file; the close does
    // not cancel a later search.
    page.txtFind->setText("*quandix*");
    QTimer::singleShot(0, &window, [&] { window.close(); });
    page.cmdSearch->click();
    QCOMPARE(page.lbxResult->count(), 0);
    QVERIFY(!window.searchInFiles->isSearchBusy());
    page.cmdSearch->click();
    QCOMPARE(page.lbxResult->count(), 3);
}

QTEST_MAIN(TstWorkbench)
#include "tst_workbench.moc"
