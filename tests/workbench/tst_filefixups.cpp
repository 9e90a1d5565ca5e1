#include "support/testwindow.h"
#include "workbench/filebrowser.h"
#include "workbench/mibfixpage.h"
#include "workbench/renametarget.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

namespace {

QStringList listed(const MibFixPage &page)
{
    QStringList names;
    for (int i = 0; i < page.lbxFile->count(); ++i)
        names.append(page.lbxFile->item(i)->text());
    return names;
}

void select(MibFixPage &page, const QStringList &names)
{
    for (const QString &name : names)
        page.lbxFile->findItems(name, Qt::MatchExactly).value(0)->setSelected(true);
}

} // namespace

class TstFileFixups : public QObject
{
    Q_OBJECT
private slots:
    void renameTargets_data();
    void renameTargets();
    void nothingSelectedShowsEachButtonsMessage();
    void deleteRemovesAllSelectedFiles();
    void renameNeverOverwritesAndSkipsDottedFolders();
    void fixCrLfRewritesTextAndReportsBinaryFiles();
    void fixCrLfStopsAtTheFirstFailure();
};

void TstFileFixups::renameTargets_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("target");
    QTest::newRow("txt") << "/mibs/RFC1213-MIB.txt"
                         << "/mibs/RFC1213-MIB.mib";
    QTest::newRow("two dots") << "/mibs/IF-MIB.my.txt"
                              << "/mibs/IF-MIB.mib";
    QTest::newRow("no dot") << "/mibs/SNMPv2-SMI"
                            << "/mibs/SNMPv2-SMI";
    QTest::newRow("dotted folder") << "/home/u/mibs.v2/IF-MIB.txt"
                                   << "/home/u/mibs.v2/IF-MIB.mib";
    QTest::newRow("dotted folder, no dot") << "/home/u/mibs.v2/SNMPv2-SMI"
                                           << "/home/u/mibs.v2/SNMPv2-SMI";
    QTest::newRow("already mib") << "/mibs/IF-MIB.mib"
                                 << "/mibs/IF-MIB.mib";
}

void TstFileFixups::renameTargets()
{
    QFETCH(QString, path);
    QFETCH(QString, target);
    QCOMPARE(mibRenameTarget(path), target);
}

void TstFileFixups::nothingSelectedShowsEachButtonsMessage()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/a.txt", "a\n");
    MibFixPage &page = *test.open().mibFix;
    page.cmdDelete->click();
    page.cmdRename->click();
    page.cmdFixCrLf->click();
    QCOMPARE(test.messages.texts, QStringList({"Please select one or more files to delete",
                                               "Please select one or more files to rename",
                                               "Please select one or more files to fix"}));
    QCOMPARE(readFile(test.startDirectory() + "/a.txt"), QByteArray("a\n"));
    QVERIFY(page.cmdFixCrLf->isEnabled() && page.cmdDelete->isEnabled());
}

void TstFileFixups::deleteRemovesAllSelectedFiles()
{
    TestWindow test;
    for (const char *name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        writeFile(test.startDirectory() + "/" + name, "x");
    MibFixPage &page = *test.open().mibFix;
    select(page, {"a.txt", "b.txt", "d.txt"});
    page.cmdDelete->click();
    QCOMPARE(listed(page), QStringList{"c.txt"});
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("1 (0)"));
    QCOMPARE(QDir(test.startDirectory()).entryList(QDir::Files), QStringList{"c.txt"});
    QVERIFY(test.messages.texts.isEmpty());
}

