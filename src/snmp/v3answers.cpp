#include "v3answers.h"

#include "bulkanswers.h"
#include "recordedanswers.h"
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

} // namespace

Status answerV3Request(SnmpMessage &message, const ServedObjects &objects, qsizetype maxSize)
{
    message.ErrorStatus = 0;
    message.ErrorIndex = 0;
    switch (message.pdu()) {
    case SnmpPdu::GetRequest:
        return answerEachGet(message, objects, [&objects](SnmpVariable &variable, int) {
            markException(variable, missingKind(oidContentOf(variable), objects));
        });
    case SnmpPdu::GetNextRequest:
        return answerEachNext(message, objects, [](SnmpVariable &variable, int) {
            markException(variable, SnmpType::EndOfMibView);
        });
    case SnmpPdu::GetBulkRequest:
        return answerGetBulkRequest(message, objects, maxSize);
    default:
        message.ErrorStatus = SnmpError::NotWritable;
        message.ErrorIndex = message.Variables.isEmpty() ? 0 : 1;
        return {};
    }
}
