#pragma once

#include "app/frmmain.h"
#include "snmp/agent/snmpagents.h"
#include "snmp/ui/snmpagentpage.h"
#include "support/manager.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

// Types the boxes and clicks the row's button; true when the row then runs.
inline bool clickRow(FrmMain &window, int row, const QString &port,
                     const QString &address = QStringLiteral("127.0.0.1"))
{
    window.snmpAgent->txtSnmpIpAddr[row]->setText(address);
    window.snmpAgent->txtSnmpPort[row]->setText(port);
    window.snmpAgent->cmdSnmpControl[row]->click();
    return window.snmpAgents->agentTable()[row].AgentRunning;
}
