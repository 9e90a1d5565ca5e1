#include "notificationlink.h"

#include "snmp/agent/notificationchannel.h"
#include "snmp/agent/tracerecords.h"
#include "snmp/codec/bercodec.h"
#include "snmp/codec/snmptrap.h"
#include "snmp/codec/snmpv3message.h"
#include "snmp/usm/usmengine.h"
#include "snmp/usm/usmpeer.h"

#include <QRandomGenerator>
#include <QScopedValueRollback>

namespace {

const QString UnknownEngineIds = QStringLiteral("1.3.6.1.6.3.15.1.1.4.0");
const QString NotInTimeWindows = QStringLiteral("1.3.6.1.6.3.15.1.1.2.0");

QString hostText(const QString &address, int port)
{
    return address.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2").arg(address).arg(port)
                                              : QStringLiteral("%1:%2").arg(address).arg(port);
}

} // namespace

NotificationLink::NotificationLink(const NotificationDestination &destination,
                                   NotificationCounts &counts, Row row, QObject *parent)
    : QObject(parent), m_destination(destination),
      m_name(hostText(destination.address, destination.port)), m_counts(counts),
      m_row(std::move(row)), m_channel(new NotificationChannel(this)),
      // Positive and well below the top, so a long run never wraps to a negative id.
      m_nextId(qint32(QRandomGenerator::global()->bounded(1, 0x40000000)))
{
    m_clock.start();
    m_retry.setSingleShot(true);
    connect(&m_retry, &QTimer::timeout, this, &NotificationLink::retryDue);
    connect(m_channel, &NotificationChannel::received, this, &NotificationLink::take);
    connect(m_channel, &NotificationChannel::refused, this, [this] {
        ++m_counts.failedAttempts;
        emit countsChanged();
    });
    connect(m_channel, &NotificationChannel::notSent, this, [this](int count) {
        m_counts.failedAttempts += quint64(count);
        emit countsChanged();
    });
}

NotificationLink::~NotificationLink() = default;

Status NotificationLink::open(const QHostAddress &local)
{
    if (isV3() && isInform()) {
        const UsmUser *owner = user();
        if (owner)
            m_peer = std::make_unique<UsmPeer>(*owner, levelFlags());
    }
    return m_channel->open(local, QHostAddress(m_destination.address), quint16(m_destination.port));
}

void NotificationLink::close()
{
    m_channel->close();
    m_retry.stop();
    m_counts.unacknowledged += quint64(m_pending.size());
    m_pending.clear();
    notSent(NotSent::NotRunning, int(m_queued.size()));
    m_queued.clear();
    m_discoveryDue = -1;
    emit countsChanged();
}

int NotificationLink::localizations() const
{
    return m_peer ? m_peer->localizations() : 0;
}

const UsmUser *NotificationLink::user() const
{
    const UsmEngine *engine = m_row.engine ? m_row.engine() : nullptr;
    if (!engine)
        return nullptr;
    for (const UsmUser &candidate : engine->users()) {
        if (candidate.name == m_destination.user)
            return &candidate;
    }
    return nullptr;
}

quint8 NotificationLink::levelFlags() const
{
    switch (m_destination.level) {
    case SecurityLevel::AuthPriv:
        return SnmpV3Flag::Auth | SnmpV3Flag::Priv;
    case SecurityLevel::AuthNoPriv:
        return SnmpV3Flag::Auth;
    case SecurityLevel::NoAuthNoPriv:
        break;
    }
    return 0;
}

void NotificationLink::notSent(NotSent reason, int count)
{
    if (count <= 0)
        return;
    m_counts.notSentFor(reason) += quint64(count);
    emit countsChanged();
}

void NotificationLink::trace(const QStringList &lines)
{
    if (tracing())
        m_row.trace(lines, isV3() ? QString::fromUtf8(m_destination.user) : QString());
}

SnmpMessage NotificationLink::pduOf(const QList<SnmpVariable> &bindings)
{
    SnmpMessage pdu;
    pdu.version = SnmpVersion::V2c;
    pdu.Community = m_destination.community;
    pdu.Type = SnmpPdu::V2cBase + (isInform() ? SnmpPdu::InformRequest : SnmpPdu::V2Trap);
    pdu.MessageNumber = takeId();
    pdu.Variables = bindings;
    return pdu;
}

qint32 NotificationLink::takeId()
{
    // Positive ids only: past the top the count starts again at 1.
    const qint32 id = m_nextId;
    m_nextId = id == 0x7ffffffe ? 1 : id + 1;
    return id;
}

QByteArray NotificationLink::encode(const SnmpMessage &pdu)
{
    Result<QByteArray> encoded = failure(QString());
    if (!isV3()) {
        encoded = encodeMessage(pdu);
    } else if (m_peer) {
        encoded = m_peer->secure(pdu, pdu.MessageNumber);
    } else if (const UsmUser *owner = user()) {
        // A trap speaks for the row's engine, with the keys the user has there.
        encoded = m_row.engine()->notify(*owner, levelFlags(), pdu.MessageNumber, pdu);
    } else {
        notSent(NotSent::NoUser);
        return {};
    }
    if (!encoded) {
        notSent(NotSent::SendRefused);
        return {};
    }
    return encoded.value();
}

