#include "snmpagents.h"

#include "agentanswers.h"
#include "agentrecordings.h"
#include "bulkanswers.h"
#include "common/core/appservices.h"
#include "common/core/messagepresenter.h"
#include "common/core/pause.h"
#include "common/core/portnumber.h"
#include "datagramsocket.h"
#include "deviceanswers.h"
#include "recordedanswers.h"
#include "recordedtree.h"
#include "servedobjects.h"
#include "snmpagent.h"
#include "snmpagentpage.h"
#include "trace/debugtrace.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

QString requestFailurePrefix()
{
    return QStringLiteral("Modul: snmpAgent_Request, Err: ");
}

} // namespace

SnmpAgents::SnmpAgents(SnmpAgentPage &page, DebugTrace &trace, const AppServices &services,
                       QObject *parent)
    : QObject(parent), m_page(page), m_trace(trace), m_services(services)
{
    for (int i = 0; i < SnmpAgentPage::RowCount; ++i) {
        m_agents[i] = new SnmpAgent(i, this);
        connect(m_agents[i], &SnmpAgent::Request, this, &SnmpAgents::snmpAgent_Request);
        connect(m_agents[i], &SnmpAgent::sendFailed, this, [this](int, const Failure &failure) {
            m_services.messages.showMessage(requestFailurePrefix() + failure.description);
        });
        connect(m_page.cmdSnmpControl[i], &QPushButton::clicked, this,
                [this, i] { cmdSnmpControl_Click(i); });
    }
    m_rowRecordings = new AgentRecordings(*this, page, services, this);
}

void SnmpAgents::cmdSnmpControl_Click(int index)
{
    m_page.cmdSnmpControl[index]->setEnabled(false);
    if (m_table[index].AgentRunning)
        StopSnmpAgent(index);
    else
        StartSnmpAgent(index);
    m_page.cmdSnmpControl[index]->setEnabled(true);
}

void SnmpAgents::StartSnmpAgent(int index)
{
    const Result<qint32> port = portNumber(m_page.txtSnmpPort[index]->text());
    if (!port) {
        m_services.messages.showMessage(port.failure().description);
        return;
    }
    const Status listening =
        m_agents[index]->Listen(port.value(), m_page.txtSnmpIpAddr[index]->text());
    if (!listening) {
        const Failure &failure = listening.failure();
        if (failure.number == SnmpAgent::PortInUse)
            m_services.messages.showMessage(QStringLiteral("SNMP Agent Port was in use"));
        else if (failure.number == SnmpAgent::AddressNotValid)
            m_services.messages.showMessage(QStringLiteral("SNMP Agent IP Address is not valid"));
        else
            m_services.messages.showMessage(failure.description);
        return;
    }
    Pause(200);

    const QString number = QString::number(index + 1);
    AgentTableRow &row = m_table[index];
    row.SysDescr = QStringLiteral("IP=") + m_page.txtSnmpIpAddr[index]->text() +
                   QStringLiteral(",Port=") + m_page.txtSnmpPort[index]->text();
    row.SysObjectID = QStringLiteral("1.3.6.1.4.1.7394.1.99.") + number;
    // Kept in UTC: the uptime is a difference of instants, and a daylight-saving change must
    // not make it jump an hour.
    row.AgentStartTime = QDateTime::currentDateTimeUtc();
    row.SysContact = QStringLiteral("Ola Nordmann");
    row.SysName = QStringLiteral("Agent ") + number;
    row.SysLocation = QStringLiteral("Lab ") + number;
    row.SysServices = 76;
    row.AgentRunning = true;

    m_page.txtSnmpStatus[index]->setText(QStringLiteral("Started"));
    m_page.cmdSnmpControl[index]->setText(QStringLiteral("Stop"));
}

void SnmpAgents::StopSnmpAgent(int index)
{
    m_agents[index]->Close();
    Pause(200);
    m_table[index].AgentRunning = false;
    m_page.txtSnmpStatus[index]->setText(QStringLiteral("Stopped"));
    m_page.cmdSnmpControl[index]->setText(QStringLiteral("Start"));
}

