#include "datagramsocket.h"

#include "snmp/agent/datagramsocket_p.h"

#include <QSocketNotifier>
#include <QUdpSocket>

#include <cstring>

DatagramSocket::DatagramSocket(QUdpSocket *bound, QObject *parent)
    : QObject(parent), m_batches(std::make_unique<Batches>()), m_localPort(bound->localPort())
{
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
