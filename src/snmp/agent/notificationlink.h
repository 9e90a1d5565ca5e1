#pragma once

#include "snmp/agent/notificationsettings.h"
#include "snmp/codec/snmpmessage.h"

#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class NotificationChannel;
class UsmEngine;
class UsmPeer;
struct UsmUser;

// One destination of a row's notifications: the socket to it, the INFORMs that wait for their
// acknowledgement, and for SNMPv3 INFORMs the receiver's engine as discovered.
class NotificationLink : public QObject
{
    Q_OBJECT
public:
    static constexpr int RetryMs = 1000;
    static constexpr int Retries = 3;
    // INFORMs and notifications waiting for discovery, each; more are not sent.
    static constexpr int MaxWaiting = 4096;

    // What the link reads of its row.
    struct Row
    {
        std::function<const UsmEngine *()> engine;
        QByteArray agentAddress; // four octets, SNMPv1's agent-addr
        // Whether Debug Mode is on, and the writer of trace lines naming the user, if any.
        std::function<bool()> tracing;
        std::function<void(const QStringList &lines, const QString &user)> trace;
    };

    NotificationLink(const NotificationDestination &destination, NotificationCounts &counts,
                     Row row, QObject *parent = nullptr);
    ~NotificationLink() override;

    Status open(const QHostAddress &local);
    // INFORMs still waiting end unacknowledged.
    void close();

    // The notification these SNMPv2 bindings make, once, in the destination's version and kind.
    void send(const QList<SnmpVariable> &bindings);
    // Up to `count` of it as fast as the system takes them, untraced; how many went.
    int sendBurst(const QList<SnmpVariable> &bindings, int count);

    // The community message with another request-id, written over the old one; empty when
    // the new one's encoding is of another length.
    static QByteArray withRequestId(QByteArray datagram, qint32 id);

    const NotificationDestination &destination() const { return m_destination; }
    qsizetype waiting() const { return m_pending.size() + m_queued.size(); }
    // Keys localized for the receiver's engine so far.
    int localizations() const;

signals:
    void countsChanged();

private:
    struct Pending
    {
        SnmpMessage pdu;
        QByteArray datagram;
        int attempts = 0;
        qint64 due = 0;
    };
    bool isV3() const { return m_destination.version == NotificationVersion::V3; }
    bool isInform() const { return m_destination.kind == NotificationKind::Inform; }
    SnmpMessage pduOf(const QList<SnmpVariable> &bindings);
    // The next request-id, for a notification or a discovery alike.
    qint32 takeId();
    // The datagram carrying `pdu`; empty, counted, when it cannot be made.
    QByteArray encode(const SnmpMessage &pdu);
    QByteArray encodeV1(const QList<SnmpVariable> &bindings);
    const UsmUser *user() const;
    quint8 levelFlags() const;
    void notSent(NotSent reason, int count = 1);
    // Sends one attempt; false when the datagram could not be made.
    bool transmit(Pending &pending);
    void take(QByteArrayView datagram);
    void takeV3(QByteArrayView datagram);
    void acknowledge(qint32 requestId);
    void discover();
    void discovered();
    void retryDue();
    void armRetry(qint64 due);
    // Storms go untraced: a record per datagram would be the storm's whole cost.
    bool tracing() const { return !m_quiet && m_row.tracing && m_row.tracing(); }
    void trace(const QStringList &lines);

    NotificationDestination m_destination;
    QString m_name; // "address:port" for the trace
    NotificationCounts &m_counts;
    Row m_row;
    NotificationChannel *m_channel;
    QHash<qint32, Pending> m_pending;
    SnmpMessage m_lastAnswer;
    qint32 m_nextId;
    QElapsedTimer m_clock;
    QTimer m_retry;
    std::unique_ptr<UsmPeer> m_peer;
    // SNMPv3 INFORMs held while the receiver's engine is discovered.
    QList<SnmpMessage> m_queued;
    int m_discoveryAttempts = 0;
    qint64 m_discoveryDue = -1;
    qint32 m_discoveryId = 0;
    bool m_quiet = false;
};
