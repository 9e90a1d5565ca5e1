#pragma once

#include "common/core/result.h"

namespace usm {

// A failure of libcrypto's `what`, with the reason it gives, its error queue then left empty.
Failure cryptoFailure(const char *what);

} // namespace usm
