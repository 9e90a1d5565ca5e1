#include "protocols.h"

namespace usm {

int keyLength(Priv priv)
{
    switch (priv) {
    case Priv::Des:
        return 16; // 8 of key, 8 of pre-IV
    case Priv::Aes128:
        return 16;
    case Priv::Aes192:
        return 24;
    case Priv::Aes256:
        return 32;
    case Priv::None:
        break;
    }
    return 0;
}

int digestLength(Auth auth)
{
    switch (auth) {
    case Auth::Md5:
    case Auth::Sha1:
        return 12;
    case Auth::Sha224:
        return 16;
    case Auth::Sha256:
        return 24;
    case Auth::Sha384:
        return 32;
    case Auth::Sha512:
        return 48;
    case Auth::None:
        break;
    }
    return 0;
}

int saltLength(Priv priv)
{
    return priv == Priv::None ? 0 : 8;
}

} // namespace usm
