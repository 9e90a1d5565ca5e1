#pragma once

#include "common/core/result.h"
#include "snmp/codec/snmpvariable.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The fields of an SNMPv1 Trap-PDU (RFC 1157), which has no request id and no error fields.
struct V1Trap
{
    QString community;
    QString enterprise;      // dotted
    QByteArray agentAddress; // four octets
    int genericTrap = 0;
    int specificTrap = 0;
    quint32 timeStamp = 0;
    QList<SnmpVariable> variables;
};

// The whole SNMPv1 message carrying the trap; fails on an enterprise that is no identifier.
Result<QByteArray> encodeV1Trap(const V1Trap &trap);
