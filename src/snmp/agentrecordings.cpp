#include "agentrecordings.h"

#include "common/widgets/accessibleroles.h"
#include "common/core/appservices.h"
#include "common/widgets/controlnames.h"
#include "common/core/filechooser.h"
#include "common/core/messagepresenter.h"
#include "recordingreader.h"
#include "snmpagentpage.h"
#include "snmpagents.h"
#include "v3userform.h"
#include "v3usersdialog.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <optional>

// What the worker and this thread share about one reading.
struct AgentRecordings::Job
{
    int index = 0;
    QString path;
    std::atomic<bool> cancelled{false};
    std::atomic<qint64> done{0};
    std::atomic<qint64> total{0};
    std::optional<Result<RecordedTree>> result; // written by the worker before it ends
    QThread *thread = nullptr;
    QProgressDialog *progress = nullptr;
    QTimer *poll = nullptr;
};

AgentRecordings::AgentRecordings(SnmpAgents &agents, SnmpAgentPage &page,
                                 const AppServices &services, QObject *parent)
    : QObject(parent), m_agents(agents), m_page(page), m_services(services)
{
    mnuAgentRow = new QMenu(&page);
    nameControl(mnuAgentRow, QStringLiteral("mnuAgentRow"), QStringLiteral("Agent row"));
    mnuServeRecording = mnuAgentRow->addAction(QStringLiteral("Serve Recording…"));
    mnuServeRecording->setObjectName(QStringLiteral("mnuServeRecording"));
    mnuServeSystemObjects = mnuAgentRow->addAction(QStringLiteral("Serve System Objects Only"));
    mnuServeSystemObjects->setObjectName(QStringLiteral("mnuServeSystemObjects"));
    mnuV3Users = mnuAgentRow->addAction(QStringLiteral("SNMPv3 Users…"));
    mnuV3Users->setObjectName(QStringLiteral("mnuV3Users"));
    connect(mnuV3Users, &QAction::triggered, this, [this] { mnuV3Users_Click(m_menuRow); });
    connect(mnuServeRecording, &QAction::triggered, this,
            [this] { mnuServeRecording_Click(m_menuRow); });
    connect(mnuServeSystemObjects, &QAction::triggered, this,
            [this] { mnuServeSystemObjects_Click(m_menuRow); });
    for (int i = 0; i < SnmpAgentPage::RowCount; ++i) {
        for (QWidget *control : {static_cast<QWidget *>(page.cmdSnmpControl[i]),
                                 static_cast<QWidget *>(page.txtSnmpStatus[i])}) {
            control->setContextMenuPolicy(Qt::CustomContextMenu);
            connect(control, &QWidget::customContextMenuRequested, this,
                    [this, i, control](const QPoint &at) { showMenu(i, control, at); });
            offerMenuAction(control,
                            [this, i, control] { showMenu(i, control, control->rect().center()); });
        }
    }
}

AgentRecordings::~AgentRecordings()
{
    for (const std::shared_ptr<Job> &job : m_jobs) {
        if (job) {
            job->cancelled = true;
            job->thread->wait();
        }
    }
}

void AgentRecordings::showMenu(int index, QWidget *control, const QPoint &position)
{
    m_menuRow = index;
    mnuServeSystemObjects->setEnabled(bool(m_agents.servedRecording(index).tree));
    mnuAgentRow->popup(control->mapToGlobal(position));
}

void AgentRecordings::mnuV3Users_Click(int index)
{
    auto *dialog = new V3UsersDialog(m_agents, index, m_services.messages, &m_page);
    connect(dialog, &V3UsersDialog::usersChanged, this, &AgentRecordings::showServed);
    dialog->show();
}

void AgentRecordings::mnuServeRecording_Click(int index)
{
    if (!m_services.files)
        return;
    const QString path = m_services.files->chooseFileToOpen(QStringLiteral("Serve Recording"));
    if (!path.isEmpty())
        serveFile(index, path);
}

void AgentRecordings::mnuServeSystemObjects_Click(int index)
{
    if (m_jobs[index])
        m_jobs[index]->cancelled = true;
    m_agents.serveRecording(index, {});
    showServed(index);
}

void AgentRecordings::serveFile(int index, const QString &path)
{
    // A newer choice replaces a reading still under way.
    if (m_jobs[index])
        m_jobs[index]->cancelled = true;
    auto job = std::make_shared<Job>();
    job->index = index;
    job->path = path;
    m_jobs[index] = job;

    job->progress =
        new QProgressDialog(QStringLiteral("Reading %1…").arg(QFileInfo(path).fileName()),
                            QStringLiteral("Cancel"), 0, 1000, &m_page);
    nameControl(job->progress, QStringLiteral("frmRecordingProgress"),
                QStringLiteral("Reading a recording"));
    job->progress->setMinimumDuration(500);
    job->progress->setAutoReset(false);
    job->progress->setValue(0);
    connect(job->progress, &QProgressDialog::canceled, this, [job] { job->cancelled = true; });
    job->poll = new QTimer(this);
    connect(job->poll, &QTimer::timeout, this, [job] {
        // The dialog can be cancelled without its signal (Escape, or its slot called).
        if (job->progress->wasCanceled())
            job->cancelled = true;
        const qint64 total = job->total;
        if (total > 0)
            job->progress->setValue(int(job->done * 1000 / total));
    });
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

void AgentRecordings::finish(const std::shared_ptr<Job> &job)
{
    job->thread->wait();
    job->thread->deleteLater();
    job->poll->deleteLater();
    job->progress->deleteLater();
    if (job->progress->wasCanceled())
        job->cancelled = true;
    const bool current = m_jobs[job->index] == job;
    if (current)
        m_jobs[job->index].reset();
    Result<RecordedTree> &result = *job->result;
    if (!current || job->cancelled) {
        // Replaced or cancelled: nothing changes and nothing is said.
    } else if (!result) {
        m_services.messages.showMessage(result.failure().description);
    } else {
        m_agents.serveRecording(
            job->index,
            {std::make_shared<const RecordedTree>(std::move(result.value())), job->path});
        showServed(job->index);
    }
    emit loadEnded(job->index);
}

void AgentRecordings::showServed(int index)
{
    const SnmpAgents::ServedRecording &served = m_agents.servedRecording(index);
    QStringList lines;
    if (served.tree) {
        lines.append(QStringLiteral("Serving %1 (%2 recorded objects)")
                         .arg(QFileInfo(served.path).fileName())
                         .arg(served.tree->size()));
    }
    const QString users = v3UsersTip(m_agents.v3Users(index));
    if (!users.isEmpty())
        lines.append(users);
    const QString tip = lines.join(QLatin1Char('\n'));
    m_page.cmdSnmpControl[index]->setToolTip(tip);
    m_page.txtSnmpStatus[index]->setToolTip(tip);
}
