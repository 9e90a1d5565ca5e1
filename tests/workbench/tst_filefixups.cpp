#include "listhelpers.h"
#include "support/testwindow.h"
#include "workbench/crlffix.h"
#include "workbench/filebrowser.h"
#include "workbench/mibfixpage.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TstFileFixups : public QObject
{
    Q_OBJECT
private slots:
    void fixCrLfRenameAndDeleteChangeOnlyTheSelection();
};

void TstFileFixups::fixCrLfRenameAndDeleteChangeOnlyTheSelection()
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

QTEST_MAIN(TstFileFixups)
#include "tst_filefixups.moc"
