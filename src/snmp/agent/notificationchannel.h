#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QList>
#include <QObject>

#include <span>

class QSocketNotifier;

// A UDP socket connected to one destination of a row's notifications: only its answers are
// read, and the system tells when the destination refused one (an ICMP port unreachable).
// Sends never wait: what the system cannot take now is left to the caller.
class NotificationChannel : public QObject
{
    Q_OBJECT
public:
    explicit NotificationChannel(QObject *parent = nullptr);
    ~NotificationChannel() override;

    // From `local` where it is of the destination's family, on a port the system chooses.
    Status open(const QHostAddress &local, const QHostAddress &destination, quint16 port);
    void close();
    bool isOpen() const { return m_descriptor >= 0; }

    // False when the system refused it; a refusal by the destination also raises refused().
    bool send(QByteArrayView datagram);
    // As many of the datagrams as the system takes now, in one call where it can.
    int send(std::span<const QByteArray> datagrams);
    // Sent with the others queued in this turn of the event loop, in one call where it can;
    // those the system does not take are told by notSent().
    void queue(const QByteArray &datagram);

signals:
    void received(QByteArrayView datagram);
    void refused();
    void notSent(int count);

private:
    void flush();
    void readWaiting();
    // readWaiting with a system call per batch.
    void readBatches();
    // Whether the failed call's error was the destination's refusal, raising refused().
    bool takeRefusal(int error);

    int m_descriptor = -1;
    QSocketNotifier *m_notifier = nullptr;
    QList<QByteArray> m_queued;
};