void SnmpAgents::snmpAgent_Request(int index)
{
    SnmpAgent &agent = *m_agents[index];
    if (agent.v3Request()) {
        answerV3(index);
        return;
    }
    SnmpMessage &message = agent.CurrentMessage();
    const bool device = isDevice(index);
    if (!isAgentCommunity(message)) {
        ++agent.statistics().inBadCommunityNames;
        // A device drops what a stranger asks, as real agents do; a plain row echoes it.
        if (device)
            return;
    }
    // An answer routine that could not write its request record has reported it: the event
    // ends there, unanswered.
    bool answered = true;
    switch (message.pdu()) {
    case SnmpPdu::GetRequest:
        answered = SnmpGetRequest(index);
        break;
    case SnmpPdu::GetNextRequest:
        answered = SnmpGetNextRequest(index);
        break;
    case SnmpPdu::GetBulkRequest:
        answered = answerBulk(index);
        break;
    case SnmpPdu::SetRequest:
        refuseSet(index);
        break;
    default:
        break;
    }
    if (!answered)
        return;
    // A device's SNMPv1 error response is the request itself with the error.
    if (device && message.version == SnmpVersion::V1 && message.ErrorStatus != 0)
        agent.restoreRequestBindings();
    // The version stays the request's: a v1 message goes out as a v1 response whatever the code.
    message.Type = message.Type == SnmpPdu::V1Base + SnmpPdu::GetRequest
                       ? SnmpPdu::V1Base + SnmpPdu::Response
                       : SnmpPdu::V2cBase + SnmpPdu::Response;
    sendAnswer(index, QString());
}

void SnmpAgents::sendAnswer(int index, const QString &user)
{
    SnmpAgent &agent = *m_agents[index];
    const QString failurePrefix = requestFailurePrefix();
    const Result<bool> prepared = agent.prepareResponse();
    if (!prepared) {
        succeeded(failurePrefix, prepared.failure());
        return;
    }
    if (!prepared.value())
        return; // too big even without bindings: dropped, as the agent counted

    if (m_trace.debugMode() &&
        !traced(index, responseRecord(agent.CurrentMessage()), user, failurePrefix))
        return;
    succeeded(failurePrefix, agent.SendResponse());
}

bool SnmpAgents::answerRequest(int index, const QString &recordName, const QString &failurePrefix,
                               const AnswerRoutine &answer)
{
    SnmpMessage &message = m_agents[index]->CurrentMessage();
    if (!isAgentCommunity(message)) {
        clearErrors(message);
        return true;
    }
    if (m_trace.debugMode() &&
        !traced(index, requestRecord(recordName, message), QString(), failurePrefix))
        return false;
    succeeded(failurePrefix, answer(message));
    return true;
}

bool SnmpAgents::succeeded(const QString &failurePrefix, const Status &status)
{
    if (!status)
        m_services.messages.showMessage(failurePrefix + status.failure().description);
    return status.ok();
}

ControlledObjects SnmpAgents::controlledObjects() const
{
    return ControlledObjects{
        {m_page.txtOid1->text(), m_page.cboType1->currentText(), m_page.txtValue1->text()},
        {m_page.txtOid2->text(), m_page.cboType2->currentText(), m_page.txtValue2->text()}};
}

bool SnmpAgents::SnmpGetRequest(int index)
{
    return answerRequest(index, QStringLiteral("GetRequest"),
                         QStringLiteral("Modul: SnmpGetRequest, Err: "),
                         [this, index](SnmpMessage &message) {
                             return isDevice(index)
                                        ? answerDevice(index, message)
                                        : answerGetRequest(
                                              message, index, m_table[index], m_answers[index],
                                              [this] { return controlledObjects(); },
                                              QDateTime::currentDateTimeUtc());
                         });
}

