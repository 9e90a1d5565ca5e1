#include "tracerecords.h"

#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmpmessage.h"
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
