#pragma once

#include "common/core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHostAddress>
#include <QObject>

#include <chrono>
#include <memory>
#include <span>

class QSocketNotifier;
class QTimer;
class QUdpSocket;

// A bound UDP socket that reads the datagrams waiting in one go and sends the replies to them
// in one go: on Linux through recvmmsg and sendmmsg, a system call per batch rather than two
// per datagram; elsewhere one datagram at a time through Qt.
class DatagramSocket : public QObject
{
    Q_OBJECT
public:
    static constexpr int Batch = 64;

    // Takes over `bound`, a socket bound to its address and port.
    explicit DatagramSocket(QUdpSocket *bound, QObject *parent = nullptr);
    ~DatagramSocket() override;

    quint16 localPort() const { return m_localPort; }

    // Reads up to Batch waiting datagrams; they stay readable until the next call.
    int receive();
    // Empty for one that could not be read whole.
    QByteArrayView datagram(int i) const;

    // Queues `bytes` for the sender of datagram `i`.
    void reply(int i, QByteArrayView bytes);
    // Sends what is queued. Each datagram the system refused is one failure in the list.
    QList<Failure> flush();

    // Holds `bytes` for the sender of datagram `i` and sends them, `copies` times, once `delay`
    // has passed: every held reply waits its own time, however many wait.
    void replyLater(int i, QByteArrayView bytes, std::chrono::milliseconds delay, int copies = 1);
    qsizetype heldCount() const;
    // Forgets the replies held; returns how many there were.
    qsizetype dropHeld();

signals:
    void readyRead();
    // Held replies went out; each datagram the system refused is one failure.
    void heldSent(int replies, const QList<Failure> &failures);

private:
    struct Batches;
    // A held reply: the sender kept as the calls that read its datagram give it, and the bytes.
    struct SystemReply;
    struct QtReply;
    // The system's batched calls, where it has them: one file per system defines these.
    struct SystemCalls;
    struct CloseSystemCalls
    {
        void operator()(SystemCalls *calls) const;
    };
    using SystemCallsPointer = std::unique_ptr<SystemCalls, CloseSystemCalls>;
    static SystemCallsPointer openSystemCalls(QUdpSocket &bound);
    static int descriptorOf(const SystemCalls &calls);
    int receiveBySystem();
    QList<Failure> flushBySystem(int queued);
    SystemReply heldBySystem(int i, QByteArrayView bytes, int copies) const;
    QList<Failure> sendBySystem(std::span<const SystemReply> replies);
    void sendHeld();
    void armHeldTimer();

    std::unique_ptr<Batches> m_batches;
    SystemCallsPointer m_system;
    QUdpSocket *m_socket = nullptr; // where no batched calls exist
    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_heldTimer = nullptr;
    quint16 m_localPort = 0;
};
