#pragma once

#include "common/result.h"

#include <QtGlobal>

class ServedObjects;
struct SnmpMessage;

// Answers a request that came secured by SNMPv3 from the same objects the community answers
// come from, but as v3 managers expect: a missing object is noSuchObject or noSuchInstance and
// the end of the tree endOfMibView in its binding, never an error status that voids the rest.
// A Set is refused with notWritable. `maxSize` bounds a GetBulk's repetitions.
Status answerV3Request(SnmpMessage &message, const ServedObjects &objects, qsizetype maxSize);
