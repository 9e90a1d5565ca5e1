#pragma once

#include "common/core/result.h"
#include "snmp/agent/notificationsettings.h"
#include "snmp/answers/agenttable.h"
#include "snmp/answers/answerbasics.h"
#include "snmp/answers/countermotion.h"
#include "snmp/answers/rowbehaviour.h"
#include "snmp/answers/snmpstatistics.h"
#include "snmp/answers/systemanswers.h"
#include "snmp/answers/writtenvalues.h"
#include "snmp/usm/protocols.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <memory>

class DebugTrace;
class MessagePresenter;
class RecordedTree;
class RowNotifier;
class ServedObjects;
class SnmpAgent;

// The agent rows: start and stop, request dispatch and the answers. What the user types comes
// in through the setters, as it stands; what the rows do goes out as signals.
class SnmpAgents : public QObject
{
    Q_OBJECT
public:
    static constexpr int RowCount = 7;
    static constexpr int TypedObjectSets = 2;

    SnmpAgents(DebugTrace &trace, MessagePresenter &messages, QObject *parent = nullptr);

    // The address and port a row starts on, as typed; its trace file is named by them.
    void setAddress(int index, const QString &address);
    void setPort(int index, const QString &port);
    const QString &address(int index) const { return m_addresses[index]; }
    const QString &port(int index) const { return m_ports[index]; }
    // A set of typed-object boxes as they stand, and the set a row answers (-1 for none).
    void setTypedObject(int set, const ControlledObject &object);
    void setTypedObjectSet(int index, int set);

    void StartSnmpAgent(int index);
    // Starts the row on its address and a port the system chooses, which is then the row's
    // port; false, reported, when it could not start.
    bool startOnAnyPort(int index);
    void StopSnmpAgent(int index);
    bool isRunning(int index) const { return m_table[index].AgentRunning; }

    void snmpAgent_Request(int index);
    // False when the request record could not be written: the event is then over, unanswered.
    bool SnmpGetRequest(int index);
    bool SnmpGetNextRequest(int index);

    // A recording the row serves besides its own objects, or none (null tree).
    struct ServedRecording
    {
        std::shared_ptr<const RecordedTree> tree;
        QString path;
    };
    void serveRecording(int index, ServedRecording recording);
    const ServedRecording &servedRecording(int index) const { return m_recordings[index]; }

    // SNMPv3 users of a row. The first one gives the row its engine; keys are made here, once.
    // A user that `mayWrite` has its Sets taken while the row accepts them.
    Status addV3User(int index, const QByteArray &name, usm::Auth auth,
                     const QByteArray &authPassphrase, usm::Priv priv = usm::Priv::None,
                     const QByteArray &privPassphrase = {}, bool mayWrite = false);
    bool removeV3User(int index, const QByteArray &name);
    // False when the row has no such user.
    bool setV3UserMayWrite(int index, const QByteArray &name, bool mayWrite);
    QList<QByteArray> v3Users(int index) const;

    // What the row does besides answering; applies to the running row at once.
    void setBehaviour(int index, const RowBehaviour &behaviour);
    const RowBehaviour &behaviour(int index) const { return m_behaviours[index]; }
    // Forgets the values Sets wrote: the row answers what it served before.
    void resetWrittenValues(int index);
    // What the row did with what it received since it started.
    RowCounts rowCounts(int index) const;
    // What Sets wrote, answered until the row stops or resetWrittenValues.
    const WrittenValues &writtenValues(int index) const { return m_written[index]; }
    // How the row's recorded counters grow while its behaviour has them advance; the same at
    // every start.
    CounterMotion counterMotion(int index) const;

    // Where and when the row sends notifications. Refused, naming the field, when one does not
    // hold: nothing is kept then. A running row changes over at once.
    Status setNotifications(int index, const NotificationSettings &settings);
    const NotificationSettings &notifications(int index) const;
    // The notification, once, to every destination of the running row.
    Status sendNotification(int index, const NotificationChoice &choice);
    const NotificationCounts &notificationCounts(int index) const;
    // Whether linkDown took the interface down and no linkUp brought it back since.
    bool isInterfaceDown(int index, int ifIndex) const;
    RowNotifier &notifier(int index) { return *m_notifiers[index]; }

    SnmpAgent &snmpAgent(int index) { return *m_agents[index]; }
    std::array<AgentTableRow, RowCount> &agentTable() { return m_table; }

signals:
    // The row started or stopped.
    void runningChanged(int index, bool running);
    // The row took a port the system chose.
    void portChosen(int index, const QString &port);
    // What the row serves besides its own objects changed: a recording, or its users.
    void servedChanged(int index);
    // The row's behaviour settings changed.
    void behaviourChanged(int index);
    // What the row's notifications came to changed; at most every 200 ms.
    void notificationCountsChanged(int index);

private:
    void makeNotifier(int index);
    // Fills the row's values and announces it once it listens; reports why it does not.
    void started(int index, const Status &listening);
    // Answers the current request of row `index` through `answer`, after its request record.
    // A request from a foreign community is echoed unanswered; false when the request record
    // could not be written: the event ends there, reported.
    using AnswerRoutine = std::function<Status(SnmpMessage &message)>;
    bool answerRequest(int index, const QString &recordName, const QString &failurePrefix,
                       const AnswerRoutine &answer);
    // Whether `status` is a success; a failure is reported after the prefix.
    bool succeeded(const QString &failurePrefix, const Status &status);
    bool answerBulk(int index);
    // A Set on a row that accepts them from this community.
    bool answerSet(int index);
    // Answers with the row's injected error status in place of what was asked: nothing is
    // looked up, and nothing set.
    bool answerWithError(int index);
    // A row the user made a device (a recording, or SNMPv3 users) answers as real agents do;
    // a plain one as the window's own agents always have.
    bool isDevice(int index) const;
    // `room` bounds a GetBulk's answer; by default the agent's response limit.
    Status answer(int index, SnmpMessage &message, qsizetype room = -1);
    ServedObjects servedObjects(int index, const SnmpMessage &message);
    // The typed object row `index` answers, if any. On a plain row a set is answered only
    // when no set before it has the same identifier: those boxes are tested first.
    const ControlledObject *typedObject(int index, bool plain) const;
    // A request secured by SNMPv3: answered from the row's objects, traced by user name.
    void answerV3(int index);
    // Encodes the current message, writes its response record (naming the SNMPv3 user, if
    // any) and sends it; a failure at any step is reported once and ends the event.
    void sendAnswer(int index, const QString &user);
    // Appends to the file named by the row's address and port as they stand now, the SNMPv3
    // user (if any) after the first line; false, reported, when it could not be written.
    // Callers test Debug Mode first, so no record is built while it is off.
    bool traced(int index, QStringList lines, const QString &user, const QString &failurePrefix);

    DebugTrace &m_trace;
    MessagePresenter &m_messages;
    std::array<SnmpAgent *, RowCount> m_agents{};
    std::array<QString, RowCount> m_addresses;
    std::array<QString, RowCount> m_ports;
    std::array<int, RowCount> m_typedObjectSets;
    std::array<ControlledObject, TypedObjectSets> m_typedObjects;
    std::array<AgentTableRow, RowCount> m_table;
    std::array<SystemAnswers, RowCount> m_answers;
    std::array<ServedRecording, RowCount> m_recordings;
    std::array<RowBehaviour, RowCount> m_behaviours;
    std::array<WrittenValues, RowCount> m_written;
    std::array<RowNotifier *, RowCount> m_notifiers{};
};
