#include "rownotifier.h"

#include "snmp/answers/servedobjects.h"

RowNotifier::RowNotifier(Row row, QObject *parent) : QObject(parent), m_row(std::move(row))
{
    connect(&m_periodic, &QTimer::timeout, this,
            [this] { send(m_settings.schedule.notification); });
    m_storm.setTimerType(Qt::PreciseTimer);
    m_storm.setSingleShot(true);
    connect(&m_storm, &QTimer::timeout, this, &RowNotifier::stormSlice);
    m_countsSignal.setSingleShot(true);
    connect(&m_countsSignal, &QTimer::timeout, this, [this] {
        if (std::exchange(m_countsPending, false)) {
            emit countsChanged();
            m_countsSignal.start(CountsIntervalMs);
        }
    });
}

void RowNotifier::countsTouched()
{
    // The first change shows at once; later ones at most every CountsIntervalMs.
    if (m_countsSignal.isActive()) {
        m_countsPending = true;
        return;
    }
    emit countsChanged();
    m_countsSignal.start(CountsIntervalMs);
}

void RowNotifier::setSettings(const NotificationSettings &settings)
{
    m_settings = settings;
    const bool running = m_running;
    if (running)
        closeLinks();
    m_counts = {};
    countsTouched();
    if (!running)
        return;
    openLinks();
    startSchedule();
}

void RowNotifier::start(const QHostAddress &local)
{
    m_local = local;
    m_running = true;
    m_interfaces.clear();
    m_lastAuthenticationFailure.invalidate();
    openLinks();
    if (m_settings.coldStart && !m_links.isEmpty())
        send(NotificationChoice{StandardTrap::ColdStart, 0, {}});
    startSchedule();
}

void RowNotifier::stop()
{
    m_running = false;
    m_periodic.stop();
    m_storm.stop();
    closeLinks();
    m_interfaces.clear();
}

void RowNotifier::openLinks()
{
    // SNMPv1's agent-addr is the row's IPv4 address, or 0.0.0.0 (RFC 3584).
    QByteArray agentAddress(4, '\0');
    if (m_local.protocol() == QAbstractSocket::IPv4Protocol) {
        const quint32 ipv4 = m_local.toIPv4Address();
        for (int i = 0; i < 4; ++i)
            agentAddress[i] = char(ipv4 >> (24 - 8 * i));
    }
    for (const NotificationDestination &destination : m_settings.destinations) {
        auto *link = new NotificationLink(
            destination, m_counts, {m_row.engine, agentAddress, m_row.tracing, m_row.trace}, this);
        connect(link, &NotificationLink::countsChanged, this, &RowNotifier::countsTouched);
        // One that cannot open counts what it does not send.
        link->open(m_local);
        m_links.append(link);
    }
}

void RowNotifier::closeLinks()
{
    for (NotificationLink *link : std::exchange(m_links, {})) {
        link->close();
        link->deleteLater();
    }
}

void RowNotifier::startSchedule()
{
    m_periodic.stop();
    m_storm.stop();
    const NotificationSchedule &schedule = m_settings.schedule;
    if (m_links.isEmpty() || schedule.mode == NotificationSchedule::Off)
        return;
    if (schedule.mode == NotificationSchedule::Periodic) {
        m_periodic.start(schedule.intervalSeconds * 1000);
        return;
    }
    m_stormIssued = 0;
    m_stormRequests = m_row.requests ? m_row.requests() : 0;
    m_stormClock.start();
    m_storm.start(StormSliceMs);
}

Result<QList<SnmpVariable>> RowNotifier::bindingsFor(const NotificationChoice &choice)
{
    const Status checked = checkChoice(choice);
    if (!checked)
        return checked.failure();
    // The row's view reads the interface states as they are when it serves, so the change below
    // is in what the notification carries.
    const ServedObjects row = m_row.served();
    QStringList objects;
    const bool down = choice.oid == StandardTrap::LinkDown;
    if (down || choice.oid == StandardTrap::LinkUp) {
        if (!servesInterface(row, choice.ifIndex))
            return failure(
                QStringLiteral("Interface: the row serves no ifIndex %1").arg(choice.ifIndex));
        // What the trap tells is what a poll reads from now on.
        m_interfaces.set(choice.ifIndex, down, servedUptime(row), row.counterTicks());
        objects = interfaceObjects(choice.ifIndex);
    }
    return notificationBindings(row, choice.oid, objects + choice.objects);
}

Status RowNotifier::send(const NotificationChoice &choice)
{
    if (!m_running)
        return failure(QStringLiteral("The row is not running"));
    const Result<QList<SnmpVariable>> bindings = bindingsFor(choice);
    if (!bindings)
        return bindings.failure();
    for (NotificationLink *link : m_links)
        link->send(bindings.value());
    return {};
}

void RowNotifier::requestRefused()
{
    if (!m_running || !m_settings.authenticationFailure || m_links.isEmpty())
        return;
    if (m_lastAuthenticationFailure.isValid() &&
        m_lastAuthenticationFailure.elapsed() < AuthenticationFailureMs) {
        ++m_counts.heldBack;
        countsTouched();
        return;
    }
    m_lastAuthenticationFailure.start();
    send(NotificationChoice{StandardTrap::AuthenticationFailure, 0, {}});
}

void RowNotifier::stormSlice()
{
    // Requests that came since the last slice go first: a short slice, then a tick for them.
    const quint64 requests = m_row.requests ? m_row.requests() : 0;
    const bool answering = std::exchange(m_stormRequests, requests) != requests;
    // While answering, a round sends about AnsweringBatch over all destinations, so the
    // slice's time is checked often.
    const int links = qMax(1, int(m_links.size()));
    const int perLink = answering ? qMax(1, AnsweringBatch / links) : StormBatch;
    const bool behind = stormSend(answering ? AnsweringSliceNs : StormSliceNs, perLink);
    // Single-shot from here, so the tick is a real pause even after a long slice.
    m_storm.start(behind && !answering ? 0 : StormSliceMs);
}

bool RowNotifier::stormSend(qint64 sliceNs, int perLink)
{
    const NotificationSchedule &schedule = m_settings.schedule;
    qint64 owed = schedule.ratePerSecond * m_stormClock.elapsed() / 1000 - m_stormIssued;
    if (owed <= 0)
        return false;
    if (owed > MaxStormBacklog) {
        m_counts.heldBack += quint64(owed - MaxStormBacklog);
        m_stormIssued += owed - MaxStormBacklog;
        owed = MaxStormBacklog;
    }
    const Result<QList<SnmpVariable>> bindings = bindingsFor(schedule.notification);
    if (!bindings)
        return false;
    // In rounds until paid or the slice's time is up; the rest is owed to the next slice.
    QElapsedTimer slice;
    slice.start();
    while (owed > 0 && slice.nsecsElapsed() < sliceNs) {
        const int batch = int(qMin<qint64>(owed, perLink));
        for (NotificationLink *link : m_links)
            link->sendBurst(bindings.value(), batch);
        m_stormIssued += batch;
        owed -= batch;
    }
    return owed > 0;
}

int RowNotifier::localizations() const
{
    int count = 0;
    for (const NotificationLink *link : m_links)
        count += link->localizations();
    return count;
}
