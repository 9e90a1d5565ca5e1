#pragma once

#include "snmp/agent/snmpagents.h"

#include <QObject>
#include <QString>

#include <array>
#include <memory>

class MessagePresenter;

// Reads recordings on a worker thread while the rows go on answering, and swaps the new tree
// into its row on this thread once it is whole. A bad file leaves the row as it was.
class RecordingLoader : public QObject
{
    Q_OBJECT
public:
    RecordingLoader(SnmpAgents &agents, MessagePresenter &messages, QObject *parent = nullptr);
    ~RecordingLoader() override;

    // A newer reading for a row replaces one still under way.
    void serveFile(int index, const QString &path);
    // Stops the row's reading; nothing changes and nothing is said.
    void cancel(int index);
    bool isLoading(int index) const { return bool(m_jobs[index]); }

signals:
    // Each reading is numbered, so that what shows one knows when it ends.
    void loadStarted(int index, int reading, const QString &path);
    // How far it got, in thousandths, every tenth of a second and once before its result is
    // taken: a last chance to cancel it.
    void progressed(int index, int reading, int thousandths);
    // A reading of the row ended: served, refused or cancelled.
    void loadEnded(int index, int reading);

private:
    struct Job;
    void finish(const std::shared_ptr<Job> &job);
    void report(const Job &job);

    SnmpAgents &m_agents;
    MessagePresenter &m_messages;
    int m_readings = 0;
    std::array<std::shared_ptr<Job>, SnmpAgents::RowCount> m_jobs;
};
