#pragma once

#include "snmp/snmpmessage.h"

#include <QStringList>

// A request as a manager sends it: each identifier bound to Null.
inline SnmpMessage makeRequest(int type, const QStringList &oids,
                               const QString &community = QStringLiteral("kettle"),
                               qint32 number = 1234)
{
    SnmpMessage message;
    message.version = type < SnmpPdu::V2cBase ? SnmpVersion::V1 : SnmpVersion::V2c;
    message.Type = type;
    message.Community = community;
    message.MessageNumber = number;
    for (const QString &oid : oids)
        message.Variables.append(SnmpVariable::make(oid).value());
    return message;
}
