#pragma once

#include "common/core/result.h"

class ServedObjects;
struct SnmpMessage;

// Answers a GetBulk as RFC 3416 4.2.3 asks: each non-repeater's successor, then up to
// max-repetitions successors of each repeater, endOfMibView past the end. The answer stops
// where the response would outgrow `maxSize` bytes, or once every repeater has ended.
// `legacy` answers the end as old devices do: noSuchName naming the request's variable that
// reached it first, with the request's bindings.
Status answerGetBulkRequest(SnmpMessage &message, const ServedObjects &objects,
                            qsizetype maxSize = 65507, bool legacy = false);
