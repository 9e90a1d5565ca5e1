#include "support/testwindow.h"
#include "workbench/filebrowser.h"
#include "workbench/mibfixpage.h"
#include "workbench/searchinfiles.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

namespace {

QByteArray mibLines(int count, int wordLine = -1, const QByteArray &word = "QUANDIX")
{
    QByteArray text;
    for (int i = 1; i <= count; ++i)
        text += (i == wordLine ? "  -- " + word + " agent" : "  ifIndex OBJECT-TYPE") + "\r\n";
    return text;
}

QStringList entries(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

void select(MibFixPage &page, const QStringList &names)
{
    for (const QString &name : names)
        page.lbxFile->findItems(name, Qt::MatchExactly).value(0)->setSelected(true);
}

// Watches the window while a search pauses between files.
struct SearchWatch
{
    explicit SearchWatch(MibFixPage &page)
    {
        QObject::connect(&timer, &QTimer::timeout, [this, &page] {
            const QString caption = page.lblSearchCounter->text();
            if (captions.isEmpty() || captions.last() != caption)
                captions.append(caption);
            const QList<QPushButton *> locked = {
                page.cmdRefresh,       page.cmdFixCrLf,         page.cmdRename,
                page.cmdSelectAll,     page.cmdUnSelectAll,     page.cmdSearch,
                page.cmdOpenLoadOrder, page.cmdDeleteLoadOrder, page.cmdCreateLoadOrder};
            for (QPushButton *button : locked)
                anyLockedEnabled = anyLockedEnabled || button->isEnabled();
            deleteDisabled = deleteDisabled || !page.cmdDelete->isEnabled();
        });
        timer.start(0);
    }
    QTimer timer;
    QStringList captions;
    bool anyLockedEnabled = false;
    bool deleteDisabled = false;
};

} // namespace

class TstSearch : public QObject
{
    Q_OBJECT
private slots:
    void progressCaptionsAndHits();
    void resultsInListOrderOncePerFile();
    void lfOnlyFileIsOneLine();
    void emptyPatternSearchesNothing();
    void noSelectionEndsWithZeroHits();
    void malformedPatternIsReported();
    void unreadableFileIsSkipped();
};

void TstSearch::progressCaptionsAndHits()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/A-MIB.txt", mibLines(60));
    writeFile(test.startDirectory() + "/B-MIB.txt", mibLines(60, 40));
    writeFile(test.startDirectory() + "/C-MIB.txt", mibLines(60));
    MibFixPage &page = *test.open().mibFix;
    page.cmdSelectAll->click();
    page.chkCaseSensitive->setChecked(false);
    QCOMPARE(page.txtFind->text(), QStringLiteral("*quandix*"));
    {
        SearchWatch watch(page);
        page.cmdSearch->click();
        QCOMPARE(watch.captions, QStringList({"1 (3)", "2 (3)", "3 (3)"}));
        QVERIFY(!watch.anyLockedEnabled);
        QVERIFY(!watch.deleteDisabled);
    }
    QCOMPARE(page.lblSearchCounter->text(), QStringLiteral("Finished!  1 Hits"));
    QCOMPARE(entries(page.lbxResult), QStringList{"B-MIB.txt"});
    QVERIFY(page.cmdSearch->isEnabled() && page.cmdCreateLoadOrder->isEnabled());
    QVERIFY(!test.window().searchInFiles->isSearchBusy());

    page.chkCaseSensitive->setChecked(true);
    page.cmdSearch->click();
    QCOMPARE(page.lblSearchCounter->text(), QStringLiteral("Finished!  0 Hits"));
    QCOMPARE(page.lbxResult->count(), 0);
    QVERIFY(test.messages.texts.isEmpty());
}

