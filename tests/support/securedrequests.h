#pragma once

#include "requests.h"

#include "snmp/usm/usmcipher.h"
#include "snmp/usm/usmhmac.h"
#include "snmp/usm/usmkeys.h"

#include <QByteArray>

// A manager's user at one engine: its protocols and the keys its passphrases localize to there
// (empty where the protocol is None).
struct ManagerUser
{
    QByteArray name;
    usm::Auth auth = usm::Auth::None;
    usm::Priv priv = usm::Priv::None;
    QByteArray authKey;
    QByteArray privKey;
};

inline ManagerUser managerUser(const QByteArray &name, const QByteArray &engineId, usm::Auth auth,
                               const QByteArray &authPassphrase, usm::Priv priv = usm::Priv::None,
                               const QByteArray &privPassphrase = {})
{
    ManagerUser user{name, auth, priv, {}, {}};
    if (auth != usm::Auth::None)
        user.authKey = usm::localizedKey(auth, authPassphrase, engineId).value();
    if (priv != usm::Priv::None) {
        user.privKey =
            usm::privacyKey(auth, priv, usm::localizedKey(auth, privPassphrase, engineId).value())
                .value();
    }
    return user;
}

// `pdu` in an SNMPv3 message secured as a manager secures it, at the level `flags` ask for, for
// an engine whose clock the manager believes at `boots` and `time`.
inline QByteArray securedMessage(const SnmpMessage &pdu, qint32 messageId, quint8 flags,
                                 const ManagerUser &user, const QByteArray &engineId, quint32 boots,
                                 quint32 time)
{
    SnmpV3Message message = v3Message(pdu, messageId, flags, user.name, engineId, boots, time);
    if (flags & SnmpV3Flag::Priv) {
        const usm::Encrypted encrypted =
            usm::encrypt(user.priv, user.privKey, boots, time, encodeScopedPdu(message)).value();
        message.encryptedPdu = encrypted.data;
        message.usm.privacy = encrypted.salt;
    }
    const int length = (flags & SnmpV3Flag::Auth) ? usm::digestLength(user.auth) : 0;
    EncodedV3 secured = encodeV3Message(message, length);
    if (length) {
        secured.bytes.replace(secured.authenticationOffset, length,
                              usm::digest(user.auth, user.authKey, secured.bytes).value());
    }
    return secured.bytes;
}