QByteArray NotificationLink::encodeV1(const QList<SnmpVariable> &bindings)
{
    Result<V1Trap> trap = v1Form(bindings, m_row.agentAddress);
    if (!trap) {
        notSent(NotSent::NoV1Form);
        return {};
    }
    trap.value().community = m_destination.community;
    const Result<QByteArray> encoded = encodeV1Trap(trap.value());
    if (!encoded) {
        notSent(NotSent::SendRefused);
        return {};
    }
    if (tracing())
        trace(v1TrapRecord(m_name, trap.value()));
    return encoded.value();
}

void NotificationLink::send(const QList<SnmpVariable> &bindings)
{
    if (!m_channel->isOpen()) {
        notSent(NotSent::NotRunning);
        return;
    }
    if (m_destination.version == NotificationVersion::V1) {
        const QByteArray datagram = encodeV1(bindings);
        if (datagram.isEmpty())
            return;
        if (!m_channel->send(datagram))
            return notSent(NotSent::SendRefused);
        ++m_counts.sent;
        emit countsChanged();
        return;
    }
    if (isInform() && waiting() >= MaxWaiting)
        return notSent(NotSent::TooManyWaiting);
    SnmpMessage pdu = pduOf(bindings);
    if (m_peer && !m_peer->knowsEngine()) {
        m_queued.append(std::move(pdu));
        if (m_discoveryDue < 0)
            discover();
        return;
    }
    if (!isInform()) {
        const QByteArray datagram = encode(pdu);
        if (datagram.isEmpty())
            return;
        if (tracing())
            trace(notificationRecord(QStringLiteral("SNMPv2-Trap"), m_name, pdu));
        if (!m_channel->send(datagram))
            return notSent(NotSent::SendRefused);
        ++m_counts.sent;
        emit countsChanged();
        return;
    }
    const qint32 id = pdu.MessageNumber;
    Pending &pending = m_pending[id];
    pending.pdu = std::move(pdu);
    if (!transmit(pending)) {
        m_pending.remove(id);
        return;
    }
    ++m_counts.sent;
    emit countsChanged();
}

bool NotificationLink::transmit(Pending &pending)
{
    // SNMPv3 secures each attempt afresh: a new salt, and the receiver's clock as it is now.
    if (pending.datagram.isEmpty() || isV3())
        pending.datagram = encode(pending.pdu);
    // An attempt that could not be made still counts: a retry never comes round at once.
    ++pending.attempts;
    pending.due = m_clock.elapsed() + RetryMs;
    armRetry(pending.due);
    if (pending.datagram.isEmpty())
        return false;
    if (tracing())
        trace(notificationRecord(QStringLiteral("InformRequest"), m_name, pending.pdu));
    // With the others of this turn in one system call; one the system refuses failed.
    m_channel->queue(pending.datagram);
    return true;
}

int NotificationLink::sendBurst(const QList<SnmpVariable> &bindings, int count)
{
    if (!m_channel->isOpen() || count <= 0)
        return 0;
    if (isInform()) {
        int sent = 0;
        const QScopedValueRollback quiet(m_quiet, true);
        for (; sent < count && waiting() < MaxWaiting; ++sent)
            send(bindings);
        return sent;
    }
    QList<QByteArray> datagrams;
    datagrams.reserve(count);
    if (m_destination.version == NotificationVersion::V1) {
        const QScopedValueRollback quiet(m_quiet, true);
        const QByteArray datagram = encodeV1(bindings);
        if (datagram.isEmpty())
            return 0;
        datagrams.fill(datagram, count);
    } else {
        SnmpMessage pdu = pduOf(bindings);
        QByteArray datagram;
        for (int i = 0; i < count; ++i) {
            // A community message differs from the last in its request-id alone; SNMPv3
            // secures each afresh.
            const QByteArray next = isV3() || datagram.isEmpty()
                                        ? QByteArray()
                                        : withRequestId(datagram, pdu.MessageNumber);
            datagram = next.isEmpty() ? encode(pdu) : next;
            if (datagram.isEmpty())
                break;
            datagrams.append(datagram);
            pdu.MessageNumber = takeId();
        }
    }
    const int sent = m_channel->send(datagrams);
    m_counts.sent += quint64(sent);
    emit countsChanged();
    return sent;
}

