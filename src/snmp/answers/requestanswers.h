#pragma once

#include "common/core/result.h"

#include <QtGlobal>

class ServedObjects;
struct SnmpMessage;

// Answers a Get, GetNext or GetBulk from the objects a row serves, and refuses a Set.
// A plain row answers as the window's agents always have: error status noSuchName naming the
// last variable it lacks, the others answered. A device (one that serves a recording or has
// SNMPv3 users) answers as a real agent does. In SNMPv2c and SNMPv3 a missing object is
// noSuchObject or noSuchInstance and the end of the tree endOfMibView, each in its binding,
// never an error status that voids the rest. In SNMPv1 the first missing object is named by
// noSuchName; the response then takes the request's bindings, which the caller puts back.
// `legacyV2c` answers SNMPv2c so too, as many old devices do, and a GetBulk that reaches the end
// of the tree likewise. `maxSize` bounds a GetBulk's answer.
Status answerRequest(SnmpMessage &message, const ServedObjects &objects, qsizetype maxSize,
                     bool legacyV2c = false);
