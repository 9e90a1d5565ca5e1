#include "notificationcontent.h"

#include "snmp/answers/servedobjects.h"
#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmptypes.h"
#include "snmp/codec/systemgroup.h"

namespace {

const QString SnmpTrapOid = QStringLiteral("1.3.6.1.6.3.1.1.4.1.0");
const QString SnmpTraps = QStringLiteral("1.3.6.1.6.3.1.1.5");
const QString IfEntry = QStringLiteral("1.3.6.1.2.1.2.2.1.");
constexpr int EnterpriseSpecific = 6;

Result<SnmpVariable> served(const ServedObjects &row, const QString &oid)
{
    Result<SnmpVariable> variable = SnmpVariable::make(oid);
    if (!variable)
        return variable;
    const ServedObjects::Ref ref = row.find(oidContentOf(variable.value()));
    if (!ref.isValid())
        return failure(QStringLiteral("The row does not serve %1").arg(oid));
    const Status filled = row.fill(variable.value(), ref);
    if (!filled)
        return filled.failure();
    return variable;
}

} // namespace

quint32 servedUptime(const ServedObjects &row)
{
    const Result<SnmpVariable> uptime = served(row, SystemGroup::oid(SystemGroup::Uptime));
    if (!uptime || uptime.value().Type() != SnmpType::TimeTicks)
        return 0;
    return quint32(ber::decodeUnsigned(ber::contentOf(uptime.value().valueElement())).value());
}

bool servesInterface(const ServedObjects &row, int ifIndex)
{
    return ifIndex > 0 && served(row, IfEntry + QStringLiteral("1.%1").arg(ifIndex)).ok();
}

QStringList interfaceObjects(int ifIndex)
{
    QStringList objects;
    for (int column : {1, 7, 8})
        objects.append(IfEntry + QStringLiteral("%1.%2").arg(column).arg(ifIndex));
    return objects;
}

Result<QList<SnmpVariable>> notificationBindings(const ServedObjects &row, const QString &trapOid,
                                                 const QStringList &objects)
{
    QList<SnmpVariable> bindings;
    bindings.append(SnmpVariable::make(SystemGroup::oid(SystemGroup::Uptime), SnmpType::TimeTicks,
                                       QString::number(servedUptime(row)))
                        .value());
    const Result<SnmpVariable> trap =
        SnmpVariable::make(SnmpTrapOid, SnmpType::ObjectIdentifier, trapOid);
    if (!trap)
        return failure(QStringLiteral("The notification is no identifier: ") + trapOid);
    bindings.append(trap.value());
    for (const QString &oid : objects) {
        const Result<SnmpVariable> object = served(row, oid);
        if (object)
            bindings.append(object.value());
    }
    return bindings;
}

Result<V1Trap> v1Form(const QList<SnmpVariable> &bindings, const QByteArray &agentAddress)
{
    for (const SnmpVariable &binding : bindings) {
        if (quint8(binding.valueElement().front()) == SnmpTag::Counter64)
            return failure(QStringLiteral("A Counter64 has no SNMPv1 form"));
    }
    if (bindings.size() < 2)
        return failure(QStringLiteral("No notification to translate"));
    const QString trapOid = bindings[1].Value();
    V1Trap trap;
    trap.agentAddress = agentAddress;
    const Result<quint64> uptime = ber::decodeUnsigned(ber::contentOf(bindings[0].valueElement()));
    trap.timeStamp = uptime ? quint32(uptime.value()) : 0;
    const qsizetype lastDot = trapOid.lastIndexOf(QLatin1Char('.'));
    const int last = trapOid.mid(lastDot + 1).toInt();
    if (trapOid.left(lastDot) == SnmpTraps && last >= 1 && last <= 6) {
        // The generic traps: snmpTraps.(generic + 1), under the snmpTraps enterprise.
        trap.enterprise = SnmpTraps;
        trap.genericTrap = last - 1;
    } else {
        // enterprise.0.specific, or enterprise.specific: the ".0" is dropped with the last arc.
        QString enterprise = trapOid.left(lastDot);
        if (enterprise.endsWith(QStringLiteral(".0")))
            enterprise.chop(2);
        trap.enterprise = enterprise;
        trap.genericTrap = EnterpriseSpecific;
        trap.specificTrap = last;
    }
    trap.variables = bindings.mid(2);
    return trap;
}
