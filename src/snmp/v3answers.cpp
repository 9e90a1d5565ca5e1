#include "v3answers.h"

#include "bulkanswers.h"
#include "servedobjects.h"
#include "snmpmessage.h"
#include "snmpvalue.h"

namespace {

void markException(SnmpVariable &variable, int type)
{
    variable.setEncodedValue(type, QString(), encodeValue(type, {}).value());
}

// noSuchInstance when an object shares everything but the last arc (an instance of a known
// object type is asked for); noSuchObject otherwise.
int missingKind(QByteArrayView content, const ServedObjects &objects)
{
    qsizetype parent = content.size() - 1;
    while (parent > 0 && (quint8(content[parent - 1]) & 0x80))
        --parent;
    if (parent <= 0)
        return SnmpType::NoSuchObject;
    const QByteArrayView prefix = content.first(parent);
    const ServedObjects::Ref next = objects.next(prefix);
    if (!next.isValid())
        return SnmpType::NoSuchObject;
    SnmpVariable probe;
    if (!objects.fill(probe, next))
        return SnmpType::NoSuchObject;
    return oidContentOf(probe).startsWith(prefix) ? SnmpType::NoSuchInstance
                                                  : SnmpType::NoSuchObject;
}

Status answerGet(SnmpMessage &message, const ServedObjects &objects)
{
    for (SnmpVariable &variable : message.Variables) {
        const QByteArrayView content = oidContentOf(variable);
        Status answered;
        if (objects.isTyped(content)) {
            answered = objects.answerTyped(variable);
        } else if (const ServedObjects::Ref ref = objects.find(content); ref.isValid()) {
            answered = objects.fill(variable, ref);
        } else {
            markException(variable, missingKind(content, objects));
        }
        if (!answered)
            return answered;
    }
    return {};
}

Status answerGetNext(SnmpMessage &message, const ServedObjects &objects)
{
    for (SnmpVariable &variable : message.Variables) {
        if (const ServedObjects::Ref ref = objects.next(oidContentOf(variable)); ref.isValid()) {
            const Status answered = objects.fill(variable, ref);
            if (!answered)
                return answered;
        } else {
            markException(variable, SnmpType::EndOfMibView);
        }
    }
    return {};
}

} // namespace

Status answerV3Request(SnmpMessage &message, const ServedObjects &objects, qsizetype maxSize)
{
    message.ErrorStatus = 0;
    message.ErrorIndex = 0;
    switch (message.pdu()) {
    case SnmpPdu::GetRequest:
        return answerGet(message, objects);
    case SnmpPdu::GetNextRequest:
        return answerGetNext(message, objects);
    case SnmpPdu::GetBulkRequest:
        return answerGetBulkRequest(message, objects, maxSize);
    default:
        message.ErrorStatus = SnmpError::NotWritable;
        message.ErrorIndex = message.Variables.isEmpty() ? 0 : 1;
        return {};
    }
}
