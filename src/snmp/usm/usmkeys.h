#pragma once

#include "common/core/result.h"
#include "snmp/usm/protocols.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// A user's keys, made from passphrases as RFC 3414 and RFC 3826 make them.
namespace usm {

// Overwrites a secret where it stands, in every copy that shares its buffer, and empties it:
// freed memory keeps no passphrase or key.
void wipe(QByteArray &secret);
void wipe(QString &secret);

// The user's key: the passphrase repeated over a megabyte and hashed. Refuses passphrases
// shorter than eight characters.
Result<QByteArray> passwordToKey(Auth auth, QByteArrayView passphrase);
// The key bound to one engine: H(key | engineID | key).
Result<QByteArray> localizeKey(Auth auth, QByteArrayView key, QByteArrayView engineId);
// passwordToKey then localizeKey.
Result<QByteArray> localizedKey(Auth auth, QByteArrayView passphrase, QByteArrayView engineId);
// The privacy cipher's key material from a localized key made with `auth`: extended by hashing
// it again when the cipher needs more than the hash gives.
Result<QByteArray> privacyKey(Auth auth, Priv priv, QByteArrayView localized);

} // namespace usm
