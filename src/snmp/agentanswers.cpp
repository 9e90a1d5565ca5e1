#include "agentanswers.h"

#include "bercodec.h"
#include "snmpagentpage.h"
#include "snmpvalue.h"
#include "systemanswers.h"

#include <QVarLengthArray>

#include <algorithm>
#include <optional>

namespace {

constexpr QLatin1String SystemGroup("1.3.6.1.2.1.1.");

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

// The same for a variable, from the bytes of a received identifier when its text is not made.
int systemObjectNumber(const SnmpVariable &variable)
{
    const QByteArrayView content = variable.receivedOidContent();
    if (content.isEmpty())
        return systemObjectNumber(variable.Oid());
    static constexpr char group[] = {0x2b, 6, 1, 2, 1, 1}; // 1.3.6.1.2.1.1
    constexpr qsizetype size = sizeof group;
    if (content.size() < size + 1 || content.size() > size + 2 ||
        !content.startsWith(QByteArrayView(group, size)))
        return 0;
    const int number = content[size];
    if (number < 1 || number > SystemObjects)
        return 0;
    return content.size() == size + 1 || content[size + 1] == 0 ? number : 0;
}

using Arcs = QVarLengthArray<quint64, 16>;

std::optional<Arcs> arcsOf(const QString &oid)
{
    Arcs arcs;
    for (qsizetype start = 0;;) {
        qsizetype end = oid.indexOf(QLatin1Char('.'), start);
        if (end < 0)
            end = oid.size();
        const QStringView part = QStringView(oid).sliced(start, end - start);
        bool ok = !part.isEmpty();
        for (QChar c : part)
            ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const quint64 arc = ok ? part.toULongLong(&ok) : 0;
        if (!ok)
            return std::nullopt;
        arcs.append(arc);
        if (end == oid.size())
            return arcs;
        start = end + 1;
    }
}

// The first system object whose identifier comes strictly after `oid`; 0 when none does.
int successorNumber(const QString &oid)
{
    const std::optional<Arcs> arcs = arcsOf(oid);
    if (!arcs)
        return 0;
    for (int number = 1; number <= SystemObjects; ++number) {
        const quint64 object[] = {1, 3, 6, 1, 2, 1, 1, quint64(number), 0};
        if (std::lexicographical_compare(arcs->begin(), arcs->end(), std::begin(object),
                                         std::end(object)))
            return number;
    }
    return 0;
}

// Through the prepared answers, or the general path when one does not fit.
Status answerSystemObject(SnmpVariable &variable, int number, const AgentTableRow &row,
                          SystemAnswers &answers, const QDateTime &now)
{
    if (answers.answer(variable, number, row, now))
        return {};
    const SystemAnswer answer = systemObject(number, row, now);
    return AnswerVariable(variable, answer.value, answer.type, answer.oid);
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
    const Status set =
        type == 0 ? variable.setValue(value) : variable.setValueAndType(value, type);
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

bool isAgentCommunity(const SnmpMessage &message)
{
    return message.Community == QLatin1String(AgentCommunity);
}

Status answerGetRequest(SnmpMessage &message, int index, const AgentTableRow &row,
                        const ControlledObject &object1, const ControlledObject &object2,
                        const QDateTime &now)
{
    SystemAnswers answers;
    return answerGetRequest(message, index, row, answers,
                            [&] { return ControlledObjects{object1, object2}; }, now);
}

Status answerGetRequest(SnmpMessage &message, int index, const AgentTableRow &row,
                        SystemAnswers &answers, const ControlledObjectsReader &readObjects,
                        const QDateTime &now)
{
    clearErrors(message);
    std::optional<ControlledObjects> objects;
    int position = 1;
    for (SnmpVariable &variable : message.Variables) {
        Status answered;
        if (const int number = systemObjectNumber(variable)) {
            answered = answerSystemObject(variable, number, row, answers, now);
        } else {
            const QString &oid = variable.Oid();
            if (!objects)
                objects = readObjects();
            const ControlledObject &object1 = objects->first;
            const ControlledObject &object2 = objects->second;
            if (oid == object1.oid || oid == object2.oid) {
                // The first set of boxes is tested first, and each set belongs to one row.
                const bool first = oid == object1.oid;
                const ControlledObject &object = first ? object1 : object2;
                if (index == (first ? 5 : 6))
                    answered = AnswerVariable(variable, object.value,
                                              typeCodeOfName(object.typeName), object.oid);
                else
                    markUnanswered(message, position);
            } else {
                markUnanswered(message, position);
            }
        }
        if (!answered)
            return answered;
        ++position;
    }
    return {};
}

Status answerGetNextRequest(SnmpMessage &message, const AgentTableRow &row, const QDateTime &now)
{
    SystemAnswers answers;
    return answerGetNextRequest(message, row, answers, now);
}

Status answerGetNextRequest(SnmpMessage &message, const AgentTableRow &row,
                            SystemAnswers &answers, const QDateTime &now)
{
    clearErrors(message);
    int position = 1;
    for (SnmpVariable &variable : message.Variables) {
        if (const int number = successorNumber(variable.Oid())) {
            const Status answered = answerSystemObject(variable, number, row, answers, now);
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
    for (const SnmpVariable &variable : message.Variables) {
        // A string goes out as UTF-8: the record holds those bytes, one character each.
        const QString value = variable.Type() == SnmpType::OctetString
                                  ? QString::fromLatin1(ber::contentOf(variable.valueElement()))
                                  : variable.Value();
        lines.append(QStringLiteral("\t\t") + variable.Oid() + QStringLiteral("\t\t") +
                     QString::number(variable.Type()) + QLatin1Char('\t') + value);
    }
    lines.append(QString());
    return lines;
}
