#pragma once

#include "snmp/usm/usmengine.h"

#include <QByteArray>
#include <QElapsedTimer>

// An engine that is authoritative for what one of our users sends it, as the receiver of an
// INFORM is: its identity and clock as last learnt (RFC 3414 §4), and the user's keys
// localized to it, made once per engine ID.
class UsmPeer
{
public:
    // `flags` is the level the user speaks at; the user carries its master keys.
    UsmPeer(const UsmUser &user, quint8 flags);

    bool knowsEngine() const { return !m_engineId.isEmpty(); }
    const QByteArray &engineId() const { return m_engineId; }
    // How many times keys were localized: once per engine ID learnt.
    int localizations() const { return m_localizations; }

    // The request that discovers an engine: no user, no security, reportable, no bindings.
    static QByteArray discoveryRequest(qint32 messageId, qint32 requestId);
    // Takes the engine's identity and clock from a report it sent.
    Status learn(const UsmParameters &reported);
    // `pdu` secured for the engine at the user's level, its clock as learnt plus the time since.
    Result<QByteArray> secure(const SnmpMessage &pdu, qint32 messageId);

    // A message from the engine, its digest checked and its PDU decrypted when the user's level
    // asks for that: a report, or the response to what was sent.
    struct Answer
    {
        SnmpV3Message message;
        SnmpMessage pdu;
    };
    Result<Answer> open(QByteArrayView datagram);

private:
    UsmUser m_user; // its HMAC and cipher keyed for m_engineId
    quint8 m_flags;
    QByteArray m_engineId;
    quint32 m_boots = 0;
    quint32 m_time = 0;
    QElapsedTimer m_learnt;
    int m_localizations = 0;
    QByteArray m_scratch;
};
