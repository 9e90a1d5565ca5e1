// What a row does besides answering: the faults it was set to, drawn request by request, and
// the counts of what became of every datagram.
#include "snmpagent.h"

#include "snmp/agent/datagramsocket.h"
#include "snmp/answers/faultchances.h"
#include "snmp/answers/malformedanswers.h"

void SnmpAgent::setBehaviour(const RowBehaviour &behaviour)
{
    m_behaviour = behaviour;
    m_faulty = behaviour.hasFaults();
    m_draw = {};
}

bool SnmpAgent::survivesLoss()
{
    m_draw = {};
    // Lost on the way in: nothing of the datagram takes effect.
    if (!happens(m_behaviour.lossPercent, m_random.generate()))
        return true;
    ++m_counts.droppedByLoss;
    return false;
}

bool SnmpAgent::drawInjectedError()
{
    m_draw.error = m_faulty && happens(m_behaviour.errorPercent, m_random.generate());
    return m_draw.error;
}

RowCounts SnmpAgent::counts() const
{
    RowCounts counts = m_counts;
    counts.waiting = m_socket ? quint64(m_socket->heldCount()) : 0;
    return counts;
}

void SnmpAgent::replyWithFaults(const QByteArray &datagram)
{
    if (m_behaviour.mute) {
        ++m_counts.droppedByMute;
        return;
    }
    m_counts.errorsInjected += m_draw.error;
    QByteArray spoiled;
    QByteArrayView bytes = datagram;
    int copies = 1;
    if (m_draw.malformed) {
        const MalformedKind kind = m_behaviour.malformedKind;
        if (spoiledPart(kind) == SpoiledPart::Bytes) {
            spoiled = datagram;
            m_draw.malformed = spoilBytes(spoiled, kind);
            bytes = spoiled;
        }
        copies = answerCopies(kind);
        m_counts.malformedSent += m_draw.malformed;
    }
    const int delay =
        answerDelayMs(m_behaviour.latencyMs, m_behaviour.jitterMs, m_random.generate());
    if (delay > 0) {
        m_socket->replyLater(m_datagram, bytes, std::chrono::milliseconds(delay), copies);
        return;
    }
    for (int copy = 0; copy < copies; ++copy)
        m_socket->reply(m_datagram, bytes);
    ++m_counts.answered;
}

void SnmpAgent::drawMalformed()
{
    const MalformedKind kind = m_behaviour.malformedKind;
    m_draw.malformed =
        happens(m_behaviour.malformedPercent, m_random.generate()) &&
        (spoiledPart(kind) != SpoiledPart::Message || ::spoilMessage(m_current, kind));
}
