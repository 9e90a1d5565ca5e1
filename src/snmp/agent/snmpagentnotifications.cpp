// The rows' notifications: how SnmpAgents gives each row its notifier and what it reads.
#include "snmpagents.h"

#include "snmp/agent/rownotifier.h"
#include "snmp/agent/snmpagent.h"
#include "snmp/answers/servedobjects.h"
#include "snmp/usm/usmengine.h"
#include "trace/debugtrace.h"

void SnmpAgents::makeNotifier(int index)
{
    RowNotifier::Row row;
    row.served = [this, index] {
        SnmpMessage poll;
        poll.version = SnmpVersion::V2c;
        return servedObjects(index, poll);
    };
    row.engine = [this, index] { return m_agents[index]->usmIfAny(); };
    row.tracing = [this] { return m_trace.debugMode(); };
    row.trace = [this, index](const QStringList &lines, const QString &user) {
        traced(index, lines, user, QStringLiteral("Modul: snmpAgent_Notify, Err: "));
    };
    row.requests = [this, index] { return m_agents[index]->counts().received; };
    m_notifiers[index] = new RowNotifier(std::move(row), this);
    connect(m_notifiers[index], &RowNotifier::countsChanged, this,
            [this, index] { emit notificationCountsChanged(index); });
    connect(m_agents[index], &SnmpAgent::authenticationFailed, m_notifiers[index],
            &RowNotifier::requestRefused);
}

Status SnmpAgents::setNotifications(int index, const NotificationSettings &settings)
{
    const UsmEngine *engine = m_agents[index]->usmIfAny();
    const Status checked =
        checkNotifications(settings, engine ? engine->users() : QList<UsmUser>());
    if (!checked)
        return checked;
    m_notifiers[index]->setSettings(settings);
    return {};
}

const NotificationSettings &SnmpAgents::notifications(int index) const
{
    return m_notifiers[index]->settings();
}

Status SnmpAgents::sendNotification(int index, const NotificationChoice &choice)
{
    return m_notifiers[index]->send(choice);
}

const NotificationCounts &SnmpAgents::notificationCounts(int index) const
{
    return m_notifiers[index]->counts();
}

bool SnmpAgents::isInterfaceDown(int index, int ifIndex) const
{
    return m_notifiers[index]->interfaces().isDown(ifIndex);
}
