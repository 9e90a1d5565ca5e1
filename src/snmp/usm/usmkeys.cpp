#include "usmkeys.h"

#include "snmp/usm/opensslerror.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <memory>

namespace usm {
namespace {

const EVP_MD *hashOf(Auth auth)
{
    switch (auth) {
    case Auth::Md5:
        return EVP_md5();
    case Auth::Sha1:
        return EVP_sha1();
    case Auth::Sha224:
        return EVP_sha224();
    case Auth::Sha256:
        return EVP_sha256();
    case Auth::Sha384:
        return EVP_sha384();
    case Auth::Sha512:
        return EVP_sha512();
    case Auth::None:
        break;
    }
    return nullptr;
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

} // namespace

void wipe(QByteArray &secret)
{
    // Written through the shared buffer, not a detached copy; static data holds no secret.
    if (secret.data_ptr().isMutable())
        OPENSSL_cleanse(const_cast<char *>(secret.constData()), size_t(secret.size()));
    secret = QByteArray();
}

void wipe(QString &secret)
{
    if (secret.data_ptr().isMutable())
        OPENSSL_cleanse(const_cast<QChar *>(secret.constData()),
                        size_t(secret.size()) * sizeof(QChar));
    secret = QString();
}

Result<QByteArray> passwordToKey(Auth auth, QByteArrayView passphrase)
{
    if (passphrase.size() < 8)
        return failure(QStringLiteral("passphrase shorter than 8 characters"));
    constexpr qsizetype expansion = 1'048'576;
    QByteArray stream(expansion, Qt::Uninitialized);
    for (qsizetype i = 0; i < expansion; ++i)
        stream[i] = passphrase[i % passphrase.size()];
    Result<QByteArray> key = hash(auth, {stream});
    wipe(stream);
    return key;
}

Result<QByteArray> localizeKey(Auth auth, QByteArrayView key, QByteArrayView engineId)
{
    return hash(auth, {key, engineId, key});
}

Result<QByteArray> localizedKey(Auth auth, QByteArrayView passphrase, QByteArrayView engineId)
{
    Result<QByteArray> key = passwordToKey(auth, passphrase);
    if (!key)
        return key;
    Result<QByteArray> localized = localizeKey(auth, key.value(), engineId);
    wipe(key.value());
    return localized;
}

Result<QByteArray> privacyKey(Auth auth, Priv priv, QByteArrayView localized)
{
    QByteArray key = localized.toByteArray();
    // Room for the longest extension, so growing leaves no copy behind.
    key.reserve(keyLength(Priv::Aes256) + 64);
    while (!key.isEmpty() && key.size() < keyLength(priv)) {
        Result<QByteArray> more = hash(auth, {key});
        if (!more) {
            wipe(key);
            return more;
        }
        key += more.value();
        wipe(more.value());
    }
    if (key.size() < keyLength(priv)) {
        wipe(key);
        return failure(QStringLiteral("no key material for the privacy protocol"));
    }
    QByteArray out = key.left(keyLength(priv));
    wipe(key);
    return out;
}

} // namespace usm