void TstSearch::resultsInListOrderOncePerFile()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/z.mib", "quandix\r\nquandix 2\r\n");
    writeFile(test.startDirectory() + "/b.mib", "nothing\r\n");
    writeFile(test.startDirectory() + "/a.mib", "x quandix\r\n");
    writeFile(test.startDirectory() + "/m.mib", "quandix\r\n"); // not selected
    MibFixPage &page = *test.open().mibFix;
    select(page, {"z.mib", "b.mib", "a.mib"});
    page.cmdSearch->click();
    QCOMPARE(entries(page.lbxResult), QStringList({"a.mib", "z.mib"}));
    QCOMPARE(page.lblSearchCounter->text(), QStringLiteral("Finished!  2 Hits"));
}

void TstSearch::lfOnlyFileIsOneLine()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/crlf.mib", "IMPORTS\r\nquandix\r\nEND\r\n");
    writeFile(test.startDirectory() + "/lf.mib", "IMPORTS\nquandix\nEND\n");
    MibFixPage &page = *test.open().mibFix;
    page.cmdSelectAll->click();
    page.txtFind->setText("quandix"); // no stars: the whole line must be the word
    page.cmdSearch->click();
    QCOMPARE(entries(page.lbxResult), QStringList{"crlf.mib"});
    page.txtFind->setText("*quandix*");
    page.cmdSearch->click();
    QCOMPARE(entries(page.lbxResult), QStringList({"crlf.mib", "lf.mib"}));
}

void TstSearch::emptyPatternSearchesNothing()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/a.mib", "quandix\r\n");
    MibFixPage &page = *test.open().mibFix;
    page.cmdSelectAll->click();
    page.lbxResult->addItem("old.mib");
    page.lblSearchCounter->setText("Finished!  7 Hits");
    page.txtFind->clear();
    page.cmdSearch->click();
    QCOMPARE(test.messages.texts, QStringList{"Please enter a word to lookup"});
    QCOMPARE(page.lbxResult->count(), 0);
    QCOMPARE(page.lblSearchCounter->text(), QStringLiteral("Finished!  7 Hits"));
    QVERIFY(page.cmdSearch->isEnabled() && page.cmdRefresh->isEnabled());
}

void TstSearch::noSelectionEndsWithZeroHits()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/a.mib", "quandix\r\n");
    MibFixPage &page = *test.open().mibFix;
    page.cmdSearch->click();
    QCOMPARE(test.messages.texts, QStringList{"Please select one or more files to check"});
    QCOMPARE(page.lblSearchCounter->text(), QStringLiteral("Finished!  0 Hits"));
    QVERIFY(page.cmdSearch->isEnabled());
}

void TstSearch::malformedPatternIsReported()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/a.mib", "quandix\r\n");
    MibFixPage &page = *test.open().mibFix;
    page.cmdSelectAll->click();
    page.lblSearchCounter->setText("before");
    for (const QString pattern : {"*[quandix*", "*[z-a]*"}) {
        page.txtFind->setText(pattern);
        page.cmdSearch->click();
        QCOMPARE(test.messages.texts.size(), 1);
        QVERIFY(test.messages.takeFirst().contains(pattern));
        QCOMPARE(page.lblSearchCounter->text(), QStringLiteral("before"));
        QVERIFY(page.cmdSearch->isEnabled() && page.cmdFixCrLf->isEnabled());
    }
}

void TstSearch::unreadableFileIsSkipped()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/a.mib", "quandix\r\n");
    writeFile(test.startDirectory() + "/b.mib", "quandix\r\n");
    writeFile(test.startDirectory() + "/c.mib", "quandix\r\n");
    MibFixPage &page = *test.open().mibFix;
    page.cmdSelectAll->click();
    QVERIFY(QFile::remove(test.startDirectory() + "/b.mib")); // still listed
    page.cmdSearch->click();
    QCOMPARE(entries(page.lbxResult), QStringList({"a.mib", "c.mib"}));
    QCOMPARE(page.lblSearchCounter->text(), QStringLiteral("Finished!  2 Hits"));
    QVERIFY(test.messages.texts.isEmpty());
}

QTEST_MAIN(TstSearch)
#include "tst_search.moc"
