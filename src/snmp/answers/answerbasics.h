#pragma once

#include "common/core/result.h"
#include "snmp/codec/snmpmessage.h"

#include <QDateTime>
#include <QString>

// The only community the agents answer, compared byte for byte.
inline constexpr char AgentCommunity[] = "kettle";
bool isAgentCommunity(const SnmpMessage &message);

// An object whose identifier, type (by name) and value the user types in, as they stand.
struct ControlledObject
{
    QString oid;
    QString typeName;
    QString value;
};

// Sets Value, then Type (skipped for code 0), then Oid; stops at the first failure. A value that
// does not fit its type leaves the variable as it came.
Status AnswerVariable(SnmpVariable &variable, const QString &value, int type, const QString &oid);

// Uptime text: whole seconds since start, times 100, starting over past 32 bits.
QString uptimeText(const QDateTime &start, const QDateTime &now);

// A response carries only the errors the row finds, never the request's: also when a wrong
// community leaves the variables as they came.
void clearErrors(SnmpMessage &message);
// Nothing is writable: the refusal the message's version knows, naming the first variable.
void refuseSetRequest(SnmpMessage &message);
