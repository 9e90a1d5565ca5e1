#include "setanswers.h"

#include "snmp/answers/injectederror.h"
#include "snmp/answers/servedobjects.h"
#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmpmessage.h"
#include "snmp/codec/snmptypes.h"
#include "snmp/codec/systemgroup.h"

namespace {

// RFC 2579 bounds a DisplayString.
constexpr qsizetype MaxDisplayString = 255;

bool isPrintable(QByteArrayView bytes)
{
    for (const char byte : bytes) {
        const bool printable =
            (byte >= 0x20 && byte <= 0x7e) || byte == '\t' || byte == '\r' || byte == '\n';
        if (!printable)
            return false;
    }
    return true;
}

// Nothing in a recording says which OCTET STRING is a DisplayString: the system group's texts
// are, and so is taken any other whose served bytes are all printable ASCII. Binary strings
// (MAC addresses, engine IDs) are not bound to 255 octets.
bool isDisplayString(QByteArrayView oidContent, QByteArrayView servedContent)
{
    switch (SystemGroup::numberOf(oidContent)) {
    case 1: // sysDescr
    case 4: // sysContact
    case 5: // sysName
    case 6: // sysLocation
        return true;
    default:
        return isPrintable(servedContent);
    }
}

// Why `variable` cannot be written, in the order RFC 3416 4.2.5 tests; 0 when it can.
int refusal(const SnmpVariable &variable, const ServedObjects &objects, Status &made)
{
    const QByteArrayView content = oidContentOf(variable);
    const ServedObjects::Ref ref = objects.find(content);
    if (!ref.isValid())
        return SnmpError::NoCreation;
    SnmpVariable served;
    made = objects.fillAsServed(served, ref);
    if (!made)
        return SnmpError::GenErr;
    // A plain row reads a system object's name without ".0" too; only the instance is written.
    if (oidContentOf(served) != content)
        return SnmpError::NoCreation;
    const QByteArrayView servedValue = served.valueElement();
    const quint8 tag = quint8(servedValue.front());
    const bool advancing = objects.behaviour().countersAdvance &&
                           (tag == SnmpTag::Counter32 || tag == SnmpTag::Counter64);
    if (ref.own >= 0 || SystemGroup::numberOf(content) == SystemGroup::Uptime || advancing)
        return SnmpError::NotWritable;
    const QByteArrayView value = variable.valueElement();
    if (quint8(value.front()) != tag)
        return SnmpError::WrongType;
    if (tag == ber::OctetString && ber::contentOf(value).size() > MaxDisplayString &&
        isDisplayString(content, ber::contentOf(servedValue)))
        return SnmpError::WrongLength;
    return 0;
}

void refuse(SnmpMessage &message, int status, int index)
{
    message.ErrorStatus = message.version == SnmpVersion::V1 ? v1ErrorStatus(status) : status;
    message.ErrorIndex = index;
}

} // namespace

Status answerSetRequest(SnmpMessage &message, const ServedObjects &objects, WrittenValues &written,
                        bool mayWrite)
{
    message.ErrorStatus = 0;
    message.ErrorIndex = 0;
    if (!mayWrite) {
        refuse(message, SnmpError::NoAccess, message.Variables.isEmpty() ? 0 : 1);
        return {};
    }
    for (qsizetype i = 0; i < message.Variables.size(); ++i) {
        Status made;
        if (const int status = refusal(message.Variables[i], objects, made)) {
            refuse(message, status, int(i + 1));
            return made;
        }
    }
    for (const SnmpVariable &variable : message.Variables)
        written.write(oidContentOf(variable), variable.valueElement());
    return {};
}
