#include "usmcipher.h"

#include "snmp/usm/opensslerror.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/provider.h>
#include <openssl/rand.h>

#include <cstring>

namespace usm {
namespace {

constexpr int Block = 8; // DES's block, and the salt's size for every cipher

// DES lives in the legacy provider; loading any provider by hand stops the default one from
// loading by itself, so both are loaded, once.
bool desAvailable()
{
    static const bool loaded =
        OSSL_PROVIDER_load(nullptr, "legacy") && OSSL_PROVIDER_load(nullptr, "default");
    return loaded;
}

EVP_CIPHER *fetch(const char *name)
{
    return EVP_CIPHER_fetch(nullptr, name, nullptr);
}

// Fetched once: a fetch by name takes locks and string compares on every call.
const EVP_CIPHER *cipherOf(Priv priv)
{
    static EVP_CIPHER *const des = desAvailable() ? fetch("DES-CBC") : nullptr;
    static EVP_CIPHER *const aes128 = fetch("AES-128-CFB");
    static EVP_CIPHER *const aes192 = fetch("AES-192-CFB");
    static EVP_CIPHER *const aes256 = fetch("AES-256-CFB");
    switch (priv) {
    case Priv::Des:
        return des;
    case Priv::Aes128:
        return aes128;
    case Priv::Aes192:
        return aes192;
    case Priv::Aes256:
        return aes256;
    case Priv::None:
        break;
    }
    return nullptr;
}

void putBigEndian(unsigned char *out, quint64 value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i, value >>= 8)
        out[i] = static_cast<unsigned char>(value);
}

const unsigned char *bytesOf(QByteArrayView view)
{
    return reinterpret_cast<const unsigned char *>(view.data());
}

Failure cipherFailure(Priv priv, QByteArrayView key)
{
    if (priv == Priv::None)
        return failure(QStringLiteral("no privacy protocol"));
    if (!available(priv))
        return failure(QStringLiteral("DES is unavailable: this system's OpenSSL has no legacy "
                                      "provider"));
    if (key.size() < keyLength(priv))
        return failure(QStringLiteral("privacy key too short"));
    return cryptoFailure("cipher");
}

} // namespace

void Cipher::Free::operator()(EVP_CIPHER_CTX *ctx) const
{
    EVP_CIPHER_CTX_free(ctx);
}

Cipher::Cipher(Priv priv, QByteArrayView key) : m_priv(priv)
{
    const EVP_CIPHER *cipher = cipherOf(priv);
    if (!cipher || key.size() < keyLength(priv) ||
        RAND_bytes(reinterpret_cast<unsigned char *>(&m_salt), sizeof m_salt) != 1)
        return;
    if (priv == Priv::Des)
        std::memcpy(m_preIv, key.data() + Block, Block);
    std::unique_ptr<EVP_CIPHER_CTX, Free> encrypt(EVP_CIPHER_CTX_new());
    std::unique_ptr<EVP_CIPHER_CTX, Free> decrypt(EVP_CIPHER_CTX_new());
    const auto ready = [&](EVP_CIPHER_CTX *ctx, int direction) {
        return ctx && EVP_CipherInit_ex2(ctx, cipher, bytesOf(key), nullptr, direction, nullptr) &&
               EVP_CIPHER_CTX_set_padding(ctx, 0);
    };
    if (ready(encrypt.get(), 1) && ready(decrypt.get(), 0)) {
        m_encrypt = std::move(encrypt);
        m_decrypt = std::move(decrypt);
    }
}

Cipher::~Cipher()
{
    OPENSSL_cleanse(m_preIv, sizeof m_preIv);
}

