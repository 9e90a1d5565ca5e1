#pragma once

#include "common/result.h"

#include <QString>

// The port box's text as a 32-bit signed integer: decimal digits with an optional sign,
// blanks around them allowed. Anything else is a type mismatch; a number beyond 32 bits
// overflows. The range of a port is the listener's business.
Result<int> portNumberFromText(const QString &text);