void TstFileFixups::renameNeverOverwritesAndSkipsDottedFolders()
{
    TestWindow test;
    const QString folder = test.startDirectory() + "/mibs.v2";
    writeFile(folder + "/IF-MIB.my.txt", "if");
    writeFile(folder + "/SNMPv2-SMI", "smi");
    writeFile(folder + "/RFC1213-MIB.txt", "new");
    writeFile(folder + "/RFC1213-MIB.mib", "old");
    writeFile(folder + "/HOST.mib", "host");
    FrmMain &window = test.open();
    window.fileBrowser->openDirectory(folder);
    MibFixPage &page = *window.mibFix;
    page.cmdSelectAll->click();
    page.cmdRename->click();

    QCOMPARE(listed(page), QStringList({"HOST.mib", "IF-MIB.mib", "RFC1213-MIB.mib",
                                        "RFC1213-MIB.txt", "SNMPv2-SMI"}));
    QCOMPARE(readFile(folder + "/IF-MIB.mib"), QByteArray("if"));
    QCOMPARE(readFile(folder + "/RFC1213-MIB.mib"), QByteArray("old"));
    QCOMPARE(readFile(folder + "/RFC1213-MIB.txt"), QByteArray("new"));
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("5 (0)"));
    QCOMPARE(test.messages.texts.size(), 1);
    const QString message = test.messages.texts.first();
    QVERIFY2(message.contains(QDir::toNativeSeparators(folder + "/RFC1213-MIB.txt")),
             qPrintable(message));
    QVERIFY(message.contains("RFC1213-MIB.mib exists already"));
    QVERIFY(!message.contains("HOST") && !message.contains("SNMPv2-SMI"));
}

void TstFileFixups::fixCrLfRewritesTextAndReportsBinaryFiles()
{
    TestWindow test;
    const QString dir = test.startDirectory();
    writeFile(dir + "/a.mib", "a\nb\n");
    writeFile(dir + "/b.bin", QByteArray("x\n\0y\n", 5));
    writeFile(dir + "/c.mib", "a\rb");
    writeFile(dir + "/d.mib", "ok\r\n");
    writeFile(dir + "/e.mib", "untouched\n");
    MibFixPage &page = *test.open().mibFix;
    select(page, {"a.mib", "b.bin", "c.mib", "d.mib"});
    page.lblFileCounter->setText("stale");
    page.cmdFixCrLf->click();

    QCOMPARE(readFile(dir + "/a.mib"), QByteArray("a\r\nb\r\n\r\n"));
    QCOMPARE(readFile(dir + "/b.bin"), QByteArray("x\n\0y\n", 5));
    QCOMPARE(readFile(dir + "/c.mib"), QByteArray("a\r\nb\r\n"));
    QCOMPARE(readFile(dir + "/d.mib"), QByteArray("ok\r\n"));
    QCOMPARE(readFile(dir + "/e.mib"), QByteArray("untouched\n"));
    QCOMPARE(test.messages.texts.size(), 1);
    QVERIFY(test.messages.texts.first().contains(QDir::toNativeSeparators(dir + "/b.bin") +
                                                 " (not a text file)"));
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("5 (4)")); // selection stays
    QCOMPARE(QDir(dir).entryList(QDir::Files).size(), 5);           // no temporary files left
    for (QPushButton *button : {page.cmdSelectAll, page.cmdUnSelectAll, page.cmdRename,
                                page.cmdDelete, page.cmdFixCrLf, page.cmdCreateLoadOrder})
        QVERIFY(button->isEnabled());
}

void TstFileFixups::fixCrLfStopsAtTheFirstFailure()
{
    TestWindow test;
    const QString dir = test.startDirectory();
    writeFile(dir + "/a.mib", "a\n");
    writeFile(dir + "/b.mib", "b\n");
    writeFile(dir + "/c.mib", "c\n");
    QVERIFY(QDir().mkdir(dir + "/b.mib_tmp")); // the temporary file cannot be written
    MibFixPage &page = *test.open().mibFix;
    page.cmdSelectAll->click();
    page.lblFileCounter->setText("stale");
    page.cmdFixCrLf->click();

    QCOMPARE(test.messages.texts,
             QStringList{"An Error Occured in " + QDir::toNativeSeparators(dir + "/b.mib")});
    QCOMPARE(readFile(dir + "/a.mib"), QByteArray("a\r\n\r\n"));
    QCOMPARE(readFile(dir + "/b.mib"), QByteArray("b\n"));
    QCOMPARE(readFile(dir + "/c.mib"), QByteArray("c\n"));
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("stale"));
    QVERIFY(page.cmdFixCrLf->isEnabled() && page.cmdSelectAll->isEnabled());
}

QTEST_MAIN(TstFileFixups)
#include "tst_filefixups.moc"