QByteArray NotificationLink::withRequestId(QByteArray datagram, qint32 id)
{
    const Result<ber::Element> message = ber::readWhole(datagram, ber::Sequence, "message");
    if (!message)
        return {};
    ber::Reader fields(message.value().content);
    const Result<ber::Element> version = fields.read(ber::Integer, "version");
    const Result<ber::Element> community = fields.read(ber::OctetString, "community");
    const Result<ber::Element> pdu = fields.read();
    if (!version || !community || !pdu)
        return {};
    const Result<ber::Element> old = ber::Reader(pdu.value().content).read(ber::Integer, "id");
    if (!old || old.value().content.size() != ber::integerSize(id))
        return {};
    const qsizetype at = old.value().content.data() - datagram.constData();
    const qsizetype size = old.value().content.size();
    char *bytes = datagram.data() + at;
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = char(quint32(id) >> (8 * (size - 1 - i)));
    return datagram;
}

void NotificationLink::armRetry(qint64 due)
{
    const qint64 wait = qMax<qint64>(0, due - m_clock.elapsed());
    if (!m_retry.isActive() || m_retry.remainingTime() > wait)
        m_retry.start(int(wait));
}

void NotificationLink::retryDue()
{
    const qint64 now = m_clock.elapsed();
    qint64 next = -1;
    const auto later = [&](qint64 due) { next = next < 0 ? due : qMin(next, due); };
    if (m_discoveryDue >= 0) {
        if (m_discoveryDue <= now)
            discover();
        if (m_discoveryDue >= 0)
            later(m_discoveryDue);
    }
    int gaveUp = 0;
    for (auto it = m_pending.begin(); it != m_pending.end();) {
        if (it->due > now) {
            later(it->due);
            ++it;
        } else if (it->attempts > Retries) {
            it = m_pending.erase(it);
            ++gaveUp;
        } else {
            transmit(*it);
            later(it->due);
            ++it;
        }
    }
    if (gaveUp) {
        m_counts.unacknowledged += quint64(gaveUp);
        emit countsChanged();
    }
    if (next >= 0)
        armRetry(next);
}

void NotificationLink::take(QByteArrayView datagram)
{
    if (isV3()) {
        takeV3(datagram);
        return;
    }
    // Read over the last answer's buffers: answers come alike, so little is allocated.
    Result<SnmpMessage> message = decodeMessage(datagram, &m_lastAnswer);
    if (!message)
        return;
    m_lastAnswer = std::move(message.value());
    if (m_lastAnswer.pdu() == SnmpPdu::Response)
        acknowledge(m_lastAnswer.MessageNumber);
}

void NotificationLink::takeV3(QByteArrayView datagram)
{
    if (!m_peer)
        return;
    const Result<UsmPeer::Answer> answer = m_peer->open(datagram);
    if (!answer)
        return;
    const SnmpMessage &pdu = answer.value().pdu;
    if (pdu.pdu() == SnmpPdu::Response) {
        acknowledge(pdu.MessageNumber);
        return;
    }
    if (pdu.pdu() != SnmpPdu::Report || pdu.Variables.isEmpty())
        return;
    const QString counter = pdu.Variables.first().Oid();
    const bool authenticated = answer.value().message.flags & SnmpV3Flag::Auth;
    // A report of an unknown engine names the receiver's (discovery, or a receiver that came
    // back as another engine); its clock is learnt from a report it signed.
    const bool engine = counter == UnknownEngineIds;
    const bool resync = counter == NotInTimeWindows && authenticated;
    if (!(engine || resync) || !m_peer->learn(answer.value().message.usm))
        return;
    if (m_discoveryDue >= 0) {
        discovered();
        return;
    }
    // Sent again at once with what was just learnt; each still counts as an attempt.
    for (Pending &pending : m_pending) {
        if (pending.attempts <= Retries)
            transmit(pending);
    }
}

void NotificationLink::acknowledge(qint32 requestId)
{
    if (!m_pending.remove(requestId))
        return;
    if (tracing())
        trace(acknowledgementRecord(m_name, requestId));
    ++m_counts.acknowledged;
    emit countsChanged();
}

void NotificationLink::discover()
{
    if (m_discoveryAttempts > Retries) {
        m_discoveryDue = -1;
        m_discoveryAttempts = 0;
        notSent(NotSent::NoEngine, int(m_queued.size()));
        m_queued.clear();
        return;
    }
    ++m_discoveryAttempts;
    m_discoveryId = takeId();
    m_discoveryDue = m_clock.elapsed() + RetryMs;
    m_channel->send(UsmPeer::discoveryRequest(m_discoveryId, m_discoveryId));
    armRetry(m_discoveryDue);
}

void NotificationLink::discovered()
{
    m_discoveryDue = -1;
    m_discoveryAttempts = 0;
    const QList<SnmpMessage> queued = std::exchange(m_queued, {});
    for (const SnmpMessage &pdu : queued) {
        Pending &pending = m_pending[pdu.MessageNumber];
        pending.pdu = pdu;
        if (!transmit(pending)) {
            m_pending.remove(pdu.MessageNumber);
            continue;
        }
        ++m_counts.sent;
    }
    emit countsChanged();
}
