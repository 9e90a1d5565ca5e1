#include "servedobjects.h"

#include "snmp/answers/agenttable.h"
#include "snmp/answers/interfacestates.h"
#include "snmp/answers/systemanswers.h"
#include "snmp/codec/bercodec.h"
#include "snmp/codec/oidorder.h"
#include "snmp/codec/snmpmessage.h"
#include "snmp/codec/snmptypes.h"
#include "snmp/codec/snmpvalue.h"
#include "snmp/codec/systemgroup.h"
#include "snmp/recording/recordedtree.h"

using SystemGroup::Uptime;

const RowBehaviour ServedObjects::DefaultBehaviour;
const WrittenValues ServedObjects::NothingWritten;

QByteArrayView oidContentOf(const SnmpVariable &variable)
{
    return ber::contentOf(variable.oidElement());
}

ServedObjects::ServedObjects(const RecordedTree *tree, const AgentTableRow &row,
                             SystemAnswers &answers, const QDateTime &now, bool v1, RowKind kind)
    : m_tree(tree), m_row(row), m_answers(answers), m_now(now), m_v1(v1), m_kind(kind)
{
}

void ServedObjects::setTypedObject(const ControlledObject &object)
{
    const Result<QByteArray> encoded = ber::encodeOid(object.oid);
    if (!encoded)
        return;
    // A plain row compares texts: one its requests' identifiers never read as matches nothing.
    if (m_kind == RowKind::Plain && ber::decodeOid(encoded.value()).value() != object.oid)
        return;
    m_typed = object;
    m_typedContent = encoded.value();
}

bool ServedObjects::isTyped(QByteArrayView oidContent) const
{
    return m_typed && oidContent == m_typedContent;
}

Status ServedObjects::answerTyped(SnmpVariable &variable) const
{
    return AnswerVariable(variable, m_typed->value, typeCodeOfName(m_typed->typeName),
                          m_typed->oid);
}

bool ServedObjects::hides(qsizetype offset) const
{
    return m_v1 && m_tree->isCounter64At(offset);
}

ServedObjects::Ref ServedObjects::find(QByteArrayView oidContent) const
{
    if (m_kind == RowKind::Plain) {
        if (const int number = SystemGroup::numberOf(oidContent, true))
            return Ref{.system = number};
        return Ref{.typed = isTyped(oidContent)};
    }
    if (isTyped(oidContent))
        return Ref{.typed = true};
    if (m_own) {
        if (const int own = m_own->find(oidContent); own >= 0)
            return Ref{.own = own};
    }
    if (m_tree) {
        const RecordedTree::Place at = m_tree->placeOf(oidContent);
        if (at.index != RecordedTree::NotFound)
            return hides(at.offset) ? Ref{} : Ref{at.index, at.offset};
    }
    if (const int number = SystemGroup::numberOf(oidContent)) {
        if (!m_tree || m_tree->systemObject(number) == RecordedTree::NotFound)
            return Ref{.system = number};
    }
    return {};
}

ServedObjects::Ref ServedObjects::next(QByteArrayView oidContent) const
{
    const Ref found = nextRecordedOrSystem(oidContent);
    if (!m_own)
        return found;
    const int own = m_own->next(oidContent);
    // On the same identifier the agent's own object stands in for the recorded one.
    if (own >= 0 &&
        (!found.isValid() || compareOidContents(m_own->oidContent(own), contentAt(found)) <= 0))
        return Ref{.own = own};
    return found;
}

QByteArrayView ServedObjects::contentAt(Ref ref) const
{
    if (ref.own >= 0)
        return m_own->oidContent(ref.own);
    if (ref.system > 0)
        return SystemGroup::content(ref.system);
    return m_tree->oidContentAt(ref.offset);
}

ServedObjects::Ref ServedObjects::nextRecordedOrSystem(QByteArrayView oidContent) const
{
    Ref found;
    if (m_tree) {
        RecordedTree::Place at = m_tree->placeAfter(oidContent);
        while (at.index < m_tree->size() && hides(at.offset))
            at = m_tree->following(at);
        if (at.index < m_tree->size())
            found = {at.index, at.offset};
    }
    // Past the last system object none of them can come next.
    if (compareOidContents(oidContent, SystemGroup::content(SystemGroup::Objects)) >= 0)
        return found;
    for (int number = 1; number <= SystemGroup::Objects; ++number) {
        if (m_tree && m_tree->systemObject(number) != RecordedTree::NotFound)
            continue;
        const QByteArrayView system = SystemGroup::content(number);
        if (compareOidContents(oidContent, system) >= 0)
            continue;
        if (found.recorded < 0 ||
            compareOidContents(system, m_tree->oidContentAt(found.offset)) < 0)
            return {-1, 0, number};
        break;
    }
    return found;
}

qint64 ServedObjects::counterTicks() const
{
    return m_row.AgentStartTime.secsTo(m_now) * 100;
}

Status ServedObjects::fill(SnmpVariable &variable, Ref ref) const
{
    if (m_written->isEmpty())
        return fillAsServed(variable, ref);
    const Status served = fillAsServed(variable, ref);
    if (!served)
        return served;
    // A written value stands while the object keeps its type: one typed anew may have changed it.
    const QByteArray *written = m_written->find(oidContentOf(variable));
    if (written && written->front() == variable.valueElement().front())
        variable.setEncoded(variable.oidElement(), *written);
    return served;
}

Status ServedObjects::fillAsServed(SnmpVariable &variable, Ref ref) const
{
    if (ref.typed)
        return answerTyped(variable);
    if (ref.own >= 0) {
        variable.setEncoded(m_own->oidElement(ref.own), m_own->valueElement(ref.own));
        return {};
    }
    if (ref.system > 0) {
        if (m_answers.answer(variable, ref.system, m_row, m_now))
            return {};
        const SystemAnswer answer = systemObject(ref.system, m_row, m_now);
        return AnswerVariable(variable, answer.value, answer.type, answer.oid);
    }
    if (m_typed && isTyped(m_tree->oidContentAt(ref.offset)))
        return answerTyped(variable);
    if (m_interfaces && m_interfaces->answer(m_tree->oidContentAt(ref.offset), variable))
        return {};
    QByteArrayView element = m_tree->valueElementAt(ref.offset);
    QByteArray advanced;
    CounterElement counter;
    if (ref.recorded == m_tree->systemObject(Uptime) && quint8(element[0]) == SnmpTag::TimeTicks) {
        // The recorded clock goes on from where the recording left it.
        const quint64 recorded = ber::decodeUnsigned(ber::contentOf(element)).value();
        advanced = encodeTimeTicks(recorded + quint64(m_row.AgentStartTime.secsTo(m_now)) * 100);
        element = advanced;
    } else if (m_behaviour->countersAdvance) {
        // On the clock sysUpTime.0 reads, so rates from its deltas come out exact.
        const QByteArrayView content = m_tree->oidContentAt(ref.offset);
        const qint64 ticks = counterTicks();
        counter = m_counters.advanced(
            content, element, m_interfaces ? m_interfaces->countingTicks(content, ticks) : ticks,
            m_behaviour->speedFactor);
        if (counter.size > 0)
            element = counter.view();
    }
    variable.setEncoded(m_tree->oidElementAt(ref.offset), element);
    return {};
}
