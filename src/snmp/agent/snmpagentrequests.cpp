// The rows' answers: how SnmpAgents dispatches, answers, traces and sends each request.
#include "snmpagents.h"

#include "common/core/messagepresenter.h"
#include "snmp/agent/rownotifier.h"
#include "snmp/agent/snmpagent.h"
#include "snmp/agent/tracerecords.h"
#include "snmp/answers/injectederror.h"
#include "snmp/answers/ownobjects.h"
#include "snmp/answers/requestanswers.h"
#include "snmp/answers/servedobjects.h"
#include "snmp/answers/setanswers.h"
#include "snmp/recording/recordedtree.h"
#include "snmp/usm/usmengine.h"
#include "trace/debugtrace.h"

namespace {

QString requestFailurePrefix()
{
    return QStringLiteral("Modul: snmpAgent_Request, Err: ");
}

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
        if (device) {
            m_notifiers[index]->requestRefused();
            return;
        }
    }
    // An answer routine that could not write its request record has reported it: the event
    // ends there, unanswered.
    bool answered = true;
    const bool injected =
        agent.hasFaults() && isAgentCommunity(message) && agent.drawInjectedError();
    if (injected)
        answered = answerWithError(index);
    // An injected error takes the place of every answer routine.
    switch (injected ? -1 : message.pdu()) {
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
        // A stranger's Set is refused, never echoed: an echo would read as success.
        if (m_behaviours[index].acceptSet && isAgentCommunity(message))
            answered = answerSet(index);
        else
            refuseSetRequest(message);
        break;
    default:
        break;
    }
    if (!answered)
        return;
    // A device's SNMPv1 error response is the request itself with the error, and so is the
    // SNMPv2c one of a device that answers as old ones do.
    const bool likeV1 = message.version == SnmpVersion::V1 || m_behaviours[index].legacyV2c;
    if (device && likeV1 && message.ErrorStatus != 0)
        agent.restoreRequestBindings();
    // The version stays the request's: a v1 message goes out as a v1 response whatever the code.
    message.Type = message.Type == SnmpPdu::V1Base + SnmpPdu::GetRequest
                       ? SnmpPdu::V1Base + SnmpPdu::Response
                       : SnmpPdu::V2cBase + SnmpPdu::Response;
    sendAnswer(index, QString());
}

bool SnmpAgents::SnmpGetRequest(int index)
{
    return answerRequest(index, QStringLiteral("GetRequest"),
                         QStringLiteral("Modul: SnmpGetRequest, Err: "),
                         [this, index](SnmpMessage &message) { return answer(index, message); });
}

bool SnmpAgents::SnmpGetNextRequest(int index)
{
    return answerRequest(index, QStringLiteral("GetNextRequest"),
                         QStringLiteral("Modul: SnmpGetNextRequest, Err: "),
                         [this, index](SnmpMessage &message) { return answer(index, message); });
}

bool SnmpAgents::answerBulk(int index)
{
    return answerRequest(index, QStringLiteral("GetBulkRequest"),
                         QStringLiteral("Modul: SnmpGetBulkRequest, Err: "),
                         [this, index](SnmpMessage &message) { return answer(index, message); });
}

bool SnmpAgents::answerSet(int index)
{
    return answerRequest(index, QStringLiteral("SetRequest"),
                         QStringLiteral("Modul: SnmpSetRequest, Err: "),
                         [this, index](SnmpMessage &message) { return answer(index, message); });
}

