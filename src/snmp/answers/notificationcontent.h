#pragma once

#include "common/core/result.h"
#include "snmp/codec/snmptrap.h"
#include "snmp/codec/snmpvariable.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class ServedObjects;

// The notifications SNMPv2-MIB and IF-MIB define, as SNMPv2 identifies them.
namespace StandardTrap {
inline const QString ColdStart = QStringLiteral("1.3.6.1.6.3.1.1.5.1");
inline const QString WarmStart = QStringLiteral("1.3.6.1.6.3.1.1.5.2");
inline const QString LinkDown = QStringLiteral("1.3.6.1.6.3.1.1.5.3");
inline const QString LinkUp = QStringLiteral("1.3.6.1.6.3.1.1.5.4");
inline const QString AuthenticationFailure = QStringLiteral("1.3.6.1.6.3.1.1.5.5");
} // namespace StandardTrap

// sysUpTime.0 as the row serves it at this moment, in hundredths.
quint32 servedUptime(const ServedObjects &row);
// Whether the row serves interface `ifIndex` (its ifIndex object).
bool servesInterface(const ServedObjects &row, int ifIndex);
// ifIndex, ifAdminStatus and ifOperStatus of interface `ifIndex`: what linkDown and linkUp carry.
QStringList interfaceObjects(int ifIndex);

// An SNMPv2 notification's bindings: sysUpTime.0 and snmpTrapOID.0, then `objects` as the row
// serves them now. An object it does not serve is left out.
Result<QList<SnmpVariable>> notificationBindings(const ServedObjects &row, const QString &trapOid,
                                                 const QStringList &objects);
// The SNMPv1 trap RFC 3584 translates those bindings to; none when one of them is a Counter64,
// which SNMPv1 cannot carry. `agentAddress` is four octets.
Result<V1Trap> v1Form(const QList<SnmpVariable> &bindings, const QByteArray &agentAddress);
