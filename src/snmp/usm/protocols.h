#pragma once

// The protocols the user-based security model offers, and what each puts in a message.
namespace usm {

enum class Auth { None, Md5, Sha1, Sha224, Sha256, Sha384, Sha512 };
enum class Priv { None, Des, Aes128, Aes192, Aes256 };

// Bytes of the digest a message carries (the HMAC truncated), 0 for None.
int digestLength(Auth auth);
// Bytes of the salt in msgPrivacyParameters, 0 for None.
int saltLength(Priv priv);
// Bytes of key material the cipher takes (DES: the key, then the pre-IV).
int keyLength(Priv priv);

} // namespace usm
