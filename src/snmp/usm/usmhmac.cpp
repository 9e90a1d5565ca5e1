#include "usmhmac.h"

#include "snmp/usm/opensslerror.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/params.h>

#include <algorithm>

namespace usm {
namespace {

const char *digestName(Auth auth)
{
    switch (auth) {
    case Auth::Md5:
        return "MD5";
    case Auth::Sha1:
        return "SHA1";
    case Auth::Sha224:
        return "SHA2-224";
    case Auth::Sha256:
        return "SHA2-256";
    case Auth::Sha384:
        return "SHA2-384";
    case Auth::Sha512:
        return "SHA2-512";
    case Auth::None:
        break;
    }
    return nullptr;
}

// Fetched once: a fetch by name takes locks and string compares on every call.
EVP_MAC *hmacAlgorithm()
{
    static EVP_MAC *const mac = EVP_MAC_fetch(nullptr, "HMAC", nullptr);
    return mac;
}

} // namespace

void Hmac::Free::operator()(EVP_MAC_CTX *ctx) const
{
    EVP_MAC_CTX_free(ctx);
}

Hmac::Hmac(Auth auth, QByteArrayView key) : m_length(digestLength(auth))
{
    const char *name = digestName(auth);
    if (!name || !hmacAlgorithm() || key.isEmpty())
        return;
    std::unique_ptr<EVP_MAC_CTX, Free> ctx(EVP_MAC_CTX_new(hmacAlgorithm()));
    const OSSL_PARAM params[] = {
        OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_DIGEST, const_cast<char *>(name), 0),
        OSSL_PARAM_construct_end()};
    if (ctx && EVP_MAC_init(ctx.get(), reinterpret_cast<const unsigned char *>(key.data()),
                            size_t(key.size()), params))
        m_ctx = std::move(ctx);
}

bool Hmac::sign(QByteArrayView message, qsizetype hole, char *out)
{
    if (!m_ctx)
        return false;
    static constexpr unsigned char zeros[EVP_MAX_MD_SIZE] = {};
    const auto *bytes = reinterpret_cast<const unsigned char *>(message.data());
    const qsizetype size = message.size();
    const bool holed = hole >= 0;
    if (holed && (hole > size - m_length))
        return false;
    const qsizetype before = holed ? hole : size;
    const qsizetype after = holed ? hole + m_length : size;
    unsigned char full[EVP_MAX_MD_SIZE];
    size_t written = 0;
    // A null key starts again from the pads the key made.
    const bool ok = EVP_MAC_init(m_ctx.get(), nullptr, 0, nullptr) &&
                    EVP_MAC_update(m_ctx.get(), bytes, size_t(before)) &&
                    (!holed || EVP_MAC_update(m_ctx.get(), zeros, size_t(m_length))) &&
                    EVP_MAC_update(m_ctx.get(), bytes + after, size_t(size - after)) &&
                    EVP_MAC_final(m_ctx.get(), full, &written, sizeof full) &&
                    written >= size_t(m_length);
    if (ok)
        std::copy_n(full, m_length, reinterpret_cast<unsigned char *>(out));
    return ok;
}

bool Hmac::verify(QByteArrayView message, qsizetype hole, QByteArrayView digest)
{
    char expected[EVP_MAX_MD_SIZE];
    return digest.size() == m_length && sign(message, hole, expected) &&
           CRYPTO_memcmp(expected, digest.data(), size_t(m_length)) == 0;
}

Result<QByteArray> digest(Auth auth, QByteArrayView key, QByteArrayView message)
{
    if (auth == Auth::None)
        return failure(QStringLiteral("no authentication protocol"));
    Hmac hmac(auth, key);
    QByteArray out(hmac.length(), Qt::Uninitialized);
    if (!hmac.isValid() || !hmac.sign(message, -1, out.data()))
        return cryptoFailure("HMAC");
    return out;
}

} // namespace usm
