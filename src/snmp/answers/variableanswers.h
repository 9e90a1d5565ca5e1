#pragma once

#include "common/core/result.h"

#include <functional>

class ServedObjects;
struct SnmpMessage;
class SnmpVariable;

// Answers each variable from the served objects: with the identifier's own object (Get) or the
// one after it (GetNext). `missing` handles a variable without one, given its position from 1.
// Stops at the first failure, keeping what was already set.
using MissingObject = std::function<void(SnmpVariable &variable, int position)>;
Status answerEachGet(SnmpMessage &message, const ServedObjects &objects,
                     const MissingObject &missing);
Status answerEachNext(SnmpMessage &message, const ServedObjects &objects,
                      const MissingObject &missing);