// A new IV on the keyed context: boots, time and salt for AES, the salt over the pre-IV for DES.
bool Cipher::start(EVP_CIPHER_CTX *ctx, quint32 boots, quint32 time, QByteArrayView salt)
{
    unsigned char iv[2 * Block];
    if (m_priv == Priv::Des) {
        for (int i = 0; i < Block; ++i)
            iv[i] = static_cast<unsigned char>(m_preIv[i] ^ salt[i]);
    } else {
        putBigEndian(iv, boots, 4);
        putBigEndian(iv + 4, time, 4);
        std::copy_n(bytesOf(salt), Block, iv + Block);
    }
    const bool started = EVP_CipherInit_ex2(ctx, nullptr, nullptr, iv, -1, nullptr);
    if (m_priv == Priv::Des)
        OPENSSL_cleanse(iv, Block); // with the salt, it gives the pre-IV away
    return started;
}

qsizetype Cipher::encryptedSize(qsizetype plain) const
{
    return m_priv == Priv::Des ? (plain + Block - 1) / Block * Block : plain;
}

bool Cipher::encrypt(quint32 boots, quint32 time, QByteArrayView plain, char *out, char *salt)
{
    if (!isValid())
        return false;
    // RFC 3826 counts up for AES; DES puts the boots first so a reboot cannot repeat a salt.
    const quint64 count = m_salt++;
    auto *saltBytes = reinterpret_cast<unsigned char *>(salt);
    if (m_priv == Priv::Des) {
        putBigEndian(saltBytes, boots, 4);
        putBigEndian(saltBytes + 4, count, 4);
    } else {
        putBigEndian(saltBytes, count, Block);
    }
    if (!start(m_encrypt.get(), boots, time, QByteArrayView(salt, Block)))
        return false;
    const qsizetype whole = m_priv == Priv::Des ? plain.size() / Block * Block : plain.size();
    const qsizetype rest = plain.size() - whole;
    auto *to = reinterpret_cast<unsigned char *>(out);
    int written = 0;
    if (!EVP_CipherUpdate(m_encrypt.get(), to, &written, bytesOf(plain), int(whole)) ||
        written != whole)
        return false;
    if (rest) {
        unsigned char padded[Block] = {};
        std::copy_n(bytesOf(plain) + whole, rest, padded);
        if (!EVP_CipherUpdate(m_encrypt.get(), to + whole, &written, padded, Block) ||
            written != Block)
            return false;
    }
    return true;
}

bool Cipher::decrypt(quint32 boots, quint32 time, QByteArrayView salt, QByteArrayView cipher,
                     QByteArray &out)
{
    if (!isValid() || salt.size() != Block || (m_priv == Priv::Des && cipher.size() % Block))
        return false;
    if (!start(m_decrypt.get(), boots, time, salt))
        return false;
    out.resize(cipher.size());
    int written = 0;
    return EVP_CipherUpdate(m_decrypt.get(), reinterpret_cast<unsigned char *>(out.data()),
                            &written, bytesOf(cipher), int(cipher.size())) &&
           written == cipher.size();
}

bool available(Priv priv)
{
    return priv == Priv::None || cipherOf(priv) != nullptr;
}

Result<Encrypted> encrypt(Priv priv, QByteArrayView key, quint32 boots, quint32 time,
                          QByteArrayView plain)
{
    Cipher cipher(priv, key);
    if (!cipher.isValid())
        return cipherFailure(priv, key);
    Encrypted out{QByteArray(cipher.encryptedSize(plain.size()), Qt::Uninitialized),
                  QByteArray(saltLength(priv), Qt::Uninitialized)};
    if (!cipher.encrypt(boots, time, plain, out.data.data(), out.salt.data()))
        return cryptoFailure("encryption");
    return out;
}

Result<QByteArray> decrypt(Priv priv, QByteArrayView key, quint32 boots, quint32 time,
                           QByteArrayView salt, QByteArrayView cipher)
{
    if (salt.size() != saltLength(priv) || salt.isEmpty())
        return failure(QStringLiteral("privacy parameters are not an 8-byte salt"));
    if (priv == Priv::Des && cipher.size() % 8)
        return failure(QStringLiteral("DES data is not a whole number of blocks"));
    Cipher keyed(priv, key);
    if (!keyed.isValid())
        return cipherFailure(priv, key);
    QByteArray out;
    if (!keyed.decrypt(boots, time, salt, cipher, out))
        return cryptoFailure("decryption");
    return out;
}

} // namespace usm
