#pragma once

#include "snmp/agent/datagramsocket.h"
#include "snmp/agent/deadlinequeue.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>

#include <memory>

// Room for the largest datagram there is, so none is cut short.
inline constexpr qsizetype SlotSize = 65536;

struct DatagramSocket::SystemReply
{
    // A sockaddr_storage's bytes: this header stays free of the system's.
    alignas(8) char to[128];
    quint32 toLength = 0;
    QByteArray bytes;
    int copies = 1;
};

struct DatagramSocket::QtReply
{
    QHostAddress to;
    quint16 toPort = 0;
    QByteArray bytes;
    int copies = 1;
};

// A batch of datagrams read and of replies to send, whichever calls move them.
struct DatagramSocket::Batches
{
    // Not zeroed: a slot's pages are touched only as far as datagrams fill them.
    std::unique_ptr<char[]> in{new char[size_t(Batch) * SlotSize]};
    qsizetype sizes[Batch]{};
    int received = 0;
    QByteArray out[Batch];
    int replyTo[Batch]{};
    int queued = 0;
    QList<Failure> failures;
    // The path through Qt.
    QHostAddress senders[Batch];
    quint16 senderPorts[Batch]{};
    // Replies held back, on whichever path the socket takes.
    DeadlineQueue<SystemReply> heldBySystem;
    DeadlineQueue<QtReply> heldByQt;
    DeadlineQueue<SystemReply>::Clock::time_point heldTimerDue;

    char *slot(int i) { return in.get() + i * SlotSize; }
};
