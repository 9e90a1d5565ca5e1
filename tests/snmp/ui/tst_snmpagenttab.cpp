#include "support/manager.h"
#include "support/requests.h"
#include "support/testwindow.h"

#include "snmp/agent/recordingloader.h"
#include "snmp/agent/snmpagent.h"
#include "snmp/ui/agentrowmenu.h"
#include "snmp/ui/behaviourdialog.h"
#include "snmp/ui/notificationsdialog.h"
#include "snmp/ui/snmpagentpage.h"
#include "snmp/ui/snmpagenttab.h"
#include "snmp/ui/v3usersdialog.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QtTest>

#include <sys/mman.h>

#include <cstdio>
#include <cstring>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

const QString SysName = QStringLiteral("1.3.6.1.2.1.1.5.0");
const QString Recorded = QStringLiteral("1.3.6.1.2.1.2.2.1.7.1");

// How often `needle` stands in this process's heap and anonymous memory, freed blocks
// included, besides the needle itself. Read through a mapping of its own, which it skips, so
// the scan leaves no copies to find.
qsizetype occurrencesInMemory(QByteArrayView needle)
{
    constexpr qint64 Window = 1 << 20;
    QFile maps(QStringLiteral("/proc/self/maps")), memory(QStringLiteral("/proc/self/mem"));
    void *mapped =
        mmap(nullptr, Window, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (!maps.open(QIODevice::ReadOnly) ||
        !memory.open(QIODevice::Unbuffered | QIODevice::ReadOnly) || mapped == MAP_FAILED)
        return -1;
    char *const window = static_cast<char *>(mapped);
    qsizetype found = 0;
    for (const QByteArray &line : maps.readAll().split('\n')) {
        unsigned long start = 0, end = 0;
        char access[5] = {}, name[256] = {};
        // Files and the stack hold no freed blocks.
        if (std::sscanf(line.constData(), "%lx-%lx %4s %*s %*s %*s %255s", &start, &end, access,
                        name) < 3 ||
            std::strncmp(access, "rw", 2) != 0 || (name[0] && std::strcmp(name, "[heap]") != 0) ||
            start == quintptr(window))
            continue;
        // Windows overlap by the needle's length, so nothing is missed at their seams.
        for (qint64 at = qint64(start); at < qint64(end); at += Window - needle.size()) {
            const qint64 size = qMin(Window, qint64(end) - at);
            if (!memory.seek(at) || memory.read(window, size) != size)
                break;
            const QByteArrayView bytes(window, size);
            for (qsizetype i = bytes.indexOf(needle); i >= 0; i = bytes.indexOf(needle, i + 1))
                found += quintptr(at + i) != quintptr(needle.data());
            if (at + size == qint64(end))
                break;
        }
    }
    munmap(mapped, Window);
    return found;
}

} // namespace

// The SNMP Agent tab in a whole window: the page shows what the rows do, and the row menu and
// its dialogs act on them. Row 0 stays started.
class TstSnmpAgentTab : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { m_test.messages.texts.clear(); }
    void thePageAndTheRowFollowEachOther();
    void startFailuresLeaveTheRowStopped_data();
    void startFailuresLeaveTheRowStopped();
    void recordingsThroughTheRowMenu();
    void usersDialogAddsUsers();
    void usersDialogMarksWriters();
    void passphrasesLeaveNoTrace();
    void behaviourDialogSetsTheRunningRow();
    void notificationsDialogSendsWhatItSays();

private:
    std::optional<SnmpMessage> get(int row, const QStringList &oids, int ms = 2000)
    {
        return m_manager.exchange(m_agents->port(row).toUShort(), makeRequest(64, oids), ms);
    }
    // Through the row menu, as a user does it.
    bool serve(int row, const QString &path)
    {
        QSignalSpy ended(m_test.window().recordingLoader, &RecordingLoader::loadEnded);
        m_test.files.path = path;
        emit m_page->txtSnmpStatus[row]->customContextMenuRequested({2, 2});
        m_menu->mnuServeRecording->trigger();
        m_menu->mnuAgentRow->hide();
        return ended.count() > 0 || ended.wait(20000);
    }

    TestWindow m_test;
    SnmpAgentPage *m_page = nullptr;
    SnmpAgents *m_agents = nullptr;
    AgentRowMenu *m_menu = nullptr;
    Manager m_manager;
    QTemporaryDir m_folder;
};

