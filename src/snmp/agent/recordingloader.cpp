#include "recordingloader.h"

#include "common/core/messagepresenter.h"
#include "snmp/agent/snmpagents.h"
#include "snmp/recording/recordedtree.h"
#include "snmp/recording/recordingreader.h"

#include <QThread>
#include <QTimer>

#include <atomic>
#include <optional>

// What the worker and this thread share about one reading.
struct RecordingLoader::Job
{
    int index = 0;
    int reading = 0;
    QString path;
    std::atomic<bool> cancelled{false};
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
    std::optional<Result<RecordedTree>> result; // written by the worker before it ends
    QThread *thread = nullptr;
    QTimer *poll = nullptr;
};

RecordingLoader::RecordingLoader(SnmpAgents &agents, MessagePresenter &messages, QObject *parent)
    : QObject(parent), m_agents(agents), m_messages(messages)
{
}

RecordingLoader::~RecordingLoader()
{
    for (const std::shared_ptr<Job> &job : m_jobs) {
        if (job) {
            job->cancelled = true;
            job->thread->wait();
        }
    }
}

void RecordingLoader::cancel(int index)
{
    if (m_jobs[index])
        m_jobs[index]->cancelled = true;
}

void RecordingLoader::serveFile(int index, const QString &path)
{
    cancel(index);
    auto job = std::make_shared<Job>();
    job->index = index;
    job->reading = ++m_readings;
    job->path = path;
    m_jobs[index] = job;
    emit loadStarted(index, job->reading, path);

    job->poll = new QTimer(this);
    connect(job->poll, &QTimer::timeout, this, [this, job] { report(*job); });
    job->poll->start(100);
    job->thread = QThread::create([job] {
        job->result = readRecording(job->path, [&job = *job](qint64 done, qint64 total) {
            job.done = done;
            job.total = total;
            return !job.cancelled.load();
        });
    });
    connect(job->thread, &QThread::finished, this, [this, job] { finish(job); });
    job->thread->start();
}

void RecordingLoader::report(const Job &job)
{
    const qint64 total = job.total;
    emit progressed(job.index, job.reading, total > 0 ? int(job.done * 1000 / total) : 0);
}

void RecordingLoader::finish(const std::shared_ptr<Job> &job)
{
    job->thread->wait();
    job->thread->deleteLater();
    job->poll->deleteLater();
    report(*job);
    const bool current = m_jobs[job->index] == job;
    if (current)
        m_jobs[job->index].reset();
    Result<RecordedTree> &result = *job->result;
    if (!current || job->cancelled) {
        // Replaced or cancelled: nothing changes and nothing is said.
    } else if (!result) {
        m_messages.showMessage(result.failure().description);
    } else {
        m_agents.serveRecording(
            job->index,
            {std::make_shared<const RecordedTree>(std::move(result.value())), job->path});
    }
    emit loadEnded(job->index, job->reading);
}
