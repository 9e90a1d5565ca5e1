#include "loadorder/loadorderactions.h"
#include "support/testwindow.h"
#include "workbench/mibfixpage.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

class TstCreateLoadOrder : public QObject
{
    Q_OBJECT
private slots:
    void selectedFilesInLoadOrder();
    void nothingSelectedLeavesAnEmptyLoadOrder();
    void unresolvableOrderKeepsWhatWasPlaced();
    void tooManyFilesTakeTheErrorPath();
    void readOnlyLoadOrderStays();
};

namespace {

QStringList items(const QListWidget *list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts.append(list->item(i)->text());
    return texts;
}

QByteArray mib(const QByteArray &name, const QByteArray &imports)
{
    return name + " DEFINITIONS ::= BEGIN\r\nIMPORTS\r\n  x\r\n    FROM " + imports + ";\r\n";
}

} // namespace

void TstCreateLoadOrder::selectedFilesInLoadOrder()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/a-mib.txt", mib("A-MIB", "C-MIB"));
    writeFile(test.startDirectory() + "/B\u00f8-MIB.txt", mib("B-MIB", "SNMPv2-SMI"));
    writeFile(test.startDirectory() + "/c-mib.txt", mib("C-MIB", "B-MIB"));
    writeFile(test.startDirectory() + "/unselected.txt", mib("D-MIB", "SNMPv2-SMI"));
    writeFile(test.programFolder() + "/LoadOrder.txt", "old.txt\r\n");
    MibFixPage &page = *test.open().mibFix;
    for (int row : {0, 1, 2})
        page.lbxFile->item(row)->setSelected(true);

    page.cmdCreateLoadOrder->click();

    const QStringList expected = {QString::fromUtf8("B\u00f8-MIB.txt"), "c-mib.txt", "a-mib.txt"};
    QCOMPARE(items(page.lbxLoadOrder), expected);
    // The name's on-disk bytes, so the entry finds the file again.
    QCOMPARE(readFile(test.programFolder() + "/LoadOrder.txt"),
             QByteArray("B\xc3\xb8-MIB.txt\r\nc-mib.txt\r\na-mib.txt\r\n"));
    QCOMPARE(page.lblLoadOrderCounter->text(), QStringLiteral("3"));
    QCOMPARE(page.lbxLoadOrder->currentRow(), 2);
    QVERIFY(page.tbrUp->isEnabled() && !page.tbrDown->isEnabled());
    QVERIFY(page.cmdCreateLoadOrder->isEnabled() && page.cmdFixCrLf->isEnabled());
    QVERIFY(test.messages.texts.isEmpty());
}

void TstCreateLoadOrder::nothingSelectedLeavesAnEmptyLoadOrder()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/a.txt", mib("A-MIB", "B-MIB"));
    FrmMain &window = test.open();
    writeFile(test.programFolder() + "/LoadOrder.txt", "old.txt\r\n");
    window.mibFix->lbxLoadOrder->addItem("old.txt");

    window.loadOrderActions->cmdCreateLoadOrder_Click();

    QCOMPARE(test.messages.texts, QStringList{"Please select one or more files to order"});
    QVERIFY(QFile::exists(test.programFolder() + "/LoadOrder.txt"));
    QCOMPARE(readFile(test.programFolder() + "/LoadOrder.txt"), QByteArray());
    QCOMPARE(window.mibFix->lbxLoadOrder->count(), 0);
    QCOMPARE(window.mibFix->lblLoadOrderCounter->text(), QStringLiteral("0"));
}

void TstCreateLoadOrder::unresolvableOrderKeepsWhatWasPlaced()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/a.txt", mib("A-MIB", "B-MIB"));
    writeFile(test.startDirectory() + "/b.txt", mib("B-MIB", "A-MIB"));
    writeFile(test.startDirectory() + "/c.txt", mib("C-MIB", "SNMPv2-SMI"));
    MibFixPage &page = *test.open().mibFix;
    page.cmdSelectAll->click();

    page.cmdCreateLoadOrder->click();

    QCOMPARE(test.messages.texts, QStringList{"A problem occurred when creating LoadOrder.txt"});
    QCOMPARE(items(page.lbxLoadOrder), QStringList{"c.txt"});
    QCOMPARE(page.lblLoadOrderCounter->text(), QStringLiteral("1"));
    QVERIFY(!QFile::exists(test.programFolder() + "/LoadOrder.txt"));
    QVERIFY(page.cmdSelectAll->isEnabled());
}

void TstCreateLoadOrder::tooManyFilesTakeTheErrorPath()
{
    TestWindow test;
    for (int i = 0; i < 1001; ++i)
        writeFile(test.startDirectory() + QStringLiteral("/f%1.txt").arg(i, 4, 10, QChar('0')),
                  "M" + QByteArray::number(i) + " DEFINITIONS ::= BEGIN\r\n");
    MibFixPage &page = *test.open().mibFix;
    writeFile(test.programFolder() + "/LoadOrder.txt", "old.txt\r\n");
    page.lbxLoadOrder->addItem("old.txt");
    page.cmdSelectAll->click();

    page.cmdCreateLoadOrder->click();

    QCOMPARE(test.messages.texts.size(), 1);
    QVERIFY(test.messages.texts.first().contains("1000"));
    QCOMPARE(page.lbxLoadOrder->count(), 0);
    QVERIFY(!QFile::exists(test.programFolder() + "/LoadOrder.txt"));
    QVERIFY(page.cmdCreateLoadOrder->isEnabled());

    // One file fewer is accepted.
    page.lbxFile->item(1000)->setSelected(false);
    page.cmdCreateLoadOrder->click();
    QCOMPARE(test.messages.texts.size(), 1);
    QCOMPARE(page.lblLoadOrderCounter->text(), QStringLiteral("1000"));
}

void TstCreateLoadOrder::readOnlyLoadOrderStays()
{
    TestWindow test;
    writeFile(test.startDirectory() + "/a.txt", mib("A-MIB", "B-MIB"));
    MibFixPage &page = *test.open().mibFix;
    const QString path = test.programFolder() + "/LoadOrder.txt";
    writeFile(path, "old.txt\r\n");
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    page.cmdSelectAll->click();

    page.cmdCreateLoadOrder->click();

    QCOMPARE(test.messages.texts.size(), 1);
    QVERIFY(test.messages.texts.first().contains("read-only"));
    QCOMPARE(readFile(path), QByteArray("old.txt\r\n"));
}

QTEST_MAIN(TstCreateLoadOrder)
#include "tst_createloadorder.moc"