void TstSnmpAgentTab::initTestCase()
{
    m_page = m_test.open().snmpAgent;
    m_agents = m_test.window().snmpAgents;
    m_menu = m_test.window().snmpAgentTab->rowMenu;
    QVERIFY(m_agents->startOnAnyPort(0));
    writeFile(m_folder.filePath("device.txt"),
              Recorded.toLatin1() + "|2|1\n1.3.6.1.2.1.2.2.1.7.2|2|1\n");
}

// The status box, the button and the port box follow the row; what is typed is answered at once.
void TstSnmpAgentTab::thePageAndTheRowFollowEachOther()
{
    QVERIFY(m_agents->startOnAnyPort(5));
    QCOMPARE(m_page->txtSnmpPort[5]->text(), m_agents->port(5));
    QCOMPARE(m_page->cmdSnmpControl[5]->text(), QStringLiteral("Stop"));
    const QString utf8 = QStringLiteral("Gr\u00fc\u00dfe \u20ac");
    m_page->cboType1->setCurrentText("OctetString");
    m_page->txtValue1->setText(utf8);
    const auto answer = get(5, {m_page->txtOid1->text()});
    QVERIFY(answer);
    QCOMPARE(answer->Variables[0].Value(), utf8);
    m_page->cmdSnmpControl[5]->click();
    QCOMPARE(m_page->txtSnmpStatus[5]->text(), QStringLiteral("Stopped"));
    QCOMPARE(m_page->cmdSnmpControl[5]->text(), QStringLiteral("Start"));
}

void TstSnmpAgentTab::startFailuresLeaveTheRowStopped_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("port"); // "busy": taken by another socket
    QTest::addColumn<QString>("message");
    const auto row = [](const char *name, const char *address, const char *port,
                        const char *message) {
        QTest::newRow(name) << QString(address) << QString(port) << QString(message);
    };
    row("port in use", "127.0.0.1", "busy", "SNMP Agent Port was in use");
    row("letters in the port box", "127.0.0.1", "abc", "Type mismatch");
    row("port beyond 32 bits", "127.0.0.1", "99999999999", "Overflow");
    row("form default address", "255.255.255.255", "free", "SNMP Agent IP Address is not valid");
    row("address of no adapter here", "192.0.2.77", "free", "SNMP Agent IP Address is not valid");
}

void TstSnmpAgentTab::startFailuresLeaveTheRowStopped()
{
    QFETCH(QString, address);
    QFETCH(QString, port);
    QFETCH(QString, message);
    QUdpSocket occupant;
    if (port == "busy" || port == "free") {
        const quint16 number = freeUdpPort();
        if (port == "busy")
            QVERIFY(occupant.bind(QHostAddress::LocalHost, number));
        port = QString::number(number);
    }
    m_page->txtSnmpIpAddr[2]->setText(address);
    m_page->txtSnmpPort[2]->setText(port);
    m_page->cmdSnmpControl[2]->click();
    QVERIFY(!m_agents->isRunning(2));
    QCOMPARE(m_test.messages.texts, QStringList{message});
    QCOMPARE(m_page->txtSnmpStatus[2]->text(), QStringLiteral("Stopped"));
    QVERIFY(m_page->cmdSnmpControl[2]->isEnabled());
    QVERIFY(!m_agents->snmpAgent(2).isListening());
}

