#pragma once

#include "common/core/result.h"
#include "snmp/usm/protocols.h"

#include <QByteArray>
#include <QByteArrayView>

#include <openssl/types.h>

#include <memory>

namespace usm {

// One authentication key's HMAC, keyed once when the key is made: a message then costs only
// its own bytes, not a lookup of the algorithm and the key's pads. Keeps state between calls,
// so one thread at a time.
class Hmac
{
public:
    Hmac(Auth auth, QByteArrayView key);

    bool isValid() const { return m_ctx != nullptr; }
    // Bytes of the digest a message carries.
    int length() const { return m_length; }

    // The truncated digest of `message` read with its `length()` bytes from `hole` on as zeros
    // (the digest's own place; -1 for none), written to `out`.
    bool sign(QByteArrayView message, qsizetype hole, char *out);
    // Constant time, so a forger learns nothing from how long a wrong digest took to refuse.
    bool verify(QByteArrayView message, qsizetype hole, QByteArrayView digest);

private:
    struct Free
    {
        void operator()(EVP_MAC_CTX *ctx) const;
    };
    std::unique_ptr<EVP_MAC_CTX, Free> m_ctx;
    int m_length = 0;
};

// The truncated HMAC of the whole message, keyed for this one call.
Result<QByteArray> digest(Auth auth, QByteArrayView key, QByteArrayView message);

} // namespace usm
