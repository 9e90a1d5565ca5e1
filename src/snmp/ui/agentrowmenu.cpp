#include "agentrowmenu.h"

#include "common/core/appservices.h"
#include "common/core/filechooser.h"
#include "common/widgets/accessibleroles.h"
#include "common/widgets/controlnames.h"
#include "snmp/agent/recordingloader.h"
#include "snmp/ui/behaviourdialog.h"
#include "snmp/ui/notificationsdialog.h"
#include "snmp/ui/snmpagentpage.h"
#include "snmp/ui/v3usersdialog.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>

AgentRowMenu::AgentRowMenu(SnmpAgentPage &page, SnmpAgents &agents, RecordingLoader &loader,
                           const AppServices &services, QObject *parent)
    : QObject(parent), m_page(page), m_agents(agents), m_loader(loader), m_services(services)
{
    mnuAgentRow = new QMenu(&page);
    nameControl(mnuAgentRow, QStringLiteral("mnuAgentRow"), QStringLiteral("Agent row"));
    mnuServeRecording = mnuAgentRow->addAction(QStringLiteral("Serve Recording…"));
    mnuServeRecording->setObjectName(QStringLiteral("mnuServeRecording"));
    mnuServeSystemObjects = mnuAgentRow->addAction(QStringLiteral("Serve System Objects Only"));
    mnuServeSystemObjects->setObjectName(QStringLiteral("mnuServeSystemObjects"));
    mnuV3Users = mnuAgentRow->addAction(QStringLiteral("SNMPv3 Users…"));
    mnuV3Users->setObjectName(QStringLiteral("mnuV3Users"));
    connect(mnuV3Users, &QAction::triggered, this, [this] { mnuV3Users_Click(m_menuRow); });
    mnuBehaviour = mnuAgentRow->addAction(QStringLiteral("Behaviour…"));
    mnuBehaviour->setObjectName(QStringLiteral("mnuBehaviour"));
    connect(mnuBehaviour, &QAction::triggered, this, [this] { mnuBehaviour_Click(m_menuRow); });
    mnuNotifications = mnuAgentRow->addAction(QStringLiteral("Notifications…"));
    mnuNotifications->setObjectName(QStringLiteral("mnuNotifications"));
    connect(mnuNotifications, &QAction::triggered, this,
            [this] { mnuNotifications_Click(m_menuRow); });
    connect(mnuServeRecording, &QAction::triggered, this,
            [this] { mnuServeRecording_Click(m_menuRow); });
    connect(mnuServeSystemObjects, &QAction::triggered, this,
            [this] { mnuServeSystemObjects_Click(m_menuRow); });
    for (int i = 0; i < SnmpAgents::RowCount; ++i) {
        for (QWidget *control : {static_cast<QWidget *>(page.cmdSnmpControl[i]),
                                 static_cast<QWidget *>(page.txtSnmpStatus[i])}) {
            control->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(control, &QWidget::customContextMenuRequested, this,
                    [this, i, control](const QPoint &at) { showMenu(i, control, at); });
            offerMenuAction(control,
                            [this, i, control] { showMenu(i, control, control->rect().center()); });
        }
    }
    connect(&loader, &RecordingLoader::loadStarted, this, &AgentRowMenu::showReading);
    connect(&loader, &RecordingLoader::progressed, this, &AgentRowMenu::showProgress);
    connect(&loader, &RecordingLoader::loadEnded, this, &AgentRowMenu::endReading);
}

void AgentRowMenu::showMenu(int index, QWidget *control, const QPoint &position)
{
    m_menuRow = index;
    mnuServeSystemObjects->setEnabled(bool(m_agents.servedRecording(index).tree));
    mnuAgentRow->popup(control->mapToGlobal(position));
}

void AgentRowMenu::mnuV3Users_Click(int index)
{
    auto *dialog = new V3UsersDialog(m_agents, index, m_services.messages, &m_page);
    dialog->show();
}

template <typename Dialog> bool AgentRowMenu::raiseOpen(int index)
{
    // One dialog a row: a second would show settings the first may overwrite.
    for (Dialog *open : m_page.findChildren<Dialog *>()) {
        if (open->row() == index) {
            open->raise();
            open->activateWindow();
            return true;
        }
    }
    return false;
}

void AgentRowMenu::mnuBehaviour_Click(int index)
{
    if (!raiseOpen<BehaviourDialog>(index))
        (new BehaviourDialog(m_agents, index, m_services.messages, &m_page))->show();
}

void AgentRowMenu::mnuNotifications_Click(int index)
{
    if (!raiseOpen<NotificationsDialog>(index))
        (new NotificationsDialog(m_agents, index, m_services.messages, &m_page))->show();
}

void AgentRowMenu::mnuServeRecording_Click(int index)
{
    if (!m_services.files)
        return;
    const QString path = m_services.files->chooseFileToOpen(QStringLiteral("Serve Recording"));
    if (!path.isEmpty())
        m_loader.serveFile(index, path);
}

void AgentRowMenu::mnuServeSystemObjects_Click(int index)
{
    m_loader.cancel(index);
    m_agents.serveRecording(index, {});
}

void AgentRowMenu::showReading(int index, int reading, const QString &path)
{
    Reading &shown = m_readings[index];
    if (shown.dialog)
        shown.dialog->deleteLater(); // its reading was replaced
    shown.number = reading;
    shown.dialog =
        new QProgressDialog(QStringLiteral("Reading %1…").arg(QFileInfo(path).fileName()),
                            QStringLiteral("Cancel"), 0, 1000, &m_page);
    nameControl(shown.dialog, QStringLiteral("frmRecordingProgress"),
                QStringLiteral("Reading a recording"));
    shown.dialog->setMinimumDuration(500);
    shown.dialog->setAutoReset(false);
    shown.dialog->setValue(0);
    connect(shown.dialog, &QProgressDialog::canceled, this,
            [this, index] { m_loader.cancel(index); });
}

void AgentRowMenu::showProgress(int index, int reading, int thousandths)
{
    Reading &shown = m_readings[index];
    if (shown.number != reading || !shown.dialog)
        return;
    // The dialog can be cancelled without its signal (Escape, or its slot called).
    if (shown.dialog->wasCanceled())
        m_loader.cancel(index);
    else
        shown.dialog->setValue(thousandths);
}

void AgentRowMenu::endReading(int index, int reading)
{
    Reading &shown = m_readings[index];
    if (shown.number != reading)
        return;
    if (shown.dialog)
        shown.dialog->deleteLater();
    shown = {};
}
