#include "usmcrypto.h"

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/provider.h>
#include <openssl/rand.h>

#include <memory>

namespace usm {
namespace {

const EVP_MD *hashOf(Auth auth)
{
    switch (auth) {
    case Auth::Md5: return EVP_md5();
    case Auth::Sha1: return EVP_sha1();
    case Auth::Sha224: return EVP_sha224();
    case Auth::Sha256: return EVP_sha256();
    case Auth::Sha384: return EVP_sha384();
    case Auth::Sha512: return EVP_sha512();
    case Auth::None: break;
    }
    return nullptr;
}

Failure cryptoFailure(const char *what)
{
    const unsigned long code = ERR_get_error();
    char text[256] = "no detail";
    if (code)
        ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return failure(QStringLiteral("%1: %2").arg(QLatin1String(what), QLatin1String(text)));
}

Result<QByteArray> hash(Auth auth, std::initializer_list<QByteArrayView> parts)
{
    const EVP_MD *md = hashOf(auth);
    if (!md)
        return failure(QStringLiteral("no hash for this authentication protocol"));
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    QByteArray out(EVP_MD_get_size(md), Qt::Uninitialized);
    unsigned int size = 0;
    bool ok = ctx && EVP_DigestInit_ex(ctx.get(), md, nullptr);
    for (QByteArrayView part : parts)
        ok = ok && EVP_DigestUpdate(ctx.get(), part.data(), size_t(part.size()));
    ok = ok && EVP_DigestFinal_ex(ctx.get(), reinterpret_cast<unsigned char *>(out.data()), &size);
    if (!ok)
        return cryptoFailure("hash");
    out.truncate(int(size));
    return out;
}

// DES lives in the legacy provider; loading any provider by hand stops the default one from
// loading by itself, so both are loaded, once.
bool desAvailable()
{
    static const bool loaded = OSSL_PROVIDER_load(nullptr, "legacy")
                               && OSSL_PROVIDER_load(nullptr, "default");
    return loaded;
}

const EVP_CIPHER *cipherOf(Priv priv)
{
    switch (priv) {
    case Priv::Des: return desAvailable() ? EVP_des_cbc() : nullptr;
    case Priv::Aes128: return EVP_aes_128_cfb128();
    case Priv::Aes192: return EVP_aes_192_cfb128();
    case Priv::Aes256: return EVP_aes_256_cfb128();
    case Priv::None: break;
    }
    return nullptr;
}

int keyLength(Priv priv)
{
    switch (priv) {
    case Priv::Des: return 16; // 8 of key, 8 of pre-IV
    case Priv::Aes128: return 16;
    case Priv::Aes192: return 24;
    case Priv::Aes256: return 32;
    case Priv::None: break;
    }
    return 0;
}

void appendBigEndian(QByteArray &out, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.append(char(value >> shift));
}

QByteArray ivFor(Priv priv, QByteArrayView key, quint32 boots, quint32 time, QByteArrayView salt)
{
    QByteArray iv;
    if (priv == Priv::Des) {
        iv = key.sliced(8, 8).toByteArray();
        for (int i = 0; i < 8; ++i)
            iv[i] = char(iv[i] ^ salt[i]);
    } else {
        appendBigEndian(iv, boots);
        appendBigEndian(iv, time);
        iv.append(salt.data(), salt.size());
    }
    return iv;
}

Result<QByteArray> runCipher(Priv priv, QByteArrayView key, const QByteArray &iv,
                             QByteArrayView in, bool encrypting)
{
    const EVP_CIPHER *cipher = cipherOf(priv);
    if (!cipher)
        return priv == Priv::Des ? failure(QStringLiteral("DES is unavailable: this system's "
                                                          "OpenSSL has no legacy provider"))
                                 : failure(QStringLiteral("no privacy protocol"));
    if (key.size() < keyLength(priv))
        return failure(QStringLiteral("privacy key too short"));
    std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)> ctx(EVP_CIPHER_CTX_new(),
                                                                        EVP_CIPHER_CTX_free);
    const auto *k = reinterpret_cast<const unsigned char *>(key.data());
    const auto *v = reinterpret_cast<const unsigned char *>(iv.constData());
    QByteArray out(in.size() + 16, Qt::Uninitialized);
    auto *o = reinterpret_cast<unsigned char *>(out.data());
    int written = 0;
    int last = 0;
    const bool ok = ctx && EVP_CipherInit_ex(ctx.get(), cipher, nullptr, k, v, encrypting ? 1 : 0)
                    && EVP_CIPHER_CTX_set_padding(ctx.get(), 0)
                    && EVP_CipherUpdate(ctx.get(), o, &written,
                                        reinterpret_cast<const unsigned char *>(in.data()),
                                        int(in.size()))
                    && EVP_CipherFinal_ex(ctx.get(), o + written, &last);
    if (!ok)
        return cryptoFailure(encrypting ? "encryption" : "decryption");
    out.truncate(written + last);
    return out;
}

} // namespace

