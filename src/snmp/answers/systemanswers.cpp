#include "systemanswers.h"

#include "snmp/answers/answerbasics.h"
#include "snmp/codec/snmpvalue.h"

namespace {

using SystemGroup::Services;
using SystemGroup::Uptime;

// The row's text behind the objects that are texts.
const QString &rowText(int number, const AgentTableRow &row)
{
    switch (number) {
    case 1:
        return row.SysDescr;
    case 2:
        return row.SysObjectID;
    case 4:
        return row.SysContact;
    case 5:
        return row.SysName;
    default:
        return row.SysLocation;
    }
}

} // namespace

SystemAnswer systemObject(int number, const AgentTableRow &row, const QDateTime &now)
{
    const QString &oid = SystemGroup::oid(number);
    switch (number) {
    case 1:
        return {row.SysDescr, SnmpType::OctetString, oid};
    case 2:
        return {row.SysObjectID, SnmpType::ObjectIdentifier, oid};
    case 3:
        return {uptimeText(row.AgentStartTime, now), SnmpType::TimeTicks, oid};
    case 4:
        return {row.SysContact, SnmpType::OctetString, oid};
    case 5:
        return {row.SysName, SnmpType::OctetString, oid};
    case 6:
        return {row.SysLocation, SnmpType::OctetString, oid};
    default:
        return {QString::number(row.SysServices), SnmpType::Integer32, oid};
    }
}

bool SystemAnswers::isCurrent(const Prepared &prepared, int number, const AgentTableRow &row) const
{
    if (!prepared.made)
        return false;
    if (number == Services)
        return prepared.services == row.SysServices;
    return prepared.text == rowText(number, row);
}

bool SystemAnswers::answer(SnmpVariable &variable, int number, const AgentTableRow &row,
                           const QDateTime &now)
{
    Prepared &prepared = m_prepared[number - 1];
    if (number == Uptime) {
        // The same arithmetic as uptimeText; a clock set back makes it negative, which does not
        // fit TimeTicks.
        const qint64 ticks = row.AgentStartTime.secsTo(now) * 100;
        if (ticks < 0)
            return false;
        if (!prepared.made) {
            prepared.variable = SnmpVariable::make(SystemGroup::oid(number)).value();
            prepared.made = true;
        }
        // It moves once a second; requests in between take the same encoding.
        if (prepared.ticks != ticks) {
            prepared.variable.setEncodedValue(SnmpType::TimeTicks,
                                              QString::number(ticks & 0xffffffff),
                                              encodeTimeTicks(quint64(ticks)));
            prepared.ticks = ticks;
        }
        variable.answerWith(prepared.variable);
        return true;
    }
    if (!isCurrent(prepared, number, row)) {
        const SystemAnswer fresh = systemObject(number, row, now);
        Result<SnmpVariable> made = SnmpVariable::make(fresh.oid, fresh.type, fresh.value);
        prepared.made = true;
        prepared.fits = made.ok();
        prepared.text = number == Services ? QString() : rowText(number, row);
        prepared.services = row.SysServices;
        prepared.variable = made.ok() ? std::move(made.value()) : SnmpVariable();
    }
    if (!prepared.fits)
        return false;
    variable.answerWith(prepared.variable);
    return true;
}
