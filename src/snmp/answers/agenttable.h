#pragma once

#include <QDateTime>
#include <QString>

// What a started row answers for the system group; written at start, read by the answers.
struct AgentTableRow
{
    bool AgentRunning = false;
    QDateTime AgentStartTime;
    QString SysDescr;
    QString SysObjectID;
    QString SysContact;
    QString SysName;
    QString SysLocation;
    qint16 SysServices = 0;
};
