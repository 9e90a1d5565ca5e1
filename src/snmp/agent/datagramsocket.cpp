#include "datagramsocket.h"

#include "snmp/agent/datagramsocket_p.h"

#include <QSocketNotifier>
#include <QTimer>
#include <QUdpSocket>

#include <cstring>

DatagramSocket::DatagramSocket(QUdpSocket *bound, QObject *parent)
    : QObject(parent), m_batches(std::make_unique<Batches>()), m_localPort(bound->localPort())
{
    m_heldTimer = new QTimer(this);
    m_heldTimer->setSingleShot(true);
    m_heldTimer->setTimerType(Qt::PreciseTimer);
    connect(m_heldTimer, &QTimer::timeout, this, &DatagramSocket::sendHeld);
    m_system = openSystemCalls(*bound);
    if (m_system) {
        delete bound;
        m_notifier = new QSocketNotifier(descriptorOf(*m_system), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &DatagramSocket::readyRead);
        return;
    }
    m_socket = bound;
    m_socket->setParent(this);
    connect(m_socket, &QUdpSocket::readyRead, this, &DatagramSocket::readyRead);
}

DatagramSocket::~DatagramSocket()
{
    delete m_notifier; // before its descriptor goes
}

int DatagramSocket::receive()
{
    Batches &b = *m_batches;
    b.received = 0;
    if (m_system)
        return b.received = receiveBySystem();
    while (b.received < Batch && m_socket) {
        // Read until the socket says it has nothing more: asking first would cost a system
        // call per datagram.
        const int i = b.received;
        const qint64 size =
            m_socket->readDatagram(b.slot(i), SlotSize, &b.senders[i], &b.senderPorts[i]);
        if (size < 0 && m_socket->error() == QAbstractSocket::TemporaryError)
            break;
        b.sizes[i] = size;
        ++b.received;
    }
    return b.received;
}

QByteArrayView DatagramSocket::datagram(int i) const
{
    const Batches &b = *m_batches;
    if (i < 0 || i >= b.received || b.sizes[i] < 0)
        return {};
    return QByteArrayView(b.in.get() + i * SlotSize, b.sizes[i]);
}

void DatagramSocket::reply(int i, QByteArrayView bytes)
{
    Batches &b = *m_batches;
    if (b.queued == Batch)
        b.failures += flush();
    b.out[b.queued].resize(bytes.size());
    std::memcpy(b.out[b.queued].data(), bytes.data(), size_t(bytes.size()));
    b.replyTo[b.queued] = i;
    ++b.queued;
}

QList<Failure> DatagramSocket::flush()
{
    Batches &b = *m_batches;
    const int queued = std::exchange(b.queued, 0);
    if (m_system)
        return std::exchange(b.failures, {}) + flushBySystem(queued);
    QList<Failure> failures = std::exchange(b.failures, {});
    for (int k = 0; k < queued && m_socket; ++k) {
        const int i = b.replyTo[k];
        if (m_socket->writeDatagram(b.out[k], b.senders[i], b.senderPorts[i]) < 0)
            failures.append(Failure{10000 + int(m_socket->error()), m_socket->errorString()});
    }
    return failures;
}

void DatagramSocket::replyLater(int i, QByteArrayView bytes, std::chrono::milliseconds delay,
                                int copies)
{
    Batches &b = *m_batches;
    const auto due = DeadlineQueue<QtReply>::Clock::now() + delay;
    if (m_system)
        b.heldBySystem.push(due, heldBySystem(i, bytes, copies));
    else
        b.heldByQt.push(due, QtReply{b.senders[i], b.senderPorts[i], bytes.toByteArray(), copies});
    // The timer moves only for a reply due before the one it waits for.
    if (!m_heldTimer->isActive() || due < b.heldTimerDue)
        armHeldTimer();
}

qsizetype DatagramSocket::heldCount() const
{
    return m_batches->heldBySystem.size() + m_batches->heldByQt.size();
}

qsizetype DatagramSocket::dropHeld()
{
    const qsizetype held = heldCount();
    m_batches->heldBySystem.clear();
    m_batches->heldByQt.clear();
    m_heldTimer->stop();
    return held;
}

void DatagramSocket::armHeldTimer()
{
    Batches &b = *m_batches;
    if (b.heldBySystem.isEmpty() && b.heldByQt.isEmpty()) {
        m_heldTimer->stop();
        return;
    }
    b.heldTimerDue = b.heldBySystem.isEmpty() ? b.heldByQt.nextDue() : b.heldBySystem.nextDue();
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(
        b.heldTimerDue - DeadlineQueue<QtReply>::Clock::now());
    m_heldTimer->start(qMax(wait, std::chrono::milliseconds(0)));
}

void DatagramSocket::sendHeld()
{
    // A burst falling due at once goes out a share per turn, so other events are not held up.
    constexpr int MostPerTurn = 4 * Batch;
    Batches &b = *m_batches;
    const auto now = DeadlineQueue<QtReply>::Clock::now();
    int sent = 0;
    QList<Failure> failures;
    if (m_system) {
        SystemReply replies[Batch];
        while (sent < MostPerTurn) {
            int taken = 0;
            for (; taken < Batch; ++taken) {
                std::optional<SystemReply> reply = b.heldBySystem.takeDue(now);
                if (!reply)
                    break;
                replies[taken] = std::move(*reply);
            }
            if (taken == 0)
                break;
            failures += sendBySystem(std::span<const SystemReply>(replies, size_t(taken)));
            sent += taken;
        }
    }
    for (; sent < MostPerTurn && m_socket; ++sent) {
        const std::optional<QtReply> reply = b.heldByQt.takeDue(now);
        if (!reply)
            break;
        for (int copy = 0; copy < reply->copies; ++copy) {
            if (m_socket->writeDatagram(reply->bytes, reply->to, reply->toPort) < 0)
                failures.append(Failure{10000 + int(m_socket->error()), m_socket->errorString()});
        }
    }
    armHeldTimer();
    if (sent > 0)
        emit heldSent(sent, failures);
}