bool SnmpAgents::SnmpGetNextRequest(int index)
{
    return answerRequest(
        index, QStringLiteral("GetNextRequest"), QStringLiteral("Modul: SnmpGetNextRequest, Err: "),
        [this, index](SnmpMessage &message) {
            return isDevice(index)
                       ? answerDevice(index, message)
                       : answerGetNextRequest(message, m_table[index], m_answers[index],
                                              QDateTime::currentDateTimeUtc());
        });
}

bool SnmpAgents::answerBulk(int index)
{
    return answerRequest(index, QStringLiteral("GetBulkRequest"),
                         QStringLiteral("Modul: SnmpGetBulkRequest, Err: "),
                         [this, index](SnmpMessage &message) {
                             return answerDevice(index, message);
                         });
}

Status SnmpAgents::answerDevice(int index, SnmpMessage &message, qsizetype room)
{
    return answerAsDevice(message, servedObjects(index, message),
                          room < 0 ? m_agents[index]->responseLimit() : room);
}

bool SnmpAgents::isDevice(int index) const
{
    const UsmEngine *engine = m_agents[index]->usmIfAny();
    return m_recordings[index].tree || (engine && !engine->users().isEmpty());
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
}

ServedObjects SnmpAgents::servedObjects(int index, const SnmpMessage &message)
{
    ServedObjects objects = ::servedObjects(
        message, index, m_recordings[index].tree.get(), m_table[index], m_answers[index],
        [this] { return controlledObjects(); }, QDateTime::currentDateTimeUtc());
    if (isDevice(index)) {
        const SnmpAgent &agent = *m_agents[index];
        objects.setOwnObjects(OwnObjects(agent.statistics(), agent.usmIfAny()));
    }
    return objects;
}

bool SnmpAgents::traced(int index, QStringList lines, const QString &user,
                        const QString &failurePrefix)
{
    if (!user.isEmpty())
        lines.first() += QLatin1Char('\t') + user;
    return succeeded(failurePrefix,
                     m_trace.AppendTraceRecord(TraceKind::Snmp, m_page.txtSnmpIpAddr[index]->text(),
                                               m_page.txtSnmpPort[index]->text(), lines));
}

void SnmpAgents::refuseSet(int index)
{
    refuseSetRequest(m_agents[index]->CurrentMessage());
}

namespace {

QString pduName(int pdu)
{
    switch (pdu) {
    case SnmpPdu::GetRequest:
        return QStringLiteral("GetRequest");
    case SnmpPdu::GetNextRequest:
        return QStringLiteral("GetNextRequest");
    case SnmpPdu::GetBulkRequest:
        return QStringLiteral("GetBulkRequest");
    default:
        return QStringLiteral("SetRequest");
    }
}

// Room the secured wrapping takes besides the PDU: header, engine, user, digest, salt, padding.
constexpr qsizetype V3Wrapping = 200;

} // namespace

void SnmpAgents::answerV3(int index)
{
    SnmpAgent &agent = *m_agents[index];
    SnmpMessage &message = agent.CurrentMessage();
    const QString failurePrefix = requestFailurePrefix();
    const QString user = message.Community;
    if (m_trace.debugMode() &&
        !traced(index, requestRecord(pduName(message.pdu()), message), user, failurePrefix))
        return;
    if (meetsUserLevel(*agent.v3Request())) {
        const qsizetype room = agent.responseLimit() - V3Wrapping - user.size();
        succeeded(failurePrefix, answerDevice(index, message, room));
    } else {
        // Below the user's level nothing is served: the request's bindings go back, refused.
        message.ErrorStatus = SnmpError::AuthorizationError;
        message.ErrorIndex = 0;
    }
    message.Type = SnmpPdu::V2cBase + SnmpPdu::Response;
    sendAnswer(index, user);
}

Status SnmpAgents::addV3User(int index, const QByteArray &name, usm::Auth auth,
                             const QByteArray &authPassphrase, usm::Priv priv,
                             const QByteArray &privPassphrase)
{
    return m_agents[index]->usm().addUser(name, auth, authPassphrase, priv, privPassphrase);
}

bool SnmpAgents::removeV3User(int index, const QByteArray &name)
{
    return m_agents[index]->usm().removeUser(name);
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
