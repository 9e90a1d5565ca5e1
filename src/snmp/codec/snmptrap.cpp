#include "snmptrap.h"

#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmptypes.h"

namespace {

constexpr quint8 TrapTag = 0xa4;

} // namespace

Result<QByteArray> encodeV1Trap(const V1Trap &trap)
{
    if (trap.agentAddress.size() != 4)
        return failure(QStringLiteral("The agent address is not four octets"));
    const Result<QByteArray> enterprise = ber::encodeOid(trap.enterprise);
    if (!enterprise)
        return enterprise.failure();
    QByteArray bindings;
    for (const SnmpVariable &variable : trap.variables)
        ber::appendElement(bindings, ber::Sequence,
                           variable.oidElement() + variable.valueElement());
    QByteArray pdu = ber::element(ber::ObjectIdentifier, enterprise.value());
    ber::appendElement(pdu, SnmpTag::IpAddress, trap.agentAddress);
    pdu += ber::element(ber::Integer, ber::encodeInteger(trap.genericTrap));
    pdu += ber::element(ber::Integer, ber::encodeInteger(trap.specificTrap));
    pdu += ber::unsignedElement(SnmpTag::TimeTicks, trap.timeStamp);
    ber::appendElement(pdu, ber::Sequence, bindings);
    QByteArray message = ber::element(ber::Integer, ber::encodeInteger(0));
    ber::appendElement(message, ber::OctetString, trap.community.toLatin1());
    ber::appendElement(message, TrapTag, pdu);
    return ber::element(ber::Sequence, message);
}
