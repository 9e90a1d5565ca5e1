#include "variableanswers.h"

#include "snmp/answers/servedobjects.h"
#include "snmp/codec/snmpmessage.h"

namespace {

using Lookup = ServedObjects::Ref (ServedObjects::*)(QByteArrayView) const;

Status answerEach(SnmpMessage &message, const ServedObjects &objects, Lookup lookup,
                  const MissingObject &missing)
{
    int position = 1;
    for (SnmpVariable &variable : message.Variables) {
        if (const ServedObjects::Ref ref = (objects.*lookup)(oidContentOf(variable));
            ref.isValid()) {
            const Status answered = objects.fill(variable, ref);
            if (!answered)
                return answered;
        } else {
            missing(variable, position);
        }
        ++position;
    }
    return {};
}

} // namespace

Status answerEachGet(SnmpMessage &message, const ServedObjects &objects,
                     const MissingObject &missing)
{
    return answerEach(message, objects, &ServedObjects::find, missing);
}

Status answerEachNext(SnmpMessage &message, const ServedObjects &objects,
                      const MissingObject &missing)
{
    return answerEach(message, objects, &ServedObjects::next, missing);
}
