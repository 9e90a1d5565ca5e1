#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QObject>

#include <deque>

class QSocketNotifier;

// One accepted connection on its own descriptor. It reads the peer's end of sending itself:
// a peer that half-closes still gets every reply queued for it, and the connection ends only
// once the last of them has gone out, or when the peer resets it.
class TcpConnection : public QObject
{
    Q_OBJECT
public:
    // Reading stops while more reply bytes than this wait for a peer that does not read, so
    // that TCP's flow control, not our memory, holds back a peer that sends without reading.
    static constexpr qint64 ReplyBacklogBytes = 256 * 1024;
    // The most bytes one data event carries.
    static constexpr qint64 ReadChunkBytes = 64 * 1024;

    // Takes over a connected, non-blocking descriptor.
    explicit TcpConnection(int descriptor, QObject *parent = nullptr);
    ~TcpConnection() override;

    bool isOpen() const { return m_descriptor >= 0; }
    // Bytes go out after every byte queued before them. Fails when the connection is broken.
    Status send(const QByteArray &bytes);
    // Reply bytes accepted by send but not yet taken by the system.
    qint64 pendingBytes() const { return m_pending; }

signals:
    void received(const QByteArray &bytes);
    // Emitted once; the descriptor is closed by then.
    void ended();

private:
    void readSome();
    void writeSome();
    // Sends what the kernel takes; returns 0, or the error of a broken connection.
    int flush();
    void updateNotifiers();
    void closeDescriptor();
    void end();

    int m_descriptor;
    QSocketNotifier *m_readNotifier;
    QSocketNotifier *m_writeNotifier;
    std::deque<QByteArray> m_queue;
    qsizetype m_frontSent = 0; // bytes of the queue's first entry already sent
    qint64 m_pending = 0;
    bool m_peerDone = false;   // the peer sends no more
    bool m_delivering = false; // a received signal is running
};