bool SnmpAgents::answerWithError(int index)
{
    SnmpMessage &message = m_agents[index]->CurrentMessage();
    const QString failurePrefix = requestFailurePrefix();
    if (m_trace.debugMode() &&
        !traced(index, requestRecord(pduName(message.pdu()), message), QString(), failurePrefix))
        return false;
    injectError(message, m_behaviours[index].errorStatus);
    return true;
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

void SnmpAgents::answerV3(int index)
{
    SnmpAgent &agent = *m_agents[index];
    SnmpMessage &message = agent.CurrentMessage();
    const QString failurePrefix = requestFailurePrefix();
    const QString user = message.Community;
    if (m_trace.debugMode() &&
        !traced(index, requestRecord(pduName(message.pdu()), message), user, failurePrefix))
        return;
    if (agent.hasFaults() && agent.drawInjectedError()) {
        injectError(message, m_behaviours[index].errorStatus);
    } else if (meetsUserLevel(*agent.v3Request())) {
        const qsizetype room = agent.responseLimit() - V3Wrapping - user.size();
        succeeded(failurePrefix, answer(index, message, room));
    } else {
        // Below the user's level nothing is served: the request's bindings go back, refused.
        message.ErrorStatus = SnmpError::AuthorizationError;
        message.ErrorIndex = 0;
    }
    message.Type = SnmpPdu::V2cBase + SnmpPdu::Response;
    sendAnswer(index, user);
}

Status SnmpAgents::answer(int index, SnmpMessage &message, qsizetype room)
{
    const SnmpAgent &agent = *m_agents[index];
    const RowBehaviour &behaviour = m_behaviours[index];
    const UsmEngine::Request *secured = agent.v3Request();
    if (message.pdu() == SnmpPdu::SetRequest && behaviour.acceptSet) {
        return answerSetRequest(message, servedObjects(index, message), m_written[index],
                                !secured || secured->user.mayWrite);
    }
    // Old devices knew no SNMPv3: its managers get exceptions whatever the row's setting.
    const bool legacy = behaviour.legacyV2c && !secured && message.version == SnmpVersion::V2c;
    return ::answerRequest(message, servedObjects(index, message),
                           room < 0 ? agent.responseLimit() : room, legacy);
}

bool SnmpAgents::isDevice(int index) const
{
    const UsmEngine *engine = m_agents[index]->usmIfAny();
    return m_recordings[index].tree || (engine && !engine->users().isEmpty());
}

ServedObjects SnmpAgents::servedObjects(int index, const SnmpMessage &message)
{
    const bool device = isDevice(index);
    ServedObjects objects(m_recordings[index].tree.get(), m_table[index], m_answers[index],
                          QDateTime::currentDateTimeUtc(), message.version == SnmpVersion::V1,
                          device ? RowKind::Device : RowKind::Plain);
    objects.setBehaviour(m_behaviours[index]);
    objects.setWrittenValues(m_written[index]);
    objects.setCounterMotion(counterMotion(index));
    objects.setInterfaceStates(&m_notifiers[index]->interfaces());
    if (const ControlledObject *typed = typedObject(index, !device))
        objects.setTypedObject(*typed);
    if (device) {
        const SnmpAgent &agent = *m_agents[index];
        objects.setOwnObjects(OwnObjects(agent.statistics(), agent.engineFacts()));
    }
    return objects;
}

const ControlledObject *SnmpAgents::typedObject(int index, bool plain) const
{
    const int set = m_typedObjectSets[index];
    if (set < 0)
        return nullptr;
    for (int before = 0; plain && before < set; ++before) {
        if (m_typedObjects[before].oid == m_typedObjects[set].oid)
            return nullptr;
    }
    return &m_typedObjects[set];
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
    // A mute row's answers go nowhere, so no record says they went.
    if (m_trace.debugMode() && agent.answersGoOut() &&
        !traced(index, responseRecord(agent.CurrentMessage(), agent.answerMalformed()), user,
                failurePrefix))
        return;
    succeeded(failurePrefix, agent.SendResponse());
}

bool SnmpAgents::succeeded(const QString &failurePrefix, const Status &status)
{
    if (!status)
        m_messages.showMessage(failurePrefix + status.failure().description);
    return status.ok();
}

bool SnmpAgents::traced(int index, QStringList lines, const QString &user,
                        const QString &failurePrefix)
{
    if (!user.isEmpty())
        lines.first() += QLatin1Char('\t') + user;
    return succeeded(failurePrefix, m_trace.AppendTraceRecord(TraceKind::Snmp, m_addresses[index],
                                                              m_ports[index], lines));
}
