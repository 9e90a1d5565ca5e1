#include "support/testwindow.h"

#include "app/helppage.h"
#include "app/helptext.h"
#include "snmp/snmpagentpage.h"
#include "tcp/tcpservicepage.h"
#include "workbench/mibfixpage.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QtTest>

class TstStartup : public QObject
{
    Q_OBJECT
private slots:
    void oldLoadOrderAndTraceFilesAreGone();
    void addressBoxesHoldTheCurrentAdaptersAddress();
    void windowOpensOnMibFixWithItsTitle();
    void tabSwitchSetsTheWidths();
    void helpTextLineByLine();
};

void TstStartup::oldLoadOrderAndTraceFilesAreGone()
{
    TestWindow test;
    writeFile(test.programFolder() + "/LoadOrder.txt", "IF-MIB.txt\r\n");
    writeFile(test.traceFolder() + "/Snmp_192.0.2.1_171.txt", "x");
    writeFile(test.traceFolder() + "/TCP_192.0.2.1_80.txt", "x");
    writeFile(test.traceFolder() + "/readme.txt", "keep");
    writeFile(test.traceFolder() + "/SnmpOld/inside.txt", "keep");
    FrmMain &window = test.open();

    QVERIFY(!QFile::exists(test.programFolder() + "/LoadOrder.txt"));
    QVERIFY(!QFile::exists(test.traceFolder() + "/Snmp_192.0.2.1_171.txt"));
    QVERIFY(!QFile::exists(test.traceFolder() + "/TCP_192.0.2.1_80.txt"));
    QVERIFY(QFile::exists(test.traceFolder() + "/readme.txt"));
    QVERIFY(QFile::exists(test.traceFolder() + "/SnmpOld/inside.txt"));
    QCOMPARE(window.mibFix->lbxLoadOrder->count(), 0);
    QVERIFY(!window.mibFix->tbrRemove->isEnabled());
    QVERIFY(!window.mibFix->tbrUp->isEnabled());
    QVERIFY(!window.mibFix->tbrDown->isEnabled());
    QVERIFY(!window.mibFix->tbrAdd->isEnabled()); // no current file yet
    QCOMPARE(window.mibFix->lblFileCounter->text(), QStringLiteral("0 (0)"));
}

void TstStartup::addressBoxesHoldTheCurrentAdaptersAddress()
{
    AdapterRecord loop;
    loop.name = "lo";
    loop.type = "Loopback";
    loop.ipv4Address = "127.0.0.1";
    AdapterRecord nic;
    nic.name = "eth0";
    nic.type = "Ethernet";
    nic.ipv4Address = "127.0.0.9";
    TestWindow test(AdapterSnapshot{{loop, nic}, 1});
    FrmMain &window = test.open();
    for (QLineEdit *box : window.snmpAgent->txtSnmpIpAddr)
        QCOMPARE(box->text(), QStringLiteral("127.0.0.9"));
    for (QLineEdit *box : window.tcpService->txtTcpIpAddr)
        QCOMPARE(box->text(), QStringLiteral("127.0.0.9"));
    QCOMPARE(window.snmpAgent->cboType1->currentText(), QStringLiteral("Integer32"));
    QCOMPARE(window.snmpAgent->cboType2->currentText(), QStringLiteral("Integer32"));
    QCOMPARE(window.snmpAgent->cboType2->count(), 9);
    QCOMPARE(window.snmpAgent->cboType1->itemText(8), QStringLiteral("Unsigned32"));

    // With no adapter at all the rows still get a usable address.
    TestWindow bare(AdapterSnapshot{});
    QCOMPARE(bare.open().tcpService->txtTcpIpAddr[3]->text(), QStringLiteral("127.0.0.1"));
}

void TstStartup::windowOpensOnMibFixWithItsTitle()
{
    TestWindow test;
    FrmMain &window = test.open();
    QCOMPARE(window.windowTitle(), QStringLiteral("  Velmor SNMP Test Tool, ver 1.01"));
    QCOMPARE(window.tab1->currentIndex(), 0);
    const QStringList captions = {"MIB Fix", "SNMP Agent", "TCP Service", "Help"};
    for (int i = 0; i < captions.size(); ++i)
        QCOMPARE(window.tab1->tabText(i), captions.at(i));
    QCOMPARE(window.findChild<QLineEdit *>("txtSnmpPort_6")->text(), QStringLiteral("177"));
    QCOMPARE(window.findChild<QLineEdit *>("txtTcpReply_0")->text(),
             QStringLiteral("HTTP/1.1 200"));
    QCOMPARE(window.findChild<QLineEdit *>("txtTcpReply_3")->text(), QString());
    QCOMPARE(window.findChild<QLineEdit *>("txtTcpPort_3")->accessibleDescription(),
             QStringLiteral("txtTcpPort_3"));
}

void TstStartup::tabSwitchSetsTheWidths()
{
    TestWindow test;
    FrmMain &window = test.open();
    const auto pixels = [&](int twips) { return qRound(twips * window.logicalDpiX() / 1440.0); };
    QCOMPARE(window.width(), pixels(12090));
    for (int tab : {1, 2, 3, 0, 3}) {
        window.tab1->setCurrentIndex(tab);
        const int windowTwips = tab == 0 ? 12090 : 5490;
        QCOMPARE(window.width(), pixels(windowTwips));
        QCOMPARE(window.tab1->width(), pixels(windowTwips - 435));
    }
}

void TstStartup::helpTextLineByLine()
{
    TestWindow test;
    const QString text = test.open().help->helpText();
    QVERIFY(text.endsWith("\r\n"));
    const QStringList lines = text.chopped(2).split("\r\n");
    QCOMPARE(lines.size(), 28);
    QCOMPARE(lines.at(2),
             QStringLiteral("The purpose with MIB Fix is to prepare a LoadOrder.txt "));
    QCOMPARE(lines.at(14), QStringLiteral("The 'Create LoadOrder' button only checks "));
    QCOMPARE(lines.at(25), QString(20, '_'));
    QCOMPARE(lines.at(26), QStringLiteral("Velmor, 2026"));
}

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
