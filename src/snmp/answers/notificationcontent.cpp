#include "notificationcontent.h"

#include "snmp/answers/servedobjects.h"
#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmptypes.h"
#include "snmp/codec/systemgroup.h"

#include <optional>

namespace {

const QString SnmpTrapOid = QStringLiteral("1.3.6.1.6.3.1.1.4.1.0");
const QString SnmpTraps = QStringLiteral("1.3.6.1.6.3.1.1.5");
const QString IfEntry = QStringLiteral("1.3.6.1.2.1.2.2.1.");
constexpr int EnterpriseSpecific = 6;

// The variable as the row serves it now.
Result<SnmpVariable> served(const ServedObjects &row, SnmpVariable variable)
{
    const ServedObjects::Ref ref = row.find(oidContentOf(variable));
    if (!ref.isValid())
        return failure(QStringLiteral("The row does not serve %1").arg(variable.Oid()));
    const Status filled = row.fill(variable, ref);
    if (!filled)
        return filled.failure();
    return variable;
}

Result<SnmpVariable> served(const ServedObjects &row, const QString &oid)
{
    const Result<SnmpVariable> variable = SnmpVariable::make(oid);
    if (!variable)
        return variable;
    return served(row, variable.value());
}

// Made once: a storm or a stream of INFORMs makes notifications by the thousand.
const SnmpVariable &uptimeIdentifier()
{
    static const SnmpVariable uptime =
        SnmpVariable::make(SystemGroup::oid(SystemGroup::Uptime)).value();
    return uptime;
}

const SnmpVariable &trapOidIdentifier()
{
    static const SnmpVariable trapOid = SnmpVariable::make(SnmpTrapOid).value();
    return trapOid;
}

// sysUpTime.0 as the row serves it, if it serves it as TimeTicks.
std::optional<SnmpVariable> servedUptimeVariable(const ServedObjects &row)
{
    const Result<SnmpVariable> uptime = served(row, uptimeIdentifier());
    if (!uptime || uptime.value().Type() != SnmpType::TimeTicks)
        return std::nullopt;
    return uptime.value();
}

} // namespace

quint32 servedUptime(const ServedObjects &row)
{
    const std::optional<SnmpVariable> uptime = servedUptimeVariable(row);
    return uptime ? quint32(ber::decodeUnsigned(ber::contentOf(uptime->valueElement())).value())
                  : 0;
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
    const std::optional<SnmpVariable> uptime = servedUptimeVariable(row);
    bindings.append(uptime ? *uptime
                           : SnmpVariable::make(SystemGroup::oid(SystemGroup::Uptime),
                                                SnmpType::TimeTicks, QStringLiteral("0"))
                                 .value());
    SnmpVariable trap = trapOidIdentifier();
    if (!trap.setValueAndType(trapOid, SnmpType::ObjectIdentifier))
        return failure(QStringLiteral("The notification is no identifier: ") + trapOid);
    bindings.append(trap);
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
