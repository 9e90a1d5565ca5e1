#include "listhelpers.h"
#include "support/testwindow.h"
#include "workbench/mibfixpage.h"
#include "workbench/patternmatch.h"
#include "workbench/searchinfiles.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class TstSearch : public QObject
{
    Q_OBJECT
private slots:
    void matches_data();
    void matches();
    void progressResultsCaseModesAndRefusals();
};

void TstSearch::matches_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("exact");  // modCompareBin
    QTest::addColumn<bool>("folded"); // modCompareText
    const auto row = [](const char *name, const QByteArray &text, const char *pattern, bool exact,
                        bool folded) {
        QTest::newRow(name) << text << QString::fromUtf8(pattern) << exact << folded;
    };
    row("star finds word", "  -- the Quandix agent", "*quandix*", false, true);
    row("no stars: whole line only", "IF-MIB DEFINITIONS ::= BEGIN", "IF-MIB", false, false);
    row("star matches none", "ab", "a*b", true, true);
    row("only star, empty text", "", "*", true, true);
    row("negated list", "b", "[!abc]", false, false);
    row("range case", "M", "[a-z]", false, true);
    row("negation folds first", "A", "[!a]", true, false);
    row("pattern upper, text lower", "x", "[X]", false, true);
    row("dash at end", "-", "[a-]", true, true);
    row("wildcards literal in list", "*", "[?#*[]", true, true);
    row("bang later is itself", "!", "[a!]", true, true);
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
    row("wide elements, no fit", "zzxb-7", "*?[a-c]#*", false, false);
    row("digits then letter", "ab12Dx", "*##[c-d]*", false, true);
    row("consecutive stars", "abc", "a**c", true, true);
    // Long lines that would take a backtracking matcher ages.
    const QByteArray as(100000, 'a'), mixed = QByteArray("abcde").repeated(20000);
    row("stars before a missing end", as, "*a*a*a*a*a*b", false, false);
    row("stars around a missing end", as, "*a*a*a*a*a*b*", false, false);
    row("stars before the end", as + 'b', "*a*a*a*a*a*b", true, true);
    row("long run never found", as, "*aaaaaaaaaaaaaaaaaaaab*", false, false);
    row("mixed elements never found", mixed, "*a?c*e*a*x*", false, false);
    row("lists and digit never found", mixed, "*[a-c]?[!x]*#*", false, false);
}

void TstSearch::matches()
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

void TstSearch::progressResultsCaseModesAndRefusals()
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

QTEST_MAIN(TstSearch)
#include "tst_search.moc"
