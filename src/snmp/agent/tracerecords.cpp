#include "tracerecords.h"

#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmpmessage.h"
#include "snmp/codec/snmptrap.h"
#include "snmp/codec/snmptypes.h"

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

QStringList responseRecord(const SnmpMessage &message, bool malformed)
{
    QStringList lines;
    lines.reserve(message.Variables.size() + 2);
    lines.append(QStringLiteral(" --> Response\t") + QString::number(message.MessageNumber));
    if (malformed)
        lines.first() += QStringLiteral(" (deliberately malformed)");
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

QStringList notificationRecord(const QString &name, const QString &destination,
                               const SnmpMessage &pdu)
{
    QStringList lines = responseRecord(pdu);
    lines.first() = QStringLiteral(" --> ") + name + QLatin1Char('\t') +
                    QString::number(pdu.MessageNumber) + QLatin1Char('\t') + destination;
    return lines;
}

QStringList v1TrapRecord(const QString &destination, const V1Trap &trap)
{
    SnmpMessage bindings;
    bindings.Variables = trap.variables;
    QStringList lines = responseRecord(bindings);
    lines.first() = QStringLiteral(" --> Trap\t%1 %2 %3\t%4")
                        .arg(trap.enterprise)
                        .arg(trap.genericTrap)
                        .arg(trap.specificTrap)
                        .arg(destination);
    return lines;
}

QStringList acknowledgementRecord(const QString &destination, qint32 requestId)
{
    return {QStringLiteral(" <-- Response\t%1\t%2").arg(requestId).arg(destination)};
}
