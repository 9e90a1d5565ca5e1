#pragma once

#include "common/core/result.h"

#include <QtGlobal>

class ServedObjects;
struct SnmpMessage;

// Answers a request to a row the user made a device (one that serves a recording or has
// SNMPv3 users) as a real agent does. In SNMPv2c and SNMPv3 a missing object is noSuchObject
// or noSuchInstance and the end of the tree endOfMibView, each in its binding, never an error
// status that voids the rest. In SNMPv1 the first missing object is named by noSuchName; the
// response then takes the request's bindings, which the caller puts back. A Set is refused.
// `maxSize` bounds a GetBulk's answer.
Status answerAsDevice(SnmpMessage &message, const ServedObjects &objects, qsizetype maxSize);
