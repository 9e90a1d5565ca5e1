#pragma once

#include <QByteArrayView>
#include <QHash>

class SnmpVariable;

// The interfaces a row's linkDown and linkUp took down or brought back: what it serves for
// their ifOperStatus and ifLastChange instead of what was recorded, until the row stops.
class InterfaceStates
{
public:
    // Interface `ifIndex` went down (or up) when the row's uptime read `uptime`.
    void set(int ifIndex, bool down, quint32 uptime);
    bool isDown(int ifIndex) const;
    void clear() { m_states.clear(); }

    // Answers `variable` when `oidContent` names an ifOperStatus or ifLastChange this holds.
    bool answer(QByteArrayView oidContent, SnmpVariable &variable) const;

private:
    struct State
    {
        bool down = false;
        quint32 lastChange = 0;
    };
    QHash<int, State> m_states;
};
