#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>

// User-based security's keys, message digests and privacy ciphers, all through libcrypto.
namespace usm {

enum class Auth { None, Md5, Sha1, Sha224, Sha256, Sha384, Sha512 };
enum class Priv { None, Des, Aes128, Aes192, Aes256 };

// Bytes of the digest a message carries (the HMAC truncated), 0 for None.
int digestLength(Auth auth);
// False for DES when this system's OpenSSL has no legacy provider to hold it.
bool available(Priv priv);
// Bytes of the salt in msgPrivacyParameters, 0 for None.
int saltLength(Priv priv);
// Bytes of key material the cipher takes (DES: the key, then the pre-IV).
int keyLength(Priv priv);

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

// The truncated HMAC of the whole message.
Result<QByteArray> digest(Auth auth, QByteArrayView key, QByteArrayView message);

struct Encrypted
{
    QByteArray data;
    QByteArray salt; // goes out as msgPrivacyParameters
};

// A fresh salt every call. `key` comes from privacyKey.
Result<Encrypted> encrypt(Priv priv, QByteArrayView key, quint32 boots, quint32 time,
                          QByteArrayView plain);
Result<QByteArray> decrypt(Priv priv, QByteArrayView key, quint32 boots, quint32 time,
                           QByteArrayView salt, QByteArrayView cipher);

} // namespace usm