// A recording served through the row menu is named in the row's tooltip, and a bad file leaves
// it. Assistive technology opens the row menu from the status box or the button as a
// right-click does; the button's Press and the status box's text stay.
void TstSnmpAgentTab::recordingsThroughTheRowMenu()
{
    QVERIFY(m_agents->startOnAnyPort(1));
    QVERIFY(serve(1, m_folder.filePath("device.txt")));
    QCOMPARE(m_page->txtSnmpStatus[1]->toolTip(), "Serving device.txt (2 recorded objects)");
    const QString bad = m_folder.filePath("bad.walk");
    writeFile(bad, ".1.3.6.1.2.1.1.5.0 = STRING: \"x\"\n.1.3.6.1.2.1.1.6.0 = Float: 1\n");
    QVERIFY(serve(1, bad));
    QCOMPARE(m_test.messages.texts, QStringList{"bad.walk, line 2: unknown type \"Float\""});
    QVERIFY(m_page->txtSnmpStatus[1]->toolTip().startsWith("Serving device.txt ("));

    // Back to the row's own objects: the recording is gone, the row's seven stay.
    QAccessibleInterface *status = QAccessible::queryAccessibleInterface(m_page->txtSnmpStatus[1]);
    QCOMPARE(status->text(QAccessible::Value), QStringLiteral("Started"));
    QCOMPARE(status->textInterface()->text(0, 5), QStringLiteral("Start"));
    status->actionInterface()->doAction(QAccessibleActionInterface::showMenuAction());
    QVERIFY(m_menu->mnuAgentRow->isVisible());
    m_menu->mnuAgentRow->hide();
    QAccessibleActionInterface *button =
        QAccessible::queryAccessibleInterface(m_page->cmdSnmpControl[1])->actionInterface();
    button->doAction(QAccessibleActionInterface::showMenuAction());
    QVERIFY(m_menu->mnuAgentRow->isVisible());
    QVERIFY(m_menu->mnuServeSystemObjects->isEnabled());
    m_menu->mnuServeSystemObjects->trigger();
    m_menu->mnuAgentRow->hide();
    QVERIFY(m_page->cmdSnmpControl[1]->toolTip().isEmpty());
    const auto gone = get(1, {Recorded, SysName});
    QVERIFY(gone);
    QCOMPARE(gone->ErrorStatus, SnmpError::NoSuchName);
    QCOMPARE(gone->Variables[1].Value(), QStringLiteral("Agent 2"));
    QSignalSpy pressed(m_page->cmdSnmpControl[1], &QPushButton::clicked);
    button->doAction(QAccessibleActionInterface::pressAction());
    QVERIFY(pressed.wait());
    QVERIFY(!get(1, {SysName}, 1000));

    // A cancelled reading changes nothing.
    m_test.messages.texts.clear();
    RecordingLoader &loader = *m_test.window().recordingLoader;
    QSignalSpy ended(&loader, &RecordingLoader::loadEnded);
    loader.serveFile(3, m_folder.filePath("device.txt"));
    const auto dialogs = m_page->findChildren<QProgressDialog *>("frmRecordingProgress");
    QVERIFY(!dialogs.isEmpty());
    dialogs.last()->cancel(); // the newest, before the worker's result is looked at
    QVERIFY(ended.wait(10000));
    QVERIFY(m_test.messages.texts.isEmpty());
    QVERIFY(!m_agents->servedRecording(3).tree);
    QVERIFY(m_page->txtSnmpStatus[3]->toolTip().isEmpty());
}

// The row menu's dialog: short passphrases are refused with a message, a user added there is
// named in the row's tooltip and answered at once.
void TstSnmpAgentTab::usersDialogAddsUsers()
{
    if (QStandardPaths::findExecutable("snmpget").isEmpty())
        QSKIP("net-snmp tools are not installed (./scripts/test installs them)");
    m_menu->mnuV3Users_Click(4);
    auto *dialog = m_page->findChild<V3UsersDialog *>("dlgV3Users");
    QVERIFY(dialog);
    // The engine ID a manager reads.
    QVERIFY(dialog->lblEngineId->text().contains(m_agents->snmpAgent(4).usm().engineId().toHex()));
    dialog->txtName->setText("viewer");
    dialog->cboLevel->setCurrentText("authPriv");
    dialog->cboAuth->setCurrentText("SHA-512");
    dialog->txtAuthPass->setText("viewer-pass");
    dialog->cboPriv->setCurrentText("AES-256");
    dialog->txtPrivPass->setText("short");
    dialog->cmdAdd->click();
    QCOMPARE(m_test.messages.texts.size(), 1);
    QVERIFY(m_test.messages.texts[0].contains("at least 8"));
    QVERIFY(m_agents->v3Users(4).isEmpty());
    dialog->txtPrivPass->setText("viewer-priv");
    dialog->cmdAdd->click();
    // Selected, the user's settings come back without passphrases, to be changed and applied.
    dialog->lstUsers->setCurrentRow(0);
    QCOMPARE(dialog->txtName->text() + dialog->cboLevel->currentText() +
                 dialog->cboAuth->currentText() + dialog->cboPriv->currentText() +
                 dialog->txtAuthPass->text() + dialog->cmdAdd->text(),
             "viewerauthPrivSHA-512AES-256Apply");
    dialog->cboLevel->setCurrentText("authNoPriv");
    dialog->cboAuth->setCurrentText("SHA-224");
    dialog->txtAuthPass->setText("viewer-pass-2");
    dialog->cmdAdd->click();
    QCOMPARE(m_page->cmdSnmpControl[4]->toolTip(), QStringLiteral("SNMPv3 users: viewer"));
    dialog->close();
    QVERIFY(m_agents->startOnAnyPort(4));
    const ToolRun result =
        runTool("snmpget", {"-v3", "-l", "authNoPriv", "-u", "viewer", "-a", "SHA-224", "-A",
                            "viewer-pass-2", "127.0.0.1:" + m_agents->port(4), SysName});
    QVERIFY2(result.out.contains("Agent 5"), qPrintable(result.out + result.err));
}

