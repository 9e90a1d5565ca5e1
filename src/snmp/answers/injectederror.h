#pragma once

struct SnmpMessage;

// The status an SNMPv1 message carries for `status`: SNMPv2 statuses without an SNMPv1 form
// take the one RFC 2576 section 4.4 maps them to (the same for answers to Sets, RFC 3584
// section 4.3); the first six stay.
int v1ErrorStatus(int status);

// Whether an answer with this status names the binding that failed in its error index.
bool statusNamesVariable(int status);

// Turns a request, its bindings still as they came, into an answer that carries `status`
// (0 to 18) instead: error index 1 where the status names a binding. A tooBig keeps the
// bindings in SNMPv1 and drops them otherwise, as a real tooBig does.
void injectError(SnmpMessage &request, int status);
