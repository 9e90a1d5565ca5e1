#include "requestanswers.h"

#include "snmp/answers/answerbasics.h"
#include "snmp/answers/bulkanswers.h"
#include "snmp/answers/servedobjects.h"
#include "snmp/answers/variableanswers.h"
#include "snmp/codec/snmpmessage.h"
#include "snmp/codec/snmpvalue.h"

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

Status answerRequest(SnmpMessage &message, const ServedObjects &objects, qsizetype maxSize,
                     bool legacyV2c)
{
    clearErrors(message);
    const int pdu = message.pdu();
    if (pdu == SnmpPdu::GetBulkRequest)
        return answerGetBulkRequest(message, objects, maxSize, legacyV2c);
    if (pdu != SnmpPdu::GetRequest && pdu != SnmpPdu::GetNextRequest) {
        refuseSetRequest(message);
        return {};
    }
    const auto each = pdu == SnmpPdu::GetRequest ? answerEachGet : answerEachNext;
    // A plain row's error status names the last variable without an answer, and the answered
    // ones keep their values.
    if (objects.kind() == RowKind::Plain) {
        return each(message, objects, [&message](SnmpVariable &, int position) {
            message.ErrorStatus = SnmpError::NoSuchName;
            message.ErrorIndex = position;
        });
    }
    // SNMPv1 names the first object in error; its response carries no values.
    if (message.version == SnmpVersion::V1 || legacyV2c) {
        return each(message, objects, [&message](SnmpVariable &, int position) {
            if (message.ErrorStatus == 0) {
                message.ErrorStatus = SnmpError::NoSuchName;
                message.ErrorIndex = position;
            }
        });
    }
    if (pdu == SnmpPdu::GetNextRequest) {
        return each(message, objects, [](SnmpVariable &variable, int) {
            markException(variable, SnmpType::EndOfMibView);
        });
    }
    return each(message, objects, [&objects](SnmpVariable &variable, int) {
        markException(variable, missingKind(oidContentOf(variable), objects));
    });
}
