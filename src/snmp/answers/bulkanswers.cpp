#include "bulkanswers.h"

#include "snmp/answers/servedobjects.h"
#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmpmessage.h"
#include "snmp/codec/snmpvalue.h"

namespace {

// What the message costs besides its bindings, generously: headers, version, ids and status.
constexpr qsizetype Overhead = 48;

qsizetype bindingSize(const SnmpVariable &variable)
{
    const qsizetype content = variable.oidElement().size() + variable.valueElement().size();
    return ber::headerSize(content) + content;
}

// The successor of `variable`, or the variable itself marked as the end of the view.
Status advance(SnmpVariable &variable, const ServedObjects &objects, bool &ended)
{
    const ServedObjects::Ref ref = objects.next(oidContentOf(variable));
    ended = !ref.isValid();
    if (!ended)
        return objects.fill(variable, ref);
    static const QByteArray endOfMibView = encodeValue(SnmpType::EndOfMibView, {}).value();
    variable.setEncodedValue(SnmpType::EndOfMibView, QString(), endOfMibView);
    return {};
}

} // namespace

Status answerGetBulkRequest(SnmpMessage &message, const ServedObjects &objects, qsizetype maxSize,
                            bool legacy)
{
    const QList<SnmpVariable> requested = std::move(message.Variables);
    message.Variables = {};
    message.ErrorStatus = 0;
    message.ErrorIndex = 0;
    const qsizetype count = requested.size();
    const qsizetype nonRepeaters = qBound(qsizetype(0), qsizetype(message.nonRepeaters), count);
    const qsizetype repetitions = qMax(0, message.maxRepetitions);
    qsizetype size = Overhead + message.Community.size();
    const auto endsLikeV1 = [&](qsizetype position) {
        message.Variables = requested;
        message.ErrorStatus = SnmpError::NoSuchName;
        message.ErrorIndex = int(position + 1);
    };

    for (qsizetype i = 0; i < nonRepeaters; ++i) {
        SnmpVariable variable = requested[i];
        bool ended = false;
        const Status answered = advance(variable, objects, ended);
        if (!answered)
            return answered;
        if (ended && legacy) {
            endsLikeV1(i);
            return {};
        }
        // Never tooBig: as many whole bindings as fit, even of the non-repeaters.
        const qsizetype binding = bindingSize(variable);
        if (size + binding > maxSize)
            return {};
        size += binding;
        message.Variables.append(std::move(variable));
    }
    QList<SnmpVariable> last = requested.sliced(nonRepeaters);
    QList<bool> ended(last.size(), false);
    for (qsizetype r = 0; r < repetitions && !last.isEmpty(); ++r) {
        bool allEnded = true;
        for (qsizetype j = 0; j < last.size(); ++j) {
            SnmpVariable variable = last[j];
            if (!ended[j]) {
                bool end = false;
                const Status answered = advance(variable, objects, end);
                if (!answered)
                    return answered;
                if (end && legacy) {
                    endsLikeV1(nonRepeaters + j);
                    return {};
                }
                ended[j] = end;
            }
            allEnded = allEnded && ended[j];
            const qsizetype binding = bindingSize(variable);
            if (size + binding > maxSize)
                return {};
            size += binding;
            message.Variables.append(variable);
            last[j] = std::move(variable);
        }
        if (allEnded)
            break;
    }
    return {};
}
