#pragma once

#include "snmp/agent/datagramsocket.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>

#include <memory>

// Room for the largest datagram there is, so none is cut short.
inline constexpr qsizetype SlotSize = 65536;

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

    char *slot(int i) { return in.get() + i * SlotSize; }
};
