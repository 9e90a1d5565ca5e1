#include "agentanswers.h"

#include "snmpagentpage.h"
#include "snmpvalue.h"

#include <QList>

#include <algorithm>
#include <optional>

namespace {

constexpr QLatin1String SystemGroup("1.3.6.1.2.1.1.");
constexpr int SystemObjects = 7; // sysDescr.0 to sysServices.0

struct Answer
{
    QString value;
    int type;
    QString oid;
};

const QString &answeredOid(int number)
{
    static const QString oids[SystemObjects] = {
        QStringLiteral("1.3.6.1.2.1.1.1.0"), QStringLiteral("1.3.6.1.2.1.1.2.0"),
        QStringLiteral("1.3.6.1.2.1.1.3.0"), QStringLiteral("1.3.6.1.2.1.1.4.0"),
        QStringLiteral("1.3.6.1.2.1.1.5.0"), QStringLiteral("1.3.6.1.2.1.1.6.0"),
        QStringLiteral("1.3.6.1.2.1.1.7.0")};
    return oids[number - 1];
}

Answer systemObject(int number, const AgentTableRow &row, const QDateTime &now)
{
    const QString &oid = answeredOid(number);
    switch (number) {
    case 1:
        return {row.SysDescr, SnmpType::OctetString, oid};
    case 2:
        return {row.SysObjectID, SnmpType::ObjectIdentifier, oid};
    case 3:
        return {uptimeText(row.AgentStartTime, now), SnmpType::TimeTicks, oid};
    case 4:
        return {row.SysContact, SnmpType::OctetString, oid};
    case 5:
        return {row.SysName, SnmpType::OctetString, oid};
    case 6:
        return {row.SysLocation, SnmpType::OctetString, oid};
    default:
        return {QString::number(row.SysServices), SnmpType::Integer32, oid};
    }
}

// 1 to 7 for "1.3.6.1.2.1.1.N" and "1.3.6.1.2.1.1.N.0"; 0 for anything else.
int systemObjectNumber(const QString &oid)
{
    if (!oid.startsWith(SystemGroup))
        return 0;
    const QStringView rest = QStringView(oid).sliced(SystemGroup.size());
    if (rest.isEmpty() || rest[0] < QLatin1Char('1') || rest[0] > QLatin1Char('7'))
        return 0;
    if (rest.size() == 1 || rest.sliced(1) == QLatin1String(".0"))
        return rest[0].unicode() - '0';
    return 0;
}

std::optional<QList<quint64>> arcsOf(const QString &oid)
{
    QList<quint64> arcs;
    for (QStringView part : QStringView(oid).split(QLatin1Char('.'))) {
        bool ok = !part.isEmpty();
        for (QChar c : part)
            ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const quint64 arc = ok ? part.toULongLong(&ok) : 0;
        if (!ok)
            return std::nullopt;
        arcs.append(arc);
    }
    return arcs;
}

// The first system object whose identifier comes strictly after `oid`; 0 when none does.
int successorNumber(const QString &oid)
{
    const std::optional<QList<quint64>> arcs = arcsOf(oid);
    if (!arcs)
        return 0;
    for (int number = 1; number <= SystemObjects; ++number) {
        const QList<quint64> object{1, 3, 6, 1, 2, 1, 1, quint64(number), 0};
        if (std::lexicographical_compare(arcs->begin(), arcs->end(), object.begin(), object.end()))
            return number;
    }
    return 0;
}

void markUnanswered(SnmpMessage &message, int position)
{
    message.ErrorStatus = SnmpError::NoSuchName;
    message.ErrorIndex = position;
}

} // namespace

int typeCodeOfName(const QString &name)
{
    static const int codes[] = {
        SnmpType::Integer32, SnmpType::OctetString, SnmpType::ObjectIdentifier,
        SnmpType::IpAddress, SnmpType::Counter32,   SnmpType::Gauge32,
        SnmpType::TimeTicks, SnmpType::Counter64,   SnmpType::Unsigned32};
    const qsizetype position = SnmpAgentPage::typeNames().indexOf(name);
    return position < 0 ? 0 : codes[position];
}

Status AnswerVariable(SnmpVariable &variable, const QString &value, int type, const QString &oid)
{
    if (type == 0) {
        variable.setValue(value);
    } else {
        const Status typed = variable.setValueAndType(value, type);
        if (!typed)
            return typed;
    }
    return variable.setOid(oid);
}

QString uptimeText(const QDateTime &start, const QDateTime &now)
{
    return QString::number(start.secsTo(now) * 100);
}

bool isAgentCommunity(const SnmpMessage &message)
{
    return message.Community == QLatin1String(AgentCommunity);
}

Status answerGetRequest(SnmpMessage &message, int index, const AgentTableRow &row,
                        const ControlledObject &object1, const ControlledObject &object2,
                        const QDateTime &now)
{
    int position = 1;
    for (SnmpVariable &variable : message.Variables) {
        const QString oid = variable.Oid();
        Status answered;
        if (const int number = systemObjectNumber(oid)) {
            const Answer answer = systemObject(number, row, now);
            answered = AnswerVariable(variable, answer.value, answer.type, answer.oid);
        } else if (oid == object1.oid || oid == object2.oid) {
            // The first set of boxes is tested first, and each set belongs to one row.
            const bool first = oid == object1.oid;
            const ControlledObject &object = first ? object1 : object2;
            if (index == (first ? 5 : 6))
                answered = AnswerVariable(variable, object.value, typeCodeOfName(object.typeName),
                                          object.oid);
            else
                markUnanswered(message, position);
        } else {
            markUnanswered(message, position);
        }
        if (!answered)
            return answered;
        ++position;
    }
    return {};
}

Status answerGetNextRequest(SnmpMessage &message, const AgentTableRow &row, const QDateTime &now)
{
    int position = 1;
    for (SnmpVariable &variable : message.Variables) {
        if (const int number = successorNumber(variable.Oid())) {
            const Answer next = systemObject(number, row, now);
            const Status answered = AnswerVariable(variable, next.value, next.type, next.oid);
            if (!answered)
                return answered;
        } else {
            markUnanswered(message, position);
        }
        ++position;
    }
    return {};
}

void refuseSetRequest(SnmpMessage &message)
{
    message.ErrorStatus =
        message.version == SnmpVersion::V1 ? SnmpError::NoSuchName : SnmpError::NotWritable;
    message.ErrorIndex = message.Variables.isEmpty() ? 0 : 1;
}

QStringList requestRecord(const QString &name, const SnmpMessage &message)
{
    QStringList lines;
    lines.reserve(message.Variables.size() + 1);
    lines.append(QStringLiteral(" <-- ") + name + QLatin1Char('\t') +
                 QString::number(message.MessageNumber));
    for (const SnmpVariable &variable : message.Variables)
        lines.append(QStringLiteral("\t\t") + variable.Oid());
    return lines;
}

QStringList responseRecord(const SnmpMessage &message)
{
    QStringList lines;
    lines.reserve(message.Variables.size() + 2);
    lines.append(QStringLiteral(" --> Response\t") + QString::number(message.MessageNumber));
    for (const SnmpVariable &variable : message.Variables)
        lines.append(QStringLiteral("\t\t") + variable.Oid() + QStringLiteral("\t\t") +
                     QString::number(variable.Type()) + QLatin1Char('\t') + variable.Value());
    lines.append(QString());
    return lines;
}
