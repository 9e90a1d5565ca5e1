#pragma once

#include "snmp/agent/snmpagents.h"

#include <QObject>
#include <QPointer>

#include <array>

struct AppServices;
class QAction;
class QMenu;
class QProgressDialog;
class RecordingLoader;
class SnmpAgentPage;

// The menu on each row's button and status box: serve a recording, with a dialog that shows
// the reading and can cancel it; go back to the system objects; the row's SNMPv3 users, its
// behaviour and its notifications.
class AgentRowMenu : public QObject
{
    Q_OBJECT
public:
    AgentRowMenu(SnmpAgentPage &page, SnmpAgents &agents, RecordingLoader &loader,
                 const AppServices &services, QObject *parent = nullptr);

    void mnuServeRecording_Click(int index);
    void mnuServeSystemObjects_Click(int index);
    void mnuV3Users_Click(int index);
    void mnuBehaviour_Click(int index);
    void mnuNotifications_Click(int index);

    QMenu *mnuAgentRow = nullptr;
    QAction *mnuServeRecording = nullptr;
    QAction *mnuServeSystemObjects = nullptr;
    QAction *mnuV3Users = nullptr;
    QAction *mnuBehaviour = nullptr;
    QAction *mnuNotifications = nullptr;

private:
    // Brings the row's open dialog of that kind forward; false when there is none.
    template <typename Dialog> bool raiseOpen(int index);
    void showMenu(int index, QWidget *control, const QPoint &position);
    void showReading(int index, int reading, const QString &path);
    void showProgress(int index, int reading, int thousandths);
    void endReading(int index, int reading);

    struct Reading
    {
        int number = 0;
        QPointer<QProgressDialog> dialog;
    };

    SnmpAgentPage &m_page;
    SnmpAgents &m_agents;
    RecordingLoader &m_loader;
    const AppServices &m_services;
    int m_menuRow = 0;
    std::array<Reading, SnmpAgents::RowCount> m_readings;
};
