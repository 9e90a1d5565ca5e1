#pragma once

#include "snmp/answers/agenttable.h"
#include "snmp/codec/snmpmessage.h"
#include "snmp/codec/systemgroup.h"

#include <QDateTime>
#include <QString>

#include <array>

// What object `number` (1 to 7) answers: value text, type code and identifier.
struct SystemAnswer
{
    QString value;
    int type;
    QString oid;
};

SystemAnswer systemObject(int number, const AgentTableRow &row, const QDateTime &now);

// The system objects of one row, encoded once and handed out as shared copies, so answering
// a variable costs no encoding. An answer is made again when the row's text for it changes; the
// uptime is the one value encoded per request.
class SystemAnswers
{
public:
    // Answers `variable` as AnswerVariable with systemObject(number, row, now) would. Returns
    // false, leaving the variable alone, when that answer does not fit its type: the caller then
    // takes the general path, which reports why.
    bool answer(SnmpVariable &variable, int number, const AgentTableRow &row, const QDateTime &now);

private:
    struct Prepared
    {
        bool made = false;
        bool fits = false;
        QString text;        // the row's text it was made from
        qint16 services = 0; // or the row's number
        qint64 ticks = -1;   // or the uptime
        SnmpVariable variable;
    };
    bool isCurrent(const Prepared &prepared, int number, const AgentTableRow &row) const;

    std::array<Prepared, SystemGroup::Objects> m_prepared;
};
