#include "deviceanswers.h"

#include "agentanswers.h"
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

Status answerAsDevice(SnmpMessage &message, const ServedObjects &objects, qsizetype maxSize)
{
    clearErrors(message);
    const bool v1 = message.version == SnmpVersion::V1;
    // SNMPv1 names the first object in error; its response carries no values.
    const MissingObject firstMissing = [&message](SnmpVariable &, int position) {
        if (message.ErrorStatus == 0) {
            message.ErrorStatus = SnmpError::NoSuchName;
            message.ErrorIndex = position;
        }
    };
    switch (message.pdu()) {
    case SnmpPdu::GetRequest:
        if (v1)
            return answerEachGet(message, objects, firstMissing);
        return answerEachGet(message, objects, [&objects](SnmpVariable &variable, int) {
            markException(variable, missingKind(oidContentOf(variable), objects));
        });
    case SnmpPdu::GetNextRequest:
        if (v1)
            return answerEachNext(message, objects, firstMissing);
        return answerEachNext(message, objects, [](SnmpVariable &variable, int) {
            markException(variable, SnmpType::EndOfMibView);
        });
    case SnmpPdu::GetBulkRequest:
        return answerGetBulkRequest(message, objects, maxSize);
    default:
        refuseSetRequest(message);
        return {};
    }
}
