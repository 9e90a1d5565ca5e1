#include "snmpagents.h"

#include "common/core/messagepresenter.h"
#include "common/core/pause.h"
#include "common/core/portnumber.h"
#include "snmp/agent/datagramsocket.h"
#include "snmp/agent/rownotifier.h"
#include "snmp/agent/snmpagent.h"
#include "snmp/recording/recordedtree.h"
#include "snmp/usm/usmengine.h"

SnmpAgents::SnmpAgents(DebugTrace &trace, MessagePresenter &messages, QObject *parent)
    : QObject(parent), m_trace(trace), m_messages(messages)
{
    m_typedObjectSets.fill(-1);
    for (int i = 0; i < RowCount; ++i) {
        m_agents[i] = new SnmpAgent(i, this);
        connect(m_agents[i], &SnmpAgent::Request, this, &SnmpAgents::snmpAgent_Request);
        makeNotifier(i);
        connect(m_agents[i], &SnmpAgent::sendFailed, this, [this](int, const Failure &failure) {
            m_messages.showMessage(QStringLiteral("Modul: snmpAgent_Request, Err: ") +
                                   failure.description);
        });
    }
}

void SnmpAgents::setAddress(int index, const QString &address)
{
    m_addresses[index] = address;
}

void SnmpAgents::setPort(int index, const QString &port)
{
    m_ports[index] = port;
}

void SnmpAgents::setTypedObject(int set, const ControlledObject &object)
{
    m_typedObjects[set] = object;
}

void SnmpAgents::setTypedObjectSet(int index, int set)
{
    m_typedObjectSets[index] = set;
}

void SnmpAgents::StartSnmpAgent(int index)
{
    const Result<qint32> port = portNumber(m_ports[index]);
    if (!port) {
        m_messages.showMessage(port.failure().description);
        return;
    }
    started(index, m_agents[index]->Listen(port.value(), m_addresses[index]));
}

bool SnmpAgents::startOnAnyPort(int index)
{
    const Status listening = m_agents[index]->listenOnAnyPort(m_addresses[index]);
    if (listening) {
        m_ports[index] = QString::number(m_agents[index]->localPort());
        emit portChosen(index, m_ports[index]);
    }
    started(index, listening);
    return isRunning(index);
}

void SnmpAgents::started(int index, const Status &listening)
{
    if (!listening) {
        const Failure &failure = listening.failure();
        if (failure.number == SnmpAgent::PortInUse)
            m_messages.showMessage(QStringLiteral("SNMP Agent Port was in use"));
        else if (failure.number == SnmpAgent::AddressNotValid)
            m_messages.showMessage(QStringLiteral("SNMP Agent IP Address is not valid"));
        else
            m_messages.showMessage(failure.description);
        return;
    }
    Pause(200);

    const QString number = QString::number(index + 1);
    AgentTableRow &row = m_table[index];
    row.SysDescr =
        QStringLiteral("IP=") + m_addresses[index] + QStringLiteral(",Port=") + m_ports[index];
    row.SysObjectID = QStringLiteral("1.3.6.1.4.1.7394.1.99.") + number;
    // Kept in UTC: the uptime is a difference of instants, and a daylight-saving change must
    // not make it jump an hour.
    row.AgentStartTime = QDateTime::currentDateTimeUtc();
    row.SysContact = QStringLiteral("Ola Nordmann");
    row.SysName = QStringLiteral("Agent ") + number;
    row.SysLocation = QStringLiteral("Lab ") + number;
    row.SysServices = 76;
    row.AgentRunning = true;
    m_notifiers[index]->start(QHostAddress(m_addresses[index]));
    emit runningChanged(index, true);
}

void SnmpAgents::StopSnmpAgent(int index)
{
    m_agents[index]->Close();
    m_notifiers[index]->stop();
    Pause(200);
    m_table[index].AgentRunning = false;
    m_written[index].clear();
    emit runningChanged(index, false);
}

void SnmpAgents::serveRecording(int index, ServedRecording recording)
{
    m_recordings[index] = std::move(recording);
    const RecordedTree *tree = m_recordings[index].tree.get();
    m_agents[index]->setBatchWarmer(
        tree ? SnmpAgent::BatchWarmer([tree](std::span<const QByteArrayView> datagrams) {
            QByteArrayView contents[DatagramSocket::Batch];
            const size_t count = qMin(datagrams.size(), std::size(contents));
            for (size_t i = 0; i < count; ++i)
                contents[i] = firstOidContent(datagrams[i]);
            tree->warm(std::span<const QByteArrayView>(contents, count));
        })
             : SnmpAgent::BatchWarmer());
    emit servedChanged(index);
}

void SnmpAgents::setBehaviour(int index, const RowBehaviour &behaviour)
{
    if (m_behaviours[index] == behaviour)
        return;
    m_behaviours[index] = behaviour;
    m_agents[index]->setBehaviour(behaviour);
    emit behaviourChanged(index);
}

void SnmpAgents::resetWrittenValues(int index)
{
    m_written[index].clear();
}

RowCounts SnmpAgents::rowCounts(int index) const
{
    return m_agents[index]->counts();
}

CounterMotion SnmpAgents::counterMotion(int index) const
{
    // The row's number is what stays the same from one start to the next.
    return CounterMotion(m_recordings[index].tree.get(), quint32(index));
}

Status SnmpAgents::addV3User(int index, const QByteArray &name, usm::Auth auth,
                             const QByteArray &authPassphrase, usm::Priv priv,
                             const QByteArray &privPassphrase, bool mayWrite)
{
    const Status added =
        m_agents[index]->usm().addUser(name, auth, authPassphrase, priv, privPassphrase, mayWrite);
    if (added)
        emit servedChanged(index);
    return added;
}

bool SnmpAgents::removeV3User(int index, const QByteArray &name)
{
    const bool removed = m_agents[index]->usm().removeUser(name);
    if (removed)
        emit servedChanged(index);
    return removed;
}

bool SnmpAgents::setV3UserMayWrite(int index, const QByteArray &name, bool mayWrite)
{
    return m_agents[index]->usmIfAny() && m_agents[index]->usm().setMayWrite(name, mayWrite);
}

QList<QByteArray> SnmpAgents::v3Users(int index) const
{
    QList<QByteArray> names;
    if (const UsmEngine *engine = m_agents[index]->usmIfAny()) {
        for (const UsmUser &user : engine->users())
            names.append(user.name);
    }
    return names;
}