int digestLength(Auth auth)
{
    switch (auth) {
    case Auth::Md5:
    case Auth::Sha1: return 12;
    case Auth::Sha224: return 16;
    case Auth::Sha256: return 24;
    case Auth::Sha384: return 32;
    case Auth::Sha512: return 48;
    case Auth::None: break;
    }
    return 0;
}

bool available(Priv priv)
{
    return priv == Priv::None || cipherOf(priv) != nullptr;
}

int saltLength(Priv priv)
{
    return priv == Priv::None ? 0 : 8;
}

Result<QByteArray> passwordToKey(Auth auth, QByteArrayView passphrase)
{
    if (passphrase.size() < 8)
        return failure(QStringLiteral("passphrase shorter than 8 characters"));
    constexpr qsizetype expansion = 1'048'576;
    QByteArray stream(expansion, Qt::Uninitialized);
    for (qsizetype i = 0; i < expansion; ++i)
        stream[i] = passphrase[i % passphrase.size()];
    return hash(auth, {stream});
}

Result<QByteArray> localizeKey(Auth auth, QByteArrayView key, QByteArrayView engineId)
{
    return hash(auth, {key, engineId, key});
}

Result<QByteArray> localizedKey(Auth auth, QByteArrayView passphrase, QByteArrayView engineId)
{
    const Result<QByteArray> key = passwordToKey(auth, passphrase);
    return key ? localizeKey(auth, key.value(), engineId) : key;
}

Result<QByteArray> privacyKey(Auth auth, Priv priv, QByteArrayView localized)
{
    QByteArray key = localized.toByteArray();
    while (!key.isEmpty() && key.size() < keyLength(priv)) {
        const Result<QByteArray> more = hash(auth, {key});
        if (!more)
            return more;
        key += more.value();
    }
    if (key.size() < keyLength(priv))
        return failure(QStringLiteral("no key material for the privacy protocol"));
    return key.left(keyLength(priv));
}

Result<QByteArray> digest(Auth auth, QByteArrayView key, QByteArrayView message)
{
    const EVP_MD *md = hashOf(auth);
    if (!md)
        return failure(QStringLiteral("no authentication protocol"));
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (!HMAC(md, key.data(), int(key.size()),
              reinterpret_cast<const unsigned char *>(message.data()), size_t(message.size()),
              out, &size))
        return cryptoFailure("HMAC");
    return QByteArray(reinterpret_cast<const char *>(out), digestLength(auth));
}

bool digestsEqual(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), size_t(a.size())) == 0;
}

Result<Encrypted> encrypt(Priv priv, QByteArrayView key, quint32 boots, quint32 time,
                          QByteArrayView plain)
{
    QByteArray salt(saltLength(priv), Qt::Uninitialized);
    if (salt.isEmpty())
        return failure(QStringLiteral("no privacy protocol"));
    if (RAND_bytes(reinterpret_cast<unsigned char *>(salt.data()), int(salt.size())) != 1)
        return cryptoFailure("random salt");
    if (key.size() < keyLength(priv))
        return failure(QStringLiteral("privacy key too short"));
    QByteArray padded = plain.toByteArray();
    if (priv == Priv::Des && padded.size() % 8)
        padded.append(8 - padded.size() % 8, '\0');
    Result<QByteArray> data = runCipher(priv, key, ivFor(priv, key, boots, time, salt), padded,
                                        true);
    if (!data)
        return data.failure();
    return Encrypted{std::move(data.value()), salt};
}

Result<QByteArray> decrypt(Priv priv, QByteArrayView key, quint32 boots, quint32 time,
                           QByteArrayView salt, QByteArrayView cipher)
{
    if (salt.size() != saltLength(priv) || salt.isEmpty())
        return failure(QStringLiteral("privacy parameters are not an 8-byte salt"));
    if (priv == Priv::Des && cipher.size() % 8)
        return failure(QStringLiteral("DES data is not a whole number of blocks"));
    if (key.size() < keyLength(priv))
        return failure(QStringLiteral("privacy key too short"));
    return runCipher(priv, key, ivFor(priv, key, boots, time, salt), cipher, false);
}

} // namespace usm
