#pragma once

#include "snmp/codec/snmpv3message.h"
#include "snmp/usm/usmcipher.h"
#include "snmp/usm/usmhmac.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>

#include <memory>
#include <optional>

// A user's keys before localization (RFC 3414's Ku), wiped when the last copy goes: what the
// user's keys at another engine, the receiver of its INFORMs, are made from.
struct UsmMasterKeys
{
    QByteArray auth;
    QByteArray priv;
    ~UsmMasterKeys();
};

struct UsmUser
{
    QByteArray name;
    usm::Auth auth = usm::Auth::None;
    usm::Priv priv = usm::Priv::None;
    // Whether the user's Sets are taken, on a row that keeps them.
    bool mayWrite = false;
    // Keyed with the keys localized to this engine; copies of the user share them.
    std::shared_ptr<usm::Hmac> hmac;
    std::shared_ptr<usm::Cipher> cipher;
    std::shared_ptr<const UsmMasterKeys> master;
};

// The usmStats counters, in the order of their identifiers' last arc but one.
struct UsmStats
{
    quint32 unsupportedSecLevels = 0;
    quint32 notInTimeWindows = 0;
    quint32 unknownUserNames = 0;
    quint32 unknownEngineIds = 0;
    quint32 wrongDigests = 0;
    quint32 decryptionErrors = 0;
};

// What message processing counts (SNMP-MPD-MIB), and the contexts no one serves.
struct MpdStats
{
    quint32 unknownSecurityModels = 0;
    quint32 invalidMsgs = 0;
    quint32 unknownPduHandlers = 0;
    quint32 unknownContexts = 0;
};

// An authoritative engine: its identity and clock, its users, and the checks every incoming
// version 3 message passes before its PDU is looked at. Only requests in the default context
// of this engine come out; everything else is reported on or dropped, and counted.
class UsmEngine
{
public:
    // A fresh engine ID: the enterprise number, then eight random octets.
    explicit UsmEngine(quint32 enterprise, quint32 boots = 1);

    const QByteArray &engineId() const { return m_engineId; }
    quint32 boots() const { return m_boots; }
    quint32 time() const;
    const UsmStats &stats() const { return m_stats; }
    const MpdStats &mpdStats() const { return m_mpd; }

    // Keys are localized here, once. Fails on short passphrases or a privacy protocol without
    // authentication.
    Status addUser(const QByteArray &name, usm::Auth auth, const QByteArray &authPassphrase,
                   usm::Priv priv = usm::Priv::None, const QByteArray &privPassphrase = {},
                   bool mayWrite = false);
    bool removeUser(const QByteArray &name);
    // False when there is no such user.
    bool setMayWrite(const QByteArray &name, bool mayWrite);
    const QList<UsmUser> &users() const { return m_users; }

    // A request that passed every check, its PDU decrypted and decoded.
    struct Request
    {
        SnmpV3Message message;
        SnmpMessage pdu;
        UsmUser user; // a copy: adding users may move the engine's own
    };
    // What to do with a datagram: answer a request, send a report, or neither (dropped).
    struct Outcome
    {
        std::optional<Request> request;
        QByteArray report;
        QString reason;                     // why it was not a request
        bool parseError = false;            // not an SNMPv3 message at all, or its PDU not one
        bool authenticationFailure = false; // an unknown user, or a wrong digest
    };
    Outcome receive(QByteArrayView datagram);
    // The response to a request, secured as the request was.
    Result<QByteArray> respond(const Request &request, const SnmpMessage &response) const;
    // A notification this engine is authoritative for (a trap), from `user` at the level
    // `flags` ask for.
    Result<QByteArray> notify(const UsmUser &user, quint8 flags, qint32 messageId,
                              const SnmpMessage &pdu) const;

private:
    const UsmUser *findUser(const QByteArray &name) const;
    // Passes a message that passed the security checks on as a request, or reports on it.
    Outcome dispatch(Request request, Outcome out);
    // A report on a message that passed the checks, secured as it was; the counter named by
    // `oid` holds `value`.
    Result<QByteArray> reportOn(const Request &request, const QString &oid, quint32 value) const;
    QByteArray report(const SnmpV3Message &request, qint32 requestId, int counterArc, quint32 value,
                      const UsmUser *authenticateAs) const;
    Result<QByteArray> secure(SnmpV3Message message, const SnmpMessage &pdu,
                              const UsmUser *user) const;

    QByteArray m_engineId;
    quint32 m_boots;
    QElapsedTimer m_clock;
    QList<UsmUser> m_users;
    UsmStats m_stats;
    MpdStats m_mpd;
    // A scoped PDU decrypted or still to encrypt; its storage serves every message.
    mutable QByteArray m_plain;
};

// `pdu` in `message`, secured for `user` at the level message.flags ask for, with the engine,
// boots and time message.usm holds; `scratch` takes the plain scoped PDU on the way.
Result<QByteArray> secureMessage(SnmpV3Message message, const SnmpMessage &pdu, const UsmUser *user,
                                 QByteArray &scratch);

// Whether a request came at the security level its user was given, or above: a user is never
// served below it.
bool meetsUserLevel(const UsmEngine::Request &request);
