#pragma once

#include "snmp/agent/notificationlink.h"
#include "snmp/agent/notificationsettings.h"
#include "snmp/answers/interfacestates.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <functional>

class ServedObjects;

// The notifications of one row: its destinations, what makes it send (start, refused
// requests, a schedule, Send Now) and what came of it. Everything runs on the row's thread,
// and nothing here waits: a storm goes in bounded slices between the row's answers.
class RowNotifier : public QObject
{
    Q_OBJECT
public:
    // At most one counts signal in this time.
    static constexpr int CountsIntervalMs = 200;
    static constexpr int AuthenticationFailureMs = 1000;
    static constexpr int StormSliceMs = 1;
    // A slice sends for at most this long, so the row answers for at least as long between.
    static constexpr qint64 StormSliceNs = 400'000;
    // Notifications per destination sent in one system call's batch.
    static constexpr int StormBatch = 64;
    // While the row answers requests: a slice in small rounds of this many over all
    // destinations, each slice followed by a pause for the requests.
    static constexpr qint64 AnsweringSliceNs = 500'000;
    static constexpr int AnsweringBatch = 64;
    // A storm owes at most this many notifications; what falls behind beyond is held back.
    static constexpr int MaxStormBacklog = 2000;

    struct Row
    {
        // The row's objects as a poll reads them now.
        std::function<ServedObjects()> served;
        std::function<const UsmEngine *()> engine;
        std::function<bool()> tracing;
        std::function<void(const QStringList &lines, const QString &user)> trace;
        // Requests the row has received so far: while they come, a storm gives way to them.
        std::function<quint64()> requests;
    };

    explicit RowNotifier(Row row, QObject *parent = nullptr);

    // Checked already; a running row changes over at once, its waiting INFORMs unacknowledged.
    void setSettings(const NotificationSettings &settings);
    const NotificationSettings &settings() const { return m_settings; }

    // The row listens on `local`: links open, coldStart goes, the schedule begins.
    void start(const QHostAddress &local);
    void stop();
    bool isRunning() const { return m_running; }

    // Sends the notification to every destination now; linkDown and linkUp first change the
    // interface the row serves. Fails when the row cannot say it.
    Status send(const NotificationChoice &choice);
    // The row refused a request: an authenticationFailure, at most one a second.
    void requestRefused();

    const NotificationCounts &counts() const { return m_counts; }
    const InterfaceStates &interfaces() const { return m_interfaces; }
    // Keys localized for receivers' engines, over all destinations.
    int localizations() const;

signals:
    void countsChanged();

private:
    Result<QList<SnmpVariable>> bindingsFor(const NotificationChoice &choice);
    void openLinks();
    void closeLinks();
    void startSchedule();
    void stormSlice();
    // Sends what the storm owes for at most `sliceNs`; whether it is still behind.
    bool stormSend(qint64 sliceNs, int perLink);
    void countsTouched();

    Row m_row;
    NotificationSettings m_settings;
    NotificationCounts m_counts;
    InterfaceStates m_interfaces;
    QList<NotificationLink *> m_links;
    QHostAddress m_local;
    bool m_running = false;
    QTimer m_periodic;
    QTimer m_storm;
    QElapsedTimer m_stormClock;
    qint64 m_stormIssued = 0;
    quint64 m_stormRequests = 0;
    QElapsedTimer m_lastAuthenticationFailure;
    QTimer m_countsSignal;
    bool m_countsPending = false;
};
