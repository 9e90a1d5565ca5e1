#pragma once

#include "common/core/result.h"
#include "snmp/answers/answerbasics.h"
#include "snmp/answers/countermotion.h"
#include "snmp/answers/ownobjects.h"
#include "snmp/answers/rowbehaviour.h"
#include "snmp/answers/writtenvalues.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>

#include <optional>

class InterfaceStates;
class RecordedTree;
class SnmpVariable;
class SystemAnswers;
struct AgentTableRow;

// What a row was made by its user. A plain row serves its system objects (and perhaps a typed
// object) as the window's agents always have; a device (a recording, or SNMPv3 users) serves
// them as a real agent does, with its own statistics besides.
enum class RowKind { Plain, Device };

// The objects one row serves for one request, in identifier order: the recording (if any),
// the row's system objects the recording lacks, the row's typed object over a recorded one, and
// on a device row the agent's own objects over recorded ones.
class ServedObjects
{
public:
    // A position in that order: a recorded object, a system object (1 to 7), one of the agent's
    // own, the typed object, or none.
    struct Ref
    {
        qsizetype recorded = -1;
        qsizetype offset = 0; // where the recorded object's bytes start
        int system = 0;
        int own = -1;
        bool typed = false;
        bool isValid() const { return recorded >= 0 || system > 0 || own >= 0 || typed; }
    };

    ServedObjects(const RecordedTree *tree, const AgentTableRow &row, SystemAnswers &answers,
                  const QDateTime &now, bool v1, RowKind kind = RowKind::Device);

    RowKind kind() const { return m_kind; }
    // The clock counters advance on: hundredths of a second since the row started.
    qint64 counterTicks() const;
    // The typed object: on a device it overrides a recorded one with its identifier; a plain
    // row answers it to a Get of exactly its text, after the system objects.
    void setTypedObject(const ControlledObject &object);
    // The agent's own objects, read live, that override recorded ones.
    void setOwnObjects(const OwnObjects &own) { m_own = own; }
    // What the user set the row to do besides; it outlives this object.
    void setBehaviour(const RowBehaviour &behaviour) { m_behaviour = &behaviour; }
    const RowBehaviour &behaviour() const { return *m_behaviour; }
    // What the row was set to, answered over what it serves; it outlives this object.
    void setWrittenValues(const WrittenValues &written) { m_written = &written; }
    // How the recorded counters grow while the behaviour has them advance.
    void setCounterMotion(const CounterMotion &motion) { m_counters = motion; }
    // Interfaces linkDown and linkUp changed: their served status overrides the recorded one.
    void setInterfaceStates(const InterfaceStates *states) { m_interfaces = states; }

    // The object with this identifier. A plain row also takes a system object's identifier
    // without its ".0".
    Ref find(QByteArrayView oidContent) const;
    // The first object after the identifier; an SNMPv1 request skips Counter64 values.
    Ref next(QByteArrayView oidContent) const;
    Status fill(SnmpVariable &variable, Ref ref) const;
    // The same without what the row was set to: the object as the row serves it.
    Status fillAsServed(SnmpVariable &variable, Ref ref) const;

private:
    bool isTyped(QByteArrayView oidContent) const;
    Status answerTyped(SnmpVariable &variable) const;
    bool hides(qsizetype offset) const;
    // next() among the recording and the system objects alone.
    Ref nextRecordedOrSystem(QByteArrayView oidContent) const;
    QByteArrayView contentAt(Ref ref) const;

    const RecordedTree *m_tree;
    const AgentTableRow &m_row;
    SystemAnswers &m_answers;
    QDateTime m_now;
    bool m_v1;
    RowKind m_kind;
    std::optional<ControlledObject> m_typed;
    std::optional<OwnObjects> m_own;
    const RowBehaviour *m_behaviour = &DefaultBehaviour;
    static const RowBehaviour DefaultBehaviour;
    const WrittenValues *m_written = &NothingWritten;
    static const WrittenValues NothingWritten;
    CounterMotion m_counters;
    const InterfaceStates *m_interfaces = nullptr;
    QByteArray m_typedContent;
};

// Content of a variable's identifier as it will be sent.
QByteArrayView oidContentOf(const SnmpVariable &variable);
