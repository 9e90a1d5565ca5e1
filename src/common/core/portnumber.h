#pragma once

#include "common/core/result.h"

#include <QString>

// A port box's text as a 32-bit signed integer: blanks around an optional sign and decimal
// digits. Anything else is a type mismatch, a number beyond 32 bits an overflow.
Result<qint32> portNumber(const QString &text);
