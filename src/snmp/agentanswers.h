#pragma once

#include "agenttable.h"
#include "common/core/result.h"
#include "snmpmessage.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <utility>

class SystemAnswers;

// The only community the agents answer, compared byte for byte.
inline constexpr char AgentCommunity[] = "kettle";

// The boxes of one user-controlled object as they stand when a request is answered.
struct ControlledObject
{
    QString oid;
    QString typeName;
    QString value;
};

using ControlledObjects = std::pair<ControlledObject, ControlledObject>;
// Reads both sets of boxes; called only when a variable is no system object.
using ControlledObjectsReader = std::function<ControlledObjects()>;

// Code of a type box name; 0 for text that names no type.
int typeCodeOfName(const QString &name);

// Sets Value, then Type (skipped for code 0), then Oid; stops at the first failure. A value that
// does not fit its type leaves the variable as it came.
Status AnswerVariable(SnmpVariable &variable, const QString &value, int type, const QString &oid);

// Uptime text: whole seconds since start, times 100, starting over past 32 bits.
QString uptimeText(const QDateTime &start, const QDateTime &now);

// A Get or GetNext response carries only the errors the row finds, never the request's: also
// when a wrong community leaves the variables as they came.
void clearErrors(SnmpMessage &message);
bool isAgentCommunity(const SnmpMessage &message);

// Fills the variables of a GetRequest for row `index`; the controlled objects belong to rows
// 5 and 6. Stops at the first failure, keeping what was already set.
Status answerGetRequest(SnmpMessage &message, int index, const AgentTableRow &row,
                        const ControlledObject &object1, const ControlledObject &object2,
                        const QDateTime &now);
// The same with the row's prepared answers, reading the boxes only when a variable needs them.
Status answerGetRequest(SnmpMessage &message, int index, const AgentTableRow &row,
                        SystemAnswers &answers, const ControlledObjectsReader &readObjects,
                        const QDateTime &now);
// Answers each variable with the first system object after it in identifier order.
Status answerGetNextRequest(SnmpMessage &message, const AgentTableRow &row, const QDateTime &now);
Status answerGetNextRequest(SnmpMessage &message, const AgentTableRow &row,
                            SystemAnswers &answers, const QDateTime &now);
// Nothing here is writable: the refusal the message's version knows.
void refuseSetRequest(SnmpMessage &message);

QStringList requestRecord(const QString &name, const SnmpMessage &message);
// The response as it goes out.
QStringList responseRecord(const SnmpMessage &message);
