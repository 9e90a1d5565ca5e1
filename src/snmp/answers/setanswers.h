#pragma once

#include "common/core/result.h"

class ServedObjects;
class WrittenValues;
struct SnmpMessage;

// Answers a Set on a row that keeps what it is set to, as RFC 3416 4.2.5 asks. All or nothing:
// the first variable that cannot be written is named (noCreation for what the row does not
// serve, notWritable for its clock, its own statistics and counters that advance, wrongType,
// wrongLength) and none is written; otherwise all are. The response carries the request's
// bindings either way. A manager that may not write is refused with noAccess naming the first
// variable. SNMPv1 gets each error as RFC 3584 4.3 maps it. Fails, after setting genErr, only
// when a served object cannot be made (a typed value that does not fit its type).
Status answerSetRequest(SnmpMessage &message, const ServedObjects &objects, WrittenValues &written,
                        bool mayWrite);
