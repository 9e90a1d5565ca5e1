#include "answerbasics.h"

bool isAgentCommunity(const SnmpMessage &message)
{
    return message.Community == QLatin1String(AgentCommunity);
}

Status AnswerVariable(SnmpVariable &variable, const QString &value, int type, const QString &oid)
{
    const Status set = type == 0 ? variable.setValue(value) : variable.setValueAndType(value, type);
    if (!set)
        return set;
    return variable.setOid(oid);
}

QString uptimeText(const QDateTime &start, const QDateTime &now)
{
    const qint64 ticks = start.secsTo(now) * 100;
    // Past 2^32 hundredths (497 days) the clock starts over; one set back stays negative and
    // fails as TimeTicks.
    return QString::number(ticks < 0 ? ticks : ticks & 0xffffffff);
}

void clearErrors(SnmpMessage &message)
{
    message.ErrorStatus = 0;
    message.ErrorIndex = 0;
}

void refuseSetRequest(SnmpMessage &message)
{
    message.ErrorStatus =
        message.version == SnmpVersion::V1 ? SnmpError::NoSuchName : SnmpError::NotWritable;
    message.ErrorIndex = message.Variables.isEmpty() ? 0 : 1;
}
