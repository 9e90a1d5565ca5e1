#include "faultchances.h"

#include "snmp/answers/rowbehaviour.h"

bool happens(double percent, quint32 draw)
{
    // Written so that NaN never happens and 100 % always does.
    if (!(percent > 0))
        return false;
    if (percent >= 100)
        return true;
    return double(draw) < percent / 100.0 * 4294967296.0;
}

int answerDelayMs(int latencyMs, int jitterMs, quint32 draw)
{
    const int latency = qBound(0, latencyMs, RowBehaviour::MaxDelayMs);
    const int jitter = qBound(0, jitterMs, RowBehaviour::MaxDelayMs);
    // The draw scaled onto the 2 * jitter + 1 whole milliseconds of the spread.
    const qint64 offset = qint64((quint64(draw) * quint64(2 * jitter + 1)) >> 32) - jitter;
    return int(qMax<qint64>(0, latency + offset));
}
