#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <array>
#include <optional>

struct SnmpStatistics;

// What the own objects read of a row's SNMPv3 engine.
struct EngineFacts
{
    QByteArray id;
    quint32 boots = 0;
    quint32 time = 0;
    // snmpUnknownSecurityModels, snmpInvalidMsgs, snmpUnknownPDUHandlers, snmpUnknownContexts.
    std::array<quint32, 4> processing{};
    // usmStatsUnsupportedSecLevels to usmStatsDecryptionErrors.
    std::array<quint32, 6> usm{};
};

// The agent's own objects a device row serves, read live: the SNMP group, and on a row with
// SNMPv3 users its engine and the message processing and USM statistics. All are scalars of
// 32 bits, so SNMPv1 sees them too.
class OwnObjects
{
public:
    // Without an engine (a row without users), only the SNMP group.
    OwnObjects(const SnmpStatistics &statistics, std::optional<EngineFacts> engine);

    // Position of the object with this identifier, or -1.
    int find(QByteArrayView oidContent) const;
    // Position of the first object after the identifier, or -1.
    int next(QByteArrayView oidContent) const;
    QByteArrayView oidElement(int position) const;
    QByteArrayView oidContent(int position) const;
    // The value as it stands now.
    QByteArray valueElement(int position) const;

private:
    // Position of the first object after the identifier; the count when none is.
    int upperBound(QByteArrayView oidContent) const;

    const SnmpStatistics *m_statistics;
    std::optional<EngineFacts> m_engine;
    int m_count;
};
