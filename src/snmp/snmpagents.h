#pragma once

#include "agentanswers.h"
#include "agenttable.h"
#include "common/core/result.h"
#include "systemanswers.h"
#include "usmcrypto.h"

#include <QObject>
#include <QString>

#include <array>
#include <functional>
#include <memory>

class AgentRecordings;
struct AppServices;
class DebugTrace;
class RecordedTree;
class ServedObjects;
class SnmpAgent;
class SnmpAgentPage;

// The seven agent rows: start and stop, request dispatch and the answers.
class SnmpAgents : public QObject
{
    Q_OBJECT
public:
    SnmpAgents(SnmpAgentPage &page, DebugTrace &trace, const AppServices &services,
               QObject *parent = nullptr);

    void cmdSnmpControl_Click(int index);
    void StartSnmpAgent(int index);
    void StopSnmpAgent(int index);
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
    AgentRecordings &recordings() { return *m_rowRecordings; }

    // SNMPv3 users of a row. The first one gives the row its engine; keys are made here, once.
    Status addV3User(int index, const QByteArray &name, usm::Auth auth,
                     const QByteArray &authPassphrase, usm::Priv priv = usm::Priv::None,
                     const QByteArray &privPassphrase = {});
    bool removeV3User(int index, const QByteArray &name);
    QList<QByteArray> v3Users(int index) const;

    SnmpAgent &snmpAgent(int index) { return *m_agents[index]; }
    AgentTable &agentTable() { return m_table; }

private:
    // Answers the current request of row `index` through `answer`, after its request record.
    // A request from a foreign community is echoed unanswered; false when the request record
    // could not be written: the event ends there, reported.
    using AnswerRoutine = std::function<Status(SnmpMessage &message)>;
    bool answerRequest(int index, const QString &recordName, const QString &failurePrefix,
                       const AnswerRoutine &answer);
    // Whether `status` is a success; a failure is reported after the prefix.
    bool succeeded(const QString &failurePrefix, const Status &status);
    ControlledObjects controlledObjects() const;
    // Like the answer routines, false when the request record could not be written.
    bool answerBulk(int index);
    // A row the user made a device (a recording, or SNMPv3 users) answers as real agents do;
    // a plain one as the window's own agents always have.
    bool isDevice(int index) const;
    // `room` bounds a GetBulk's answer; by default the agent's response limit.
    Status answerDevice(int index, SnmpMessage &message, qsizetype room = -1);
    ServedObjects servedObjects(int index, const SnmpMessage &message);
    void refuseSet(int index);
    // A request secured by SNMPv3: answered from the row's objects, traced by user name.
    void answerV3(int index);
    // Encodes the current message, writes its response record (naming the SNMPv3 user, if
    // any) and sends it; a failure at any step is reported once and ends the event.
    void sendAnswer(int index, const QString &user);
    // Appends to the file named by the row's boxes as they stand now, the SNMPv3 user (if any)
    // after the first line; false, reported, when it could not be written. Callers test Debug
    // Mode first, so no record is built while it is off.
    bool traced(int index, QStringList lines, const QString &user, const QString &failurePrefix);

    SnmpAgentPage &m_page;
    DebugTrace &m_trace;
    const AppServices &m_services;
    std::array<SnmpAgent *, 7> m_agents{};
    AgentTable m_table;
    std::array<SystemAnswers, 7> m_answers;
    std::array<ServedRecording, 7> m_recordings;
    AgentRecordings *m_rowRecordings = nullptr;
};
