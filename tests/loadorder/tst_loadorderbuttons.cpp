#include "support/testwindow.h"

#include "loadorder/loadorderbuttons.h"
#include "workbench/mibfixpage.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>

class TstLoadOrderButtons : public QObject
{
    Q_OBJECT
private slots:
    void buttonsFollowTheLists_data();
    void buttonsFollowTheLists();
    void deleteClearsOnlyWhenTheFileExisted();
    void openStartsTheEditorOnlyWhenTheFileExists();
};

void TstLoadOrderButtons::buttonsFollowTheLists_data()
{
    QTest::addColumn<int>("orderItems");
    QTest::addColumn<int>("orderCurrent");
    QTest::addColumn<bool>("fileCurrent");
    QTest::addColumn<QString>("enabled"); // Add, Remove, Up, Down as 1/0
    QTest::newRow("empty lists") << 0 << -1 << false << "0000";
    QTest::newRow("file current") << 0 << -1 << true << "1000";
    QTest::newRow("one entry, current") << 1 << 0 << false << "0100";
    QTest::newRow("last of three") << 3 << 2 << false << "0110";
    QTest::newRow("first of three") << 3 << 0 << false << "0101";
    QTest::newRow("middle, file current") << 3 << 1 << true << "1111";
    QTest::newRow("entries, none current") << 3 << -1 << false << "0000";
}

void TstLoadOrderButtons::buttonsFollowTheLists()
{
    QFETCH(int, orderItems);
    QFETCH(int, orderCurrent);
    QFETCH(bool, fileCurrent);
    QFETCH(QString, enabled);
    TestWindow test;
    writeFile(test.startDirectory() + "/IF-MIB.txt", "x");
    FrmMain &window = test.open();
    MibFixPage &page = *window.mibFix;
    for (int i = 0; i < orderItems; ++i)
        page.lbxLoadOrder->addItem(QStringLiteral("M%1.txt").arg(i));
    page.lbxLoadOrder->setCurrentRow(orderCurrent);
    page.lbxFile->setCurrentRow(fileCurrent ? 0 : -1);
    window.loadOrderButtons->UpdateLoadOrderButtons();
    const QString state =
        QString::number(page.tbrAdd->isEnabled()) + QString::number(page.tbrRemove->isEnabled()) +
        QString::number(page.tbrUp->isEnabled()) + QString::number(page.tbrDown->isEnabled());
    QCOMPARE(state, enabled);
}

void TstLoadOrderButtons::deleteClearsOnlyWhenTheFileExisted()
{
    TestWindow test;
    FrmMain &window = test.open();
    MibFixPage &page = *window.mibFix;
    page.lbxLoadOrder->addItems({"A.txt", "B.txt"});
    page.lblLoadOrderCounter->setText("2");

    page.cmdDeleteLoadOrder->click(); // no file: the list keeps its items
    QCOMPARE(page.lbxLoadOrder->count(), 2);
    QCOMPARE(page.lblLoadOrderCounter->text(), QStringLiteral("2"));

    writeFile(test.programFolder() + "/LoadOrder.txt", "A.txt\r\nB.txt\r\n");
    page.cmdDeleteLoadOrder->click();
    QVERIFY(!QFile::exists(test.programFolder() + "/LoadOrder.txt"));
    QCOMPARE(page.lbxLoadOrder->count(), 0);
    QCOMPARE(page.lblLoadOrderCounter->text(), QStringLiteral("0"));
    QVERIFY(test.messages.texts.isEmpty());
}

void TstLoadOrderButtons::openStartsTheEditorOnlyWhenTheFileExists()
{
    TestWindow test;
    FrmMain &window = test.open();
    window.mibFix->cmdOpenLoadOrder->click();
    QVERIFY(test.editor.paths.isEmpty());
    QVERIFY(test.messages.texts.isEmpty());
    writeFile(test.programFolder() + "/LoadOrder.txt", "A.txt\r\n");
    window.mibFix->cmdOpenLoadOrder->click();
    QCOMPARE(test.editor.paths, QStringList{test.programFolder() + "/LoadOrder.txt"});
}

QTEST_MAIN(TstLoadOrderButtons)
#include "tst_loadorderbuttons.moc"
