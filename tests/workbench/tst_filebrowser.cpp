#include "support/testwindow.h"

#include "workbench/filebrowser.h"
#include "workbench/filepattern.h"
#include "workbench/mibfixpage.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

class TstFileBrowser : public QObject
{
    Q_OBJECT
private slots:
    void pattern_data();
    void pattern();
    void counterFollowsSelectionAndRefresh();
    void listIsSortedWithoutHiddenFiles();
    void fullPathFollowsTheHighlightedEntry();
    void openingADirectoryListsItsFiles();
    void unreadableDirectoryShowsAnEmptyList();
    void rootIsFirstDrive();
};

namespace {

QStringList listed(const QListWidget *list)
{
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->item(i)->text());
    return names;
}

int rowOfPath(const QListWidget *list, const QString &path)
{
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->data(Qt::UserRole).toString() == path)
            return i;
    }
    return -1;
}

} // namespace

void TstFileBrowser::pattern_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("matches");
    QTest::newRow("star dot star, no dot") << "*.*"
                                           << "SNMPv2-SMI" << true;
    QTest::newRow("star dot star") << "*.*"
                                   << "IF-MIB.txt" << true;
    QTest::newRow("extension, any case") << "*.mib"
                                         << "IF-MIB.MIB" << true;
    QTest::newRow("extension mismatch") << "*.mib"
                                        << "IF-MIB.txt" << false;
    QTest::newRow("question mark") << "IF-MI?.txt"
                                   << "IF-MIB.txt" << true;
    QTest::newRow("question mark needs a char") << "IF-MIB?.txt"
                                                << "IF-MIB.txt" << false;
    QTest::newRow("list") << "*.mib; *.txt"
                          << "a.txt" << true;
    QTest::newRow("list none") << "*.mib;*.my"
                               << "a.txt" << false;
    QTest::newRow("empty pattern") << ""
                                   << "a.txt" << false;
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
    for (int i = 0; i < 12; ++i)
        writeFile(test.startDirectory() + QStringLiteral("/M%1.txt").arg(i, 2, 10, QChar('0')),
                  "x");
    writeFile(test.startDirectory() + "/A.mib", "x");
    FrmMain &window = test.open();
    MibFixPage &page = *window.mibFix;
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
    QCOMPARE(listed(page.lbxFile), QStringList{"A.mib"});
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("1 (0)"));

    // Refresh also shows files added since.
    writeFile(test.startDirectory() + "/B.MIB", "x");
    page.cmdRefresh->click();
    QCOMPARE(listed(page.lbxFile), (QStringList{"A.mib", "B.MIB"}));
}

void TstFileBrowser::listIsSortedWithoutHiddenFiles()
{
    TestWindow test;
    for (const char *name : {"b.txt", "A.txt", "c", ".hidden"})
        writeFile(test.startDirectory() + '/' + name, "x");
    QDir(test.startDirectory()).mkdir("sub");
    FrmMain &window = test.open();
    QCOMPARE(listed(window.mibFix->lbxFile), (QStringList{"A.txt", "b.txt", "c"}));
}

void TstFileBrowser::fullPathFollowsTheHighlightedEntry()
{
    TestWindow test;
    QDir(test.startDirectory()).mkdir("MIB Files");
    writeFile(test.startDirectory() + "/A.MIB", "x");
    FrmMain &window = test.open();
    FileBrowser &browser = *window.fileBrowser;
    const QString start = QDir::cleanPath(test.startDirectory());
    QCOMPARE(browser.FullFilePath("A.MIB"), QDir::toNativeSeparators(start + "/A.MIB"));

    // A single click moves the highlight without opening: the list still shows the open folder.
    const QString sub = start + "/MIB Files";
    QListWidget *dirs = window.mibFix->lbxDir;
    dirs->setCurrentRow(rowOfPath(dirs, sub));
    QCOMPARE(browser.FullFilePath("A.MIB"), QDir::toNativeSeparators(sub + "/A.MIB"));
    QCOMPARE(listed(window.mibFix->lbxFile), QStringList{"A.MIB"});

    // At the root the separator is not doubled.
    browser.openDirectory(QDir::rootPath());
    QCOMPARE(browser.FullFilePath("A.MIB"), QDir::toNativeSeparators(QDir::rootPath() + "A.MIB"));
}

void TstFileBrowser::openingADirectoryListsItsFiles()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/sub/one.txt", "x");
    writeFile(test.startDirectory() + "/sub/two.mib", "x");
    writeFile(test.startDirectory() + "/top.txt", "x");
    FrmMain &window = test.open();
    MibFixPage &page = *window.mibFix;
    page.lbxFile->item(0)->setSelected(true);
    page.txtPattern->setText("*.txt");

    const QString sub = QDir::cleanPath(test.startDirectory()) + "/sub";
    QListWidget *dirs = page.lbxDir;
    emit dirs->itemActivated(dirs->item(rowOfPath(dirs, sub)));
    QCOMPARE(window.fileBrowser->openDirectory(), sub);
    QCOMPARE(listed(page.lbxFile), QStringList{"one.txt"}); // the pattern applies on opening
    QCOMPARE(page.lblFileCounter->text(), QStringLiteral("1 (0)"));
    QCOMPARE(dirs->currentItem()->data(Qt::UserRole).toString(), sub);
    // The ancestors stay listed, so the user can go back up.
    QVERIFY(rowOfPath(dirs, QDir::cleanPath(test.startDirectory())) >= 0);
    QVERIFY(rowOfPath(dirs, QDir::rootPath()) >= 0);
}

void TstFileBrowser::unreadableDirectoryShowsAnEmptyList()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/a.txt", "x");
    FrmMain &window = test.open();
    window.fileBrowser->openDirectory(test.startDirectory() + "/does-not-exist");
    QCOMPARE(window.mibFix->lbxFile->count(), 0);
    QCOMPARE(window.mibFix->lblFileCounter->text(), QStringLiteral("0 (0)"));
}

void TstFileBrowser::rootIsFirstDrive()
{
    TestWindow test;
    FrmMain &window = test.open();
    QComboBox *drives = window.mibFix->lbxDrive;
    QVERIFY(drives->count() >= 1);
    QCOMPARE(drives->itemData(0).toString(), QDir::rootPath());

    // A drive keeps its current directory: picking it again returns there.
    const QString start = window.fileBrowser->openDirectory();
    emit drives->activated(drives->currentIndex());
    QCOMPARE(window.fileBrowser->openDirectory(), start);
}

QTEST_MAIN(TstFileBrowser)
#include "tst_filebrowser.moc"
