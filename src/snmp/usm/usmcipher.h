#pragma once

#include "common/core/result.h"
#include "snmp/usm/protocols.h"

#include <QByteArray>
#include <QByteArrayView>

#include <openssl/types.h>

#include <memory>

namespace usm {

// One privacy key made ready once: the cipher fetched and keyed both ways. Its salts count up
// from a random start, so no two messages under the key share an IV. Keeps state between
// calls, so one thread at a time.
class Cipher
{
public:
    // `key` comes from privacyKey.
    Cipher(Priv priv, QByteArrayView key);
    ~Cipher();
    Cipher(const Cipher &) = delete;
    Cipher &operator=(const Cipher &) = delete;

    bool isValid() const { return m_encrypt && m_decrypt; }

    // Bytes of cipher text for `plain` bytes: DES pads to whole blocks.
    qsizetype encryptedSize(qsizetype plain) const;
    // Writes the cipher text of `plain`, encryptedSize() bytes, to `out` and the fresh salt,
    // saltLength() bytes, to `salt`.
    bool encrypt(quint32 boots, quint32 time, QByteArrayView plain, char *out, char *salt);
    // Replaces `out` with the plain text.
    bool decrypt(quint32 boots, quint32 time, QByteArrayView salt, QByteArrayView cipher,
                 QByteArray &out);

private:
    struct Free
    {
        void operator()(EVP_CIPHER_CTX *ctx) const;
    };
    bool start(EVP_CIPHER_CTX *ctx, quint32 boots, quint32 time, QByteArrayView salt);

    Priv m_priv;
    unsigned char m_preIv[8] = {}; // DES only: the key's second half
    std::unique_ptr<EVP_CIPHER_CTX, Free> m_encrypt;
    std::unique_ptr<EVP_CIPHER_CTX, Free> m_decrypt;
    quint64 m_salt = 0;
};

// False for DES when this system's OpenSSL has no legacy provider to hold it.
bool available(Priv priv);

struct Encrypted
{
    QByteArray data;
    QByteArray salt; // goes out as msgPrivacyParameters
};

// One message each, with a cipher keyed for the call. A fresh salt every call; `key` comes
// from privacyKey.
Result<Encrypted> encrypt(Priv priv, QByteArrayView key, quint32 boots, quint32 time,
                          QByteArrayView plain);
Result<QByteArray> decrypt(Priv priv, QByteArrayView key, quint32 boots, quint32 time,
                           QByteArrayView salt, QByteArrayView cipher);

} // namespace usm
