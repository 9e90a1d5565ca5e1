#include "opensslerror.h"

#include <openssl/err.h>

namespace usm {

Failure cryptoFailure(const char *what)
{
    const unsigned long code = ERR_get_error();
    char text[256] = "no detail";
    if (code)
        ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    return failure(QStringLiteral("%1: %2").arg(QLatin1String(what), QLatin1String(text)));
}

} // namespace usm
