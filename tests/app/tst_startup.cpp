#include "support/testwindow.h"

#include "app/helppage.h"
#include "snmp/ui/snmpagentpage.h"
#include "tcp/tcpservicepage.h"
#include "workbench/mibfixpage.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

namespace {

QString accessibleText(QObject *object, QAccessible::Text kind = QAccessible::Name)
{
    return QAccessible::queryAccessibleInterface(object)->text(kind);
}

} // namespace

class TstStartup : public QObject
{
    Q_OBJECT
private slots:
    void startUp();
    void assistiveTechnologyReadsAndOperatesTheWindow();
};

void TstStartup::startUp()
{
    TestWindow test({{adapterRecord("lo", "Loopback", "127.0.0.1"),
                      adapterRecord("eth0", "Ethernet", "127.0.0.9")},
                     1});
    writeFile(test.programFolder() + "/LoadOrder.txt", "IF-MIB.txt\r\n");
    const QStringList gone = {"Snmp_192.0.2.1_171.txt", "TCP_192.0.2.1_80.txt"};
    const QStringList kept = {"readme.txt", "SnmpOld/inside.txt"};
    for (const QString &name : gone + kept)
        writeFile(test.traceFolder() + "/" + name, "x");
    FrmMain &window = test.open();

    QVERIFY(!QFile::exists(test.programFolder() + "/LoadOrder.txt"));
    for (const QString &name : gone + kept)
        QCOMPARE(QFile::exists(test.traceFolder() + "/" + name), kept.contains(name));
    QCOMPARE(window.mibFix->lbxLoadOrder->count(), 0);
    for (QAction *button : {window.mibFix->tbrAdd, window.mibFix->tbrRemove, window.mibFix->tbrUp,
                            window.mibFix->tbrDown})
        QVERIFY(!button->isEnabled()); // Add too: no current file yet

    for (QLineEdit *box : window.snmpAgent->txtSnmpIpAddr)
        QCOMPARE(box->text(), QStringLiteral("127.0.0.9"));
    for (QLineEdit *box : window.tcpService->txtTcpIpAddr)
        QCOMPARE(box->text(), QStringLiteral("127.0.0.9"));
    for (QComboBox *type : {window.snmpAgent->cboType1, window.snmpAgent->cboType2})
        QCOMPARE(type->currentText(), QStringLiteral("Integer32"));

    // Switching from MIB Fix narrows the window, switching back widens it.
    QCOMPARE(window.tab1->currentIndex(), 0);
    const auto pixels = [&](int twips) { return qRound(twips * window.logicalDpiX() / 1440.0); };
    QCOMPARE(window.width(), pixels(12090));
    for (int tab : {1, 2, 3, 0, 3}) {
        window.tab1->setCurrentIndex(tab);
        const int windowTwips = tab == 0 ? 12090 : 5490;
        QCOMPARE(window.width(), pixels(windowTwips));
        QCOMPARE(window.tab1->width(), pixels(windowTwips - 435));
    }

    // With no adapter at all the rows still get a usable address.
    TestWindow bare(AdapterSnapshot{});
    QCOMPARE(bare.open().tcpService->txtTcpIpAddr[3]->text(), QStringLiteral("127.0.0.1"));
}

// A screen reader meets a window, reads the live text of labels, buttons, check boxes, frames
// and tabs and a human label for boxes and lists, finds every control by its name, and what it
// operates works as a click would.
void TstStartup::assistiveTechnologyReadsAndOperatesTheWindow()
{
    TestWindow test;
    FrmMain &window = test.open();
    QCOMPARE(QAccessible::queryAccessibleInterface(&window)->role(), QAccessible::Window);
    QCOMPARE(accessibleText(&window), QStringLiteral("  Velmor SNMP Test Tool, ver 1.01"));
    QAccessibleInterface *tabs = QAccessible::queryAccessibleInterface(window.tab1->tabBar());
    const QStringList captions = {"MIB Fix", "SNMP Agent", "TCP Service", "Help"};
    for (int i = 0; i < captions.size(); ++i)
        QCOMPARE(tabs->child(i)->text(QAccessible::Name), captions.at(i));

    // Ticked by assistive technology, Debug Mode turns tracing on as a click does.
    QCheckBox *debugMode = window.help->chkDebugMode;
    QAccessible::queryAccessibleInterface(debugMode)->actionInterface()->doAction(
        QAccessibleActionInterface::toggleAction());
    QVERIFY(debugMode->isChecked() && window.trace().debugMode());

    const QRegularExpression controlName("^(lbx|txt|cmd|lbl|chk|cbo|fra|tbr|mnu|tab)[A-Z0-9]");
    int named = 0;
    for (QWidget *control : window.findChildren<QWidget *>()) {
        const QString name = control->objectName();
        if (!controlName.match(name).hasMatch()) // Qt's own parts have other names
            continue;
        ++named;
        QCOMPARE(accessibleText(control, QAccessible::Description), name);
        // Counters, Start/Stop captions and the like change while the program runs.
        const bool frame = qobject_cast<QGroupBox *>(control);
        if (frame || qobject_cast<QLabel *>(control) ||
            (qobject_cast<QAbstractButton *>(control) && !qobject_cast<QToolButton *>(control))) {
            control->setProperty(frame ? "title" : "text", name + " 12 (3)");
            QCOMPARE(accessibleText(control), name + " 12 (3)");
        } else {
            QVERIFY2(!accessibleText(control).isEmpty() && accessibleText(control) != name,
                     qPrintable(name));
        }
    }
    QVERIFY(named > 90);
}

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