// The write mark is the user's, shown in the list and brought back to edit; the list's text is
// no longer the name, yet removing goes by the name.
void TstSnmpAgentTab::usersDialogMarksWriters()
{
    m_menu->mnuV3Users_Click(6);
    auto *dialog = m_page->findChildren<V3UsersDialog *>("dlgV3Users").last();
    QCheckBox *box = dialog->chkMayWrite;
    dialog->txtName->setText("writer");
    box->setChecked(true);
    dialog->cmdAdd->click();
    QCOMPARE(dialog->lstUsers->item(0)->text(), "writer (may write)");
    QVERIFY(m_agents->snmpAgent(6).usm().users().first().mayWrite && !box->isChecked());
    dialog->lstUsers->setCurrentRow(0);
    QVERIFY(box->isChecked());
    dialog->cmdRemove->click();
    QVERIFY(m_agents->v3Users(6).isEmpty());
    dialog->close();
}

// Typed into the dialog and used, a passphrase must not survive in memory: not in the boxes,
// not in the form, not in the megabyte it is stretched over, nor in freed blocks.
void TstSnmpAgentTab::passphrasesLeaveNoTrace()
{
#ifdef __GLIBC__
    // Freed blocks stay in the heap, large ones too, where they would be unmapped or trimmed
    // at random: what was left in them is then seen every time.
    mallopt(M_MMAP_THRESHOLD, 64 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    m_menu->mnuV3Users_Click(3);
    auto *dialog = m_page->findChild<V3UsersDialog *>("dlgV3Users");
    QVERIFY(dialog);
    // Made at run time, so no copy stands in the program's own data.
    const auto secret = [](int which) {
        return QStringLiteral("qz") + QString::number(7000 + which) + QStringLiteral("wx-unseen");
    };
    // Twice: the second stretching then takes freed memory instead of a fresh mapping.
    for (const char *level : {"authPriv", "authPriv"}) {
        dialog->txtName->setText("wiped");
        dialog->cboLevel->setCurrentText(level);
        dialog->cboAuth->setCurrentText("SHA-256");
        dialog->cboPriv->setCurrentText("DES");
        dialog->txtAuthPass->setText(secret(1));
        dialog->txtPrivPass->setText(secret(2));
        // Shares the box's buffer, which must be wiped where it stands, not only let go.
        const QString held = dialog->txtPrivPass->text();
        dialog->cmdAdd->click();
        QCOMPARE(held, QString(held.size(), QChar(0)));
    }
    dialog->close();
    QVERIFY(m_test.messages.texts.isEmpty());
    QCOMPARE(m_agents->v3Users(3), QList<QByteArray>{"wiped"});
#ifdef __SANITIZE_ADDRESS__
    QSKIP("the sanitizer keeps freed blocks and their shadow in mappings of its own");
#endif
    for (int which : {1, 2}) {
        const QString text = secret(which); // one buffer: the needle in UTF-16 ...
        QCOMPARE(occurrencesInMemory(
                     QByteArrayView(reinterpret_cast<const char *>(text.utf16()), text.size() * 2)),
                 0);
        // ... and in UTF-8, made without a second full copy.
        const QByteArray eight = "qz" + QByteArray::number(7000 + which) + "wx-unseen";
        QCOMPARE(occurrencesInMemory(eight), 0);
    }
}

// The behaviour dialog sets the running row on Apply and names it in the tooltip; a field
// that does not read is named, and nothing changes.
void TstSnmpAgentTab::behaviourDialogSetsTheRunningRow()
{
    m_menu->mnuBehaviour_Click(0);
    m_menu->mnuBehaviour_Click(0);
    QCOMPARE(m_page->findChildren<BehaviourDialog *>().size(), 1);
    BehaviourDialog *dialog = m_page->findChild<BehaviourDialog *>("dlgBehaviour");
    QCOMPARE(dialog->txtLatency->text() + dialog->txtLoss->text() +
                 dialog->cboErrorStatus->currentText() + dialog->cboSpeedFactor->currentText(),
             QStringLiteral("00genErr (5)\u00d71"));
    dialog->chkCountersAdvance->setChecked(true);
    dialog->cboSpeedFactor->setCurrentText(QStringLiteral("\u00d7100"));
    dialog->txtLatency->setText("200");
    dialog->txtJitter->setText("50");
    dialog->txtLoss->setText("5");
    dialog->txtErrorShare->setText("0.5");
    dialog->cboErrorStatus->setCurrentText("wrongType");
    dialog->cboMalformedKind->setCurrentIndex(int(MalformedKind::TwoAnswers));
    dialog->cmdApply->click();
    QCOMPARE(m_test.messages.texts, QStringList());
    const RowBehaviour expected{.countersAdvance = true,
                                .speedFactor = 100,
                                .latencyMs = 200,
                                .jitterMs = 50,
                                .lossPercent = 5,
                                .errorPercent = 0.5,
                                .errorStatus = 7,
                                .malformedKind = MalformedKind::TwoAnswers};
    QVERIFY(m_agents->behaviour(0) == expected);
    QVERIFY(m_page->txtSnmpStatus[0]->toolTip().endsWith(QStringLiteral(
        "Counters \u00d7100, latency 200 \u00b1 50 ms, loss 5 %, error 7 at 0.5 %")));
    QCOMPARE(dialog->cboErrorStatus->currentText(), QStringLiteral("wrongType (7)"));

    const struct
    {
        QLineEdit *box;
        const char *text;
        const char *field;
    } refusals[] = {{dialog->txtLatency, "10001", "Latency"},
                    {dialog->txtJitter, "-1", "Jitter"},
                    {dialog->txtLoss, "100.5", "Loss"},
                    {dialog->txtErrorShare, "nan", "Error share"},
                    {dialog->txtMalformedShare, "", "Malformed share"}};
    for (const auto &refusal : refusals) {
        const QString kept = refusal.box->text();
        refusal.box->setText(QString::fromLatin1(refusal.text));
        dialog->txtLatency->setText(refusal.box == dialog->txtLatency ? refusal.text : "300");
        dialog->cmdApply->click();
        QVERIFY2(m_test.messages.takeFirst().startsWith(QLatin1String(refusal.field) + ": "),
                 refusal.text);
        QVERIFY(m_agents->behaviour(0) == expected);
        refusal.box->setText(kept);
    }
    for (const char *status : {"19", "genErrr"}) {
        dialog->txtLatency->setText("200");
        dialog->cboErrorStatus->setCurrentText(status);
        dialog->cmdApply->click();
        QVERIFY2(m_test.messages.takeFirst().startsWith("Error status: "), status);
    }
    QVERIFY(m_agents->behaviour(0) == expected);

    m_agents->setBehaviour(0, {});
    QVERIFY(m_page->txtSnmpStatus[0]->toolTip().isEmpty());
    QCOMPARE(dialog->txtLatency->text(), QStringLiteral("0"));
    QVERIFY(m_manager.exchange(m_agents->port(0).toUShort(),
                               makeRequest(SnmpPdu::V2cBase + SnmpPdu::GetRequest, {SysName})));
    dialog->showCounts();
    QVERIFY(dialog->lblCounts->text().startsWith(
        QStringLiteral("Requests received: %1\n").arg(m_agents->snmpAgent(0).statistics().inPkts)));
    dialog->close();
}

// The notifications dialog refuses what does not read, naming the line and field and keeping
// nothing; what it keeps is sent by Send Now, and the counts show in it and in the tooltip.
void TstSnmpAgentTab::notificationsDialogSendsWhatItSays()
{
    m_menu->mnuNotifications_Click(0);
    m_menu->mnuNotifications_Click(0);
    QCOMPARE(m_page->findChildren<NotificationsDialog *>().size(), 1);
    auto *dialog = m_page->findChild<NotificationsDialog *>("dlgNotifications");
    QVERIFY(dialog->chkColdStart->isChecked());
    QCOMPARE(dialog->txtDestPort[7]->text() + dialog->txtDestCommunity[7]->text(), "162kettle");
    dialog->cmdSendNow->click();
    QVERIFY(m_test.messages.takeFirst().startsWith("Destinations: "));

    Manager receiver;
    const QString port = QString::number(receiver.socket.localPort());
    const struct
    {
        QLineEdit *box;
        const char *text;
        const char *message;
    } refusals[] = {{dialog->txtDestAddress[0], "224.0.0.9", "Destination 1: address"},
                    {dialog->txtDestPort[0], "65536", "Destination 1: port"},
                    {dialog->txtDestPort[2], "x", "Destination 3: port"},
                    {dialog->txtInterval, "86401", "Schedule: the interval"},
                    {dialog->txtStormRate, "100001", "Schedule: the rate"},
                    {dialog->txtScheduledInterface, "0", "Schedule interface"}};
    for (const auto &refusal : refusals) {
        for (int i : {0, 2})
            dialog->txtDestAddress[i]->setText("127.0.0.1");
        dialog->txtDestPort[0]->setText(port);
        dialog->txtDestPort[2]->setText(port);
        dialog->txtInterval->setText("60");
        dialog->txtStormRate->setText("1000");
        dialog->cboSchedule->setCurrentIndex(refusal.box == dialog->txtStormRate ? 2 : 1);
        dialog->cboScheduledNotification->setCurrentText(
            refusal.box == dialog->txtScheduledInterface ? "linkUp" : "warmStart");
        refusal.box->setText(QString::fromLatin1(refusal.text));
        dialog->cmdApply->click();
        QVERIFY2(m_test.messages.takeFirst().startsWith(refusal.message), refusal.text);
        QVERIFY(m_agents->notifications(0) == NotificationSettings());
        refusal.box->setText("");
    }
    dialog->txtDestAddress[2]->setText("");
    dialog->cboDestVersion[0]->setCurrentIndex(int(NotificationVersion::V3));
    dialog->cboDestUser[0]->setCurrentText("nobody");
    dialog->cmdApply->click();
    QVERIFY(m_test.messages.takeFirst().startsWith("Destination 1: user \"nobody\""));
    // A user added while the dialog is open is offered at once.
    QVERIFY(m_agents->addV3User(0, "trapper", usm::Auth::None, {}));
    QVERIFY(dialog->cboDestUser[0]->findText("trapper") >= 0);
    dialog->cboDestVersion[0]->setCurrentIndex(int(NotificationVersion::V2c));
    dialog->cboSchedule->setCurrentIndex(0);
    dialog->cboNotification->setCurrentText("linkDown");
    dialog->cmdSendNow->click();
    QVERIFY(m_test.messages.takeFirst().startsWith("Send Now interface: "));
    QVERIFY(m_agents->notifications(0) == NotificationSettings());

    // Send Now applies what is typed, then sends; Apply again keeps the counts.
    dialog->cboNotification->setCurrentText("1.3.6.1.4.1.99999.0.7");
    dialog->cmdSendNow->click();
    QCOMPARE(m_test.messages.texts, QStringList());
    QCOMPARE(m_agents->notifications(0).destinations.size(), 1);
    QCOMPARE(m_agents->notifications(0).destinations[0].port, port.toInt());
    QVERIFY(waitFor([&] { return receiver.socket.hasPendingDatagrams(); }, 2000));
    QVERIFY(receiver.socket.receiveDatagram().data().contains(
        ber::encodeOid("1.3.6.1.4.1.99999.0.7").value()));
    QVERIFY(dialog->lblNotificationCounts->text().startsWith("Sent: 1\n"));
    dialog->cmdApply->click();
    QCOMPARE(m_agents->notificationCounts(0).sent, 1u);
    QVERIFY(waitFor(
        [&] { return m_page->cmdSnmpControl[0]->toolTip().contains("Notifications: 1 sent"); },
        2000));
    m_agents->setNotifications(0, {});
    dialog->close();
}

QTEST_MAIN(TstSnmpAgentTab)
#include "tst_snmpagenttab.moc"
