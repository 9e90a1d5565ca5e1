#pragma once

#include <QtGlobal>

// The random part of a row's faults, as plain functions of a uniform 32-bit draw, so that what
// a share or a spread means is fixed here and nowhere else.

// Whether something with a chance of `percent` (0 to 100) happens for `draw`.
bool happens(double percent, quint32 draw);

// How long to hold an answer: the latency plus a jitter spread evenly over [-jitter, +jitter],
// never below 0. Both are bounded to RowBehaviour::MaxDelayMs first.
int answerDelayMs(int latencyMs, int jitterMs, quint32 draw);
