#pragma once

#include "snmp/usm/usmengine.h"
#include "snmp/usm/usmkeys.h"

// A Get of sysName.0 (request id 42, message id 7) secured as a manager would secure it for
// `engineId`; the passphrases are the managers', right or wrong.
inline QByteArray securedGet(const QByteArray &engineId, quint32 boots, quint32 time,
                             const QByteArray &user, quint8 flags, usm::Auth auth,
                             usm::Priv priv, const QByteArray &privPassphrase = "pass67890")
{
    SnmpMessage get;
    get.version = SnmpVersion::V2c;
    get.Type = SnmpPdu::V2cBase + SnmpPdu::GetRequest;
    get.MessageNumber = 42;
    get.Variables.append(SnmpVariable::make("1.3.6.1.2.1.1.5.0").value());
    SnmpV3Message message;
    message.messageId = 7;
    message.flags = flags;
    message.usm = {engineId, boots, time, user, {}, {}};
    message.contextEngineId = engineId;
    message.pdu = encodePdu(get).value();
    if (flags & SnmpV3Flag::Priv) {
        const QByteArray local = usm::localizedKey(auth, privPassphrase, engineId).value();
        const QByteArray key = usm::privacyKey(auth, priv, local).value();
        const usm::Encrypted encrypted =
            usm::encrypt(priv, key, boots, time, encodeScopedPdu(message)).value();
        message.encryptedPdu = encrypted.data;
        message.usm.privacy = encrypted.salt;
    }
    const int length = (flags & SnmpV3Flag::Auth) ? usm::digestLength(auth) : 0;
    EncodedV3 secured = encodeV3Message(message, length);
    if (length) {
        const QByteArray key = usm::localizedKey(auth, "pass12345", engineId).value();
        secured.bytes.replace(secured.authenticationOffset, length,
                              usm::digest(auth, key, secured.bytes).value());
    }
    return secured.bytes;
}
