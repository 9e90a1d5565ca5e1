#include "snmpagenttab.h"

#include "snmp/agent/notificationform.h"
#include "snmp/agent/snmpagents.h"
#include "snmp/agent/v3userform.h"
#include "snmp/recording/recordedtree.h"
#include "snmp/ui/agentrowmenu.h"
#include "snmp/ui/snmpagentpage.h"

#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

namespace {

// The rows that answer a typed object, and the set of boxes each answers.
constexpr std::pair<int, int> TypedObjectRows[] = {{5, 0}, {6, 1}};

} // namespace

SnmpAgentTab::SnmpAgentTab(SnmpAgentPage &page, SnmpAgents &agents, RecordingLoader &loader,
                           const AppServices &services, QObject *parent)
    : QObject(parent), m_page(page), m_agents(agents)
{
    for (int i = 0; i < SnmpAgents::RowCount; ++i) {
        agents.setAddress(i, page.txtSnmpIpAddr[i]->text());
        agents.setPort(i, page.txtSnmpPort[i]->text());
        connect(page.txtSnmpIpAddr[i], &QLineEdit::textChanged, this,
                [this, i](const QString &text) { m_agents.setAddress(i, text); });
        connect(page.txtSnmpPort[i], &QLineEdit::textChanged, this,
                [this, i](const QString &text) { m_agents.setPort(i, text); });
        connect(page.cmdSnmpControl[i], &QPushButton::clicked, this,
                [this, i] { cmdSnmpControl_Click(i); });
    }
    for (const auto &[row, set] : TypedObjectRows)
        agents.setTypedObjectSet(row, set);
    pushTypedObjects();
    for (QLineEdit *box : {page.txtOid1, page.txtValue1, page.txtOid2, page.txtValue2})
        connect(box, &QLineEdit::textChanged, this, &SnmpAgentTab::pushTypedObjects);
    for (QComboBox *box : {page.cboType1, page.cboType2})
        connect(box, &QComboBox::currentTextChanged, this, &SnmpAgentTab::pushTypedObjects);

    connect(&agents, &SnmpAgents::runningChanged, this, &SnmpAgentTab::showRunning);
    connect(&agents, &SnmpAgents::servedChanged, this, &SnmpAgentTab::showServed);
    connect(&agents, &SnmpAgents::behaviourChanged, this, &SnmpAgentTab::showServed);
    connect(&agents, &SnmpAgents::notificationCountsChanged, this, &SnmpAgentTab::showServed);
    connect(&agents, &SnmpAgents::portChosen, this,
            [this](int index, const QString &port) { m_page.txtSnmpPort[index]->setText(port); });
    rowMenu = new AgentRowMenu(page, agents, loader, services, this);
}

void SnmpAgentTab::cmdSnmpControl_Click(int index)
{
    m_page.cmdSnmpControl[index]->setEnabled(false);
    if (m_agents.isRunning(index))
        m_agents.StopSnmpAgent(index);
    else
        m_agents.StartSnmpAgent(index);
    m_page.cmdSnmpControl[index]->setEnabled(true);
}

void SnmpAgentTab::pushTypedObjects()
{
    m_agents.setTypedObject(
        0, {m_page.txtOid1->text(), m_page.cboType1->currentText(), m_page.txtValue1->text()});
    m_agents.setTypedObject(
        1, {m_page.txtOid2->text(), m_page.cboType2->currentText(), m_page.txtValue2->text()});
}

void SnmpAgentTab::showRunning(int index, bool running)
{
    m_page.txtSnmpStatus[index]->setText(running ? QStringLiteral("Started")
                                                 : QStringLiteral("Stopped"));
    m_page.cmdSnmpControl[index]->setText(running ? QStringLiteral("Stop")
                                                  : QStringLiteral("Start"));
}

void SnmpAgentTab::showServed(int index)
{
    const SnmpAgents::ServedRecording &served = m_agents.servedRecording(index);
    QStringList lines;
    if (served.tree) {
        lines.append(QStringLiteral("Serving %1 (%2 recorded objects)")
                         .arg(QFileInfo(served.path).fileName())
                         .arg(served.tree->size()));
    }
    const QString users = v3UsersTip(m_agents.v3Users(index));
    if (!users.isEmpty())
        lines.append(users);
    const QString behaviour = behaviourSummary(m_agents.behaviour(index));
    if (!behaviour.isEmpty())
        lines.append(behaviour);
    const QString notifications = notificationSummary(m_agents.notificationCounts(index));
    if (!notifications.isEmpty())
        lines.append(notifications);
    const QString tip = lines.join(QLatin1Char('\n'));
    m_page.cmdSnmpControl[index]->setToolTip(tip);
    m_page.txtSnmpStatus[index]->setToolTip(tip);
}
