#pragma once

#include <QObject>
#include <QString>

#include <array>
#include <memory>

struct AppServices;
class QAction;
class QMenu;
class SnmpAgentPage;
class SnmpAgents;

// The rows' recordings: the row menu, reading a file on a worker thread while the rows go on
// answering, and swapping the new tree in on this thread once it is whole.
class AgentRecordings : public QObject
{
    Q_OBJECT
public:
    AgentRecordings(SnmpAgents &agents, SnmpAgentPage &page, const AppServices &services,
                    QObject *parent = nullptr);
    ~AgentRecordings() override;

    void mnuServeRecording_Click(int index);
    void mnuServeSystemObjects_Click(int index);
    void mnuV3Users_Click(int index);
    // Reads the file and serves it on the row; a bad file leaves the row as it was.
    void serveFile(int index, const QString &path);
    bool isLoading(int index) const { return bool(m_jobs[index]); }

    QMenu *mnuAgentRow = nullptr;
    QAction *mnuServeRecording = nullptr;
    QAction *mnuServeSystemObjects = nullptr;
    QAction *mnuV3Users = nullptr;

signals:
    // A reading of the row ended: served, refused or cancelled.
    void loadEnded(int index);

private:
    struct Job;
    void showMenu(int index, QWidget *control, const QPoint &position);
    void finish(const std::shared_ptr<Job> &job);
    void showServed(int index);

    SnmpAgents &m_agents;
    SnmpAgentPage &m_page;
    const AppServices &m_services;
    int m_menuRow = 0;
    std::array<std::shared_ptr<Job>, 7> m_jobs;
};
