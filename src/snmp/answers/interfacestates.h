#pragma once

#include <QByteArrayView>
#include <QHash>

class SnmpVariable;

// The interfaces a row's linkDown and linkUp took down or brought back: what it serves for
// their ifOperStatus and ifLastChange instead of what was recorded, until the row stops.
class InterfaceStates
{
public:
    // Interface `ifIndex` went down (or up) when the row's uptime read `uptime` and its counters'
    // clock `counterTicks`.
    void set(int ifIndex, bool down, quint32 uptime, qint64 counterTicks);
    bool isDown(int ifIndex) const;
    void clear() { m_states.clear(); }

    // The time the counter `oidContent` has counted at counters' clock `ticks`: a down interface's
    // counters stop, and go on from there when it is back up.
    qint64 countingTicks(QByteArrayView oidContent, qint64 ticks) const;

    // Answers `variable` when `oidContent` names an ifOperStatus or ifLastChange this holds.
    bool answer(QByteArrayView oidContent, SnmpVariable &variable) const;

private:
    struct State
    {
        bool down = false;
        quint32 lastChange = 0;
        qint64 changedAt = 0;  // on the counters' clock
        qint64 downBefore = 0; // ticks down before the last change
    };
    QHash<int, State> m_states;
};
